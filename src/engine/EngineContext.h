#pragma once
#include <functional>
#include <optional>
#include <string>

#include "engine/PseudoRandom.h"
#include "engine/ReaderSet.h"
#include "engine/UserInteraction.h"
#include "engine/WmaFormatList.h"
#include "platform/WmfRuntime.h"

/// State the engine keeps between calls, owned by the window or the command-line converter.
/// Holds no globals: two contexts never see each other's state.
struct EngineContext {
    EngineContext(WmfRuntime& runtime, UserInteraction& ui)
        : wmfRuntime(runtime), user(ui), readers(DefaultReaders()) {}
    /// A copy for one file converted beside others: its own failure detail and random draws over
    /// the given runtime and user; nothing calls back into the front end.
    EngineContext(const EngineContext& from, WmfRuntime& runtime, UserInteraction& ui)
        : SoundFontReady(from.SoundFontReady),
          StatusColumnWidth(from.StatusColumnWidth),
          wmfRuntime(runtime),
          user(ui),
          readers(from.readers),
          wmaFormats(from.wmaFormats),
          random(from.random),
          forcedReader(from.forcedReader) {}

    /// Explains the last failure in more words; emptied by the caller before each attempt.
    std::string FailureDetail;
    /// What the source of the last conversion warned about the audio it delivered (a checksum that
    /// does not match); emptied by the caller before each attempt.
    std::string SourceNote;
    /// Nonzero once the MIDI SoundFont is installed; stays set.
    int SoundFontReady = 0;
    /// Width of the file list's Status column as last set; widened once to 500 for long failure texts.
    int StatusColumnWidth = 145;

    WmfRuntime& wmfRuntime;
    UserInteraction& user;
    ReaderSet readers;
    /// The WMA codec formats of the loaded runtime; rebuilt by every load that succeeds.
    WmaFormatList wmaFormats;
    /// Called after the Windows Media runtime was loaded and the format list rebuilt; may be empty.
    std::function<void()> onWmfRuntimeLoaded;
    /// Serial numbers of Ogg streams: drawn per file, so a run numbers its files in order.
    PseudoRandom random;
    /// For diagnostics: every file is opened with this reader alone, whatever its kind.
    std::optional<ReaderRole> forcedReader;
};
