#include "encoders/ConvertToMp3.h"

#include <cstdint>
#include <vector>

#include "encoders/Mp3Parameters.h"
#include "encoders/Mp3Tags.h"
#include "encoders/Mp3Writer.h"
#include "engine/ConversionFrame.h"
#include "engine/PcmAmplify.h"
#include "engine/PcmConverter.h"
#include "settings/ConversionSettings.h"

namespace {

class Mp3Format final : public ConversionFormat {
public:
    explicit Mp3Format(const ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source) override {
        if (!m_writer.Open(m_job.outputPath)) return 0;

        const Mp3TagBlocks tags =
            ChooseMp3Tags(m_job.settings, m_job.kind, m_job.sourcePath, source, m_job.sequenceNumber);
        if (tags.id3v1.size() == kId3v1Bytes) m_writer.SetId3v1(tags.id3v1.data());
        if (!tags.id3v2.empty()) m_writer.SetId3v2(tags.id3v2.data(), tags.id3v2.size());

        const Mp3SourceFacts facts{m_job.kind, source.GetSampleRate(), source.GetOutputChannels(),
                                   source.GetChannelMode(), source.GetBitrate()};
        m_params = ChooseMp3Parameters(m_job.settings, facts);
        m_writer.SetInputRate(m_params.inputRate);
        m_writer.SetChannels(m_params.channels);
        if (m_params.mode) m_writer.SetMode(*m_params.mode);
        m_writer.SetOutputRate(m_params.outputRate);
        if (m_params.bitrate) m_writer.SetBitrate(*m_params.bitrate);

        if (source.GetBitsPerSample() != 16) {
            // 8-bit blocks are widened to 16 bits at the same rate; LAME takes nothing else.
            if (!m_widen.Setup(m_params.inputRate, m_params.channels, m_params.inputRate, m_params.channels,
                               8, 16))
                return 0;
            m_widened = true;
            for (int c = 0; c < m_params.channels; ++c)
                m_out[c].resize(static_cast<std::size_t>(m_widen.OutputCapacity(kBlockFrames)));
        }
        const ConversionSettings& s = m_job.settings;
        if (s.AmplifyMp3 && s.AmplifyMp3Coeff != 100) m_gain = static_cast<float>(s.AmplifyMp3Coeff) * 0.01f;
        return m_writer.Start();
    }

    int Encode(void* left, void* right, int frames) override {
        // One channel of a stereo source stands alone in the left place.
        if (m_params.feed == 2) left = right;
        if (m_params.feed != 0) right = nullptr;
        if (m_widened) {
            int converted = 0;
            if (!m_widen.Process(left, right, frames, m_out[0].data(),
                                 m_params.channels == 2 ? m_out[1].data() : nullptr, converted))
                return 0;
            left = m_out[0].data();
            right = m_params.channels == 2 ? m_out[1].data() : nullptr;
            frames = converted;
        }
        auto* l = static_cast<std::int16_t*>(left);
        auto* r = static_cast<std::int16_t*>(right);
        if (m_gain != 0.0f) Amplify16(l, r, frames, m_params.channels, m_gain);
        return m_writer.Encode(l, r, frames);
    }

    int Finish() override { return m_writer.Finish(); }

private:
    const ConversionJob& m_job;
    Mp3Writer m_writer;
    Mp3Parameters m_params;
    PcmConverter m_widen;
    bool m_widened = false;
    std::vector<std::int16_t> m_out[2];
    float m_gain = 0.0f;  // 0: no amplification
};

}  // namespace

int ConvertToMp3(ConversionJob& job) {
    Mp3Format format(job);
    return RunConversionFrame(job, Mp3RenderRate(job.settings), format);
}
