#include <algorithm>
#include <cctype>
#include <string>

#include "cli/CliOptions.h"
#include "docs/DocTables.h"
#include "engine/OutputFormats.h"
#include "host/Versions.h"
#include "host/WindowOptions.h"
#include "settings/ConversionSettings.h"
#include "settings/OptionChoices.h"

namespace {

// Text for roff: backslashes and dashes escaped, a line never starting with a control character.
std::string Roff(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

// One paragraph of text whose line breaks are only where --help wraps.
std::string Flowing(std::string text) {
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

std::string Header(const std::string& name, const std::string& date) {
    return ".TH " + Roff(name) + " 1 \"" + date + "\" \"Wavelorn " + WavelornVersion() +
           "\" \"User Commands\"\n";
}

std::string Choices(const std::string& name) {
    std::string text;
    for (const auto& c : OptionChoices(name))
        text += (text.empty() ? "" : "; ") + std::to_string(c.value) + " = " + c.meaning;
    return text;
}

// The written formats' -t names ("mp3, wav, ..."), or their display names ("MP3, WAV, ...").
std::string JoinedFormats(bool displayNames = false) {
    std::string text;
    for (const auto& f : WrittenFormats())
        text += (text.empty() ? "" : ", ") + (displayNames ? f.name : f.cliName);
    return text;
}

std::string OptionsSection() {
    std::string text = ".SH OPTIONS\n";
    for (const auto& o : CliOptionTable()) {
        text += ".TP\n";
        if (o.shortName) text += "\\fB" + Roff(o.shortName) + "\\fR, ";
        text += "\\fB" + Roff(o.longName) + "\\fR";
        if (o.argument) text += " \\fI" + Roff(o.argument) + "\\fR";
        text += "\n";
        std::string help = Flowing(o.help);
        if (const auto at = help.find("{formats}"); at != std::string::npos)
            help.replace(at, 9, JoinedFormats());
        if (const auto at = help.find("{readers}"); at != std::string::npos) {
            std::string readers;
            for (const auto& r : CliReaderNames()) readers += (readers.empty() ? "" : ", ") + r;
            help.replace(at, 9, readers);
        }
        help[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(help[0])));
        // The format list reads as a list below, not as a sentence.
        if (o.kind != CliValueKind::Format) text += Roff(help) + ".";
        if (o.more) text += (o.kind != CliValueKind::Format ? " " : "") + Roff(o.more);
        text += "\n";
        if (o.kind == CliValueKind::Format) {
            text += ".RS\n";
            for (const auto& f : WrittenFormats())
                text += ".TP 8\n\\fB" + Roff(f.cliName) + "\\fR\n" + Roff(f.name) + ", files ending in \\fB" +
                        Roff(f.extension) + "\\fR\n";
            text += ".RE\n";
        } else if (o.kind == CliValueKind::IfExistsMode) {
            text += ".RS\n";
            for (const auto& m : CliIfExistsModes())
                text += ".TP 12\n\\fB" + Roff(m.name) + "\\fR\n" + Roff(m.meaning) + " (" + m.code + ")\n";
            text += ".RE\n";
        }
    }
    text += ".TP\n\\fB\\-\\-\\fR\nEnds the options: every later argument is a \\fIPATH\\fR.\n";
    return text;
}

std::string SettingsSection() {
    std::string text =
        ".SH SETTINGS\n"
        "\\fB\\-\\-set\\fR takes these names, the names of the settings store that the window and "
        "\\fBwavelorn\\-cli\\fR share. Integers are whole numbers; where an option is one of a few codes, "
        "they are listed.\n";
    ConversionSettings scratch("");
    std::vector<std::string> templates, fields;
    for (const auto& name : CliSettingNames()) {
        const auto dot = name.find('.');
        if (dot != std::string::npos) {
            // A tag template's field: listed once for all templates.
            const std::string prefix = name.substr(0, dot), field = name.substr(dot + 1);
            if (std::find(templates.begin(), templates.end(), prefix) == templates.end())
                templates.push_back(prefix);
            if (std::find(fields.begin(), fields.end(), field) == fields.end()) fields.push_back(field);
            continue;
        }
        std::string what;
        if (name == "OutputFormat") {
            for (const auto& f : OutputFormatTable())
                what += (what.empty() ? "" : "; ") + std::to_string(f.code) + " = " + f.name;
        } else if ((what = Choices(name)).empty()) {
            what = scratch.TextOption(name) ? "text" : "integer";
        }
        text += ".TP\n\\fB" + Roff(name) + "\\fR\n" + Roff(what) + "\n";
    }
    if (templates.empty()) return text;
    std::string names;
    for (const auto& t : templates) names += (names.empty() ? "" : ", ") + ("\\fB" + Roff(t) + "\\fR");
    text += ".PP\nThe tag templates " + names +
            " (the tags written when a format's tag choice is 0) have these fields, named "
            "\\fITEMPLATE\\fB.\\fIFIELD\\fR (\\fBMP3Tag.Artist\\fR):\n";
    for (const auto& field : fields) {
        std::string what = Choices(field);
        if (what.empty()) what = field == "CustomTrackNum" ? "integer" : "text";
        text += ".TP\n\\fB" + Roff(field) + "\\fR\n" + Roff(what) + "\n";
    }
    return text;
}

}  // namespace

std::string CliManualPage(const std::string& date, const std::vector<Example>& examples) {
    std::string text = Header("WAVELORN-CLI", date);
    text +=
        ".SH NAME\n"
        "wavelorn\\-cli \\- convert audio files in a batch\n"
        ".SH SYNOPSIS\n"
        ".B wavelorn\\-cli\n"
        "[\\fIoptions\\fR] \\fIPATH\\fR...\n"
        ".SH DESCRIPTION\n"
        "\\fBwavelorn\\-cli\\fR converts audio files with the same engine, options and settings store as "
        "the window \\fBwavelorn\\fR(1). A folder is searched recursively, with the extension filter when "
        "it is enabled; files are converted in the order they were named and found, each folder's files "
        "and subfolders in name order.\n"
        ".PP\n"
        "Every file gives one line on standard output, \\fISOURCE\\fR<TAB>\\fISTATUS\\fR, where "
        "\\fISTATUS\\fR is what the window's Status column would show; a converted file gets a third field, "
        "the absolute path of what was written. A tab, line break or backslash inside a field is written as "
        "\\et, \\en or \\e\\e. Why a file could not be listed is said on standard error; a file "
        "found while searching a folder that no reader accepts is only reported there, as skipped.\n"
        ".PP\n"
        "A conversion writes into a hidden file in the output folder that takes the output's name only "
        "once it is complete; a failed or interrupted conversion leaves nothing behind, and a source file "
        "is never modified. Questions (a missing component such as the MIDI SoundFont) are answered by "
        "\\fB\\-y\\fR or \\fB\\-n\\fR, else asked on the terminal, else answered no.\n";
    text += OptionsSection();
    text += SettingsSection();
    text += ".SH EXIT STATUS\n";
    for (const auto& e : CliExitStatuses())
        text += ".TP\n.B " + std::to_string(e.code) + "\n" + Roff(e.meaning) + "\n";
    text +=
        ".SH FILES\n"
        ".TP\n.I ~/.config/wavelorn/registry.reg\n"
        "The settings store (under \\fB$XDG_CONFIG_HOME\\fR when it is set), shared with the window.\n"
        ".TP\n.I /usr/share/wavelorn/ct4mgm.sf2\n"
        "The General MIDI SoundFont that MIDI files are rendered with.\n"
        ".SH EXAMPLES\n";
    for (const auto& e : examples) {
        std::string description = e.description;
        description[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(description[0])));
        text += ".PP\n" + Roff(description) + ":\n.PP\n.RS\n.nf\n" + Roff(e.command) + "\n.fi\n.RE\n";
    }
    text += ".SH SEE ALSO\n.BR wavelorn (1)\n";
    return text;
}

std::string WindowManualPage(const std::string& date) {
    std::string text = Header("WAVELORN", date);
    text +=
        ".SH NAME\n"
        "wavelorn \\- batch audio converter\n"
        ".SH SYNOPSIS\n"
        ".B wavelorn\n"
        "[\\fIoptions\\fR] [\\fIFILE\\fR|\\fIFOLDER\\fR]...\n"
        ".SH DESCRIPTION\n"
        "\\fBwavelorn\\fR lists audio files with their duration, bit rate, frequency and channels, and "
        "converts all of them, or the selected ones, into one output format: " +
        Roff(JoinedFormats(true)) +
        ". Files and folders given on the command line (as the desktop's \\(lqOpen with\\(rq does) are "
        "listed at start, folders searched recursively. The options are kept in a settings store shared "
        "with \\fBwavelorn\\-cli\\fR(1), which converts with the same engine from the command line.\n"
        ".SH OPTIONS\n";
    for (const auto& o : WindowOptionTable()) {
        text += ".TP\n\\fB" + Roff(o.name) + "\\fR";
        if (o.argument) text += " \\fI" + Roff(o.argument) + "\\fR";
        std::string help = o.help;
        help[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(help[0])));
        text += "\n" + Roff(help) + ".\n";
    }
    text +=
        ".PP\nQt's other standard options are taken too.\n"
        ".SH FILES\n"
        ".TP\n.I ~/.config/wavelorn/registry.reg\n"
        "The settings store (under \\fB$XDG_CONFIG_HOME\\fR when it is set).\n"
        ".TP\n.I /usr/share/wavelorn/wavelorn.html\n"
        "The user guide, opened by Help Topics (F1).\n"
        ".TP\n.I /usr/share/wavelorn/ct4mgm.sf2\n"
        "The General MIDI SoundFont that MIDI files are rendered with.\n"
        ".SH EXIT STATUS\n"
        "0 when the window was closed, 1 when it could not be opened (no display, or the decoding "
        "libraries failed to start).\n"
        ".SH SEE ALSO\n.BR wavelorn\\-cli (1)\n";
    return text;
}
