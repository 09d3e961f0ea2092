#pragma once

class ConversionSettings;

/// What a WMA conversion asks of the runtime and of the source.
struct WmaTargets {
    int rate = 0;     // codec sample rate in Hz
    int bitrate = 0;  // bit/s
    int channels = 0;
    /// 0: the source's channels go to the writer as delivered; 1 or 2: only the left or the
    /// right channel of a two-channel source is fed, as one channel.
    int feed = 0;
};

/// Auto: the rate and bit rate of the source's rate band (mono for one delivered channel,
/// stereo otherwise) with the source's channels. Otherwise the chosen rate, bit rate and channels;
/// a source with more channels than chosen feeds one of them when MonoType asks for it.
WmaTargets ChooseWmaTargets(const ConversionSettings& settings, int sourceRate, int sourceChannels);
