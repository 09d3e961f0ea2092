#include <gtest/gtest.h>

#include <cstdint>

#include "engine/EncoderRates.h"
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

TEST(NearestInTable, PicksNearestAndTheLowerOnATie) {
    // Off-by-one at the ends or a tie going up would pick a bitrate the encoder was not asked for.
    const int table[] = {32, 40, 48, -1};
    const int rows[][2] = {{44, 40}, {45, 48}, {20, 32}, {100, 48}, {32, 32}, {40, 40},
                           {48, 48}, {36, 32}, {37, 40}, {41, 40},  {-5, 32}};
    for (const auto& r : rows) EXPECT_EQ(NearestInTable(r[0], table), r[1]) << r[0];
    const int single[] = {64, -1};
    EXPECT_EQ(NearestInTable(10, single), 64);
    EXPECT_EQ(NearestInTable(100, single), 64);
}

TEST(ClampVorbisBitrate, LimitsPerRateAndChannels) {
    // Limits out of step with the encoder make it refuse to start for an in-range request.
    struct Row {
        int rate, stereoMin, stereoMax, monoMin, monoMax;
    };
    const Row rows[] = {{8000, 16, 80, 8, 40},     {11025, 16, 96, 16, 48},   {12000, 16, 96, 16, 48},
                        {16000, 24, 160, 16, 80},  {22050, 32, 160, 16, 80},  {24000, 32, 160, 16, 80},
                        {32000, 40, 320, 32, 160}, {44100, 48, 480, 32, 224}, {48000, 48, 480, 32, 224}};
    for (const Row& r : rows) {
        EXPECT_EQ(ClampVorbisBitrate(r.rate, 2, 1), r.stereoMin) << r.rate;
        EXPECT_EQ(ClampVorbisBitrate(r.rate, 2, 1000), r.stereoMax) << r.rate;
        EXPECT_EQ(ClampVorbisBitrate(r.rate, 2, r.stereoMin + 1), r.stereoMin + 1) << r.rate;
        EXPECT_EQ(ClampVorbisBitrate(r.rate, 1, 1), r.monoMin) << r.rate;
        EXPECT_EQ(ClampVorbisBitrate(r.rate, 1, 1000), r.monoMax) << r.rate;
        EXPECT_EQ(ClampVorbisBitrate(r.rate, 1, r.monoMax), r.monoMax) << r.rate;
        // Only exactly two channels use the stereo column.
        EXPECT_EQ(ClampVorbisBitrate(r.rate, 6, 1000), r.monoMax) << r.rate;
    }
    // A rate outside the table takes its nearest neighbour's limits, not a bitrate of 2 kbit/s.
    EXPECT_EQ(ClampVorbisBitrate(96000, 2, 1000), 480);
    EXPECT_EQ(ClampVorbisBitrate(7000, 1, 1000), 40);
    EXPECT_EQ(ClampVorbisBitrate(44000, 2, 128), 128);
}

TEST(AutoRateAndBitrate, FirstRowNotExceededByTheSourceRate) {
    // A boundary compared with < instead of <= would move a standard rate into the next row.
    struct Row {
        int source, rate, mono, other;
    };
    const Row rows[] = {{8000, 11025, 24, 48},    {11025, 11025, 24, 48},  {11026, 12000, 24, 48},
                        {12000, 12000, 24, 48},   {12001, 16000, 32, 56},  {16000, 16000, 32, 56},
                        {22050, 22050, 48, 64},   {22051, 24000, 48, 64},  {24000, 24000, 48, 64},
                        {32000, 32000, 64, 96},   {44100, 44100, 96, 128}, {44101, 48000, 128, 192},
                        {48000, 48000, 128, 192}, {96000, 48000, 128, 192}};
    for (const Row& r : rows) {
        for (int channels : {1, 2, 6}) {
            int bitrate = -1, rate = -1;
            AutoRateAndBitrate(r.source, channels, bitrate, rate);
            EXPECT_EQ(rate, r.rate) << r.source;
            EXPECT_EQ(bitrate, channels == 1 ? r.mono : r.other) << r.source << " ch " << channels;
        }
    }
}

}  // namespace
