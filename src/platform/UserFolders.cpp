#include "platform/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return pw->pw_dir;
    return {};
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The XDG_DOCUMENTS_DIR line of user-dirs.dirs: XDG_DOCUMENTS_DIR="$HOME/Documents" or an absolute path.
std::string DocumentsFromUserDirs(const std::string& config, const std::string& home) {
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    std::string found;
    while (std::getline(in, line)) {
        constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=\"";
        if (!line.starts_with(kKey)) continue;
        const auto close = line.find('"', kKey.size());
        if (close == std::string::npos) continue;
        std::string value = line.substr(kKey.size(), close - kKey.size());
        if (value.starts_with("$HOME")) {
            if (home.empty()) continue;
            value = home + value.substr(5);
        }
        if (value.starts_with('/')) found = WithoutTrailingSlash(value);
    }
    // "$HOME/" alone means the folder is disabled.
    if (!found.empty() && found == WithoutTrailingSlash(home)) return {};
    return found;
}

}  // namespace

std::string ConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return WithoutTrailingSlash(xdg);
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : WithoutTrailingSlash(home) + "/.config";
}

std::string DocumentsFolder(bool create) {
    const std::string home = HomeFolder();
    std::string folder;
    if (const std::string config = ConfigFolder(); !config.empty())
        folder = DocumentsFromUserDirs(config, home);
    if (folder.empty() && !home.empty()) folder = WithoutTrailingSlash(home) + "/Documents";
    if (folder.empty()) return {};
    std::error_code ec;
    if (create) {
        std::filesystem::create_directories(folder, ec);
        if (!std::filesystem::is_directory(folder, ec)) return {};
    }
    return folder;
}
