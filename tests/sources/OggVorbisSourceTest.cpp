#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/SystemCodePage.h"
#include "sources/OggVorbisSource.h"
#include "support/SourceDrain.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

// Builds an Ogg Vorbis file with oggenc from a sox tone of one frequency per channel.
std::string MakeOgg(const TempDir& dir, const std::string& name, int channels, double seconds,
                    const std::vector<std::string>& comments = {}, int rate = 44100, int serial = 0) {
    const std::string wav = dir.File(name + ".wav");
    const std::string ogg = dir.File(name + ".ogg");
    std::vector<std::string> sox{
        "sox", "-n", "-r",    std::to_string(rate),   "-c", std::to_string(channels), "-b",
        "16",  wav,  "synth", std::to_string(seconds)};
    for (int c = 0; c < channels; ++c) sox.insert(sox.end(), {"sine", std::to_string(300 + 200 * c)});
    if (Run(sox) != 0) return {};
    std::vector<std::string> enc{"oggenc", "-Q", "-o", ogg};
    if (serial) enc.insert(enc.end(), {"-s", std::to_string(serial)});
    for (const auto& c : comments) enc.insert(enc.end(), {"-c", c});
    enc.push_back(wav);
    return Run(enc) == 0 ? ogg : std::string();
}

// Switches the system code page for one test and restores it.
class ScopedCodePage {
public:
    explicit ScopedCodePage(const char* codeset) : m_old(SystemCodePage()) { SetSystemCodePage(codeset); }
    ~ScopedCodePage() { SetSystemCodePage(m_old); }

private:
    std::string m_old;
};

class OggVorbisSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTool("oggenc") || !HaveTool("sox") || !HaveTool("ffmpeg"))
            GTEST_SKIP() << "oggenc, sox or ffmpeg missing";
    }
    TempDir m_dir;
};

struct Layout {
    const char* name;
    int channels;
    int outputChannels;
    int blockLimit;          // what one read of the interleave buffer or of the left buffer holds
    const char* peerFilter;  // ffmpeg's channels that correspond to the stream's first two
};

class OggLayouts : public OggVorbisSourceTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(OggLayouts, DecodesAsFfmpegDoesWithinBlockLimits) {
    // Wrong channel stepping, lost or duplicated frames, or blocks over the buffer size show here.
    const Layout& p = GetParam();
    const std::string ogg = MakeOgg(m_dir, p.name, p.channels, 0.6);
    ASSERT_FALSE(ogg.empty());
    OggVorbisSource src;
    ASSERT_EQ(src.Open(ogg.c_str(), 0), 1);
    EXPECT_EQ(src.GetChannels(), p.channels);
    EXPECT_EQ(src.GetOutputChannels(), p.outputChannels);
    EXPECT_EQ(src.GetSampleRate(), 44100);
    EXPECT_EQ(src.GetBitsPerSample(), 16);
    EXPECT_EQ(src.VorbisVersion(), 0);
    EXPECT_GT(src.GetBitrate(), 0);
    EXPECT_GT(src.GetTotalLength(), 0);
    const Drained d = DrainSource(src);
    ASSERT_TRUE(d.endedInTime);
    EXPECT_TRUE(d.positionsInRange);
    EXPECT_GT(d.largestBlock, 0);
    EXPECT_LE(d.largestBlock, p.blockLimit);
    EXPECT_EQ(src.GetPosition(), src.GetTotalLength());

    const auto peer = PeerDecode(ogg, p.outputChannels, p.peerFilter);
    ASSERT_FALSE(peer[0].empty());
    // Every encoded frame comes back (ffmpeg trims the last 128 here; it is compared where both have data).
    EXPECT_EQ(d.left.size(), 26460u);
    EXPECT_GE(d.left.size(), peer[0].size());
    EXPECT_LT(RelativeRmsDifference(d.left, peer[0]), 1e-4);
    if (p.outputChannels == 2) {
        EXPECT_EQ(d.right.size(), d.left.size());
        EXPECT_LT(RelativeRmsDifference(d.right, peer[1]), 1e-4);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Channels, OggLayouts,
    ::testing::Values(Layout{"Mono", 1, 1, 1152, ""}, Layout{"Stereo", 2, 2, 1024, ""},
                      // Vorbis stores five channels as L C R BL BR; ffmpeg reorders them to L R C BL BR.
                      Layout{"Five", 5, 2, 409, "pan=stereo|c0=FL|c1=FC"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OggVorbisSourceTest, DurationTruncatesAndReopenForgetsTheFirstFile) {
    // Rounding the duration up, or a property surviving a reopen, would misreport the list row.
    const std::string a = MakeOgg(m_dir, "a", 2, 0.4, {}, 48000);
    const std::string b = MakeOgg(m_dir, "b", 1, 2.9, {"TITLE=B"}, 22050);
    OggVorbisSource src;
    ASSERT_EQ(src.Open(a.c_str(), 0), 1);
    EXPECT_EQ(src.GetDuration(), 0);
    ASSERT_EQ(src.Open(b.c_str(), 0), 1);
    EXPECT_EQ(src.GetDuration(), 2);
    EXPECT_EQ(src.GetSampleRate(), 22050);
    EXPECT_EQ(src.GetOutputChannels(), 1);
    ASSERT_EQ(src.Comments().size(), 1u);
    src.Close();
    EXPECT_EQ(src.GetSampleRate(), 0);
    EXPECT_EQ(src.GetChannelMode(), 4);
    EXPECT_EQ(src.VorbisVersion(), -1);
    EXPECT_TRUE(src.Comments().empty());
    EXPECT_EQ(src.Open(m_dir.File("missing.ogg").c_str(), 0), 0);
}

TEST_F(OggVorbisSourceTest, TagsMatchPrefixesWithoutCaseAndTheLastWins) {
    // A first-match lookup, a case-sensitive prefix or stale fields would carry wrong tags over.
    const std::string longText(5000, 'x');
    const std::string ogg = MakeOgg(m_dir, "tags", 2, 0.2,
                                    {"ARTIST=First", "title=Lower", "ARTIST=Second", "DATE=2001",
                                     "TRACKNUMBER=7", "COMMENT=" + longText, "COMPOSERX=no", "ARTISTS=no"});
    OggVorbisSource src;
    ASSERT_EQ(src.Open(ogg.c_str(), 0), 1);
    TagSet tags;
    tags.album = "stale";
    tags.composer = "stale";
    ASSERT_EQ(src.ReadTags(tags), 1);
    EXPECT_EQ(tags.artist, "Second");
    EXPECT_EQ(tags.title, "Lower");
    EXPECT_EQ(tags.year, "2001");
    EXPECT_EQ(tags.track, "7");
    EXPECT_EQ(tags.album, "");
    EXPECT_EQ(tags.composer, "");
    // Long comments are cut to the work buffer, never copied whole.
    EXPECT_EQ(tags.comment, longText.substr(0, OggVorbisSource::kMaxCommentBytes - 8));
    EXPECT_FALSE(src.Vendor().empty());
}

TEST_F(OggVorbisSourceTest, CommentsAreConvertedToTheLocaleCodeset) {
    // UTF-8 copied raw into a single-byte code page, or a cut inside a character, corrupts tags.
    const std::string title = "Caf\xC3\xA9";
    std::string longAccents = "ALBUM=";
    while (longAccents.size() < 2000) longAccents += "\xC3\xA9";
    const std::string ogg = MakeOgg(m_dir, "utf8", 1, 0.2, {"TITLE=" + title, longAccents});
    {
        ScopedCodePage utf8("UTF-8");
        OggVorbisSource src;
        ASSERT_EQ(src.Open(ogg.c_str(), 0), 1);
        TagSet tags;
        src.ReadTags(tags);
        EXPECT_EQ(tags.title, title);
        EXPECT_EQ(tags.album.size() % 2, 0u);  // whole characters only
        EXPECT_LE(tags.album.size() + 6, OggVorbisSource::kMaxCommentBytes);
        EXPECT_GE(tags.album.size() + 6, OggVorbisSource::kMaxCommentBytes - 1);
    }
    {
        ScopedCodePage ascii("ASCII");
        OggVorbisSource src;
        ASSERT_EQ(src.Open(ogg.c_str(), 0), 1);
        TagSet tags;
        src.ReadTags(tags);
        EXPECT_EQ(tags.title, "Caf?");
    }
}

TEST_F(OggVorbisSourceTest, ChainedLinksWithOtherChannelCountsStayInsideTheBlock) {
    // Links with other channel counts must keep to the block and lose no frames; vorbisfile on
    // its own starts some chained files at the second link.
    const std::string mono = MakeOgg(m_dir, "m", 1, 0.5, {}, 44100, 1001);
    const std::string stereo = MakeOgg(m_dir, "s", 2, 0.5, {}, 44100, 2002);
    for (const auto& [order, outputChannels] : {std::pair{"sm", 2}, std::pair{"ms", 1}}) {
        SCOPED_TRACE(order);
        std::vector<std::uint8_t> chained;
        for (const char* c = order; *c; ++c) {
            const auto part = ReadBytes(*c == 'm' ? mono : stereo);
            chained.insert(chained.end(), part.begin(), part.end());
        }
        const std::string path = m_dir.File(std::string(order) + ".ogg");
        WriteBytes(path, chained);
        OggVorbisSource src;
        ASSERT_EQ(src.Open(path.c_str(), 0), 1);
        EXPECT_EQ(src.GetOutputChannels(), outputChannels);
        EXPECT_EQ(src.GetTotalLength(), static_cast<std::int64_t>(chained.size()));
        const Drained d = DrainSource(src);
        ASSERT_TRUE(d.endedInTime);
        EXPECT_LE(d.largestBlock, kBlockFrames);
        EXPECT_EQ(d.left.size(), 2u * 22050u);
        // Each link's first channel is the same 300 Hz tone, so the whole left side matches the mono file.
        OggVorbisSource one;
        ASSERT_EQ(one.Open(mono.c_str(), 0), 1);
        const auto tone = DrainSource(one).left;
        const std::vector<std::int16_t> secondHalf(d.left.begin() + 22050, d.left.end());
        const std::vector<std::int16_t> firstHalf(d.left.begin(), d.left.begin() + 22050);
        EXPECT_LT(RelativeRmsDifference(firstHalf, tone), 0.02);
        EXPECT_LT(RelativeRmsDifference(secondHalf, tone), 0.02);
        if (outputChannels == 2) {
            // The mono link is heard on both sides.
            const std::vector<std::int16_t> right(d.right.begin() + 22050, d.right.end());
            EXPECT_EQ(right, secondHalf);
        }
    }
}

TEST_F(OggVorbisSourceTest, DamagedFilesFailOrEndWithoutOverrunOrHang) {
    // Holes and garbage must neither loop for ever nor write past the caller's buffers.
    const std::string ogg = MakeOgg(m_dir, "good", 2, 3.0);
    const std::vector<std::uint8_t> good = ReadBytes(ogg);
    ASSERT_GT(good.size(), 4000u);
    std::mt19937 rng(7);
    std::vector<std::vector<std::uint8_t>> cases;
    cases.push_back(std::vector<std::uint8_t>(good.begin(), good.begin() + good.size() / 2));  // truncated
    auto holes = good;
    for (std::size_t i = good.size() * 2 / 3; i < good.size() * 2 / 3 + 600; ++i)
        holes[i] = static_cast<std::uint8_t>(rng());
    cases.push_back(holes);
    auto scattered = good;
    for (int i = 0; i < 200; ++i) scattered[4000 + rng() % (good.size() - 4000)] ^= 0x5A;
    cases.push_back(scattered);
    std::vector<std::uint8_t> noise(20000);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
    cases.push_back(noise);
    cases.push_back(std::vector<std::uint8_t>(good.begin(), good.begin() + 60));  // inside the headers

    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string path = m_dir.File("bad" + std::to_string(i) + ".ogg");
        WriteBytes(path, cases[i]);
        OggVorbisSource src;
        if (src.Open(path.c_str(), 0) == 0) continue;
        const Drained d = DrainSource(src, 10000);
        EXPECT_TRUE(d.endedInTime);
        EXPECT_LE(d.largestBlock, 1024);
    }
    // Damage in the middle costs the damaged pages only: decoding goes on after the hole
    // (stopping there would leave about 1.2 s of the 3 s).
    const std::string path = m_dir.File("bad1.ogg");
    OggVorbisSource src;
    ASSERT_EQ(src.Open(path.c_str(), 0), 1);
    EXPECT_GT(DrainSource(src).left.size(), 3u * 44100u / 2);
}

}  // namespace
