#include "encoders/ConvertToMp4.h"

#include <cstdint>
#include <optional>
#include <string>

#include "encoders/Mp4Writer.h"
#include "engine/ConversionFrame.h"
#include "engine/TagChoice.h"
#include "settings/ConversionSettings.h"
#include "sources/TextConvert.h"

namespace {

constexpr int kRenderRate = 44100;

AacOptions M4aOptionsOf(const ConversionSettings& s) {
    return {.automatic = s.AutoDestM4AEncodingParam != 0,
            .vbr = s.M4AVBR != 0,
            .vbrQuality = s.M4AVBRQuality,
            .abrKbps = s.M4AABRBitRate,
            .mpegVersion = 0,  // an MP4 track is always MPEG-4 audio
            .tns = s.M4AEnableTNS != 0,
            .midSide = s.M4AEnableMidside != 0,
            .blockType = s.M4ABlockType};
}

std::string Utf8(const std::string& ansi) {
    std::string utf8;
    if (ansi.empty() || AnsiToUtf8(ansi.c_str(), utf8) != 0) return {};
    return utf8;
}

void WriteTags(Mp4Writer& writer, const ConversionJob& job, AudioSource& source) {
    const ConversionSettings& s = job.settings;
    const std::optional<TagSet> tags = ChooseTags(job, source, s.M4AID3TagType, s.M4ATag);
    if (!tags) return;
    writer.SetMetadata(Utf8(tags->title), Utf8(tags->artist), Utf8(tags->album), Utf8(tags->genre),
                       Utf8(tags->year), Utf8(tags->comment), Utf8(tags->composer), Utf8(tags->copyright),
                       LeadingTrackNumber(tags->track));
}

class Mp4Format final : public ConversionFormat {
public:
    explicit Mp4Format(const ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source, PcmRequest& request) override {
        // libfaac takes the source's channels and depth as they come, and its rate when AAC has it.
        m_channels = source.GetOutputChannels();
        m_eightBit = source.GetBitsPerSample() == 8;
        request.rate = NearestAacRate(source.GetSampleRate());
        if (!m_writer.Open(m_job.outputPath, request.rate, m_channels, source.GetBitsPerSample())) return 0;
        ApplyAacOptions(*m_writer.Configuration(), M4aOptionsOf(m_job.settings), m_channels);
        if (!m_writer.Start()) return 0;
        WriteTags(m_writer, m_job, source);
        const ConversionSettings& s = m_job.settings;
        if (s.AmplifyM4A && s.AmplifyM4ACoef != 100)
            request.gain = static_cast<float>(s.AmplifyM4ACoef) * 0.01f;
        return 1;
    }

    int Encode(void* left, void* right, int frames) override {
        if (m_eightBit)
            return m_writer.Write8(static_cast<std::uint8_t*>(left), static_cast<std::uint8_t*>(right),
                                   frames);
        return m_writer.Write16(static_cast<std::int16_t*>(left), static_cast<std::int16_t*>(right), frames);
    }

    int Finish() override { return m_writer.Finish(); }

private:
    const ConversionJob& m_job;
    Mp4Writer m_writer;
    int m_channels = 0;
    bool m_eightBit = false;
};

}  // namespace

int ConvertToMp4(ConversionJob& job) {
    Mp4Format format(job);
    return RunConversionFrame(job, kRenderRate, format);
}
