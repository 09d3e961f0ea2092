#pragma once
// The readers take a path: each input is put into an anonymous in-memory file and handed over by
// its /proc name, so nothing touches the disk between runs.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzFile {
public:
    FuzzFile(const std::uint8_t* data, std::size_t size) : m_fd(::memfd_create("fuzz", MFD_CLOEXEC)) {
        std::size_t done = 0;
        while (m_fd >= 0 && done < size) {
            const ssize_t n = ::write(m_fd, data + done, size - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~FuzzFile() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;
    bool Ok() const { return m_fd >= 0; }
    const char* Path() const { return m_path.c_str(); }

private:
    int m_fd;
    std::string m_path;
};
