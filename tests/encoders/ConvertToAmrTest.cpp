#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "encoders/AmrChecks.h"
#include "encoders/ConversionRun.h"
#include "engine/EngineContext.h"
#include "settings/ConversionSettings.h"
#include "support/AmrFrames.h"
#include "support/EngineDoubles.h"
#include "support/RecordingUserInteraction.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

/// Converts a WAV file into AMR.
struct AmrRun : convtest::ConversionRun {
    AmrRun() : ConversionRun(kFormatAmr) {}
    int Convert(const std::string& source, const std::string& output) {
        return ConversionRun::Convert(kKindWav, source, output);
    }
};

struct AmrOptions {
    int format = 5500;
    int type = 0, mode = 7, wbMode = 8, dtx = 0, awbMode = 8, awbDtx = 0;
    int monoType = 0;
    void Apply(ConversionSettings& s) const {
        s.OutputFormat = format;
        s.AMRType = type;
        s.AMRMode = mode;
        s.AMRWBMode = wbMode;
        s.AMRDTX = dtx;
        s.AWBMode = awbMode;
        s.AWBDTX = awbDtx;
        s.MonoType = monoType;
    }
};

/// A 16-bit WAV of a 500 Hz tone at `leftAmp` in the left channel and `rightAmp` in the right.
void WriteToneWav(const std::string& path, int rate, int channels, double seconds, double leftAmp,
                  double rightAmp) {
    const int frames = static_cast<int>(rate * seconds);
    std::vector<std::int16_t> l(static_cast<std::size_t>(frames)), r(l.size());
    for (int i = 0; i < frames; ++i) {
        const double v = std::sin(2 * M_PI * 500.0 * i / rate);
        l[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(leftAmp * v);
        r[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(rightAmp * v);
    }
    convtest::WriteWav(path, rate, channels, 16, l, r);
}

struct ToneCase {
    const char* name;
    int rate, channels;
    double seconds;
    AmrOptions options;
    bool wide;
    int mode;        // of every frame
    int frames;      // expected count
    int frameSlack;  // resampling may add or drop a frame's worth at the ends
    double level;    // expected RMS as a share of the left channel's
};

void PrintTo(const ToneCase& c, std::ostream* os) {
    *os << c.name;
}

class ConvertToAmrTones : public ::testing::TestWithParam<ToneCase> {};

TEST_P(ConvertToAmrTones, BandModeLengthAndChannel) {
    // The options must pick the band, the mode and the source channel, and every sample must reach
    // a frame: the left channel carries the full tone and the right a quarter of it.
    const ToneCase& c = GetParam();
    AmrRun run;
    const std::string in = run.dir.File("tone.wav"), out = run.dir.File("tone.amr");
    WriteToneWav(in, c.rate, c.channels, c.seconds, 8000, 2000);
    c.options.Apply(run.settings);
    ASSERT_EQ(run.Convert(in, out), 1);

    const auto file = testsupport::ParseAmrFile(testsupport::ReadBytes(out));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->wide, c.wide);
    EXPECT_NEAR(static_cast<double>(file->frames.size()), c.frames, c.frameSlack);
    EXPECT_EQ(file->CountType(c.mode), static_cast<int>(file->frames.size()));

    const auto pcm = amrchecks::Decode(out);
    const std::size_t rate = c.wide ? 16000 : 8000;
    ASSERT_EQ(pcm.size(), file->frames.size() * rate / 50);
    // Leave out the codec's first moments, where it is still settling.
    const double rms = amrchecks::Rms(pcm, rate / 4, rate);
    EXPECT_NEAR(amrchecks::Db(rms / (c.level * 8000 / std::sqrt(2.0))), 0, 2.0) << rms;
    if (testsupport::HaveTool("ffprobe")) {
        EXPECT_EQ(amrchecks::ProbeStream(out), c.wide ? "amr_wb,16000,1" : "amr_nb,8000,1");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertToAmrTones,
    ::testing::Values(
        ToneCase{"Stereo44100MixedToNarrowBand", 44100, 2, 10, {}, false, 7, 500, 1, 0.625},
        ToneCase{
            "Mono16000ToAwbUnconverted", 16000, 1, 10, {.format = 5600, .awbMode = 5}, true, 5, 500, 0, 1},
        ToneCase{"Stereo8000RightChannel", 8000, 2, 1.01, {.mode = 4, .monoType = 2}, false, 4, 51, 0, 0.25},
        ToneCase{"Stereo8000LeftChannel", 8000, 2, 1.01, {.mode = 5, .monoType = 1}, false, 5, 51, 0, 1},
        ToneCase{"AmrTypeWideTakesTheAmrOptions",
                 22050,
                 1,
                 1,
                 {.type = 1, .wbMode = 2, .awbMode = 8},
                 true,
                 2,
                 50,
                 1,
                 1},
        ToneCase{"AwbIgnoresAmrType",
                 16000,
                 2,
                 1,
                 {.format = 5600, .type = 0, .mode = 0, .wbMode = 0, .awbMode = 7},
                 true,
                 7,
                 50,
                 0,
                 0.625}),
    [](const auto& info) { return std::string(info.param.name); });

// Speech with a second of silence between words, at espeak-ng's 22050 Hz.
std::string SpeechFixture(const TempDir& dir) {
    const std::string path = dir.File("speech.wav");
    if (!testsupport::HaveTool("espeak-ng") ||
        testsupport::Run({"espeak-ng", "-g", "80", "-w", path, "one two three four five six"}) != 0)
        return {};
    return path;
}

struct SpeechCase {
    const char* name;
    AmrOptions options;
    bool wide;
    bool dtx;  // expect SID and NO_DATA frames
};

void PrintTo(const SpeechCase& c, std::ostream* os) {
    *os << c.name;
}

class ConvertToAmrSpeech : public ::testing::TestWithParam<SpeechCase> {};

TEST_P(ConvertToAmrSpeech, DtxFramesAndLevelAsOpencoreDecodes) {
    // DTX must reach the codec of the chosen band (silence then comes as SID and NO_DATA frames),
    // and speech must come back at its level, whole frames for every frame in the file.
    const SpeechCase& c = GetParam();
    AmrRun run;
    const std::string speech = SpeechFixture(run.dir);
    if (speech.empty() || !testsupport::HaveTool("sox")) GTEST_SKIP() << "espeak-ng or sox missing";
    const std::string out = run.dir.File("speech.amr"), ref = run.dir.File("ref.wav");
    c.options.Apply(run.settings);
    ASSERT_EQ(run.Convert(speech, out), 1);

    const auto file = testsupport::ParseAmrFile(testsupport::ReadBytes(out));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->wide, c.wide);
    int sid = 0;
    for (const auto& f : file->frames) sid += file->IsSid(f);
    const int noData = file->CountType(15);
    if (c.dtx) {
        EXPECT_GT(sid, 0);
        EXPECT_GT(noData, 0);
    } else {
        EXPECT_EQ(sid + noData, 0);
    }

    const int rate = c.wide ? 16000 : 8000;
    ASSERT_EQ(testsupport::Run({"sox", speech, "-r", std::to_string(rate), ref}), 0);
    const auto source = testsupport::FfmpegDecodeS16(ref, 1);
    const auto pcm = amrchecks::Decode(out);
    ASSERT_EQ(pcm.size(), file->frames.size() * static_cast<std::size_t>(rate / 50));
    EXPECT_NEAR(static_cast<double>(pcm.size()), static_cast<double>(source.size()), rate / 50.0 + 2);
    EXPECT_NEAR(amrchecks::Db(amrchecks::Rms(pcm) / amrchecks::Rms(source)), 0, 3.0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertToAmrSpeech,
    ::testing::Values(SpeechCase{"NarrowDtxOff", {.mode = 7}, false, false},
                      SpeechCase{"NarrowDtxOn", {.mode = 7, .dtx = 1}, false, true},
                      SpeechCase{"AwbDtxOff", {.format = 5600, .dtx = 1, .awbDtx = 0}, true, false},
                      SpeechCase{"AwbDtxOn", {.format = 5600, .awbDtx = 1}, true, true},
                      SpeechCase{"AmrWideTakesAmrDtx", {.type = 1, .dtx = 1, .awbDtx = 0}, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertToAmr, AmplificationScalesTheSignal) {
    // The amplify option must change the level by its coefficient; off or 100 % must change nothing.
    AmrRun run;
    const std::string in = run.dir.File("tone.wav");
    WriteToneWav(in, 8000, 1, 1, 8000, 0);
    ASSERT_EQ(run.Convert(in, run.dir.File("plain.amr")), 1);
    run.settings.AmplifyAMR = 0;
    run.settings.AmplifyAMRCoef = 50;
    ASSERT_EQ(run.Convert(in, run.dir.File("off.amr")), 1);
    run.settings.AmplifyAMR = 1;
    ASSERT_EQ(run.Convert(in, run.dir.File("half.amr")), 1);
    run.settings.AmplifyAMRCoef = 100;
    ASSERT_EQ(run.Convert(in, run.dir.File("same.amr")), 1);

    const auto plain = testsupport::ReadBytes(run.dir.File("plain.amr"));
    EXPECT_EQ(testsupport::ReadBytes(run.dir.File("off.amr")), plain);
    EXPECT_EQ(testsupport::ReadBytes(run.dir.File("same.amr")), plain);
    const double ratio = amrchecks::Rms(amrchecks::Decode(run.dir.File("half.amr")), 2000) /
                         amrchecks::Rms(amrchecks::Decode(run.dir.File("plain.amr")), 2000);
    EXPECT_NEAR(amrchecks::Db(ratio), amrchecks::Db(0.5), 1.0);
}

TEST(ConvertToAmr, FailuresLeaveNoFile) {
    // Cancel, a mode the codec lacks and an uncreatable output must all fail without leaving a file.
    AmrRun run;
    const std::string in = run.dir.File("tone.wav"), out = run.dir.File("out.amr");
    WriteToneWav(in, 44100, 2, 3, 8000, 2000);

    run.log.cancelAfterPumps = 3;
    EXPECT_EQ(run.Convert(in, out), 0);
    EXPECT_FALSE(std::filesystem::exists(out));
    run.log.cancelAfterPumps = -1;

    run.settings.AMRMode = 8;
    EXPECT_EQ(run.Convert(in, out), 0);
    EXPECT_FALSE(std::filesystem::exists(out));
    run.settings.AMRMode = 7;

    EXPECT_EQ(run.Convert(in, run.dir.File("missing/out.amr")), 0);
    EXPECT_EQ(run.Convert(in, out), 1);
}

}  // namespace
