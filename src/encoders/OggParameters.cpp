#include "encoders/OggParameters.h"

#include <algorithm>

#include "engine/EncoderRates.h"
#include "settings/ConversionSettings.h"

namespace {

constexpr int kOggRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, -1};
constexpr int kOggBitrates[] = {8,   16,  24,  32,  40,  48,  56,  64,  80,  96, 112,
                                128, 144, 160, 192, 224, 256, 320, 400, 480, -1};

}  // namespace

OggParameters ChooseOggParameters(const ConversionSettings& settings, const OggSourceFacts& source) {
    OggParameters p;
    const int delivered = std::clamp(source.outputChannels, 1, 2);

    if (settings.AutoDestOGGEncodingParam) {
        p.channels = delivered;
        AutoRateAndBitrate(source.sampleRate, delivered, p.bitrate, p.rate);
        return p;
    }

    p.rate =
        NearestInTable(settings.OGGSampleRate != 0 ? settings.OGGSampleRate : source.sampleRate, kOggRates);
    p.channels = settings.OGGChannels != 0 ? std::clamp(settings.OGGChannels, 1, 2) : delivered;

    int bitrate = settings.OGGBitRate;
    if (bitrate == 0) {
        if (source.kind == kKindMp3 || source.kind == kKindOgg) {
            bitrate = source.bitrate;
        } else {
            int unusedRate = 0;
            AutoRateAndBitrate(p.rate, p.channels, bitrate, unusedRate);
        }
    }
    p.bitrate = ClampVorbisBitrate(p.rate, p.channels, NearestInTable(bitrate, kOggBitrates));

    if (delivered > p.channels && settings.MonoType > 0)
        p.pick = settings.MonoType == 2 ? ChannelPick::Right : ChannelPick::Left;
    return p;
}
