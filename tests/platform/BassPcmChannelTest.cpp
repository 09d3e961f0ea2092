#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "platform/AvLibraries.h"
#include "platform/BassAvChannel.h"
#include "platform/BassLibrary.h"
#include "platform/BassPcmChannel.h"
#include "support/TestSupport.h"
#include "support/WavBuilder.h"

namespace {

using testsupport::Bytes;
using testsupport::Chunk;
using testsupport::FmtPayload;
using testsupport::PutLe;
using testsupport::Riff;

Bytes Noise(std::size_t n, std::uint32_t seed) {
    Bytes out(n);
    for (auto& b : out) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return out;
}

// Float samples around full scale, with the values whose conversion is easy to get wrong: exact
// halves (ties round to even), beyond full scale, infinities, NaN and huge magnitudes.
template <class T>
Bytes Floats(std::size_t count, bool bigEndian) {
    const T specials[] = {T(0.5) / 32768,
                          T(1.5) / 32768,
                          T(-2.5) / 32768,
                          T(1),
                          T(-1),
                          T(1.25),
                          T(-3),
                          T(70000),
                          T(-70000),
                          T(1e30),
                          std::numeric_limits<T>::infinity(),
                          -std::numeric_limits<T>::infinity(),
                          std::numeric_limits<T>::quiet_NaN(),
                          T(32767.5) / 32768,
                          T(-32768.5) / 32768};
    Bytes out;
    std::uint32_t seed = 7;
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        T v = i < std::size(specials) ? specials[i] : T(static_cast<std::int32_t>(seed) / 1.5e9);
        std::uint8_t b[sizeof(T)];
        std::memcpy(b, &v, sizeof v);
        if (bigEndian) std::reverse(std::begin(b), std::end(b));
        out.insert(out.end(), std::begin(b), std::end(b));
    }
    return out;
}

Bytes Extensible(int validBits, std::uint32_t mask, std::uint32_t subTag) {
    Bytes e;
    PutLe(e, 0, 2, 22);
    PutLe(e, 2, 2, static_cast<std::uint64_t>(validBits));
    PutLe(e, 4, 4, mask);
    PutLe(e, 8, 4, subTag);
    const std::uint8_t guid[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    e.insert(e.end(), std::begin(guid), std::end(guid));
    return e;
}

Bytes Wav(int tag, int channels, int bits, const Bytes& data, const Bytes& extra = {}) {
    return testsupport::SimpleWav(tag, channels, 44100, bits, data, extra);
}

Bytes Fmt(int tag, int channels, int bits, const Bytes& extra = {}) {
    return Chunk("fmt ", FmtPayload(tag, channels, 44100, channels * ((bits + 7) / 8), bits, extra));
}

void PutBe(Bytes& b, std::size_t at, int width, std::uint64_t v) {
    if (b.size() < at + static_cast<std::size_t>(width)) b.resize(at + static_cast<std::size_t>(width));
    for (int i = 0; i < width; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * (width - 1 - i)));
}

Bytes AiffChunk(const std::string& id, const Bytes& payload) {
    Bytes out(id.begin(), id.end());
    PutBe(out, 4, 4, payload.size());
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() % 2) out.push_back(0);
    return out;
}

Bytes Comm(int channels, std::uint32_t frames, int bits, std::uint32_t rate,
           const std::string& compression = "") {
    Bytes c;
    PutBe(c, 0, 2, static_cast<std::uint64_t>(channels));
    PutBe(c, 2, 4, frames);
    PutBe(c, 6, 2, static_cast<std::uint64_t>(bits));
    // 80-bit extended: biased exponent, then the mantissa with its leading one at the top.
    const int shift = std::countl_zero(std::uint64_t{rate});
    PutBe(c, 8, 2, static_cast<std::uint64_t>(16383 + 63 - shift));
    PutBe(c, 10, 8, std::uint64_t{rate} << shift);
    if (!compression.empty()) {
        c.insert(c.end(), compression.begin(), compression.end());
        c.push_back(0);  // empty name, padded
        c.push_back(0);
    }
    return AiffChunk("COMM", c);
}

Bytes Ssnd(const Bytes& data, std::uint32_t offset = 0) {
    Bytes s;
    PutBe(s, 0, 4, offset);
    PutBe(s, 4, 4, 0);
    s.resize(8 + offset, 0xEE);
    s.insert(s.end(), data.begin(), data.end());
    return AiffChunk("SSND", s);
}

Bytes Form(const std::vector<Bytes>& chunks, bool aifc = false) {
    const std::string head = aifc ? "FORM....AIFC" : "FORM....AIFF";
    Bytes out(head.begin(), head.end());
    if (aifc) {
        Bytes v;
        PutBe(v, 0, 4, 0xA2805140u);
        const Bytes fver = AiffChunk("FVER", v);
        out.insert(out.end(), fver.begin(), fver.end());
    }
    for (const auto& c : chunks) out.insert(out.end(), c.begin(), c.end());
    PutBe(out, 4, 4, out.size() - 8);
    return out;
}

Bytes Aiff(int channels, int bits, std::uint32_t frames, std::uint32_t rate = 44100) {
    const std::size_t bytes =
        static_cast<std::size_t>(channels) * static_cast<std::size_t>((bits + 7) / 8) * frames;
    return Form({Comm(channels, frames, bits, rate), Ssnd(Noise(bytes, frames))});
}

Bytes Aifc(int channels, int bits, std::uint32_t frames, const std::string& compression, const Bytes& data) {
    return Form({Comm(channels, frames, bits, 48000, compression), Ssnd(data)}, true);
}

Bytes WithSize(Bytes file, const std::string& chunk, std::uint32_t size) {
    PutLe(file, testsupport::FindChunk(file, chunk) - 4, 4, size);
    return file;
}

Bytes Truncated(Bytes file, std::size_t drop) {
    file.resize(file.size() - drop);
    return file;
}

Bytes Cat(std::vector<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct FileCase {
    const char* name;
    std::function<Bytes()> make;
    bool native;  // false: left to the general decoder
};
void PrintTo(const FileCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Demuxer(const Bytes& file) {
    return file.size() >= 4 && std::memcmp(file.data(), "FORM", 4) == 0 ? "aiff" : "wav";
}

std::vector<std::uint8_t> ReadAll(BassChannel& ch) {
    std::vector<std::uint8_t> all;
    std::vector<std::uint8_t> buf(4099);  // an odd request size: whole frames only come back
    for (std::uint32_t n;
         (n = ch.GetData(buf.data(), static_cast<std::uint32_t>(buf.size()))) != 0xFFFFFFFFu;) {
        if (n == 0) break;
        all.insert(all.end(), buf.begin(), buf.begin() + n);
    }
    return all;
}

// Every field and every byte must equal what the general decoder gives for the same file.
void ExpectSameAsGeneralDecoder(const std::string& path, const std::string& demuxer) {
    ASSERT_TRUE(LoadAvLibraries());
    auto native = BassPcmChannel::Open(path);
    auto general = BassAvChannel::Open(path, {}, av_find_input_format(demuxer.c_str()));
    ASSERT_TRUE(native);
    ASSERT_TRUE(general);
    const auto& n = native->Info();
    const auto& g = general->Info();
    EXPECT_EQ(n.freq, g.freq);
    EXPECT_EQ(n.chans, g.chans);
    EXPECT_EQ(n.eightBit, g.eightBit);
    EXPECT_EQ(n.ctype, g.ctype);
    EXPECT_EQ(n.length, g.length);
    EXPECT_EQ(n.fileStart, g.fileStart);
    EXPECT_EQ(n.fileEnd, g.fileEnd);
    const auto nativeBytes = ReadAll(*native);
    const auto generalBytes = ReadAll(*general);
    EXPECT_EQ(nativeBytes.size(), n.length);
    ASSERT_EQ(nativeBytes.size(), generalBytes.size());
    const auto diff = std::mismatch(nativeBytes.begin(), nativeBytes.end(), generalBytes.begin());
    EXPECT_TRUE(diff.first == nativeBytes.end())
        << "first differing byte at " << (diff.first - nativeBytes.begin());
}

class PcmFiles : public ::testing::TestWithParam<FileCase> {
protected:
    testsupport::TempDir m_dir;
};

TEST_P(PcmFiles, ReadLikeTheGeneralDecoderOrLeftToIt) {
    // Any difference from the decoder these files were read with before changes conversions.
    const Bytes file = GetParam().make();
    const std::string path = m_dir.File("in");
    testsupport::WriteBytes(path, file);
    if (GetParam().native)
        ExpectSameAsGeneralDecoder(path, Demuxer(file));
    else
        EXPECT_FALSE(BassPcmChannel::Open(path));
}

const FileCase kFiles[] = {
    // WAV, the formats read natively.
    {"U8Mono", [] { return Wav(1, 1, 8, Noise(1001, 1)); }, true},
    {"S16Stereo", [] { return Wav(1, 2, 16, Noise(4 * 3000, 2)); }, true},
    {"S24StereoOddLength", [] { return Wav(1, 2, 24, Noise(6 * 1001, 3)); }, true},
    {"S32SixChannels", [] { return Wav(1, 6, 32, Noise(24 * 777, 4)); }, true},
    {"TwelveBitsInSixteen", [] { return Wav(1, 1, 12, Noise(2 * 500, 5)); }, true},
    {"F32Stereo", [] { return Wav(3, 2, 32, Floats<float>(2 * 5000, false)); }, true},
    {"F64Mono", [] { return Wav(3, 1, 64, Floats<double>(5000, false)); }, true},
    {"F32RandomBits", [] { return Wav(3, 2, 32, Noise(8 * 3001, 6)); }, true},
    // Packets of 170 frames, read in several blocks: both of the resampler's ways in turn.
    {"F32SixChannelsRandomBits", [] { return Wav(3, 6, 32, Noise(24 * 4001, 61)); }, true},
    {"ExtensibleS16SixChannels",
     [] { return Wav(0xFFFE, 6, 16, Noise(12 * 999, 7), Extensible(16, 0x3F, 1)); }, true},
    {"ExtensibleS24Valid20", [] { return Wav(0xFFFE, 2, 24, Noise(6 * 999, 8), Extensible(20, 3, 1)); },
     true},
    {"ExtensibleF32NoMask",
     [] { return Wav(0xFFFE, 2, 32, Floats<float>(2 * 999, false), Extensible(32, 0, 3)); }, true},
    {"ExtensibleF64", [] { return Wav(0xFFFE, 1, 64, Floats<double>(999, false), Extensible(64, 4, 3)); },
     true},
    {"OddDataChunkThenList",
     [] {
         return Riff(
             {Fmt(1, 1, 24), Chunk("data", Noise(3 * 333, 9)), Chunk("LIST", Bytes{'I', 'N', 'F', 'O'})});
     },
     true},
    {"ChunksBeforeData",
     [] {
         return Riff(
             {Chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c', 0}),
              Fmt(1, 2, 16), Chunk("fact", Bytes{1, 0, 0, 0}), Chunk("junk", Noise(7, 1)),
              Chunk("data", Noise(4 * 800, 10))});
     },
     true},
    {"DataBeforeFmt",
     [] {
         return Riff({Chunk("data", Noise(4 * 800, 11)), Fmt(1, 2, 16)});
     },
     true},
    {"PartialLastFrame",
     [] {
         return Riff({Fmt(1, 2, 16), Chunk("data", Noise(4 * 800 + 3, 12))});
     },
     true},
    {"DataSizeZeroRunsToTheEnd", [] { return WithSize(Wav(1, 2, 16, Noise(4 * 900 + 2, 13)), "data", 0); },
     true},
    {"DataSizeAllOnes", [] { return WithSize(Wav(1, 2, 24, Noise(6 * 900, 14)), "data", 0xFFFFFFFFu); },
     true},
    {"DataSizePastTheEnd", [] { return WithSize(Wav(1, 1, 16, Noise(2 * 900, 15)), "data", 1u << 30); },
     true},
    {"TruncatedData", [] { return Truncated(Wav(1, 2, 16, Noise(4 * 2000, 16)), 1001); }, true},
    {"TrailingBytesAfterData",
     [] {
         return Cat({Wav(1, 2, 16, Noise(4 * 700, 17)), Noise(5, 3)});
     },
     true},
    // WAV left to the general decoder.
    {"Adpcm", [] { return Wav(2, 1, 4, Noise(512, 18)); }, false},
    {"OddBlockAlign",
     [] {
         return Riff({Chunk("fmt ", FmtPayload(1, 2, 44100, 3, 16)), Chunk("data", Noise(4000, 19))});
     },
     false},
    {"ThirtyThreeChannels", [] { return Wav(1, 33, 16, Noise(66 * 10, 20)); }, false},
    {"NoFmt", [] { return Riff({Chunk("data", Noise(400, 21))}); }, false},
    {"NoData", [] { return Riff({Fmt(1, 1, 16)}); }, false},
    {"EmptyData", [] { return Wav(1, 2, 16, {}); }, false},
    {"TwoDataChunks",
     [] {
         return Riff({Fmt(1, 1, 16), Chunk("data", Noise(200, 22)), Chunk("data", Noise(200, 23))});
     },
     false},
    {"FactWithUnsizedData",
     [] {
         return WithSize(
             Riff({Fmt(3, 1, 32), Chunk("fact", Bytes{9, 0, 0, 0}), Chunk("data", Noise(400, 24))}), "data",
             0);
     },
     false},
    {"ExtraFormatBytes",
     [] {
         return Wav(1, 1, 32, Noise(400, 25), Bytes{2, 0, 1, 0});
     },
     false},
    {"ExtensibleUnknownSubformat", [] { return Wav(0xFFFE, 2, 16, Noise(400, 26), Extensible(16, 3, 0x55)); },
     false},
    {"ExtensibleMaskDisagrees", [] { return Wav(0xFFFE, 2, 16, Noise(400, 27), Extensible(16, 7, 1)); },
     false},
    {"SpdifBursts",
     [] {
         return Wav(1, 2, 16,
                    Cat({Noise(100, 28), Bytes{0x72, 0xF8, 0x1F, 0x4E, 1, 0, 0, 0x20}, Noise(4000, 29)}));
     },
     false},
    {"ShortList",
     [] {
         return Riff({Fmt(1, 1, 16), Chunk("LIST", Bytes{1}), Chunk("data", Noise(400, 30))});
     },
     false},
    {"RateZero",
     [] {
         return Riff({Chunk("fmt ", FmtPayload(1, 1, 0, 2, 16)), Chunk("data", Noise(400, 31))});
     },
     false},
    // AIFF and AIFF-C.
    {"AiffS8Mono", [] { return Aiff(1, 8, 1001); }, true},
    {"AiffS16Stereo", [] { return Aiff(2, 16, 3000, 22050); }, true},
    {"AiffS24OddLength", [] { return Aiff(2, 24, 1001, 96000); }, true},
    {"AiffS32SixChannels", [] { return Aiff(6, 32, 777, 8000); }, true},
    {"AiffTwentyBits", [] { return Aiff(1, 20, 500, 11025); }, true},
    {"AifcNone", [] { return Aifc(2, 16, 800, "NONE", Noise(4 * 800, 40)); }, true},
    {"AifcTwos", [] { return Aifc(2, 16, 800, "twos", Noise(4 * 800, 41)); }, true},
    {"AifcSowt", [] { return Aifc(2, 16, 800, "sowt", Noise(4 * 800, 42)); }, true},
    {"AifcIn24", [] { return Aifc(1, 24, 800, "in24", Noise(3 * 800, 43)); }, true},
    {"AifcIn32", [] { return Aifc(1, 32, 800, "in32", Noise(4 * 800, 44)); }, true},
    {"AifcFl32", [] { return Aifc(2, 32, 1000, "fl32", Floats<float>(2000, true)); }, true},
    {"AifcFl64", [] { return Aifc(1, 64, 1000, "fl64", Floats<double>(1000, true)); }, true},
    {"AifcRaw", [] { return Aifc(1, 8, 800, "raw ", Noise(800, 45)); }, true},
    {"AiffSoundOffset",
     [] {
         return Form({Comm(1, 300, 16, 44100), Ssnd(Noise(600, 46), 5)});
     },
     true},
    {"AiffCommAfterSound",
     [] {
         return Form(
             {AiffChunk("NAME", Bytes{'o', 'd', 'd'}), Ssnd(Noise(600, 47)), Comm(1, 300, 16, 44100)});
     },
     true},
    {"AiffMoreSoundThanFrames",
     [] {
         return Form({Comm(2, 100, 16, 44100), Ssnd(Noise(4 * 300 + 1, 48))});
     },
     true},
    {"AiffFormSizeTooLarge",
     [] {
         Bytes f = Aiff(1, 16, 200);
         PutBe(f, 4, 4, f.size() + 100);
         return f;
     },
     true},
    // AIFF left to the general decoder.
    {"AiffTruncated", [] { return Truncated(Aiff(2, 16, 1000), 1001); }, false},
    {"AiffNoFrames",
     [] {
         return Form({Comm(1, 0, 16, 44100), Ssnd(Noise(600, 49))});
     },
     false},
    {"AiffNoComm", [] { return Form({Ssnd(Noise(600, 50))}); }, false},
    {"AifcUlaw", [] { return Aifc(1, 16, 800, "ulaw", Noise(800, 51)); }, false},
    {"AiffFormSizeTooSmall",
     [] {
         Bytes f = Aiff(1, 16, 200);
         PutBe(f, 4, 4, 30);
         return f;
     },
     false},
};

INSTANTIATE_TEST_SUITE_P(Layouts, PcmFiles, ::testing::ValuesIn(kFiles),
                         [](const auto& info) { return std::string(info.param.name); });

// Files as real tools write them (fact chunks, extensible headers, AIFF-C version chunks).
struct ToolCase {
    const char* name;
    std::vector<std::string> argv;  // "OUT" is the file to write
    const char* extension;
};
void PrintTo(const ToolCase& c, std::ostream* os) {
    *os << c.name;
}

class ToolFiles : public ::testing::TestWithParam<ToolCase> {
protected:
    testsupport::TempDir m_dir;
};

TEST_P(ToolFiles, ReadLikeTheGeneralDecoder) {
    // What sox and ffmpeg write must take the native path and read the same.
    const std::string path = m_dir.File(std::string("in.") + GetParam().extension);
    auto argv = GetParam().argv;
    for (auto& a : argv)
        if (a == "OUT") a = path;
    ASSERT_EQ(testsupport::Run(argv), 0);
    ExpectSameAsGeneralDecoder(path, std::string(GetParam().extension).rfind("aif", 0) == 0 ? "aiff" : "wav");
}

std::vector<std::string> Sox(std::vector<std::string> format, const char* seconds = "0.31") {
    std::vector<std::string> argv = {"sox", "-n", "-r", "44100"};
    argv.insert(argv.end(), format.begin(), format.end());
    argv.insert(argv.end(), {"OUT", "synth", seconds, "sine", "440", "sine", "1001", "vol", "0.9"});
    return argv;
}

std::vector<std::string> Ffmpeg(std::vector<std::string> codec, const char* channels = "2") {
    std::vector<std::string> argv = {
        "ffmpeg", "-v",    "error", "-nostdin", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=0.3",
        "-ac",    channels};
    argv.insert(argv.end(), codec.begin(), codec.end());
    argv.push_back("OUT");
    return argv;
}

INSTANTIATE_TEST_SUITE_P(
    Peers, ToolFiles,
    ::testing::Values(ToolCase{"SoxU8", Sox({"-c", "1", "-b", "8", "-e", "unsigned"}), "wav"},
                      ToolCase{"SoxS24", Sox({"-c", "2", "-b", "24"}), "wav"},
                      ToolCase{"SoxF32", Sox({"-c", "2", "-b", "32", "-e", "floating-point"}), "wav"},
                      ToolCase{"SoxF64SixChannels", Sox({"-c", "6", "-b", "64", "-e", "floating-point"}),
                               "wav"},
                      ToolCase{"SoxAiff24", Sox({"-c", "2", "-b", "24"}), "aiff"},
                      ToolCase{"SoxAifc16", Sox({"-c", "1", "-b", "16"}), "aifc"},
                      ToolCase{"FfmpegS16SixChannels", Ffmpeg({"-c:a", "pcm_s16le"}, "6"), "wav"},
                      ToolCase{"FfmpegS32", Ffmpeg({"-c:a", "pcm_s32le"}), "wav"},
                      ToolCase{"FfmpegF64", Ffmpeg({"-c:a", "pcm_f64le"}), "wav"},
                      ToolCase{"FfmpegAiffS8", Ffmpeg({"-c:a", "pcm_s8"}, "1"), "aiff"},
                      ToolCase{"FfmpegAiffS16", Ffmpeg({"-c:a", "pcm_s16be"}), "aiff"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PcmFileStream, PlainPcmTakesTheNativeReaderAndTheRestTheGeneralDecoder) {
    // A regression to the general decoder would load all of FFmpeg for the most common input.
    testsupport::TempDir dir;
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {{"pcm.wav", Wav(1, 2, 16, Noise(4000, 60))},
                 {"float.wav", Wav(3, 1, 32, Floats<float>(500, false))},
                 {"plain.aiff", Aiff(2, 16, 500)}};
    for (const auto& c : cases) {
        const std::string path = dir.File(c.name);
        testsupport::WriteBytes(path, c.file);
        const auto ch = OpenBassFileStream(path, {});
        ASSERT_TRUE(ch) << c.name;
        EXPECT_TRUE(dynamic_cast<BassPcmChannel*>(ch.get())) << c.name;
    }
    // Damage the native reader leaves alone still opens through the general decoder.
    const std::string truncated = dir.File("truncated.aiff");
    testsupport::WriteBytes(truncated, Truncated(Aiff(2, 16, 1000), 1001));
    const auto ch = OpenBassFileStream(truncated, {});
    ASSERT_TRUE(ch);
    EXPECT_FALSE(dynamic_cast<BassPcmChannel*>(ch.get()));
}

}  // namespace
