#pragma once
#include <optional>
#include <span>
#include <string>

#include "platform/wmf/WmTypes.h"

/// One codec format the runtime offers. audioVideo marks the variants meant for streams that
/// share a file with video; they repeat an audio-only format.
struct WmaCodecFormat {
    int sampleRate;
    int channels;
    int bitrate;  // bit/s
    bool audioVideo = false;
};

/// The WMA version 2 formats, by rate, then channels, then bit rate. Every one opens in the
/// wmav2 encoder (its build test checks each).
std::span<const WmaCodecFormat> WmaCodecFormats();

/// "128 kbps, 44 kHz, stereo CBR", with " (A/V)" before " CBR" for the audio/video variants.
std::string WmaFormatDescription(const WmaCodecFormat& format);

/// The format's media type (WMAudioV8, with the encoder's block alignment and codec bytes);
/// nothing when the encoder refuses the format.
std::optional<WmMediaType> WmaCodecMediaType(int sampleRate, int channels, int bitrate);
