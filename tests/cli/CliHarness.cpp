#include "cli/CliHarness.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Paths.h"
#include "support/WavBuilder.h"

namespace clitest {

using testsupport::Bytes;

std::string CliPath() {
    return ExecutableFolder() + "wavelorn-cli";
}

CliHome::CliHome() {
    std::filesystem::create_directories(m_dir.Path() / "cfg");
    std::filesystem::create_directories(m_dir.Path() / "home");
    std::filesystem::create_directories(m_dir.Path() / "tmp");
}

CliResult CliHome::Run(const std::vector<std::string>& args, const std::vector<std::string>& wrapper,
                       bool mergeStderr) const {
    std::vector<std::string> argv = wrapper;
    const std::string errFile = File("stderr.txt");
    argv.insert(argv.end(), {"sh", "-c", mergeStderr ? "\"$@\" 2>&1" : "\"$@\" 2>\"$0\"", errFile});
    argv.insert(argv.end(),
                {"env", "XDG_CONFIG_HOME=" + File("cfg"), "HOME=" + File("home"), "TMPDIR=" + File("tmp"),
                 "LC_ALL=C.UTF-8", m_program.empty() ? CliPath() : m_program});
    argv.insert(argv.end(), args.begin(), args.end());
    CliResult r;
    r.status = testsupport::Run(argv, &r.out);
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) r.lines.push_back(line);
    std::ifstream err(errFile);
    std::stringstream text;
    text << err.rdbuf();
    r.err = text.str();
    return r;
}

std::string CliHome::StoreText() const {
    std::ifstream in(File("cfg/wavelorn/registry.reg"));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteWav16(const std::string& path, int rate, const std::vector<std::int16_t>& left,
                const std::vector<std::int16_t>& right) {
    std::vector<int> interleaved;
    for (std::size_t i = 0; i < left.size(); ++i) {
        interleaved.push_back(left[i]);
        if (!right.empty()) interleaved.push_back(right[i]);
    }
    testsupport::WriteBytes(
        path, testsupport::SimpleWav(1, right.empty() ? 1 : 2, static_cast<std::uint32_t>(rate), 16,
                                     testsupport::Le16Bytes(interleaved)));
}

void WriteWav8(const std::string& path, int rate, const std::vector<std::uint8_t>& mono) {
    testsupport::WriteBytes(path, testsupport::SimpleWav(1, 1, static_cast<std::uint32_t>(rate), 8, mono));
}

static std::uint32_t Le(const Bytes& b, std::size_t at, int width) {
    std::uint32_t v = 0;
    for (int i = 0; i < width; ++i)
        v |= static_cast<std::uint32_t>(b[at + static_cast<std::size_t>(i)]) << (8 * i);
    return v;
}

WavContent ReadWav(const std::string& path) {
    const Bytes b = testsupport::ReadBytes(path);
    WavContent w;
    if (b.size() < 44) return w;
    w.riffSize = Le(b, 4, 4);
    w.channels = static_cast<int>(Le(b, 22, 2));
    w.rate = static_cast<int>(Le(b, 24, 4));
    w.bits = static_cast<int>(Le(b, 34, 2));
    w.dataSize = Le(b, 40, 4);
    w.data.assign(b.begin() + 44, b.end());
    return w;
}

std::int16_t WavContent::Sample16(std::size_t frame, int channel) const {
    const std::size_t at =
        (frame * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)) * 2;
    return static_cast<std::int16_t>(data[at] | (data[at + 1] << 8));
}

}  // namespace clitest

namespace clitest {

pid_t Spawn(const CliHome& home, const std::vector<std::string>& args, int outFd) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    setenv("XDG_CONFIG_HOME", home.File("cfg").c_str(), 1);
    setenv("HOME", home.File("home").c_str(), 1);
    setenv("TMPDIR", home.File("tmp").c_str(), 1);
    const int out = outFd >= 0 ? outFd : ::open("/dev/null", O_WRONLY);
    ::dup2(out, STDOUT_FILENO);
    std::vector<char*> argv{const_cast<char*>("wavelorn-cli")};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::string path = CliPath();
    execv(path.c_str(), argv.data());
    _exit(127);
}

bool WaitForOutput(pid_t pid, const std::string& folder, std::uintmax_t bytes) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return false;
        if (LargestFileSize(folder) > bytes) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::uintmax_t LargestFileSize(const std::string& folder) {
    std::uintmax_t largest = 0;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
        std::error_code sizeError;
        const auto size = e.file_size(sizeError);
        if (!sizeError) largest = std::max(largest, size);
    }
    return largest;
}

}  // namespace clitest
