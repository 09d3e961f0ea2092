#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>
#include <vector>

#include "engine/FloatChain.h"
#include "engine/SampleQuantizer.h"
#include "engine/SoxrResampler.h"
#include "sources/AudioSource.h"

namespace {

std::vector<float> Sine(double amplitude, double freq, int rate, int frames) {
    std::vector<float> s(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        s[std::size_t(i)] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * freq * i / rate));
    return s;
}

// Runs a mono signal through the chain in blocks of `block` frames, flush included.
std::vector<float> Resample(const std::vector<float>& in, int from, int to, int block = kBlockFrames,
                            SoxrResampler::Quality quality = SoxrResampler::Quality::VeryHigh) {
    FloatChain chain;
    EXPECT_EQ(chain.Setup(from, 1, kFloatBits, to, 1, 0.0f, quality), 1);
    std::vector<float> out;
    for (std::size_t at = 0; at < in.size(); at += std::size_t(block)) {
        const int n = static_cast<int>(std::min<std::size_t>(std::size_t(block), in.size() - at));
        const int got = chain.Process(in.data() + at, nullptr, n);
        EXPECT_GE(got, 0);
        out.insert(out.end(), chain.Left(), chain.Left() + got);
    }
    const int tail = chain.Flush();
    EXPECT_GE(tail, 0);
    out.insert(out.end(), chain.Left(), chain.Left() + tail);
    return out;
}

// Amplitude of the component at freq, fitted over the middle half (away from the filter's edges).
double AmplitudeAt(const std::vector<float>& s, double freq, int rate) {
    double c = 0, q = 0;
    const std::size_t from = s.size() / 4, to = s.size() * 3 / 4;
    for (std::size_t i = from; i < to; ++i) {
        const double w = 2 * std::numbers::pi * freq * double(i) / rate;
        c += s[i] * std::cos(w);
        q += s[i] * std::sin(w);
    }
    return 2 * std::hypot(c, q) / double(to - from);
}

double RmsOfMiddle(const std::vector<float>& s) {
    double sum = 0;
    const std::size_t from = s.size() / 4, to = s.size() * 3 / 4;
    for (std::size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(to - from));
}

struct LengthCase {
    int from, to, frames, block;
};

TEST(SoxrLength, IsTheSourceLengthTimesTheRatioRounded) {
    // A resampler that is never flushed, or that keeps its whole delay, gets the length wrong.
    for (const LengthCase& c : {LengthCase{48000, 44100, 48000, 1152}, LengthCase{44100, 48000, 44101, 1000},
                                LengthCase{96000, 8000, 9601, 1152}, LengthCase{8000, 44100, 7, 3},
                                LengthCase{22050, 44100, 1, 1}, LengthCase{11025, 48000, 20000, 577}}) {
        const auto out = Resample(std::vector<float>(std::size_t(c.frames), 0.25f), c.from, c.to, c.block);
        EXPECT_EQ(static_cast<std::int64_t>(out.size()), SoxrResampler::StreamFrames(c.frames, c.from, c.to))
            << c.from << " -> " << c.to << ", " << c.frames << " frames";
    }
    EXPECT_EQ(SoxrResampler::StreamFrames(48000, 48000, 44100), 44100);
    EXPECT_EQ(SoxrResampler::StreamFrames(1, 96000, 44100), 0);  // 0.459 frames rounds down
    EXPECT_EQ(SoxrResampler::StreamFrames(3, 96000, 44100), 1);  // 1.378
}

// Both qualities: very high for every format, high for the band-limited codecs (Opus).
constexpr SoxrResampler::Quality kQualities[] = {SoxrResampler::Quality::VeryHigh,
                                                 SoxrResampler::Quality::High};

TEST(SoxrPassband, FlatToTwentyKilohertzBothWays) {
    // libresample loses 0.23 dB at 18 kHz and 7 dB at 20 kHz; the passband must stay within 0.1 dB.
    const double amplitude = std::pow(10.0, -1.0 / 20);
    for (const SoxrResampler::Quality quality : kQualities)
        for (const auto& [from, to] : {std::pair{48000, 44100}, std::pair{44100, 48000}})
            for (const double freq : {100.0, 1000.0, 10000.0, 18000.0, 19000.0, 20000.0}) {
                const auto out = Resample(Sine(amplitude, freq, from, from), from, to, kBlockFrames, quality);
                const double db = 20 * std::log10(AmplitudeAt(out, freq, to) / amplitude);
                EXPECT_NEAR(db, 0.0, 0.1)
                    << freq << " Hz, " << from << " -> " << to << ", quality " << static_cast<int>(quality);
            }
}

TEST(SoxrStopband, NoAliasFrom96To8Kilohertz) {
    // Tones above the new Nyquist frequency must vanish instead of folding back into the band.
    for (const SoxrResampler::Quality quality : kQualities) {
        for (const double freq : {4500.0, 10000.0, 30000.0}) {
            const auto out = Resample(Sine(0.9, freq, 96000, 96000), 96000, 8000, kBlockFrames, quality);
            EXPECT_LT(20 * std::log10(RmsOfMiddle(out) / 0.9 + 1e-30), -120.0)
                << freq << " Hz, quality " << static_cast<int>(quality);
        }
        const auto kept = Resample(Sine(0.9, 1000.0, 96000, 96000), 96000, 8000, kBlockFrames, quality);
        EXPECT_NEAR(AmplitudeAt(kept, 1000.0, 8000), 0.9, 0.9 * 0.012);
    }
}

TEST(FloatChainTest, SixteenBitRoundTripIsExactAndGainAppliesToBothChannels) {
    // Widening must be exact so that an unchanged 16-bit block comes back bit for bit.
    std::vector<std::int16_t> l{-32768, -1, 0, 1, 32767}, r{5, 6, 7, 8, 9};
    FloatChain chain;
    ASSERT_EQ(chain.Setup(44100, 2, 16, 44100, 2, 0.0f), 1);
    ASSERT_EQ(chain.Process(l.data(), r.data(), 5), 5);
    SampleQuantizer q(16, true, 1);
    std::vector<std::int16_t> back(5);
    q.ToS16(chain.Left(), back.data(), 5);
    EXPECT_EQ(back, l);

    FloatChain up;
    ASSERT_EQ(up.Setup(8000, 1, 16, 8000, 2, 2.0f), 1);
    ASSERT_EQ(up.Process(r.data(), nullptr, 5), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(up.Left()[i], 2.0f * r[std::size_t(i)] / 32768.0f);
        EXPECT_FLOAT_EQ(up.Right()[i], up.Left()[i]);
    }
}

TEST(SampleQuantizerTest, ClipsBeyondFullScaleAndCountsEverySuchSample) {
    // Wrapping would turn +1.5 into a large negative value; clipping must also be counted.
    const std::vector<float> in{1.5f, -1.5f, 1.0f, -1.0f, 0.999f, 3e9f, -INFINITY, NAN};
    SampleQuantizer q16(16, false, 1);
    std::vector<std::int16_t> s16(in.size());
    q16.ToS16(in.data(), s16.data(), int(in.size()));
    EXPECT_EQ(s16, (std::vector<std::int16_t>{32767, -32768, 32767, -32768, 32735, 32767, -32768, 0}));
    EXPECT_EQ(q16.Clipped(), 4);

    SampleQuantizer q24(24, true, 1), q8(8, false, 1), qf(32, false, 1);
    std::vector<std::int32_t> s24(in.size());
    q24.ToS24(in.data(), s24.data(), int(in.size()));
    EXPECT_EQ(s24[0], 8388607);
    EXPECT_EQ(s24[1], -8388608);
    std::vector<std::uint8_t> s8(in.size());
    q8.ToU8(in.data(), s8.data(), int(in.size()));
    EXPECT_EQ(s8[0], 255);
    EXPECT_EQ(s8[1], 0);
    std::vector<float> f = in;
    qf.Limit(f.data(), int(f.size()));
    EXPECT_EQ(f[0], 1.0f);
    EXPECT_EQ(f[7], 0.0f);
    EXPECT_EQ(q24.Clipped() + q8.Clipped() + qf.Clipped(), 12);
}

TEST(SampleQuantizerTest, DitheredErrorIsUncorrelatedWithTheSignal) {
    // A -93 dBFS tone quantised without dither leaves an error that follows the signal (distortion);
    // with TPDF dither the error is noise, independent of it.
    const auto x = Sine(std::pow(10.0, -93.0 / 20), 1000.0, 44100, 44100);
    auto correlation = [&](bool dither) {
        SampleQuantizer q(16, dither, SampleQuantizer::SeedOf("a.wav"));
        std::vector<std::int16_t> out(x.size());
        q.ToS16(x.data(), out.data(), int(x.size()));
        double se = 0, sx = 0, sex = 0, see = 0, sxx = 0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            const double xs = x[i] * 32768.0, e = out[i] - xs;
            se += e, sx += xs, sex += e * xs, see += e * e, sxx += xs * xs;
        }
        const double n = double(x.size());
        return (sex - se * sx / n) / std::sqrt((see - se * se / n) * (sxx - sx * sx / n));
    };
    EXPECT_LT(std::fabs(correlation(true)), 0.02);
    EXPECT_GT(std::fabs(correlation(false)), 0.3);
}

TEST(SampleQuantizerTest, SameSeedSameBitsAndNoDitherOnSamplesAlreadyAtTheTargetDepth) {
    // --jobs N must give the bytes of --jobs 1, and silence or 16-bit material must not gain noise.
    const auto x = Sine(0.001, 440.0, 44100, 4000);
    std::vector<std::int16_t> a(x.size()), b(x.size());
    SampleQuantizer(16, true, SampleQuantizer::SeedOf("x")).ToS16(x.data(), a.data(), int(x.size()));
    SampleQuantizer(16, true, SampleQuantizer::SeedOf("x")).ToS16(x.data(), b.data(), int(x.size()));
    EXPECT_EQ(a, b);

    std::vector<float> grid{0.0f, 0.0f, 3 / 32768.0f, -1.0f, 12345 / 32768.0f};
    std::vector<std::int16_t> out(grid.size());
    SampleQuantizer(16, true, 7).ToS16(grid.data(), out.data(), int(grid.size()));
    EXPECT_EQ(out, (std::vector<std::int16_t>{0, 0, 3, -32768, 12345}));
}

}  // namespace
