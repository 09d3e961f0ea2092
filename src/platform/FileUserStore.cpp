#include "platform/FileUserStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/RegFileKey.h"
#include "platform/UserFolders.h"

namespace {

// A store larger than this is damaged, not a settings file; it reads as empty.
constexpr std::int64_t kMaxStoreBytes = 16 << 20;

struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

bool ReadAll(const std::string& path, std::string& out) {
    out.clear();
    Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (f.fd < 0) return false;
    struct stat st {};
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxStoreBytes) return false;
    char buf[8192];
    while (true) {
        const ssize_t n = ::read(f.fd, buf, sizeof buf);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        out.append(buf, static_cast<std::size_t>(n));
        if (static_cast<std::int64_t>(out.size()) > kMaxStoreBytes) return false;
    }
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Files named "<store name>.XXXXXX", as mkstemp makes them.
void RemoveLeftoverTemporaries(const std::filesystem::path& folder, const std::string& storeName) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() == storeName.size() + 7 &&
            name.compare(0, storeName.size() + 1, storeName + ".") == 0 && it->is_regular_file(ec))
            ::unlink(it->path().c_str());
    }
}

}  // namespace

std::string FileUserStore::DefaultPath() {
    const std::string config = ConfigFolder();
    return config.empty() ? std::string() : config + "/wavelorn/registry.reg";
}

RegFile FileUserStore::Read() const {
    std::string text;
    if (!ReadAll(m_path, text)) return {};
    return RegFile::Parse(text);
}

std::unique_ptr<StoreKey> FileUserStore::OpenKey(const std::string& path) const {
    const RegFile file = Read();
    const StoreValues* values = file.FindKey(CurrentUserKey(path));
    if (!values) return nullptr;
    return std::make_unique<RegFileKey>(*values);
}

std::unique_ptr<StoreKey> FileUserStore::CreateKey(const std::string& path) {
    if (m_path.empty()) return nullptr;
    const std::string key = CurrentUserKey(path);
    return std::make_unique<RegFileKey>(RegFileKey::Commit([this, key](const StoreValues& values) {
        if (!m_batching) return Store({{key, values}});
        m_batch.emplace_back(key, values);
        return 1;
    }));
}

void FileUserStore::BeginBatch() {
    m_batching = true;
    m_batch.clear();
}

int FileUserStore::CommitBatch() {
    m_batching = false;
    KeyValues keys = std::move(m_batch);
    m_batch.clear();
    return keys.empty() ? 1 : Store(keys);
}

void FileUserStore::DiscardBatch() {
    m_batching = false;
    m_batch.clear();
}

int FileUserStore::Store(const KeyValues& keys) {
    namespace fs = std::filesystem;
    const fs::path target(m_path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(folder, ec);

    // The folder lock serialises the reread-merge-rename of programs saving at the same time.
    Fd lock(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (lock.fd < 0) return 0;
    while (::flock(lock.fd, LOCK_EX) != 0)
        if (errno != EINTR) return 0;

    // Under the lock a temporary file of ours can only be the leftover of a save that was killed.
    RemoveLeftoverTemporaries(folder, target.filename().string());

    RegFile file = Read();
    for (const auto& [key, values] : keys) file.Merge(key, values);
    const std::string text = file.Format();

    std::string temp = (folder / (target.filename().string() + ".XXXXXX")).string();
    Fd out(::mkstemp(temp.data()));
    if (out.fd < 0) return 0;
    const bool written = WriteAll(out.fd, text) && ::fsync(out.fd) == 0;
    const int closed = ::close(out.fd);
    out.fd = -1;
    if (!written || closed != 0 || ::rename(temp.c_str(), m_path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return 0;
    }
    ::fsync(lock.fd);  // make the rename itself durable
    return 1;
}
