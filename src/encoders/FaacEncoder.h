#pragma once
#include <faac.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "settings/ConversionSettings.h"

/// The AAC options of one output family, as the settings hold them.
struct AacOptions {
    bool automatic = true;  // libfaac's defaults; the fields below are ignored
    bool vbr = true;
    int vbrQuality = 100;  // 10..500, else libfaac's default quality
    int abrKbps = 128;     // all channels together
    int mpegVersion = 0;   // 0 MPEG-4, 1 MPEG-2
    bool tns = false;
    bool midSide = true;
    int blockType = 0;  // libfaac's short-block control
};

/// The AAC sampling rate nearest to a source rate (a tie gives the lower one). libfaac labels any
/// other rate as its nearest AAC rate without resampling, so such sources must be resampled to it.
int NearestAacRate(int sampleRate);

/// The options of a group of the settings.
AacOptions AacOptionsOf(const ConversionSettings& settings, const AacOptionGroup& group);

/// Applies the options onto a configuration that already holds the fixed settings.
void ApplyAacOptions(faacEncConfiguration& config, const AacOptions& options, int channels);

/// One libfaac encoder and its input buffer: 16-bit interleaved samples are gathered until a full
/// encoder call's worth, and every call's output goes to a sink.
class FaacEncoder {
public:
    /// Receives the frames (per channel) that one encoder call consumed and the bytes it
    /// produced (possibly none). 0 stops the encoder: the sink could not keep the bytes.
    using Sink = std::function<int(std::int64_t frames, const std::uint8_t* bytes, int length)>;

    /// faacEncOpen and the fixed settings: AAC LC, MPEG-4, no TNS, mid/side, libfaac's bandwidth,
    /// the given output format (0 raw, 1 ADTS), 16-bit input. 0 when libfaac refuses.
    int Open(int sampleRate, int channels, unsigned outputFormat);
    /// The configuration to change between Open and Start; null when not open.
    faacEncConfiguration* Configuration() { return m_config; }
    /// Between Open and Start: full-resolution input (WriteFloat) instead of 16-bit.
    void UseFloatInput();
    /// faacEncSetConfiguration, then the buffers; 0 when libfaac rejects the configuration.
    int Start();
    /// Appends planar frames (right only for two channels), encoding each full input buffer.
    int Write16(const std::int16_t* left, const std::int16_t* right, int frames, const Sink& sink);
    /// As Write16, for unsigned 8-bit samples with 128 as silence.
    int Write8(const std::uint8_t* left, const std::uint8_t* right, int frames, const Sink& sink);
    /// As Write16, for full-resolution samples (full scale ±1.0), after UseFloatInput.
    int WriteFloat(const float* left, const float* right, int frames, const Sink& sink);
    /// Encodes what is still buffered, then drains the encoder until it has given back a frame for
    /// every call that carried samples and yields nothing more.
    int Drain(const Sink& sink);
    /// The AudioSpecificConfig for a container; empty when libfaac gives none.
    std::vector<std::uint8_t> DecoderSpecificInfo();
    void Close();

    bool IsOpen() const { return static_cast<bool>(m_encoder); }
    int Channels() const { return m_channels; }
    /// Frames per channel that one encoder call takes (1024 for AAC LC).
    int FrameLength() const { return m_channels ? static_cast<int>(m_inputSamples) / m_channels : 0; }

private:
    struct EncoderClose {
        void operator()(void* encoder) const noexcept { faacEncClose(encoder); }
    };
    int EncodeBuffered(const Sink& sink);
    template <typename Out, typename Sample, typename Widen>
    int Append(Out* buffer, const Sample* left, const Sample* right, int frames, const Sink& sink,
               Widen widen);

    std::unique_ptr<void, EncoderClose> m_encoder;
    faacEncConfiguration* m_config = nullptr;  // owned by the encoder
    int m_channels = 0;
    unsigned long m_inputSamples = 0;  // all channels together
    unsigned long m_maxOutputBytes = 0;
    std::vector<std::int16_t> m_input;
    std::vector<float> m_floatInput;  // instead of m_input with float input
    bool m_float = false;
    std::vector<std::uint8_t> m_output;
    std::size_t m_buffered = 0;
    std::int64_t m_filledCalls = 0;     // encoder calls that carried samples
    std::int64_t m_producedFrames = 0;  // encoder calls that gave back a frame
    bool m_started = false;
};
