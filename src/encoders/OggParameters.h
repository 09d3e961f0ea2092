#pragma once
#include "engine/PcmRequest.h"
#include "engine/SourceKind.h"

class ConversionSettings;

/// What the Ogg routine knows about its source when it picks the encoder's parameters.
struct OggSourceFacts {
    SourceKind kind = 0;
    int sampleRate = 0;
    int outputChannels = 0;  // channels ReadBlock delivers
    int bitrate = 0;         // kbit/s, 0 when not known
};

/// How the Vorbis encoder is set up and fed for one file.
struct OggParameters {
    int rate = 0;
    int channels = 0;
    int bitrate = 0;  // nominal, kbit/s
    /// Which channel of a two-channel source feeds a one-channel encoder; Mix: the channels as
    /// decoded, mixed or copied to `channels`.
    ChannelPick pick = ChannelPick::Mix;

    bool operator==(const OggParameters&) const = default;
};

/// Rate, channels and bit rate from the Ogg options and the source: automatic ones derived from
/// the source, or the explicit ones snapped to the Ogg tables and to what libvorbis accepts.
OggParameters ChooseOggParameters(const ConversionSettings& settings, const OggSourceFacts& source);
