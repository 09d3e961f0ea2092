#include "cli/CliMain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <queue>
#include <set>
#include <sstream>
#include <unordered_map>

#include "cli/CliOptions.h"
#include "cli/Console.h"
#include "cli/PlanFile.h"
#include "engine/BatchPlan.h"
#include "engine/EngineTexts.h"
#include "engine/FileGathering.h"
#include "engine/FileProbe.h"
#include "engine/OutputFormats.h"
#include "engine/OutputStaging.h"
#include "engine/SourceSelection.h"
#include "host/ConverterSession.h"
#include "host/Versions.h"
#include "platform/Desktop.h"
#include "platform/FileIdentity.h"
#include "platform/FileUserStore.h"
#include "platform/Paths.h"
#include "platform/UserFolders.h"
#include "settings/ConversionSettings.h"

namespace {

constexpr int kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitInterrupted = 130;

int UsageError(const std::string& message) {
    std::cerr << "wavelorn-cli: " << message << "\nTry 'wavelorn-cli --help' for more information.\n";
    return kExitUsage;
}

struct GatheredPath {
    std::string path;
    bool found;  // by searching a folder the user named, not named itself
};

// The files named on the command line: folders are searched like Add Folder, files are taken as
// given like Add Files; a file named twice (by any spelling) is listed once.
std::vector<GatheredPath> GatherPaths(const std::vector<std::string>& paths,
                                      const ConversionSettings& settings) {
    std::vector<GatheredPath> gathered;
    for (const auto& p : paths) {
        if (IsFolder(p)) {
            std::vector<std::string> found;
            CollectFiles(found, p, settings);
            for (auto& f : found) gathered.push_back({std::move(f), true});
        } else {
            gathered.push_back({p, false});
        }
    }
    std::vector<GatheredPath> unique;
    std::set<std::string> seen;
    for (auto& g : gathered)
        if (seen.insert(NormalisedAbsolutePath(g.path)).second) unique.push_back(std::move(g));
    return unique;
}

// Why a file could not be listed, for standard error.
std::string LoadFailureReason(const std::string& path, const std::string& detail) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT ? "no such file" : std::strerror(errno);
    if (!detail.empty()) return detail;
    // A file the system will not let us read is no file that no reader accepts.
    if (S_ISREG(st.st_mode)) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) return std::strerror(errno);
        ::close(fd);
    }
    return "no reader accepts it";
}

// The -t names of the formats this build writes.
std::vector<std::string> WrittenFormats() {
    std::vector<std::string> names;
    for (const auto& f : OutputFormatTable())
        if (ConverterSession::RoutineFor(f.code)) names.emplace_back(f.cliName);
    return names;
}

constexpr int kFolderMode = 399;
constexpr int kUpdateMode = 44;
constexpr char kStatusReplacedInBatch[] = "Replaced by a later file of the batch";
// Options a plan leaves to each machine.
constexpr const char* kMachineOptions[] = {"FilesAtOnce", "OptStartPageIndex", "Folder",
                                           "BrowseOutputFolder"};

/// A file to list: named, found in a folder, or an entry of a plan.
struct Listed {
    std::string path;
    bool found = false;  // by searching a folder the user named, not named itself
    std::optional<PlannedOutput> planned = {};
    std::string status = {};  // set when the plan decided the file's line already
    bool failed = false;      // ...and that line is a failure
};

std::optional<PlanFile> LoadPlan(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error = "could not be read";
        return std::nullopt;
    }
    return ReadPlanText(text.str(), error);
}

bool WritesOutput(const std::string& action) {
    return action == "convert" || action == "rename" || action == "overwrite";
}

using AlbumKeyLookup = std::function<std::string(const std::string& sourcePath)>;

// Whether the settings compute values over whole albums: album tags or album normalising.
bool AlbumWide(const ConversionSettings& settings) {
    return settings.ReplayGain == 2 || settings.Normalize == 2;
}

// Numbers the albums of the batch's files (those with a number) from 0 in list order.
std::vector<std::optional<std::size_t>> NumberAlbums(const std::vector<std::string>& sources,
                                                     const std::vector<bool>& inBatch,
                                                     const AlbumKeyLookup& albumKey) {
    std::map<std::string, std::size_t> numbers;
    std::vector<std::optional<std::size_t>> albums(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i)
        if (inBatch[i]) albums[i] = numbers.emplace(albumKey(sources[i]), numbers.size()).first->second;
    return albums;
}

// The album of each entry of a plan: as recorded, or, for a plan written without albums, from the
// sources as they are now.
std::vector<std::optional<std::size_t>> PlanAlbums(const PlanFile& plan, const AlbumKeyLookup& albumKey) {
    std::vector<std::optional<std::size_t>> albums;
    for (const auto& e : plan.entries) albums.push_back(e.album);
    if (std::any_of(albums.begin(), albums.end(), [](const auto& a) { return a.has_value(); })) return albums;
    std::vector<std::string> sources;
    std::vector<bool> inBatch;
    for (const auto& e : plan.entries) {
        sources.push_back(e.source);
        inBatch.push_back(e.number > 0);
    }
    return NumberAlbums(sources, inBatch, albumKey);
}

// The shard of each entry: by index modulo the count, so that each shard gets its share of every
// folder. With albums, an album's values need all its files in one run, so each album goes whole to
// the shard with the fewest files so far, in plan order; an entry of no album keeps the modulo.
std::vector<std::size_t> ShardsOf(const PlanFile& plan, std::size_t shards,
                                  const std::vector<std::optional<std::size_t>>& albums) {
    std::vector<std::size_t> shardOf(plan.entries.size());
    std::vector<std::size_t> albumSize, albumShard;
    for (std::size_t i = 0; i < shardOf.size(); ++i) {
        shardOf[i] = plan.entries[i].index % shards;
        if (i >= albums.size() || !albums[i]) continue;
        if (*albums[i] >= albumSize.size()) albumSize.resize(*albums[i] + 1, 0);
        ++albumSize[*albums[i]];
    }
    if (albumSize.empty()) return shardOf;
    albumShard.assign(albumSize.size(), shards);
    // The shards by files so far, then by number: the least loaded first.
    using Load = std::pair<std::size_t, std::size_t>;
    std::vector<Load> start;
    for (std::size_t k = 0; k < shards; ++k) start.emplace_back(0, k);
    std::priority_queue<Load, std::vector<Load>, std::greater<Load>> loads(std::greater<Load>(),
                                                                           std::move(start));
    for (std::size_t i = 0; i < shardOf.size(); ++i) {
        if (i >= albums.size() || !albums[i]) continue;
        std::size_t& shard = albumShard[*albums[i]];
        if (shard == shards) {
            auto [load, least] = loads.top();
            loads.pop();
            shard = least;
            loads.emplace(load + albumSize[*albums[i]], least);
        }
        shardOf[i] = shard;
    }
    return shardOf;
}

// The entries of one shard.
std::vector<Listed> ShardOf(const PlanFile& plan, std::size_t shard,
                            const std::vector<std::size_t>& shardOf) {
    // An entry whose output a later entry of the plan overwrites is left out, as that name ends up
    // holding the later file, and two shards must never write one name.
    std::unordered_map<std::string, std::size_t> lastWriter;
    for (const auto& e : plan.entries)
        if (WritesOutput(e.action)) lastWriter[e.output] = e.index;
    std::vector<Listed> listed;
    for (const auto& e : plan.entries) {
        if (shardOf[e.index] != shard) continue;
        Listed item{e.source};
        if (e.action == "fail") {
            item.status = e.detail.empty() ? kStatusFailure : e.detail;
            item.failed = true;
        } else if (e.action == "skip") {
            item.status = e.detail.empty() ? kStatusTargetSkipped : e.detail;
        } else if (lastWriter[e.output] != e.index) {
            item.status = kStatusReplacedInBatch;
        } else {
            item.planned = PlannedOutput{e.output, e.number, e.draws, e.action == "overwrite", e.detail};
        }
        listed.push_back(std::move(item));
    }
    return listed;
}

bool SavePlan(const std::string& path, const ConversionSettings& settings,
              std::vector<PlanFileEntry> entries) {
    PlanFile plan;
    for (const std::string& name : CliSettingNames()) {
        if (std::find(std::begin(kMachineOptions), std::end(kMachineOptions), name) !=
            std::end(kMachineOptions))
            continue;
        if (auto value = OptionText(settings, name)) plan.options.emplace_back(name, std::move(*value));
    }
    plan.entries = std::move(entries);
    const std::string text = WritePlanText(plan);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return static_cast<bool>(out);
}

// Outputs below the mirror of each named source folder whose source is gone: files with an output
// format's extension that this run neither wrote nor kept, with no file of their base name (or of
// their base name without a rename's "_N") left where their source was.
std::vector<std::string> FindOrphans(const ConversionSettings& settings,
                                     const std::vector<std::string>& paths,
                                     const std::vector<PlanLine>& lines) {
    namespace fs = std::filesystem;
    std::set<std::string> kept, extensions;
    for (const auto& l : lines)
        if (!l.output.empty()) kept.insert(NormalisedAbsolutePath(l.output));
    for (const auto& f : OutputFormatTable()) extensions.insert(f.extension);
    std::map<std::string, std::set<std::string>> stems;  // source folder: the base names in it
    const auto sourceLeft = [&](const std::string& folder, const std::string& base) {
        auto at = stems.find(folder);
        if (at == stems.end()) {
            at = stems.emplace(folder, std::set<std::string>()).first;
            std::error_code ec;
            for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
                at->second.insert(it->path().stem().string());
        }
        if (at->second.count(base)) return true;
        const auto underscore = base.rfind('_');
        return underscore != std::string::npos && underscore + 1 < base.size() &&
               base.find_first_not_of("0123456789", underscore + 1) == std::string::npos &&
               at->second.count(base.substr(0, underscore));
    };
    std::vector<std::string> orphans;
    const std::string dest = NormalisedAbsolutePath(settings.DestSpecifiedFolder);
    for (const auto& p : paths) {
        if (!IsFolder(p)) continue;
        const std::string in = NormalisedAbsolutePath(p);
        const fs::path mirror = fs::path(dest) / fs::path(in).relative_path();
        std::error_code ec;
        std::vector<std::string> found;
        for (fs::recursive_directory_iterator it(mirror, ec), end; !ec && it != end; it.increment(ec)) {
            if (!it->is_regular_file() || it->is_symlink()) continue;
            const fs::path& file = it->path();
            if (!extensions.count(LowerAscii(file.extension().string())) ||
                IsStagingName(file.filename().string()))
                continue;
            if (kept.count(file.string())) continue;
            const fs::path source = fs::path(in) / file.parent_path().lexically_relative(mirror);
            if (!sourceLeft(source.lexically_normal().string(), file.stem().string()))
                found.push_back(file.string());
        }
        std::sort(found.begin(), found.end());
        orphans.insert(orphans.end(), found.begin(), found.end());
    }
    return orphans;
}

}  // namespace

namespace {

int RunWithOutput(const std::vector<std::string>& args, OutputLines& out) {
    std::setlocale(LC_ALL, "");
    std::string error;
    const std::optional<CliOptions> parsed = ParseCommandLine(args, error);
    if (!parsed) return UsageError(error);
    const CliOptions& options = *parsed;
    if (options.help) {
        out.Write(CliUsage(WrittenFormats()));
        return kExitOk;
    }
    if (options.version) {
        out.Write(VersionText("wavelorn-cli"));
        return kExitOk;
    }

    InstallInterruptHandler();
    ConsoleUserInteraction user(options.answer);
    ConverterSession session(std::make_unique<FileUserStore>(FileUserStore::DefaultPath()), user);
    ConversionSettings& settings = session.Settings();
    if (!ApplyOverrides(settings, options, error)) return UsageError(error);

    if (options.save) {
        // Only what this command line names changes in the store; the rest is reread as it stands.
        ConversionSettings stored(DocumentsFolder(true));
        stored.LoadSettings(session.Store());
        ApplyOverrides(stored, options, error);
        if (!stored.SaveSettings(session.Store(), SaveGroupsOf(options))) {
            std::cerr << "wavelorn-cli: could not save the settings in " << FileUserStore::DefaultPath()
                      << "\n";
            return kExitFailed;
        }
    }
    if (options.shards > 1 && options.fromPlan.empty()) return UsageError("--shard needs --from-plan");
    std::optional<PlanFile> plan;
    if (!options.fromPlan.empty()) {
        plan = LoadPlan(options.fromPlan, error);
        if (!plan) {
            std::cerr << "wavelorn-cli: " << options.fromPlan << ": " << error << "\n";
            return kExitUsage;
        }
        // Every machine converts with the settings the plan was made with.
        CliOptions planned;
        planned.overrides = plan->options;
        if (!ApplyOverrides(settings, planned, error)) {
            std::cerr << "wavelorn-cli: " << options.fromPlan << ": " << error << "\n";
            return kExitUsage;
        }
    }
    if (options.paths.empty() && !plan) return options.save ? kExitOk : UsageError("no files given");

    const bool convert = !options.probe;
    if (convert && !ConverterSession::RoutineFor(settings.OutputFormat)) {
        std::cerr << "wavelorn-cli: output format " << OutputFormatName(settings.OutputFormat)
                  << " is not available in this version\n";
        return kExitUsage;
    }
    if (options.deleteOrphans && (settings.DestOutputFolderOpt != kFolderMode || !settings.CreateDirs))
        return UsageError("--delete-orphans needs -o DIR with CreateDirs=1 (the source folders mirrored)");
    // A tree converted into itself: its outputs would be sources of the next run.
    if (convert && settings.DestOutputFolderOpt == kFolderMode && !plan) {
        const std::string out = NormalisedAbsolutePath(settings.DestSpecifiedFolder);
        for (const auto& p : options.paths) {
            if (!IsFolder(p)) continue;
            const std::string in = NormalisedAbsolutePath(p);
            if (out == in || out.rfind(in == "/" ? in : in + "/", 0) == 0) {
                std::cerr << "wavelorn-cli: refused: the output folder " << out << " lies in " << in
                          << ", a folder this run converts, so its outputs would become sources; nothing was "
                             "converted (choose an output folder outside it)\n";
                return kExitUsage;
            }
        }
    }

    const DecoderStartupResult started = session.StartDecoders();
    if (started == DecoderStartupResult::InitFailed) {
        std::cerr << "wavelorn-cli: " << kDecoderInitFailedMessage << "\n";
        return kExitFailed;
    }
    if (started != DecoderStartupResult::Started) return kExitFailed;
    InstallInterruptHandler();  // again: a decoder library may have put its own in place

    EngineContext& engine = session.Engine();
    engine.shared.forcedReader = options.reader;

    // What is listed: the named and found files, or this shard's entries of a plan.
    std::vector<Listed> listed;
    if (plan) {
        std::vector<std::optional<std::size_t>> albums;
        if (AlbumWide(settings)) {
            albums = PlanAlbums(*plan, session.Services().albumKey);
            // The run takes its albums from the plan too, reading no source's tags again.
            std::map<std::string, std::string> keys;
            for (std::size_t i = 0; i < albums.size(); ++i)
                if (albums[i]) keys[plan->entries[i].source] = "plan album " + std::to_string(*albums[i]);
            session.Services().albumKey = [keys = std::move(keys),
                                           read = session.Services().albumKey](const std::string& path) {
                const auto at = keys.find(path);
                return at != keys.end() ? at->second : read(path);
            };
        }
        listed = ShardOf(*plan, options.shard, ShardsOf(*plan, options.shards, albums));
    } else {
        for (auto& [path, found] : GatherPaths(options.paths, settings)) listed.push_back({path, found});
    }
    const bool update = settings.TargetExistsOpt == kUpdateMode && !plan;
    const DocumentsFolderLookup noFolderMade = [] { return DocumentsFolder(false); };

    bool anyFailed = false;
    // Entries are kept by pointer from the batch view: a list that never reallocates under them.
    std::deque<FileEntry> entries;
    struct PendingNote {
        std::size_t beforeEntry;
        bool toStdout;
        std::string line;
        std::string source = {};  // for a line on standard output: the file,
        bool fails = false;       // whether it fails,
        std::string status = {};  // its status,
        std::string reason = {};  // and why it fails
    };
    std::vector<PendingNote> notes;  // load failures, placed between the entries in walk order
    for (auto& item : listed) {
        if (InterruptRequested()) return kExitInterrupted;
        if (!item.status.empty()) {  // decided by the plan
            notes.push_back({entries.size(), true,
                             EscapeField(item.path) + "\t" + EscapeField(item.status) + "\n", item.path,
                             item.failed, item.status, item.status});
            anyFailed = anyFailed || item.failed;
            continue;
        }
        if (update) {
            // An output that is up to date needs no look into the source: naming alone skips it.
            FileEntry quick;
            quick.path = item.path;
            DryRunNames names;
            NamingReport report;
            std::string message;
            if (!ResolveOutputPath(quick, message, settings, BatchNaming{noFolderMade, {}, &names},
                                   &report) &&
                report.action == NamingAction::Skip) {
                quick.kind = SourceKindFromExtension(item.path);
                entries.push_back(std::move(quick));
                continue;
            }
        }
        engine.FailureDetail.clear();
        std::optional<FileEntry> entry = ProbeFile(engine, item.path);
        const std::string& path = item.path;
        if (!entry) {
            const std::string reason = LoadFailureReason(path, engine.FailureDetail);
            if (item.found) {
                // Covers and playlists beside the music are no reason to fail the run.
                notes.push_back(
                    {entries.size(), false,
                     "wavelorn-cli: skipped " + EscapeField(path) + ": " + EscapeField(reason) + "\n"});
            } else {
                std::string status = "Failed to load";
                if (!engine.FailureDetail.empty()) status += " (" + engine.FailureDetail + ")";
                notes.push_back({entries.size(), true, EscapeField(path) + "\t" + EscapeField(status) + "\n",
                                 path, true, status, reason});
                notes.push_back({entries.size(), false,
                                 "wavelorn-cli: " + EscapeField(path) + ": " + EscapeField(reason) + "\n"});
                anyFailed = true;
            }
            if (options.probe) {
                for (const auto& n : notes) {
                    if (n.toStdout) {
                        out.Write(n.line);
                    } else {
                        std::fputs(n.line.c_str(), stderr);
                        std::fflush(stderr);
                    }
                }
                notes.clear();
            }
            continue;
        }
        if (options.probe) {
            const RowTexts row = FormatRow(*entry);
            out.Write(EscapeField(path) + "\t" + EscapeField(row.file) + "\t" + row.duration + "\t" +
                      row.bitrate + "\t" + row.frequency + "\t" + row.channels + "\n");
        } else {
            entry->planned = item.planned;
            entries.push_back(std::move(*entry));
        }
    }
    if (!convert) return anyFailed ? kExitFailed : kExitOk;

    std::vector<FileEntry*> batch;
    std::vector<const FileEntry*> viewRows;
    std::vector<int> rows;
    for (auto& e : entries) {
        rows.push_back(static_cast<int>(batch.size()));
        batch.push_back(&e);
        viewRows.push_back(&e);
    }

    // The whole batch named first, writing nothing: for the dry run and the plan, and so that a run that
    // would replace one of its own sources is refused before anything is written.
    std::vector<PlanLine> lines;
    if (plan) {
        for (FileEntry* e : batch) {
            PlanLine line;
            line.action = e->planned->replace ? NamingAction::Overwrite : NamingAction::Convert;
            line.output = e->planned->path;
            lines.push_back(std::move(line));
        }
    } else {
        lines = PlanBatch(batch, settings, noFolderMade);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!lines[i].hitsSource) continue;
            std::cerr
                << "wavelorn-cli: refused: the output of " << batch[i]->path
                << " would replace a source of this run; nothing was converted (choose an output folder, "
                   "or --if-exists rename or skip)\n";
            return kExitUsage;
        }
    }

    if (options.dryRun || !options.planFile.empty()) {
        // One line per file in list order, the load failures in their places.
        std::vector<PlanFileEntry> planned;
        std::uint32_t draws = 0;
        std::size_t nextNote = 0;
        const auto notesBefore = [&](std::size_t entry) {
            for (; nextNote < notes.size() && notes[nextNote].beforeEntry <= entry; ++nextNote) {
                const PendingNote& n = notes[nextNote];
                if (!n.toStdout) {
                    std::fputs(n.line.c_str(), stderr);
                    continue;
                }
                const bool kept = n.status == kStatusTargetSkipped;
                planned.push_back({planned.size(), 0, 0, n.fails ? "fail" : "skip",
                                   NormalisedAbsolutePath(n.source), "", n.fails || !kept ? n.status : ""});
                if (options.dryRun)
                    out.Write(EscapeField(n.source) + "\t" + planned.back().action + "\t" +
                              EscapeField(n.fails ? n.reason : "") + "\n");
            }
        };
        // Albums are recorded, so that shards keep them whole without reading every source's tags.
        std::vector<std::optional<std::size_t>> albums(batch.size());
        if (AlbumWide(settings) && !options.planFile.empty()) {
            std::vector<std::string> sources;
            for (const FileEntry* e : batch) sources.push_back(e->path);
            albums =
                NumberAlbums(sources, std::vector<bool>(batch.size(), true), session.Services().albumKey);
        }
        for (std::size_t i = 0; i < batch.size(); ++i) {
            notesBefore(i);
            const PlanLine& line = lines[i];
            const bool fails = line.action == NamingAction::Fail;
            planned.push_back({planned.size(), static_cast<int>(i) + 1, draws, NamingActionName(line.action),
                               NormalisedAbsolutePath(batch[i]->path), line.output,
                               fails ? line.reason : line.replaces, albums[i]});
            if (line.action != NamingAction::Skip && !fails) ++draws;
            if (options.dryRun)
                out.Write(EscapeField(batch[i]->path) + "\t" + NamingActionName(line.action) + "\t" +
                          EscapeField(fails ? line.reason : line.output) + "\n");
        }
        notesBefore(batch.size());
        if (options.deleteOrphans) {
            for (const auto& orphan : FindOrphans(settings, options.paths, lines))
                out.Write(EscapeField(orphan) + "\torphan\n");
        }
        if (!options.planFile.empty() && !SavePlan(options.planFile, settings, std::move(planned))) {
            std::cerr << "wavelorn-cli: could not write the plan " << options.planFile << ": "
                      << std::strerror(errno) << "\n";
            return kExitFailed;
        }
        return anyFailed || std::any_of(lines.begin(), lines.end(),
                                        [](const PlanLine& l) { return l.action == NamingAction::Fail; })
                   ? kExitFailed
                   : kExitOk;
    }

    const bool showProgress = !options.quiet && ::isatty(STDERR_FILENO);
    {
        ConsoleBatchView view(viewRows, showProgress, out, stderr);
        view.ShowLoudness(options.verbose);
        engine.shared.measureLoudness = options.verbose;
        for (auto& n : notes) view.AddNote(static_cast<int>(n.beforeEntry), n.toStdout, std::move(n.line));
        if (!batch.empty()) {
            // Output naming asks for the documents folder only when it falls back to it.
            session.Services().documentsFolder = [&view] {
                view.NoteDocumentsFallback();
                return DocumentsFolder(true);
            };
            session.Services().jobs =
                options.jobs > 0 ? options.jobs : ConverterSession::FilesAtOnce(session.Settings());
            session.MakeDriver(view).RunBatch(batch, rows);
            session.Services().documentsFolder = nullptr;
        }
        // A file skipped because its output exists was asked for (--if-exists skip, a resumed batch).
        for (std::size_t i = 0; i < batch.size(); ++i)
            anyFailed = anyFailed || (batch[i]->outputPath.empty() && !view.SkippedAsExisting(rows[i]));
    }  // the view prints the notes that follow the last row

    if (InterruptRequested()) return kExitInterrupted;
    if (options.deleteOrphans) {
        for (const auto& orphan : FindOrphans(settings, options.paths, lines)) {
            if (MoveToTrash(orphan)) {
                out.Write(EscapeField(orphan) + "\ttrashed\n");
            } else {
                std::cerr << "wavelorn-cli: could not move " << orphan << " to the trash\n";
                anyFailed = true;
            }
        }
    }
    return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace

int RunCli(const std::vector<std::string>& args) {
    OutputLines out(stdout);
    int status = RunWithOutput(args, out);
    // A report lost on a full disk must not pass for a run that went well.
    if (const int error = out.Error()) {
        std::cerr << "wavelorn-cli: write error: " << std::strerror(error) << "\n";
        if (status == kExitOk) status = kExitFailed;
    }
    return status;
}
