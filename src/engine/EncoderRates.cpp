#include "engine/EncoderRates.h"

#include <algorithm>
#include <iterator>

int NearestInTable(int value, const int* table) {
    if (table[0] == -1) return value;
    if (value <= table[0]) return table[0];
    int i = 0;
    while (table[i + 1] != -1) {
        const int lower = table[i];
        const int upper = table[i + 1];
        if (value == upper) return upper;
        if (value < upper) return (upper - value < value - lower) ? upper : lower;
        ++i;
    }
    return table[i];
}

namespace {

struct VorbisLimits {
    int rate;
    int stereoMin, stereoMax, monoMin, monoMax;
};

constexpr VorbisLimits kVorbisLimits[] = {
    {8000, 16, 80, 8, 40},     {11025, 16, 96, 16, 48},   {12000, 16, 96, 16, 48},
    {16000, 24, 160, 16, 80},  {22050, 32, 160, 16, 80},  {24000, 32, 160, 16, 80},
    {32000, 40, 320, 32, 160}, {44100, 48, 480, 32, 224}, {48000, 48, 480, 32, 224},
};
constexpr int kVorbisRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, -1};

struct AutoRow {
    int upTo;  // source rates up to this one use the row
    int rate, monoBitrate, bitrate;
};

constexpr AutoRow kAutoRows[] = {
    {11025, 11025, 24, 48}, {12000, 12000, 24, 48}, {16000, 16000, 32, 56},  {22050, 22050, 48, 64},
    {24000, 24000, 48, 64}, {32000, 32000, 64, 96}, {44100, 44100, 96, 128},
};
constexpr AutoRow kAutoHigher = {0, 48000, 128, 192};

}  // namespace

int ClampVorbisBitrate(int sampleRate, int channels, int bitrate) {
    // Left open by the encoder table: a rate not in it takes the limits of its nearest neighbour
    // rather than degenerate ones.
    const int rate = NearestInTable(sampleRate, kVorbisRates);
    const VorbisLimits* row = std::find_if(std::begin(kVorbisLimits), std::end(kVorbisLimits),
                                           [rate](const VorbisLimits& r) { return r.rate == rate; });
    const bool stereo = channels == 2;
    return std::clamp(bitrate, stereo ? row->stereoMin : row->monoMin,
                      stereo ? row->stereoMax : row->monoMax);
}

void AutoRateAndBitrate(int sampleRate, int channels, int& bitrate, int& rate) {
    const AutoRow* row = &kAutoHigher;
    for (const AutoRow& r : kAutoRows) {
        if (sampleRate <= r.upTo) {
            row = &r;
            break;
        }
    }
    rate = row->rate;
    bitrate = channels == 1 ? row->monoBitrate : row->bitrate;
}
