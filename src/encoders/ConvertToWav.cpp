#include "encoders/ConvertToWav.h"

#include "encoders/WavWriter.h"
#include "settings/ConversionSettings.h"

namespace {

class WavFormat final : public ConversionFormat {
public:
    explicit WavFormat(const ConversionJob& job) : m_settings(job.settings), m_outputPath(job.outputPath) {}

    int Start(AudioSource& source, ChosenTags&, PcmRequest& request) override {
        const int sourceChannels = source.GetOutputChannels();
        int rate = source.GetSampleRate(), channels = sourceChannels, bits = source.GetBitsPerSample();
        if (!m_settings.AutoDestWAVEncodingParam) {
            if (m_settings.WAVSampleRate) rate = m_settings.WAVSampleRate;
            if (m_settings.WAVChannelNum) channels = m_settings.WAVChannelNum;
            if (m_settings.WAVBitsPerSample) bits = m_settings.WAVBitsPerSample;
            bits = bits == 16 ? 16 : 8;
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
        if (block.bits == 16) return m_writer.Write16(block.Left16(), block.Right16(), block.frames);
        return m_writer.Write8(block.Left8(), block.Right8(), block.frames);
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
