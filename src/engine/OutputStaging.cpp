#include "engine/OutputStaging.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <new>
#include <random>
#include <string_view>

#include "platform/Paths.h"

namespace {

constexpr char kPrefix[] = ".wavelorn-";
constexpr std::size_t kPrefixLength = sizeof(kPrefix) - 1;
constexpr std::size_t kRandomLength = 12;
constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::time_t kStaleAge = 24 * 60 * 60;

struct Fd {
    int fd;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

// An overwritten output keeps who may read it: the new file takes the old one's permission bits and
// group. Where the group cannot be kept, its bits go, so that access never widens.
void TakeAccessOf(const std::string& old, int fd) {
    struct stat was {
    }, now{};
    if (::lstat(old.c_str(), &was) != 0 || !S_ISREG(was.st_mode) || ::fstat(fd, &now) != 0) return;
    mode_t mode = was.st_mode & 0777;
    if (now.st_gid != was.st_gid && ::fchown(fd, static_cast<uid_t>(-1), was.st_gid) != 0)
        mode &= static_cast<mode_t>(~S_IRWXG);
    ::fchmod(fd, mode);
}

// Makes a rename in folder survive a power loss.
void SyncFolder(const std::string& folder) {
    const Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd >= 0) ::fsync(dir.fd);
}

}  // namespace

// The hidden files of running conversions, for a signal handler that ends the process without
// unwinding. The list only grows and its entries are reused; everything the handler reads is atomic,
// and a name being rewritten (odd version) or rewritten while read is left alone.
struct LiveName {
    std::atomic<LiveName*> next{nullptr};
    std::atomic<bool> claimed{true};
    std::atomic<bool> live{false};
    std::atomic<unsigned> version{0};
    std::size_t capacity = 0;
    std::unique_ptr<std::atomic<char>[]> text;
};

namespace {

std::atomic<LiveName*> g_liveNames{nullptr};
static_assert(std::atomic<LiveName*>::is_always_lock_free && std::atomic<unsigned>::is_always_lock_free &&
                  std::atomic<char>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "a signal handler reads the list");

void WriteLiveName(LiveName& entry, const std::string& path) {
    entry.version.fetch_add(1);
    for (std::size_t i = 0; i < path.size(); ++i) entry.text[i].store(path[i], std::memory_order_relaxed);
    entry.text[path.size()].store('\0', std::memory_order_relaxed);
    entry.version.fetch_add(1);
    entry.live.store(true);
}

LiveName* ClaimLiveName(const std::string& path) {
    for (LiveName* e = g_liveNames.load(); e; e = e->next.load()) {
        bool free = false;
        if (e->capacity > path.size() && e->claimed.compare_exchange_strong(free, true)) {
            WriteLiveName(*e, path);
            return e;
        }
    }
    auto entry = std::unique_ptr<LiveName>(new (std::nothrow) LiveName);
    if (!entry) return nullptr;
    entry->capacity = std::max<std::size_t>(path.size() + 1, 256);
    entry->text.reset(new (std::nothrow) std::atomic<char>[entry->capacity]);
    if (!entry->text) return nullptr;
    WriteLiveName(*entry, path);
    LiveName* head = g_liveNames.load();
    do entry->next.store(head);
    while (!g_liveNames.compare_exchange_weak(head, entry.get()));
    return entry.release();  // reachable from the list for the rest of the process
}

void ReleaseLiveName(LiveName*& entry) {
    if (!entry) return;
    entry->live.store(false);
    entry->claimed.store(false);
    entry = nullptr;
}

}  // namespace

void RemoveLiveStagingFiles() noexcept {
    char path[PATH_MAX];
    for (LiveName* e = g_liveNames.load(); e; e = e->next.load()) {
        if (!e->live.load()) continue;
        const unsigned version = e->version.load();
        if (version % 2 != 0) continue;
        std::size_t i = 0;
        while (i < sizeof path && i < e->capacity &&
               (path[i] = e->text[i].load(std::memory_order_relaxed)) != 0)
            ++i;
        if (i == sizeof path || i == e->capacity) continue;
        std::atomic_thread_fence(std::memory_order_acquire);
        if (e->version.load() == version) ::unlink(path);
    }
}

bool IsStagingName(const std::string& name) {
    if (name.size() < kPrefixLength + kRandomLength || name.compare(0, kPrefixLength, kPrefix) != 0)
        return false;
    for (std::size_t i = kPrefixLength; i < kPrefixLength + kRandomLength; ++i)
        if (std::string_view(kAlphabet).find(name[i]) == std::string_view::npos) return false;
    return name.size() == kPrefixLength + kRandomLength || name[kPrefixLength + kRandomLength] == '.';
}

StagedOutput::StagedOutput(std::string finalPath, bool fixedName) : m_final(std::move(finalPath)) {
    const std::string folder = FolderPart(m_final);
    // The extension stays last so that anything that looks at the name sees the output's type.
    const std::string ext = ExtensionPart(m_final);
    if (fixedName) {
        std::uint64_t hash = 14695981039346656037ull;  // FNV-1a of the final name
        for (const unsigned char c : m_final) hash = (hash ^ c) * 1099511628211ull;
        std::string name = kPrefix;
        for (std::size_t i = 0; i < kRandomLength; ++i, hash /= sizeof(kAlphabet) - 1)
            name += kAlphabet[hash % (sizeof(kAlphabet) - 1)];
        const std::string path = folder + "/" + name + ext;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            ::close(fd);
            m_path = path;
            m_live = ClaimLiveName(path);
        }
        return;
    }
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
            m_live = ClaimLiveName(path);
            return;
        }
        if (errno != EEXIST) return;
    }
}

StagedOutput::~StagedOutput() {
    if (!m_committed && !m_path.empty()) ::unlink(m_path.c_str());
    ReleaseLiveName(m_live);
}

bool StagedOutput::Commit(bool replace) {
    m_taken = false;
    if (m_path.empty() || m_committed) return false;
    {
        // On disk before it takes the name: after a power loss the name never holds an empty file.
        const Fd file(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY));
        if (file.fd < 0) return false;
        if (replace) TakeAccessOf(m_final, file.fd);
        if (::fsync(file.fd) != 0 && errno != EINVAL) return false;  // EINVAL: nothing to flush there
    }
    if (replace) {
        m_committed = ::rename(m_path.c_str(), m_final.c_str()) == 0;
    } else if (::renameat2(AT_FDCWD, m_path.c_str(), AT_FDCWD, m_final.c_str(), RENAME_NOREPLACE) == 0) {
        m_committed = true;
    } else if (errno == EEXIST) {
        m_taken = true;
    } else if (errno == EINVAL || errno == ENOSYS) {
        // A file system without the no-replace rename: a hard link does the same check.
        if (::link(m_path.c_str(), m_final.c_str()) == 0) {
            ::unlink(m_path.c_str());
            m_committed = true;
        } else if (errno == EEXIST) {
            m_taken = true;
        } else if (errno == EPERM || errno == EOPNOTSUPP) {  // and no hard links either
            struct stat st {};
            m_taken = ::lstat(m_final.c_str(), &st) == 0;
            m_committed = !m_taken && ::rename(m_path.c_str(), m_final.c_str()) == 0;
        }
    }
    if (m_committed) {
        ReleaseLiveName(m_live);
        SyncFolder(FolderPart(m_final));
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
