#pragma once
#include <cstddef>
#include <string>

/// The path made absolute, with ".", ".." and repeated "/" removed and symbolic links of its
/// existing part resolved.
std::string NormalisedAbsolutePath(const std::string& path);

/// True when both paths name the same file: the same device and inode when both exist (following
/// symbolic links), otherwise the same normalised absolute path.
bool SameFile(const std::string& a, const std::string& b);

/// What makes two paths one file: device and inode when the file exists, else its normalised
/// absolute path (inode 0). Keys the file list's duplicate check.
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    std::string path;  // only for files that do not exist
    bool operator==(const FileIdentity&) const = default;
};
FileIdentity IdentityOf(const std::string& path);

/// Identity of a name in a folder, whether or not a file has that name yet: the folder's device and
/// inode with the name, so that every spelling of one folder (links, bind mounts) gives one key.
FileIdentity EntryIdentity(const std::string& path);

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const noexcept;
};
