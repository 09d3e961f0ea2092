#include <gtest/gtest.h>

#include <cstdint>

#include "engine/PcmAmplify.h"

namespace {

TEST(Amplify, SixteenBitTruncatesAndLimits) {
    // -32768 must stop at -32767, truncation is toward zero (not floor), and an overflow
    // must limit instead of wrapping.
    struct Row {
        std::int16_t in;
        float factor;
        std::int16_t want;
    };
    const Row rows[] = {{-32768, 1.5f, -32767}, {32767, 2.0f, 32767},  {-32768, 1.0f, -32767},
                        {1000, 1.5f, 1500},     {-3, 0.5f, -1},        {3, 0.5f, 1},
                        {100, 0.1f, 10},        {20000, 30.0f, 32767}, {-20000, 30.0f, -32767},
                        {0, 30.0f, 0}};
    for (const Row& r : rows) {
        std::int16_t left = r.in, right = r.in;
        Amplify16(&left, &right, 1, 2, r.factor);
        EXPECT_EQ(left, r.want) << r.in << " x " << r.factor;
        EXPECT_EQ(right, r.want) << r.in << " x " << r.factor;
    }
}

TEST(Amplify, EightBitWorksAroundTheMidpoint) {
    // Amplifying the raw unsigned value instead of its distance from 128 would shift silence.
    struct Row {
        std::uint8_t in;
        float factor;
        std::uint8_t want;
    };
    const Row rows[] = {{255, 2.0f, 255}, {0, 2.0f, 0},      {128, 30.0f, 128}, {1, 0.5f, 65},
                        {129, 0.5f, 128}, {200, 30.0f, 255}, {100, 2.0f, 72},   {127, 0.1f, 128}};
    for (const Row& r : rows) {
        std::uint8_t left = r.in, right = r.in;
        Amplify8(&left, &right, 1, 2, r.factor);
        EXPECT_EQ(left, r.want) << int(r.in) << " x " << r.factor;
        EXPECT_EQ(right, r.want) << int(r.in) << " x " << r.factor;
    }
}

TEST(Amplify, MonoLeavesTheRightBufferAlone) {
    // A mono block has no right buffer; touching it would write into the caller's memory.
    std::int16_t l16[2] = {100, 200}, r16[2] = {100, 200};
    Amplify16(l16, r16, 2, 1, 2.0f);
    EXPECT_EQ(l16[1], 400);
    EXPECT_EQ(r16[1], 200);
    std::uint8_t l8[2] = {138, 148}, r8[2] = {138, 148};
    Amplify8(l8, r8, 2, 1, 2.0f);
    EXPECT_EQ(l8[1], 168);
    EXPECT_EQ(r8[1], 148);
}

}  // namespace
