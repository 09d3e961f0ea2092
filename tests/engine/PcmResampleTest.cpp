#include <gtest/gtest.h>
#include <libresample.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "engine/PcmConverter.h"
#include "support/TestSupport.h"

namespace {

constexpr double kPi = std::numbers::pi;

struct Converted {
    std::vector<double> left, right;  // full scale = 1.0
    std::int64_t inputFrames = 0;
};

// Feeds a whole signal through the converter in blocks of blockFrames and collects the result,
// with what a flush gives after the last block when asked.
Converted Convert(int sourceRate, int targetRate, int inChannels, int outChannels, int bits, int outBits,
                  const std::vector<double>& left, const std::vector<double>& right, int blockFrames = 1152,
                  bool flush = false) {
    PcmConverter conv;
    EXPECT_EQ(conv.Setup(sourceRate, inChannels, targetRate, outChannels, bits, outBits), 1);
    Converted out;
    const int inBytes = bits / 8;
    const int outBytes = outBits / 8;
    std::vector<std::uint8_t> bl(blockFrames * inBytes), br(blockFrames * inBytes);
    const auto capacity = static_cast<std::size_t>(conv.OutputCapacity(blockFrames));
    std::vector<std::uint8_t> ol(capacity * outBytes), orr(capacity * outBytes);
    auto put = [&](std::vector<std::uint8_t>& dst, int i, double v) {
        if (bits == 16) {
            const auto s = static_cast<std::int16_t>(std::clamp(std::lround(v * 32768.0), -32768L, 32767L));
            std::memcpy(&dst[i * 2], &s, 2);
        } else {
            dst[i] = static_cast<std::uint8_t>(128 + std::clamp(std::lround(v * 128.0), -128L, 127L));
        }
    };
    auto get = [&](const std::vector<std::uint8_t>& src, int i) {
        if (outBits == 16) {
            std::int16_t s;
            std::memcpy(&s, &src[i * 2], 2);
            return s / 32767.0;
        }
        return (src[i] - 128) / 127.0;
    };
    for (std::size_t pos = 0; pos < left.size(); pos += blockFrames) {
        const int frames = static_cast<int>(std::min<std::size_t>(blockFrames, left.size() - pos));
        for (int i = 0; i < frames; ++i) {
            put(bl, i, left[pos + i]);
            if (inChannels == 2) put(br, i, right[pos + i]);
        }
        int outFrames = -1;
        EXPECT_EQ(conv.Process(bl.data(), inChannels == 2 ? br.data() : nullptr, frames, ol.data(),
                               orr.data(), outFrames),
                  1);
        for (int i = 0; i < outFrames; ++i) {
            out.left.push_back(get(ol, i));
            if (outChannels == 2) out.right.push_back(get(orr, i));
        }
        out.inputFrames += frames;
    }
    for (int outFrames = -1, rounds = 0; flush && outFrames != 0 && rounds < 1000; ++rounds) {
        EXPECT_EQ(conv.Flush(ol.data(), orr.data(), static_cast<int>(capacity), outFrames), 1);
        for (int i = 0; i < outFrames; ++i) {
            out.left.push_back(get(ol, i));
            if (outChannels == 2) out.right.push_back(get(orr, i));
        }
    }
    return out;
}

std::vector<double> Sine(double frequency, int rate, std::size_t frames, double amplitude) {
    std::vector<double> s(frames);
    for (std::size_t i = 0; i < frames; ++i) s[i] = amplitude * std::sin(2 * kPi * frequency * i / rate);
    return s;
}

struct Fit {
    double amplitude;      // of the best-fitting sine at the expected frequency
    double residualRatio;  // RMS of what the sine does not explain, relative to its RMS
    double frequency;      // from interpolated zero crossings
};

// Least-squares fit of a*sin + b*cos + c at the expected frequency over [from, to).
Fit Analyse(const std::vector<double>& x, int rate, double frequency, std::size_t from, std::size_t to) {
    double ss = 0, sc = 0, cc = 0, s1 = 0, c1 = 0, n = 0, xs = 0, xc = 0, x1 = 0;
    for (std::size_t i = from; i < to; ++i) {
        const double s = std::sin(2 * kPi * frequency * i / rate),
                     c = std::cos(2 * kPi * frequency * i / rate);
        ss += s * s, sc += s * c, cc += c * c, s1 += s, c1 += c, n += 1;
        xs += x[i] * s, xc += x[i] * c, x1 += x[i];
    }
    // Solve the 3x3 normal equations by Cramer's rule.
    const double m[3][3] = {{ss, sc, s1}, {sc, cc, c1}, {s1, c1, n}};
    const double r[3] = {xs, xc, x1};
    auto det = [](const double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
               a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    double coef[3];
    for (int k = 0; k < 3; ++k) {
        double t[3][3];
        std::memcpy(t, m, sizeof t);
        for (int row = 0; row < 3; ++row) t[row][k] = r[row];
        coef[k] = det(t) / det(m);
    }
    double residual = 0;
    for (std::size_t i = from; i < to; ++i) {
        const double model = coef[0] * std::sin(2 * kPi * frequency * i / rate) +
                             coef[1] * std::cos(2 * kPi * frequency * i / rate) + coef[2];
        residual += (x[i] - model) * (x[i] - model);
    }
    Fit fit{};
    fit.amplitude = std::hypot(coef[0], coef[1]);
    fit.residualRatio = std::sqrt(residual / n) / (fit.amplitude / std::sqrt(2.0));
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            const double t = (i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    fit.frequency = crossings > 1 ? (crossings - 1) * rate / (last - first) : 0;
    return fit;
}

struct SignalCase {
    const char* name;
    int sourceRate, targetRate, inChannels, outChannels, bits, outBits;
    double maxResidual;     // noise and distortion allowed relative to the tone
    double levelTolerance;  // relative; truncation to 8 bits loses about half a step
};

void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.name;
}

class ResampledSine : public ::testing::TestWithParam<SignalCase> {};

TEST_P(ResampledSine, KeepsFrequencyLevelAndLength) {
    // A wrong factor shifts the pitch, wrong scaling changes the level, a dropped or repeated
    // block breaks the phase (residual), and a lost or flushed tail changes the length.
    const SignalCase& c = GetParam();
    constexpr double kAmplitude = 0.5;
    const std::size_t frames = static_cast<std::size_t>(c.sourceRate) * 3 / 2;
    const auto left = Sine(1000, c.sourceRate, frames, kAmplitude);
    // A stereo target keeps its channels apart: right carries 1500 Hz.
    const bool stereoThrough = c.inChannels == 2 && c.outChannels == 2;
    const auto right = stereoThrough ? Sine(1500, c.sourceRate, frames, kAmplitude) : left;
    const Converted out =
        Convert(c.sourceRate, c.targetRate, c.inChannels, c.outChannels, c.bits, c.outBits, left, right);

    // The resampler is never flushed, so the output falls short by its filter delay.
    void* probe = resample_open(1, double(c.targetRate) / c.sourceRate, double(c.targetRate) / c.sourceRate);
    ASSERT_NE(probe, nullptr);
    const int delay = resample_get_filter_width(probe);
    resample_close(probe);
    const double factor = double(c.targetRate) / c.sourceRate;
    EXPECT_NEAR(double(out.left.size()), (out.inputFrames - delay) * factor, 2.0);

    const std::size_t from = c.targetRate / 20, to = out.left.size() - c.targetRate / 20;
    const Fit l = Analyse(out.left, c.targetRate, 1000, from, to);
    EXPECT_NEAR(l.frequency, 1000.0, 0.5);
    EXPECT_NEAR(l.amplitude, kAmplitude, kAmplitude * c.levelTolerance);
    EXPECT_LT(l.residualRatio, c.maxResidual);
    if (c.outChannels == 2) {
        ASSERT_EQ(out.right.size(), out.left.size());
        const Fit r = Analyse(out.right, c.targetRate, stereoThrough ? 1500 : 1000, from, to);
        EXPECT_NEAR(r.frequency, stereoThrough ? 1500.0 : 1000.0, 0.75);
        EXPECT_NEAR(r.amplitude, kAmplitude, kAmplitude * c.levelTolerance);
        EXPECT_LT(r.residualRatio, c.maxResidual);
        if (!stereoThrough) {
            EXPECT_EQ(out.right, out.left);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Chain, ResampledSine,
    ::testing::Values(SignalCase{"Up22050To44100", 22050, 44100, 1, 1, 16, 16, 1e-3, 0.002},
                      SignalCase{"Down44100To8000", 44100, 8000, 1, 1, 16, 16, 1e-3, 0.002},
                      SignalCase{"Down48000To44100Stereo", 48000, 44100, 2, 2, 16, 16, 1e-3, 0.002},
                      SignalCase{"Up44100To48000Stereo", 44100, 48000, 2, 2, 16, 16, 1e-3, 0.002},
                      SignalCase{"MixThenDown48000To44100", 48000, 44100, 2, 1, 16, 16, 1e-3, 0.002},
                      SignalCase{"MonoUp22050To44100Stereo", 22050, 44100, 1, 2, 16, 16, 1e-3, 0.002},
                      SignalCase{"EightBitUp22050To44100", 22050, 44100, 2, 2, 8, 8, 2e-2, 0.015},
                      SignalCase{"EightToSixteenDown44100To8000", 44100, 8000, 2, 1, 8, 16, 2e-2, 0.015},
                      SignalCase{"SixteenToEightUp8000To16000", 8000, 16000, 1, 2, 16, 8, 2e-2, 0.015}),
    [](const auto& info) { return std::string(info.param.name); });

struct LengthCase {
    const char* name;
    int sourceRate, targetRate, inChannels, outChannels, bits;
    std::size_t frames, expected;  // expected = round(frames * target / source)
};

void PrintTo(const LengthCase& c, std::ostream* os) {
    *os << c.name;
}

class ResampledLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(ResampledLength, FlushedOutputLastsAsLongAsTheInput) {
    // The flushed filter tail ran past the input: 10 s at 44.1 kHz gave 80,001 frames at 8 kHz.
    const LengthCase& c = GetParam();
    const auto signal = Sine(440, c.sourceRate, c.frames, 0.5);
    const Converted out = Convert(c.sourceRate, c.targetRate, c.inChannels, c.outChannels, c.bits, 16, signal,
                                  signal, 1152, true);
    EXPECT_EQ(out.left.size(), c.expected);
    if (c.outChannels == 2) {
        EXPECT_EQ(out.right.size(), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Chain, ResampledLength,
    ::testing::Values(LengthCase{"Down44100To8000TenSeconds", 44100, 8000, 2, 1, 16, 441000, 80000},
                      LengthCase{"Up8000To44100", 8000, 44100, 1, 1, 16, 8000, 44100},
                      LengthCase{"Up44100To48000Stereo", 44100, 48000, 2, 2, 16, 12345, 13437},
                      LengthCase{"EightBitDown22050To16000", 22050, 16000, 1, 2, 8, 1000, 726},
                      LengthCase{"ShorterThanTheFilter", 44100, 8000, 1, 1, 16, 100, 18}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResampledSine, ClampsFullScaleInsteadOfWrapping) {
    // Filter overshoot on a full-scale square wave goes past 1.0; without the limit (or with a
    // scale of 32768) the 16-bit conversion wraps the peaks to the opposite sign.
    constexpr int kHalfPeriod = 50;
    std::vector<double> square(44100);
    for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / kHalfPeriod) % 2 ? -1.0 : 1.0;
    const Converted out = Convert(44100, 48000, 1, 1, 16, 16, square, square);
    int wrongSign = 0, limited = 0;
    for (std::size_t j = 0; j < out.left.size(); ++j) {
        const double p = j * 44100.0 / 48000.0;  // position in input samples
        // Edges lie half-way between input samples 49 and 50, 99 and 100, ...
        const double edgeDistance =
            std::fabs(std::fmod(p + 0.5 + kHalfPeriod / 2.0, kHalfPeriod) - kHalfPeriod / 2.0);
        const double want = square[std::min<std::size_t>(std::lround(p), square.size() - 1)];
        if (edgeDistance >= 1.5 && out.left[j] * want < 0) ++wrongSign;
        if (std::fabs(out.left[j]) == 1.0) ++limited;
    }
    EXPECT_EQ(wrongSign, 0);
    EXPECT_GT(limited, 0) << "overshoot should reach the limit";
}

TEST(ResampledSine, MatchesSoxWithinFilterDifferences) {
    // Compares against an independent resampler, so a time shift, a wrong factor or a
    // mangled channel shows up as a large difference.
    if (!testsupport::HaveTool("sox")) GTEST_SKIP() << "sox not installed";
    testsupport::TempDir dir;
    constexpr int kFrames = 44100;
    std::vector<double> signal(kFrames);
    std::vector<std::int16_t> raw(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        const double t = double(i) / 44100;
        signal[i] = 0.3 * std::sin(2 * kPi * 440 * t) + 0.2 * std::sin(2 * kPi * 3000 * t) +
                    0.1 * std::sin(2 * kPi * 9000 * t);
        raw[i] = static_cast<std::int16_t>(std::lround(signal[i] * 32767.0));
    }
    std::vector<std::uint8_t> bytes(raw.size() * 2);
    std::memcpy(bytes.data(), raw.data(), bytes.size());
    testsupport::WriteBytes(dir.File("in.raw"), bytes);
    ASSERT_EQ(testsupport::Run({"sox",
                                "-t",
                                "raw",
                                "-r",
                                "44100",
                                "-e",
                                "signed",
                                "-b",
                                "16",
                                "-c",
                                "1",
                                dir.File("in.raw"),
                                "-t",
                                "raw",
                                "-e",
                                "signed",
                                "-b",
                                "16",
                                dir.File("out.raw"),
                                "rate",
                                "-v",
                                "48000"}),
              0);
    const auto soxBytes = testsupport::ReadBytes(dir.File("out.raw"));
    std::vector<double> sox(soxBytes.size() / 2);
    for (std::size_t i = 0; i < sox.size(); ++i) {
        std::int16_t s;
        std::memcpy(&s, &soxBytes[i * 2], 2);
        sox[i] = s / 32767.0;
    }
    const Converted ours = Convert(44100, 48000, 1, 1, 16, 16, signal, signal);
    ASSERT_GT(ours.left.size(), 40000u);
    double diff = 0, power = 0;
    std::size_t n = 0;
    for (std::size_t i = 2000; i + 2000 < std::min(ours.left.size(), sox.size()); ++i, ++n) {
        diff += (ours.left[i] - sox[i]) * (ours.left[i] - sox[i]);
        power += sox[i] * sox[i];
    }
    ASSERT_GT(n, 0u);
    const double db = 10 * std::log10(diff / power);
    EXPECT_LT(db, -60.0) << "difference from sox " << db << " dB";
}

}  // namespace
