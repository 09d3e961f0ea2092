#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sources/AiffSource.h"
#include "sources/AuSource.h"
#include "sources/BassSource.h"
#include "sources/DecoderStartup.h"
#include "sources/FfmpegSource.h"
#include "sources/FlacSource.h"
#include "sources/OggVorbisSource.h"
#include "sources/WavFileSource.h"
#include "support/TestSupport.h"

namespace {

namespace ts = testsupport;
using testsupport::TempDir;

// Every float block of an open source, interleaved by output channel.
std::vector<float> DrainFloats(AudioSource& src) {
    std::vector<float> all, l(kBlockFrames + 16, 7.0f), r(kBlockFrames + 16, 7.0f);
    const bool stereo = src.GetOutputChannels() == 2;
    for (int blocks = 0; blocks < 100000; ++blocks) {
        const int n = src.ReadBlock(l.data(), stereo ? r.data() : nullptr);
        if (n < 1) break;
        EXPECT_LE(n, kBlockFrames);
        EXPECT_EQ(l[kBlockFrames], 7.0f) << "wrote past the block";
        for (int k = 0; k < n; ++k) {
            all.push_back(l[static_cast<std::size_t>(k)]);
            if (stereo) all.push_back(r[static_cast<std::size_t>(k)]);
        }
    }
    return all;
}

// ffmpeg's decode as signed 32-bit (24-bit samples shifted up), or as floats.
std::vector<double> PeerDecode(const std::string& path, bool asFloat) {
    std::string raw;
    if (ts::Run({"ffmpeg", "-v", "error", "-nostdin", "-i", path, "-f", asFloat ? "f32le" : "s32le", "-"},
                &raw) != 0)
        return {};
    std::vector<double> out(raw.size() / 4);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (asFloat) {
            float v;
            std::memcpy(&v, raw.data() + 4 * i, 4);
            out[i] = v;
        } else {
            std::int32_t v;
            std::memcpy(&v, raw.data() + 4 * i, 4);
            out[i] = v / 2147483648.0;
        }
    }
    return out;
}

struct Case {
    const char* name;
    const char* file;               // made from the 24-bit master by the command below
    std::vector<std::string> make;  // IN and OUT stand for the files
    std::function<std::unique_ptr<AudioSource>()> reader;
    int heldBits;
    bool floatSamples;
};

class FullResolutionSource : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>();
        // A tone far below 16-bit resolution plus one near full scale, so both ends of a 24-bit
        // word are exercised; the odd length ends inside a block.
        ts::Run(
            {"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
             "aevalsrc=0.000005*sin(2*PI*1000*t)+0.9*sin(2*PI*50*t)|0.00001*sin(2*PI*700*t):s=44100:d=0.73",
             "-c:a", "pcm_s24le", s_dir->File("master.wav")});
        ts::Run({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                 "aevalsrc=1.5*sin(2*PI*440*t)|0.00001*sin(2*PI*700*t):s=48000:d=0.4", "-c:a", "pcm_f32le",
                 s_dir->File("float.wav")});
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    void SetUp() override { ASSERT_EQ(StartDecodingLibraries(), DecoderStartupResult::Started); }
    void TearDown() override { ShutDownDecodingLibraries(); }
    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_P(FullResolutionSource, DeliversEveryBitTheFileHolds) {
    // A reader that keeps only the upper 16 bits (or clips floats) loses what the file holds.
    const Case& c = GetParam();
    std::string path = s_dir->File(c.file);
    if (!c.make.empty()) {
        std::vector<std::string> argv;
        for (const auto& a : c.make)
            argv.push_back(a == "IN" ? s_dir->File("master.wav") : a == "OUT" ? path : a);
        ASSERT_EQ(ts::Run(argv), 0) << c.name;
    }
    auto src = c.reader();
    ASSERT_TRUE(src->Open(path.c_str(), 0));
    EXPECT_EQ(src->GetHeldBits(), c.heldBits);
    ASSERT_EQ(src->RequestFullResolution(), 1);
    EXPECT_EQ(src->GetBitsPerSample(), kFloatBits);
    const std::vector<float> ours = DrainFloats(*src);
    const std::vector<double> peer = PeerDecode(path, c.floatSamples);
    ASSERT_EQ(ours.size(), peer.size());
    ASSERT_FALSE(ours.empty());
    std::size_t differ = 0;
    for (std::size_t i = 0; i < ours.size(); ++i)
        if (static_cast<double>(ours[i]) != peer[i]) ++differ;
    EXPECT_EQ(differ, 0u);
}

template <typename T>
std::function<std::unique_ptr<AudioSource>()> Make() {
    return [] { return std::make_unique<T>(); };
}

INSTANTIATE_TEST_SUITE_P(
    Readers, FullResolutionSource,
    ::testing::Values(
        Case{"WavNative", "master.wav", {}, Make<BassSource>(), 24, false},
        Case{"WavOwnReader", "master.wav", {}, Make<WavFileSource>(), 24, false},
        Case{"Wav32",
             "s32.wav",
             {"ffmpeg", "-v", "error", "-y", "-i", "IN", "-c:a", "pcm_s32le", "OUT"},
             Make<WavFileSource>(),
             32,
             false},
        Case{"FloatWavNative", "float.wav", {}, Make<BassSource>(), kFloatBits, true},
        Case{"FloatWavOwnReader", "float.wav", {}, Make<WavFileSource>(), kFloatBits, true},
        Case{"Aiff",
             "t.aiff",
             {"ffmpeg", "-v", "error", "-y", "-i", "IN", "-c:a", "pcm_s24be", "OUT"},
             Make<AiffSource>(),
             24,
             false},
        Case{"AiffNative",
             "n.aiff",
             {"ffmpeg", "-v", "error", "-y", "-i", "IN", "-c:a", "pcm_s24be", "OUT"},
             Make<BassSource>(),
             24,
             false},
        Case{"Au",
             "t.au",
             {"ffmpeg", "-v", "error", "-y", "-i", "IN", "-c:a", "pcm_s24be", "OUT"},
             Make<AuSource>(),
             24,
             false},
        Case{"Flac", "t.flac", {"flac", "-s", "-f", "-o", "OUT", "IN"}, Make<BassSource>(), 24, false},
        Case{"FlacOwnReader",
             "o.flac",
             {"flac", "-s", "-f", "-o", "OUT", "IN"},
             Make<FlacSource>(),
             24,
             false},
        Case{"FlacThroughFfmpegSource",
             "f.flac",
             {"flac", "-s", "-f", "-o", "OUT", "IN"},
             Make<FfmpegSource>(),
             24,
             false},
        Case{"WavPack", "t.wv", {"wavpack", "-q", "-y", "IN", "-o", "OUT"}, Make<BassSource>(), 24, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Lossy decoders hand over their own floats when asked; the 16-bit blocks are those floats rounded.
struct LossyCase {
    const char* name;
    const char* file;
    std::vector<std::string> make;
    std::function<std::unique_ptr<AudioSource>()> reader;
};

class LossyFullResolution : public ::testing::TestWithParam<LossyCase> {
protected:
    void SetUp() override { ASSERT_EQ(StartDecodingLibraries(), DecoderStartupResult::Started); }
    void TearDown() override { ShutDownDecodingLibraries(); }
    TempDir m_dir;
};

TEST_P(LossyFullResolution, FloatsAgreeWithTheSixteenBitBlocks) {
    const LossyCase& c = GetParam();
    const std::string wav = m_dir.File("in.wav"), path = m_dir.File(c.file);
    ASSERT_EQ(
        ts::Run({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                 "aevalsrc=0.5*sin(2*PI*440*t)|0.3*sin(2*PI*660*t):s=44100:d=0.6", "-c:a", "pcm_s16le", wav}),
        0);
    std::vector<std::string> argv;
    for (const auto& a : c.make) argv.push_back(a == "IN" ? wav : a == "OUT" ? path : a);
    ASSERT_EQ(ts::Run(argv), 0);

    auto narrow = c.reader();
    ASSERT_TRUE(narrow->Open(path.c_str(), 0));
    std::vector<std::int16_t> l(kBlockFrames), r(kBlockFrames), sixteen;
    for (int n; (n = narrow->ReadBlock(l.data(), r.data())) > 0;)
        for (int k = 0; k < n; ++k) sixteen.insert(sixteen.end(), {l[std::size_t(k)], r[std::size_t(k)]});

    auto wide = c.reader();
    ASSERT_TRUE(wide->Open(path.c_str(), 0));
    ASSERT_EQ(wide->RequestFullResolution(), 1);
    const std::vector<float> floats = DrainFloats(*wide);
    ASSERT_EQ(floats.size(), sixteen.size());
    int worst = 0;
    for (std::size_t i = 0; i < floats.size(); ++i)
        worst = std::max(worst, static_cast<int>(std::lround(std::fabs(floats[i] * 32768.0 - sixteen[i]))));
    EXPECT_LE(worst, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Decoders, LossyFullResolution,
    ::testing::Values(
        LossyCase{"Mp3", "t.mp3", {"lame", "--quiet", "-b", "128", "IN", "OUT"}, Make<BassSource>()},
        LossyCase{"Vorbis", "t.ogg", {"oggenc", "-Q", "-o", "OUT", "IN"}, Make<OggVorbisSource>()},
        LossyCase{"Aac",
                  "t.m4a",
                  {"ffmpeg", "-v", "error", "-y", "-i", "IN", "-c:a", "aac", "OUT"},
                  Make<BassSource>()}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
