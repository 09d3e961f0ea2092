#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "sources/AiffSource.h"
#include "sources/AuSource.h"
#include "sources/G72xDecoder.h"
#include "support/SourceDecode.h"
#include "support/TestSupport.h"
#include "support/WavBuilder.h"

namespace {

using testsupport::TempDir;
using Bytes = std::vector<std::uint8_t>;

void PutBe(Bytes& b, std::uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
void PutText(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
}
Bytes Be16s(const std::vector<int>& values) {
    Bytes b;
    for (int v : values) PutBe(b, static_cast<std::uint16_t>(v), 2);
    return b;
}

// The 80-bit extended form of a whole positive rate.
Bytes Extended(std::uint32_t rate) {
    Bytes b;
    int exponent = 16383 + 31;
    std::uint64_t mantissa = rate;
    while (!(mantissa & 0x80000000u)) {
        mantissa <<= 1;
        --exponent;
    }
    PutBe(b, static_cast<std::uint64_t>(exponent), 2);
    PutBe(b, mantissa << 32, 8);
    return b;
}

Bytes IffChunk(const std::string& id, const Bytes& payload, std::int64_t size = -1) {
    Bytes b;
    PutText(b, id);
    PutBe(b, size < 0 ? payload.size() : static_cast<std::uint64_t>(size), 4);
    b.insert(b.end(), payload.begin(), payload.end());
    if (payload.size() & 1) b.push_back(0);
    return b;
}

struct AiffLayout {
    bool aifc = false;
    int channels = 1;
    std::uint32_t frames = 0;  // 0: from the data
    int bits = 16;
    std::uint32_t rate = 8000;
    std::string compression = "NONE";
    std::int64_t commSize = -1;  // -1: the natural size
    bool soundFirst = false;
};

Bytes Aiff(const AiffLayout& s, const Bytes& data) {
    Bytes comm = Be16s({s.channels});
    const int sampleBytes = std::max(1, (s.bits + 7) / 8);
    const std::uint32_t frames = s.frames != 0 || s.channels < 1
                                     ? s.frames
                                     : static_cast<std::uint32_t>(data.size() / (sampleBytes * s.channels));
    PutBe(comm, frames, 4);
    PutBe(comm, static_cast<std::uint32_t>(s.bits), 2);
    const Bytes rate = Extended(s.rate);
    comm.insert(comm.end(), rate.begin(), rate.end());
    if (s.aifc) {
        PutText(comm, s.compression);
        comm.push_back(0);  // empty compression name
        comm.push_back(0);
    }
    if (s.commSize >= 0) comm.resize(static_cast<std::size_t>(std::min<std::int64_t>(s.commSize, 64)));
    Bytes ssnd(8, 0);
    ssnd.insert(ssnd.end(), data.begin(), data.end());
    Bytes body;
    PutText(body, s.aifc ? "AIFC" : "AIFF");
    const Bytes c = IffChunk("COMM", comm, s.commSize);
    const Bytes d = IffChunk("SSND", ssnd);
    const Bytes anno = IffChunk("ANNO", Bytes{'x', 'y', 'z'});  // odd size: padded
    body.insert(body.end(), anno.begin(), anno.end());
    body.insert(body.end(), s.soundFirst ? d.begin() : c.begin(), s.soundFirst ? d.end() : c.end());
    body.insert(body.end(), s.soundFirst ? c.begin() : d.begin(), s.soundFirst ? c.end() : d.end());
    Bytes file;
    PutText(file, "FORM");
    PutBe(file, body.size(), 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

struct AuLayout {
    bool littleEndian = false;
    std::uint32_t offset = 24;
    std::uint32_t size = 0;  // 0: from the data
    std::uint32_t encoding = 3;
    std::uint32_t rate = 8000;
    std::uint32_t channels = 1;
};

Bytes Au(const AuLayout& s, const Bytes& data) {
    Bytes h;
    auto put = [&](std::uint32_t v) {
        Bytes be;
        PutBe(be, v, 4);
        if (s.littleEndian) std::reverse(be.begin(), be.end());
        h.insert(h.end(), be.begin(), be.end());
    };
    PutText(h, s.littleEndian ? "dns." : ".snd");
    put(s.offset);
    put(s.size != 0 ? s.size : static_cast<std::uint32_t>(data.size()));
    put(s.encoding);
    put(s.rate);
    put(s.channels);
    h.resize(std::max<std::size_t>(h.size(), s.offset), 0);
    h.insert(h.end(), data.begin(), data.end());
    return h;
}

template <typename Source>
testsupport::Decoded DecodeBytes(const Bytes& bytes, Source& src, int maxBlocks = 100000) {
    static const TempDir dir;  // one scratch file per reader type keeps the many small cases quick
    const std::string path = dir.File("t.bin");
    testsupport::WriteBytes(path, bytes);
    return testsupport::DecodeAll(src, path, maxBlocks);
}

template <typename Source>
testsupport::Decoded DecodeBytes(const Bytes& bytes) {
    Source src;
    return DecodeBytes(bytes, src);
}

// ---- AIFF header rules ----

struct AiffOpenCase {
    const char* name;
    AiffLayout layout;
    bool opens;
};
void PrintTo(const AiffOpenCase& c, std::ostream* os) {
    *os << c.name;
}
class AiffOpen : public ::testing::TestWithParam<AiffOpenCase> {};

TEST_P(AiffOpen, AcceptsOnlyWhatItCanDecode) {
    // A COMM size, channel count or coding taken wrongly either refuses good files or steps
    // through buffers with the wrong layout.
    const AiffOpenCase& c = GetParam();
    const Bytes data = Bytes(68 * 4 * 6, 0x11);
    const auto d = DecodeBytes<AiffSource>(Aiff(c.layout, data));
    EXPECT_EQ(d.opened, c.opens);
}

INSTANTIATE_TEST_SUITE_P(
    Comm, AiffOpen,
    ::testing::Values(AiffOpenCase{"AiffComm18", {.commSize = 18}, true},
                      AiffOpenCase{"AiffComm20Fails", {.commSize = 20}, false},
                      AiffOpenCase{"AifcComm20Fails", {.aifc = true, .commSize = 20}, false},
                      AiffOpenCase{"AifcComm22", {.aifc = true, .commSize = 22}, true},
                      AiffOpenCase{"AifcCommHugeAfterSound",
                                   {.aifc = true, .commSize = 0x7FFFFFF0, .soundFirst = true},
                                   true},
                      AiffOpenCase{"SoundBeforeComm", {.soundFirst = true}, true},
                      AiffOpenCase{"SixChannels", {.channels = 6}, true},
                      AiffOpenCase{"FiveChannelsFail", {.channels = 5}, false},
                      AiffOpenCase{"SevenChannelsFail", {.channels = 7}, false},
                      AiffOpenCase{"NoChannelsFail", {.channels = 0}, false},
                      AiffOpenCase{"ZeroBitsFail", {.bits = 0}, false},
                      AiffOpenCase{"WiderThan32Fail", {.bits = 33}, false},
                      AiffOpenCase{"MonoIma4Fails", {.aifc = true, .compression = "ima4"}, false},
                      AiffOpenCase{"StereoIma4", {.aifc = true, .channels = 2, .compression = "ima4"}, true},
                      AiffOpenCase{"Dwvw25Fails", {.aifc = true, .bits = 25, .compression = "DWVW"}, false},
                      AiffOpenCase{"UnknownCodingFails", {.aifc = true, .compression = "QDM2"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AiffSource, ReadsLowerCaseSowtLittleEndian) {
    // Compression types are compared without case; a missed "sowt" swaps every sample's bytes.
    const Bytes data = {0x34, 0x12, 0xFE, 0xFF};
    const auto d = DecodeBytes<AiffSource>(Aiff({.aifc = true, .compression = "sowt"}, data));
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.samples, (std::vector<std::int16_t>{0x1234, -2}));
}

TEST(AiffSource, ReportsRateDurationAndAbsoluteProgress) {
    // A mis-read extended rate or a relative position breaks the file list and the progress bar.
    const Bytes data(44100 * 2 * 2, 0);
    const Bytes file = Aiff({.channels = 2, .rate = 44100}, data);
    AiffSource src;
    const TempDir dir;
    testsupport::WriteBytes(dir.File("a.aiff"), file);
    ASSERT_EQ(src.Open(dir.File("a.aiff").c_str(), 0), 1);
    EXPECT_EQ(src.GetSampleRate(), 44100);
    EXPECT_EQ(src.GetDuration(), 1);
    EXPECT_EQ(src.GetTotalLength(), static_cast<std::int64_t>(file.size()));
    const std::int64_t start = static_cast<std::int64_t>(file.size() - data.size());
    EXPECT_EQ(src.GetPosition(), start);
    std::vector<std::int16_t> l(kBlockFrames), r(kBlockFrames);
    while (src.ReadBlock(l.data(), r.data()) > 0) {
    }
    EXPECT_EQ(src.GetPosition(), static_cast<std::int64_t>(file.size()));
}

TEST(AiffSource, PadByteOfOddSoundChunkIsNotASample) {
    // The pad byte after an odd SSND chunk is not sound: counting it adds a stray sample.
    const auto d = DecodeBytes<AiffSource>(Aiff({.bits = 8}, Bytes{0x10, 0x20, 0x30}));
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.samples, (std::vector<std::int16_t>{0x1000, 0x2000, 0x3000}));
}

TEST(AiffSource, ZeroFrameCountGivesZeroDuration) {
    // A frame count of 0 must not divide anything by zero; it reads as one frame.
    AiffLayout layout;
    layout.frames = 0;
    const Bytes file = Aiff(layout, Bytes{});
    AiffSource src;
    const TempDir dir;
    testsupport::WriteBytes(dir.File("a.aiff"), file);
    ASSERT_EQ(src.Open(dir.File("a.aiff").c_str(), 0), 1);
    EXPECT_EQ(src.GetDuration(), 0);
}

TEST(AiffSource, FloatsBeyondFullScaleClipAndNanIsSilence) {
    // Scaling 1.5 to 32 bits overflows; it must clip, not wrap to the opposite sign.
    Bytes data;
    for (float v : {1.5f, -1.5f, std::numeric_limits<float>::quiet_NaN(), 0.5f}) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        PutBe(data, bits, 4);
    }
    const auto d = DecodeBytes<AiffSource>(Aiff({.aifc = true, .bits = 32, .compression = "fl32"}, data));
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.samples, (std::vector<std::int16_t>{32767, -32768, 0, 16383}));
}

TEST(AiffSource, Ima4DeliversOnePacketPairPerCall) {
    // Stereo IMA4 packets are decoded one pair at a time: 64 frames each call.
    const Bytes data(68 * 3, 0x21);
    AiffSource src;
    const auto d = DecodeBytes(Aiff({.aifc = true, .channels = 2, .compression = "ima4"}, data), src);
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.blocks, 3);
    EXPECT_EQ(d.samples.size(), 3u * 64 * 2);
}

TEST(AiffSource, Ima4OverflowMatchesLibsndfile) {
    // A predictor pushed past full scale: libsndfile clips, and so must we (wrapping would click).
    if (!testsupport::HaveTool("sndfile-convert") || !testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    Bytes data;
    for (int packet = 0; packet < 4; ++packet) {
        const bool up = packet % 2 == 0;
        data.push_back(up ? 0x7F : 0x80);
        data.push_back(up ? 0x80 | 60 : 60);
        data.insert(data.end(), 32, up ? 0x77 : 0xFF);
    }
    const TempDir dir;
    const std::string path = dir.File("ima4.aiff");
    testsupport::WriteBytes(path, Aiff({.aifc = true, .channels = 2, .compression = "ima4"}, data));
    ASSERT_EQ(testsupport::Run({"sndfile-convert", "-pcm16", path, dir.File("ref.wav")}), 0);
    const auto ref = testsupport::FfmpegDecodeS16(dir.File("ref.wav"), 2);
    AiffSource src;
    const auto d = testsupport::DecodeAll(src, path);
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.samples, ref);
    EXPECT_NE(std::find(d.samples.begin(), d.samples.end(), 32767), d.samples.end()) << "never overflowed";
    EXPECT_NE(std::find(d.samples.begin(), d.samples.end(), -32768), d.samples.end()) << "never overflowed";
}

TEST(AiffSource, GsmFramesDecodeLikeFfmpeg) {
    // AIFF-C GSM is plain 33-byte frames: the WAV49 framing would garble every second frame.
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    const TempDir dir;
    ASSERT_EQ(testsupport::Run({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                "aevalsrc=0.8*sin(2*PI*350*t)+0.1*random(0):s=8000:d=0.9", "-c:a", "libgsm",
                                "-f", "gsm", dir.File("a.gsm")}),
              0);
    const Bytes raw = testsupport::ReadBytes(dir.File("a.gsm"));
    ASSERT_EQ(raw.size() % 33, 0u);
    const std::uint32_t frames = static_cast<std::uint32_t>(raw.size() / 33 * 160);
    const std::string path = dir.File("gsm.aifc");
    testsupport::WriteBytes(path, Aiff({.aifc = true, .frames = frames, .compression = "GSM "}, raw));
    AiffSource src;
    const auto d = testsupport::DecodeAll(src, path);
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.samples, testsupport::FfmpegDecodeS16(dir.File("a.gsm"), 1));
}

/// Bits most significant first; the last byte is filled up with zero bits.
class BitWriter {
public:
    void Put(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            m_acc = static_cast<std::uint8_t>(m_acc << 1 | ((value >> i) & 1u));
            if (++m_fill == 8) Flush();
        }
    }
    Bytes Finish() {
        if (m_fill) {
            m_acc = static_cast<std::uint8_t>(m_acc << (8 - m_fill));
            Flush();
        }
        return m_bytes;
    }

private:
    void Flush() {
        m_bytes.push_back(m_acc);
        m_acc = 0;
        m_fill = 0;
    }
    Bytes m_bytes;
    std::uint8_t m_acc = 0;
    int m_fill = 0;
};

// DWVW of `width`-bit samples that ends with the last sample's bits, as an encoder that does not
// flush extra values writes it. Deltas stay below half the range in the signals used here.
Bytes EncodeDwvw(const std::vector<int>& samples, int width) {
    const int maxModifier = width / 2, maxDelta = 1 << (width - 1);
    BitWriter out;
    int last = 0, lastWidth = 0;
    for (const int sample : samples) {
        const int delta = sample - last;
        const int magnitude = std::abs(delta);
        int deltaWidth = 0;
        while ((magnitude >> deltaWidth) != 0) ++deltaWidth;
        int modifier = (deltaWidth - lastWidth) % width;
        if (modifier > maxModifier) modifier -= width;
        if (modifier < -maxModifier) modifier += width;
        out.Put(0, std::abs(modifier));
        if (std::abs(modifier) != maxModifier) out.Put(1, 1);
        if (modifier != 0) out.Put(modifier < 0 ? 1 : 0, 1);
        if (deltaWidth != 0) {
            out.Put(static_cast<std::uint32_t>(magnitude), deltaWidth - 1);
            out.Put(delta < 0 ? 1 : 0, 1);
            if (magnitude == maxDelta - 1) out.Put(0, 1);
        }
        last = sample;
        lastWidth = deltaWidth;
    }
    return out.Finish();
}

struct DwvwTailCase {
    int width;
    int repeats;  // how often the last sample repeats: each repeat is a one-bit code
};
void PrintTo(const DwvwTailCase& c, std::ostream* os) {
    *os << c.width << " bits, " << c.repeats << " repeats";
}

class DwvwTail : public ::testing::TestWithParam<DwvwTailCase> {};

TEST_P(DwvwTail, EveryFrameOfTheCountIsDecoded) {
    // The decoder stopped when fewer bits than a width modifier were left, losing the final
    // one-bit codes of a file (121,273 of 121,275 frames).
    const auto [width, repeats] = GetParam();
    std::mt19937 rng(static_cast<unsigned>(width * 100 + repeats));
    std::uniform_int_distribution<int> noise(-8000, 8000);
    std::vector<int> pcm16(1500);
    for (int& v : pcm16) v = noise(rng);
    pcm16.insert(pcm16.end(), static_cast<std::size_t>(repeats), pcm16.back());
    std::vector<int> samples;
    std::vector<std::int16_t> expected;
    for (const int v : pcm16) {
        samples.push_back(width == 12 ? v >> 4 : width == 24 ? v * 256 : v);
        expected.push_back(static_cast<std::int16_t>(width == 12 ? (v >> 4) * 16 : v));
    }
    const Bytes coded = EncodeDwvw(samples, width);
    const TempDir dir;
    if (width != 12 && testsupport::HaveTool("sndfile-convert")) {
        // The fixture's bits must be those libsndfile writes, which only adds flushing values after
        // them (its 12-bit writer stores no data at all).
        testsupport::WriteBytes(dir.File("in.wav"),
                                testsupport::SimpleWav(1, 1, 8000, 16, testsupport::Le16Bytes(pcm16)));
        ASSERT_EQ(testsupport::Run({"sndfile-convert", "-dwvw" + std::to_string(width), dir.File("in.wav"),
                                    dir.File("peer.aifc")}),
                  0);
        const Bytes peer = testsupport::ReadBytes(dir.File("peer.aifc"));
        const std::string ssnd = "SSND";
        const auto at = std::search(peer.begin(), peer.end(), ssnd.begin(), ssnd.end());
        ASSERT_NE(at, peer.end());
        const Bytes peerData(at + 16, peer.end());
        ASSERT_GE(peerData.size(), coded.size());
        EXPECT_TRUE(std::equal(coded.begin(), coded.end() - 1, peerData.begin()));
    }
    const std::string path = dir.File("tail.aifc");
    testsupport::WriteBytes(path, Aiff({.aifc = true,
                                        .frames = static_cast<std::uint32_t>(samples.size()),
                                        .bits = width,
                                        .compression = "DWVW"},
                                       coded));
    AiffSource src;
    const auto d = testsupport::DecodeAll(src, path);
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.samples, expected);
}

INSTANTIATE_TEST_SUITE_P(Widths, DwvwTail, ::testing::ValuesIn([] {
                             std::vector<DwvwTailCase> cases;
                             for (const int width : {12, 16, 24})
                                 for (int repeats = 1; repeats <= 8; ++repeats)
                                     cases.push_back({width, repeats});
                             return cases;
                         }()),
                         [](const auto& info) {
                             return "Bits" + std::to_string(info.param.width) + "Repeats" +
                                    std::to_string(info.param.repeats);
                         });

// ---- AU header rules ----

TEST(AuSource, LittleEndianFileReadsLowByteFirst) {
    // The "dns." magic means every field and sample is little-endian.
    const auto d = DecodeBytes<AuSource>(Au({.littleEndian = true}, Bytes{0x34, 0x12, 0xFE, 0xFF}));
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.samples, (std::vector<std::int16_t>{0x1234, -2}));
}

TEST(AuSource, EncodingFieldOneByteLateIsFound) {
    // A writer that shifted the encoding field by one byte still produced a readable file.
    Bytes h = {'.', 's', 'n', 'd', 0, 0, 0, 32, 0, 0, 0, 4, 0xAA};
    PutBe(h, 3, 4);      // encoding at bytes 13-16
    PutBe(h, 11025, 4);  // rate at 17-20
    PutBe(h, 2, 4);      // channels at 21-24
    h.resize(32, 0);
    PutBe(h, 0x01000200, 4);  // one stereo frame: 256, 512
    AuSource src;
    const auto d = DecodeBytes(h, src);
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(src.GetSampleRate(), 11025);
    EXPECT_EQ(src.GetChannels(), 2);
    EXPECT_EQ(d.samples, (std::vector<std::int16_t>{256, 512}));
}

struct AuFieldCase {
    const char* name;
    AuLayout layout;
    int rate, channels;
    std::int64_t total;  // -1: the data size
};
void PrintTo(const AuFieldCase& c, std::ostream* os) {
    *os << c.name;
}
class AuFields : public ::testing::TestWithParam<AuFieldCase> {};

TEST_P(AuFields, ReplacesOutOfRangeValues) {
    // Out-of-range rates and channel counts are replaced, not rejected; an unknown size reads to
    // the end of the file.
    const AuFieldCase& c = GetParam();
    const Bytes data(400, 0);
    AuSource src;
    const auto d = DecodeBytes(Au(c.layout, data), src);
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(src.GetSampleRate(), c.rate);
    EXPECT_EQ(src.GetChannels(), c.channels);
    EXPECT_EQ(src.GetTotalLength(), c.total < 0 ? 400 : c.total);
}

INSTANTIATE_TEST_SUITE_P(
    Header, AuFields,
    ::testing::Values(AuFieldCase{"RateZero", {.rate = 0}, 8000, 1, -1},
                      AuFieldCase{"RateTooHigh", {.rate = 100001}, 8000, 1, -1},
                      AuFieldCase{"ChannelsFive", {.channels = 5}, 8000, 1, -1},
                      AuFieldCase{"UnknownSize", {.size = 0xFFFFFFFF}, 8000, 1, 400},
                      AuFieldCase{"UnknownSizeLongHeader", {.offset = 100, .size = 0xFFFFFFFF}, 8000, 1, 400},
                      AuFieldCase{"StereoKept", {.channels = 2}, 8000, 2, -1}),
    [](const auto& info) { return std::string(info.param.name); });

struct AuRejectCase {
    const char* name;
    Bytes file;
};
void PrintTo(const AuRejectCase& c, std::ostream* os) {
    *os << c.name;
}
class AuRejects : public ::testing::TestWithParam<AuRejectCase> {};

TEST_P(AuRejects, OpenFails) {
    // Headers the reader cannot trust must fail Open rather than be read as audio.
    EXPECT_FALSE(DecodeBytes<AuSource>(GetParam().file).opened);
}

Bytes Patched(Bytes b, std::size_t at, std::uint8_t value) {
    b[at] = value;
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Header, AuRejects,
    ::testing::Values(AuRejectCase{"BadMagic", Patched(Au({}, Bytes(8)), 0, 'x')},
                      AuRejectCase{"OffsetBelow24", Au({.offset = 23}, Bytes(8))},
                      AuRejectCase{"UnknownEncoding", Au({.encoding = 8}, Bytes(8))},
                      AuRejectCase{"NoEncodingAnywhere",
                                   Bytes{'.',  's',  'n',  'd',  0,    0,    0,    40,   0,    0,
                                         0,    8,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
                      AuRejectCase{"ShortHeader", Bytes{'.', 's', 'n', 'd', 0, 0, 0,    24,   0, 0, 0, 0,
                                                        0,   0,   0,   3,   0, 0, 0x1F, 0x40, 0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AuSource, FloatsClip) {
    // Out-of-range floats must clip rather than wrap to the opposite sign.
    Bytes data;
    for (double v : {2.0, -2.0, std::numeric_limits<double>::quiet_NaN()}) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, 8);
        PutBe(data, bits, 8);
    }
    const auto d = DecodeBytes<AuSource>(Au({.encoding = 7}, data));
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.samples, (std::vector<std::int16_t>{32767, -32768, 0}));
}

TEST(AuSource, G721FileOf4608BytesGives9216Samples) {
    // Two 4-bit codes per byte: losing reservoir bits between reads would drop samples.
    const auto d = DecodeBytes<AuSource>(Au({.encoding = 23}, Bytes(4608, 0x5A)));
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.samples.size(), 9216u);
}

// ---- G.721 / G.723 against the Sun reference code (in sox) and libsndfile ----

struct G72xCase {
    const char* name;
    const char* bitrate;
    int encoding;
    int codeBits;
    std::size_t maxClipped;  // samples where the peer's output wrapped around the 16-bit range
};
void PrintTo(const G72xCase& c, std::ostream* os) {
    *os << c.name;
}
class G72xPeer : public ::testing::TestWithParam<G72xCase> {};

// Equal sample for sample, except where the peer wrapped past full scale and we clip.
void ExpectSameOrClipped(const std::vector<std::int16_t>& ours, const std::vector<std::int16_t>& ref,
                         std::size_t maxClipped) {
    // A peer that pads to whole blocks has more: compare what both have.
    ASSERT_GE(ref.size(), ours.size());
    std::size_t clipped = 0;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        if (ours[i] == ref[i]) continue;
        ASSERT_TRUE(ours[i] == 32767 || ours[i] == -32768)
            << "at " << i << ": " << ours[i] << " vs " << ref[i];
        ++clipped;
    }
    EXPECT_LE(clipped, maxClipped);
}

std::vector<std::int16_t> Le16Samples(const Bytes& raw) {
    std::vector<std::int16_t> out(raw.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::int16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
    return out;
}

TEST_P(G72xPeer, MatchesReferenceDecoders) {
    // The adaptive predictor and quantiser must track the encoder code for code, or the decode
    // drifts. The reader follows the standard (Sun's reference code, which sox uses); libsndfile
    // drops one rounding term, and the decoder without it must match libsndfile exactly.
    const G72xCase& c = GetParam();
    if (!testsupport::HaveTool("sndfile-convert") || !testsupport::HaveTool("ffmpeg") ||
        !testsupport::HaveTool("sox"))
        GTEST_SKIP();
    const TempDir dir;
    ASSERT_EQ(
        testsupport::Run({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                          "aevalsrc=0.4*sin(2*PI*440*t)*sin(2*PI*2*t)+0.02*random(0):s=8000:d=1.1", "-c:a",
                          "adpcm_g726le", "-b:a", c.bitrate, "-f", "g726le", dir.File("codes.raw")}),
        0);
    const Bytes codes = testsupport::ReadBytes(dir.File("codes.raw"));
    ASSERT_FALSE(codes.empty());
    const std::string path = dir.File("g72x.au");
    testsupport::WriteBytes(path,
                            Au({.offset = 32, .encoding = static_cast<std::uint32_t>(c.encoding)}, codes));

    AuSource src;
    const auto mono = testsupport::DecodeAll(src, path);
    ASSERT_TRUE(mono.opened);
    const std::size_t codeCount = codes.size() * 8 / static_cast<std::size_t>(c.codeBits);
    EXPECT_EQ(mono.samples.size(), codeCount);
    ASSERT_EQ(testsupport::Run({"sox", path, "-t", "s16", "-e", "signed", "-L", dir.File("sox.raw")}), 0);
    ExpectSameOrClipped(mono.samples, Le16Samples(testsupport::ReadBytes(dir.File("sox.raw"))), c.maxClipped);

    ASSERT_EQ(testsupport::Run({"sndfile-convert", "-pcm16", path, dir.File("ref.wav")}), 0);
    G72xDecoder libsndfileRules(c.codeBits, false);
    std::vector<std::int16_t> ours;
    std::uint32_t reservoir = 0;
    int held = 0;
    for (std::size_t next = 0; ours.size() < codeCount;) {
        if (held < c.codeBits) {
            reservoir |= static_cast<std::uint32_t>(codes[next++]) << held;
            held += 8;
        }
        ours.push_back(libsndfileRules.Decode(reservoir));
        reservoir >>= c.codeBits;
        held -= c.codeBits;
    }
    ExpectSameOrClipped(ours, testsupport::FfmpegDecodeS16(dir.File("ref.wav"), 1), c.maxClipped);

    // Stereo codes alternate left and right through one shared decoder state.
    testsupport::WriteBytes(path,
                            Au({.encoding = static_cast<std::uint32_t>(c.encoding), .channels = 2}, codes));
    AuSource stereoSrc;
    const auto stereo = testsupport::DecodeAll(stereoSrc, path);
    ASSERT_TRUE(stereo.opened);
    ASSERT_LE(stereo.samples.size(), mono.samples.size());
    EXPECT_TRUE(std::equal(stereo.samples.begin(), stereo.samples.end(), mono.samples.begin()));
}

// FFmpeg's 40 kbit/s stream does not decode cleanly with the Sun-layout decoders (sox, libsndfile
// or ours): it still serves as a code-for-code check, with clipping expected.
INSTANTIATE_TEST_SUITE_P(Rates, G72xPeer,
                         ::testing::Values(G72xCase{"G721", "32k", 23, 4, 0},
                                           G72xCase{"G723_24", "24k", 25, 3, 0},
                                           G72xCase{"G723_40", "40k", 26, 5, 1000}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Reopening ----

Bytes Noise(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

template <typename Source>
void ExpectReopenedLikeFresh(const Bytes& first, const Bytes& second) {
    const TempDir dir;
    const std::string a = dir.File("a"), b = dir.File("b");
    testsupport::WriteBytes(a, first);
    testsupport::WriteBytes(b, second);
    Source reused, fresh;
    ASSERT_EQ(reused.Open(a.c_str(), 0), 1);
    std::vector<std::int16_t> left(kBlockFrames), right(kBlockFrames);
    ASSERT_GT(reused.ReadBlock(left.data(), right.data()), 0);
    const auto expected = testsupport::DecodeAll(fresh, b);
    const auto got = testsupport::DecodeAll(reused, b);
    ASSERT_TRUE(got.opened);
    EXPECT_EQ(got.samples, expected.samples);
    EXPECT_EQ(reused.GetDuration(), fresh.GetDuration());
    EXPECT_EQ(reused.GetBitrate(), fresh.GetBitrate());
    EXPECT_EQ(reused.GetTotalLength(), fresh.GetTotalLength());
    EXPECT_EQ(reused.GetPosition(), fresh.GetPosition());
}

TEST(Reopen, SecondFileDecodesAsInAFreshReader) {
    // Decoder history, bit reservoirs or data bounds kept from a file half read would garble or
    // cut the next file opened on the same reader.
    const Bytes dwvw = Aiff({.aifc = true, .frames = 4000, .compression = "DWVW"}, Noise(2000, 5));
    const Bytes otherDwvw =
        Aiff({.aifc = true, .channels = 2, .frames = 900, .compression = "DWVW"}, Noise(900, 6));
    {
        SCOPED_TRACE("AIFF DWVW, then DWVW");
        ExpectReopenedLikeFresh<AiffSource>(dwvw, otherDwvw);
    }
    {
        SCOPED_TRACE("AU G.723, then linear");
        ExpectReopenedLikeFresh<AuSource>(Au({.encoding = 26, .channels = 2}, Noise(3001, 8)),
                                          Au({.encoding = 3, .channels = 2}, Noise(3000, 7)));
    }
}

// ---- Damaged and random input ----

struct DamageCase {
    const char* name;
    bool aiff;
    Bytes file;
};
void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.name;
}
class Damaged : public ::testing::TestWithParam<DamageCase> {};

template <typename Source>
void DecodeSafely(const Bytes& bytes) {
    Source src;
    const auto d = DecodeBytes(bytes, src, 5000);
    EXPECT_LT(d.blocks, 5000);
}

TEST_P(Damaged, TruncatedAndMutatedFilesEndCleanly) {
    // A cut or scribbled file must fail or end early, never read past a buffer or loop forever.
    const DamageCase& c = GetParam();
    const Bytes& good = c.file;
    auto decode = [&](const Bytes& b) {
        if (c.aiff)
            DecodeSafely<AiffSource>(b);
        else
            DecodeSafely<AuSource>(b);
    };
    for (std::size_t cut = 0; cut < good.size(); cut += cut < 96 ? 1 : 37)
        decode(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)));
    std::mt19937 rng(7);
    for (int round = 0; round < 150; ++round) {
        Bytes b = good;
        const int flips = 1 + static_cast<int>(rng() % 6);
        for (int k = 0; k < flips; ++k)
            b[rng() % std::min<std::size_t>(b.size(), 80)] = static_cast<std::uint8_t>(rng());
        decode(b);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Damaged,
    ::testing::Values(
        DamageCase{"AiffPcm16", true, Aiff({.channels = 2}, Noise(3000, 1))},
        DamageCase{"AiffPcm8Six", true, Aiff({.channels = 6, .bits = 8}, Noise(3000, 2))},
        DamageCase{"AifcIma4", true,
                   Aiff({.aifc = true, .channels = 2, .compression = "ima4"}, Noise(68 * 20, 3))},
        DamageCase{"AifcGsm", true,
                   Aiff({.aifc = true, .frames = 1600, .compression = "GSM "}, Noise(330, 4))},
        DamageCase{"AifcDwvw", true,
                   Aiff({.aifc = true, .frames = 4000, .bits = 16, .compression = "DWVW"}, Noise(2000, 5))},
        DamageCase{"AifcFloat64", true,
                   Aiff({.aifc = true, .bits = 64, .compression = "fl64"}, Noise(800, 6))},
        DamageCase{"AuPcm24", false, Au({.encoding = 4, .channels = 2}, Noise(3000, 7))},
        DamageCase{"AuG721", false, Au({.encoding = 23, .channels = 2}, Noise(3000, 8))},
        DamageCase{"AuG723_40", false, Au({.littleEndian = true, .encoding = 26}, Noise(3000, 9))},
        DamageCase{"AuUnknownSize", false, Au({.size = 0xFFFFFFFF, .encoding = 25}, Noise(3000, 10))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RandomInput, NeverCrashesOrHangs) {
    // Random bytes behind a valid magic reach every branch of the header parsers.
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        Bytes b = Noise(64 + rng() % 600, static_cast<unsigned>(round));
        if (round % 2 == 0) {
            std::memcpy(b.data(), "FORM", 4);
            std::memcpy(b.data() + 8, round % 4 == 0 ? "AIFC" : "AIFF", 4);
            std::memcpy(b.data() + 12, "COMM", 4);
            DecodeSafely<AiffSource>(b);
        } else {
            std::memcpy(b.data(), round % 3 == 0 ? "dns." : ".snd", 4);
            DecodeSafely<AuSource>(b);
        }
    }
}

}  // namespace
