#pragma once
#include <optional>
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
    int jobs = 0;                // files converting at once; 0: one per online processor
    bool save = false;
    bool probe = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

/// Parses argv[1..]; on a usage error returns nothing and sets `error`.
std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

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

/// The --help text, offering `formats` (the -t names of the formats this build writes).
std::string CliUsage(const std::vector<std::string>& formats);
