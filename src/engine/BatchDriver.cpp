#include "engine/BatchDriver.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <new>

#include "engine/ConversionFrame.h"
#include "engine/ConversionJob.h"
#include "engine/EngineTexts.h"
#include "engine/LoudnessMeter.h"
#include "engine/OutputStaging.h"
#include "engine/SourceKind.h"
#include "engine/SourceSelection.h"
#include "engine/SystemReason.h"
#include "engine/WmaFormatList.h"
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
    if (!format || !format->needsWmfRuntime) return true;
    if (!EnsureWmfRuntime(m_engine)) return false;
    // A list left empty by a load that happened elsewhere is filled before files read it.
    if (m_engine.shared.wmaFormats.Empty())
        BuildWmaFormatList(m_engine.shared.wmaFormats, m_engine.wmfRuntime);
    return true;
}

bool BatchDriver::SoundFontCheck(const std::vector<FileEntry*>& entries) {
    bool hasMidi = false;
    for (const FileEntry* e : entries) hasMidi = hasMidi || e->kind == kKindMidi;
    if (!hasMidi || m_engine.shared.SoundFontReady) return true;
    m_engine.shared.SoundFontReady =
        m_services.loadSoundFont ? m_services.loadSoundFont(m_services.programFolder) : 0;
    if (m_engine.shared.SoundFontReady) return true;
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

int BatchDriver::RunRoutine(ConversionRoutine routine, ConversionJob& job) {
    if (!routine) {
        job.engine.FailureDetail = kFormatUnavailable;
        return 0;
    }
    // Whatever a library throws (memory it cannot get) fails this file alone; the staged output
    // is removed by its owner.
    try {
        return routine(job);
    } catch (const std::bad_alloc&) {
        job.engine.FailureReason = SystemReason(ENOMEM);
    } catch (...) {
    }
    return 0;
}

bool BatchDriver::Conclude(FileEntry& entry, int ok, StagedOutput& staged, const EngineContext& outcome,
                           std::string& status, std::string& reason) {
    const std::string& failureDetail = outcome.FailureDetail;
    const std::string& sourceNote = outcome.SourceNote;
    reason = outcome.FailureReason;
    if (ok && IsNonEmptyFile(staged.Path())) {
        errno = 0;
        switch (PlaceOutput(entry, staged, status, m_settings, m_naming)) {
            case Placement::Placed:
                status = FileNamePart(entry.outputPath);
                reason.clear();
                entry.sourceNote = sourceNote;
                return true;
            case Placement::Skipped:  // status holds the skip message
                entry.outputNote.clear();
                reason.clear();
                return false;
            case Placement::Failed:
                reason = SystemReason(errno);
                break;
        }
    }
    entry.outputNote.clear();
    status = kStatusFailure;
    if (!failureDetail.empty()) {
        status += " (" + failureDetail + ")";
        if (m_engine.shared.StatusColumnWidth < kWideStatusColumn) {
            m_engine.shared.StatusColumnWidth = kWideStatusColumn;
            m_view.SetStatusColumnWidth(kWideStatusColumn);
        }
    }
    return false;
}

std::vector<int> BatchDriver::AlbumsOf(const std::vector<FileEntry*>& entries, int count) {
    if (m_settings.ReplayGain != 2 && m_settings.Normalize != 2) return {};
    std::map<std::string, int> numbers;
    std::vector<int> albums;
    for (int i = 0; i < count; ++i) {
        const std::string& path = entries[static_cast<std::size_t>(i)]->path;
        const std::string key = m_services.albumKey ? m_services.albumKey(path) : FolderPart(path);
        albums.push_back(numbers.emplace(key, static_cast<int>(numbers.size())).first->second);
    }
    return albums;
}

bool BatchDriver::MeasureAlbums(const std::vector<FileEntry*>& entries, const std::vector<int>& albums,
                                ProgressDialog& progress, std::vector<double>& gains) {
    gains.assign(albums.size(), 0.0);
    const OutputFormatInfo* row = FindOutputFormat(m_settings.OutputFormat);
    if (m_settings.Normalize != 2 || !row) return true;
    std::vector<LoudnessMeter> meters(albums.size());
    for (std::size_t i = 0; i < albums.size(); ++i) {
        const FileEntry& entry = *entries[i];
        if (entry.kind == kKindMidi && !m_engine.shared.SoundFontReady) continue;
        progress.SetFileText(StringPrintf(kMeasuringFileText, FileNamePart(entry.path).c_str()));
        progress.PumpMessages();
        ConversionJob job{
            entry.kind, entry.path, {}, progress, m_engine, m_settings, static_cast<int>(i) + 1};
        // A file that cannot be measured does not count for its album; it fails when it converts.
        if (!MeasureSource(job, *row, meters[i])) meters[i] = LoudnessMeter();
        meters[i].TruePeak();  // done measuring: the meter's thread ends
        if (progress.CancelRequested()) return false;
    }
    const int albumCount = albums.empty() ? 0 : *std::max_element(albums.begin(), albums.end()) + 1;
    for (int album = 0; album < albumCount; ++album) {
        std::vector<const LoudnessMeter*> members;
        double peak = 0.0;
        for (std::size_t i = 0; i < albums.size(); ++i)
            if (albums[i] == album && meters[i].Ready()) {
                members.push_back(&meters[i]);
                peak = std::max(peak, meters[i].TruePeak());
            }
        const double loudness = LoudnessMeter::IntegratedOf(members);
        const double gain =
            std::pow(10.0, NormalizeGainDb(loudness, peak, m_settings.NormalizeTarget) / 20.0);
        for (std::size_t i = 0; i < albums.size(); ++i)
            if (albums[i] == album) gains[i] = gain;
    }
    return true;
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
    const bool cancelled = RunFiles(entries, rows, count, formatName, *progress, reached);

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
