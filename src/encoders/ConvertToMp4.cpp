#include "encoders/ConvertToMp4.h"

#include <string>

#include "encoders/Mp4Writer.h"
#include "engine/TagChoice.h"
#include "settings/ConversionSettings.h"
#include "sources/TextConvert.h"

namespace {

std::string Utf8(const std::string& ansi) {
    std::string utf8;
    if (ansi.empty() || AnsiToUtf8(ansi.c_str(), utf8) != 0) return {};
    return utf8;
}

class Mp4Format final : public ConversionFormat {
public:
    explicit Mp4Format(const ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source, ChosenTags& tags, PcmRequest& request) override {
        // libfaac takes the source's channels and depth as they come, and its rate when AAC has it.
        const int channels = source.GetOutputChannels();
        request.rate = NearestAacRate(source.GetSampleRate());
        request.takesFloat = true;
        const bool wide = DeliversFullResolution(source, request, m_job.settings);
        if (!m_writer.Open(m_job.outputPath, request.rate, channels,
                           wide ? kFloatBits : source.GetBitsPerSample()))
            return 0;
        ApplyAacOptions(*m_writer.Configuration(), AacOptionsOf(m_job.settings, kM4aOptionGroup), channels);
        if (!m_writer.Start()) return 0;
        if (m_job.settings.ReplayGain != 0) m_writer.KeepMetadataBox();
        if (const auto& t = tags.Get())
            m_writer.SetMetadata(Utf8(t->title), Utf8(t->artist), Utf8(t->album), Utf8(t->genre),
                                 Utf8(t->year), Utf8(t->comment), Utf8(t->composer), Utf8(t->copyright),
                                 LeadingTrackNumber(t->track));
        return 1;
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
    Mp4Writer m_writer;
};

}  // namespace

std::unique_ptr<ConversionFormat> MakeMp4Format(const ConversionJob& job) {
    return std::make_unique<Mp4Format>(job);
}
