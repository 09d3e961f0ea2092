#include "encoders/ConvertToMp4.h"

#include <cstdint>
#include <string>

#include "encoders/Mp3Tags.h"
#include "encoders/Mp4Writer.h"
#include "engine/ConversionFrame.h"
#include "engine/PcmAmplify.h"
#include "settings/ConversionSettings.h"
#include "sources/Mp4Tags.h"
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

/// The leading decimal number of a track text, 0 without one.
int LeadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long>(value * 10 + (text[i] - '0'), 0xFFFF);
    return static_cast<int>(value);
}

std::string Utf8(const std::string& ansi) {
    std::string utf8;
    if (ansi.empty() || AnsiToUtf8(ansi.c_str(), utf8) != 0) return {};
    return utf8;
}

void WriteTags(Mp4Writer& writer, const ConversionJob& job, AudioSource& source) {
    const ConversionSettings& s = job.settings;
    TagSet tags;
    int track = 0;
    if (s.M4AID3TagType == 0) {
        const TagTemplate& t = s.M4ATag;
        tags.title = t.TitleAsFileName ? TitleFromFileName(job.sourcePath) : t.Title;
        tags.artist = t.Artist;
        tags.album = t.Album;
        tags.year = t.Year;
        tags.genre = t.Genre;
        tags.comment = t.Comment;
        tags.composer = t.Composer;
        if (t.TrackNumType == 1) track = job.sequenceNumber;
        if (t.TrackNumType == 2) track = t.CustomTrackNum;
    } else if (s.M4AID3TagType == 1) {
        int found = 0;
        if (job.kind == kKindMp4 || job.kind == kKindM4a) found = ReadMp4Tags(job.sourcePath, tags);
        if (!found) found = source.ReadTags(tags);
        if (!found) return;
        track = LeadingNumber(tags.track);
    } else {
        return;
    }
    writer.SetMetadata(Utf8(tags.title), Utf8(tags.artist), Utf8(tags.album), Utf8(tags.genre), Utf8(tags.year),
                       Utf8(tags.comment), Utf8(tags.composer), Utf8(tags.copyright), track);
}

class Mp4Format final : public ConversionFormat {
public:
    explicit Mp4Format(const ConversionJob& job) : m_job(job) {}

    int Start(AudioSource& source) override {
        m_channels = source.GetOutputChannels();
        m_eightBit = source.GetBitsPerSample() == 8;
        if (!m_writer.Open(m_job.outputPath, source.GetSampleRate(), m_channels, source.GetBitsPerSample()))
            return 0;
        ApplyAacOptions(*m_writer.Configuration(), M4aOptionsOf(m_job.settings), m_channels);
        if (!m_writer.Start()) return 0;
        WriteTags(m_writer, m_job, source);
        const ConversionSettings& s = m_job.settings;
        if (s.AmplifyM4A && s.AmplifyM4ACoef != 100) m_gain = static_cast<float>(s.AmplifyM4ACoef) * 0.01f;
        return 1;
    }

    int Encode(void* left, void* right, int frames) override {
        if (m_eightBit) {
            auto* l = static_cast<std::uint8_t*>(left);
            auto* r = static_cast<std::uint8_t*>(right);
            if (m_gain != 0.0f) Amplify8(l, r, frames, m_channels, m_gain);
            return m_writer.Write8(l, r, frames);
        }
        auto* l = static_cast<std::int16_t*>(left);
        auto* r = static_cast<std::int16_t*>(right);
        if (m_gain != 0.0f) Amplify16(l, r, frames, m_channels, m_gain);
        return m_writer.Write16(l, r, frames);
    }

    int Finish() override { return m_writer.Finish(); }

private:
    const ConversionJob& m_job;
    Mp4Writer m_writer;
    int m_channels = 0;
    bool m_eightBit = false;
    float m_gain = 0.0f;  // 0: no amplification
};

}  // namespace

int ConvertToMp4(ConversionJob& job) {
    Mp4Format format(job);
    return RunConversionFrame(job, kRenderRate, format);
}
