#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/PcmConverter.h"

namespace {

// Samples of one channel as raw bytes at the given depth (8-bit unsigned, 16-bit signed).
std::vector<std::uint8_t> Pack(const std::vector<int>& samples, int bits) {
    std::vector<std::uint8_t> out(samples.size() * (bits / 8));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (bits == 8) {
            out[i] = static_cast<std::uint8_t>(samples[i]);
        } else {
            const auto s = static_cast<std::int16_t>(samples[i]);
            std::memcpy(&out[i * 2], &s, 2);
        }
    }
    return out;
}

std::vector<int> Unpack(const std::uint8_t* bytes, int frames, int bits) {
    std::vector<int> out(frames);
    for (int i = 0; i < frames; ++i) {
        if (bits == 8) {
            out[i] = bytes[i];
        } else {
            std::int16_t s;
            std::memcpy(&s, bytes + i * 2, 2);
            out[i] = s;
        }
    }
    return out;
}

struct SameRateCase {
    const char* name;
    int inChannels, inBits, outChannels, outBits;
    std::vector<int> left, right;  // right empty for one input channel
    std::vector<int> wantLeft, wantRight;
};

void PrintTo(const SameRateCase& c, std::ostream* os) {
    *os << c.name;
}

class SameRate : public ::testing::TestWithParam<SameRateCase> {};

TEST_P(SameRate, GivesExactSamples) {
    // Wrong rounding of the mix, a logical instead of arithmetic shift, or mixing before the
    // depth change would change these values.
    const SameRateCase& c = GetParam();
    PcmConverter conv;
    ASSERT_EQ(conv.Setup(44100, c.inChannels, 44100, c.outChannels, c.inBits, c.outBits), 1);
    const auto left = Pack(c.left, c.inBits);
    const auto right = Pack(c.right, c.inBits);
    const int frames = static_cast<int>(c.left.size());
    std::vector<std::uint8_t> outLeft(frames * 2 + 8, 0xA5), outRight(frames * 2 + 8, 0xA5);
    int outFrames = -1;
    ASSERT_EQ(conv.Process(left.data(), c.inChannels == 2 ? right.data() : nullptr, frames, outLeft.data(),
                           outRight.data(), outFrames),
              1);
    ASSERT_EQ(outFrames, frames);
    EXPECT_EQ(Unpack(outLeft.data(), frames, c.outBits), c.wantLeft);
    if (c.outChannels == 2) {
        EXPECT_EQ(Unpack(outRight.data(), frames, c.outBits), c.wantRight);
    } else {
        EXPECT_EQ(outRight, std::vector<std::uint8_t>(outRight.size(), 0xA5)) << "mono target wrote right";
    }
    const std::size_t used = static_cast<std::size_t>(frames) * (c.outBits / 8);
    EXPECT_EQ(outLeft[used], 0xA5) << "wrote past the block";
}

const std::vector<int> kSixteen = {-32768, -32767, -1, 0, 1, 255, 256, 32767};
const std::vector<int> kEight = {0, 1, 127, 128, 129, 255};

INSTANTIATE_TEST_SUITE_P(
    Chain, SameRate,
    ::testing::Values(
        SameRateCase{
            "Copy16", 2, 16, 2, 16, kSixteen, {1, 2, 3, 4, 5, 6, 7, 8}, kSixteen, {1, 2, 3, 4, 5, 6, 7, 8}},
        SameRateCase{"Copy8Mono", 1, 8, 1, 8, kEight, {}, kEight, {}},
        SameRateCase{"MixFloorsHalfTheSum16",
                     2,
                     16,
                     1,
                     16,
                     {1000, -1, 1, 32767, -32768, 32767, 3},
                     {-1001, 0, 0, 32767, -32768, -32768, 4},
                     {-1, -1, 0, 32767, -32768, -1, 3},
                     {}},
        SameRateCase{"MixHalvesUnsigned8",
                     2,
                     8,
                     1,
                     8,
                     {255, 0, 0, 1, 128},
                     {255, 1, 255, 2, 129},
                     {255, 0, 127, 1, 128},
                     {}},
        SameRateCase{"EightToSixteen", 1, 8, 1, 16, kEight, {}, {-32768, -32512, -256, 0, 256, 32512}, {}},
        SameRateCase{"SixteenToEight", 1, 16, 1, 8, kSixteen, {}, {0, 0, 127, 128, 128, 128, 129, 255}, {}},
        SameRateCase{
            "StereoDepthChangeBothChannels", 2, 8, 2, 16, {0, 255}, {128, 1}, {-32768, 32512}, {0, -32512}},
        // Mixing happens after the depth change: mixing 0 and 1 at 8 bits first would give -32768.
        SameRateCase{"MixAfterEightToSixteen", 2, 8, 1, 16, {0, 255}, {1, 254}, {-32640, 32384}, {}},
        SameRateCase{"MixAfterSixteenToEight",
                     2,
                     16,
                     1,
                     8,
                     {-32768, 32767, -1},
                     {32767, 32767, 0},
                     {127, 255, 127},
                     {}},
        SameRateCase{"MonoToStereoCopies",
                     1,
                     16,
                     2,
                     16,
                     {-32768, 5, 32767},
                     {},
                     {-32768, 5, 32767},
                     {-32768, 5, 32767}},
        SameRateCase{
            "MonoToStereoAfterDepth", 1, 16, 2, 8, {-32768, 0, 32767}, {}, {0, 128, 255}, {0, 128, 255}}),
    [](const auto& info) { return std::string(info.param.name); });

struct Path {
    const char* name;
    int sourceRate, inChannels, sourceBits, targetRate, targetChannels, targetBits;
};

const Path kPaths[] = {
    {"SameRateStereoToMono", 44100, 2, 16, 44100, 1, 16},
    {"SameRateEightToSixteen", 22050, 2, 8, 22050, 2, 16},
    {"Up44100To48000", 44100, 2, 16, 48000, 2, 16},
    {"Up22050To44100Mono", 22050, 1, 16, 44100, 2, 16},
    {"Down44100To8000Mix", 44100, 2, 16, 8000, 1, 16},
    {"Up8000To48000Eight", 8000, 2, 8, 48000, 2, 8},
    {"Nearly2x", 10000, 2, 16, 19999, 2, 16},
};

void PrintTo(const Path& p, std::ostream* os) {
    *os << p.name;
}

class Paths : public ::testing::TestWithParam<Path> {};

TEST_P(Paths, NoAllocationAfterTheFirstBlockAndNeverPastCapacity) {
    // Reallocating per block would hurt every conversion; a resampler writing more frames than
    // (target / source + 1) * frames would corrupt the caller's buffers.
    const Path& p = GetParam();
    PcmConverter conv;
    ASSERT_EQ(
        conv.Setup(p.sourceRate, p.inChannels, p.targetRate, p.targetChannels, p.sourceBits, p.targetBits),
        1);
    constexpr int kMax = 1152;
    constexpr std::uint8_t kGuard = 0x5A;
    const int inBytes = p.sourceBits / 8;
    const int outBytes = p.targetBits / 8;
    std::vector<std::uint8_t> left(kMax * inBytes), right(kMax * inBytes);
    std::uint32_t seed = 12345;
    auto fill = [&](std::vector<std::uint8_t>& v) {
        for (auto& b : v) b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    };
    const int sizes[] = {kMax, 1, 7, 1152, 1000, 2, 3, 576, 1151, 1, 1, 1, 64, kMax};
    std::size_t allocationsAfterFirst = 0;
    for (int round = 0; round < 20; ++round) {
        for (int frames : sizes) {
            fill(left);
            fill(right);
            const auto capacity = static_cast<std::size_t>(conv.OutputCapacity(frames));
            // Exactly the caller's capacity, then a guard zone.
            std::vector<std::uint8_t> outLeft((capacity + 16) * outBytes, kGuard);
            std::vector<std::uint8_t> outRight((capacity + 16) * outBytes, kGuard);
            int outFrames = -1;
            ASSERT_EQ(conv.Process(left.data(), p.inChannels == 2 ? right.data() : nullptr, frames,
                                   outLeft.data(), outRight.data(), outFrames),
                      1);
            ASSERT_GE(outFrames, 0);
            ASSERT_LE(static_cast<std::size_t>(outFrames), capacity);
            for (std::size_t i = capacity * outBytes; i < outLeft.size(); ++i) ASSERT_EQ(outLeft[i], kGuard);
            const std::size_t rightUntouchedFrom = p.targetChannels == 2 ? capacity * outBytes : 0;
            for (std::size_t i = rightUntouchedFrom; i < outRight.size(); ++i) ASSERT_EQ(outRight[i], kGuard);
            if (round == 0 && frames == kMax && allocationsAfterFirst == 0) {
                allocationsAfterFirst = conv.AllocationCount();
            }
        }
    }
    EXPECT_EQ(conv.AllocationCount(), allocationsAfterFirst);
}

INSTANTIATE_TEST_SUITE_P(Chain, Paths, ::testing::ValuesIn(kPaths),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PcmConverter, BuffersGrowOnlyForALargerBlock) {
    // A buffer that shrank for a short block would have to be reallocated for the next long one.
    PcmConverter conv;
    ASSERT_EQ(conv.Setup(44100, 2, 48000, 2, 16, 16), 1);
    std::vector<std::int16_t> in(4096, 100), outL(conv.OutputCapacity(4096)), outR(outL.size());
    int outFrames = 0;
    ASSERT_EQ(conv.Process(in.data(), in.data(), 100, outL.data(), outR.data(), outFrames), 1);
    const std::size_t small = conv.AllocationCount();
    ASSERT_EQ(conv.Process(in.data(), in.data(), 4096, outL.data(), outR.data(), outFrames), 1);
    const std::size_t large = conv.AllocationCount();
    EXPECT_GT(large, small);
    for (int frames : {1, 100, 4096, 2000}) {
        ASSERT_EQ(conv.Process(in.data(), in.data(), frames, outL.data(), outR.data(), outFrames), 1);
    }
    EXPECT_EQ(conv.AllocationCount(), large);
}

TEST(PcmConverter, RejectsFormatsItCannotConvert) {
    // A damaged header's rate or depth must fail set-up, not reach libresample or index a table.
    struct Bad {
        int sourceRate, inChannels, targetRate, targetChannels, sourceBits, targetBits;
    };
    const Bad bad[] = {
        {0, 2, 44100, 2, 16, 16},     {44100, 2, 0, 2, 16, 16},     {-8000, 1, 8000, 1, 16, 16},
        {44100, 3, 44100, 2, 16, 16}, {44100, 2, 44100, 0, 16, 16}, {44100, 2, 44100, 2, 24, 16},
        {44100, 2, 44100, 2, 16, 12}, {1, 2, 48000, 2, 16, 16},     {48000, 2, 1, 2, 16, 16},
    };
    for (const Bad& b : bad) {
        PcmConverter conv;
        EXPECT_EQ(conv.Setup(b.sourceRate, b.inChannels, b.targetRate, b.targetChannels, b.sourceBits,
                             b.targetBits),
                  0)
            << b.sourceRate << " " << b.inChannels << " " << b.targetRate << " " << b.targetChannels;
        std::int16_t in[4] = {}, out[16] = {};
        int outFrames = -1;
        EXPECT_EQ(conv.Process(in, in, 4, out, out, outFrames), 0);
        EXPECT_EQ(outFrames, 0);
    }
}

TEST(PcmConverter, ConvertsInPlaceWhenNothingChanges) {
    // A caller passing its own block as output must not get overlapping-copy garbage.
    PcmConverter conv;
    ASSERT_EQ(conv.Setup(32000, 2, 32000, 2, 16, 16), 1);
    std::vector<std::int16_t> l = {1, -2, 3, -4}, r = {5, 6, 7, 8};
    int outFrames = 0;
    ASSERT_EQ(conv.Process(l.data(), r.data(), 4, l.data(), r.data(), outFrames), 1);
    EXPECT_EQ(outFrames, 4);
    EXPECT_EQ(l, (std::vector<std::int16_t>{1, -2, 3, -4}));
    EXPECT_EQ(r, (std::vector<std::int16_t>{5, 6, 7, 8}));
}

}  // namespace
