#include "cli/CliMain.h"

#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <iostream>
#include <optional>
#include <set>

#include "cli/CliOptions.h"
#include "cli/Console.h"
#include "engine/FileGathering.h"
#include "engine/FileProbe.h"
#include "engine/OutputFormats.h"
#include "host/ConverterSession.h"
#include "platform/FileIdentity.h"
#include "platform/FileUserStore.h"
#include "platform/Paths.h"
#include "settings/ConversionSettings.h"

namespace {

constexpr int kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitInterrupted = 130;
constexpr char kVersion[] = "wavelorn-cli 0.1.0";

int UsageError(const std::string& message) {
    std::cerr << "wavelorn-cli: " << message << "\nTry 'wavelorn-cli --help' for more information.\n";
    return kExitUsage;
}

// The files named on the command line: folders are searched like Add Folder, files are taken as
// given like Add Files; a file named twice (by any spelling) is listed once.
std::vector<std::string> GatherPaths(const std::vector<std::string>& paths, const ConversionSettings& settings) {
    std::vector<std::string> gathered;
    for (const auto& p : paths) {
        if (IsFolder(p))
            CollectFiles(gathered, p, settings);
        else
            gathered.push_back(p);
    }
    std::vector<std::string> unique;
    std::set<std::string> seen;
    for (auto& p : gathered)
        if (seen.insert(NormalisedAbsolutePath(p)).second) unique.push_back(std::move(p));
    return unique;
}

}  // namespace

int RunCli(const std::vector<std::string>& args) {
    std::setlocale(LC_ALL, "");
    std::string error;
    const std::optional<CliOptions> parsed = ParseCommandLine(args, error);
    if (!parsed) return UsageError(error);
    const CliOptions& options = *parsed;
    if (options.help) {
        std::cout << kCliUsage;
        return kExitOk;
    }
    if (options.version) {
        std::cout << kVersion << "\n";
        return kExitOk;
    }

    InstallInterruptHandler();
    ConsoleUserInteraction user(options.answer);
    ConverterSession session(std::make_unique<FileUserStore>(FileUserStore::DefaultPath()), user);
    ConversionSettings& settings = session.Settings();
    if (!ApplyOverrides(settings, options, error)) return UsageError(error);

    if (options.save) {
        // Only what this command line names changes in the store; the rest is reread as it stands.
        ConversionSettings stored;
        stored.LoadSettings(session.Store());
        ApplyOverrides(stored, options, error);
        stored.SaveSettings(session.Store(), SaveGroupsOf(options));
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

    EngineContext& engine = session.Engine();
    engine.forcedReader = options.reader;

    bool anyFailed = false;
    std::vector<FileEntry> entries;
    for (const auto& path : GatherPaths(options.paths, settings)) {
        if (InterruptRequested()) return kExitInterrupted;
        engine.FailureDetail.clear();
        std::optional<FileEntry> entry = ProbeFile(engine, path);
        if (!entry) {
            std::string status = "Failed to load";
            if (!engine.FailureDetail.empty()) status += " (" + engine.FailureDetail + ")";
            std::printf("%s\t%s\n", path.c_str(), status.c_str());
            anyFailed = true;
            continue;
        }
        if (options.probe) {
            const RowTexts row = FormatRow(*entry);
            std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", path.c_str(), row.file.c_str(), row.duration.c_str(),
                        row.bitrate.c_str(), row.frequency.c_str(), row.channels.c_str());
        } else {
            entries.push_back(std::move(*entry));
        }
    }
    std::fflush(stdout);
    if (!convert || entries.empty()) return anyFailed ? kExitFailed : kExitOk;

    std::vector<FileEntry*> batch;
    std::vector<int> rows;
    std::vector<std::string> sources;
    for (auto& e : entries) {
        rows.push_back(static_cast<int>(batch.size()));
        batch.push_back(&e);
        sources.push_back(e.path);
    }
    const bool showProgress = !options.quiet && ::isatty(STDERR_FILENO);
    ConsoleBatchView view(sources, showProgress, stdout);
    session.MakeDriver(view).RunBatch(batch, rows);

    if (InterruptRequested()) return kExitInterrupted;
    for (const auto* e : batch) anyFailed = anyFailed || e->outputPath.empty();
    return anyFailed ? kExitFailed : kExitOk;
}
