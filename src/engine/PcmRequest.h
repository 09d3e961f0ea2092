#pragma once

/// Which source channel feeds a one-channel output when the source delivers two.
enum class ChannelPick { Mix, Left, Right };

/// The PCM a format wants its `Encode` to receive. Zero fields keep what the source delivers, so a
/// format whose library resamples (or converts channels) asks for rate 0 (or channels 0).
struct PcmRequest {
    int rate = 0;      // Hz
    int channels = 0;  // 1 or 2
    int bits = 0;      // 8 or 16, or 24 and 32 (float) for formats that keep more
    ChannelPick pick = ChannelPick::Mix;
    float gain = 0.0f;  // amplification factor applied after conversion; 0 or 1: none
    /// The encoder also takes float blocks: at full resolution it gets those instead of `bits`.
    bool takesFloat = false;
    /// The codec keeps nothing above 20 kHz and no detail 120 dB down, so a rate change may use the
    /// resampler's high quality, which runs in single precision and costs much less.
    bool bandLimited = false;

    bool operator==(const PcmRequest&) const = default;
};
