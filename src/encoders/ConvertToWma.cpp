#include "encoders/ConvertToWma.h"

#include <cstdint>

#include "encoders/WmaParameters.h"
#include "encoders/WmaWriter.h"
#include "engine/ConversionFrame.h"
#include "engine/TagChoice.h"
#include "settings/ConversionSettings.h"

namespace {

class WmaFormat final : public ConversionFormat {
public:
    explicit WmaFormat(const ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source, PcmRequest& request) override {
        const ConversionSettings& s = m_job.settings;
        EngineContext& engine = m_job.engine;
        m_writer.SetPath(m_job.outputPath);
        const WmaTargets t = ChooseWmaTargets(s, source.GetSampleRate(), source.GetOutputChannels());
        // The writer takes the source's rate and depth and converts to the codec format itself;
        // only the choice of one channel of two happens before it.
        const int inputChannels = t.feed ? 1 : source.GetOutputChannels();
        if (t.feed) {
            request.channels = 1;
            request.pick = t.feed == 1 ? ChannelPick::Left : ChannelPick::Right;
        }
        if (s.AmplifyWMA && s.AmplifyWMACoeff != 100)
            request.gain = static_cast<float>(s.AmplifyWMACoeff) * 0.01f;
        m_bits = source.GetBitsPerSample();
        m_writer.SetInputFormat(source.GetSampleRate(), m_bits, inputChannels);

        // A list left empty by a load that happened elsewhere is filled on first use.
        if (engine.wmaFormats.Empty()) BuildWmaFormatList(engine.wmaFormats, engine.wmfRuntime);
        const WmaFormatEntry* format = FindWmaFormat(engine.wmaFormats, t.rate, t.bitrate, t.channels);
        if (!format) return 0;
        m_writer.SetCodec(format->mediaType, format->bitrate);

        const std::optional<TagSet> tags = ChooseTags(m_job, source, s.WMAID3TagType, s.WMATag);
        m_writer.SetTags(tags.value_or(TagSet{}), tags ? LeadingTrackNumber(tags->track) : 0);
        return m_writer.Start();
    }

    int Encode(void* left, void* right, int frames) override {
        if (m_bits == 8) {
            return m_writer.Write8(static_cast<const std::uint8_t*>(left),
                                   static_cast<const std::uint8_t*>(right), frames);
        }
        return m_writer.Write16(static_cast<const std::int16_t*>(left),
                                static_cast<const std::int16_t*>(right), frames);
    }

    int Finish() override { return m_writer.Finish(); }

private:
    const ConversionJob& m_job;
    WmaWriter m_writer;
    int m_bits = 16;
};

}  // namespace

int ConvertToWma(ConversionJob& job) {
    if (!job.engine.wmfRuntime.IsLoaded()) return 0;
    WmaFormat format(job);
    return RunConversionFrame(job, WmaRenderRate(job.settings), format);
}
