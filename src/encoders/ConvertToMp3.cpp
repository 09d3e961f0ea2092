#include "encoders/ConvertToMp3.h"

#include "encoders/Mp3Parameters.h"
#include "encoders/Mp3Tags.h"
#include "encoders/Mp3Writer.h"
#include "settings/ConversionSettings.h"

namespace {

class Mp3Format final : public ConversionFormat {
public:
    explicit Mp3Format(const ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source, ChosenTags& tags, PcmRequest& request) override {
        if (!m_writer.Open(m_job.outputPath)) return 0;

        const Mp3TagBlocks blocks = Mp3TagsFor(m_job.settings, m_job.kind, source, tags);
        if (blocks.id3v1.size() == kId3v1Bytes) m_writer.SetId3v1(blocks.id3v1.data());
        if (!blocks.id3v2.empty()) m_writer.SetId3v2(blocks.id3v2.data(), blocks.id3v2.size());

        const Mp3SourceFacts facts{m_job.kind, source.GetSampleRate(), source.GetOutputChannels(),
                                   source.GetChannelMode(), source.GetBitrate()};
        const Mp3Parameters params = ChooseMp3Parameters(m_job.settings, facts);
        m_writer.SetInputRate(params.inputRate);
        m_writer.SetChannels(params.channels);
        if (params.mode) m_writer.SetMode(*params.mode);
        m_writer.SetOutputRate(params.outputRate);
        if (params.bitrate) m_writer.SetBitrate(*params.bitrate);
        m_writer.SetInfoFrame(m_job.settings.MP3InfoFrame != 0);

        // LAME resamples itself and takes 16-bit samples, or floats at full resolution.
        request.channels = params.channels;
        request.bits = 16;
        request.takesFloat = true;
        request.pick = params.pick;
        return m_writer.Start();
    }

    int Encode(const PcmBlock& block) override {
        if (block.bits == kFloatBits)
            return m_writer.EncodeFloat(block.LeftFloat(), block.RightFloat(), block.frames);
        return m_writer.Encode(block.Left16(), block.Right16(), block.frames);
    }

    int Finish() override { return m_writer.Finish(); }

private:
    const ConversionJob& m_job;
    Mp3Writer m_writer;
};

}  // namespace

std::unique_ptr<ConversionFormat> MakeMp3Format(const ConversionJob& job) {
    return std::make_unique<Mp3Format>(job);
}
