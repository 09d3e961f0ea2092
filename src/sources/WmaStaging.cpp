#include "sources/WmaStaging.h"

#include <cstring>
#include <new>

WmaStaging::WmaStaging() : m_buffer(new std::int16_t[kInitialCapacity / 2]) {}

bool WmaStaging::Put(const std::uint8_t* data, std::size_t length, int channels) {
    Clear();
    if (length == 0) return true;
    if (length > m_capacity) {
        const std::size_t grown = (length + length / 8) / 4 * 4 + 4;
        m_buffer.reset(new (std::nothrow) std::int16_t[grown / 2]);
        m_capacity = m_buffer ? grown : 0;
        if (!m_buffer) return false;
    }
    m_channels = channels < 1 ? 1 : channels;
    std::memcpy(m_buffer.get(), data, length);
    // Only whole frames count; a trailing odd byte or a cut frame is never read.
    m_frames = static_cast<int>(length / (2 * static_cast<std::size_t>(channels < 1 ? 1 : channels)));
    return true;
}

int WmaStaging::Deliver(std::int16_t* left, std::int16_t* right, int offset, int wanted) {
    int moved = 0;
    const auto step = static_cast<std::size_t>(m_channels);
    for (; moved < wanted && m_frames > 0; ++moved, --m_frames, m_index += step) {
        left[offset + moved] = m_buffer[m_index];
        if (m_channels >= 2) right[offset + moved] = m_buffer[m_index + 1];
    }
    return moved;
}
