#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "engine/ConversionFrame.h"
#include "engine/LoudnessMeter.h"

namespace {

struct SineCase {
    double dbfs;
    int rate;
    int bits;  // the block depth the meter is handed
};

class MeterSine : public ::testing::TestWithParam<SineCase> {};

TEST_P(MeterSine, ReadsItsLevelInLufs) {
    // A 1 kHz stereo sine reads its peak level in dBFS as LUFS (the EBU's first test signal).
    const SineCase& c = GetParam();
    LoudnessMeter meter;
    ASSERT_EQ(meter.Setup(c.rate, 2), 1);
    const double amplitude = std::pow(10.0, c.dbfs / 20.0);
    const int frames = c.rate * 20;
    std::vector<float> wave(static_cast<std::size_t>(frames));
    std::vector<std::int16_t> wave16(wave.size());
    for (int i = 0; i < frames; ++i) {
        wave[static_cast<std::size_t>(i)] =
            static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * 1000.0 * i / c.rate));
        wave16[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(std::lround(wave[i] * 32767.0));
    }
    const PcmBlock block = c.bits == kFloatBits ? PcmBlock{wave.data(), wave.data(), frames, kFloatBits}
                                                : PcmBlock{wave16.data(), wave16.data(), frames, 16};
    ASSERT_EQ(meter.Add(block), 1);
    EXPECT_NEAR(meter.Integrated(), c.dbfs, 0.1);
    EXPECT_NEAR(20.0 * std::log10(meter.TruePeak()), c.dbfs, 0.2);
}

INSTANTIATE_TEST_SUITE_P(Levels, MeterSine,
                         ::testing::Values(SineCase{-23.0, 48000, kFloatBits},
                                           SineCase{-20.0, 48000, kFloatBits}, SineCase{-23.0, 44100, 16},
                                           SineCase{-20.0, 44100, 16}));

TEST(LoudnessMeter, AlbumOfTwoEqualHalvesReadsAsOne) {
    // Two files of one level make an album of that level; silence makes no loudness at all.
    LoudnessMeter a, b, quiet;
    ASSERT_TRUE(a.Setup(48000, 1) && b.Setup(48000, 1) && quiet.Setup(48000, 1));
    std::vector<float> wave(48000 * 5), silence(48000 * 5, 0.0f);
    for (std::size_t i = 0; i < wave.size(); ++i)
        wave[i] = static_cast<float>(0.1 * std::sin(2.0 * std::numbers::pi * 1000.0 * i / 48000.0));
    a.AddFloat(wave.data(), nullptr, static_cast<int>(wave.size()));
    b.AddFloat(wave.data(), nullptr, static_cast<int>(wave.size()));
    quiet.AddFloat(silence.data(), nullptr, static_cast<int>(silence.size()));
    const LoudnessMeter* album[] = {&a, &b, &quiet};
    EXPECT_NEAR(LoudnessMeter::IntegratedOf(album), a.Integrated(), 0.05);
    EXPECT_FALSE(std::isfinite(quiet.Integrated()));
}

TEST(NormalizeGain, TargetOrCeilingWhicheverIsLower) {
    struct Case {
        double loudness, peak, target, gain;
    } cases[] = {
        {-23.0, 0.1, -18.0, 5.0},                          // the target decides
        {-23.0, 0.8, -18.0, -1.0 - 20 * std::log10(0.8)},  // the peak would pass -1 dBTP
        {-10.0, 1.0, -18.0, -8.0},                         // lowering never meets the ceiling
        {-HUGE_VAL, 0.0, -18.0, 0.0},                      // silence is left alone
    };
    for (const Case& c : cases) EXPECT_NEAR(NormalizeGainDb(c.loudness, c.peak, c.target), c.gain, 1e-9);
}

}  // namespace
