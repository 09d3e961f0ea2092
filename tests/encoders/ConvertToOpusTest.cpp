#include <gtest/gtest.h>
#include <taglib/opusfile.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "encoders/ConversionRun.h"
#include "support/PeerSignals.h"
#include "support/ScopedCodePage.h"

namespace {

namespace ts = testsupport;

constexpr double kClickAt = 0.5;  // seconds
constexpr int kMillisecond = 48;  // frames at 48 kHz

// A 1 ms click at kClickAt over faint noise.
std::string Click(int channels) {
    const std::string one = "0.8*between(t\\,0.5\\,0.501)+0.001*(random(0)-0.5)";
    return channels == 1 ? one : one + "|" + one;
}

struct Decoded {
    std::vector<float> samples;  // interleaved
    int channels = 0;
    std::int64_t Frames() const {
        return channels ? static_cast<std::int64_t>(samples.size()) / channels : 0;
    }
    std::int64_t Loudest() const {
        std::size_t at = 0;
        for (std::size_t i = 0; i < samples.size(); ++i)
            if (std::fabs(samples[i]) > std::fabs(samples[at])) at = i;
        return channels ? static_cast<std::int64_t>(at) / channels : 0;
    }
};

Decoded Decode(const std::string& path, int channels) {
    Decoded d;
    d.channels = channels;
    const std::string raw = convtest::RawSamples(path, "f32le");
    d.samples.resize(raw.size() / 4);
    if (!d.samples.empty()) std::memcpy(d.samples.data(), raw.data(), d.samples.size() * 4);
    return d;
}

struct OpusCase {
    const char* name;
    int rate;
    int channels;
    const char* codec;
    void (*configure)(ConversionSettings&);
    int expectedChannels;
    int cbrKbps;  // 0: not constant
};

void PrintTo(const OpusCase& c, std::ostream* os) {
    *os << c.name;
}

class OpusOutput : public ::testing::TestWithParam<OpusCase> {};

TEST_P(OpusOutput, DecodersGiveTheSourcesLengthAndClickPlace) {
    // Pre-skip and end trimming must leave the source's length, and resampling to 48 kHz must not
    // shift the audio: both within 1 ms, through opusdec and ffmpeg alike.
    const OpusCase& c = GetParam();
    if (!testsupport::HaveTools({"ffmpeg", "ffprobe", "opusdec", "opusinfo"}))
        GTEST_SKIP() << "peer tool missing";
    convtest::ConversionRun run(kFormatOpus);
    if (c.configure) c.configure(run.settings);
    const double seconds = 2.0;
    const std::string source = run.dir.File("in.wav"), output = run.dir.File("out.opus");
    ASSERT_TRUE(convtest::MakeLavfiWav(source, Click(c.channels), c.rate, seconds, c.codec));
    ASSERT_EQ(run.Convert(kKindWav, source, output), 1);

    std::string report;
    EXPECT_EQ(ts::Run({"opusinfo", output}, &report, true), 0);
    EXPECT_EQ(report.find("WARNING"), std::string::npos) << report;
    EXPECT_EQ(report.find("ERROR"), std::string::npos) << report;
    EXPECT_EQ(convtest::ProbeValue(output, "channels"), std::to_string(c.expectedChannels));

    const std::string viaOpusdec = run.dir.File("opusdec.wav");
    ASSERT_EQ(ts::Run({"opusdec", "--quiet", "--rate", "48000", "--float", output, viaOpusdec}), 0);
    for (const std::string& decodedPath : {output, viaOpusdec}) {
        const Decoded d = Decode(decodedPath, c.expectedChannels);
        EXPECT_NEAR(static_cast<double>(d.Frames()), seconds * 48000, kMillisecond) << decodedPath;
        EXPECT_NEAR(static_cast<double>(d.Loudest()), kClickAt * 48000, kMillisecond) << decodedPath;
    }

    // OpusHead: the output gain (bytes 16-17 of the packet) stays 0; loudness is not this format's job.
    const auto bytes = ts::ReadBytes(output);
    ASSERT_GT(bytes.size(), 46u);
    ASSERT_EQ(std::memcmp(bytes.data() + 28, "OpusHead", 8), 0);
    EXPECT_EQ(bytes[44] | bytes[45] << 8, 0);

    if (c.cbrKbps) {
        const double kbps = static_cast<double>(bytes.size()) * 8 / seconds / 1000;
        EXPECT_NEAR(kbps, c.cbrKbps, c.cbrKbps * 0.1);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, OpusOutput,
                         ::testing::Values(OpusCase{"Cd44Stereo", 44100, 2, "pcm_s16le", nullptr, 2, 0},
                                           OpusCase{"Mono48", 48000, 1, "pcm_s16le", nullptr, 1, 0},
                                           OpusCase{"HiRes96ToMonoVoice", 96000, 2, "pcm_s24le",
                                                    [](ConversionSettings& s) {
                                                        s.OpusChannels = 1;
                                                        s.MonoType = 2;
                                                        s.OpusSignal = 2;
                                                    },
                                                    1, 0},
                                           OpusCase{"Odd11025Cbr64", 11025, 2, "pcm_s16le",
                                                    [](ConversionSettings& s) {
                                                        s.OpusRateControl = 2;
                                                        s.OpusBitRate = 64;
                                                        s.OpusComplexity = 0;
                                                    },
                                                    2, 64},
                                           OpusCase{"MonoDefaultIs64", 48000, 1, "pcm_s16le",
                                                    [](ConversionSettings& s) { s.OpusRateControl = 2; }, 1,
                                                    64}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OpusOutput, TagsReachTagLibAndFfprobe) {
    // OpusTags from the template, converted from the code page to UTF-8.
    if (!testsupport::HaveTools({"ffmpeg", "ffprobe"})) GTEST_SKIP() << "peer tool missing";
    const ts::ScopedCodePage codePage("ISO-8859-1");
    convtest::ConversionRun run(kFormatOpus);
    run.settings.OpusID3TagType = 0;
    run.settings.OpusTag.TitleAsFileName = 0;
    run.settings.OpusTag.Title = "\xC9t\xE9";
    run.settings.OpusTag.Album = "Disc";
    const std::string source = run.dir.File("in.wav"), output = run.dir.File("out.opus");
    ASSERT_TRUE(convtest::MakeLavfiWav(source, Click(2), 44100, 1.0, "pcm_s16le"));
    ASSERT_EQ(run.Convert(kKindWav, source, output), 1);
    TagLib::Ogg::Opus::File file(output.c_str());
    ASSERT_TRUE(file.isValid());
    EXPECT_EQ(file.tag()->title().to8Bit(true), "\xC3\x89t\xC3\xA9");
    EXPECT_EQ(file.tag()->album().to8Bit(true), "Disc");
    std::string title;
    ts::Run(
        {"ffprobe", "-v", "error", "-show_entries", "stream_tags=title", "-of", "default=nw=1:nk=1", output},
        &title);
    EXPECT_EQ(title, "\xC3\x89t\xC3\xA9\n");
}

TEST(OpusOutput, UnwritableOutputFailsAndCancelLeavesNothing) {
    // A file that cannot be created, or a cancelled one, must not count as converted nor stay behind.
    convtest::ConversionRun run(kFormatOpus);
    const std::string source = run.dir.File("in.wav");
    convtest::WriteMusicWav(source, {44100, 2, 16, 3.0});
    EXPECT_EQ(run.Convert(kKindWav, source, run.dir.File("missing/out.opus")), 0);
    run.log.cancelAfterPumps = 20;
    EXPECT_EQ(run.Convert(kKindWav, source, run.dir.File("cancelled.opus")), 0);
    EXPECT_FALSE(std::filesystem::exists(run.dir.File("cancelled.opus")));
}

}  // namespace
