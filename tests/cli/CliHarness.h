#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace clitest {

/// What one run of the command-line converter printed and returned.
struct CliResult {
    int status = -1;
    std::string out;
    std::vector<std::string> lines;  // standard output split at line ends
    std::string err;                 // standard error
};

/// A throw-away home for the converter: its own settings folder, documents folder and temp folder.
class CliHome {
public:
    CliHome();
    std::string File(const std::string& name) const { return m_dir.File(name); }
    const testsupport::TempDir& Dir() const { return m_dir; }
    /// Runs wavelorn-cli with args; `wrapper` is put in front (e.g. a mount namespace).
    /// With mergeStderr, standard error goes into `out` and `lines` as it comes.
    CliResult Run(const std::vector<std::string>& args, const std::vector<std::string>& wrapper = {},
                  bool mergeStderr = false) const;
    std::string StoreText() const;
    /// Runs this executable instead of the built one (a copy placed elsewhere).
    void UseProgram(const std::string& path) { m_program = path; }

private:
    testsupport::TempDir m_dir;
    std::string m_program;
};

std::string CliPath();

/// Starts wavelorn-cli in home with args and returns at once; standard output goes to outFd (or
/// /dev/null when -1).
pid_t Spawn(const CliHome& home, const std::vector<std::string>& args, int outFd = -1);
/// Waits until the child has written more than bytes into folder; false when it ended first.
bool WaitForOutput(pid_t pid, const std::string& folder, std::uintmax_t bytes);
/// The names in folder, sorted.
std::vector<std::string> Names(const std::string& folder);

/// Size of the largest file in folder (0 when there is none): a conversion writes under a hidden name.
std::uintmax_t LargestFileSize(const std::string& folder);

/// A 16-bit PCM WAV of planar samples (right empty for mono).
void WriteWav16(const std::string& path, int rate, const std::vector<std::int16_t>& left,
                const std::vector<std::int16_t>& right = {});
void WriteWav8(const std::string& path, int rate, const std::vector<std::uint8_t>& mono);

/// The samples of a 16-bit or 8-bit PCM WAV with a 44-byte header, interleaved as stored.
struct WavContent {
    int channels = 0, rate = 0, bits = 0;
    std::uint32_t riffSize = 0, dataSize = 0;
    std::vector<std::uint8_t> data;
    std::int16_t Sample16(std::size_t frame, int channel) const;
    std::size_t Frames() const { return data.size() / static_cast<std::size_t>(channels * bits / 8); }
};
WavContent ReadWav(const std::string& path);

}  // namespace clitest
