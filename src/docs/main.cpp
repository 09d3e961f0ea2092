// Writes the manual pages and the shell completions from the programs' own tables:
//   wavelorn-docs OUTPUT_FOLDER README DATE
#include <fstream>
#include <iostream>
#include <sstream>

#include "docs/DocTables.h"

namespace {

bool Write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) std::cerr << "wavelorn-docs: cannot write " << path << "\n";
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: wavelorn-docs OUTPUT_FOLDER README DATE\n";
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    std::ifstream readmeFile(argv[2], std::ios::binary);
    std::ostringstream readme;
    readme << readmeFile.rdbuf();
    const std::vector<Example> examples = ReadmeExamples(readme.str());
    if (!readmeFile || examples.empty()) {
        std::cerr << "wavelorn-docs: no examples in " << argv[2] << "\n";
        return 1;
    }
    const bool ok = Write(folder + "wavelorn-cli.1", CliManualPage(argv[3], examples)) &&
                    Write(folder + "wavelorn.1", WindowManualPage(argv[3])) &&
                    Write(folder + "wavelorn-cli.bash", BashCompletion()) &&
                    Write(folder + "_wavelorn-cli", ZshCompletion()) &&
                    Write(folder + "wavelorn-cli.fish", FishCompletion());
    const std::string changelog = DebianChangelog(argv[3]);
    if (changelog.empty()) {
        std::cerr << "wavelorn-docs: the date must be YYYY-MM-DD, got " << argv[3] << "\n";
        return 1;
    }
    return ok && Write(folder + "changelog", changelog) ? 0 : 1;
}
