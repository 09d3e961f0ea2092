#include "encoders/ConvertToAac.h"

#include "encoders/AdtsWriter.h"
#include "settings/ConversionSettings.h"

namespace {

class AacFormat final : public ConversionFormat {
public:
    explicit AacFormat(const ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source, ChosenTags&, PcmRequest& request) override {
        // libfaac takes the source's channels and depth as they come, and its rate when AAC has it.
        const int channels = source.GetOutputChannels();
        request.rate = NearestAacRate(source.GetSampleRate());
        request.takesFloat = true;
        const bool wide = DeliversFullResolution(source, request, m_job.settings);
        if (!m_writer.Open(m_job.outputPath, request.rate, channels,
                           wide ? kFloatBits : source.GetBitsPerSample()))
            return 0;
        ApplyAacOptions(*m_writer.Configuration(), AacOptionsOf(m_job.settings, kAacOptionGroup), channels);
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
    AdtsWriter m_writer;
};

}  // namespace

std::unique_ptr<ConversionFormat> MakeAacFormat(const ConversionJob& job) {
    return std::make_unique<AacFormat>(job);
}
