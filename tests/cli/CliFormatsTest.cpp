#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "cli/CliHarness.h"
#include "support/AmrFrames.h"
#include "support/TestSupport.h"

namespace {

using namespace clitest;

struct FormatCase {
    const char* name;
    const char* file;                   // source file name; its extension picks the reader chain
    std::vector<std::string> makeArgs;  // tool and arguments; "IN" and "OUT" are replaced
    int maxDifference;                  // largest sample difference allowed against ffmpeg's decode
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

class CliFormats : public ::testing::TestWithParam<FormatCase> {};

// Writes a 1.5 s two-tone source in the case's format; false when its tool is missing or fails.
bool MakeSource(const CliHome& home, const FormatCase& c) {
    const std::string tone = home.File("tone.wav");
    if (testsupport::Run({"sox", "-n", "-r", "22050", "-c", "2", "-b", "16", tone, "synth", "1.5", "sine",
                          "440", "sine", "1000", "gain", "-3"}) != 0)
        return false;
    std::vector<std::string> make = c.makeArgs;
    for (auto& a : make) a = a == "IN" ? tone : a == "OUT" ? home.File(c.file) : a;
    return testsupport::HaveTool(make[0]) && testsupport::Run(make) == 0;
}

TEST_P(CliFormats, ConvertsToWavAsFfmpegDecodes) {
    // Every reader family must reach the WAV writer through the chains and decode like a peer.
    const FormatCase& c = GetParam();
    CliHome home;
    ASSERT_TRUE(MakeSource(home, c)) << c.name;

    const auto r = home.Run({"-q", "-t", "wav", "-o", home.File("out"), home.File(c.file)});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string stem = std::string(c.file).substr(0, std::string(c.file).rfind('.'));
    const std::string output = home.File("out/" + stem + ".wav");
    const WavContent ours = ReadWav(output);
    EXPECT_EQ(ours.rate, 22050);
    ASSERT_EQ(ours.channels, 2);
    const std::vector<std::int16_t> peer = testsupport::FfmpegDecodeS16(home.File(c.file), 2);
    ASSERT_FALSE(peer.empty());
    // Lossy decoders may differ by a frame of priming; compare what both have, from the start.
    const std::size_t frames = std::min(ours.Frames(), peer.size() / 2);
    EXPECT_GT(frames, 22050u);
    int worst = 0;
    for (std::size_t i = 0; i < frames; ++i)
        for (int ch = 0; ch < 2; ++ch)
            worst =
                std::max(worst, std::abs(ours.Sample16(i, ch) - peer[i * 2 + static_cast<std::size_t>(ch)]));
    EXPECT_LE(worst, c.maxDifference);
}

TEST_P(CliFormats, ConvertsToMp3) {
    // The same families must reach the MP3 encoder: a valid file of the source's length.
    const FormatCase& c = GetParam();
    CliHome home;
    ASSERT_TRUE(MakeSource(home, c)) << c.name;
    const auto r = home.Run({"-q", "-t", "mp3", "-o", home.File("out"), home.File(c.file)});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string stem = std::string(c.file).substr(0, std::string(c.file).rfind('.'));
    const std::vector<std::int16_t> decoded =
        testsupport::FfmpegDecodeS16(home.File("out/" + stem + ".mp3"), 2);
    // Automatic parameters keep 22050 Hz and the MP3 decodes to exactly what the source decoded to:
    // its length, give or take the frame of 2048 samples a lossy source's decoder (WMA) keeps back.
    EXPECT_GE(decoded.size() / 2, 33075u - 2048u);
    EXPECT_LE(decoded.size() / 2, 33075u + 2048u);
}

TEST_P(CliFormats, ConvertsToBothAmrBands) {
    // The same families must reach both AMR encoders: a 1.5 s source gives 75 frames of 20 ms.
    const FormatCase& c = GetParam();
    CliHome home;
    ASSERT_TRUE(MakeSource(home, c)) << c.name;
    const std::string stem = std::string(c.file).substr(0, std::string(c.file).rfind('.'));
    for (const char* format : {"amr", "awb"}) {
        SCOPED_TRACE(format);
        const auto r = home.Run({"-q", "-t", format, "-o", home.File("out"), home.File(c.file)});
        ASSERT_EQ(r.status, 0) << r.out;
        const auto file =
            testsupport::ParseAmrFile(testsupport::ReadBytes(home.File("out/" + stem + "." + format)));
        ASSERT_TRUE(file);
        EXPECT_EQ(file->wide, std::string(format) == "awb");
        // Lossy sources may carry a frame of priming or padding.
        EXPECT_NEAR(static_cast<double>(file->frames.size()), 75.0, 4.0);
    }
}

TEST_P(CliFormats, ConvertsToOgg) {
    // The same families must reach the Vorbis encoder: a valid stream of the source's length.
    const FormatCase& c = GetParam();
    if (!testsupport::HaveTool("oggz-validate")) GTEST_SKIP();
    CliHome home;
    ASSERT_TRUE(MakeSource(home, c)) << c.name;
    const auto r = home.Run({"-q", "-t", "ogg", "-o", home.File("out"), home.File(c.file)});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string stem = std::string(c.file).substr(0, std::string(c.file).rfind('.'));
    const std::string output = home.File("out/" + stem + ".ogg");
    EXPECT_EQ(testsupport::Run({"oggz-validate", output}), 0);
    // Automatic parameters keep 22050 Hz; Vorbis ends exactly, lossy sources may add a frame.
    const std::vector<std::int16_t> decoded = testsupport::FfmpegDecodeS16(output, 2);
    EXPECT_GE(decoded.size() / 2, 33075u - 1152u);
    EXPECT_LE(decoded.size() / 2, 33075u + 2 * 1152u);
}

TEST_P(CliFormats, ConvertsToWmaWithNoAudioLost) {
    // The same families must reach the WMA writer; the whole source comes back from the file.
    const FormatCase& c = GetParam();
    CliHome home;
    ASSERT_TRUE(MakeSource(home, c)) << c.name;
    const auto r = home.Run({"-q", "-t", "wma", "-o", home.File("out"), home.File(c.file)});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string stem = std::string(c.file).substr(0, std::string(c.file).rfind('.'));
    const std::vector<std::int16_t> decoded =
        testsupport::FfmpegDecodeS16(home.File("out/" + stem + ".wma"), 2);
    // Automatic parameters take a 22050 Hz stereo source to 44100 Hz; lossy sources bring their
    // own priming, the WMA file adds at most its trailing frames.
    EXPECT_GE(decoded.size() / 2, 66150u);
    EXPECT_LE(decoded.size() / 2, 66150u + 4 * 2048u + 4 * 1152u);
}

TEST_P(CliFormats, ConvertsToAacAndMp4) {
    // The same families must reach libfaac at the source's rate, in ADTS and in an MP4 track.
    const FormatCase& c = GetParam();
    CliHome home;
    ASSERT_TRUE(MakeSource(home, c)) << c.name;
    const std::string stem = std::string(c.file).substr(0, std::string(c.file).rfind('.'));
    for (const char* format : {"aac", "m4a"}) {
        const auto r = home.Run({"-q", "-t", format, "-o", home.File("out"), home.File(c.file)});
        ASSERT_EQ(r.status, 0) << format << "\n" << r.out;
        const std::string out = home.File("out/" + stem + "." + format);
        std::string rate;
        testsupport::Run(
            {"ffprobe", "-v", "error", "-show_entries", "stream=sample_rate", "-of", "csv=p=0", out}, &rate);
        EXPECT_EQ(rate, "22050\n") << format;
        // libfaac's delay (a frame) and the last frame's padding come on top in ADTS; MP4 timing
        // leaves at most one frame. A WMA source itself may come back a packet short.
        const std::vector<std::int16_t> decoded = testsupport::FfmpegDecodeS16(out, 2);
        EXPECT_GE(decoded.size() / 2, 33075u - 2048u) << format;
        EXPECT_LE(decoded.size() / 2, 33075u + 3 * 1024u) << format;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Families, CliFormats,
    ::testing::Values(
        FormatCase{"Aiff", "s.aiff", {"sox", "IN", "OUT"}, 0},
        FormatCase{
            "AiffcSowt", "s.aifc", {"ffmpeg", "-v", "error", "-i", "IN", "-c:a", "pcm_s16le", "OUT"}, 0},
        FormatCase{"AuMuLaw", "s.au", {"sox", "IN", "-e", "mu-law", "OUT"}, 0},
        FormatCase{"Flac", "s.flac", {"flac", "-s", "-f", "-o", "OUT", "IN"}, 0},
        FormatCase{"WavPack", "s.wv", {"wavpack", "-q", "-y", "IN", "-o", "OUT"}, 0},
        FormatCase{"OggVorbis", "s.ogg", {"oggenc", "-Q", "-o", "OUT", "IN"}, 2},
        FormatCase{"Mp3", "s.mp3", {"lame", "--quiet", "-b", "128", "IN", "OUT"}, 2},
        FormatCase{"AacInM4a", "s.m4a", {"ffmpeg", "-v", "error", "-i", "IN", "-c:a", "aac", "OUT"}, 2},
        FormatCase{"Matroska", "s.mka", {"ffmpeg", "-v", "error", "-i", "IN", "-c:a", "flac", "OUT"}, 0},
        FormatCase{"Wma", "s.wma", {"ffmpeg", "-v", "error", "-i", "IN", "-c:a", "wmav2", "OUT"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
