#include "encoders/ConvertToOgg.h"

#include <cstdint>

#include "encoders/OggParameters.h"
#include "encoders/OggWriter.h"
#include "engine/ConversionFrame.h"
#include "engine/TagChoice.h"
#include "settings/ConversionSettings.h"

namespace {

class OggFormat final : public ConversionFormat {
public:
    explicit OggFormat(ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source, PcmRequest& request) override {
        if (!m_writer.Open(m_job.outputPath)) return 0;
        const ConversionSettings& s = m_job.settings;
        const OggSourceFacts facts{m_job.kind, source.GetSampleRate(), source.GetOutputChannels(),
                                   source.GetBitrate()};
        const OggParameters params = ChooseOggParameters(s, facts);
        request.rate = params.rate;
        request.channels = params.channels;
        request.bits = 16;
        request.pick = params.pick;
        if (s.AmplifyOGG && s.AmplifyOGGCoeff != 100)
            request.gain = static_cast<float>(s.AmplifyOGGCoeff) * 0.01f;
        m_channels = params.channels;

        if (!m_writer.Setup(params.rate, params.channels, params.bitrate * 1000)) return 0;
        if (const auto tags = ChooseTags(m_job, source, s.OGGID3TagType, s.OGGTag))
            m_writer.AddComments(*tags);
        // The serial number is drawn only for a stream that is really written, as files are reached.
        return m_writer.WriteHeaders(m_job.engine.random.Next());
    }

    int Encode(void* left, void* right, int frames) override {
        return m_writer.Encode(static_cast<std::int16_t*>(left),
                               m_channels == 2 ? static_cast<std::int16_t*>(right) : nullptr, frames);
    }

    int Finish() override {
        // The stream is ended even after a cancel, so the file is whole until the frame deletes it.
        if (m_writer.IsOpen()) m_writer.Encode(nullptr, nullptr, 0);
        return m_writer.Close();
    }

private:
    ConversionJob& m_job;
    OggWriter m_writer;
    int m_channels = 0;
};

}  // namespace

int ConvertToOgg(ConversionJob& job) {
    OggFormat format(job);
    return RunConversionFrame(job, OggRenderRate(job.settings), format);
}
