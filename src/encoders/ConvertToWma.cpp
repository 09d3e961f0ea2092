#include "encoders/ConvertToWma.h"

#include "encoders/WmaParameters.h"
#include "encoders/WmaWriter.h"
#include "engine/TagChoice.h"
#include "engine/WmaFormatList.h"
#include "settings/ConversionSettings.h"

namespace {

class WmaFormat final : public ConversionFormat {
public:
    explicit WmaFormat(const ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source, ChosenTags& tags, PcmRequest& request) override {
        const ConversionSettings& s = m_job.settings;
        m_writer.SetPath(m_job.outputPath);
        const WmaTargets t = ChooseWmaTargets(s, source.GetSampleRate(), source.GetOutputChannels());
        // The writer takes the source's rate and depth and converts to the codec format itself;
        // only the choice of one channel of two happens before it.
        const int inputChannels = t.feed ? 1 : source.GetOutputChannels();
        if (t.feed) {
            request.channels = 1;
            request.pick = t.feed == 1 ? ChannelPick::Left : ChannelPick::Right;
        }
        request.takesFloat = true;
        const bool wide = DeliversFullResolution(source, request, s);
        m_writer.SetInputFormat(source.GetSampleRate(), wide ? kFloatBits : source.GetBitsPerSample(),
                                inputChannels);

        // The batch built the list before any file started; files only read it.
        const WmaFormatEntry* format =
            FindWmaFormat(m_job.engine.shared.wmaFormats, t.rate, t.bitrate, t.channels);
        if (!format) return 0;
        m_writer.SetCodec(format->mediaType, format->bitrate);

        const std::optional<TagSet>& chosen = tags.Get();
        m_writer.SetTags(chosen.value_or(TagSet{}), chosen ? LeadingTrackNumber(chosen->track) : 0);
        return m_writer.Start();
    }

    int Encode(const PcmBlock& block) override {
        if (block.bits == 8) return m_writer.Write8(block.Left8(), block.Right8(), block.frames);
        if (block.bits == kFloatBits)
            return m_writer.WriteFloat(block.LeftFloat(), block.RightFloat(), block.frames);
        return m_writer.Write16(block.Left16(), block.Right16(), block.frames);
    }

    int Finish() override { return m_writer.Finish(); }

private:
    const ConversionJob& m_job;
    WmaWriter m_writer;
};

}  // namespace

std::unique_ptr<ConversionFormat> MakeWmaFormat(const ConversionJob& job) {
    if (!job.engine.wmfRuntime.IsLoaded()) return nullptr;
    return std::make_unique<WmaFormat>(job);
}
