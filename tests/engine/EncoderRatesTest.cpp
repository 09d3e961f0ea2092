#include <gtest/gtest.h>

#include <cstdint>

#include "engine/EncoderRates.h"

namespace {

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
