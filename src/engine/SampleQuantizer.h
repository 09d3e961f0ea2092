#pragma once
#include <cstdint>

/// The last conversion of full-resolution samples (float, full scale ±1.0): to 8-bit unsigned,
/// 16-bit or 24-bit integers, or to floats limited to full scale for an encoder. Values beyond full
/// scale clip, never wrap, and are counted. Reducing to 8 or 16 bits adds TPDF dither of ±1 LSB
/// from a generator seeded per file, so the same file always gives the same output; a block whose
/// samples all sit on the target's grid already is passed through undithered.
class SampleQuantizer {
public:
    /// bits: 8, 16, 24, or 32 for floats. dither matters for 8 and 16 only.
    SampleQuantizer(int bits, bool dither, std::uint64_t seed);

    void ToU8(const float* in, std::uint8_t* out, int count);
    void ToS16(const float* in, std::int16_t* out, int count);
    /// 24-bit values in the low bits of each 32-bit integer.
    void ToS24(const float* in, std::int32_t* out, int count);
    /// Limits to ±1.0 in place; NaN becomes silence.
    void Limit(float* samples, int count);

    /// Samples beyond full scale so far.
    std::int64_t Clipped() const { return m_clipped; }

    /// The per-file seed: the same text gives the same seed in every run.
    static std::uint64_t SeedOf(const char* text);

private:
    template <typename Out>
    void Quantize(const float* in, Out* out, int count, double scale, std::int32_t low, std::int32_t high,
                  std::int32_t offset);
    /// One triangular value in (-1, 1).
    double Triangular();

    int m_bits;
    bool m_dither;
    std::uint64_t m_state;
    std::int64_t m_clipped = 0;
};
