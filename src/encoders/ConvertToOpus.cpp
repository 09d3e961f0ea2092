#include "encoders/ConvertToOpus.h"

#include "encoders/OpusWriter.h"
#include "settings/ConversionSettings.h"

namespace {

class OpusFormat final : public ConversionFormat {
public:
    explicit OpusFormat(const ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source, ChosenTags& tags, PcmRequest& request) override {
        const ConversionSettings& s = m_job.settings;
        const int sourceChannels = source.GetOutputChannels() == 1 ? 1 : 2;
        OpusParameters p;
        p.channels = s.OpusChannels == 1 ? 1 : sourceChannels;
        p.bitrate = (s.OpusBitRate > 0 ? s.OpusBitRate : p.channels == 2 ? 128 : 64) * 1000;
        p.rateControl = s.OpusRateControl;
        p.complexity = s.OpusComplexity;
        p.signal = s.OpusSignal;
        // Drawn only for a stream that is really written, as files are reached.
        p.serial = static_cast<std::int32_t>(m_job.engine.random.Next());
        if (sourceChannels > p.channels && s.MonoType > 0)
            request.pick = s.MonoType == 1 ? ChannelPick::Left : ChannelPick::Right;
        // The chain's resampler brings every source to Opus's 48 kHz, so a file keeps the length
        // the chain gives it at any rate; libopusenc then only trims its own pre-skip and padding.
        // Opus codes at most 20 kHz, which the resampler's high quality keeps flat.
        request.rate = OpusWriter::kRate;
        request.bandLimited = true;
        request.channels = p.channels;
        request.bits = 16;
        request.takesFloat = true;
        const auto& chosen = tags.Get();
        return m_writer.Open(m_job.outputPath, p, chosen ? &*chosen : nullptr);
    }

    int Encode(const PcmBlock& block) override {
        if (block.bits == kFloatBits)
            return m_writer.EncodeFloat(block.LeftFloat(), block.RightFloat(), block.frames);
        return m_writer.Encode(block.Left16(), block.Right16(), block.frames);
    }

    int Finish() override { return m_writer.Finish(); }

private:
    const ConversionJob& m_job;
    OpusWriter m_writer;
};

}  // namespace

std::unique_ptr<ConversionFormat> MakeOpusFormat(const ConversionJob& job) {
    return std::make_unique<OpusFormat>(job);
}
