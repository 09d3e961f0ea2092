#include "encoders/ConvertToMp3.h"

#include <cstdint>

#include "encoders/Mp3Parameters.h"
#include "encoders/Mp3Tags.h"
#include "encoders/Mp3Writer.h"
#include "engine/ConversionFrame.h"
#include "settings/ConversionSettings.h"

namespace {

class Mp3Format final : public ConversionFormat {
public:
    explicit Mp3Format(const ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source, PcmRequest& request) override {
        if (!m_writer.Open(m_job.outputPath)) return 0;

        const Mp3TagBlocks tags =
            ChooseMp3Tags(m_job.settings, m_job.kind, m_job.sourcePath, source, m_job.sequenceNumber);
        if (tags.id3v1.size() == kId3v1Bytes) m_writer.SetId3v1(tags.id3v1.data());
        if (!tags.id3v2.empty()) m_writer.SetId3v2(tags.id3v2.data(), tags.id3v2.size());

        const Mp3SourceFacts facts{m_job.kind, source.GetSampleRate(), source.GetOutputChannels(),
                                   source.GetChannelMode(), source.GetBitrate()};
        const Mp3Parameters params = ChooseMp3Parameters(m_job.settings, facts);
        m_writer.SetInputRate(params.inputRate);
        m_writer.SetChannels(params.channels);
        if (params.mode) m_writer.SetMode(*params.mode);
        m_writer.SetOutputRate(params.outputRate);
        if (params.bitrate) m_writer.SetBitrate(*params.bitrate);

        // LAME resamples itself and takes 16-bit samples only.
        request.channels = params.channels;
        request.bits = 16;
        request.pick = params.pick;
        const ConversionSettings& s = m_job.settings;
        if (s.AmplifyMp3 && s.AmplifyMp3Coeff != 100)
            request.gain = static_cast<float>(s.AmplifyMp3Coeff) * 0.01f;
        return m_writer.Start();
    }

    int Encode(void* left, void* right, int frames) override {
        return m_writer.Encode(static_cast<std::int16_t*>(left), static_cast<std::int16_t*>(right), frames);
    }

    int Finish() override { return m_writer.Finish(); }

private:
    const ConversionJob& m_job;
    Mp3Writer m_writer;
};

}  // namespace

int ConvertToMp3(ConversionJob& job) {
    Mp3Format format(job);
    return RunConversionFrame(job, Mp3RenderRate(job.settings), format);
}
