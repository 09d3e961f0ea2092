#include "encoders/ConvertToAac.h"

#include <cstdint>

#include "encoders/AdtsWriter.h"
#include "engine/ConversionFrame.h"
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

    int Start(AudioSource& source, PcmRequest& request) override {
        // libfaac takes the source's channels and depth as they come, and its rate when AAC has it.
        m_channels = source.GetOutputChannels();
        m_eightBit = source.GetBitsPerSample() == 8;
        request.rate = NearestAacRate(source.GetSampleRate());
        if (!m_writer.Open(m_job.outputPath, request.rate, m_channels, source.GetBitsPerSample())) return 0;
        ApplyAacOptions(*m_writer.Configuration(), AacOptionsOf(m_job.settings), m_channels);
        const ConversionSettings& s = m_job.settings;
        if (s.AmplifyAAC && s.AmplifyAACCoef != 100)
            request.gain = static_cast<float>(s.AmplifyAACCoef) * 0.01f;
        return m_writer.Start();
    }

    int Encode(void* left, void* right, int frames) override {
        if (m_eightBit)
            return m_writer.Write8(static_cast<std::uint8_t*>(left), static_cast<std::uint8_t*>(right),
                                   frames);
        return m_writer.Write16(static_cast<std::int16_t*>(left), static_cast<std::int16_t*>(right), frames);
    }

    int Finish() override { return m_writer.Finish(); }

private:
    const ConversionJob& m_job;
    AdtsWriter m_writer;
    int m_channels = 0;
    bool m_eightBit = false;
};

}  // namespace

int ConvertToAac(ConversionJob& job) {
    AacFormat format(job);
    return RunConversionFrame(job, kRenderRate, format);
}
