#include "encoders/ConvertToWav.h"

#include <cstdint>

#include "encoders/WavWriter.h"
#include "engine/ConversionFrame.h"
#include "settings/ConversionSettings.h"

namespace {

class WavFormat final : public ConversionFormat {
public:
    WavFormat(const ConversionSettings& settings, const std::string& outputPath)
        : m_settings(settings), m_outputPath(outputPath) {}

    int Start(AudioSource& source, PcmRequest& request) override {
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
        if (m_settings.AmplifyWav && m_settings.AmplifyWavCoeff != 100)
            request.gain = static_cast<float>(m_settings.AmplifyWavCoeff) * 0.01f;
        m_bits = bits;
        return m_writer.Open(m_outputPath, channels == 2, bits, rate);
    }

    int Encode(void* left, void* right, int frames) override {
        if (m_bits == 16)
            return m_writer.Write16(static_cast<std::int16_t*>(left), static_cast<std::int16_t*>(right),
                                    frames);
        return m_writer.Write8(static_cast<std::uint8_t*>(left), static_cast<std::uint8_t*>(right), frames);
    }

    int Finish() override { return m_writer.Close(); }

private:
    const ConversionSettings& m_settings;
    const std::string& m_outputPath;
    WavWriter m_writer;
    int m_bits = 0;
};

}  // namespace

int ConvertToWav(ConversionJob& job) {
    const ConversionSettings& s = job.settings;
    const int renderRate = (s.AutoDestWAVEncodingParam || s.WAVSampleRate <= 0) ? 44100 : s.WAVSampleRate;
    WavFormat format(s, job.outputPath);
    return RunConversionFrame(job, renderRate, format);
}
