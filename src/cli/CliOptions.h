#pragma once
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/ReaderSet.h"

class ConversionSettings;

/// What the command line asks for.
struct CliOptions {
    /// Option values by their stored names, in command-line order (later ones win).
    std::vector<std::pair<std::string, std::string>> overrides;
    std::vector<std::string> paths;
    std::optional<ReaderRole> reader;
    std::optional<bool> answer;  // -y / -n
    int jobs = 0;                // files converting at once; 0: the stored "Files converted at once"
    bool save = false;
    bool probe = false;
    bool quiet = false;
    bool verbose = false;  // each converted file's loudness in its line
    bool help = false;
    bool version = false;
    bool dryRun = false;                // list what the batch would do, convert nothing
    bool deleteOrphans = false;         // move outputs whose source is gone to the trash
    std::string planFile;               // write the plan here instead of converting
    std::string fromPlan;               // convert the plan of this file
    std::size_t shard = 0, shards = 1;  // with fromPlan: the entries whose index is shard modulo shards
};

/// Parses argv[1..]; on a usage error returns nothing and sets `error`.
std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

/// The text of a stored option or template field ("MP3Tag.Artist"); nothing for an unknown name.
std::optional<std::string> OptionText(const ConversionSettings& settings, const std::string& name);

/// Sets the overridden options in `settings`, with the corrections loading would make.
/// False with `error` for an unknown name or a value that is not a number.
bool ApplyOverrides(ConversionSettings& settings, const CliOptions& options, std::string& error);

/// The save groups that hold the overridden options.
unsigned SaveGroupsOf(const CliOptions& options);

/// OutputFormat code of a format name on the command line ("mp3", "wav", ...); 0 if unknown.
/// -t takes the name in any letter case.
int OutputFormatFromName(const std::string& name);

/// The -t names of every output format, in the order of the format table.
std::vector<std::string> CliFormatNames();

/// The names a --set tag template field begins with ("MP3Tag"), in the settings' order.
std::vector<std::string> CliTemplateNames();

/// What the value of an option is, for the manual page and the shell completions.
enum class CliValueKind {
    None,
    Format,
    Folder,
    IfExistsMode,
    Setting,
    Reader,
    Number,
    ReplayGainMode,
    Loudness,
    File,
    Shard
};

/// One option of the command line. --help, the manual page and the completions are made from
/// this table, so none of them can offer an option the parser does not take.
struct CliOptionInfo {
    const char* shortName;  // "-t", or null
    const char* longName;   // "--to"
    const char* argument;   // "FORMAT"; null for a switch
    CliValueKind kind;
    const char* help;  // the --help line; "{formats}" stands for the written formats' names
    const char* more;  // what the manual page adds, or null
};
std::span<const CliOptionInfo> CliOptionTable();

/// The --if-exists modes with the TargetExistsOpt codes they set.
struct CliIfExistsMode {
    const char* name;
    const char* code;
    const char* meaning;
};
std::span<const CliIfExistsMode> CliIfExistsModes();

/// The --reader names, in the order the help lists them.
std::vector<std::string> CliReaderNames();

/// Every NAME that --set takes: the stored options, then the tag templates' fields ("MP3Tag.Artist").
std::vector<std::string> CliSettingNames();

/// The exit statuses and what each means.
struct CliExitStatus {
    int code;
    const char* brief;    // for --help
    const char* meaning;  // for the manual page
};
std::span<const CliExitStatus> CliExitStatuses();

/// The --help text, offering `formats` (the -t names of the formats this build writes).
std::string CliUsage(const std::vector<std::string>& formats);
