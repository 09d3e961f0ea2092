#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

/// A fresh folder under the build tree's scratch area, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

/// Runs a program with an argument vector (no shell); returns its exit status, -1 if it did not start.
/// Standard output is captured into *out when given; standard error is discarded unless keepStderr.
int Run(const std::vector<std::string>& argv, std::string* out = nullptr, bool keepStderr = false);

/// True when the named program is on PATH.
bool HaveTool(const std::string& name);

std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

/// Little-endian store into a byte vector (grows it when needed).
void PutLe(std::vector<std::uint8_t>& bytes, std::size_t offset, int width, std::uint64_t value);

/// Decodes a file to raw signed 16-bit little-endian interleaved PCM with ffmpeg; empty on failure.
std::vector<std::int16_t> FfmpegDecodeS16(const std::string& path, int channels);

}  // namespace testsupport
