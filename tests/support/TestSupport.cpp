#include "support/TestSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace testsupport {

namespace fs = std::filesystem;

static fs::path ScratchRoot() {
    const char* env = std::getenv("WAVELORN_TEST_SCRATCH");
    fs::path root = (env && *env) ? fs::path(env) : fs::temp_directory_path() / "wavelorn-test";
    fs::create_directories(root);
    return root;
}

TempDir::TempDir() {
    std::string pattern = (ScratchRoot() / "t-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

int Run(const std::vector<std::string>& argv, std::string* out, bool keepStderr) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int pipefd[2] = {-1, -1};
    if (out && ::pipe(pipefd) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out) {
        posix_spawn_file_actions_adddup2(&actions, pipefd[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipefd[0]);
        posix_spawn_file_actions_addclose(&actions, pipefd[1]);
    }
    if (!keepStderr) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (out) {
        ::close(pipefd[1]);
        if (rc == 0) {
            char buf[65536];
            ssize_t n;
            while ((n = ::read(pipefd[0], buf, sizeof buf)) > 0)
                out->append(buf, static_cast<std::size_t>(n));
        }
        ::close(pipefd[0]);
    }
    if (rc != 0) return -1;
    int status = 0;
    if (::waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool HaveTool(const std::string& name) {
    return Run({"sh", "-c", "command -v \"$0\" >/dev/null", name}) == 0;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void PutLe(std::vector<std::uint8_t>& bytes, std::size_t offset, int width, std::uint64_t value) {
    if (bytes.size() < offset + static_cast<std::size_t>(width))
        bytes.resize(offset + static_cast<std::size_t>(width));
    for (int i = 0; i < width; ++i)
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<std::int16_t> FfmpegDecodeS16(const std::string& path, int channels) {
    std::string raw;
    if (Run({"ffmpeg", "-v", "error", "-nostdin", "-i", path, "-f", "s16le", "-acodec", "pcm_s16le", "-ac",
             std::to_string(channels), "-"},
            &raw) != 0)
        return {};
    std::vector<std::int16_t> samples(raw.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(raw[2 * i]) |
                                               (static_cast<std::uint8_t>(raw[2 * i + 1]) << 8));
    return samples;
}

}  // namespace testsupport
