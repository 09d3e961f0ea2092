#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "encoders/Mp3Checks.h"
#include "encoders/OggChecks.h"
#include "encoders/OggParameters.h"
#include "encoders/OggWriter.h"
#include "settings/ConversionSettings.h"
#include "support/PeerSignals.h"
#include "support/ScopedCodePage.h"
#include "support/TestSupport.h"

namespace {

using testsupport::ReadBytes;
using testsupport::TempDir;

/// Chords with a moving envelope and a little noise: more like music than a steady tone.
std::vector<std::int16_t> MusicLike(int frames, int rate, unsigned seed) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double chord = std::sin(2 * M_PI * 220 * t) + 0.6 * std::sin(2 * M_PI * 277.2 * t) +
                             0.5 * std::sin(2 * M_PI * 329.6 * t) +
                             0.3 * std::sin(2 * M_PI * 1760 * t * (1 + t));
        seed = seed * 1103515245u + 12345u;
        const double noise = static_cast<double>((seed >> 16) & 0x7FFF) / 16384.0 - 1.0;
        const double envelope = 0.55 + 0.45 * std::sin(2 * M_PI * 2.5 * t);
        s[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(5000 * envelope * chord + 600 * noise);
    }
    return s;
}

/// Encodes planar PCM in blocks of at most 1152 frames and ends the stream; Close's result.
int EncodeFile(const std::string& path, int rate, int channels, int kbps,
               const std::vector<std::int16_t>& left, const std::vector<std::int16_t>& right,
               const TagSet& tags = {}, int serial = 1) {
    OggWriter w;
    if (!w.Open(path) || !w.Setup(rate, channels, kbps * 1000)) return 0;
    w.AddComments(tags);
    if (!w.WriteHeaders(serial)) return 0;
    const int frames = static_cast<int>(left.size());
    for (int at = 0; at < frames; at += 1152) {
        const int n = std::min(1152, frames - at);
        if (!w.Encode(left.data() + at, channels == 2 ? right.data() + at : nullptr, n)) return 0;
    }
    if (!w.Encode(nullptr, nullptr, 0)) return 0;
    return w.Close();
}

struct PeerCase {
    const char* name;
    int rate, channels, kbps;
    bool music;
};

void PrintTo(const PeerCase& c, std::ostream* os) {
    *os << c.name;
}

class OggWriterPeers : public ::testing::TestWithParam<PeerCase> {};

TEST_P(OggWriterPeers, PeersDecodeTheSourceBack) {
    // Lost blocks, a missing end of stream, wrong scaling or swapped channels show up in peers' decodes.
    const auto& p = GetParam();
    if (!testsupport::HaveTools({"ffprobe", "ffmpeg", "oggz-validate", "ogginfo"})) GTEST_SKIP();
    TempDir dir;
    const int frames = p.rate * 3 / 2 + 77;  // not a whole number of blocks
    const auto left = p.music ? MusicLike(frames, p.rate, 1) : mp3checks::Tone(frames, p.rate, 1000.0);
    const auto right =
        p.music ? MusicLike(frames, p.rate, 2) : mp3checks::Tone(frames, p.rate, 440.0, 6000.0);
    const std::string out = dir.File("o.ogg");
    ASSERT_EQ(EncodeFile(out, p.rate, p.channels, p.kbps, left, right), 1);

    std::string report;
    EXPECT_TRUE(oggchecks::ToolsClean(out, &report)) << report;
    const auto info = mp3checks::Probe(out);
    EXPECT_EQ(info.sampleRate, p.rate);
    EXPECT_EQ(info.channels, p.channels);
    EXPECT_EQ(info.bitRate, p.kbps * 1000);  // the nominal rate of the identification header

    const auto pcm = testsupport::FfmpegDecodeS16(out, p.channels);
    const auto decoded = static_cast<long>(pcm.size()) / p.channels;
    EXPECT_LE(std::labs(decoded - frames), 2048) << "decoded " << decoded << " of " << frames;
    for (int c = 0; c < p.channels; ++c) {
        const auto& src = c == 0 ? left : right;
        const double ratio = mp3checks::Rms(pcm, p.channels, c) / mp3checks::Rms(src, 1, 0);
        EXPECT_NEAR(20 * std::log10(ratio), 0.0, 1.0) << "channel " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, OggWriterPeers,
                         ::testing::Values(PeerCase{"ToneStereo44100At128", 44100, 2, 128, false},
                                           PeerCase{"MusicStereo48000At192", 48000, 2, 192, true},
                                           PeerCase{"MusicMono22050At48", 22050, 1, 48, true},
                                           PeerCase{"ToneMono8000At16", 8000, 1, 16, false},
                                           PeerCase{"MusicStereo11025At48", 11025, 2, 48, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OggWriter, HeadersOnTheirOwnPagesAndOneEndOfStream) {
    // Audio sharing a page with the headers, or a missing or early end-of-stream flag, breaks seeking
    // and chaining in players.
    TempDir dir;
    const auto music = MusicLike(44100 * 3, 44100, 1);
    ASSERT_EQ(EncodeFile(dir.File("o.ogg"), 44100, 1, 96, music, music, {}, 4242), 1);
    const auto pages = oggchecks::Pages(ReadBytes(dir.File("o.ogg")));
    ASSERT_GE(pages.size(), 4u);
    EXPECT_EQ(pages[0].flags, 2);
    EXPECT_EQ(pages[0].packetsEnded, 1);  // the identification header alone
    std::size_t firstAudio = 1;
    int headerPackets = 1;
    while (firstAudio < pages.size() && pages[firstAudio].granule == 0)
        headerPackets += pages[firstAudio++].packetsEnded;
    EXPECT_EQ(headerPackets, 3);
    ASSERT_LT(firstAudio, pages.size());
    EXPECT_EQ(pages[firstAudio].flags & 1, 0) << "the first audio page continues a header packet";
    for (std::size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i].serial, 4242u);
        EXPECT_EQ((pages[i].flags & 4) != 0, i + 1 == pages.size()) << "page " << i;
    }
    EXPECT_EQ(pages.back().granule, 44100 * 3);
}

TEST(OggWriter, EmptyStreamIsAValidFile) {
    // A source without samples must still give a complete stream, not headers without an end.
    // (ogginfo notes the granule position 0 of the last page; libvorbis writes that for every
    // empty stream.)
    if (!testsupport::HaveTool("oggz-validate")) GTEST_SKIP();
    TempDir dir;
    ASSERT_EQ(EncodeFile(dir.File("e.ogg"), 44100, 2, 128, {}, {}), 1);
    EXPECT_EQ(testsupport::Run({"oggz-validate", dir.File("e.ogg")}), 0);
    const auto pages = oggchecks::Pages(ReadBytes(dir.File("e.ogg")));
    ASSERT_FALSE(pages.empty());
    EXPECT_EQ(pages.back().flags & 4, 4);
}

struct TrackCase {
    const char* track;
    const char* expected;  // null: no TRACKNUMBER
};

TEST(OggWriter, CommentsReadBackWithTagLibAndFfprobe) {
    // Fields under the wrong names, texts not in UTF-8 or a TRACKNUMBER of 0 would show up in peers.
    if (!testsupport::HaveTool("ffprobe")) GTEST_SKIP();
    testsupport::ScopedCodePage latin1("ISO-8859-1");
    const TagSet base{"Caf\xe9", "Art\xefste", "Album", "1999", "Jazz", "Line", "", "Comp\xf6ser", "(c) me"};
    const TrackCase tracks[] = {{"7/12", "7/12"}, {"0", nullptr}, {"", nullptr}, {"-3", nullptr},
                                {"x1", nullptr},  {" 12", " 12"}, {"256", "256"}};
    for (const auto& t : tracks) {
        SCOPED_TRACE(t.track);
        TempDir dir;
        TagSet tags = base;
        tags.track = t.track;
        const auto tone = mp3checks::Tone(4000, 8000, 1000.0);
        ASSERT_EQ(EncodeFile(dir.File("t.ogg"), 8000, 1, 16, tone, tone, tags), 1);
        const auto c = oggchecks::ReadComments(dir.File("t.ogg"));
        ASSERT_TRUE(c.valid);
        using V = std::vector<std::string>;
        std::map<std::string, V> expected = {{"TITLE", V{"Caf\xc3\xa9"}},
                                             {"ARTIST", V{"Art\xc3\xafste"}},
                                             {"ALBUM", V{"Album"}},
                                             {"DATE", V{"1999"}},
                                             {"GENRE", V{"Jazz"}},
                                             {"COMMENT", V{"Line"}},
                                             {"COMPOSER", V{"Comp\xc3\xb6ser"}},
                                             {"COPYRIGHT", V{"(c) me"}}};
        if (t.expected) expected["TRACKNUMBER"] = V{t.expected};
        EXPECT_EQ(c.fields, expected);
        EXPECT_EQ(c.vendor.rfind("Xiph.Org libVorbis", 0), 0u) << c.vendor;

        const auto probed = oggchecks::FfprobeTags(dir.File("t.ogg"));
        EXPECT_EQ(probed.count("TITLE") ? probed.at("TITLE") : "", "Caf\xc3\xa9");
        EXPECT_EQ(probed.count("TRACK") ? probed.at("TRACK") : "", t.expected ? t.expected : "");
    }
}

TEST(OggWriter, EmptyTextsWriteNoComments) {
    // An empty text must not become an empty comment such as "TITLE=".
    TempDir dir;
    const auto tone = mp3checks::Tone(4000, 8000, 1000.0);
    TagSet tags;
    tags.artist = "Only";
    ASSERT_EQ(EncodeFile(dir.File("t.ogg"), 8000, 1, 16, tone, tone, tags), 1);
    const auto c = oggchecks::ReadComments(dir.File("t.ogg"));
    EXPECT_EQ(c.fields, (std::map<std::string, std::vector<std::string>>{{"ARTIST", {"Only"}}}));
}

TEST(OggWriter, FullDiskFailsAndStaysFailed) {
    // A full disk must fail the conversion instead of leaving a truncated file reported as done.
    OggWriter w;
    ASSERT_EQ(w.Open("/dev/full"), 1);
    ASSERT_EQ(w.Setup(44100, 2, 320000), 1);
    w.WriteHeaders(1);  // may still fit the stream's buffer
    const auto noise = MusicLike(1152, 44100, 3);
    int ok = 1;
    for (int i = 0; i < 400 && ok; ++i) ok = w.Encode(noise.data(), noise.data(), 1152);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(w.Encode(noise.data(), noise.data(), 1152), 0);
    EXPECT_EQ(w.Encode(nullptr, nullptr, 0), 0);
    EXPECT_EQ(w.Close(), 0);
}

TEST(OggWriter, FullDiskAtTheEndFails) {
    // Pages still in the stream buffer reach the disk only when the file closes; that must count.
    OggWriter w;
    ASSERT_EQ(w.Open("/dev/full"), 1);
    ASSERT_EQ(w.Setup(8000, 1, 16000), 1);
    ASSERT_EQ(w.WriteHeaders(1), 1);
    ASSERT_EQ(w.Encode(nullptr, nullptr, 0), 1);
    EXPECT_EQ(w.Close(), 0);
}

TEST(OggWriter, MisuseFailsInsteadOfWritingABrokenFile) {
    // A stream never ended, a missing right channel or parameters libvorbis rejects must each fail.
    TempDir dir;
    const auto tone = mp3checks::Tone(1152, 44100, 1000.0);
    {
        OggWriter w;
        ASSERT_EQ(w.Open(dir.File("unended.ogg")), 1);
        ASSERT_EQ(w.Setup(44100, 2, 128000), 1);
        ASSERT_EQ(w.WriteHeaders(1), 1);
        ASSERT_EQ(w.Encode(tone.data(), tone.data(), 1152), 1);
        EXPECT_EQ(w.Close(), 0);
    }
    {
        OggWriter w;
        ASSERT_EQ(w.Open(dir.File("noright.ogg")), 1);
        ASSERT_EQ(w.Setup(44100, 2, 128000), 1);
        ASSERT_EQ(w.WriteHeaders(1), 1);
        EXPECT_EQ(w.Encode(tone.data(), nullptr, 1152), 0);
        EXPECT_EQ(w.Encode(nullptr, nullptr, 0), 0);
        EXPECT_EQ(w.Close(), 0);
    }
    for (const auto& [rate, channels, bps] :
         {std::tuple{8000, 1, 480000}, {44100, 3, 128000}, {0, 1, 64000}}) {
        OggWriter w;
        ASSERT_EQ(w.Open(dir.File("rejected.ogg")), 1);
        EXPECT_EQ(w.Setup(rate, channels, bps), 0) << rate << " " << channels << " " << bps;
        EXPECT_EQ(w.WriteHeaders(1), 0);
        EXPECT_EQ(w.Close(), 0);
    }
}

TEST(OggWriter, EveryReachableParameterSetIsAccepted) {
    // Rate, channel and bit rate choices the options can produce must all be ones libvorbis encodes;
    // a gap between the bit-rate limits and the library's ranges would fail those conversions.
    const int rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 96000};
    const int bitrates[] = {0,   8,   16,  24,  32,  40,  48,  56,  64,  80,  96,
                            112, 128, 144, 160, 192, 224, 256, 320, 400, 480, 999};
    TempDir dir;
    std::vector<std::string> rejected;
    auto tryPoint = [&](const OggParameters& p) {
        OggWriter w;
        if (!w.Open(dir.File("p.ogg"))) return;
        if (!w.Setup(p.rate, p.channels, p.bitrate * 1000))
            rejected.push_back(std::to_string(p.rate) + "/" + std::to_string(p.channels) + "/" +
                               std::to_string(p.bitrate));
    };
    ConversionSettings s{""};
    for (int rate : rates)
        for (int channels = 1; channels <= 2; ++channels) {
            s.AutoDestOGGEncodingParam = 1;
            tryPoint(ChooseOggParameters(s, {kKindWav, rate, channels, 0}));
            s.AutoDestOGGEncodingParam = 0;
            s.OGGSampleRate = rate;
            s.OGGChannels = channels;
            for (int kbps : bitrates) {
                s.OGGBitRate = kbps;
                tryPoint(ChooseOggParameters(s, {kKindWav, rate, 2, 0}));
                s.OGGBitRate = 0;
                tryPoint(ChooseOggParameters(s, {kKindMp3, rate, 2, kbps}));
            }
        }
    EXPECT_TRUE(rejected.empty()) << ::testing::PrintToString(rejected);
}

}  // namespace
