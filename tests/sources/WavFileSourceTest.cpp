#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "sources/WavFileSource.h"
#include "support/SourceDecode.h"
#include "support/TestSupport.h"
#include "support/WavBuilder.h"

namespace {

using testsupport::Bytes;
using testsupport::Chunk;
using testsupport::FmtPayload;
using testsupport::Le16Bytes;
using testsupport::Riff;
using testsupport::SimpleWav;
using testsupport::TempDir;

// Offsets inside a SimpleWav file.
constexpr std::size_t kTagAt = 20, kChannelsAt = 22, kRateAt = 24, kAlignAt = 32, kBitsAt = 34,
                      kCbSizeAt = 36, kSamplesPerBlockAt = 38, kNumCoefAt = 40;

testsupport::Decoded DecodeBytes(const Bytes& bytes, int maxBlocks = 100000) {
    static const TempDir dir;  // one scratch file for the whole run keeps the many small cases quick
    const std::string path = dir.File("t.wav");
    testsupport::WriteBytes(path, bytes);
    WavFileSource src;
    return testsupport::DecodeAll(src, path, maxBlocks);
}

Bytes FloatBytes(const std::vector<double>& values, int bits) {
    Bytes out;
    for (double v : values) {
        std::uint8_t b[8];
        if (bits == 32) {
            const float f = static_cast<float>(v);
            std::memcpy(b, &f, 4);
        } else {
            std::memcpy(b, &v, 8);
        }
        out.insert(out.end(), b, b + bits / 8);
    }
    return out;
}

// The extension of an extensible record whose sub-format GUID carries `subTag`.
Bytes ExtensibleExtra(int validBits, int subTag) {
    Bytes extra = Le16Bytes({22, validBits, 4, 0, subTag, 0x0000});
    const std::uint8_t suffix[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    extra.insert(extra.end(), suffix, suffix + 12);
    return extra;
}

// A mono MS ADPCM file: 256-byte blocks of 500 samples, the seven standard coefficient pairs.
Bytes MsAdpcmWav(int blocks) {
    const Bytes extra =
        Le16Bytes({32, 500, 7, 256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232});
    Bytes data;
    for (int b = 0; b < blocks; ++b) {
        Bytes block(256, 0x17);
        block[0] = 0;
        testsupport::PutLe(block, 1, 2, 16);
        data.insert(data.end(), block.begin(), block.end());
    }
    return Riff({Chunk("fmt ", FmtPayload(2, 1, 8000, 256, 4, extra)), Chunk("data", data)});
}

Bytes ImaAdpcmWav() {
    return Riff({Chunk("fmt ", FmtPayload(17, 1, 8000, 256, 4, Le16Bytes({2, 505}))),
                 Chunk("data", Bytes(512, 0x35))});
}

Bytes GsmWav() {
    return Riff(
        {Chunk("fmt ", FmtPayload(49, 1, 8000, 65, 0, Le16Bytes({2, 320}))), Chunk("data", Bytes(130, 0))});
}

TEST(WavFileSource, ZeroDataSizeIsReadToTheEndOfTheFile) {
    // Streaming writers leave the size 0; taking it literally would deliver nothing.
    Bytes file = SimpleWav(1, 1, 8000, 16, Le16Bytes(std::vector<int>(1500, 7)));
    testsupport::PutLe(file, file.size() - 3000 - 4, 4, 0);
    const auto d = DecodeBytes(file);
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.samples.size(), 1500u);
}

TEST(WavFileSource, ChunksAfterTheDataAreNeverDecoded) {
    // Reading past the data size would turn a trailing tag chunk into clicks.
    const Bytes file = Riff({Chunk("fmt ", FmtPayload(1, 1, 8000, 2, 16)),
                             Chunk("data", Le16Bytes({1, 2, 3})), Chunk("LIST", Bytes(40, 'A'))});
    const auto d = DecodeBytes(file);
    EXPECT_EQ(d.samples, (std::vector<std::int16_t>{1, 2, 3}));
}

TEST(WavFileSource, DataBeforeFormatFails) {
    // Without a format the samples cannot be interpreted.
    const Bytes file = Riff({Chunk("data", Le16Bytes({1, 2})), Chunk("fmt ", FmtPayload(1, 1, 8000, 2, 16))});
    EXPECT_FALSE(DecodeBytes(file).opened);
}

TEST(WavFileSource, OddChunksAndTheirPadBytesAreSkipped) {
    // Misreading the pad byte would misalign every later chunk header.
    const Bytes file = Riff({Chunk("junk", Bytes(3, 0xEE)), Chunk("fmt ", FmtPayload(1, 1, 8000, 1, 8)),
                             Chunk("odd ", Bytes(5, '1')), Chunk("data", Bytes{10, 20, 30})});
    const auto d = DecodeBytes(file);
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.samples.size(), 3u);
}

TEST(WavFileSource, EightBitStaysUnsignedAndMonoLeavesTheRightBufferAlone) {
    // 8-bit output must keep 128 as silence; a mono reader writing to "right" corrupts the caller.
    TempDir dir;
    const std::string path = dir.File("u8.wav");
    testsupport::WriteBytes(path, SimpleWav(1, 1, 8000, 8, Bytes{0, 128, 255}));
    WavFileSource src;
    ASSERT_EQ(src.Open(path.c_str(), 0), 1);
    EXPECT_EQ(src.GetBitsPerSample(), 8);
    EXPECT_EQ(src.GetOutputChannels(), 1);
    std::uint8_t left[kBlockFrames] = {}, right[kBlockFrames];
    std::memset(right, 0xA5, sizeof right);
    ASSERT_EQ(src.ReadBlock(left, right), 3);
    EXPECT_EQ(left[0], 0);
    EXPECT_EQ(left[1], 128);
    EXPECT_EQ(left[2], 255);
    EXPECT_EQ(right[0], 0xA5);
    EXPECT_EQ(src.ReadBlock(left, right), 0);
}

TEST(WavFileSource, TwentyFourBitKeepsTheUpperTwoBytes) {
    // The documented conversion truncates; rounding would shift every sample.
    const auto d = DecodeBytes(SimpleWav(1, 1, 8000, 24, Bytes{0xFF, 0x34, 0x12}));
    EXPECT_EQ(d.samples, (std::vector<std::int16_t>{0x1234}));
}

struct FloatCase {
    double value;
    int expected;
};

TEST(WavFileSource, FloatSamplesScaleAndClipInEveryLayout) {
    // Out-of-range floats used to wrap into loud noise; extensible float used to be read as integers.
    const std::vector<FloatCase> cases = {
        {1.0, 32767},   {-1.0, -32768}, {0.5, 16383},
        {-0.5, -16384}, {2.0, 32767},   {-3.0, -32768},
        {1e30, 32767},  {0.0, 0},       {std::numeric_limits<double>::quiet_NaN(), 0}};
    std::vector<double> values;
    for (const auto& c : cases) values.push_back(c.value);
    struct Layout {
        const char* name;
        int tag;
        int bits;
        Bytes extra;
    };
    const std::vector<Layout> layouts = {{"float32", 3, 32, {}},
                                         {"float64", 3, 64, {}},
                                         {"extensible float32", 0xFFFE, 32, ExtensibleExtra(32, 3)},
                                         {"extensible float64", 0xFFFE, 64, ExtensibleExtra(64, 3)}};
    for (const auto& layout : layouts) {
        const auto d = DecodeBytes(
            SimpleWav(layout.tag, 1, 8000, layout.bits, FloatBytes(values, layout.bits), layout.extra));
        ASSERT_EQ(d.samples.size(), cases.size()) << layout.name;
        for (std::size_t i = 0; i < cases.size(); ++i)
            EXPECT_EQ(d.samples[i], cases[i].expected) << layout.name << " value " << cases[i].value;
    }
}

TEST(WavFileSource, ExtensibleIntegerPcmIsReadByItsBitWidth) {
    // Only float and G.711 sub-formats change the reading; PCM and unknown ones stay integer PCM.
    for (int subTag : {1, 0x55}) {
        const auto d = DecodeBytes(
            SimpleWav(0xFFFE, 1, 8000, 32, Bytes{0, 0, 0, 0x40, 0, 0, 0, 0xC0}, ExtensibleExtra(32, subTag)));
        EXPECT_EQ(d.samples, (std::vector<std::int16_t>{16384, -16384})) << "sub-format " << subTag;
    }
}

TEST(WavFileSource, G711ExpandsEveryCodeLikeFfmpeg) {
    // A wrong segment or sign in one code shows as a click only on that code.
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    Bytes codes(256);
    for (int i = 0; i < 256; ++i) codes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    for (int tag : {6, 7}) {
        TempDir dir;
        const std::string path = dir.File("g711.wav");
        testsupport::WriteBytes(path, SimpleWav(tag, 1, 8000, 8, codes));
        WavFileSource src;
        const auto d = testsupport::DecodeAll(src, path);
        EXPECT_EQ(d.samples, testsupport::FfmpegDecodeS16(path, 1)) << "format tag " << tag;
    }
}

TEST(WavFileSource, ReportsLengthDurationAndBitrate) {
    // Wrong figures show up in the file list and in the automatic output parameters.
    TempDir dir;
    const std::string path = dir.File("p.wav");
    testsupport::WriteBytes(path, SimpleWav(1, 2, 8000, 16, Bytes(8000 * 4 * 3 + 6, 0)));
    WavFileSource src;
    ASSERT_EQ(src.Open(path.c_str(), 0), 1);
    EXPECT_EQ(src.GetTotalLength(), 96006);
    EXPECT_EQ(src.GetDuration(), 3);
    EXPECT_EQ(src.GetBitrate(), 256);
    EXPECT_EQ(src.GetChannelMode(), 4);

    // Under a second the bitrate comes from the format instead of a division by zero.
    testsupport::WriteBytes(path, SimpleWav(1, 1, 8000, 16, Bytes(100, 0)));
    ASSERT_EQ(src.Open(path.c_str(), 0), 1);
    EXPECT_EQ(src.GetDuration(), 0);
    EXPECT_EQ(src.GetBitrate(), 128);
}

TEST(WavFileSource, ReopeningReportsOnlyTheSecondFile) {
    // Stale fields or decoders from the first file would mislabel or garble the second.
    TempDir dir;
    testsupport::WriteBytes(dir.File("a.wav"), MsAdpcmWav(3));
    testsupport::WriteBytes(dir.File("b.wav"), SimpleWav(1, 2, 44100, 8, Bytes{1, 2, 3, 4}));
    WavFileSource src;
    ASSERT_EQ(src.Open(dir.File("a.wav").c_str(), 0), 1);
    std::int16_t left[kBlockFrames];
    ASSERT_GT(src.ReadBlock(left, nullptr), 0);
    ASSERT_EQ(src.Open(dir.File("b.wav").c_str(), 0), 1);
    EXPECT_EQ(src.GetSampleRate(), 44100);
    EXPECT_EQ(src.GetChannels(), 2);
    EXPECT_EQ(src.GetBitsPerSample(), 8);
    EXPECT_EQ(src.GetPosition(), 0);
    EXPECT_EQ(src.GetTotalLength(), 4);
    std::uint8_t l8[kBlockFrames], r8[kBlockFrames];
    ASSERT_EQ(src.ReadBlock(l8, r8), 2);
    EXPECT_EQ(r8[1], 4);
    // A failed open leaves nothing behind either.
    EXPECT_EQ(src.Open(dir.File("missing.wav").c_str(), 0), 0);
    EXPECT_EQ(src.GetSampleRate(), 0);
    EXPECT_EQ(src.ReadBlock(l8, r8), 0);
}

TEST(WavFileSource, MsAdpcmPredictorOutsideTheTableEndsTheStream) {
    // The block's predictor index selects a coefficient pair; an unchecked index reads past the table.
    Bytes file = MsAdpcmWav(2);
    const std::size_t data = testsupport::FindChunk(file, "data");
    file[data + 256] = 7;  // second block
    const auto d = DecodeBytes(file);
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.samples.size(), 500u);
}

TEST(WavFileSource, HugeDataSizeEndsAtTheEndOfTheFile) {
    // A size larger than the file must end the stream, not loop on empty reads.
    Bytes file = SimpleWav(1, 2, 8000, 16, Bytes(40, 1));
    testsupport::PutLe(file, file.size() - 40 - 4, 4, 0xFFFFFFFFu);
    const auto d = DecodeBytes(file);
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.samples.size(), 20u);
}

struct BadHeader {
    const char* name;
    Bytes (*base)();
    std::size_t offset;
    int width;
    std::uint32_t value;
};
void PrintTo(const BadHeader& b, std::ostream* os) {
    *os << b.name;
}

Bytes Pcm16Base() {
    return SimpleWav(1, 2, 8000, 16, Bytes(64, 0));
}
Bytes Float32Base() {
    return SimpleWav(3, 1, 8000, 32, Bytes(64, 0));
}
Bytes MsBase() {
    return MsAdpcmWav(1);
}

class WavRejects : public ::testing::TestWithParam<BadHeader> {};

TEST_P(WavRejects, OpenFailsOnTheDamagedField) {
    // Each field sizes a buffer or a division; accepting it would read or write outside memory.
    const BadHeader& b = GetParam();
    Bytes file = b.base();
    ASSERT_TRUE(DecodeBytes(file).opened) << "the undamaged file must open";
    testsupport::PutLe(file, b.offset, b.width, b.value);
    EXPECT_FALSE(DecodeBytes(file).opened);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, WavRejects,
    ::testing::Values(BadHeader{"NotWave", Pcm16Base, 8, 4, 0x58585858u},
                      BadHeader{"UnknownTag", Pcm16Base, kTagAt, 2, 0x55},
                      BadHeader{"NoChannels", Pcm16Base, kChannelsAt, 2, 0},
                      BadHeader{"NineChannels", Pcm16Base, kChannelsAt, 2, 9},
                      BadHeader{"ChannelFlood", Pcm16Base, kChannelsAt, 2, 65535},
                      BadHeader{"RateZero", Pcm16Base, kRateAt, 4, 0},
                      BadHeader{"RateBeyondInt", Pcm16Base, kRateAt, 4, 0x80000000u},
                      BadHeader{"TwelveBits", Pcm16Base, kBitsAt, 2, 12},
                      BadHeader{"FloatSixteenBits", Float32Base, kBitsAt, 2, 16},
                      BadHeader{"MsCbSizeBelowFour", MsBase, kCbSizeAt, 2, 3},
                      BadHeader{"MsNoCoefficients", MsBase, kNumCoefAt, 2, 0},
                      BadHeader{"MsCoefficientFlood", MsBase, kNumCoefAt, 2, 65535},
                      BadHeader{"MsThreeChannels", MsBase, kChannelsAt, 2, 3},
                      BadHeader{"MsMoreSamplesThanTheBlockHolds", MsBase, kSamplesPerBlockAt, 2, 501},
                      BadHeader{"MsOneSamplePerBlock", MsBase, kSamplesPerBlockAt, 2, 1},
                      BadHeader{"MsBlockSmallerThanHeader", MsBase, kAlignAt, 2, 6},
                      BadHeader{"ImaCbSizeBelowTwo", ImaAdpcmWav, kCbSizeAt, 2, 1},
                      BadHeader{"ImaMoreSamplesThanTheBlockHolds", ImaAdpcmWav, kSamplesPerBlockAt, 2, 506},
                      BadHeader{"ImaNoSamples", ImaAdpcmWav, kSamplesPerBlockAt, 2, 0},
                      BadHeader{"ImaBlockSmallerThanHeader", ImaAdpcmWav, kAlignAt, 2, 3},
                      BadHeader{"ImaThreeChannels", ImaAdpcmWav, kChannelsAt, 2, 3},
                      BadHeader{"GsmBlockAlign64", GsmWav, kAlignAt, 2, 64},
                      BadHeader{"GsmSamples319", GsmWav, kSamplesPerBlockAt, 2, 319},
                      BadHeader{"GsmCbSizeOne", GsmWav, kCbSizeAt, 2, 1},
                      BadHeader{"GsmStereo", GsmWav, kChannelsAt, 2, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// Files in each encoding, small enough to cut at every header offset.
class WavDamaged : public ::testing::Test {
protected:
    static std::vector<Bytes> Samples() {
        std::vector<Bytes> files = {Pcm16Base(),
                                    Float32Base(),
                                    MsAdpcmWav(3),
                                    ImaAdpcmWav(),
                                    GsmWav(),
                                    SimpleWav(0xFFFE, 6, 8000, 24, Bytes(600, 0x81), ExtensibleExtra(24, 1)),
                                    SimpleWav(6, 2, 8000, 8, Bytes(100, 0x55))};
        if (!testsupport::HaveTool("ffmpeg")) return files;
        TempDir dir;
        for (const char* codec : {"adpcm_ms", "adpcm_ima_wav", "libgsm_ms", "pcm_f64le"}) {
            const std::string out = dir.File(std::string(codec) + ".wav");
            testsupport::Run({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                              "sine=frequency=500:sample_rate=8000:duration=0.2", "-c:a", codec, out});
            files.push_back(testsupport::ReadBytes(out));
        }
        return files;
    }
};

TEST_F(WavDamaged, TruncatedFilesFailToOpenOrEndEarly) {
    // A cut download must never make the reader read past what it got.
    for (const Bytes& full : Samples()) {
        ASSERT_FALSE(full.empty());
        const std::size_t whole = DecodeBytes(full).samples.size();
        for (std::size_t cut = 0; cut < full.size(); cut += cut < 120 ? 1 : 37) {
            const auto d = DecodeBytes(Bytes(full.begin(), full.begin() + static_cast<long>(cut)));
            EXPECT_LE(d.samples.size(), whole) << "cut at " << cut;
        }
    }
}

TEST_F(WavDamaged, RandomBytesAndCorruptHeadersNeverCrashOrHang) {
    // Arbitrary bytes in any header field must end in a failed Open or a finite stream.
    std::mt19937 rng(20261207);
    const std::vector<Bytes> samples = Samples();
    for (int round = 0; round < 400; ++round) {
        Bytes file;
        if (round % 4 == 0) {
            file.resize(rng() % 300);
            for (auto& b : file) b = static_cast<std::uint8_t>(rng());
            if (file.size() >= 12 && round % 8 == 0) std::memcpy(file.data(), "RIFF\0\0\0\0WAVE", 12);
        } else {
            file = samples[rng() % samples.size()];
            const int flips = 1 + static_cast<int>(rng() % 6);
            for (int i = 0; i < flips; ++i)
                file[12 + rng() % std::min<std::size_t>(file.size() - 12, 64)] =
                    static_cast<std::uint8_t>(rng());
        }
        DecodeBytes(file, 5000);
    }
}

}  // namespace
