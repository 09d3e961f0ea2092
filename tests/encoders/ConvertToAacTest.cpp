#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "encoders/AacRun.h"
#include "encoders/ConvertToAac.h"
#include "encoders/ConvertToMp4.h"
#include "encoders/FaacEncoder.h"

namespace {

using aacchecks::AacRun;
using aacchecks::Signal;

constexpr int kFrame = 1024;
constexpr int kEncoderDelay = 1024;  // libfaac's, before the first real frame

struct AdtsCase {
    const char* name;
    Signal source;
    bool automatic;
    bool vbr;
};

void PrintTo(const AdtsCase& c, std::ostream* os) {
    *os << c.name;
}

class AdtsOutput : public ::testing::TestWithParam<AdtsCase> {};

TEST_P(AdtsOutput, PeersDecodeTheSourceUnchangedInRateChannelsLengthAndLevel) {
    // Nothing may be resampled or mixed, and the decoded signal must keep its length and level.
    const auto& p = GetParam();
    if (!testsupport::HaveTools({"ffmpeg", "ffprobe"})) GTEST_SKIP();
    AacRun run;
    const std::string in = run.dir.File("in.wav"), out = run.dir.File("out.aac");
    aacchecks::WriteMusicWav(in, p.source);
    run.settings.AutoDestAACEncodingParam = p.automatic;
    run.settings.AACVBR = p.vbr;
    run.settings.AACVBRQuality = 100;
    run.settings.AACABRBitRate = 128;
    ASSERT_EQ(run.Convert(&ConvertToAac, kKindWav, in, out), 1);

    EXPECT_EQ(aacchecks::ProbeValue(out, "codec_name"), "aac");
    EXPECT_EQ(aacchecks::ProbeValue(out, "profile"), "LC");
    EXPECT_EQ(aacchecks::ProbeValue(out, "sample_rate"), std::to_string(p.source.rate));
    EXPECT_EQ(aacchecks::ProbeValue(out, "channels"), std::to_string(p.source.channels));

    const auto source = testsupport::FfmpegDecodeS16(in, p.source.channels);
    const auto decoded = testsupport::FfmpegDecodeS16(out, p.source.channels);
    const auto sourceFrames = static_cast<int>(source.size()) / p.source.channels;
    const auto decodedFrames = static_cast<int>(decoded.size()) / p.source.channels;
    // ADTS has no place for the encoder delay: the decoder gives it, and the last frame's padding.
    EXPECT_GE(decodedFrames, sourceFrames);
    EXPECT_LE(decodedFrames, sourceFrames + kEncoderDelay + 2 * kFrame);
    // The decoder skips the priming itself, so the source's span is compared (not the padding).
    const std::vector<std::int16_t> span(
        decoded.begin(), decoded.begin() + static_cast<long>(std::min(source.size(), decoded.size())));
    EXPECT_NEAR(aacchecks::Db(aacchecks::Rms(span) / aacchecks::Rms(source)), 0.0, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Cases, AdtsOutput,
                         ::testing::Values(AdtsCase{"Mono22050Auto", {22050, 1, 16, 1.3}, true, false},
                                           AdtsCase{"Stereo44100Abr", {44100, 2, 16, 1.0}, false, false},
                                           AdtsCase{"Stereo48000Vbr", {48000, 2, 16, 1.0}, false, true},
                                           AdtsCase{"EightBitStereo", {32000, 2, 8, 1.0}, true, false},
                                           // One encoder call, three short of libfaac's delay (the
                                           // faac command itself writes nothing for it).
                                           AdtsCase{"HundredFramesMono", {8000, 1, 16, 0.0125}, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

class AdtsAgainstFaac : public ::testing::TestWithParam<AdtsCase> {};

TEST_P(AdtsAgainstFaac, StreamEqualsTheFaacCommandGivenTheSameConfiguration) {
    // Same library, same configuration, same samples: any change in the order, number or value of
    // the samples reaching libfaac (a swapped channel, a lost buffer edge) changes the bytes.
    const auto& p = GetParam();
    if (!testsupport::HaveTool("faac")) GTEST_SKIP();
    AacRun run;
    const std::string in = run.dir.File("in.wav"), out = run.dir.File("out.aac"),
                      peer = run.dir.File("peer.aac");
    aacchecks::WriteMusicWav(in, p.source);
    run.settings.AutoDestAACEncodingParam = 0;
    run.settings.AACVBR = 0;
    run.settings.AACABRBitRate = 128;
    ASSERT_EQ(run.Convert(&ConvertToAac, kKindWav, in, out), 1);
    // Mid/side, MPEG-4, ABR: what the options above give; faac's own default joint mode differs.
    ASSERT_EQ(
        testsupport::Run({"faac", "-v0", "-b", "128", "--joint", "1", "--mpeg-vers", "4", "-o", peer, in}),
        0);
    const auto ours = testsupport::ReadBytes(out);
    EXPECT_FALSE(ours.empty());
    EXPECT_TRUE(ours == testsupport::ReadBytes(peer));
}

INSTANTIATE_TEST_SUITE_P(Cases, AdtsAgainstFaac,
                         ::testing::Values(AdtsCase{"Mono22050", {22050, 1, 16, 1.3}, false, false},
                                           AdtsCase{"Stereo44100", {44100, 2, 16, 2.1}, false, false},
                                           AdtsCase{"EightBitStereo", {32000, 2, 8, 1.1}, false, false},
                                           // Shorter than libfaac's delay of three calls.
                                           AdtsCase{"ShortStereo", {44100, 2, 16, 0.05}, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ConfigCase {
    const char* name;
    int channels;
    AacOptions options;
    unsigned long bitRate;    // per channel
    unsigned long quantqual;  // 0: libfaac's own choice stays
    unsigned mpegVersion;
};

void PrintTo(const ConfigCase& c, std::ostream* os) {
    *os << c.name;
}

class AacConfiguration : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(AacConfiguration, OptionsReachLibfaacAsItCountsThem) {
    // Bit rates are per channel in libfaac, and a quality outside 10..500 must not reach it.
    const auto& p = GetParam();
    FaacEncoder encoder;
    ASSERT_EQ(encoder.Open(44100, p.channels, ADTS_STREAM), 1);
    faacEncConfiguration& config = *encoder.Configuration();
    ApplyAacOptions(config, p.options, p.channels);
    // The structure is packed: its fields are compared as copies, never bound by reference.
    const unsigned long bitRate = config.bitRate, quantqual = config.quantqual;
    const unsigned mpegVersion = config.mpegVersion, objectType = config.aacObjectType;
    EXPECT_EQ(bitRate, p.bitRate);
    EXPECT_EQ(quantqual, p.quantqual);
    EXPECT_EQ(mpegVersion, p.mpegVersion);
    EXPECT_EQ(objectType, static_cast<unsigned>(LOW));
    EXPECT_EQ(encoder.Start(), 1);
}

AacOptions Explicit(bool vbr, int quality, int kbps) {
    return {.automatic = false, .vbr = vbr, .vbrQuality = quality, .abrKbps = kbps};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AacConfiguration,
    ::testing::Values(
        ConfigCase{"AbrStereoSplitsTheRate", 2, Explicit(false, 100, 128), 64000, 0, 0},
        ConfigCase{"AbrMonoKeepsTheRate", 1, Explicit(false, 100, 128), 128000, 0, 0},
        ConfigCase{"VbrQualityGoverns", 2, Explicit(true, 250, 128), 0, 250, 0},
        ConfigCase{"VbrQualityTooLowKeepsDefault", 2, Explicit(true, 5, 128), 0, 0, 0},
        ConfigCase{"VbrQualityTooHighKeepsDefault", 2, Explicit(true, 600, 128), 0, 0, 0},
        ConfigCase{"ExplicitMpeg2", 2, {.automatic = false, .vbr = false, .mpegVersion = 1}, 64000, 0, 1},
        ConfigCase{"AutoIgnoresEverything",
                   2,
                   {.automatic = true, .vbr = true, .vbrQuality = 300, .mpegVersion = 1},
                   64000,
                   0,
                   0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AacEncoder, EightBitSamplesEnterAsTheirSixteenBitEquals) {
    // 0, 128 and 255 must enter as -32768, 0 and 32512: the same stream as those 16-bit samples.
    std::vector<std::uint8_t> eight(3 * kFrame);
    std::vector<std::int16_t> sixteen(eight.size());
    for (std::size_t i = 0; i < eight.size(); ++i) {
        const std::uint8_t pattern[] = {0, 128, 255, 64, 200};
        eight[i] = static_cast<std::uint8_t>(pattern[i % 5] + (i / 97) % 3);
        sixteen[i] = static_cast<std::int16_t>((eight[i] - 128) * 256);
    }
    auto encode = [&](bool eightBit) {
        std::vector<std::uint8_t> stream;
        const FaacEncoder::Sink keep = [&](std::int64_t, const std::uint8_t* b, int n) {
            stream.insert(stream.end(), b, b + n);
            return 1;
        };
        FaacEncoder e;
        EXPECT_EQ(e.Open(22050, 1, ADTS_STREAM), 1);
        EXPECT_EQ(e.Start(), 1);
        const int frames = static_cast<int>(eight.size());
        EXPECT_EQ(eightBit ? e.Write8(eight.data(), nullptr, frames, keep)
                           : e.Write16(sixteen.data(), nullptr, frames, keep),
                  1);
        EXPECT_EQ(e.Drain(keep), 1);
        return stream;
    };
    const auto a = encode(true), b = encode(false);
    EXPECT_FALSE(a.empty());
    EXPECT_TRUE(a == b);
}

TEST(ConvertToAac, MpegVersionFollowsTheOptionOnlyWhenExplicit) {
    // With Auto set the stream is MPEG-4 whatever AACMpegVersion says (the ADTS header's ID bit).
    AacRun run;
    const std::string in = run.dir.File("in.wav");
    aacchecks::WriteMusicWav(in, {44100, 1, 16, 0.2});
    for (const bool automatic : {true, false}) {
        run.settings.AutoDestAACEncodingParam = automatic;
        run.settings.AACMpegVersion = 1;
        const std::string out = run.dir.File(automatic ? "auto.aac" : "explicit.aac");
        ASSERT_EQ(run.Convert(&ConvertToAac, kKindWav, in, out), 1);
        const auto bytes = testsupport::ReadBytes(out);
        ASSERT_GE(bytes.size(), 7u);
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ((bytes[1] >> 3) & 1, automatic ? 0 : 1) << (automatic ? "auto" : "explicit");
    }
}

TEST(ConvertToAac, VbrQualityGovernsTheSize) {
    // With VBR set the quality must decide the size, not libfaac's default 64 kbit/s per channel.
    AacRun run;
    const std::string in = run.dir.File("in.wav");
    aacchecks::WriteMusicWav(in, {44100, 2, 16, 2.0});
    run.settings.AutoDestAACEncodingParam = 0;
    run.settings.AACVBR = 1;
    std::vector<std::uintmax_t> sizes;
    for (int quality : {50, 200}) {
        run.settings.AACVBRQuality = quality;
        const std::string out = run.dir.File("q" + std::to_string(quality) + ".aac");
        ASSERT_EQ(run.Convert(&ConvertToAac, kKindWav, in, out), 1);
        sizes.push_back(std::filesystem::file_size(out));
    }
    EXPECT_GT(static_cast<double>(sizes[1]), 1.3 * static_cast<double>(sizes[0]));
}

struct RoutineCase {
    const char* name;
    ConversionRoutine routine;
    const char* extension;
};

void PrintTo(const RoutineCase& c, std::ostream* os) {
    *os << c.name;
}

class AacFailures : public ::testing::TestWithParam<RoutineCase> {};

TEST_P(AacFailures, FailedConversionsLeaveNoOutput) {
    // Cancel and a full disk must fail the file and delete it; an uncreatable one fails too.
    const auto& p = GetParam();
    AacRun run;
    const std::string in = run.dir.File("in.wav");
    aacchecks::WriteMusicWav(in, {44100, 2, 16, 1.0});
    run.settings.M4AID3TagType = 2;

    const std::string cancelled = run.dir.File(std::string("cancelled.") + p.extension);
    run.log.cancelAfterPumps = 5;
    EXPECT_EQ(run.Convert(p.routine, kKindWav, in, cancelled), 0);
    EXPECT_FALSE(std::filesystem::exists(cancelled));
    run.log.cancelAfterPumps = -1;

    // The output name leads to /dev/full: every write fails, and deleting removes only the link.
    const std::string full = run.dir.File(std::string("full.") + p.extension);
    std::filesystem::create_symlink("/dev/full", full);
    EXPECT_EQ(run.Convert(p.routine, kKindWav, in, full), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(full));

    EXPECT_EQ(run.Convert(p.routine, kKindWav, in, run.dir.File(std::string("no/out.") + p.extension)), 0);
    EXPECT_EQ(run.Convert(p.routine, kKindWav, run.dir.File("missing.wav"), run.dir.File("x.aac")), 0);
    EXPECT_FALSE(std::filesystem::exists(run.dir.File("x.aac")));
}

TEST_P(AacFailures, AmplificationScalesTheSignal) {
    // The amplify option must change the level by its coefficient.
    const auto& p = GetParam();
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    AacRun run;
    const std::string in = run.dir.File("in.wav");
    aacchecks::WriteMusicWav(in, {44100, 1, 16, 1.0});
    run.settings.M4AID3TagType = 2;
    const std::string plain = run.dir.File(std::string("plain.") + p.extension);
    const std::string half = run.dir.File(std::string("half.") + p.extension);
    ASSERT_EQ(run.Convert(p.routine, kKindWav, in, plain), 1);
    run.settings.AmplifyAAC = run.settings.AmplifyM4A = 1;
    run.settings.AmplifyAACCoef = run.settings.AmplifyM4ACoef = 50;
    ASSERT_EQ(run.Convert(p.routine, kKindWav, in, half), 1);
    const double ratio = aacchecks::Rms(testsupport::FfmpegDecodeS16(half, 1)) /
                         aacchecks::Rms(testsupport::FfmpegDecodeS16(plain, 1));
    EXPECT_NEAR(ratio, 0.5, 0.03);
}

INSTANTIATE_TEST_SUITE_P(Routines, AacFailures,
                         ::testing::Values(RoutineCase{"Adts", &ConvertToAac, "aac"},
                                           RoutineCase{"M4a", &ConvertToMp4, "m4a"}),
                         [](const auto& info) { return std::string(info.param.name); });

class AacRoutine : public ::testing::TestWithParam<RoutineCase> {};

TEST_P(AacRoutine, RatesAacLacksAreResampledToTheNearestAacRate) {
    // libfaac labelled a 6000 Hz source 8000 Hz without resampling: it played a third too fast,
    // and in MP4 the track's time scale contradicted the decoder configuration.
    const auto& p = GetParam();
    if (!testsupport::HaveTools({"ffmpeg", "ffprobe"})) GTEST_SKIP();
    struct RateCase {
        int rate, channels, expected;
    };
    for (const RateCase c :
         {RateCase{6000, 1, 8000}, RateCase{37800, 2, 32000}, RateCase{192000, 2, 96000}}) {
        SCOPED_TRACE(c.rate);
        AacRun run;
        run.settings.M4AID3TagType = 2;
        const std::string in = run.dir.File("in.wav"), out = run.dir.File(std::string("out.") + p.extension);
        const int frames = c.rate;  // one second of 440 Hz
        std::vector<std::int16_t> tone(static_cast<std::size_t>(frames));
        for (int i = 0; i < frames; ++i)
            tone[static_cast<std::size_t>(i)] =
                static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * 440.0 * i / c.rate));
        WavWriter wav;
        ASSERT_EQ(wav.Open(in, c.channels == 2, 16, c.rate), 1);
        ASSERT_EQ(wav.Write16(tone.data(), tone.data(), frames), 1);
        ASSERT_EQ(wav.Close(), 1);
        ASSERT_EQ(run.Convert(p.routine, kKindWav, in, out), 1);

        EXPECT_EQ(aacchecks::ProbeValue(out, "sample_rate"), std::to_string(c.expected));
        if (p.routine == &ConvertToMp4) {
            EXPECT_EQ(aacchecks::ProbeValue(out, "time_base"), "1/" + std::to_string(c.expected));
        }
        const auto decoded = testsupport::FfmpegDecodeS16(out, c.channels);
        const auto decodedFrames = static_cast<int>(decoded.size()) / c.channels;
        EXPECT_GE(decodedFrames, c.expected);  // one second, and at most the padding more
        EXPECT_LE(decodedFrames, c.expected + 2 * kFrame);
        int crossings = 0;
        for (int i = 1; i < c.expected; ++i)
            if (decoded[static_cast<std::size_t>((i - 1) * c.channels)] < 0 &&
                decoded[static_cast<std::size_t>(i * c.channels)] >= 0)
                ++crossings;
        EXPECT_NEAR(crossings, 440, 2);  // the pitch stays
    }
}

INSTANTIATE_TEST_SUITE_P(Routines, AacRoutine,
                         ::testing::Values(RoutineCase{"Adts", &ConvertToAac, "aac"},
                                           RoutineCase{"M4a", &ConvertToMp4, "m4a"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
