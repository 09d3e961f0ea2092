#include "platform/FileIdentity.h"

#include <sys/stat.h>

#include <filesystem>

std::string NormalisedAbsolutePath(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    if (ec) p = path;
    const fs::path resolved = fs::weakly_canonical(p, ec);
    return (ec ? p.lexically_normal() : resolved.lexically_normal()).string();
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return NormalisedAbsolutePath(a) == NormalisedAbsolutePath(b);
}

FileIdentity IdentityOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino), {}};
    return {0, 0, NormalisedAbsolutePath(path)};
}

FileIdentity EntryIdentity(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    struct stat st {};
    if (name.empty() || ::stat(folder.c_str(), &st) != 0) return {0, 0, NormalisedAbsolutePath(path)};
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino), name};
}

std::size_t FileIdentityHash::operator()(const FileIdentity& id) const noexcept {
    const std::size_t h =
        std::hash<unsigned long long>{}(id.inode) ^ (std::hash<unsigned long long>{}(id.device) << 1);
    return id.path.empty() ? h : h ^ std::hash<std::string>{}(id.path);
}
