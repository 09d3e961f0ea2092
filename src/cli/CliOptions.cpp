#include "cli/CliOptions.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "cli/PlanFile.h"
#include "engine/OutputFormats.h"
#include "platform/Paths.h"
#include "settings/ConversionSettings.h"
#include "settings/OptionRanges.h"

std::vector<std::string> CliFormatNames() {
    std::vector<std::string> names;
    for (const auto& f : OutputFormatTable()) names.emplace_back(f.cliName);
    return names;
}

std::vector<std::string> CliTemplateNames() {
    std::vector<std::string> names;
    for (const auto& slot : TagTemplateSlots()) names.push_back(std::string(slot.name) + "Tag");
    return names;
}

namespace {

constexpr CliOptionInfo kOptions[] = {
    {"-t", "--to", "FORMAT", CliValueKind::Format, "{formats} (default: OutputFormat of the settings)",
     "Converts into FORMAT, named in any letter case (without -t, into the settings' OutputFormat). "
     "This build writes:"},
    {"-o", "--output-dir", "DIR", CliValueKind::Folder, "write into DIR",
     "Sets DestOutputFolderOpt=399 and DestSpecifiedFolder to DIR as an absolute path."},
    {nullptr, "--beside-source", nullptr, CliValueKind::None, "write next to each source",
     "Sets DestOutputFolderOpt=199."},
    {nullptr, "--if-exists", "MODE", CliValueKind::IfExistsMode, "rename, overwrite, skip or update",
     "What happens when an output file of that name exists (TargetExistsOpt)."},
    {nullptr, "--set", "NAME=VALUE", CliValueKind::Setting,
     "override an option by its settings name, e.g. MP3BitRate=192, or a tag\n"
     "template field, e.g. MP3Tag.Artist=Someone (MP3Tag, OGGTag, WMATag,\n"
     "M4ATag; repeatable)",
     "The value gets the same corrections as when it is loaded from the settings store; the names "
     "and their coded values are listed under SETTINGS."},
    {nullptr, "--save", nullptr, CliValueKind::None,
     "store the options given on this command line (with no PATH it only saves)",
     "Only the options named on this command line change in the store, which the window shares."},
    {nullptr, "--reader", "NAME", CliValueKind::Reader, "force one reader: {readers}",
     "Opens every file with that reader only, instead of trying the readers its extension names."},
    {nullptr, "--probe", nullptr, CliValueKind::None,
     "print each file's properties (File, Duration, Bit Rate, Freq., Channels)",
     "Lists instead of converting: SOURCE, then the file list's columns, separated by tabs."},
    {nullptr, "--verify", nullptr, CliValueKind::None,
     "decode each output before it takes its name; one that does not decode to\n"
     "what was written fails",
     "Sets VerifyOutputs=1. The hidden output is decoded with the converter's own readers: the decode "
     "must end without damage and as long as what was encoded (WAV: the same samples). A failed "
     "output is removed, and an existing output of that name is kept."},
    {nullptr, "--strict", nullptr, CliValueKind::None,
     "a source with damaged frames fails instead of converting with a note",
     "Sets StrictDecode=1. Without it, such a file converts and standard error gives the count of "
     "damaged frames."},
    {nullptr, "--dry-run", nullptr, CliValueKind::None,
     "list what would be done, one SOURCE<TAB>ACTION<TAB>OUTPUT line per file;\n"
     "converts nothing and makes no folder",
     "ACTION is convert, rename (to a free name), overwrite, skip (the output exists, or is up to date with "
     "--if-exists update) or fail (OUTPUT then says why). The names are those a run would give, collisions "
     "between the files included. With --delete-orphans it lists the orphans instead of moving them."},
    {nullptr, "--plan", "FILE", CliValueKind::File,
     "write the plan (sources, their numbers, final names and the settings) to\nFILE instead of converting",
     "A later --from-plan run executes it, on this machine or another sharing the output tree. The format "
     "is described in the user guide."},
    {nullptr, "--from-plan", "FILE", CliValueKind::File,
     "convert the files of a plan, with its settings and names (no PATH)",
     "An entry whose output exists complete is skipped, so a run that was stopped can be run again."},
    {nullptr, "--shard", "K/N", CliValueKind::Shard,
     "only the plan's entries whose index is K modulo N, or whole albums when its\nsettings compute album "
     "loudness (0 <= K < N; with --from-plan)",
     "N runs with K from 0 to N-1, at once or one after another, write exactly what one run of the plan "
     "writes. Modulo rather than ranges, so that each shard gets a share of every folder. A plan with album "
     "ReplayGain values or album normalising deals out whole albums instead, each to the shard with the "
     "fewest files so far, as an album's values need all its files in one run."},
    {nullptr, "--delete-orphans", nullptr, CliValueKind::None,
     "move outputs whose source is gone to the trash (needs -o DIR and\nCreateDirs=1)",
     "Looks below DIR where the named source folders are mirrored, and moves a file to the desktop's trash "
     "only when it has the extension of an output format, was not written or kept by this run and no "
     "source of its name is left beside where it came from. Nothing is deleted."},
    {"-j", "--jobs", "N", CliValueKind::Number,
     "convert N files at once (default: the stored FilesAtOnce, whose 0 means one\n"
     "per online processor; 1: one after another); lines and output names stay as\n"
     "in list order",
     nullptr},
    {"-y", "--yes", nullptr, CliValueKind::None, "answer the program's questions with yes", nullptr},
    {"-n", "--no", nullptr, CliValueKind::None,
     "answer the program's questions with no (default: ask on a terminal, else no)", nullptr},
    {"-q", "--quiet", nullptr, CliValueKind::None, "no progress display", nullptr},
    {"-v", "--verbose", nullptr, CliValueKind::None,
     "add each converted file's loudness (LUFS) and true peak (dBTP) to its line", nullptr},
    {nullptr, "--replaygain", "MODE", CliValueKind::ReplayGainMode,
     "write ReplayGain tags: track, album (track and album values) or off;\n"
     "WAV, AAC (ADTS) and AMR files carry none",
     "Sets ReplayGain (0 off, 1 track, 2 album). Album values cover the files of one album: the same "
     "album and album artist tags, or the same source folder when the album tag is empty."},
    {nullptr, "--normalize", "LUFS", CliValueKind::Loudness,
     "bring each track to LUFS (-31 to -14, usually -18), true peak at most -1 dBTP;\n"
     "--set Normalize=2 keeps an album's relative levels instead",
     "Sets Normalize=1 and NormalizeTarget. Each source is read twice: once to measure it, once to "
     "convert it."},
    {"-h", "--help", nullptr, CliValueKind::None, "this text", nullptr},
    {nullptr, "--version", nullptr, CliValueKind::None, "the version, with the codec libraries' versions",
     nullptr},
};

constexpr CliIfExistsMode kIfExistsModes[] = {
    {"rename", "11", "add a number to the new file's name"},
    {"overwrite", "22", "replace the old file once the new one is complete"},
    {"skip", "33", "leave the old file and do not convert"},
    {"update", "44", "convert only when the old file is older than its source"},
};

constexpr CliExitStatus kExitStatuses[] = {
    {0, "all converted or skipped as existing",
     "every file converted or was skipped because its output exists (--if-exists skip, a resumed batch); "
     "files skipped while searching a folder do not count"},
    {1, "a file failed",
     "a file failed to convert, a named file could not be loaded, standard output could not be written "
     "(a full disk), the settings could not be saved, or the decoding libraries did not start"},
    {2, "usage error",
     "usage error: an unknown option or value (a --set value the option cannot hold), no files, or an "
     "output format this build lacks"},
    {130, "interrupted",
     "interrupted (Ctrl+C): the partial outputs of the files being converted are deleted"},
};

std::string Joined(const std::vector<std::string>& names, const std::string& between,
                   const std::string& last) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? last : between) + names[i];
    return text;
}

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    if (const auto at = text.find(what); at != std::string::npos) text.replace(at, what.size(), with);
    return text;
}

}  // namespace

std::span<const CliOptionInfo> CliOptionTable() {
    return kOptions;
}

std::span<const CliIfExistsMode> CliIfExistsModes() {
    return kIfExistsModes;
}

std::span<const CliExitStatus> CliExitStatuses() {
    return kExitStatuses;
}

std::string CliUsage(const std::vector<std::string>& formats) {
    std::string text =
        "Usage: wavelorn-cli [options] PATH...\n"
        "Converts audio files; a folder is searched recursively (with the extension filter when enabled).\n"
        "\n";
    constexpr std::size_t kHelpColumn = 26;
    for (const auto& o : kOptions) {
        std::string left = "  ";
        left += o.shortName ? std::string(o.shortName) + ", " : "    ";
        left += o.longName;
        if (o.argument) left += std::string(" ") + o.argument;
        left.resize(std::max(left.size() + 1, kHelpColumn), ' ');
        std::string help = Replaced(o.help, "{formats}", Joined(formats, " ", " "));
        help = Replaced(help, "{readers}", Joined(CliReaderNames(), ", ", ", "));
        for (std::size_t at = 0; (at = help.find('\n', at)) != std::string::npos; at += kHelpColumn + 1)
            help.insert(at + 1, kHelpColumn, ' ');
        text += left + help + "\n";
    }
    text +=
        "  --                      ends the options\n"
        "\n"
        "Each file gives one line on standard output: SOURCE<TAB>STATUS, and for a converted file\n"
        "SOURCE<TAB>STATUS<TAB>OUTPUT with the output's absolute path. A tab, line break or backslash in a\n"
        "field is written as \\t, \\n or \\\\. Why a file failed to load is said on standard error; a file\n"
        "found in a folder that no reader accepts is only reported there, as skipped.\n"
        "Exit status:";
    for (const auto& e : kExitStatuses)
        text += std::string(&e == kExitStatuses ? " " : ", ") + std::to_string(e.code) + " " + e.brief;
    return text + ".\n";
}

namespace {

constexpr std::pair<const char*, ReaderRole> kReaders[] = {
    {"bass", ReaderRole::Bass}, {"wav", ReaderRole::WavFile},   {"aiff", ReaderRole::Aiff},
    {"au", ReaderRole::Au},     {"ogg", ReaderRole::OggVorbis}, {"ffmpeg", ReaderRole::Ffmpeg},
    {"wma", ReaderRole::Wma},   {"flac", ReaderRole::Flac}};

// More threads than this would only hold more files open and in memory at once.
constexpr int kMaxJobs = 256;

std::optional<std::int32_t> ParseInt(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end || v < INT32_MIN || v > static_cast<long long>(UINT32_MAX)) return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));  // stored as a DWORD
}

std::string AbsoluteFolder(const std::string& folder) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(folder, ec);
    return ec ? folder : absolute.lexically_normal().string();
}

// A tag template field is named by its subkey and value name: "MP3Tag.Artist".
constexpr std::pair<const char*, std::string TagTemplate::*> kTemplateTexts[] = {
    {"Title", &TagTemplate::Title},       {"Artist", &TagTemplate::Artist},
    {"Album", &TagTemplate::Album},       {"Year", &TagTemplate::Year},
    {"Genre", &TagTemplate::Genre},       {"Comment", &TagTemplate::Comment},
    {"Composer", &TagTemplate::Composer}, {"Copyright", &TagTemplate::Copyright}};
constexpr std::pair<const char*, std::int32_t TagTemplate::*> kTemplateNumbers[] = {
    {"TitleAsFileName", &TagTemplate::TitleAsFileName},
    {"TrackNumType", &TagTemplate::TrackNumType},
    {"CustomTrackNum", &TagTemplate::CustomTrackNum}};

TagTemplate* TemplateOf(ConversionSettings& settings, const std::string& name, std::string& field) {
    const auto dot = name.find('.');
    if (dot == std::string::npos) return nullptr;
    for (const auto& [key, tmpl] : TagTemplateSlots()) {
        if (name.substr(0, dot) != std::string(key) + "Tag") continue;
        field = name.substr(dot + 1);
        return &(settings.*tmpl);
    }
    return nullptr;
}

// The text or number an option name stands for; both null for an unknown name.
std::pair<std::string*, std::int32_t*> FindOption(ConversionSettings& settings, const std::string& name) {
    std::string field;
    if (TagTemplate* tmpl = TemplateOf(settings, name, field)) {
        for (const auto& [value, member] : kTemplateTexts)
            if (field == value) return {&(tmpl->*member), nullptr};
        for (const auto& [value, member] : kTemplateNumbers)
            if (field == value) return {nullptr, &(tmpl->*member)};
        return {nullptr, nullptr};
    }
    return {settings.TextOption(name), settings.IntOption(name)};
}

// A value the option cannot hold, even after the correction loading would make, is a usage error.
bool InRange(const std::string& name, std::int32_t number, const std::string& given, std::string& error) {
    const auto dot = name.find('.');  // a template's number is checked by its value name
    const std::string valueName = dot == std::string::npos ? name : name.substr(dot + 1);
    if (OptionInRange(valueName, number)) return true;
    error = "the value of " + name + " must be " + OptionRangeText(valueName) + ", got '" + given + "'";
    return false;
}

bool KnownOption(const std::string& name) {
    ConversionSettings scratch("");
    const auto [text, number] = FindOption(scratch, name);
    return text || number;
}

}  // namespace

std::vector<std::string> CliReaderNames() {
    std::vector<std::string> names;
    for (const auto& [name, role] : kReaders) names.emplace_back(name);
    return names;
}

std::vector<std::string> CliSettingNames() {
    std::vector<std::string> names = ConversionSettings::OptionNames();
    for (const std::string& key : CliTemplateNames()) {
        for (const auto& [value, member] : kTemplateNumbers) names.push_back(key + "." + value);
        for (const auto& [value, member] : kTemplateTexts) names.push_back(key + "." + value);
    }
    return names;
}

int OutputFormatFromName(const std::string& name) {
    for (const auto& f : OutputFormatTable())
        if (name == f.cliName) return f.code;
    return 0;
}

std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
    CliOptions o;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            o.paths.push_back(a);
            continue;
        }
        // Options that take a value accept "--name=value" as well as "--name value".
        std::string name = a, inlineValue;
        bool hasInline = false;
        if (a.rfind("--", 0) == 0) {
            if (const auto eq = a.find('='); eq != std::string::npos) {
                name = a.substr(0, eq);
                inlineValue = a.substr(eq + 1);
                hasInline = true;
            }
        }
        auto value = [&](std::string& out) {
            if (hasInline) {
                out = inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (name == "--") {
            optionsEnded = true;
        } else if (name == "-t" || name == "--to") {
            if (!value(v)) return std::nullopt;
            const int code = OutputFormatFromName(LowerAscii(v));
            if (!code) {
                error = "unknown output format '" + v + "' (use " + Joined(CliFormatNames(), " ", " ") + ")";
                return std::nullopt;
            }
            o.overrides.emplace_back("OutputFormat", std::to_string(code));
        } else if (name == "-o" || name == "--output-dir") {
            if (!value(v)) return std::nullopt;
            if (v.empty()) {
                error = "the output folder must not be empty";
                return std::nullopt;
            }
            o.overrides.emplace_back("DestOutputFolderOpt", "399");
            o.overrides.emplace_back("DestSpecifiedFolder", AbsoluteFolder(v));
        } else if (name == "--beside-source") {
            o.overrides.emplace_back("DestOutputFolderOpt", "199");
        } else if (name == "--verify") {
            o.overrides.emplace_back("VerifyOutputs", "1");
        } else if (name == "--strict") {
            o.overrides.emplace_back("StrictDecode", "1");
        } else if (name == "--if-exists") {
            if (!value(v)) return std::nullopt;
            const char* code = nullptr;
            std::vector<std::string> modes;
            for (const auto& m : kIfExistsModes) {
                if (v == m.name) code = m.code;
                modes.emplace_back(m.name);
            }
            if (!code) {
                error = "unknown --if-exists mode '" + v + "' (use " + Joined(modes, ", ", " or ") + ")";
                return std::nullopt;
            }
            o.overrides.emplace_back("TargetExistsOpt", code);
        } else if (name == "--set") {
            if (!value(v)) return std::nullopt;
            const auto eq = v.find('=');
            if (eq == std::string::npos || eq == 0) {
                error = "--set needs NAME=VALUE, got '" + v + "'";
                return std::nullopt;
            }
            const std::string option = v.substr(0, eq);
            if (!KnownOption(option)) {
                error = "unknown settings name '" + option + "'";
                return std::nullopt;
            }
            const std::string text = v.substr(eq + 1);
            // A saved relative folder would be taken from wherever a later run starts.
            const bool folder = option == "Folder" || option == "DestSpecifiedFolder";
            o.overrides.emplace_back(option, folder && !text.empty() ? AbsoluteFolder(text) : text);
        } else if (name == "--reader") {
            if (!value(v)) return std::nullopt;
            for (const auto& [readerName, role] : kReaders)
                if (v == readerName) o.reader = role;
            if (!o.reader) {
                error = "unknown reader '" + v + "' (use " + Joined(CliReaderNames(), ", ", ", ") + ")";
                return std::nullopt;
            }
        } else if (name == "--replaygain") {
            if (!value(v)) return std::nullopt;
            const char* code = v == "off" ? "0" : v == "track" ? "1" : v == "album" ? "2" : nullptr;
            if (!code) {
                error = "unknown --replaygain mode '" + v + "' (use track, album or off)";
                return std::nullopt;
            }
            o.overrides.emplace_back("ReplayGain", code);
        } else if (name == "--normalize") {
            if (!value(v)) return std::nullopt;
            const auto n = ParseInt(v);
            if (!n || *n < -31 || *n > -14) {
                error = "--normalize needs a loudness from -31 to -14 LUFS, got '" + v + "'";
                return std::nullopt;
            }
            o.overrides.emplace_back("Normalize", "1");
            o.overrides.emplace_back("NormalizeTarget", std::to_string(*n));
        } else if (name == "-j" || name == "--jobs") {
            if (!value(v)) return std::nullopt;
            const auto n = ParseInt(v);
            if (!n || *n < 1 || *n > kMaxJobs) {
                error = "--jobs needs a number from 1 to " + std::to_string(kMaxJobs) + ", got '" + v + "'";
                return std::nullopt;
            }
            o.jobs = *n;
        } else if (name == "--plan" || name == "--from-plan") {
            if (!value(v)) return std::nullopt;
            if (v.empty()) {
                error = "option " + name + " needs a file name";
                return std::nullopt;
            }
            (name == "--plan" ? o.planFile : o.fromPlan) = v;
        } else if (name == "--shard") {
            if (!value(v)) return std::nullopt;
            const auto shard = ParseShard(v);
            if (!shard) {
                error = "--shard needs K/N with 0 <= K < N, got '" + v + "'";
                return std::nullopt;
            }
            std::tie(o.shard, o.shards) = *shard;
        } else if (hasInline) {
            error = "option " + name + " takes no value";
            return std::nullopt;
        } else if (name == "--save") {
            o.save = true;
        } else if (name == "--dry-run") {
            o.dryRun = true;
        } else if (name == "--delete-orphans") {
            o.deleteOrphans = true;
        } else if (name == "--probe") {
            o.probe = true;
        } else if (name == "-y" || name == "--yes") {
            o.answer = true;
        } else if (name == "-n" || name == "--no") {
            o.answer = false;
        } else if (name == "-q" || name == "--quiet") {
            o.quiet = true;
        } else if (name == "-v" || name == "--verbose") {
            o.verbose = true;
        } else if (name == "-h" || name == "--help") {
            o.help = true;
        } else if (name == "--version") {
            o.version = true;
        } else {
            error = "unknown option '" + a + "'";
            return std::nullopt;
        }
    }
    if (!o.fromPlan.empty() && (!o.paths.empty() || !o.planFile.empty() || o.probe || o.deleteOrphans)) {
        error = "--from-plan takes no PATH and no --plan, --probe or --delete-orphans";
        return std::nullopt;
    }
    return o;
}

std::optional<std::string> OptionText(const ConversionSettings& settings, const std::string& name) {
    ConversionSettings& s = const_cast<ConversionSettings&>(settings);  // only read here
    const auto [text, number] = FindOption(s, name);
    if (text) return *text;
    if (number) return std::to_string(*number);
    return std::nullopt;
}

bool ApplyOverrides(ConversionSettings& settings, const CliOptions& options, std::string& error) {
    for (const auto& [name, value] : options.overrides) {
        const auto [text, number] = FindOption(settings, name);
        if (text) {
            *text = value;
        } else if (number) {
            const auto parsed = ParseInt(value);
            if (!parsed) {
                error = "the value of " + name + " must be a whole number, got '" + value + "'";
                return false;
            }
            *number = *parsed;
        } else {
            error = "unknown settings name '" + name + "'";
            return false;
        }
        settings.CheckOption(name);
        if (number && !InRange(name, *number, value, error)) return false;
    }
    return true;
}

unsigned SaveGroupsOf(const CliOptions& options) {
    unsigned groups = 0;
    for (const auto& [name, value] : options.overrides) {
        if (name == "OutputFormat" || name == "OptStartPageIndex")
            groups |= SaveOnExit;
        else if (name == "Folder")
            groups |= SaveFolder;
        else
            groups |= SaveOptions;
    }
    return groups;
}
