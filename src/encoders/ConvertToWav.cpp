#include "encoders/ConvertToWav.h"

#include <cstdint>
#include <vector>

#include "encoders/WavWriter.h"
#include "engine/ConversionFrame.h"
#include "engine/PcmAmplify.h"
#include "engine/PcmConverter.h"
#include "settings/ConversionSettings.h"

namespace {

class WavFormat final : public ConversionFormat {
public:
    WavFormat(const ConversionSettings& settings, const std::string& outputPath)
        : m_settings(settings), m_outputPath(outputPath) {}

    int Start(AudioSource& source) override {
        const int sourceChannels = source.GetOutputChannels();
        const int sourceRate = source.GetSampleRate();
        const int sourceBits = source.GetBitsPerSample();
        int rate = sourceRate, channels = sourceChannels, bits = sourceBits;
        if (!m_settings.AutoDestWAVEncodingParam) {
            if (m_settings.WAVSampleRate) rate = m_settings.WAVSampleRate;
            if (m_settings.WAVChannelNum) channels = m_settings.WAVChannelNum;
            if (m_settings.WAVBitsPerSample) bits = m_settings.WAVBitsPerSample;
            bits = bits == 16 ? 16 : 8;
            channels = channels == 1 ? 1 : 2;

            int chainInputs = sourceChannels;
            if (sourceChannels > channels && m_settings.MonoType > 0) {
                m_pick = m_settings.MonoType == 1 ? Pick::Left : Pick::Right;
                chainInputs = 1;
            }
            m_useChain = rate != sourceRate || bits != sourceBits || sourceChannels < channels ||
                         (sourceChannels > channels && m_settings.MonoType == 0);
            if (m_useChain) {
                if (!m_chain.Setup(sourceRate, chainInputs, rate, channels, sourceBits, bits)) return 0;
                const auto samples = static_cast<std::size_t>(m_chain.OutputCapacity(kBlockFrames));
                m_outLeft.resize(samples * static_cast<std::size_t>(bits / 8));
                if (channels == 2) m_outRight.resize(m_outLeft.size());
            }
        }
        m_channels = channels;
        m_bits = bits;
        if (m_settings.AmplifyWav && m_settings.AmplifyWavCoeff != 100)
            m_gain = static_cast<float>(m_settings.AmplifyWavCoeff) * 0.01f;
        return m_writer.Open(m_outputPath, channels == 2, bits, rate);
    }

    int Encode(void* left, void* right, int frames) override {
        if (m_pick == Pick::Right) left = right;
        if (m_pick != Pick::Both) right = nullptr;
        if (m_useChain) {
            int converted = 0;
            if (!m_chain.Process(left, right, frames, m_outLeft.data(),
                                 m_channels == 2 ? m_outRight.data() : nullptr, converted))
                return 0;
            left = m_outLeft.data();
            right = m_channels == 2 ? m_outRight.data() : nullptr;
            frames = converted;
        }
        if (m_bits == 16) {
            auto* l = static_cast<std::int16_t*>(left);
            auto* r = static_cast<std::int16_t*>(right);
            if (m_gain) Amplify16(l, r, frames, m_channels, m_gain);
            return m_writer.Write16(l, r, frames);
        }
        auto* l = static_cast<std::uint8_t*>(left);
        auto* r = static_cast<std::uint8_t*>(right);
        if (m_gain) Amplify8(l, r, frames, m_channels, m_gain);
        return m_writer.Write8(l, r, frames);
    }

    int Finish() override { return m_writer.Close(); }

private:
    enum class Pick { Both, Left, Right };  // which source channel feeds a mono output

    const ConversionSettings& m_settings;
    const std::string& m_outputPath;
    WavWriter m_writer;
    PcmConverter m_chain;
    bool m_useChain = false;
    Pick m_pick = Pick::Both;
    int m_channels = 0;
    int m_bits = 0;
    float m_gain = 0.0f;  // 0: no amplification
    std::vector<std::uint8_t> m_outLeft, m_outRight;
};

}  // namespace

int ConvertToWav(ConversionJob& job) {
    const ConversionSettings& s = job.settings;
    const int renderRate = (s.AutoDestWAVEncodingParam || s.WAVSampleRate <= 0) ? 44100 : s.WAVSampleRate;
    WavFormat format(s, job.outputPath);
    return RunConversionFrame(job, renderRate, format);
}
