#include "platform/BassChannel.h"

#include <algorithm>
#include <cstring>

std::uint32_t BassChannel::GetData(void* buffer, std::uint32_t bytes) {
    if (m_float) return 0xFFFFFFFFu;
    return Fill(static_cast<std::uint8_t*>(buffer), bytes, FrameBytes());
}

std::uint32_t BassChannel::GetFloatData(void* buffer, std::uint32_t bytes) {
    const std::uint32_t outFrame = m_info.chans * 4;
    if (!m_floatAsked) {
        m_floatAsked = true;
        m_float = m_position == 0 && StartFloat();
    }
    if (m_float) return Fill(static_cast<std::uint8_t*>(buffer), bytes, outFrame);
    // A decoder without floats of its own: its samples scaled, exact for 8 and 16 bits.
    if (!buffer || outFrame == 0) return 0xFFFFFFFFu;
    const std::uint32_t frames = bytes / outFrame;
    m_narrow.resize(std::size_t{frames} * FrameBytes());
    const std::uint32_t got = Fill(m_narrow.data(), frames * FrameBytes(), FrameBytes());
    if (got == 0xFFFFFFFFu) return got;
    auto* out = static_cast<float*>(buffer);
    const std::size_t samples = got / (m_info.eightBit ? 1u : 2u);
    if (m_info.eightBit) {
        for (std::size_t i = 0; i < samples; ++i)
            out[i] = (static_cast<float>(m_narrow[i]) - 128.0f) / 128.0f;
    } else {
        for (std::size_t i = 0; i < samples; ++i) {
            std::int16_t v;
            std::memcpy(&v, m_narrow.data() + 2 * i, 2);
            out[i] = static_cast<float>(v) / 32768.0f;
        }
    }
    return static_cast<std::uint32_t>(samples * 4);
}

std::uint32_t BassChannel::Fill(std::uint8_t* out, std::uint32_t bytes, std::uint32_t outFrame) {
    const std::uint32_t frame = FrameBytes();
    if (!out || frame == 0 || outFrame == 0) return 0xFFFFFFFFu;
    if (m_position >= m_info.length) return 0xFFFFFFFFu;
    const std::uint64_t frames =
        std::min<std::uint64_t>(bytes / outFrame, (m_info.length - m_position) / frame);
    const std::uint64_t want = frames * outFrame;
    std::size_t got = 0;
    while (got < want && !m_ended) {
        const std::size_t n = Render(out + got, static_cast<std::size_t>(want - got));
        if (n == 0) m_ended = true;
        got += n - n % outFrame;
    }
    if (got < want && m_info.padToLength) {
        // Silence: 128 for 8-bit samples, all zero bits for 16-bit and float.
        std::memset(out + got, m_info.eightBit && !m_float ? 0x80 : 0, static_cast<std::size_t>(want - got));
        got = static_cast<std::size_t>(want);
    }
    if (got == 0 && want > 0) return 0xFFFFFFFFu;
    m_position += got / outFrame * frame;
    return static_cast<std::uint32_t>(got);
}
