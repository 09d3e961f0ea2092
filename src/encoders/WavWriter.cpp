#include "encoders/WavWriter.h"

#include <algorithm>
#include <cstring>

namespace {

void PutLe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
    PutLe16(p, v);
    PutLe16(p + 2, v >> 16);
}

constexpr long kHeaderBytes = 44;

}  // namespace

int WavWriter::Open(const std::string& path, bool stereo, int bitsPerSample, int sampleRate) {
    Close();
    m_failed = false;
    m_channels = stereo ? 2 : 1;
    m_bitsPerSample = static_cast<std::uint16_t>(bitsPerSample);
    m_sampleRate = static_cast<std::uint32_t>(sampleRate);
    m_file = OpenFile(path.c_str(), "wb");
    if (!m_file) return 0;
    // PCM is written a block at a time; a larger buffer saves most of the write calls. (glibc
    // ignores the size unless it is given the buffer.)
    m_buffer.resize(std::size_t{1} << 16);
    std::setvbuf(m_file.get(), m_buffer.data(), _IOFBF, m_buffer.size());

    const std::uint32_t blockAlign = m_channels * m_bitsPerSample / 8u;
    std::uint8_t header[kHeaderBytes];
    std::memcpy(header, "RIFF", 4);
    PutLe32(header + 4, 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    PutLe32(header + 16, 16);
    PutLe16(header + 20, m_bitsPerSample == 32 ? 3 : 1);
    PutLe16(header + 22, m_channels);
    PutLe32(header + 24, m_sampleRate);
    PutLe32(header + 28, m_sampleRate * blockAlign);
    PutLe16(header + 32, blockAlign);
    PutLe16(header + 34, m_bitsPerSample);
    std::memcpy(header + 36, "data", 4);
    PutLe32(header + 40, 4);
    return WriteBytes(header, sizeof header);
}

int WavWriter::WriteBytes(const void* data, std::size_t bytes) {
    if (m_failed || !m_file) return 0;
    if (bytes && std::fwrite(data, 1, bytes, m_file.get()) != bytes) m_failed = true;
    return m_failed ? 0 : 1;
}

int WavWriter::Write16(const std::int16_t* left, const std::int16_t* right, int frames) {
    if (frames <= 0) return m_failed ? 0 : 1;
    const auto n = static_cast<std::size_t>(frames);
    if (m_channels == 1) return WriteBytes(left, n * 2);
    m_interleaved.resize(n * 4);
    std::uint8_t* out = m_interleaved.data();
    for (std::size_t i = 0; i < n; ++i, out += 4) {
        PutLe16(out, static_cast<std::uint16_t>(left[i]));
        PutLe16(out + 2, static_cast<std::uint16_t>(right[i]));
    }
    return WriteBytes(m_interleaved.data(), n * 4);
}

template <int Bytes, typename T, typename Put>
int WavWriter::WriteWide(const T* left, const T* right, int frames, Put put) {
    if (frames <= 0) return m_failed ? 0 : 1;
    const auto n = static_cast<std::size_t>(frames);
    m_interleaved.resize(n * Bytes * m_channels);
    std::uint8_t* out = m_interleaved.data();
    if (m_channels == 1) {
        for (std::size_t i = 0; i < n; ++i, out += Bytes) put(out, left[i]);
    } else {
        for (std::size_t i = 0; i < n; ++i, out += 2 * Bytes) {
            put(out, left[i]);
            put(out + Bytes, right[i]);
        }
    }
    return WriteBytes(m_interleaved.data(), m_interleaved.size());
}

int WavWriter::Write24(const std::int32_t* left, const std::int32_t* right, int frames) {
    return WriteWide<3>(left, right, frames, [](std::uint8_t* p, std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        p[0] = static_cast<std::uint8_t>(u);
        p[1] = static_cast<std::uint8_t>(u >> 8);
        p[2] = static_cast<std::uint8_t>(u >> 16);
    });
}

int WavWriter::WriteFloat(const float* left, const float* right, int frames) {
    return WriteWide<4>(left, right, frames, [](std::uint8_t* p, float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, sizeof u);
        PutLe32(p, u);
    });
}

int WavWriter::Write8(const std::uint8_t* left, const std::uint8_t* right, int frames) {
    if (frames <= 0) return m_failed ? 0 : 1;
    const auto n = static_cast<std::size_t>(frames);
    if (m_channels == 1) return WriteBytes(left, n);
    m_interleaved.resize(n * 2);
    for (std::size_t i = 0; i < n; ++i) {
        m_interleaved[2 * i] = left[i];
        m_interleaved[2 * i + 1] = right[i];
    }
    return WriteBytes(m_interleaved.data(), n * 2);
}

int WavWriter::Close() {
    if (!m_file) return m_failed ? 0 : 1;
    std::FILE* f = m_file.get();
    if (!m_failed) {
        // Flushing first makes a full disk show up here rather than be lost in fclose.
        if (std::fflush(f) != 0 || std::fseek(f, 0, SEEK_END) != 0) m_failed = true;
    }
    if (!m_failed) {
        const long size = std::ftell(f);
        if (size < kHeaderBytes) {
            m_failed = true;
        } else {
            // Past 4 GiB the fields cannot hold the size; the largest value keeps readers reading to the end.
            const auto riff = static_cast<std::uint32_t>(std::min<long long>(size - 8, 0xFFFFFFFFLL));
            const auto data =
                static_cast<std::uint32_t>(std::min<long long>(size - kHeaderBytes, 0xFFFFFFFFLL));
            std::uint8_t field[4];
            PutLe32(field, riff);
            if (std::fseek(f, 4, SEEK_SET) != 0 || std::fwrite(field, 1, 4, f) != 4) m_failed = true;
            PutLe32(field, data);
            if (std::fseek(f, 40, SEEK_SET) != 0 || std::fwrite(field, 1, 4, f) != 4) m_failed = true;
            if (std::fflush(f) != 0) m_failed = true;
        }
    }
    if (std::fclose(m_file.release()) != 0) m_failed = true;
    m_interleaved.clear();
    m_interleaved.shrink_to_fit();
    return m_failed ? 0 : 1;
}
