#include <gtest/gtest.h>
#include <taglib/flacfile.h>
#include <taglib/tpropertymap.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>

#include "encoders/ConversionRun.h"
#include "encoders/FlacWriter.h"
#include "support/PeerSignals.h"
#include "support/ScopedCodePage.h"

namespace {

namespace ts = testsupport;

const char* const kStereo =
    "0.4*sin(2*PI*440*t)+0.05*(random(0)-0.5)|0.3*sin(2*PI*660*t)+0.05*(random(1)-0.5)";
const char* const kMono = "0.4*sin(2*PI*440*t)+0.05*(random(0)-0.5)";

struct FlacCase {
    const char* name;
    int rate;
    const char* signal;
    const char* codec;  // of the source WAV
    double seconds;
    void (*configure)(ConversionSettings&);
    std::string expected;  // metaflac: rate, channels, bits, total samples
    bool lossless;         // flac -d gives back the source's samples
    int seekPoints;        // one every ten seconds
};

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

void PrintTo(const FlacCase& c, std::ostream* os) {
    *os << c.name;
}

class FlacOutput : public ::testing::TestWithParam<FlacCase> {};

TEST_P(FlacOutput, FlacToolsAcceptItAndLosslessMeansIdentical) {
    // flac -t checks every frame's CRC and the STREAMINFO MD5; a wrong depth, rate, length or a
    // changed sample is a broken archive.
    const FlacCase& c = GetParam();
    if (!testsupport::HaveTools({"ffmpeg", "flac", "metaflac"})) GTEST_SKIP() << "peer tool missing";
    convtest::ConversionRun run(kFormatFlac);
    if (c.configure) c.configure(run.settings);
    const std::string source = run.dir.File("in.wav"), output = run.dir.File("out.flac");
    ASSERT_TRUE(convtest::MakeLavfiWav(source, c.signal, c.rate, c.seconds, c.codec));
    ASSERT_EQ(run.Convert(kKindWav, source, output), 1);

    EXPECT_EQ(ts::Run({"flac", "-t", "-s", "-w", output}), 0);
    std::string info;
    ts::Run({"metaflac", "--show-sample-rate", "--show-channels", "--show-bps", "--show-total-samples",
             "--show-md5sum", output},
            &info);
    EXPECT_EQ(info.substr(0, info.rfind('\n', info.size() - 2) + 1), c.expected);
    EXPECT_EQ(info.find("00000000000000000000000000000000"), std::string::npos) << "no MD5 signature";
    std::string blocks;
    ts::Run({"metaflac", "--list", "--block-type=SEEKTABLE,PADDING", output}, &blocks);
    EXPECT_NE(blocks.find("type: 3 (SEEKTABLE)"), std::string::npos) << blocks;
    EXPECT_NE(blocks.find("length: 8192"), std::string::npos) << blocks;
    EXPECT_EQ(Count(blocks, "sample_number="), c.seekPoints) << blocks;
    EXPECT_LE(Count(blocks, "PLACEHOLDER"), 1) << blocks;  // a seek table sized for another length

    if (c.lossless) {
        const std::string decoded = run.dir.File("decoded.wav");
        ASSERT_EQ(ts::Run({"flac", "-d", "-s", "-f", "-o", decoded, output}), 0);
        const std::string ours = convtest::RawSamples(decoded, "s32le"),
                          peer = convtest::RawSamples(source, "s32le");
        ASSERT_FALSE(peer.empty());
        EXPECT_TRUE(ours == peer) << ours.size() << " bytes against " << peer.size();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlacOutput,
    ::testing::Values(
        FlacCase{"Cd16", 44100, kStereo, "pcm_s16le", 1.5, nullptr, "44100\n2\n16\n66150\n", true, 1},
        FlacCase{"HiRes24", 96000, kStereo, "pcm_s24le", 1.0, nullptr, "96000\n2\n24\n96000\n", true, 1},
        FlacCase{"Mono8", 8000, kMono, "pcm_u8", 1.0, nullptr, "8000\n1\n8\n8000\n", true, 1},
        FlacCase{"Level0Kept24", 48000, kStereo, "pcm_s24le", 1.0,
                 [](ConversionSettings& s) { s.FLACCompression = 0; }, "48000\n2\n24\n48000\n", true, 1},
        FlacCase{"Level8To16", 48000, kStereo, "pcm_s24le", 1.0,
                 [](ConversionSettings& s) {
                     s.FLACCompression = 8;
                     s.FLACBitsPerSample = 16;
                 },
                 "48000\n2\n16\n48000\n", false, 1},
        FlacCase{"Widened24", 44100, kStereo, "pcm_s16le", 1.0,
                 [](ConversionSettings& s) { s.FLACBitsPerSample = 24; }, "44100\n2\n24\n44100\n", true, 1},
        // 21 s across a rate change: the seek table laid out for the expected length must still
        // match the frames written.
        FlacCase{"ResampledToMono", 8000, kStereo, "pcm_s16le", 21.0,
                 [](ConversionSettings& s) {
                     s.FLACSampleRate = 48000;
                     s.FLACChannels = 1;
                     s.MonoType = 1;
                 },
                 "48000\n1\n16\n1008000\n", false, 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FlacOutput, TagsAreUtf8VorbisComments) {
    // Template texts in a single-byte code page must arrive as UTF-8, readable by TagLib and ffprobe.
    if (!testsupport::HaveTools({"ffmpeg", "ffprobe"})) GTEST_SKIP() << "peer tool missing";
    const ts::ScopedCodePage codePage("ISO-8859-1");
    convtest::ConversionRun run(kFormatFlac);
    run.settings.FLACID3TagType = 0;
    run.settings.FLACTag.TitleAsFileName = 0;
    run.settings.FLACTag.Title = "\xC9t\xE9";  // "Été" in ISO-8859-1
    run.settings.FLACTag.Artist = "Band";
    run.settings.FLACTag.TrackNumType = 2;
    run.settings.FLACTag.CustomTrackNum = 7;
    const std::string source = run.dir.File("in.wav"), output = run.dir.File("out.flac");
    ASSERT_TRUE(convtest::MakeLavfiWav(source, kMono, 22050, 0.5, "pcm_s16le"));
    ASSERT_EQ(run.Convert(kKindWav, source, output), 1);
    TagLib::FLAC::File file(output.c_str());
    ASSERT_TRUE(file.isValid());
    EXPECT_EQ(file.tag()->title().to8Bit(true), "\xC3\x89t\xC3\xA9");
    EXPECT_EQ(file.tag()->artist().to8Bit(true), "Band");
    EXPECT_EQ(file.tag()->track(), 7u);
    EXPECT_EQ(convtest::ProbeValue(output, "codec_name"), "flac");
    std::string title;
    ts::Run(
        {"ffprobe", "-v", "error", "-show_entries", "format_tags=title", "-of", "default=nw=1:nk=1", output},
        &title);
    EXPECT_EQ(title, "\xC3\x89t\xC3\xA9\n");
}

TEST(FlacOutput, VerifyModeWritesTheSameStream) {
    // libFLAC's verify mode must not change what is written, only check it.
    convtest::ConversionRun run;
    const auto tone = convtest::Music(44100, 44100, 0);
    FlacParameters p;
    p.channels = 1;
    p.expectedFrames = tone.size();
    std::vector<std::int32_t> samples(tone.begin(), tone.end());
    std::string bytes[2];
    for (int verify = 0; verify < 2; ++verify) {
        p.verify = verify != 0;
        const std::string path = run.dir.File("v" + std::to_string(verify) + ".flac");
        FlacWriter writer;
        ASSERT_EQ(writer.Open(path, p, nullptr), 1);
        ASSERT_EQ(writer.Encode(samples.data(), nullptr, static_cast<int>(samples.size())), 1);
        ASSERT_EQ(writer.Finish(), 1);
        const auto data = ts::ReadBytes(path);
        bytes[verify].assign(data.begin(), data.end());
    }
    EXPECT_FALSE(bytes[0].empty());
    EXPECT_EQ(bytes[0], bytes[1]);
}

TEST(FlacOutput, UnwritableOutputFailsAndCancelLeavesNothing) {
    // A file that cannot be created, or a cancelled one, must not count as converted nor stay behind.
    convtest::ConversionRun run(kFormatFlac);
    const std::string source = run.dir.File("in.wav");
    convtest::WriteMusicWav(source, {44100, 2, 16, 3.0});
    EXPECT_EQ(run.Convert(kKindWav, source, run.dir.File("missing/out.flac")), 0);
    run.log.cancelAfterPumps = 20;
    EXPECT_EQ(run.Convert(kKindWav, source, run.dir.File("cancelled.flac")), 0);
    EXPECT_FALSE(std::filesystem::exists(run.dir.File("cancelled.flac")));
}

}  // namespace
