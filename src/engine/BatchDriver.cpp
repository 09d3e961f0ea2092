#include "engine/BatchDriver.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

#include "engine/EngineTexts.h"
#include "engine/OutputStaging.h"
#include "engine/SourceKind.h"
#include "platform/Paths.h"
#include "platform/StringPrintf.h"
#include "settings/ConversionSettings.h"

namespace {

bool IsNonEmptyFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

constexpr int kWideStatusColumn = 500;

}  // namespace

BatchDriver::BatchDriver(EngineContext& engine, const ConversionSettings& settings, BatchView& view,
                         BatchServices services)
    : m_engine(engine), m_settings(settings), m_view(view), m_services(std::move(services)) {}

bool BatchDriver::RuntimeReady() {
    const OutputFormatInfo* format = FindOutputFormat(m_settings.OutputFormat);
    if (!format || !format->needsWmfRuntime || m_engine.wmfRuntime.IsLoaded()) return true;
    if (m_engine.wmfRuntime.LoadWmfRuntime()) {
        BuildWmaFormatList(m_engine.wmaFormats, m_engine.wmfRuntime);
        if (m_engine.onWmfRuntimeLoaded) m_engine.onWmfRuntimeLoaded();
        return true;
    }
    if (m_engine.user.AskYesNo(kWmfRuntimeQuestion)) m_engine.user.OpenInBrowser(kWmfRuntimeDownloadAddress);
    return false;
}

bool BatchDriver::SoundFontCheck(const std::vector<FileEntry*>& entries) {
    bool hasMidi = false;
    for (const FileEntry* e : entries) hasMidi = hasMidi || e->kind == kKindMidi;
    if (!hasMidi || m_engine.SoundFontReady) return true;
    m_engine.SoundFontReady =
        m_services.loadSoundFont ? m_services.loadSoundFont(m_services.programFolder) : 0;
    if (m_engine.SoundFontReady) return true;
    if (!m_engine.user.AskYesNo(StringPrintf(kSoundFontQuestion, m_services.programFolder.c_str())))
        return true;
    m_engine.user.OpenPath(m_services.programFolder);
    m_engine.user.OpenInBrowser(kSoundFontDownloadAddress);
    return false;
}

void BatchDriver::ShowStart(const FileEntry& entry, int number, int count, const char* formatName,
                            ProgressDialog& progress) {
    progress.SetBatchText(StringPrintf(kConvertingBatchText, number, count, formatName));
    progress.StepBatch();
    progress.SetFileText(StringPrintf(kConvertingFileText, FileNamePart(entry.path).c_str()));
    progress.SetFileBarPos(0);
}

std::unique_ptr<StagedOutput> BatchDriver::PrepareOutput(FileEntry& entry, std::string& status) {
    entry.outputNote.clear();
    entry.sourceNote.clear();
    std::string folder;
    const bool named = ResolveOutputPath(entry, status, m_settings, m_naming, &folder);
    // Every folder the batch writes into, or skips in, loses the hidden files of killed runs.
    if (!folder.empty() && m_cleanedFolders.insert(folder).second)
        RemoveStaleStagingFiles(folder, std::time(nullptr));
    if (!named) return nullptr;

    // The routine writes a hidden file; only a complete one takes the output's name.
    auto staged = std::make_unique<StagedOutput>(entry.outputPath);
    if (!staged->Ok()) {
        status = "Failed to create file \"" + entry.outputPath + "\"";
        entry.outputNote.clear();
        return nullptr;
    }
    return staged;
}

bool BatchDriver::Conclude(FileEntry& entry, int ok, StagedOutput& staged, const std::string& failureDetail,
                           const std::string& sourceNote, std::string& status) {
    if (ok && IsNonEmptyFile(staged.Path())) {
        switch (PlaceOutput(entry, staged, status, m_settings, m_naming)) {
            case Placement::Placed:
                status = FileNamePart(entry.outputPath);
                entry.sourceNote = sourceNote;
                return true;
            case Placement::Skipped:  // status holds the skip message
                entry.outputNote.clear();
                return false;
            case Placement::Failed:
                break;
        }
    }
    entry.outputNote.clear();
    status = kStatusFailure;
    if (!failureDetail.empty()) {
        status += " (" + failureDetail + ")";
        if (m_engine.StatusColumnWidth < kWideStatusColumn) {
            m_engine.StatusColumnWidth = kWideStatusColumn;
            m_view.SetStatusColumnWidth(kWideStatusColumn);
        }
    }
    return false;
}

bool BatchDriver::ConvertOne(FileEntry& entry, int number, int count, const char* formatName,
                             ProgressDialog& progress, std::string& status) {
    ShowStart(entry, number, count, formatName, progress);
    std::unique_ptr<StagedOutput> staged = PrepareOutput(entry, status);
    if (!staged) return false;

    m_engine.FailureDetail.clear();
    m_engine.SourceNote.clear();
    int ok = 0;
    if (ConversionRoutine routine =
            m_services.routines ? m_services.routines(m_settings.OutputFormat) : nullptr) {
        ConversionJob job{entry.kind, entry.path, staged->Path(), progress, m_engine, m_settings, number};
        ok = routine(job);
    } else {
        m_engine.FailureDetail = kFormatUnavailable;
    }
    return Conclude(entry, ok, *staged, m_engine.FailureDetail, m_engine.SourceNote, status);
}

bool BatchDriver::RunOneByOne(const std::vector<FileEntry*>& entries, const std::vector<int>& rows, int count,
                              const char* formatName, ProgressDialog& progress, int& reached) {
    bool cancelled = false;
    for (int i = 0; i < count && !cancelled; ++i) {
        FileEntry& entry = *entries[static_cast<std::size_t>(i)];
        const int row = rows[static_cast<std::size_t>(i)];
        reached = i + 1;
        std::string status;
        if (entry.kind == kKindMidi && !m_engine.SoundFontReady) {
            status = kStatusNeedsSoundFont;
        } else {
            m_view.EnsureRowVisible(row);
            m_view.SetStatus(row, kStatusConverting);
            if (ConvertOne(entry, i + 1, count, formatName, progress, status)) {
                m_view.SetStatus(row, status);
                progress.PumpMessages();
                cancelled = progress.CancelRequested();
                continue;
            }
        }
        entry.outputPath.clear();
        cancelled = progress.CancelRequested();
        m_view.SetStatus(row, cancelled ? kStatusCancelled : status);
    }
    return cancelled;
}

void BatchDriver::RunBatch(const std::vector<FileEntry*>& entries, const std::vector<int>& rows) {
    if (!RuntimeReady() || !SoundFontCheck(entries)) return;
    m_cleanedFolders.clear();
    m_naming = BatchNaming{m_services.documentsFolder, {}};
    for (const FileEntry* e : entries) m_naming.sources.insert(IdentityOf(e->path));

    const int count = static_cast<int>(std::min(entries.size(), rows.size()));
    m_view.EnableMainWindow(false);
    std::unique_ptr<ProgressDialog> progress = m_view.ShowProgressDialog();
    progress->SetBatchRange(count);
    progress->PumpMessages();
    const char* formatName = OutputFormatName(m_settings.OutputFormat);

    int reached = 0;
    const bool cancelled = m_services.jobs > 1 && count > 1
                               ? RunSeveral(entries, rows, count, formatName, *progress, reached)
                               : RunOneByOne(entries, rows, count, formatName, *progress, reached);

    progress.reset();
    m_view.EnableMainWindow(true);

    if (cancelled || !m_settings.BrowseOutputFolder) return;
    for (int i = 0; i < reached; ++i) {
        const std::string& output = entries[static_cast<std::size_t>(i)]->outputPath;
        if (IsFile(output)) {
            m_engine.user.SelectInExplorer(output);
            break;
        }
    }
}
