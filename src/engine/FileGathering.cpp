#include "engine/FileGathering.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <type_traits>
#include <utility>

#include "engine/OutputStaging.h"
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

struct LocaleFreer {
    void operator()(locale_t loc) const { ::freelocale(loc); }
};

/// Orders names as a person reads them: runs of digits by their value (track2 before track10),
/// other text by the user's collation with ASCII letter case ignored; ties fall back to the exact
/// text so that the order is total.
class NameOrder {
public:
    NameOrder()
        : m_locale(::newlocale(LC_COLLATE_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr))) {}

    bool operator()(const std::string& a, const std::string& b) const {
        if (const int c = CompareRuns(a, b)) return c < 0;
        if (const int c = Collate(a, b)) return c < 0;
        return a < b;
    }

private:
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    static std::string Run(const std::string& s, std::size_t& i) {
        const std::size_t start = i;
        const bool digits = IsDigit(s[i]);
        while (i < s.size() && IsDigit(s[i]) == digits) ++i;
        return s.substr(start, i - start);
    }

    static int CompareNumbers(const std::string& a, const std::string& b) {
        const auto x = std::min(a.find_first_not_of('0'), a.size());
        const auto y = std::min(b.find_first_not_of('0'), b.size());
        const std::size_t lengthA = a.size() - x, lengthB = b.size() - y;
        if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
        return a.compare(x, lengthA, b, y, lengthB);
    }

    static std::string FoldCase(std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    }

    int Collate(const std::string& a, const std::string& b) const {
        const int c =
            m_locale ? ::strcoll_l(a.c_str(), b.c_str(), m_locale.get()) : std::strcmp(a.c_str(), b.c_str());
        return (c > 0) - (c < 0);
    }

    int CompareRuns(const std::string& a, const std::string& b) const {
        std::size_t i = 0, j = 0;
        while (i < a.size() && j < b.size()) {
            const bool numbers = IsDigit(a[i]) && IsDigit(b[j]);
            const std::string x = Run(a, i), y = Run(b, j);
            if (const int c = numbers ? CompareNumbers(x, y) : Collate(FoldCase(x), FoldCase(y))) return c;
        }
        return (i < a.size()) - (j < b.size());
    }

    std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFreer> m_locale;
};

// Entries of an open folder without "." and "..", in name order: the file system's own order
// (hashed on ext4) would number a batch in no visible order.
std::vector<std::string> ListFolder(int folderFd) {
    std::vector<std::string> names;
    const int own = ::dup(folderFd);
    if (own < 0) return names;
    std::unique_ptr<DIR, DirCloser> dir(::fdopendir(own));
    if (!dir) {
        ::close(own);
        return names;
    }
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    const NameOrder order;
    std::sort(names.begin(), names.end(), std::cref(order));
    return names;
}

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

// Lists the open folder's files, then walks its subfolders. Everything is reached relative to the
// open folder, so a path longer than the system takes is still found (and reported when listed).
void Walk(int folderFd, const std::string& folder, std::vector<std::string>& list,
          std::set<std::pair<dev_t, ino_t>>& seen, const ConversionSettings& settings) {
    std::vector<std::string> subfolders;
    for (const auto& name : ListFolder(folderFd)) {
        struct stat st {};
        if (::fstatat(folderFd, name.c_str(), &st, 0) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            subfolders.push_back(name);
            continue;
        }
        // A hidden file of a conversion running or killed is no source.
        if (IsStagingName(name)) continue;
        const std::string path = Join(folder, name);
        auto accepted = AcceptFile(path, settings);
        if (!accepted) continue;
        // FIFOs, sockets and devices are no sources; a FIFO would even block whoever opens it.
        if (*accepted != path && ::stat(accepted->c_str(), &st) != 0) continue;
        if (S_ISREG(st.st_mode)) list.push_back(std::move(*accepted));
    }
    for (const auto& name : subfolders) {
        const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) continue;
        const FdCloser closer{fd};
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !seen.insert({st.st_dev, st.st_ino}).second) continue;
        Walk(fd, Join(folder, name), list, seen, settings);
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

void CollectFiles(std::vector<std::string>& list, const std::string& folder,
                  const ConversionSettings& settings) {
    std::string start = folder;
    while (start.size() > 1 && start.back() == '/') start.pop_back();
    const int fd = ::open(start.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    const FdCloser closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return;
    std::set<std::pair<dev_t, ino_t>> seen{{st.st_dev, st.st_ino}};
    Walk(fd, start, list, seen, settings);
}
