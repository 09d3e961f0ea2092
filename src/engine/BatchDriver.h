#pragma once
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/BatchView.h"
#include "engine/EngineContext.h"
#include "engine/FileEntry.h"
#include "engine/OutputFormats.h"
#include "engine/OutputNaming.h"
#include "platform/Paths.h"
#include "sources/DecoderStartup.h"

class ConversionSettings;

/// What the driver reaches outside the engine; the defaults are the real ones.
struct BatchServices {
    /// The routine of each output format.
    RoutineLookup routines;
    /// Folder of the program's data, where "ct4mgm.sf2" is looked for (with a trailing "/").
    std::string programFolder = ProgramDataFolder();
    /// Installs the SoundFont of a folder as the MIDI default; nonzero on success.
    std::function<int(const std::string& folder)> loadSoundFont = [](const std::string& folder) {
        return LoadMidiSoundFont(folder);
    };
    /// The documents folder that output naming falls back to; empty: the user's.
    DocumentsFolderLookup documentsFolder;
    /// How many files convert at once; 1 converts them one after another on the calling thread.
    int jobs = 1;
    /// What makes sources one album (album tags, album normalising); empty: their folder.
    std::function<std::string(const std::string& sourcePath)> albumKey;
    /// Writes an album's ReplayGain values into a finished output of a format; 1 on success.
    /// Empty: albums get no tags.
    std::function<int(const std::string& outputPath, int outputFormat, const FileLoudness& album)>
        writeAlbumTags;
};

class StagedOutput;

/// With "copy when already in this format": the source is an MP3, Ogg Vorbis or FLAC file that the output
/// options would encode at the same or a lower bit rate, with its own tags, so a copy of it is the output.
bool CopiesAsIs(const FileEntry& entry, const ConversionSettings& settings);
/// Copies the source into the output; 1 on success.
int CopySource(const std::string& source, const std::string& output);

/// Converts a list of files into the output format of the settings, writing one status per row
/// and honouring Cancel. One loop runs N files at once (N = 1 included): each running file owns its
/// engine context, progress and staged output, over what the batch shares; names, questions,
/// statuses and the view stay on the calling thread, in list order, so the results are those of
/// converting one file after another. With one file at a time it converts on the calling thread.
class BatchDriver {
public:
    BatchDriver(EngineContext& engine, const ConversionSettings& settings, BatchView& view,
                BatchServices services);

    /// entries[i] is shown in list row rows[i]; both in list order and of equal length. Output
    /// paths of files that did not convert are emptied.
    void RunBatch(const std::vector<FileEntry*>& entries, const std::vector<int>& rows);

private:
    struct FileRun;
    struct Slot;

    bool RuntimeReady();
    bool SoundFontCheck(const std::vector<FileEntry*>& entries);
    /// The routine (null: the format is missing) on the job; 0 for a failure or an exception.
    static int RunRoutine(ConversionRoutine routine, ConversionJob& job);
    /// Shows the file as started in the progress window.
    void ShowStart(const FileEntry& entry, int number, int count, const char* formatName,
                   ProgressDialog& progress);
    /// Names the output and makes its hidden file; null with status set when the file cannot be written.
    std::unique_ptr<StagedOutput> PrepareOutput(FileEntry& entry, std::string& status);
    /// Naming of a file whose output a plan fixed: only checks the name.
    bool PlannedName(FileEntry& entry, std::string& status, NamingReport& report);
    Placement PlacePlanned(FileEntry& entry, StagedOutput& staged, std::string& status);
    /// Gives the output its source's modification time where the settings ask for it.
    void KeepSourceTime(const FileEntry& entry, const std::string& output) const;
    /// Writes the playlist of each output folder of the batch (entries in list order).
    void WritePlaylists(const std::vector<FileEntry*>& entries, int reached);
    /// After the routine: gives a complete output its name; true when converted. status receives the row's
    /// text.
    bool Conclude(FileEntry& entry, int ok, StagedOutput& staged, const EngineContext& outcome,
                  std::string& status, std::string& reason);
    /// The album of each entry, by number, when the settings treat albums; empty otherwise.
    std::vector<int> AlbumsOf(const std::vector<FileEntry*>& entries, int count);
    /// Normalising albums: measures each album's sources first and sets the linear gain of each entry
    /// (0: none). False when cancelled.
    bool MeasureAlbums(const std::vector<FileEntry*>& entries, const std::vector<int>& albums,
                       ProgressDialog& progress, std::vector<double>& gains);
    /// The batch loop. Returns whether the batch was cancelled and sets reached to the number of
    /// entries started.
    bool RunFiles(const std::vector<FileEntry*>& entries, const std::vector<int>& rows, int count,
                  const char* formatName, ProgressDialog& progress, int& reached);

    EngineContext& m_engine;
    const ConversionSettings& m_settings;
    BatchView& m_view;
    BatchServices m_services;
    std::set<std::string> m_cleanedFolders;              // output folders already rid of stale hidden files
    BatchNaming m_naming;                                // what naming knows of the running batch
    std::map<const FileEntry*, std::string> m_existing;  // files skipped because this output exists
};
