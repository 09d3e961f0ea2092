#include "encoders/ConvertToAac.h"

#include <cstdint>

#include "encoders/AdtsWriter.h"
#include "engine/ConversionFrame.h"
#include "engine/PcmAmplify.h"
#include "settings/ConversionSettings.h"

namespace {

constexpr int kRenderRate = 44100;

AacOptions AacOptionsOf(const ConversionSettings& s) {
    return {.automatic = s.AutoDestAACEncodingParam != 0,
            .vbr = s.AACVBR != 0,
            .vbrQuality = s.AACVBRQuality,
            .abrKbps = s.AACABRBitRate,
            .mpegVersion = s.AACMpegVersion,
            .tns = s.AACEnableTNS != 0,
            .midSide = s.AACEnableMidside != 0,
            .blockType = s.AACBlockType};
}

class AacFormat final : public ConversionFormat {
public:
    explicit AacFormat(const ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source) override {
        m_channels = source.GetOutputChannels();
        m_eightBit = source.GetBitsPerSample() == 8;
        if (!m_writer.Open(m_job.outputPath, source.GetSampleRate(), m_channels, source.GetBitsPerSample()))
            return 0;
        ApplyAacOptions(*m_writer.Configuration(), AacOptionsOf(m_job.settings), m_channels);
        const ConversionSettings& s = m_job.settings;
        if (s.AmplifyAAC && s.AmplifyAACCoef != 100) m_gain = static_cast<float>(s.AmplifyAACCoef) * 0.01f;
        return m_writer.Start();
    }

    int Encode(void* left, void* right, int frames) override {
        if (m_eightBit) {
            auto* l = static_cast<std::uint8_t*>(left);
            auto* r = static_cast<std::uint8_t*>(right);
            if (m_gain != 0.0f) Amplify8(l, r, frames, m_channels, m_gain);
            return m_writer.Write8(l, r, frames);
        }
        auto* l = static_cast<std::int16_t*>(left);
        auto* r = static_cast<std::int16_t*>(right);
        if (m_gain != 0.0f) Amplify16(l, r, frames, m_channels, m_gain);
        return m_writer.Write16(l, r, frames);
    }

    int Finish() override { return m_writer.Finish(); }

private:
    const ConversionJob& m_job;
    AdtsWriter m_writer;
    int m_channels = 0;
    bool m_eightBit = false;
    float m_gain = 0.0f;  // 0: no amplification
};

}  // namespace

int ConvertToAac(ConversionJob& job) {
    AacFormat format(job);
    return RunConversionFrame(job, kRenderRate, format);
}
