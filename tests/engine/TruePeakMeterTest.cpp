#include <ebur128.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "engine/LoudnessMeter.h"
#include "engine/TruePeakMeter.h"

namespace {

enum class Signal { IntersampleSine, Square, Noise, QuietAfterLoud, Edges };

struct PeakCase {
    const char* name;
    Signal signal;
    int rate;
    int channels;
    int block;  // frames per Add
};

// One second (more for the quiet tail) of a signal, planar; the right channel differs from the left.
std::vector<std::vector<float>> Make(const PeakCase& c) {
    const int frames = c.signal == Signal::QuietAfterLoud ? c.rate * 3 : c.rate;
    std::vector<std::vector<float>> planes(static_cast<std::size_t>(c.channels),
                                           std::vector<float>(static_cast<std::size_t>(frames)));
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (int ch = 0; ch < c.channels; ++ch) {
        for (int i = 0; i < frames; ++i) {
            float& x = planes[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)];
            switch (c.signal) {
                case Signal::IntersampleSine:  // fs/4 at 45°: samples at 0.707 of the peak between them
                    x = static_cast<float>((0.5 - 0.1 * ch) *
                                           std::sin(std::numbers::pi / 2 * i + std::numbers::pi / 4));
                    break;
                case Signal::Square:
                    x = (i * 1000 / c.rate) % 2 ? -1.0f : 1.0f;
                    break;
                case Signal::Noise:
                    x = 0.8f * noise(random);
                    break;
                case Signal::QuietAfterLoud:
                    x = (i < c.rate * 3 / 10 ? 0.9f : 1e-3f) * noise(random);
                    break;
                case Signal::Edges:  // the quiet samples; the loud ones below
                    x = std::array{0.3f, -0.3f, 0.1f}[i % 3];
                    break;
            }
        }
        if (c.signal != Signal::Edges) continue;
        // Pairs of loud samples among quiet ones, whose peak between them depends on the quiet samples
        // before: where the quiet stretch before went unmeasured, they still count. 516 frames apart, the
        // pairs land four frames later in each 256-frame chunk of the meter than in the one before. The
        // last pair, a little louder, ends just before the end.
        auto& plane = planes[static_cast<std::size_t>(ch)];
        for (int at = 0; at < frames - 60; at += 516) plane[at] = plane[at + 1] = 0.9f;
        plane[static_cast<std::size_t>(frames - 30)] = plane[static_cast<std::size_t>(frames - 29)] = 0.95f;
    }
    return planes;
}

class TruePeak : public ::testing::TestWithParam<PeakCase> {};

TEST_P(TruePeak, AgreesWithLibebur128) {
    // The same interpolator as libebur128's, fed in the same blocks: the same peak, whether measured
    // alone or through the loudness meter's chunks and thread.
    const PeakCase& c = GetParam();
    const auto planes = Make(c);
    const int frames = static_cast<int>(planes[0].size());
    std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> reference(
        ebur128_init(static_cast<unsigned>(c.channels), static_cast<unsigned long>(c.rate),
                     EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM | EBUR128_MODE_TRUE_PEAK),
        [](ebur128_state* s) { ebur128_destroy(&s); });
    ASSERT_TRUE(reference);
    TruePeakMeter alone;
    LoudnessMeter meter;
    ASSERT_EQ(alone.Setup(c.rate, c.channels), 1);
    ASSERT_EQ(meter.Setup(c.rate, c.channels), 1);
    std::vector<float> interleaved;
    for (int at = 0; at < frames; at += c.block) {
        const int n = std::min(c.block, frames - at);
        const float* block[2] = {planes[0].data() + at, c.channels == 2 ? planes[1].data() + at : nullptr};
        interleaved.clear();
        for (int i = 0; i < n; ++i)
            for (int ch = 0; ch < c.channels; ++ch) interleaved.push_back(block[ch][i]);
        ASSERT_EQ(ebur128_add_frames_float(reference.get(), interleaved.data(), static_cast<std::size_t>(n)),
                  EBUR128_SUCCESS);
        alone.Add(block, n);
        ASSERT_EQ(meter.AddFloat(block[0], block[1], n), 1);
        // Reading must not disturb what follows; the loudness meter's thread ends there, and the rest
        // is measured on the caller's.
        if (at < frames / 2 && at + n >= frames / 2) {
            alone.Peak();
            meter.TruePeak();
        }
    }
    double expected = 0.0, loudness = 0.0;
    for (int ch = 0; ch < c.channels; ++ch) {
        double peak = 0.0;
        ASSERT_EQ(ebur128_true_peak(reference.get(), static_cast<unsigned>(ch), &peak), EBUR128_SUCCESS);
        expected = std::max(expected, peak);
    }
    ASSERT_EQ(ebur128_loudness_global(reference.get(), &loudness), EBUR128_SUCCESS);
    EXPECT_NEAR(alone.Peak(), expected, 1e-6 * expected);
    EXPECT_NEAR(meter.TruePeak(), expected, 1e-6 * expected);
    EXPECT_NEAR(meter.Integrated(), loudness, 1e-9);  // every frame reached libebur128
    if (c.signal == Signal::IntersampleSine && c.rate < 192000) {
        // 3 dB over the samples (the interpolator's ripple adds a tenth)
        EXPECT_NEAR(20 * std::log10(alone.Peak() / 0.5), 0.0, 0.2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, TruePeak,
    ::testing::Values(PeakCase{"Sine44k", Signal::IntersampleSine, 44100, 2, 1152},
                      PeakCase{"SineMono48k", Signal::IntersampleSine, 48000, 1, 1000},
                      PeakCase{"Sine96k", Signal::IntersampleSine, 96000, 2, 4097},
                      PeakCase{"Sine192k", Signal::IntersampleSine, 192000, 2, 1152},
                      PeakCase{"Square44k", Signal::Square, 44100, 2, 333},
                      PeakCase{"Square96k", Signal::Square, 96000, 1, 100000},
                      PeakCase{"Noise48k", Signal::Noise, 48000, 2, 1},
                      PeakCase{"Noise192k", Signal::Noise, 192000, 1, 777},
                      PeakCase{"QuietAfterLoud44k", Signal::QuietAfterLoud, 44100, 2, 1152},
                      PeakCase{"QuietAfterLoud96k", Signal::QuietAfterLoud, 96000, 1, 255},
                      PeakCase{"Edges44k", Signal::Edges, 44100, 1, 1152},
                      PeakCase{"Edges48k", Signal::Edges, 48000, 2, 4096}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
