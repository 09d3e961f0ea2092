#include "encoders/ConvertToFlac.h"

#include <vector>

#include "encoders/FlacWriter.h"
#include "settings/ConversionSettings.h"

namespace {

// libFLAC's verify mode decodes every frame again as it encodes; off until an option asks for it.
constexpr bool kVerifyOutput = false;

// The depth that keeps what the source holds: 8 or 16 bits as delivered, 24 for wider integers and
// for floats (FLAC has no float samples).
int SourceDepth(AudioSource& source) {
    if (source.HoldsFloat() || source.GetHeldBits() > 16) return 24;
    return source.GetBitsPerSample() == 8 ? 8 : 16;
}

class FlacFormat final : public ConversionFormat {
public:
    explicit FlacFormat(const ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source, ChosenTags& tags, PcmRequest& request) override {
        const ConversionSettings& s = m_job.settings;
        const int sourceChannels = source.GetOutputChannels() == 1 ? 1 : 2;
        FlacParameters p;
        p.rate = s.FLACSampleRate > 0 ? s.FLACSampleRate : source.GetSampleRate();
        p.channels = s.FLACChannels == 1 ? 1 : sourceChannels;
        p.bits = s.FLACBitsPerSample == 16 || s.FLACBitsPerSample == 24 ? s.FLACBitsPerSample
                                                                        : SourceDepth(source);
        p.compression = s.FLACCompression;
        p.verify = kVerifyOutput;
        // Sources measure their length in units of their own; the whole seconds are common to all.
        // Seek points past the real end become placeholders when the stream is finished.
        if (source.GetDuration() >= 0)
            p.expectedFrames =
                (static_cast<std::uint64_t>(source.GetDuration()) + 1) * static_cast<std::uint64_t>(p.rate);
        if (sourceChannels > p.channels && s.MonoType > 0)
            request.pick = s.MonoType == 1 ? ChannelPick::Left : ChannelPick::Right;
        request.rate = p.rate;
        request.channels = p.channels;
        request.bits = p.bits;
        const auto& chosen = tags.Get();
        return m_writer.Open(m_job.outputPath, p, chosen ? &*chosen : nullptr);
    }

    int Encode(const PcmBlock& block) override {
        if (block.bits == 24) return m_writer.Encode(block.Left24(), block.Right24(), block.frames);
        const auto frames = static_cast<std::size_t>(block.frames);
        m_left.resize(frames);
        m_right.resize(block.right ? frames : 0);
        if (block.bits == 8) {
            // Unsigned with 128 as silence; FLAC's samples are signed.
            for (std::size_t i = 0; i < frames; ++i) m_left[i] = block.Left8()[i] - 128;
            for (std::size_t i = 0; i < m_right.size(); ++i) m_right[i] = block.Right8()[i] - 128;
        } else {
            for (std::size_t i = 0; i < frames; ++i) m_left[i] = block.Left16()[i];
            for (std::size_t i = 0; i < m_right.size(); ++i) m_right[i] = block.Right16()[i];
        }
        return m_writer.Encode(m_left.data(), block.right ? m_right.data() : nullptr, block.frames);
    }

    int Finish() override { return m_writer.Finish(); }

private:
    const ConversionJob& m_job;
    FlacWriter m_writer;
    std::vector<std::int32_t> m_left, m_right;
};

}  // namespace

std::unique_ptr<ConversionFormat> MakeFlacFormat(const ConversionJob& job) {
    return std::make_unique<FlacFormat>(job);
}
