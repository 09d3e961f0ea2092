#include <gtest/gtest.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "encoders/ConversionRun.h"
#include "encoders/FaacEncoder.h"
#include "platform/SystemCodePage.h"
#include "support/Mp4Boxes.h"

namespace {

using convtest::ConversionRun;

constexpr std::uint32_t kFrame = 1024;

class ScopedCodePage {
public:
    explicit ScopedCodePage(const std::string& codeset) : m_old(SystemCodePage()) {
        SetSystemCodePage(codeset);
    }
    ~ScopedCodePage() { SetSystemCodePage(m_old); }

private:
    std::string m_old;
};

std::vector<std::uint8_t> ConfigOfLibfaac(int rate, int channels) {
    FaacEncoder e;
    EXPECT_EQ(e.Open(rate, channels, RAW_STREAM), 1);
    EXPECT_EQ(e.Start(), 1);
    return e.DecoderSpecificInfo();
}

/// The shift of `decoded` against `source` (first channel) that correlates best, within +-range.
int BestLag(const std::vector<std::int16_t>& source, const std::vector<std::int16_t>& decoded, int channels,
            int range) {
    const auto frames = static_cast<int>(std::min(source.size(), decoded.size()) / channels);
    int best = 0;
    double bestScore = -1;
    for (int lag = -range; lag <= range; ++lag) {
        double score = 0;
        for (int i = range; i + range < frames; ++i)
            score += static_cast<double>(source[static_cast<std::size_t>(i * channels)]) *
                     decoded[static_cast<std::size_t>((i + lag) * channels)];
        if (score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

struct TrackCase {
    const char* name;
    convtest::Signal source;
    const char* extension;
};

void PrintTo(const TrackCase& c, std::ostream* os) {
    *os << c.name;
}

class Mp4Track : public ::testing::TestWithParam<TrackCase> {};

TEST_P(Mp4Track, TablesTimingAndConfigurationHoldAndPeersAgree) {
    // The sample timing must cover the input to within a frame, the tables must agree, and the
    // decoder configuration must be libfaac's; every peer reads .m4a, .mp4 and .m4b alike.
    const auto& p = GetParam();
    ConversionRun run{kFormatM4a};
    const std::string in = run.dir.File("in.wav"), out = run.dir.File(std::string("out.") + p.extension);
    convtest::WriteMusicWav(in, p.source);
    run.settings.M4AID3TagType = 2;
    ASSERT_EQ(run.Convert(kKindWav, in, out), 1);

    const auto s = testsupport::InspectMp4(testsupport::ReadBytes(out));
    ASSERT_EQ(s.error, "");
    EXPECT_EQ(s.trackTimeScale, static_cast<std::uint32_t>(p.source.rate));
    EXPECT_EQ(s.movieTimeScale, 90000u);
    EXPECT_EQ(s.channels, p.source.channels);
    EXPECT_EQ(s.objectType, 0x40);
    EXPECT_EQ(s.decoderConfig, ConfigOfLibfaac(p.source.rate, p.source.channels));
    ASSERT_FALSE(s.durations.empty());
    // The encoder's priming is skipped by an edit, not by a rendering offset that would make the
    // first two samples share one presentation time.
    const auto inputFrames = static_cast<std::uint64_t>(p.source.rate * p.source.seconds);
    const std::uint64_t presented = (inputFrames * 90000 + p.source.rate / 2) / p.source.rate;
    EXPECT_EQ(s.edits, (std::vector<std::pair<std::uint64_t, std::int64_t>>{{presented, kFrame}}));
    EXPECT_EQ(s.movieDuration, presented);
    EXPECT_EQ(s.trackDuration, presented);
    std::uint64_t total = 0;
    bool shrinking = false;
    for (std::size_t i = 0; i < s.durations.size(); ++i) {
        EXPECT_LE(s.durations[i], kFrame);
        if (s.durations[i] < kFrame) shrinking = true;
        if (shrinking) {
            EXPECT_LT(s.durations[i], kFrame) << "full frame after the end, sample " << i;
        }
        EXPECT_EQ(s.offsets[i], 0u);
        total += s.durations[i];
    }
    EXPECT_EQ(total, inputFrames + kFrame);  // the priming and the input, to the frame

    if (testsupport::HaveTool("ffprobe")) {
        std::string errors;
        testsupport::Run({"ffprobe", "-v", "error", out}, &errors, true);
        EXPECT_EQ(errors, "");
        EXPECT_EQ(convtest::ProbeValue(out, "profile"), "LC");
        // The timeline starts at 0 and lasts as long as the source.
        EXPECT_EQ(std::stod(convtest::ProbeValue(out, "start_time")), 0.0);
        EXPECT_NEAR(std::stod(convtest::ProbeValue(out, "duration")),
                    static_cast<double>(inputFrames) / p.source.rate, 1e-6);
    }
    if (testsupport::HaveTool("mediainfo")) {
        std::string info;
        testsupport::Run(
            {"mediainfo", "--Inform=Audio;%Format%|%Format_AdditionalFeatures%|%SamplingRate%|%Channel(s)%",
             out},
            &info);
        EXPECT_EQ(info,
                  "AAC|LC|" + std::to_string(p.source.rate) + "|" + std::to_string(p.source.channels) + "\n");
        std::string ms;
        testsupport::Run({"mediainfo", "--Inform=General;%Duration%", out}, &ms);
        // mediainfo 23 ignores an edit shorter than the priming when the movie time scale is not 1000.
        if (inputFrames >= kFrame) {
            EXPECT_NEAR(std::stod("0" + ms), 1000.0 * static_cast<double>(inputFrames) / p.source.rate, 1.0);
        }
    }
    if (testsupport::HaveTool("AtomicParsley")) {
        std::string tree;
        EXPECT_EQ(testsupport::Run({"AtomicParsley", out, "-T"}, &tree), 0);
        for (const char* box :
             {"ftyp", "moov", "mvhd", "trak", "edts", "elst", "stsd", "mp4a", "esds", "stts", "stsz", "mdat"})
            EXPECT_NE(tree.find(std::string("Atom ") + box), std::string::npos) << box << "\n" << tree;
    }
    if (testsupport::HaveTool("ffmpeg")) {
        const auto decoded = testsupport::FfmpegDecodeS16(out, p.source.channels);
        const auto frames = decoded.size() / static_cast<std::size_t>(p.source.channels);
        // The decoder skips the priming as the edit says (the last frame's padding stays), so the
        // audio comes out where the source has it.
        EXPECT_GE(frames, inputFrames);
        EXPECT_LT(frames, inputFrames + kFrame);
        if (inputFrames > 4 * kFrame) {
            const auto source = testsupport::FfmpegDecodeS16(in, p.source.channels);
            EXPECT_EQ(BestLag(source, decoded, p.source.channels, 2 * kFrame), 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Mp4Track,
                         ::testing::Values(TrackCase{"Stereo48000M4a", {48000, 2, 16, 1.5}, "m4a"},
                                           TrackCase{"Mono22050Mp4", {22050, 1, 16, 1.3}, "mp4"},
                                           TrackCase{"EightBitStereoM4b", {44100, 2, 8, 0.7}, "m4b"},
                                           // Shorter than libfaac's delay of three calls.
                                           TrackCase{"ShortStereo", {44100, 2, 16, 0.05}, "m4a"},
                                           TrackCase{"HundredFramesMono", {8000, 1, 16, 0.0125}, "m4a"}),
                         [](const auto& info) { return std::string(info.param.name); });

/// Every item TagLib reads from the file, as UTF-8; trkn as "N/TOTAL".
std::map<std::string, std::string> TagLibItems(const std::string& path) {
    std::map<std::string, std::string> items;
    TagLib::MP4::File file(path.c_str());
    if (!file.isValid() || !file.tag()) return items;
    for (const auto& [key, item] : file.tag()->itemMap()) {
        if (key == "trkn")
            items["trkn"] =
                std::to_string(item.toIntPair().first) + "/" + std::to_string(item.toIntPair().second);
        else
            items[key.to8Bit(true)] = item.toStringList().toString().to8Bit(true);
    }
    return items;
}

TEST(ConvertToMp4, TemplateItemsInUtf8WithoutCopyright) {
    // A single-byte code page must reach the file as UTF-8; copyright never, composer as ©wrt.
    ConversionRun run{kFormatM4a};
    const ScopedCodePage cp("ISO-8859-1");
    const std::string in = run.dir.File("Caf\xe9 Song.wav"), out = run.dir.File("out.m4a");
    convtest::WriteMusicWav(in, {44100, 1, 16, 0.3});
    TagTemplate& t = run.settings.M4ATag;
    t = {.TitleAsFileName = 1,
         .Title = "ignored",
         .Artist = "Art\xe9",
         .Album = "Alb",
         .Year = "1999",
         .Genre = "Jazz",
         .Comment = "Com",
         .Composer = "Wri",
         .Copyright = "Owner",
         .TrackNumType = 1};
    run.settings.M4AID3TagType = 0;
    ASSERT_EQ(run.Convert(kKindWav, in, out, 3), 1);

    const std::map<std::string, std::string> expected = {{"\xC2\xA9nam", "Caf\xC3\xA9 Song"},
                                                         {"\xC2\xA9"
                                                          "ART",
                                                          "Art\xC3\xA9"},
                                                         {"\xC2\xA9"
                                                          "alb",
                                                          "Alb"},
                                                         {"\xC2\xA9"
                                                          "day",
                                                          "1999"},
                                                         {"\xC2\xA9gen", "Jazz"},
                                                         {"\xC2\xA9"
                                                          "cmt",
                                                          "Com"},
                                                         {"\xC2\xA9wrt", "Wri"},
                                                         {"trkn", "3/0"}};
    auto items = TagLibItems(out);
    // Beside the tags, the encoder's delay (1024), padding and the 0.3 s of input for gapless players.
    EXPECT_EQ(items["----:com.apple.iTunes:iTunSMPB"].substr(0, 44),
              " 00000000 00000400 00000052 00000000000033AE");
    items.erase("----:com.apple.iTunes:iTunSMPB");
    EXPECT_EQ(items, expected);
    if (testsupport::HaveTool("AtomicParsley")) {
        std::string listed;
        testsupport::Run({"AtomicParsley", out, "-t"}, &listed);
        EXPECT_NE(listed.find("Caf\xC3\xA9 Song"), std::string::npos) << listed;
        EXPECT_NE(listed.find("Atom \"trkn\" contains: 3\n"), std::string::npos) << listed;
    }
}

struct TrackNumberCase {
    const char* name;
    int tagType;
    int trackNumType;
    const char* sourceTrack;  // for carried-over tags
    const char* expected;     // trkn as TagLib reads it; "" for none
};

void PrintTo(const TrackNumberCase& c, std::ostream* os) {
    *os << c.name;
}

class Mp4TrackNumber : public ::testing::TestWithParam<TrackNumberCase> {};

TEST_P(Mp4TrackNumber, OnlyAPositiveLeadingNumberBecomesTrkn) {
    // A track text must give its leading number with total 0, and no number must give no item.
    const auto& p = GetParam();
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    ConversionRun run{kFormatM4a};
    convtest::WriteMusicWav(run.dir.File("in.wav"), {44100, 1, 16, 0.2});
    const std::string src = run.dir.File("src.flac"), out = run.dir.File("out.m4a");
    ASSERT_EQ(testsupport::Run({"ffmpeg", "-v", "error", "-y", "-i", run.dir.File("in.wav"), "-metadata",
                                "title=T", "-metadata", std::string("track=") + p.sourceTrack, src}),
              0);
    run.settings.M4AID3TagType = p.tagType;
    run.settings.M4ATag.TrackNumType = p.trackNumType;
    run.settings.M4ATag.CustomTrackNum = 0;
    ASSERT_EQ(run.Convert(kKindFlac, src, out, 7), 1);
    const auto items = TagLibItems(out);
    const auto trkn = items.find("trkn");
    EXPECT_EQ(trkn == items.end() ? std::string() : trkn->second, p.expected);
    EXPECT_EQ(items.count("\xC2\xA9nam"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, Mp4TrackNumber,
                         ::testing::Values(TrackNumberCase{"CarriedWithTotal", 1, 0, "3/10", "3/0"},
                                           TrackNumberCase{"CarriedZero", 1, 0, "0", ""},
                                           TrackNumberCase{"CarriedText", 1, 0, "B-side", ""},
                                           TrackNumberCase{"TemplateNone", 0, 0, "5", ""},
                                           TrackNumberCase{"TemplateCustomZero", 0, 2, "5", ""},
                                           TrackNumberCase{"TemplateSequence", 0, 1, "5", "7/0"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertToMp4, NoMetadataWhenAsked) {
    // Tag type 2 must write no tags, even from a tagged source: only the encoder's gapless item.
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    ConversionRun run{kFormatM4a};
    convtest::WriteMusicWav(run.dir.File("in.wav"), {44100, 1, 16, 0.2});
    const std::string src = run.dir.File("src.flac"), out = run.dir.File("out.m4a");
    ASSERT_EQ(testsupport::Run(
                  {"ffmpeg", "-v", "error", "-y", "-i", run.dir.File("in.wav"), "-metadata", "title=T", src}),
              0);
    run.settings.M4AID3TagType = 2;
    ASSERT_EQ(run.Convert(kKindFlac, src, out), 1);
    const auto items = testsupport::InspectMp4(testsupport::ReadBytes(out)).items;
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items.begin()->first, "----");
}

}  // namespace
