#include "docs/DocTables.h"

#include <ctime>
#include <sstream>

#include "engine/OutputFormats.h"
#include "host/ConverterSession.h"
#include "host/Versions.h"

std::vector<WrittenFormat> WrittenFormats() {
    std::vector<WrittenFormat> formats;
    for (const auto& f : OutputFormatTable())
        if (ConverterSession::RoutineFor(f.code)) formats.push_back({f.cliName, f.name, f.extension});
    return formats;
}

std::vector<Example> ReadmeExamples(const std::string& readme) {
    std::vector<Example> examples;
    std::istringstream in(readme);
    std::string line;
    bool inSection = false, inBlock = false;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) {
            inSection = line.find("command-line converter") != std::string::npos;
            continue;
        }
        if (!inSection) continue;
        if (line.rfind("```", 0) == 0) {
            inBlock = !inBlock;
            continue;
        }
        if (!inBlock || line.empty()) continue;
        if (line.rfind("# ", 0) == 0) {
            examples.push_back({line.substr(2), ""});
        } else if (!examples.empty()) {
            for (std::size_t at; (at = line.find("build/bin/")) != std::string::npos;) line.erase(at, 10);
            Example& e = examples.back();
            e.command += (e.command.empty() ? "" : "\n") + line;
        }
    }
    return examples;
}

std::string DebianChangelog(const std::string& date) {
    std::tm day{};
    std::istringstream in(date);
    char dash1 = 0, dash2 = 0;
    in >> day.tm_year >> dash1 >> day.tm_mon >> dash2 >> day.tm_mday;
    if (!in || dash1 != '-' || dash2 != '-') return {};
    day.tm_year -= 1900;
    day.tm_mon -= 1;
    day.tm_hour = 12;
    const std::time_t t = timegm(&day);  // also fills in the day of the week
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%a, %d %b %Y %H:%M:%S +0000", std::gmtime(&t));
    return std::string("wavelorn (") + WavelornVersion() +
           ") unstable; urgency=medium\n\n"
           "  * First release: the window and the command-line converter, installable as\n"
           "    a Debian package.\n\n"
           " -- The Wavelorn developers <support@wavelorn.org>  " +
           stamp + "\n";
}
