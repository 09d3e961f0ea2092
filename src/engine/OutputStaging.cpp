#include "engine/OutputStaging.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <random>
#include <string_view>

#include "platform/Paths.h"

namespace {

constexpr char kPrefix[] = ".wavelorn-";
constexpr std::size_t kPrefixLength = sizeof(kPrefix) - 1;
constexpr std::size_t kRandomLength = 12;
constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::time_t kStaleAge = 24 * 60 * 60;

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The extension stays last so that anything that looks at the name sees the output's type.
std::string ExtensionOf(const std::string& path) {
    const std::string name = FileNamePart(path);
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
}

}  // namespace

bool IsStagingName(const std::string& name) {
    if (name.size() < kPrefixLength + kRandomLength || name.compare(0, kPrefixLength, kPrefix) != 0)
        return false;
    for (std::size_t i = kPrefixLength; i < kPrefixLength + kRandomLength; ++i)
        if (std::string_view(kAlphabet).find(name[i]) == std::string_view::npos) return false;
    return name.size() == kPrefixLength + kRandomLength || name[kPrefixLength + kRandomLength] == '.';
}

StagedOutput::StagedOutput(std::string finalPath) : m_final(std::move(finalPath)) {
    const std::string folder = FolderOf(m_final);
    const std::string ext = ExtensionOf(m_final);
    std::random_device seed;
    std::mt19937_64 random(seed() ^ (static_cast<std::uint64_t>(::getpid()) << 32));
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kAlphabet) - 2);
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string name = kPrefix;
        for (std::size_t i = 0; i < kRandomLength; ++i) name += kAlphabet[pick(random)];
        const std::string path = folder + "/" + name + ext;
        // Exclusive and without following links: never somebody else's file.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            ::close(fd);
            m_path = path;
            return;
        }
        if (errno != EEXIST) return;
    }
}

StagedOutput::~StagedOutput() {
    if (!m_committed && !m_path.empty()) ::unlink(m_path.c_str());
}

bool StagedOutput::Commit(bool replace) {
    if (m_path.empty() || m_committed) return false;
    if (replace) {
        m_committed = ::rename(m_path.c_str(), m_final.c_str()) == 0;
        return m_committed;
    }
    if (::renameat2(AT_FDCWD, m_path.c_str(), AT_FDCWD, m_final.c_str(), RENAME_NOREPLACE) == 0) {
        m_committed = true;
    } else if (errno == EINVAL || errno == ENOSYS) {
        // A file system without the no-replace rename: a hard link does the same check.
        if (::link(m_path.c_str(), m_final.c_str()) == 0) {
            ::unlink(m_path.c_str());
            m_committed = true;
        } else if (errno == EPERM || errno == EOPNOTSUPP) {  // and no hard links either
            struct stat st {};
            m_committed =
                ::lstat(m_final.c_str(), &st) != 0 && ::rename(m_path.c_str(), m_final.c_str()) == 0;
        }
    }
    return m_committed;
}

void RemoveStaleStagingFiles(const std::string& folder, std::time_t now) {
    struct DirCloser {
        void operator()(DIR* d) const { ::closedir(d); }
    };
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) return;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* e = ::readdir(dir.get())) {
        if (!IsStagingName(e->d_name)) continue;
        struct stat st {};
        if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (now - st.st_mtime > kStaleAge) ::unlinkat(dirFd, e->d_name, 0);
    }
}
