#pragma once
#include <stdio.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "sources/FloatSample.h"
#include "sources/G711.h"

/// Byte-order reads, sample converters and stream helpers shared by the readers that parse their
/// own files. A sample converter takes the bytes of one stored sample and gives the 16-bit value
/// the reader delivers.
namespace readerbytes {

inline std::uint32_t Le16(const std::uint8_t* p) {
    return p[0] | (p[1] << 8);
}
inline std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint32_t Be16(const std::uint8_t* p) {
    return (p[0] << 8) | p[1];
}
inline std::uint32_t Be32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

// Integer samples keep their upper 16 bits (truncation).
inline std::int16_t S8At(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::int8_t>(p[0]) * 256);
}
inline std::int16_t Le16At(const std::uint8_t* p) {
    return static_cast<std::int16_t>(Le16(p));
}
inline std::int16_t Be16At(const std::uint8_t* p) {
    return static_cast<std::int16_t>(Be16(p));
}
inline std::int16_t Le24At(const std::uint8_t* p) {
    return Le16At(p + 1);
}
inline std::int16_t Be24At(const std::uint8_t* p) {
    return Be16At(p);
}
inline std::int16_t Le32At(const std::uint8_t* p) {
    return Le16At(p + 2);
}
inline std::int16_t Be32At(const std::uint8_t* p) {
    return Be16At(p);
}

inline std::int16_t LeFloatAt(const std::uint8_t* p) {
    const std::uint32_t bits = Le32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return FloatToSample(v);
}
inline std::int16_t BeFloatAt(const std::uint8_t* p) {
    const std::uint32_t bits = Be32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return FloatToSample(v);
}
inline std::int16_t LeDoubleAt(const std::uint8_t* p) {
    const std::uint64_t bits = (static_cast<std::uint64_t>(Le32(p + 4)) << 32) | Le32(p);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return FloatToSample(v);
}
inline std::int16_t BeDoubleAt(const std::uint8_t* p) {
    const std::uint64_t bits = (static_cast<std::uint64_t>(Be32(p)) << 32) | Be32(p + 4);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return FloatToSample(v);
}
inline std::int16_t MuLawAt(const std::uint8_t* p) {
    return MuLawToLinear(*p);
}
inline std::int16_t ALawAt(const std::uint8_t* p) {
    return ALawToLinear(*p);
}

// Full-resolution readers: the stored sample as a float, full scale at ±1.0. Integers of up to
// 24 bits are exact; NaN becomes silence so that it cannot spread through a filter.
inline float S8F(const std::uint8_t* p) {
    return static_cast<float>(static_cast<std::int8_t>(p[0])) * (1.0f / 128.0f);
}
inline float Le16F(const std::uint8_t* p) {
    return static_cast<float>(static_cast<std::int16_t>(Le16(p))) * (1.0f / 32768.0f);
}
inline float Be16F(const std::uint8_t* p) {
    return static_cast<float>(static_cast<std::int16_t>(Be16(p))) * (1.0f / 32768.0f);
}
inline float Le24F(const std::uint8_t* p) {
    const std::int32_t s = static_cast<std::int32_t>((static_cast<std::uint32_t>(p[0]) << 8) |
                                                     (static_cast<std::uint32_t>(p[1]) << 16) |
                                                     (static_cast<std::uint32_t>(p[2]) << 24));
    return static_cast<float>(s >> 8) * (1.0f / 8388608.0f);
}
inline float Be24F(const std::uint8_t* p) {
    const std::int32_t s = static_cast<std::int32_t>((static_cast<std::uint32_t>(p[0]) << 24) |
                                                     (static_cast<std::uint32_t>(p[1]) << 16) |
                                                     (static_cast<std::uint32_t>(p[2]) << 8));
    return static_cast<float>(s >> 8) * (1.0f / 8388608.0f);
}
inline float Le32F(const std::uint8_t* p) {
    return static_cast<float>(static_cast<double>(static_cast<std::int32_t>(Le32(p))) * (1.0 / 2147483648.0));
}
inline float Be32F(const std::uint8_t* p) {
    return static_cast<float>(static_cast<double>(static_cast<std::int32_t>(Be32(p))) * (1.0 / 2147483648.0));
}
inline float FiniteOrSilence(double v) {
    return std::isnan(v) ? 0.0f : static_cast<float>(v);
}
inline float LeFloatF(const std::uint8_t* p) {
    const std::uint32_t bits = Le32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return FiniteOrSilence(v);
}
inline float BeFloatF(const std::uint8_t* p) {
    const std::uint32_t bits = Be32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return FiniteOrSilence(v);
}
inline float LeDoubleF(const std::uint8_t* p) {
    const std::uint64_t bits = (static_cast<std::uint64_t>(Le32(p + 4)) << 32) | Le32(p);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return FiniteOrSilence(v);
}
inline float BeDoubleF(const std::uint8_t* p) {
    const std::uint64_t bits = (static_cast<std::uint64_t>(Be32(p)) << 32) | Be32(p + 4);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return FiniteOrSilence(v);
}

inline bool ReadExact(std::FILE* f, void* dst, std::size_t n) {
    return std::fread(dst, 1, n, f) == n;
}
inline bool Skip(std::FILE* f, std::int64_t bytes) {
    return bytes <= 0 || ::fseeko(f, bytes, SEEK_CUR) == 0;
}
inline int ClampToInt(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

/// Where the two delivered samples of a stored frame sit: left at its start, right `rightAt`
/// bytes in.
struct FrameLayout {
    std::size_t frameBytes = 0;
    std::size_t rightAt = 0;
};

/// Converts the whole frames among `bytes` interleaved bytes into the planar buffers (right may be
/// null); returns the frames.
template <typename Out, typename Convert>
int Deinterleave(const std::uint8_t* raw, std::size_t bytes, FrameLayout layout, void* left, void* right,
                 Convert convert) {
    auto* l = static_cast<Out*>(left);
    auto* r = static_cast<Out*>(right);
    const int frames = static_cast<int>(bytes / layout.frameBytes);
    const std::uint8_t* p = raw;
    // One loop per case, with no per-frame test of which one it is.
    if (r) {
        for (int k = 0; k < frames; ++k, p += layout.frameBytes) {
            l[k] = convert(p);
            r[k] = convert(p + layout.rightAt);
        }
    } else {
        for (int k = 0; k < frames; ++k, p += layout.frameBytes) l[k] = convert(p);
    }
    return frames;
}

/// Duration in whole seconds and bit rate in kbit/s.
struct LengthFigures {
    int duration = 0;
    int bitrate = 0;
};

/// The figures of `frames` frames at `rate` held in `bytes` bytes. A stream shorter than a second
/// (or without a rate) gets the nominal bit rate of `channels` samples of `bits` bits.
inline LengthFigures FiguresOf(std::int64_t frames, std::int64_t bytes, int rate, int channels, int bits) {
    const std::int64_t duration = rate > 0 ? frames / rate : 0;
    return {ClampToInt(duration),
            ClampToInt(duration != 0 ? bytes / (duration * 125)
                                     : static_cast<std::int64_t>(bits) * channels * rate / 1000)};
}

}  // namespace readerbytes
