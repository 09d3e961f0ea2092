#include "encoders/FaacEncoder.h"

#include <algorithm>
#include <cstdlib>

#include "encoders/MemoryHeadroom.h"
#include "engine/EncoderRates.h"

namespace {

// libfaac gives back what it holds within a few calls after the input; a library that kept
// producing (or never produced) would otherwise hold the conversion forever.
constexpr int kMaxDrainCalls = 64;

// libfaac 1.30's open takes about 12 MB and uses its allocations unchecked; twice that must be free.
constexpr std::size_t kOpenHeadroom = 24u << 20;

// The sampling rates an AAC header can state by index, ended by -1 for NearestInTable.
constexpr int kAacRates[] = {8000,  11025, 12000, 16000, 22050, 24000, 32000,
                             44100, 48000, 64000, 88200, 96000, -1};

}  // namespace

int NearestAacRate(int sampleRate) {
    return NearestInTable(sampleRate, kAacRates);
}

AacOptions AacOptionsOf(const ConversionSettings& s, const AacOptionGroup& g) {
    return {.automatic = s.*g.automatic != 0,
            .vbr = s.*g.vbr != 0,
            .vbrQuality = s.*g.vbrQuality,
            .abrKbps = s.*g.abrBitRate,
            .mpegVersion = g.mpegVersion ? s.*g.mpegVersion : 0,
            .tns = s.*g.tns != 0,
            .midSide = s.*g.midSide != 0,
            .blockType = s.*g.blockType};
}

void ApplyAacOptions(faacEncConfiguration& config, const AacOptions& options, int channels) {
    if (options.automatic) return;
    if (options.vbr) {
        // libfaac 1.30 starts in average-bit-rate mode (64 kbit/s per channel); only a zero bit
        // rate lets the quality govern.
        config.bitRate = 0;
        if (options.vbrQuality >= 10 && options.vbrQuality <= 500)
            config.quantqual = static_cast<unsigned long>(options.vbrQuality);
    } else if (channels > 0) {
        config.bitRate = static_cast<unsigned long>(std::max(options.abrKbps, 0)) * 1000 /
                         static_cast<unsigned long>(channels);
    }
    config.mpegVersion = options.mpegVersion == MPEG2 ? MPEG2 : MPEG4;
    config.useTns = options.tns ? 1 : 0;
    config.allowMidside = options.midSide ? JOINT_MS : JOINT_NONE;  // shares its place with jointmode
    config.shortctl = options.blockType;
}

int FaacEncoder::Open(int sampleRate, int channels, unsigned outputFormat) {
    Close();
    if (sampleRate <= 0 || channels < 1 || channels > 2 || !HaveMemoryFor(kOpenHeadroom)) return 0;
    m_encoder.reset(faacEncOpen(static_cast<unsigned long>(sampleRate), static_cast<unsigned>(channels),
                                &m_inputSamples, &m_maxOutputBytes));
    if (!m_encoder) return 0;
    m_config = faacEncGetCurrentConfiguration(m_encoder.get());
    if (!m_config || m_inputSamples < static_cast<unsigned long>(channels) || m_maxOutputBytes == 0) {
        Close();
        return 0;
    }
    m_channels = channels;
    m_config->aacObjectType = LOW;
    m_config->mpegVersion = MPEG4;
    m_config->useTns = 0;
    m_config->allowMidside = JOINT_MS;  // libfaac 1.30 calls this field jointmode; it defaults to 2
    m_config->bandWidth = 0;
    m_config->outputFormat = outputFormat;
    m_config->inputFormat = FAAC_INPUT_16BIT;
    return 1;
}

void FaacEncoder::UseFloatInput() {
    if (!m_config || m_started) return;
    m_config->inputFormat = FAAC_INPUT_FLOAT;
    m_float = true;
}

int FaacEncoder::Start() {
    if (!m_encoder || !faacEncSetConfiguration(m_encoder.get(), m_config)) return 0;
    // The spare room libfaac's callers traditionally leave.
    if (m_float)
        m_floatInput.assign(m_inputSamples + 4, 0.0f);
    else
        m_input.assign(m_inputSamples + 4, 0);
    m_output.assign(m_maxOutputBytes, 0);
    m_buffered = 0;
    m_filledCalls = m_producedFrames = 0;
    m_started = true;
    return 1;
}

int FaacEncoder::EncodeBuffered(const Sink& sink) {
    const auto frames = static_cast<std::int64_t>(m_buffered / static_cast<std::size_t>(m_channels));
    void* input = m_float ? static_cast<void*>(m_floatInput.data()) : static_cast<void*>(m_input.data());
    const int length =
        faacEncEncode(m_encoder.get(), static_cast<std::int32_t*>(input), static_cast<unsigned>(m_buffered),
                      m_output.data(), static_cast<unsigned>(m_maxOutputBytes));
    if (m_buffered > 0) ++m_filledCalls;
    m_buffered = 0;
    if (length < 0) return -1;
    if (length > 0) ++m_producedFrames;
    return sink(frames, m_output.data(), length) ? length : -1;
}

template <typename Out, typename Sample, typename Widen>
int FaacEncoder::Append(Out* buffer, const Sample* left, const Sample* right, int frames, const Sink& sink,
                        Widen widen) {
    if (!m_started || !buffer) return 0;
    const auto channels = static_cast<std::size_t>(m_channels);
    // Interleaves up to the end of the input buffer in one plain loop per channel layout, without
    // a fullness check per frame; the encoder runs once per full buffer.
    auto remaining = static_cast<std::size_t>(std::max(frames, 0));
    while (remaining > 0) {
        const std::size_t take = std::min(remaining, (m_inputSamples - m_buffered) / channels);
        Out* out = buffer + m_buffered;
        if (channels == 2) {
            for (std::size_t i = 0; i < take; ++i) {
                out[2 * i] = widen(left[i]);
                out[2 * i + 1] = widen(right[i]);
            }
            right += take;
        } else {
            for (std::size_t i = 0; i < take; ++i) out[i] = widen(left[i]);
        }
        left += take;
        remaining -= take;
        m_buffered += take * channels;
        if (m_buffered + channels > m_inputSamples && EncodeBuffered(sink) < 0) return 0;
    }
    return 1;
}

int FaacEncoder::Write16(const std::int16_t* left, const std::int16_t* right, int frames, const Sink& sink) {
    if (m_float) return 0;
    return Append(m_input.data(), left, right, frames, sink, [](std::int16_t s) { return s; });
}

int FaacEncoder::Write8(const std::uint8_t* left, const std::uint8_t* right, int frames, const Sink& sink) {
    if (m_float) return 0;
    return Append(m_input.data(), left, right, frames, sink, [](std::uint8_t s) {
        return static_cast<std::int16_t>((static_cast<int>(s) - 128) * 256);
    });
}

int FaacEncoder::WriteFloat(const float* left, const float* right, int frames, const Sink& sink) {
    if (!m_float) return 0;
    // libfaac's float input keeps the 16-bit scale.
    return Append(m_floatInput.data(), left, right, frames, sink, [](float s) { return s * 32768.0f; });
}

int FaacEncoder::Drain(const Sink& sink) {
    if (!m_started) return 0;
    // libfaac answers its first three calls with nothing while it fills its delay, also when they
    // carry no samples; a short input has then been fed entirely before anything came back. It has
    // given back everything once it yields nothing after at least one frame per call that carried
    // samples.
    for (int calls = 0;; ++calls) {
        if (calls == kMaxDrainCalls) return 0;
        const int length = EncodeBuffered(sink);
        if (length < 0) return 0;
        if (length == 0 && m_producedFrames >= m_filledCalls) return 1;
    }
}

std::vector<std::uint8_t> FaacEncoder::DecoderSpecificInfo() {
    std::vector<std::uint8_t> info;
    unsigned char* block = nullptr;
    unsigned long size = 0;
    if (m_encoder && faacEncGetDecoderSpecificInfo(m_encoder.get(), &block, &size) == 0 && block) {
        info.assign(block, block + size);
    }
    std::free(block);  // libfaac allocates it with malloc and leaves it to the caller
    return info;
}

void FaacEncoder::Close() {
    m_encoder.reset();
    m_config = nullptr;
    m_channels = 0;
    m_inputSamples = m_maxOutputBytes = 0;
    m_input = {};
    m_floatInput = {};
    m_float = false;
    m_output = {};
    m_buffered = 0;
    m_filledCalls = m_producedFrames = 0;
    m_started = false;
}
