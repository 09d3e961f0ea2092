#include "support/ReadOnlyMount.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace testsupport {

namespace {
constexpr int kNotPermitted = 200;
}

int RunWithReadOnlyFolder(const std::string& folder, const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            ::_exit(kNotPermitted);
        ::_exit(body());
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return 255;
    if (!WIFEXITED(status)) return 255;
    const int code = WEXITSTATUS(status);
    return code == kNotPermitted ? -1 : code;
}

}  // namespace testsupport
