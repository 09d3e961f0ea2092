#include "encoders/ConvertToWav.h"

#include "encoders/WavWriter.h"
#include "settings/ConversionSettings.h"

namespace {

// The depth that keeps what the source holds: 8 or 16 bits as delivered, 24 for wider integers, and
// floats as floats.
int SourceDepth(AudioSource& source) {
    if (source.HoldsFloat()) return kFloatBits;
    return source.GetHeldBits() > 16 ? 24 : source.GetBitsPerSample();
}

class WavFormat final : public ConversionFormat {
public:
    explicit WavFormat(const ConversionJob& job) : m_settings(job.settings), m_outputPath(job.outputPath) {}

    int Start(AudioSource& source, ChosenTags&, PcmRequest& request) override {
        const int sourceChannels = source.GetOutputChannels();
        int rate = source.GetSampleRate(), channels = sourceChannels, bits = SourceDepth(source);
        if (!m_settings.AutoDestWAVEncodingParam) {
            if (m_settings.WAVSampleRate) rate = m_settings.WAVSampleRate;
            if (m_settings.WAVChannelNum) channels = m_settings.WAVChannelNum;
            if (m_settings.WAVBitsPerSample) bits = m_settings.WAVBitsPerSample;
            bits = bits == 16 || bits == 24 || bits == kFloatBits ? bits : 8;
            channels = channels == 1 ? 1 : 2;
            if (sourceChannels > channels && m_settings.MonoType > 0)
                request.pick = m_settings.MonoType == 1 ? ChannelPick::Left : ChannelPick::Right;
        }
        request.rate = rate;
        request.channels = channels;
        request.bits = bits;
        return m_writer.Open(m_outputPath, channels == 2, bits, rate);
    }

    int Encode(const PcmBlock& block) override {
        switch (block.bits) {
            case 8:
                return m_writer.Write8(block.Left8(), block.Right8(), block.frames);
            case 16:
                return m_writer.Write16(block.Left16(), block.Right16(), block.frames);
            case 24:
                return m_writer.Write24(block.Left24(), block.Right24(), block.frames);
            default:
                return m_writer.WriteFloat(block.LeftFloat(), block.RightFloat(), block.frames);
        }
    }

    int Finish() override { return m_writer.Close(); }

private:
    const ConversionSettings& m_settings;
    const std::string& m_outputPath;
    WavWriter m_writer;
};

}  // namespace

std::unique_ptr<ConversionFormat> MakeWavFormat(const ConversionJob& job) {
    return std::make_unique<WavFormat>(job);
}
