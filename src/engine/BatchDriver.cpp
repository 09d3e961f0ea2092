#include "engine/BatchDriver.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <new>
#include <vector>

#include "engine/BatchPlan.h"
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
#include "platform/UserFolders.h"
#include "settings/ConversionSettings.h"
#include "sources/TextConvert.h"

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
constexpr int kUpdateMode = 44;

// Replaces the playlist only when its text changed, so a mirror that did not change stays as it is.
void WritePlaylistFile(const std::string& path, const std::string& text) {
    std::FILE* old = std::fopen(path.c_str(), "rb");
    if (old) {
        std::string current(text.size() + 1, '\0');
        const std::size_t got = std::fread(current.data(), 1, current.size(), old);
        std::fclose(old);
        if (got == text.size() && current.compare(0, got, text) == 0) return;
    }
    StagedOutput staged(path);
    if (!staged.Ok()) return;
    std::FILE* out = std::fopen(staged.Path().c_str(), "wb");
    if (!out) return;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) == 0 && written) staged.Commit(true);
}

std::string LowerExtension(const std::string& path) {
    std::string ext = ExtensionPart(path);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext;
}

// An Ogg file whose first stream is Vorbis: "OggS", then the identification header at byte 28.
bool IsOggVorbis(const std::string& path) {
    char head[35] = {};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    const std::size_t got = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return got == sizeof head && std::memcmp(head, "OggS", 4) == 0 &&
           std::memcmp(head + 28, "\x01vorbis", 7) == 0;
}

bool CopyFileBytes(const std::string& from, const std::string& to) {
    std::FILE* in = std::fopen(from.c_str(), "rb");
    if (!in) return false;
    std::FILE* out = std::fopen(to.c_str(), "wb");
    bool ok = out != nullptr;
    std::vector<char> buffer(1 << 16);
    while (ok) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
        if (got == 0) {
            ok = !std::ferror(in);
            break;
        }
        ok = std::fwrite(buffer.data(), 1, got, out) == got;
    }
    std::fclose(in);
    if (out && std::fclose(out) != 0) ok = false;
    return ok;
}

}  // namespace

bool CopiesAsIs(const FileEntry& entry, const ConversionSettings& s) {
    if (!s.CopySameFormat) return false;
    // Only the source's own tags can travel in a copy; a template or no tags means encoding.
    if (s.OutputFormat == kKindMp3 && LowerExtension(entry.path) == ".mp3") {
        if (s.AmplifyMp3 || s.MP3ID3TagType != 1) return false;
        if (s.AutoDestMP3EncodingParam) return true;
        const bool mono = entry.channelMode == 3;
        return entry.bitrate > 0 && entry.bitrate <= s.MP3BitRate &&
               (s.MP3SampleRate == 0 || s.MP3SampleRate == entry.sampleRate) &&
               (s.MP3ChannelMode == 4 || (s.MP3ChannelMode == 3) == mono);
    }
    if (s.OutputFormat == kKindOgg && LowerExtension(entry.path) == ".ogg") {
        if (s.AmplifyOGG || s.OGGID3TagType != 1 || !IsOggVorbis(entry.path)) return false;
        if (s.AutoDestOGGEncodingParam) return true;
        return entry.bitrate > 0 && entry.bitrate <= s.OGGBitRate &&
               (s.OGGSampleRate == 0 || s.OGGSampleRate == entry.sampleRate) &&
               (s.OGGChannels == 0 || s.OGGChannels == entry.channels);
    }
    // FLAC is lossless: any compression level holds the same audio.
    if (s.OutputFormat == kFormatFlac && LowerExtension(entry.path) == ".flac") {
        if (s.AmplifyFLAC || s.FLACID3TagType != 1 || s.FLACBitsPerSample != 0) return false;
        return (s.FLACSampleRate == 0 || s.FLACSampleRate == entry.sampleRate) &&
               (s.FLACChannels == 0 || (s.FLACChannels == 1 && entry.channels == 1));
    }
    return false;
}

int CopySource(const std::string& source, const std::string& output) {
    return CopyFileBytes(source, output) ? 1 : 0;
}

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
    NamingReport report;
    const bool named = entry.planned ? PlannedName(entry, status, report)
                                     : ResolveOutputPath(entry, status, m_settings, m_naming, &report);
    // Every folder the batch writes into, or skips in, loses the hidden files of killed runs.
    if (!report.folder.empty() && m_cleanedFolders.insert(report.folder).second)
        RemoveStaleStagingFiles(report.folder, std::time(nullptr));
    if (!named) {
        if (report.action == NamingAction::Skip) m_existing[&entry] = report.name;
        return nullptr;
    }

    // The routine writes a hidden file; only a complete one takes the output's name.
    auto staged = std::make_unique<StagedOutput>(entry.outputPath, entry.planned.has_value());
    if (!staged->Ok()) {
        status = "Failed to create file \"" + entry.outputPath + "\"";
        entry.outputNote.clear();
        return nullptr;
    }
    return staged;
}

bool BatchDriver::PlannedName(FileEntry& entry, std::string& status, NamingReport& report) {
    const PlannedOutput& plan = *entry.planned;
    report.folder = FolderPart(plan.path);
    report.name = plan.path;
    if (!EnsureFolder(report.folder, true)) {
        report.action = NamingAction::Fail;
        status = "Failed to create folder \"" + report.folder + "\"";
        return false;
    }
    // A file of that name is this entry's complete output from an earlier run, unless it is the very
    // file the plan was made to replace.
    const std::string stamp = FileStamp(plan.path);
    if (!stamp.empty() && !(plan.replace && stamp == plan.replaces)) {
        report.action = NamingAction::Skip;
        status = kStatusTargetSkipped;
        return false;
    }
    report.action = stamp.empty() ? NamingAction::Convert : NamingAction::Overwrite;
    entry.outputPath = plan.path;
    return true;
}

void BatchDriver::KeepSourceTime(const FileEntry& entry, const std::string& output) const {
    const int option = m_settings.OutputTakesSourceTime;
    if (option != 1 && !(option == 2 && m_settings.TargetExistsOpt == kUpdateMode)) return;
    struct stat src {};
    if (::stat(entry.path.c_str(), &src) != 0) return;
    const timespec times[2] = {{0, UTIME_OMIT}, src.st_mtim};
    ::utimensat(AT_FDCWD, output.c_str(), times, 0);
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

Placement BatchDriver::PlacePlanned(FileEntry& entry, StagedOutput& staged, std::string& status) {
    if (staged.Commit(entry.planned->replace)) return Placement::Placed;
    if (!staged.NameTaken()) return Placement::Failed;
    status = kStatusTargetSkipped;  // written meanwhile by another run of the same plan
    return Placement::Skipped;
}

bool BatchDriver::Conclude(FileEntry& entry, int ok, StagedOutput& staged, const EngineContext& outcome,
                           std::string& status, std::string& reason) {
    const std::string& failureDetail = outcome.FailureDetail;
    const std::string& sourceNote = outcome.SourceNote;
    reason = outcome.FailureReason;
    if (ok && IsNonEmptyFile(staged.Path())) {
        errno = 0;
        KeepSourceTime(entry, staged.Path());
        switch (entry.planned ? PlacePlanned(entry, staged, status)
                              : PlaceOutput(entry, staged, status, m_settings, m_naming)) {
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
    // A batch that would write over one of its own sources is refused before anything is written.
    // (A plan's names were checked when it was made.)
    if (std::none_of(entries.begin(), entries.end(),
                     [](const FileEntry* e) { return e->planned.has_value(); })) {
        const auto lines = PlanBatch(entries, m_settings, [] { return DocumentsFolder(false); });
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!lines[i].hitsSource) continue;
            m_engine.user.ShowWarning(StringPrintf(kSourceOverwriteRefused, entries[i]->path.c_str()));
            return;
        }
    }
    if (!RuntimeReady() || !SoundFontCheck(entries)) return;
    m_cleanedFolders.clear();
    m_existing.clear();
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

    if (m_settings.WritePlaylists && !cancelled) WritePlaylists(entries, reached);
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

void BatchDriver::WritePlaylists(const std::vector<FileEntry*>& entries, int reached) {
    // Each folder's outputs in list order: those written now and those kept because they exist.
    std::vector<std::pair<std::string, std::string>> folders;  // folder, playlist text
    for (int i = 0; i < reached && i < static_cast<int>(entries.size()); ++i) {
        const FileEntry* e = entries[static_cast<std::size_t>(i)];
        std::string output = e->outputPath;
        if (output.empty()) {
            const auto kept = m_existing.find(e);
            if (kept == m_existing.end()) continue;
            output = kept->second;
        }
        const std::string folder = FolderPart(output);
        auto at =
            std::find_if(folders.begin(), folders.end(), [&](const auto& f) { return f.first == folder; });
        if (at == folders.end()) at = folders.insert(folders.end(), {folder, "#EXTM3U\n"});
        std::string utf8;
        if (AnsiToUtf8(FileNamePart(output).c_str(), utf8) != 0) utf8 = FileNamePart(output);
        at->second += utf8 + "\n";
    }
    for (const auto& [folder, text] : folders) {
        const std::string name = FileNamePart(folder);
        WritePlaylistFile(folder + "/" + (name.empty() ? std::string("playlist") : name) + ".m3u8", text);
    }
}
