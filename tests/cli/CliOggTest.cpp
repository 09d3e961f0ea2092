#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "cli/CliHarness.h"
#include "encoders/Mp3Checks.h"
#include "encoders/OggChecks.h"
#include "support/PeerSignals.h"
#include "support/TestSupport.h"

namespace {

using namespace clitest;
namespace fs = std::filesystem;

constexpr double kAmp = 12000;

struct OggCase {
    const char* name;
    std::vector<std::string> sets;  // NAME=VALUE
    int sourceRate, sourceChannels, sourceBits;
    int expectRate, expectChannels, expectKbps;
    double expectHz[2];   // tone of each output channel; the source has 1000 Hz left, 440 Hz right
    double expectRms[2];  // level of each output channel
};

void PrintTo(const OggCase& c, std::ostream* os) {
    *os << c.name;
}

class CliOgg : public ::testing::TestWithParam<OggCase> {};

TEST_P(CliOgg, OptionsReachTheFile) {
    // Each Ogg option combination must give the promised rate, channels, nominal bit rate, channel
    // choice and level, in a file that peers accept and that decodes to the source's length.
    const OggCase& c = GetParam();
    if (!testsupport::HaveTools({"ffprobe", "ffmpeg", "oggz-validate", "ogginfo"})) GTEST_SKIP();
    CliHome home;
    const std::string src = home.File("src.wav");
    const int frames = c.sourceRate * 3 / 2;
    const auto l = mp3checks::Tone(frames, c.sourceRate, 1000, kAmp);
    const auto r = mp3checks::Tone(frames, c.sourceRate, 440, kAmp);
    if (c.sourceBits == 8) {
        std::vector<std::uint8_t> l8(l.size());
        for (std::size_t i = 0; i < l.size(); ++i) l8[i] = static_cast<std::uint8_t>((l[i] >> 8) + 128);
        WriteWav8(src, c.sourceRate, l8);
    } else {
        WriteWav16(src, c.sourceRate, l, c.sourceChannels == 2 ? r : std::vector<std::int16_t>{});
    }
    std::vector<std::string> args = {"-q", "-t", "ogg", "-o", home.File("out"), "--set", "OGGID3TagType=2"};
    for (const auto& s : c.sets) args.insert(args.end(), {"--set", s});
    args.push_back(src);
    const auto run = home.Run(args);
    ASSERT_EQ(run.status, 0) << run.out;

    const std::string out = home.File("out/src.ogg");
    std::string report;
    EXPECT_TRUE(oggchecks::ToolsClean(out, &report)) << report;
    const auto info = mp3checks::Probe(out);
    EXPECT_EQ(info.sampleRate, c.expectRate);
    EXPECT_EQ(info.channels, c.expectChannels);
    EXPECT_EQ(info.bitRate, c.expectKbps * 1000);
    const auto pcm = testsupport::FfmpegDecodeS16(out, c.expectChannels);
    const double decoded = static_cast<double>(pcm.size()) / c.expectChannels;
    EXPECT_NEAR(decoded, 1.5 * c.expectRate, 2048) << "decoded frames";
    for (int ch = 0; ch < c.expectChannels; ++ch) {
        if (c.expectHz[ch] > 0) {  // 0: two tones mixed
            EXPECT_NEAR(mp3checks::ToneFrequency(pcm, c.expectChannels, ch, c.expectRate), c.expectHz[ch],
                        c.expectHz[ch] * 0.01)
                << "channel " << ch;
        }
        const double rms = mp3checks::Rms(pcm, c.expectChannels, ch);
        EXPECT_NEAR(20 * std::log10(rms / c.expectRms[ch]), 0.0, 1.0) << "channel " << ch << " rms " << rms;
    }
}

const double kFull = kAmp / std::sqrt(2.0);  // RMS of one source tone
const double kMixed = kAmp / 2;              // RMS of the two tones mixed as (L+R)/2

INSTANTIATE_TEST_SUITE_P(
    Options, CliOgg,
    ::testing::Values(
        OggCase{"AutoStereo44100", {}, 44100, 2, 16, 44100, 2, 128, {1000, 440}, {kFull, kFull}},
        OggCase{"AutoMono8Bit22050", {}, 22050, 1, 8, 22050, 1, 48, {1000}, {kFull}},
        OggCase{"MonoBitrateLimited",
                {"AutoDestOGGEncodingParam=0", "OGGSampleRate=44100", "OGGChannels=1", "OGGBitRate=320",
                 "MonoType=1"},
                44100,
                2,
                16,
                44100,
                1,
                224,
                {1000},
                {kFull}},
        OggCase{"BitrateFromTheOutputRate",
                {"AutoDestOGGEncodingParam=0", "OGGSampleRate=0", "OGGChannels=0", "OGGBitRate=0"},
                48000,
                2,
                16,
                48000,
                2,
                192,
                {1000, 440},
                {kFull, kFull}},
        OggCase{
            "RightChannelAlone",
            {"AutoDestOGGEncodingParam=0", "OGGSampleRate=0", "OGGChannels=1", "OGGBitRate=64", "MonoType=2"},
            44100,
            2,
            16,
            44100,
            1,
            64,
            {440},
            {kFull}},
        OggCase{
            "MixedToMono",
            {"AutoDestOGGEncodingParam=0", "OGGSampleRate=0", "OGGChannels=1", "OGGBitRate=64", "MonoType=0"},
            44100,
            2,
            16,
            44100,
            1,
            64,
            {0},
            {kMixed}},
        OggCase{"MonoCopiedToStereo",
                {"AutoDestOGGEncodingParam=0", "OGGSampleRate=22050", "OGGChannels=2", "OGGBitRate=64"},
                22050,
                1,
                16,
                22050,
                2,
                64,
                {1000, 1000},
                {kFull, kFull}},
        OggCase{"Resampled",
                {"AutoDestOGGEncodingParam=0", "OGGSampleRate=22050", "OGGChannels=2", "OGGBitRate=96"},
                44100,
                2,
                16,
                22050,
                2,
                96,
                {1000, 440},
                {kFull, kFull}},
        OggCase{"AmplifiedByHalf",
                {"AmplifyOGG=1", "AmplifyOGGCoeff=50"},
                44100,
                2,
                16,
                44100,
                2,
                128,
                {1000, 440},
                {kFull / 2, kFull / 2}}),
    [](const auto& info) { return std::string(info.param.name); });

/// Stores the Ogg tag template the way the window would.
void WriteOggTemplate(const CliHome& home, const std::vector<std::string>& lines) {
    fs::create_directories(home.File("cfg/wavelorn"));
    std::ofstream reg(home.File("cfg/wavelorn/registry.reg"));
    // Without the options key the program takes the store for a first start and reads nothing.
    reg << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillmark\\Wavelorn\\Options]\n\n"
        << "[HKEY_CURRENT_USER\\Software\\Quillmark\\Wavelorn\\Options\\OGGTag]\n";
    for (const auto& l : lines) reg << l << "\n";
}

std::uint32_t FirstSerial(const std::string& path) {
    const auto pages = oggchecks::Pages(testsupport::ReadBytes(path));
    return pages.empty() ? 0xFFFFFFFFu : pages[0].serial;
}

TEST(CliOggTags, TemplateNumbersFilesInBatchOrderWithSerialsFromTheGenerator) {
    // Template comments must name each file after its source and number it by its place in the
    // batch; the never-seeded generator gives the streams the same serials in every run.
    if (!testsupport::HaveTool("ffprobe")) GTEST_SKIP();
    CliHome home;
    WriteOggTemplate(home, {"\"TitleAsFileName\"=dword:00000001", "\"TrackNumType\"=dword:00000001",
                            "\"Artist\"=\"Caf\xc3\xa9 Band\"", "\"Year\"=\"2001\""});
    const std::vector<std::int16_t> tone = mp3checks::Tone(8000, 8000, 1000);
    for (const char* name : {"b.wav", "a.wav", "c d.wav"}) WriteWav16(home.File(name), 8000, tone);
    const auto r = home.Run({"-q", "-t", "ogg", "-o", home.File("out"), "--set", "OGGID3TagType=0",
                             home.File("b.wav"), home.File("a.wav"), home.File("c d.wav")});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::pair<const char*, const char*> expected[] = {{"b", "1"}, {"a", "2"}, {"c d", "3"}};
    const std::uint32_t serials[] = {41, 18467, 6334};
    for (int i = 0; i < 3; ++i) {
        const std::string out = home.File(std::string("out/") + expected[i].first + ".ogg");
        const auto tags = oggchecks::FfprobeTags(out);
        EXPECT_EQ(tags.count("TITLE") ? tags.at("TITLE") : "", expected[i].first);
        EXPECT_EQ(tags.count("TRACK") ? tags.at("TRACK") : "", expected[i].second);
        // The store is read in the locale's code page (UTF-8 here) and written as UTF-8 unchanged.
        EXPECT_EQ(tags.count("ARTIST") ? tags.at("ARTIST") : "", "Caf\xc3\xa9 Band");
        EXPECT_EQ(tags.count("DATE") ? tags.at("DATE") : "", "2001");
        EXPECT_EQ(tags.count("ALBUM"), 0u) << "an empty template text became a comment";
        EXPECT_EQ(FirstSerial(out), serials[i]) << out;
    }
}

TEST(CliOggTags, SourceTagsCarriedOver) {
    // With the source's tags chosen, a tagged FLAC's texts must arrive as Vorbis comments.
    if (!testsupport::HaveTools({"ffmpeg", "ffprobe"})) GTEST_SKIP();
    CliHome home;
    WriteWav16(home.File("in.wav"), 22050, mp3checks::Tone(11025, 22050, 1000));
    ASSERT_EQ(
        testsupport::Run({"ffmpeg", "-v", "error", "-y", "-i", home.File("in.wav"), "-metadata",
                          "title=Flac \xc3\x9c"
                          "ber",
                          "-metadata", "artist=Someone", "-metadata", "track=7/12", home.File("src.flac")}),
        0);
    const auto r = home.Run(
        {"-q", "-t", "ogg", "-o", home.File("out"), "--set", "OGGID3TagType=1", home.File("src.flac")});
    ASSERT_EQ(r.status, 0) << r.out;
    const auto tags = oggchecks::FfprobeTags(home.File("out/src.ogg"));
    EXPECT_EQ(tags.count("TITLE") ? tags.at("TITLE") : "",
              "Flac \xc3\x9c"
              "ber");
    EXPECT_EQ(tags.count("ARTIST") ? tags.at("ARTIST") : "", "Someone");
    EXPECT_EQ(tags.count("TRACK") ? tags.at("TRACK") : "", "7/12");
}

TEST(CliOgg, FullDiskIsAConversionFailureWithNoFileLeft) {
    // Pages that cannot be written must fail the file and remove what was written.
    CliHome home;
    const int frames = 44100 * 3;
    WriteWav16(home.File("big.wav"), 44100, mp3checks::Tone(frames, 44100, 1000),
               mp3checks::Tone(frames, 44100, 440));
    fs::create_directories(home.File("out"));
    const std::string script =
        "mount -t tmpfs -o size=16k tmpfs \"$1\" || exit 99; shift; \"$@\"; rc=$?; ls -A \"$OUT\"; exit $rc";
    const auto r = home.Run(
        {"-q", "-t", "ogg", "-o", home.File("out"), "--set", "AutoDestOGGEncodingParam=0", "--set",
         "OGGBitRate=480", home.File("big.wav")},
        {"env", "OUT=" + home.File("out"), "unshare", "-m", "sh", "-c", script, "sh", home.File("out")});
    if (r.status == 99) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines, std::vector<std::string>{home.File("big.wav") + "\tConversion Failure"});
}

}  // namespace
