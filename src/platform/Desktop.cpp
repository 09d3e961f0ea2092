#include "platform/Desktop.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr int kNotStarted = -1;
constexpr int kStillRunning = -2;

/// Starts argv[0] (looked up on PATH) with stdin/stdout on /dev/null and waits at most
/// timeoutMs for it. Returns its exit status, kNotStarted, or kStillRunning. A child still
/// running is either killed (killOnTimeout) or left to finish and reaped in the background.
int SpawnAndWait(const std::vector<std::string>& args, int timeoutMs, bool killOnTimeout) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return kNotStarted;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return kNotStarted;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
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
        if (std::chrono::steady_clock::now() >= deadline) break;
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

constexpr int kOpenerWaitMs = 5000;
constexpr int kDbusWaitMs = 6000;
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

int SelectInExplorer(const std::string& path, const DesktopTools& tools) {
    if (path.empty()) return 0;
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
        int rc = SpawnAndWait(args, kDbusWaitMs, true);
        if (rc == 0) return 1;
        if (rc != kNotStarted) break;  // the tool ran and no file manager answered
    }
    return ShellOpen(absolute.lexically_normal().parent_path().string(), tools);
}
