#include "platform/BassChannel.h"

#include <algorithm>
#include <cstring>

std::uint32_t BassChannel::GetData(void* buffer, std::uint32_t bytes) {
    const std::uint32_t frame = FrameBytes();
    if (!buffer || frame == 0) return 0xFFFFFFFFu;
    if (m_position >= m_info.length) return 0xFFFFFFFFu;
    std::uint64_t want = bytes - bytes % frame;
    want = std::min(want, m_info.length - m_position);
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t got = 0;
    while (got < want && !m_ended) {
        const std::size_t n = Render(out + got, static_cast<std::size_t>(want - got));
        if (n == 0) m_ended = true;
        got += n - n % frame;
    }
    if (got < want && m_info.padToLength) {
        std::memset(out + got, m_info.eightBit ? 0x80 : 0, static_cast<std::size_t>(want - got));
        got = static_cast<std::size_t>(want);
    }
    if (got == 0 && want > 0) return 0xFFFFFFFFu;
    m_position += got;
    return static_cast<std::uint32_t>(got);
}
