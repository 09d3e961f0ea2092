#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

/// The copy of the last decoded Windows Media sample, handed out in blocks.
///
/// Starts with 102400 bytes. A larger sample replaces the buffer with one of
/// length + length / 8 rounded down to a multiple of 4, plus 4 bytes; smaller ones reuse it.
class WmaStaging {
public:
    static constexpr std::size_t kInitialCapacity = 102400;

    WmaStaging();
    /// Copies a sample of 16-bit interleaved PCM; any staged frames are dropped. False when
    /// the buffer could not grow (the sample is then dropped as well).
    bool Put(const std::uint8_t* data, std::size_t length, int channels);
    /// Moves up to `wanted` frames into the planar buffers from frame `offset` on: the first
    /// channel into left and, with two or more, the second into right (the others are skipped).
    /// Returns the frames moved.
    int Deliver(std::int16_t* left, std::int16_t* right, int offset, int wanted);
    int Frames() const { return m_frames; }
    std::size_t Capacity() const { return m_capacity; }
    void Clear() {
        m_index = 0;
        m_frames = 0;
    }

private:
    std::unique_ptr<std::int16_t[]> m_buffer;
    std::size_t m_capacity = kInitialCapacity;
    std::size_t m_index = 0;  // next unread 16-bit value
    int m_frames = 0;         // frames not yet delivered
    int m_channels = 1;
};
