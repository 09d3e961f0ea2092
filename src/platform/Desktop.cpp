#include "platform/Desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr int kNotStarted = -1;
constexpr int kStillRunning = -2;

/// Starts argv[0] (looked up on PATH) with stdin on /dev/null and waits at most timeoutMs for it.
/// Its standard output goes to `output` when given, else to /dev/null; `quiet` sends its errors
/// there too. Returns its exit status, kNotStarted, or kStillRunning. A child still running is
/// either killed (killOnTimeout) or left to finish and reaped in the background.
int SpawnAndWait(const std::vector<std::string>& args, int timeoutMs, bool killOnTimeout,
                 std::string* output = nullptr, bool quiet = false) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (output && pipe2(pipeFds, O_CLOEXEC) != 0) return kNotStarted;
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        if (output) close(pipeFds[0]), close(pipeFds[1]);
        return kNotStarted;
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (quiet) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (output) close(pipeFds[1]);
    if (rc != 0) {
        if (output) close(pipeFds[0]);
        return kNotStarted;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto msLeft = [&deadline] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
    };
    if (output) {
        // Read until the child closes its end; a child that keeps it open past the deadline is
        // handled below like one that does not exit.
        char buffer[4096];
        for (;;) {
            pollfd pfd{pipeFds[0], POLLIN, 0};
            const int ready = poll(&pfd, 1, msLeft());
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) break;
            const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            if (output->size() < 65536) output->append(buffer, static_cast<std::size_t>(n));
        }
        close(pipeFds[0]);
    }
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (WIFEXITED(status)) {
                // 127 is what a failed exec after fork reports on some C libraries.
                return WEXITSTATUS(status) == 127 ? kNotStarted : WEXITSTATUS(status);
            }
            return 128;  // killed by a signal: a failure, not a success
        }
        if (done < 0) return kNotStarted;
        if (msLeft() == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (killOnTimeout) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return kStillRunning;
    }
    // Some openers stay in the foreground while the program they started runs; reap it later
    // so that it does not linger as a zombie.
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return kStillRunning;
}

/// The first line of a tool's answer up to any ";" (a charset or a second entry), blanks trimmed.
std::string FirstItem(const std::string& text) {
    std::string item = text.substr(0, text.find_first_of(";\n"));
    const auto first = item.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return item.substr(first, item.find_last_not_of(" \t\r") - first + 1);
}

constexpr int kOpenerWaitMs = 5000;
constexpr int kDbusWaitMs = 6000;
constexpr int kMimeWaitMs = 5000;
constexpr const char* kFileManagerName = "org.freedesktop.FileManager1";
constexpr const char* kFileManagerPath = "/org/freedesktop/FileManager1";
constexpr const char* kShowItems = "org.freedesktop.FileManager1.ShowItems";

}  // namespace

int ShellOpen(const std::string& target, const DesktopTools& tools) {
    if (target.empty()) return 0;
    // "--" is not understood by xdg-open; a target starting with "-" is made a path instead.
    std::string arg = target;
    if (arg[0] == '-') arg = "./" + arg;
    int rc = SpawnAndWait({tools.opener, arg}, kOpenerWaitMs, false);
    return rc == 0 || rc == kStillRunning ? 1 : 0;
}

int OpenInBrowser(const std::string& address, const DesktopTools& tools) {
    return ShellOpen(address, tools);
}

std::string FileUri(const std::string& absolutePath) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : absolutePath) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

int ShowInFileManager(const std::string& path, const DesktopTools& tools) {
    if (path.empty() || !HaveSessionBus()) return 0;
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) return 0;
    // The URI holds no quote, comma or blank, so it is safe inside both tools' value syntax.
    const std::string uri = FileUri(absolute.lexically_normal().string());

    const std::vector<std::vector<std::string>> attempts = {
        {tools.gdbus, "call", "--session", "--timeout", "5", "--dest", kFileManagerName, "--object-path",
         kFileManagerPath, "--method", kShowItems, "['" + uri + "']", "''"},
        {tools.dbusSend, "--session", "--print-reply", "--reply-timeout=5000",
         std::string("--dest=") + kFileManagerName, kFileManagerPath, kShowItems, "array:string:" + uri,
         "string:"},
    };
    for (const auto& args : attempts) {
        int rc = SpawnAndWait(args, kDbusWaitMs, true, nullptr, true);
        if (rc == 0) return 1;
        if (rc != kNotStarted) break;  // the tool ran and no file manager answered
    }
    return 0;
}

int SelectInExplorer(const std::string& path, const DesktopTools& tools) {
    if (path.empty()) return 0;
    if (ShowInFileManager(path, tools)) return 1;
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) return 0;
    return ShellOpen(absolute.lexically_normal().parent_path().string(), tools);
}

bool HaveSessionBus() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return false;
    std::error_code ec;
    return std::filesystem::is_socket(std::filesystem::path(runtime) / "bus", ec);
}

std::string DefaultHandler(const std::string& fileOrFolder, const DesktopTools& tools) {
    if (fileOrFolder.empty()) return {};
    std::error_code ec;
    std::string type;
    if (std::filesystem::is_directory(fileOrFolder, ec)) {
        type = "inode/directory";
    } else {
        std::string answer, arg = fileOrFolder;
        if (arg[0] == '-') arg = "./" + arg;  // never read as an option
        if (SpawnAndWait({tools.mime, "query", "filetype", arg}, kMimeWaitMs, true, &answer, true) != 0)
            return {};
        type = FirstItem(answer);
    }
    if (type.empty()) return {};
    std::string answer;
    if (SpawnAndWait({tools.mime, "query", "default", type}, kMimeWaitMs, true, &answer, true) != 0)
        return {};
    return FirstItem(answer);
}

bool IsOtherProgram(const std::string& entry) {
    if (entry.empty()) return false;
    // Some desktops answer with the entry's full path.
    const std::string name = entry.substr(entry.find_last_of('/') + 1);
    for (const char* own : kOwnDesktopEntries)
        if (name == own) return false;
    return true;
}

namespace {

std::string PercentEncoded(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

bool MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// The trash of the file's file system: the user's own when it lies there, else $topdir/.Trash-$uid.
std::string TrashFolderFor(const std::string& path, std::string& relativeTo) {
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0) return "";
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string homeTrash = data && *data   ? std::string(data)
                            : home && *home ? std::string(home) + "/.local/share"
                                            : "";
    if (!homeTrash.empty()) {
        homeTrash += "/Trash";
        for (std::size_t at = homeTrash.find('/', 1); at != std::string::npos;
             at = homeTrash.find('/', at + 1))
            MakeFolder(homeTrash.substr(0, at));
        MakeFolder(homeTrash);
        struct stat trash {};
        if (::stat(homeTrash.c_str(), &trash) == 0 && trash.st_dev == file.st_dev) {
            relativeTo.clear();
            return homeTrash;
        }
    }
    // The top of the file's mount: the last folder up the path on the same device.
    std::string top = path;
    for (;;) {
        const auto slash = top.rfind('/');
        if (slash == std::string::npos || slash == 0) {
            top = "/";
            break;
        }
        const std::string up = top.substr(0, slash);
        struct stat st {};
        if (::stat(up.c_str(), &st) != 0 || st.st_dev != file.st_dev) break;
        top = up;
    }
    relativeTo = top == "/" ? "/" : top + "/";
    const std::string trash = (top == "/" ? "" : top) + "/.Trash-" + std::to_string(::getuid());
    return MakeFolder(trash) ? trash : "";
}

int TrashByHand(const std::string& path) {
    std::string relativeTo;
    const std::string trash = TrashFolderFor(path, relativeTo);
    if (trash.empty() || !MakeFolder(trash + "/files") || !MakeFolder(trash + "/info")) return 0;
    const std::string name = path.substr(path.rfind('/') + 1);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    const std::string shown =
        relativeTo.empty() || path.rfind(relativeTo, 0) != 0 ? path : path.substr(relativeTo.size());
    const std::string info = "[Trash Info]\nPath=" + PercentEncoded(shown) + "\nDeletionDate=" + date + "\n";
    for (int n = 1; n < 10000; ++n) {
        const std::string entry = n == 1 ? name : name + "." + std::to_string(n);
        const std::string infoPath = trash + "/info/" + entry + ".trashinfo";
        // The info file is made first and exclusively: it reserves the name.
        const int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return 0;
        }
        const bool written = ::write(fd, info.data(), info.size()) == static_cast<ssize_t>(info.size());
        ::close(fd);
        if (written && ::rename(path.c_str(), (trash + "/files/" + entry).c_str()) == 0) return 1;
        ::unlink(infoPath.c_str());
        return 0;
    }
    return 0;
}

}  // namespace

int MoveToTrash(const std::string& path, const DesktopTools& tools) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return 0;
    if (SpawnAndWait({tools.gio, "trash", "--", path}, 30000, true, nullptr, true) == 0 &&
        ::lstat(path.c_str(), &st) != 0)
        return 1;
    return TrashByHand(path);
}
