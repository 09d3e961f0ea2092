#pragma once
#include <functional>
#include <string>
#include <vector>

#include "engine/BatchView.h"
#include "engine/EngineContext.h"
#include "engine/FileEntry.h"
#include "engine/OutputFormats.h"
#include "engine/OutputNaming.h"

class ConversionSettings;

/// Converts a list of files, one after another, into the output format of the settings, writing
/// one status per row and honouring Cancel.
class BatchDriver {
public:
    BatchDriver(EngineContext& engine, const ConversionSettings& settings, BatchView& view,
                RoutineLookup routines);

    /// entries[i] is shown in list row rows[i]; both in list order and of equal length. Output
    /// paths of files that did not convert are emptied.
    void RunBatch(const std::vector<FileEntry*>& entries, const std::vector<int>& rows);

    /// Folder of the program, where "ct4mgm.sf2" is looked for (with a trailing "/").
    std::string programFolder;
    /// Installs the SoundFont of programFolder as the MIDI default; nonzero on success.
    std::function<int(const std::string& folder)> loadSoundFont;
    /// The documents folder that output naming falls back to.
    DocumentsFolderLookup documentsFolder;
    /// Width of the Status column as last set; widened once to 500 for long failure texts.
    int statusColumnWidth = 145;

private:
    bool RuntimeReady();
    bool SoundFontCheck(const std::vector<FileEntry*>& entries);
    /// Converts one entry; true when it converted. status receives the row's text either way.
    bool ConvertOne(FileEntry& entry, int number, int count, const char* formatName, ProgressDialog& progress,
                    std::string& status);

    EngineContext& m_engine;
    const ConversionSettings& m_settings;
    BatchView& m_view;
    RoutineLookup m_routines;
};
