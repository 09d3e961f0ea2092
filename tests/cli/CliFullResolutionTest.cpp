#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliHarness.h"
#include "support/TestSupport.h"

namespace {

using namespace clitest;
namespace ts = testsupport;

// ffmpeg's decode of a file in a raw sample format ("s24le", "s16le", "f64le").
std::string Raw(const std::string& path, const char* format) {
    std::string raw;
    ts::Run({"ffmpeg", "-v", "error", "-nostdin", "-i", path, "-f", format, "-"}, &raw);
    return raw;
}

std::vector<double> Doubles(const std::string& raw) {
    std::vector<double> v(raw.size() / 8);
    if (!v.empty()) std::memcpy(v.data(), raw.data(), v.size() * 8);
    return v;
}

std::vector<std::int16_t> Shorts(const std::string& raw) {
    std::vector<std::int16_t> v(raw.size() / 2);
    if (!v.empty()) std::memcpy(v.data(), raw.data(), v.size() * 2);
    return v;
}

// The options of an explicit 16-bit WAV at the source's rate and channels.
const std::vector<std::string> kWav16 = {"--set", "AutoDestWAVEncodingParam=0",
                                         "--set", "WAVBitsPerSample=16",
                                         "--set", "WAVSampleRate=0",
                                         "--set", "WAVChannelNum=0"};

std::vector<std::string> Args(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

struct DeepCase {
    const char* name;
    const char* file;
    std::vector<std::string> make;  // from the 24-bit master; IN and OUT are replaced
};

class CliTwentyFourBit : public ::testing::TestWithParam<DeepCase> {};

TEST_P(CliTwentyFourBit, ComesOutOfAWavBitForBit) {
    // A 24-bit source must keep its low byte all the way to a 24-bit WAV, even at -120 dBFS.
    const DeepCase& c = GetParam();
    CliHome home;
    const std::string master = home.File("master.wav"), source = home.File(c.file);
    ASSERT_EQ(ts::Run({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                       "aevalsrc=0.000001*sin(2*PI*1000*t)|0.5*sin(2*PI*300*t):s=48000:d=1.1", "-c:a",
                       "pcm_s24le", master}),
              0);
    if (!c.make.empty()) {
        std::vector<std::string> argv;
        for (const auto& a : c.make) argv.push_back(a == "IN" ? master : a == "OUT" ? source : a);
        ASSERT_EQ(ts::Run(argv), 0);
    }
    const auto r = home.Run({"-q", "-t", "wav", "-o", home.File("out"), source});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string output =
        home.File("out/" + std::string(c.file).substr(0, std::string(c.file).rfind('.')) + ".wav");
    std::string codec;
    ts::Run({"ffprobe", "-v", "error", "-show_entries", "stream=codec_name", "-of", "csv=p=0", output},
            &codec);
    EXPECT_EQ(codec, "pcm_s24le\n");
    const std::string ours = Raw(output, "s24le"), peer = Raw(source, "s24le");
    ASSERT_FALSE(peer.empty());
    EXPECT_TRUE(ours == peer) << ours.size() << " bytes against " << peer.size();
    if (source.ends_with(".flac")) {  // and against the reference decoder's own output
        const std::string decoded = home.File("flac-d.wav");
        ASSERT_EQ(ts::Run({"flac", "-d", "-s", "-f", "-o", decoded, source}), 0);
        EXPECT_TRUE(ours == Raw(decoded, "s24le"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, CliTwentyFourBit,
    ::testing::Values(DeepCase{"Wav", "master.wav", {}},
                      DeepCase{"Flac", "deep.flac", {"flac", "-s", "-f", "-o", "OUT", "IN"}},
                      DeepCase{"WavPack", "deep.wv", {"wavpack", "-q", "-y", "IN", "-o", "OUT"}},
                      DeepCase{"Aiff",
                               "deep.aiff",
                               {"ffmpeg", "-v", "error", "-y", "-i", "IN", "-c:a", "pcm_s24be", "OUT"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliFullResolution, FloatBeyondFullScaleClipsAndIsReported) {
    // Samples at ±1.5 must clip at full scale (never wrap to the other sign) and be counted.
    CliHome home;
    const std::string source = home.File("loud.wav");
    ASSERT_EQ(ts::Run({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                       "aevalsrc=1.5*sin(2*PI*100*t):s=8000:d=0.5", "-c:a", "pcm_f32le", source}),
              0);
    const auto r = home.Run(Args({"-q", "-t", "wav", "-o", home.File("out"), source}, kWav16));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("loud.wav: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" samples clipped"), std::string::npos) << r.err;
    const std::vector<double> in = Doubles(Raw(source, "f64le"));
    const std::vector<std::int16_t> out = Shorts(Raw(home.File("out/loud.wav"), "s16le"));
    ASSERT_EQ(in.size(), out.size());
    std::size_t clipped = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (std::fabs(in[i]) <= 1.0) continue;
        ++clipped;
        EXPECT_EQ(out[i], in[i] > 0 ? 32767 : -32768) << "sample " << i;
    }
    EXPECT_NE(r.err.find(": " + std::to_string(clipped) + " samples clipped"), std::string::npos) << r.err;
}

TEST(CliFullResolution, DitherLeavesAnErrorUncorrelatedWithTheSignal) {
    // Plain requantisation of a -93 dBFS tone gives an error that follows the tone (distortion).
    CliHome home;
    const std::string source = home.File("quiet.wav");
    ASSERT_EQ(ts::Run({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                       "aevalsrc=0.0000223872*sin(2*PI*1000*t):s=44100:d=2", "-c:a", "pcm_s24le", source}),
              0);
    auto correlation = [&](const char* dither) {
        const std::string folder = home.File(std::string("out") + dither);
        const auto r = home.Run(Args(
            {"-q", "-t", "wav", "-o", folder, "--set", std::string("Dither=") + dither, source}, kWav16));
        EXPECT_EQ(r.status, 0) << r.err;
        const std::vector<double> x = Doubles(Raw(source, "f64le"));
        const std::vector<std::int16_t> q = Shorts(Raw(folder + "/quiet.wav", "s16le"));
        EXPECT_EQ(x.size(), q.size());
        double se = 0, sx = 0, sex = 0, see = 0, sxx = 0;
        const std::size_t n = std::min(x.size(), q.size());
        for (std::size_t i = 0; i < n; ++i) {
            const double xs = x[i] * 32768, e = q[i] - xs;
            se += e, sx += xs, sex += e * xs, see += e * e, sxx += xs * xs;
        }
        const double m = double(n);
        return (sex - se * sx / m) / std::sqrt((see - se * se / m) * (sxx - sx * sx / m));
    };
    EXPECT_LT(std::fabs(correlation("1")), 0.02);
    EXPECT_GT(std::fabs(correlation("0")), 0.3);
}

TEST(CliFullResolution, DitheredBatchIsTheSameWithOneJobOrTwoAndHoweverItsPathsAreSpelled) {
    // Dither drawn from one generator across files would make the bytes depend on the finishing order;
    // dither seeded by the path as typed would make a planned run (absolute paths) differ from this one.
    CliHome home;
    std::vector<std::string> sources, spelled;
    std::filesystem::create_directories(home.File("sub"));
    for (int i = 0; i < 4; ++i) {
        sources.push_back(home.File("s" + std::to_string(i) + ".wav"));
        spelled.push_back(home.File("sub/../s" + std::to_string(i) + ".wav"));
        ASSERT_EQ(ts::Run({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                           "aevalsrc=0.001*sin(2*PI*" + std::to_string(300 + 100 * i) + "*t):s=48000:d=0.7",
                           "-c:a", "pcm_s24le", sources.back()}),
                  0);
    }
    for (const char* run : {"1", "2", "spelled"}) {
        const char* jobs = run[0] == '2' ? "2" : "1";
        auto args = Args({"-q", "-t", "wav", "-j", jobs, "-o", home.File(std::string("j") + run)}, kWav16);
        const auto& in = run[0] == 's' ? spelled : sources;
        args.insert(args.end(), in.begin(), in.end());
        ASSERT_EQ(home.Run(args).status, 0);
    }
    for (int i = 0; i < 4; ++i) {
        const std::string name = "/s" + std::to_string(i) + ".wav";
        EXPECT_EQ(ts::ReadBytes(home.File("j1" + name)), ts::ReadBytes(home.File("j2" + name))) << name;
        EXPECT_EQ(ts::ReadBytes(home.File("j1" + name)), ts::ReadBytes(home.File("jspelled" + name))) << name;
    }
}

}  // namespace
