#include "encoders/WmaParameters.h"

#include "settings/ConversionSettings.h"

namespace {

struct AutoBand {
    int upTo;  // highest source rate of the band
    int monoRate, monoBitrate, stereoRate, stereoBitrate;
};

// Bit rates a listener expects from each source quality; low rates are lifted to 22050 or
// 44100 Hz because the smallest codec formats sound worse than the source.
constexpr AutoBand kAutoBands[] = {
    {12000, 22050, 20000, 22050, 32000},  {16000, 44100, 32000, 44100, 48000},
    {24000, 44100, 48000, 44100, 64000},  {32000, 44100, 48000, 44100, 96000},
    {44100, 44100, 48000, 44100, 128000},
};
constexpr AutoBand kAboveBands = {0, 44100, 48000, 48000, 192000};

}  // namespace

int WmaRenderRate(const ConversionSettings& settings) {
    return settings.AutoDestWMAEncodingParam ? 44100 : settings.WMASampleRate;
}

WmaTargets ChooseWmaTargets(const ConversionSettings& settings, int sourceRate, int sourceChannels) {
    WmaTargets t;
    if (settings.AutoDestWMAEncodingParam) {
        const AutoBand* band = &kAboveBands;
        for (const AutoBand& b : kAutoBands) {
            if (sourceRate <= b.upTo) {
                band = &b;
                break;
            }
        }
        const bool mono = sourceChannels == 1;
        t.rate = mono ? band->monoRate : band->stereoRate;
        t.bitrate = mono ? band->monoBitrate : band->stereoBitrate;
        t.channels = sourceChannels;
        return t;
    }
    t.rate = settings.WMASampleRate;
    t.bitrate = settings.WMABitRate;
    t.channels = settings.WMAChannels;
    // As for the other formats, any MonoType but 0 (mix) and 2 (right) takes the left channel.
    if (sourceChannels > settings.WMAChannels && settings.MonoType > 0)
        t.feed = settings.MonoType == 2 ? 2 : 1;
    return t;
}
