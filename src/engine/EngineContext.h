#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "engine/LoudnessMeter.h"
#include "engine/PseudoRandom.h"
#include "engine/ReaderSet.h"
#include "engine/UserInteraction.h"
#include "platform/WmfRuntime.h"

class WmaFormatList;

/// What every file of a batch shares. The front end and the batch driver change it on the driver's
/// thread, between files; a converting file only reads it.
struct EngineShared {
    EngineShared();
    ~EngineShared();
    EngineShared(const EngineShared&) = delete;
    EngineShared& operator=(const EngineShared&) = delete;

    ReaderSet readers;

private:
    std::unique_ptr<WmaFormatList> m_wmaFormats;  // the runtime's types stay behind its header

public:
    /// The WMA codec formats of the loaded runtime; rebuilt by every load that succeeds.
    WmaFormatList& wmaFormats;
    /// For diagnostics: every file is opened with this reader alone, whatever its kind.
    std::optional<ReaderRole> forcedReader;
    /// Nonzero once the MIDI SoundFont is installed; stays set.
    int SoundFontReady = 0;
    /// Width of the file list's Status column as last set; widened once to 500 for long failure texts.
    int StatusColumnWidth = 145;
    /// Called after the Windows Media runtime was loaded and the format list rebuilt; may be empty.
    std::function<void()> onWmfRuntimeLoaded;
    /// Every file is measured for loudness even when no option asks (the command line's -v shows it).
    bool measureLoudness = false;
};

/// The engine as one caller sees it: the front end (probing files, running batches) or one file
/// being converted. Its own fields belong to that caller alone; `shared` is the batch's, so a field
/// added to either part reaches a converting file without anything copying it.
/// Holds no globals: two contexts never see each other's state but what they share on purpose.
struct EngineContext {
    /// A front end's context, with a shared part of its own.
    EngineContext(WmfRuntime& runtime, UserInteraction& ui)
        : m_own(std::make_unique<EngineShared>()), shared(*m_own), wmfRuntime(runtime), user(ui) {}
    /// One converting file's context over a batch's shared part.
    EngineContext(EngineShared& batch, WmfRuntime& runtime, UserInteraction& ui)
        : shared(batch), wmfRuntime(runtime), user(ui) {}
    EngineContext(const EngineContext&) = delete;
    EngineContext& operator=(const EngineContext&) = delete;

private:
    std::unique_ptr<EngineShared> m_own;

public:
    EngineShared& shared;
    WmfRuntime& wmfRuntime;
    UserInteraction& user;
    /// Explains the last failure in more words; emptied by the caller before each attempt.
    std::string FailureDetail;
    /// Samples of the file converted last that lay beyond full scale and were clipped.
    std::int64_t ClippedSamples = 0;
    /// The system's reason for the last failed conversion ("No space left on device"), for standard
    /// error and the Status cell's tooltip rather than the status text; emptied with FailureDetail.
    std::string FailureReason;
    /// What the source of the last conversion warned about the audio it delivered (a checksum that
    /// does not match); emptied by the caller before each attempt.
    std::string SourceNote;
    /// Serial numbers of Ogg streams: drawn per file, so a run numbers its files in order.
    PseudoRandom random;
    /// With files converting at once, held while one starts its encoder: libraries that use their
    /// allocations unchecked are promised memory right before (HaveMemoryFor), which no other start
    /// and no new worker thread may take meanwhile. Null when files convert one after another.
    std::mutex* startGate = nullptr;
    /// Loudness of the file converted last as its encoder received it, when measured; emptied with
    /// FailureDetail.
    std::optional<FileLoudness> Loudness;
    /// The meter behind it, kept for the loudness of the file's album.
    std::shared_ptr<LoudnessMeter> LoudnessState;
    /// Linear gain the batch chose for this file's album when it normalises albums; 0: none.
    double AlbumGain = 0.0;
};
