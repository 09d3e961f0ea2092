#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "sources/AudioSource.h"

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
        const std::size_t got = std::fread(dst, 1, ask, f);
        if (got < ask) {  // the file ends before its header said: the rest is missing too
            m_missing = static_cast<std::int64_t>(ask - got) + m_left;
            m_left = 0;
        }
        return got;
    }
    /// Bytes the header announced that the file did not hold.
    std::int64_t Missing() const { return m_missing; }
    /// A file cut short is converted as far as it goes, with a note of how much was missing.
    ReadOutcome Outcome(std::int64_t announcedFrames) const {
        ReadOutcome outcome;
        if (m_missing > 0 && m_size > 0)
            outcome.missingFrames = std::max<std::int64_t>(
                1,
                static_cast<std::int64_t>(static_cast<double>(m_missing) * announcedFrames / m_size + 0.5));
        return outcome;
    }

private:
    std::int64_t m_size = 0;
    std::int64_t m_left = 0;
    std::int64_t m_missing = 0;
};
