#include "engine/SampleQuantizer.h"

#include <algorithm>
#include <cmath>

SampleQuantizer::SampleQuantizer(int bits, bool dither, std::uint64_t seed)
    : m_bits(bits), m_dither(dither && bits <= 16), m_state(seed ? seed : 0x9E3779B97F4A7C15ull) {}

std::uint64_t SampleQuantizer::SeedOf(const char* text) {
    std::uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
    for (const char* p = text; p && *p; ++p) h = (h ^ static_cast<unsigned char>(*p)) * 0x100000001B3ull;
    return h;
}

double SampleQuantizer::Triangular() {
    // xorshift64*: fast, and its 53 upper bits are plenty for two uniform values per sample.
    auto next = [this] {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return static_cast<double>((m_state * 0x2545F4914F6CDD1Dull) >> 11) * (1.0 / 9007199254740992.0);
    };
    const double a = next();
    return a - next();
}

template <typename Out>
void SampleQuantizer::Quantize(const float* in, Out* out, int count, double scale, std::int32_t low,
                               std::int32_t high, std::int32_t offset) {
    bool onGrid = true;
    if (m_dither)
        for (int i = 0; i < count && onGrid; ++i) {
            const double v = static_cast<double>(in[i]) * scale;
            onGrid = v == std::floor(v);
        }
    const bool dither = m_dither && !onGrid;
    for (int i = 0; i < count; ++i) {
        const float x = std::isnan(in[i]) ? 0.0f : in[i];
        if (x > 1.0f || x < -1.0f) ++m_clipped;
        double v = static_cast<double>(x) * scale;
        if (dither) v += Triangular();
        const double rounded =
            std::clamp(std::floor(v + 0.5), static_cast<double>(low), static_cast<double>(high));
        out[i] = static_cast<Out>(static_cast<std::int32_t>(rounded) + offset);
    }
}

void SampleQuantizer::ToU8(const float* in, std::uint8_t* out, int count) {
    Quantize(in, out, count, 128.0, -128, 127, 128);
}

void SampleQuantizer::ToS16(const float* in, std::int16_t* out, int count) {
    Quantize(in, out, count, 32768.0, -32768, 32767, 0);
}

void SampleQuantizer::ToS24(const float* in, std::int32_t* out, int count) {
    Quantize(in, out, count, 8388608.0, -8388608, 8388607, 0);
}

void SampleQuantizer::Limit(float* samples, int count) {
    for (int i = 0; i < count; ++i) {
        const float x = samples[i];
        if (std::isnan(x)) {
            samples[i] = 0.0f;
        } else if (x > 1.0f || x < -1.0f) {
            ++m_clipped;
            samples[i] = std::clamp(x, -1.0f, 1.0f);
        }
    }
}
