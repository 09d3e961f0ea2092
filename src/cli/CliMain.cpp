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
#include <iostream>
#include <optional>
#include <set>

#include "cli/CliOptions.h"
#include "cli/Console.h"
#include "engine/FileGathering.h"
#include "engine/FileProbe.h"
#include "engine/OutputFormats.h"
#include "host/ConverterSession.h"
#include "host/Versions.h"
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
    if (options.paths.empty()) return options.save ? kExitOk : UsageError("no files given");

    const bool convert = !options.probe;
    if (convert && !ConverterSession::RoutineFor(settings.OutputFormat)) {
        std::cerr << "wavelorn-cli: output format " << OutputFormatName(settings.OutputFormat)
                  << " is not available in this version\n";
        return kExitUsage;
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

    bool anyFailed = false;
    // Entries are kept by pointer from the batch view: a list that never reallocates under them.
    std::deque<FileEntry> entries;
    struct PendingNote {
        std::size_t beforeEntry;
        bool toStdout;
        std::string line;
    };
    std::vector<PendingNote> notes;  // load failures, placed between the entries in walk order
    for (const auto& [path, found] : GatherPaths(options.paths, settings)) {
        if (InterruptRequested()) return kExitInterrupted;
        engine.FailureDetail.clear();
        std::optional<FileEntry> entry = ProbeFile(engine, path);
        if (!entry) {
            const std::string reason = LoadFailureReason(path, engine.FailureDetail);
            if (found) {
                // Covers and playlists beside the music are no reason to fail the run.
                notes.push_back(
                    {entries.size(), false,
                     "wavelorn-cli: skipped " + EscapeField(path) + ": " + EscapeField(reason) + "\n"});
            } else {
                std::string status = "Failed to load";
                if (!engine.FailureDetail.empty()) status += " (" + engine.FailureDetail + ")";
                notes.push_back(
                    {entries.size(), true, EscapeField(path) + "\t" + EscapeField(status) + "\n"});
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
