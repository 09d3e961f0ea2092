#pragma once
#include <optional>

#include "engine/PcmRequest.h"
#include "engine/SourceKind.h"

class ConversionSettings;

/// What the MP3 routine knows about its source when it picks the encoder's parameters.
struct Mp3SourceFacts {
    SourceKind kind = 0;
    int sampleRate = 0;
    int outputChannels = 0;  // channels ReadBlock delivers
    int channelMode = 4;     // 0 stereo .. 3 mono, 4 not known
    int bitrate = 0;         // kbit/s, 0 when not known
};

/// How the encoder is set up and fed for one file.
struct Mp3Parameters {
    int inputRate = 0;
    int channels = 0;         // channels the encoder is told and given
    std::optional<int> mode;  // none: LAME chooses
    int outputRate = 0;
    std::optional<int> bitrate;  // kbit/s; none: LAME's default
    /// Which channel of a two-channel source feeds a one-channel encoder; Mix: the channels as decoded.
    ChannelPick pick = ChannelPick::Mix;

    bool operator==(const Mp3Parameters&) const = default;
};

/// Rate, channels, mode and bit rate from the MP3 options and the source: automatic ones derived
/// from the source, or the explicit ones snapped to what MPEG audio allows.
Mp3Parameters ChooseMp3Parameters(const ConversionSettings& settings, const Mp3SourceFacts& source);
