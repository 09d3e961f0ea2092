#include "engine/FileGathering.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <set>
#include <utility>

#include "platform/Paths.h"
#include "settings/ConversionSettings.h"

namespace {

constexpr int kMaxShortcutHops = 8;

std::string LowerExtension(const std::string& path) {
    const std::string name = FileNamePart(path);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

std::string Join(const std::string& folder, const std::string& name) {
    return (!folder.empty() && folder.back() == '/') ? folder + name : folder + "/" + name;
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// Entries of a folder in the order the file system returns them, without "." and "..".
std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    return names;
}

void GatherFolders(const std::string& folder, std::vector<std::string>& folders,
                   std::set<std::pair<dev_t, ino_t>>& seen) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !seen.insert({st.st_dev, st.st_ino}).second) return;
    folders.push_back(folder);
    for (const auto& name : ListFolder(folder)) {
        const std::string path = Join(folder, name);
        if (IsFolder(path)) GatherFolders(path, folders, seen);
    }
}

}  // namespace

std::optional<std::string> ResolveShortcut(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < kMaxShortcutHops; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return std::nullopt;
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return std::nullopt;
        target.resize(static_cast<std::size_t>(n));
        if (target.front() != '/') {
            const auto slash = current.rfind('/');
            if (slash != std::string::npos) target = current.substr(0, slash + 1) + target;
        }
        if (LowerExtension(target) != "lnk") return target;
        current = target;
    }
    return std::nullopt;
}

std::optional<std::string> AcceptFile(const std::string& path, const ConversionSettings& settings) {
    if (!settings.EnableExtFilter) return path;
    std::string current = path;
    // Each round either accepts, rejects or follows one shortcut; ResolveShortcut bounds the chain.
    for (int round = 0; round <= kMaxShortcutHops; ++round) {
        const std::string ext = LowerExtension(current);
        const auto& list = settings.FilterExtList;
        if (std::find(list.begin(), list.end(), ext) != list.end()) return current;
        if (ext != "lnk") return std::nullopt;
        const auto target = ResolveShortcut(current);
        if (!target || IsFolder(*target)) return std::nullopt;
        current = *target;
    }
    return std::nullopt;
}

void CollectFiles(std::vector<std::string>& list, const std::string& folder, const ConversionSettings& settings) {
    std::vector<std::string> folders;
    std::set<std::pair<dev_t, ino_t>> seen;
    std::string start = folder;
    while (start.size() > 1 && start.back() == '/') start.pop_back();
    GatherFolders(start, folders, seen);
    for (const auto& dir : folders) {
        for (const auto& name : ListFolder(dir)) {
            const std::string path = Join(dir, name);
            if (IsFolder(path)) continue;
            if (auto accepted = AcceptFile(path, settings)) list.push_back(std::move(*accepted));
        }
    }
}
