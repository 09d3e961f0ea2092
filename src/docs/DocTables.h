#pragma once
#include <string>
#include <vector>

/// What the manual pages and completions are made of, read from the programs' own tables.
struct WrittenFormat {
    std::string cliName;    // "mp3"
    std::string name;       // "MP3"
    std::string extension;  // ".mp3"
};

/// The formats this build writes, in the order of their codes.
std::vector<WrittenFormat> WrittenFormats();

/// One example of the README: what it does and the command.
struct Example {
    std::string description;
    std::string command;  // lines joined with "\n", the program called by its installed name
};

/// The examples of the README's section on the command-line converter: each "# ..." line of its
/// code blocks describes the command that follows it.
std::vector<Example> ReadmeExamples(const std::string& readme);

std::string CliManualPage(const std::string& date, const std::vector<Example>& examples);
std::string WindowManualPage(const std::string& date);
std::string BashCompletion();
std::string ZshCompletion();
std::string FishCompletion();

/// The package's changelog (Debian's format) for the release of `date` (YYYY-MM-DD); "" for a bad date.
std::string DebianChangelog(const std::string& date);
