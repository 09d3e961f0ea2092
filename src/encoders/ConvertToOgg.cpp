#include "encoders/ConvertToOgg.h"

#include "encoders/OggParameters.h"
#include "encoders/OggWriter.h"
#include "settings/ConversionSettings.h"

namespace {

class OggFormat final : public ConversionFormat {
public:
    explicit OggFormat(const ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source, ChosenTags& tags, PcmRequest& request) override {
        if (!m_writer.Open(m_job.outputPath)) return 0;
        const OggSourceFacts facts{m_job.kind, source.GetSampleRate(), source.GetOutputChannels(),
                                   source.GetBitrate()};
        const OggParameters params = ChooseOggParameters(m_job.settings, facts);
        request.rate = params.rate;
        request.channels = params.channels;
        request.bits = 16;
        request.takesFloat = true;
        request.pick = params.pick;

        if (!m_writer.Setup(params.rate, params.channels, params.bitrate * 1000)) return 0;
        if (const auto& chosen = tags.Get()) m_writer.AddComments(*chosen);
        // The serial number is drawn only for a stream that is really written, as files are reached.
        return m_writer.WriteHeaders(m_job.engine.random.Next());
    }

    int Encode(const PcmBlock& block) override {
        if (block.bits == kFloatBits)
            return m_writer.EncodeFloat(block.LeftFloat(), block.RightFloat(), block.frames);
        return m_writer.Encode(block.Left16(), block.Right16(), block.frames);
    }

    int Finish() override {
        // The stream is ended even after a cancel, so the file is whole until the frame deletes it.
        if (m_writer.IsOpen()) m_writer.Encode(nullptr, nullptr, 0);
        return m_writer.Close();
    }

private:
    const ConversionJob& m_job;
    OggWriter m_writer;
};

}  // namespace

std::unique_ptr<ConversionFormat> MakeOggFormat(const ConversionJob& job) {
    return std::make_unique<OggFormat>(job);
}
