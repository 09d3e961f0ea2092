#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "encoders/ConversionRun.h"
#include "encoders/Mp3Checks.h"
#include "engine/EngineContext.h"
#include "settings/ConversionSettings.h"
#include "sources/DecoderStartup.h"
#include "support/EngineDoubles.h"
#include "support/RecordingUserInteraction.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

using convtest::ConversionRun;
using Mp3Run = ConversionRun;

struct WavSpec {
    int rate = 44100;
    int channels = 2;
    int bits = 16;
    double leftHz = 1000, rightHz = 440;
    double seconds = 1.0;
};

/// A WAV file with a different tone in each channel (8-bit samples keep the same waveform).
void WriteToneWav(const std::string& path, const WavSpec& w) {
    const int frames = static_cast<int>(w.rate * w.seconds);
    const auto l = mp3checks::Tone(frames, w.rate, w.leftHz, 12000);
    const auto r = mp3checks::Tone(frames, w.rate, w.rightHz, 12000);
    convtest::WriteWav(path, w.rate, w.channels, w.bits, l, r);
}

struct RoutineCase {
    const char* name;
    WavSpec source;
    int autoParams, rate, bitrate, mode, monoType;
    int expectRate, expectChannels, expectKbps;
    double expectHz;  // tone of the first output channel
};

void PrintTo(const RoutineCase& c, std::ostream* os) {
    *os << c.name;
}

class ConvertToMp3Output : public ::testing::TestWithParam<RoutineCase> {};

TEST_P(ConvertToMp3Output, PeersReadTheChosenStream) {
    // The options must reach the file: rate, channels, bit rate, the chosen channel and 8-bit widening.
    const auto& p = GetParam();
    if (!testsupport::HaveTool("ffprobe") || !testsupport::HaveTool("mp3val")) GTEST_SKIP();
    Mp3Run run;
    const std::string in = run.dir.File("tone.wav"), out = run.dir.File("tone.mp3");
    WriteToneWav(in, p.source);
    run.settings.AutoDestMP3EncodingParam = p.autoParams;
    run.settings.MP3SampleRate = p.rate;
    run.settings.MP3BitRate = p.bitrate;
    run.settings.MP3ChannelMode = p.mode;
    run.settings.MonoType = p.monoType;
    run.settings.MP3ID3TagType = 2;
    ASSERT_EQ(run.Convert(kKindWav, in, out), 1);

    std::string report;
    EXPECT_TRUE(mp3checks::Mp3valClean(out, &report)) << report;
    const auto info = mp3checks::Probe(out);
    EXPECT_EQ(info.sampleRate, p.expectRate);
    EXPECT_EQ(info.channels, p.expectChannels);
    EXPECT_EQ(info.bitRate, p.expectKbps * 1000);
    EXPECT_GE(info.duration, p.source.seconds);
    EXPECT_LE(info.duration, p.source.seconds + 2304.0 / p.expectRate);
    const auto pcm = testsupport::FfmpegDecodeS16(out, p.expectChannels);
    EXPECT_NEAR(mp3checks::ToneFrequency(pcm, p.expectChannels, 0, p.expectRate), p.expectHz,
                p.expectHz * 0.01);
}

// Source tones: left 1000 Hz, right 440 Hz.
constexpr WavSpec kStereo44{44100, 2, 16};
INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertToMp3Output,
    ::testing::Values(
        RoutineCase{"AutoStereo44100", kStereo44, 1, 0, 0, 1, 0, 44100, 2, 128, 1000},
        RoutineCase{"AutoMono8000", {8000, 1, 16, 1000, 1000}, 1, 0, 0, 1, 0, 11025, 1, 24, 1000},
        RoutineCase{"AutoStereo96000", {96000, 2, 16}, 1, 0, 0, 1, 0, 48000, 2, 192, 1000},
        RoutineCase{"ExplicitRateAndSnappedBitrate", kStereo44, 0, 22050, 100, 1, 0, 22050, 2, 96, 1000},
        RoutineCase{"MonoOfTheLeftChannel", kStereo44, 0, 44100, 64, 3, 1, 44100, 1, 64, 1000},
        RoutineCase{"MonoOfTheRightChannel", kStereo44, 0, 44100, 64, 3, 2, 44100, 1, 64, 440},
        RoutineCase{"EightBitMonoWidened", {22050, 1, 8, 1000, 1000}, 0, 0, 0, 4, 0, 22050, 1, 48, 1000},
        RoutineCase{"EightBitStereoRightOnly", {22050, 2, 8}, 0, 0, 0, 3, 2, 22050, 1, 48, 440}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertToMp3, AmplificationScalesTheSignal) {
    // The amplify option must change the level by its coefficient, and 100 % must change nothing.
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    Mp3Run run;
    const std::string in = run.dir.File("tone.wav");
    WriteToneWav(in, {44100, 1, 16, 1000, 1000});
    run.settings.MP3ID3TagType = 2;
    ASSERT_EQ(run.Convert(kKindWav, in, run.dir.File("plain.mp3")), 1);
    run.settings.AmplifyMp3 = 1;
    run.settings.AmplifyMp3Coeff = 50;
    ASSERT_EQ(run.Convert(kKindWav, in, run.dir.File("half.mp3")), 1);
    run.settings.AmplifyMp3Coeff = 100;
    ASSERT_EQ(run.Convert(kKindWav, in, run.dir.File("same.mp3")), 1);
    const double plain = mp3checks::Rms(testsupport::FfmpegDecodeS16(run.dir.File("plain.mp3"), 1), 1, 0);
    const double half = mp3checks::Rms(testsupport::FfmpegDecodeS16(run.dir.File("half.mp3"), 1), 1, 0);
    EXPECT_NEAR(half / plain, 0.5, 0.03);
    EXPECT_TRUE(testsupport::ReadBytes(run.dir.File("same.mp3")) ==
                testsupport::ReadBytes(run.dir.File("plain.mp3")));
}

TEST(ConvertToMp3, TemplateTagsWithFileNameTitleAndSequenceNumber) {
    // Template tags must name each file after its source and number it by its place in the batch.
    if (!testsupport::HaveTool("id3v2")) GTEST_SKIP();
    Mp3Run run;
    const std::string in = run.dir.File("My Tune.wav"), out = run.dir.File("out.mp3");
    WriteToneWav(in, {44100, 1, 16, 1000, 1000, 0.3});
    run.settings.MP3ID3TagType = 0;
    run.settings.MP3WriteID3Version = 2;
    run.settings.MP3Tag.TrackNumType = 1;
    run.settings.MP3Tag.Artist = "Band";
    run.settings.MP3Tag.Genre = "rock";
    ASSERT_EQ(run.Convert(kKindWav, in, out, 3), 1);
    const auto frames = mp3checks::Id3v2Frames(out);
    EXPECT_EQ(frames.at("TIT2"), "My Tune");
    EXPECT_EQ(frames.at("TPE1"), "Band");
    EXPECT_EQ(frames.at("TRCK"), "3");
    const auto bytes = testsupport::ReadBytes(out);
    ASSERT_GE(bytes.size(), 128u);
    EXPECT_EQ(std::string(bytes.end() - 128, bytes.end() - 125), "TAG");
    EXPECT_EQ(bytes.back(), 17);  // rock
}

TEST(ConvertToMp3, Mp3SourceTagsCopiedByteForByte) {
    // Carrying tags over from an MP3 must keep both of its blocks exactly, whatever the version option.
    if (!testsupport::HaveTool("lame")) GTEST_SKIP();
    ASSERT_EQ(StartDecodingLibraries(), DecoderStartupResult::Started);  // MP3 sources are read through it
    struct Stop {
        ~Stop() { ShutDownDecodingLibraries(); }
    } stop;
    Mp3Run run;
    WriteToneWav(run.dir.File("in.wav"), {44100, 2, 16, 1000, 440, 0.5});
    const std::string src = run.dir.File("src.mp3"), out = run.dir.File("out.mp3");
    ASSERT_EQ(testsupport::Run({"lame", "--quiet", "--add-id3v2", "--tt", "Caf\xe9", "--ta", "Artist", "--tn",
                                "5", "--tg", "Jazz", run.dir.File("in.wav"), src}),
              0);
    run.settings.MP3ID3TagType = 1;
    run.settings.MP3WriteID3Version = 0;
    ASSERT_EQ(run.Convert(kKindMp3, src, out), 1);

    const auto s = testsupport::ReadBytes(src), o = testsupport::ReadBytes(out);
    ASSERT_GE(s.size(), 138u);
    ASSERT_EQ(std::string(s.begin(), s.begin() + 3), "ID3");
    const std::size_t v2Size =
        10 + ((s[6] & 0x7Fu) << 21 | (s[7] & 0x7Fu) << 14 | (s[8] & 0x7Fu) << 7 | (s[9] & 0x7Fu));
    ASSERT_GT(o.size(), v2Size + 128);
    EXPECT_TRUE(std::equal(s.begin(), s.begin() + static_cast<long>(v2Size), o.begin()));
    EXPECT_TRUE(std::equal(s.end() - 128, s.end(), o.end() - 128));
}

TEST(ConvertToMp3, TagsOfAFlacSourceRendered) {
    // Carried-over tags of a non-MP3 source must be rendered, genre numbered, the track cut to its number
    // only when the nine texts alone travel.
    if (!testsupport::HaveTool("ffmpeg") || !testsupport::HaveTool("id3v2")) GTEST_SKIP();
    Mp3Run run;
    WriteToneWav(run.dir.File("in.wav"), {44100, 1, 16, 1000, 1000, 0.3});
    const std::string src = run.dir.File("src.flac"), out = run.dir.File("out.mp3");
    ASSERT_EQ(
        testsupport::Run({"ffmpeg", "-v", "error", "-y", "-i", run.dir.File("in.wav"), "-metadata",
                          "title=Flac Title", "-metadata", "track=12/15", "-metadata", "genre=Rock", src}),
        0);
    run.settings.MP3ID3TagType = 1;
    run.settings.MP3WriteID3Version = 2;
    ASSERT_EQ(run.Convert(kKindFlac, src, out), 1);
    const auto frames = mp3checks::Id3v2Frames(out);
    EXPECT_EQ(frames.at("TIT2"), "Flac Title");
    EXPECT_EQ(frames.at("TRCK"), "12/15");  // the whole source's tags keep the total
    const auto bytes = testsupport::ReadBytes(out);
    EXPECT_EQ(bytes.back(), 17);  // Rock in the ID3v1 block
    run.settings.TransferAllTags = 0;
    ASSERT_EQ(run.Convert(kKindFlac, src, out), 1);
    EXPECT_EQ(mp3checks::Id3v2Frames(out).at("TRCK"), "12");
}

TEST(ConvertToMp3, UnwritableOutputFails) {
    // An output that cannot be created must fail the file rather than report a conversion.
    Mp3Run run;
    const std::string in = run.dir.File("tone.wav");
    WriteToneWav(in, {44100, 1, 16, 1000, 1000, 0.1});
    EXPECT_EQ(run.Convert(kKindWav, in, run.dir.File("missing/out.mp3")), 0);
}

}  // namespace
