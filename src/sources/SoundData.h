#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>

/// The sound data of a file, read in pieces that never pass its end. A piece asked for is used
/// up even when the file ends sooner, so a truncated file ends the data too.
class SoundData {
public:
    SoundData() = default;
    explicit SoundData(std::int64_t size) : m_size(size), m_left(size) {}
    std::int64_t Left() const { return m_left; }
    std::int64_t Used() const { return m_size - m_left; }
    /// Reads up to `want` bytes into dst; returns the bytes read.
    std::size_t Read(std::FILE* f, void* dst, std::size_t want) {
        if (m_left <= 0) return 0;
        const std::size_t ask =
            static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(want), m_left));
        m_left -= static_cast<std::int64_t>(ask);
        return std::fread(dst, 1, ask, f);
    }

private:
    std::int64_t m_size = 0;
    std::int64_t m_left = 0;
};
