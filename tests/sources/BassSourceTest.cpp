#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <random>

#include "sources/BassSource.h"
#include "sources/DecoderStartup.h"
#include "support/SynthFixtures.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

class BassSourceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(StartDecodingLibraries(), DecoderStartupResult::Started); }
    void TearDown() override { ShutDownDecodingLibraries(); }

    // A 0.5 s tone, encoded by a peer tool into `name`; empty when the tool failed.
    std::string Encode(const std::string& name, const std::vector<std::string>& tool, int rate = 44100,
                       int channels = 2, int bits = 16) {
        const std::string wav = m_dir.File(name + ".src.wav");
        if (!testsupport::MakeToneWav(wav, rate, channels, 0.5, bits)) return {};
        const std::string out = m_dir.File(name);
        std::vector<std::string> argv;
        for (const auto& a : tool) argv.push_back(a == "IN" ? wav : a == "OUT" ? out : a);
        if (tool.empty())
            std::filesystem::copy_file(wav, out);
        else if (testsupport::Run(argv) != 0)
            return {};
        return out;
    }

    TempDir m_dir;
};

struct Decoded {
    std::vector<std::int16_t> pcm;  // interleaved left/right (or mono), 16-bit sources only
    std::int64_t bytes = 0;         // in the library's unit: every input channel counted
    int maxFrames = 0;
    int calls = 0;
};

Decoded ReadAll(BassSource& src, int maxCalls = 100000) {
    Decoded d;
    const int outCh = src.GetOutputChannels();
    const int bps = src.GetBitsPerSample() / 8;
    std::vector<std::uint8_t> left(kBlockFrames * 2), right(kBlockFrames * 2);
    for (int n;
         d.calls < maxCalls && (n = src.ReadBlock(left.data(), outCh == 2 ? right.data() : nullptr)) > 0;) {
        ++d.calls;
        d.maxFrames = std::max(d.maxFrames, n);
        d.bytes += static_cast<std::int64_t>(n) * src.GetChannels() * bps;
        if (bps != 2) continue;
        const auto* l = reinterpret_cast<const std::int16_t*>(left.data());
        const auto* r = reinterpret_cast<const std::int16_t*>(right.data());
        for (int i = 0; i < n; ++i) {
            d.pcm.push_back(l[i]);
            if (outCh == 2) d.pcm.push_back(r[i]);
        }
    }
    return d;
}

struct FormatCase {
    const char* name;
    std::vector<std::string> tool;  // IN/OUT stand for the tone WAV and the file under test
    int rate;
    int channels;
    int bits;
    int kind;
};
void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

class BassFormats : public BassSourceTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(BassFormats, OpensWithItsPropertiesAndDeliversExactlyTheAnnouncedLength) {
    // Wrong properties or a length that differs from the data would break the list, the
    // progress display and the bit-rate column.
    const auto& c = GetParam();
    const std::string path = Encode(c.name, c.tool, c.rate, c.channels, c.bits == 8 ? 8 : 16);
    if (path.empty()) GTEST_SKIP() << "peer encoder unavailable";
    BassSource src;
    ASSERT_NE(src.Open(path.c_str(), 0), 0);
    EXPECT_EQ(src.GetStreamKind(), c.kind);
    EXPECT_EQ(src.GetSampleRate(), c.rate);
    EXPECT_EQ(src.GetChannels(), c.channels);
    EXPECT_EQ(src.GetOutputChannels(), std::min(c.channels, 2));
    EXPECT_EQ(src.GetBitsPerSample(), c.bits);
    EXPECT_EQ(src.GetDuration(), 0);  // 0.5 s, truncated

    const double seconds = static_cast<double>(src.GetTotalLength()) / (c.rate * c.channels * (c.bits / 8));
    EXPECT_NEAR(seconds, 0.5, 0.06);
    const auto size = static_cast<double>(std::filesystem::file_size(path));
    EXPECT_EQ(src.GetBitrate(), static_cast<int>(size / (seconds * 125) + 0.5));

    const Decoded d = ReadAll(src);
    EXPECT_EQ(d.bytes, src.GetTotalLength());
    EXPECT_EQ(src.GetPosition(), src.GetTotalLength());
    EXPECT_LE(d.maxFrames, kBlockFrames);
    EXPECT_EQ(src.ReadBlock(nullptr, nullptr), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Families, BassFormats,
    ::testing::Values(
        FormatCase{"pcm.wav", {}, 44100, 2, 16, 0}, FormatCase{"pcm8.wav", {}, 22050, 1, 8, 0},
        FormatCase{"tone.mp3", {"lame", "--quiet", "-b", "128", "IN", "OUT"}, 44100, 2, 16, 1},
        FormatCase{"tone.mp2", {"ffmpeg", "-v", "quiet", "-i", "IN", "-c:a", "mp2", "OUT"}, 44100, 2, 16, 0},
        FormatCase{"tone.flac", {"flac", "-s", "-o", "OUT", "IN"}, 44100, 2, 16, 0},
        FormatCase{"tone.wv", {"wavpack", "-q", "IN", "-o", "OUT"}, 48000, 2, 16, 0},
        FormatCase{"tone.ogg", {"oggenc", "-Q", "-o", "OUT", "IN"}, 44100, 2, 16, 0},
        FormatCase{"aac.m4a", {"ffmpeg", "-v", "quiet", "-i", "IN", "-c:a", "aac", "OUT"}, 44100, 2, 16, 0},
        FormatCase{"alac.m4a", {"ffmpeg", "-v", "quiet", "-i", "IN", "-c:a", "alac", "OUT"}, 44100, 2, 16, 0},
        FormatCase{"tone.aac", {"ffmpeg", "-v", "quiet", "-i", "IN", "-c:a", "aac", "OUT"}, 44100, 2, 16, 0},
        FormatCase{"tone.tta", {"ffmpeg", "-v", "quiet", "-i", "IN", "-c:a", "tta", "OUT"}, 44100, 2, 16, 0},
        FormatCase{
            "tone.wma", {"ffmpeg", "-v", "quiet", "-i", "IN", "-c:a", "wmav2", "OUT"}, 44100, 2, 16, 0},
        FormatCase{
            "tone.adx", {"ffmpeg", "-v", "quiet", "-i", "IN", "-c:a", "adpcm_adx", "OUT"}, 44100, 2, 16, 0},
        FormatCase{
            "tone.spx", {"ffmpeg", "-v", "quiet", "-i", "IN", "-c:a", "libspeex", "OUT"}, 16000, 1, 16, 0},
        FormatCase{"six.wav", {}, 44100, 6, 16, 0}),
    [](const auto& info) {
        std::string n = info.param.name;
        std::replace(n.begin(), n.end(), '.', '_');
        return n;
    });

}  // namespace

namespace {

TEST_F(BassSourceTest, LosslessDecodeEqualsFfmpegAndMp3StaysNearIt) {
    // A wrong sample conversion, channel order or dropped block shows as a difference from the
    // peer decoder: none for FLAC, only rounding for MP3 (another decoder).
    struct Case {
        const char* name;
        std::vector<std::string> tool;
        int tolerance;
    };
    const Case cases[] = {{"peer.flac", {"flac", "-s", "-o", "OUT", "IN"}, 0},
                          {"peer.wv", {"wavpack", "-q", "IN", "-o", "OUT"}, 0},
                          {"peer.mp3", {"lame", "--quiet", "-b", "192", "IN", "OUT"}, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Encode(c.name, c.tool);
        ASSERT_FALSE(path.empty());
        BassSource src;
        ASSERT_NE(src.Open(path.c_str(), 0), 0);
        const Decoded d = ReadAll(src);
        const auto peer = testsupport::FfmpegDecodeS16(path, 2);
        ASSERT_EQ(d.pcm.size(), peer.size());
        int worst = 0;
        for (std::size_t i = 0; i < peer.size(); ++i) worst = std::max(worst, std::abs(d.pcm[i] - peer[i]));
        EXPECT_LE(worst, c.tolerance);
    }
}

TEST_F(BassSourceTest, SixChannelStreamYields384FramesOfTheFirstTwoChannels) {
    // The read buffer is sized for two channels; reading more frames would overrun it.
    const std::string path = Encode("six.wav", {}, 44100, 6);
    BassSource src;
    ASSERT_NE(src.Open(path.c_str(), 0), 0);
    std::vector<std::int16_t> left(kBlockFrames), right(kBlockFrames);
    ASSERT_EQ(src.ReadBlock(left.data(), right.data()), 384);
    const auto peer = testsupport::FfmpegDecodeS16(path, 6);
    ASSERT_GE(peer.size(), 384u * 6);
    for (int i = 0; i < 384; ++i) {
        ASSERT_EQ(left[i], peer[i * 6]) << i;
        ASSERT_EQ(right[i], peer[i * 6 + 1]) << i;
    }
}

TEST_F(BassSourceTest, Mp3ChannelModeComesFromTheFirstFrameHeader) {
    // The list shows the MPEG channel mode of MP3 files; it must match what the encoder wrote.
    struct Case {
        const char* mode;
        int channels;
        int expected;
    };
    for (const Case& c : {Case{"j", 2, 1}, Case{"s", 2, 0}, Case{"m", 1, 3}}) {
        SCOPED_TRACE(c.mode);
        const std::string path = Encode(std::string("mode-") + c.mode + ".mp3",
                                        {"lame", "--quiet", "-m", c.mode, "IN", "OUT"}, 44100, c.channels);
        BassSource src;
        ASSERT_NE(src.Open(path.c_str(), 0), 0);
        EXPECT_EQ(src.GetChannelMode(), c.expected);
        EXPECT_EQ(src.GetOutputChannels(), c.channels);
    }
}

TEST_F(BassSourceTest, UpperCaseMp3ExtensionIsStreamKindOne) {
    // The extension comparison ignores case; ".MP3" files must still get their channel mode.
    const std::string path = Encode("LOUD.MP3", {"lame", "--quiet", "-m", "j", "IN", "OUT"});
    BassSource src;
    ASSERT_NE(src.Open(path.c_str(), 0), 0);
    EXPECT_EQ(src.GetStreamKind(), 1);
    EXPECT_EQ(src.GetChannelMode(), 1);
}

struct HeaderCase {
    const char* name;
    std::uint8_t bytes[4];
    int mode;
};
void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << c.name;
}

class FrameHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(FrameHeader, ReservedOrFreeFormatFieldsAreRejected) {
    // A misread header would report a channel mode the file does not have.
    EXPECT_EQ(BassSource::ChannelModeFromFrameHeader(GetParam().bytes), GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(Fields, FrameHeader,
                         ::testing::Values(HeaderCase{"Mpeg1Layer3Joint", {0xFF, 0xFB, 0x90, 0x44}, 1},
                                           HeaderCase{"Mpeg2Layer3Mono", {0xFF, 0xF3, 0x80, 0xC4}, 3},
                                           HeaderCase{"Mpeg25Layer2Dual", {0xFF, 0xE5, 0x40, 0x80}, 2},
                                           HeaderCase{"Mpeg1Layer1Stereo", {0xFF, 0xFF, 0xE0, 0x00}, 0},
                                           HeaderCase{"NoSync", {0xFF, 0x7B, 0x90, 0x44}, -1},
                                           HeaderCase{"ReservedVersion", {0xFF, 0xEB, 0x90, 0x44}, -1},
                                           HeaderCase{"ReservedLayer", {0xFF, 0xF9, 0x90, 0x44}, -1},
                                           HeaderCase{"FreeFormat", {0xFF, 0xFB, 0x00, 0x44}, -1},
                                           HeaderCase{"BadBitrate", {0xFF, 0xFB, 0xF0, 0x44}, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BassSourceTest, DamagedFirstFrameHeaderLeavesModeUnknownButOpens) {
    // A bad header at the start of the audio data must not fail Open nor invent a mode.
    const std::string path = Encode("bad-header.mp3", {"lame", "--quiet", "-m", "j", "IN", "OUT"});
    for (const std::uint8_t second : {0xF9, 0xEB}) {  // layer bits 0, version 1
        auto bytes = testsupport::ReadBytes(path);
        ASSERT_EQ(bytes[0], 0xFF);
        bytes[1] = second;
        const std::string damaged = m_dir.File("damaged.mp3");
        testsupport::WriteBytes(damaged, bytes);
        BassSource src;
        ASSERT_NE(src.Open(damaged.c_str(), 0), 0);
        EXPECT_EQ(src.GetChannelMode(), 4);
    }
}

TEST_F(BassSourceTest, Id3BlocksAreCopiedOnlyWhenTheMp3HasThem) {
    // MP3 output copies these blocks verbatim: a wrong size or a block invented from nothing
    // would corrupt the new file's tags.
    struct Case {
        const char* name;
        const char* option;
        bool v1;
        bool v2;
    };
    const Case cases[] = {{"none.mp3", nullptr, false, false},
                          {"v1.mp3", "--id3v1-only", true, false},
                          {"v2.mp3", "--id3v2-only", false, true},
                          {"both.mp3", "--add-id3v2", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> tool = {"lame", "--quiet"};
        if (c.option) tool.insert(tool.end(), {c.option, "--tt", "Title", "--ta", "Artist"});
        tool.insert(tool.end(), {"IN", "OUT"});
        const std::string path = Encode(c.name, tool);
        const auto file = testsupport::ReadBytes(path);
        BassSource src;
        ASSERT_NE(src.Open(path.c_str(), 0), 0);
        for (int pass = 0; pass < 2; ++pass) {
            const std::uint8_t* v1 = src.GetId3v1Tag();
            ASSERT_EQ(v1 != nullptr, c.v1);
            if (v1) {
                EXPECT_EQ(std::memcmp(v1, file.data() + file.size() - 128, 128), 0);
            }
            int size = -1;
            const std::uint8_t* v2 = src.GetId3v2Tag(size);
            ASSERT_EQ(v2 != nullptr, c.v2);
            if (!v2) {
                EXPECT_EQ(size, 0);
                continue;
            }
            const int expected = (file[6] << 21 | file[7] << 14 | file[8] << 7 | file[9]) + 10;
            ASSERT_EQ(size, expected);
            EXPECT_EQ(std::memcmp(v2, file.data(), static_cast<std::size_t>(size)), 0);
        }
        if (c.v2) {
            // The bit rate counts the whole file, tags included.
            const double seconds = static_cast<double>(src.GetTotalLength()) / (44100 * 4);
            EXPECT_EQ(src.GetBitrate(), static_cast<int>(file.size() / (seconds * 125) + 0.5));
        }
        src.Close();
        EXPECT_EQ(src.GetId3v1Tag(), nullptr);
    }
}

TEST_F(BassSourceTest, Id3v24FooterIsCopiedWithItsTag) {
    // A copied tag whose header announces a footer must carry it, or the new file's tag is torn.
    const std::string plain = Encode("plain.mp3", {"lame", "--quiet", "IN", "OUT"});
    const std::string title = "TIT2\0\0\0\x06\0\0\x03Title";
    std::vector<std::uint8_t> tag = {'I',  'D', '3', 4, 0,
                                     0x10, 0,   0,   0, static_cast<std::uint8_t>(title.size())};
    tag.insert(tag.end(), title.begin(), title.end());
    const std::uint8_t footer[] = {'3',  'D', 'I', 4, 0,
                                   0x10, 0,   0,   0, static_cast<std::uint8_t>(title.size())};
    tag.insert(tag.end(), std::begin(footer), std::end(footer));
    auto file = tag;
    const auto body = testsupport::ReadBytes(plain);
    file.insert(file.end(), body.begin(), body.end());
    const std::string path = m_dir.File("footer.mp3");
    testsupport::WriteBytes(path, file);
    BassSource src;
    ASSERT_NE(src.Open(path.c_str(), 0), 0);
    int size = -1;
    const std::uint8_t* v2 = src.GetId3v2Tag(size);
    ASSERT_NE(v2, nullptr);
    ASSERT_EQ(size, static_cast<int>(tag.size()));
    EXPECT_EQ(std::memcmp(v2, tag.data(), tag.size()), 0);
}

TEST_F(BassSourceTest, FlacWithId3BlockIsKindZeroAndGivesNoId3) {
    // Only MP3 inputs hand raw ID3 blocks to the MP3 writer, whatever the file carries.
    const std::string mp3 =
        Encode("tagged.mp3", {"lame", "--quiet", "--id3v2-only", "--tt", "T", "IN", "OUT"});
    const std::string flac = Encode("plain.flac", {"flac", "-s", "-o", "OUT", "IN"});
    auto tagged = testsupport::ReadBytes(mp3);
    const std::size_t tagSize = (tagged[6] << 21 | tagged[7] << 14 | tagged[8] << 7 | tagged[9]) + 10u;
    tagged.resize(tagSize);
    const auto body = testsupport::ReadBytes(flac);
    tagged.insert(tagged.end(), body.begin(), body.end());
    const std::string path = m_dir.File("id3.flac");
    testsupport::WriteBytes(path, tagged);
    BassSource src;
    ASSERT_NE(src.Open(path.c_str(), 0), 0);
    EXPECT_EQ(src.GetStreamKind(), 0);
    EXPECT_EQ(src.GetId3v1Tag(), nullptr);
    int size = -1;
    EXPECT_EQ(src.GetId3v2Tag(size), nullptr);
    EXPECT_EQ(size, 0);
}

TEST_F(BassSourceTest, CloseKeepsTheDescriptionAndReopenResetsIt) {
    // Callers read the properties after Close; a reopen must not keep the old channel mode.
    const std::string mp3 = Encode("close.mp3", {"lame", "--quiet", "-m", "j", "IN", "OUT"});
    const std::string wav = Encode("close.wav", {});
    BassSource src;
    ASSERT_NE(src.Open(mp3.c_str(), 0), 0);
    src.Close();
    EXPECT_EQ(src.GetSampleRate(), 44100);
    EXPECT_EQ(src.GetChannelMode(), 1);
    EXPECT_EQ(src.GetStreamKind(), 0);
    EXPECT_EQ(src.ReadBlock(nullptr, nullptr), 0);
    ASSERT_NE(src.Open(wav.c_str(), 0), 0);
    EXPECT_EQ(src.GetChannelMode(), 4);
    ASSERT_NE(src.Open(mp3.c_str(), 0), 0);  // open while open
    EXPECT_EQ(src.GetChannelMode(), 1);
}

TEST_F(BassSourceTest, EmptyAndUnreadableFilesFailToOpen) {
    // A zero-length stream would divide by zero later; CD tracks cannot be read here.
    const std::string empty = m_dir.File("empty.wav");
    ASSERT_EQ(testsupport::Run({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", empty, "trim", "0", "0"}),
              0);
    const std::string cda = m_dir.File("Track01.cda");
    testsupport::WriteBytes(cda, {'R', 'I', 'F', 'F', 36, 0, 0, 0, 'C', 'D', 'D', 'A'});
    for (const std::string& path : {empty, cda, m_dir.File("missing.mp3")}) {
        BassSource src;
        EXPECT_EQ(src.Open(path.c_str(), 0), 0) << path;
        EXPECT_EQ(src.GetStreamKind(), 0);
    }
}

}  // namespace
