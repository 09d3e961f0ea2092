#include "encoders/Mp3Parameters.h"

#include <algorithm>

#include "engine/EncoderRates.h"
#include "settings/ConversionSettings.h"

namespace {

constexpr int kMp3Rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, -1};
constexpr int kMp3Bitrates[] = {8,   16,  24,  32,  40,  48,  56,  64,  80, 96,
                                112, 128, 144, 160, 192, 224, 256, 320, -1};
constexpr int kModeJointStereo = 1;
constexpr int kModeMono = 3;
constexpr int kModeAsSource = 4;

/// MPEG-2.5 and MPEG-2 frames cannot carry the higher bit rates; MPEG-1 has no rates below 32.
int LimitBitrateForRate(int bitrate, int outputRate) {
    if (outputRate <= 12000) return std::min(bitrate, 64);
    if (outputRate <= 24000) return std::min(bitrate, 160);
    return std::max(bitrate, 32);
}

}  // namespace

Mp3Parameters ChooseMp3Parameters(const ConversionSettings& settings, const Mp3SourceFacts& source) {
    Mp3Parameters p;
    p.inputRate = source.sampleRate;
    const int delivered = source.outputChannels;

    if (settings.AutoDestMP3EncodingParam) {
        p.channels = std::clamp(delivered, 1, 2);
        int bitrate = 0;
        AutoRateAndBitrate(source.sampleRate, delivered, bitrate, p.outputRate);
        p.bitrate = bitrate;
        return p;
    }

    int mode = settings.MP3ChannelMode;
    if (mode == kModeAsSource) {
        if (source.kind == kKindMp3)
            mode = source.channelMode;
        else
            mode = delivered == 2 ? kModeJointStereo : kModeMono;
    }
    const int outChannels = mode == kModeMono ? 1 : 2;
    if (delivered == 2 && mode == kModeMono && settings.MonoType != 0) {
        p.channels = 1;
        p.pick = settings.MonoType == 2 ? ChannelPick::Right : ChannelPick::Left;
    } else {
        p.channels = std::clamp(delivered, 1, 2);
    }
    p.mode = mode;

    const int rate = settings.MP3SampleRate != 0 ? settings.MP3SampleRate : source.sampleRate;
    p.outputRate = NearestInTable(rate, kMp3Rates);

    int bitrate = settings.MP3BitRate;
    if (bitrate == 0) {
        if (source.kind == kKindMp3 || source.kind == kKindOgg) {
            bitrate = source.bitrate;
        } else {
            int unusedRate = 0;
            AutoRateAndBitrate(p.outputRate, outChannels, bitrate, unusedRate);
        }
    }
    if (bitrate > 0) p.bitrate = LimitBitrateForRate(NearestInTable(bitrate, kMp3Bitrates), p.outputRate);
    return p;
}
