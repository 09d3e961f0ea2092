#pragma once
#include <stdio.h>

#include <algorithm>
#include <climits>
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

inline bool ReadExact(std::FILE* f, void* dst, std::size_t n) {
    return std::fread(dst, 1, n, f) == n;
}
inline bool Skip(std::FILE* f, std::int64_t bytes) {
    return bytes <= 0 || ::fseeko(f, bytes, SEEK_CUR) == 0;
}
inline int ClampToInt(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

}  // namespace readerbytes
