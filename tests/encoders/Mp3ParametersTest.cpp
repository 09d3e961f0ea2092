#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "encoders/Mp3Parameters.h"
#include "engine/OutputFormats.h"
#include "settings/ConversionSettings.h"

// Found by the test framework next to Mp3Parameters, so failures print the fields.
void PrintTo(const Mp3Parameters& p, std::ostream* os) {
    *os << "{in " << p.inputRate << ", ch " << p.channels << ", mode " << (p.mode ? *p.mode : -1) << ", out "
        << p.outputRate << ", kbps " << (p.bitrate ? *p.bitrate : -1) << ", pick " << static_cast<int>(p.pick)
        << "}";
}

namespace {

struct Options {
    int autoParams = 0;
    int rate = 44100;
    int bitrate = 128;
    int mode = 1;
    int monoType = 0;
};

struct ParamCase {
    const char* name;
    Options options;
    Mp3SourceFacts source;
    Mp3Parameters expected;
};

void PrintTo(const ParamCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr std::optional<int> kNone = std::nullopt;
constexpr ChannelPick kMix = ChannelPick::Mix, kLeft = ChannelPick::Left, kRight = ChannelPick::Right;

class Mp3ParameterChoice : public ::testing::TestWithParam<ParamCase> {};

TEST_P(Mp3ParameterChoice, FollowsTheOptionsAndTheSource) {
    // A wrong rate, bit rate, channel count or feed gives files at the wrong quality or channels.
    const auto& p = GetParam();
    ConversionSettings s("");
    s.AutoDestMP3EncodingParam = p.options.autoParams;
    s.MP3SampleRate = p.options.rate;
    s.MP3BitRate = p.options.bitrate;
    s.MP3ChannelMode = p.options.mode;
    s.MonoType = p.options.monoType;
    EXPECT_EQ(ChooseMp3Parameters(s, p.source), p.expected);
}

// Sources: kind, rate, delivered channels, channel mode, bit rate.
constexpr Mp3SourceFacts kWavStereo44{kKindWav, 44100, 2, 4, 1411};
constexpr Mp3SourceFacts kWavMono44{kKindWav, 44100, 1, 4, 705};

INSTANTIATE_TEST_SUITE_P(
    Cases, Mp3ParameterChoice,
    ::testing::Values(
        ParamCase{"AutoMono8000", {1}, {kKindWav, 8000, 1, 4, 128}, {8000, 1, kNone, 11025, 24, kMix}},
        ParamCase{"AutoStereo96000", {1}, {kKindFlac, 96000, 2, 4, 0}, {96000, 2, kNone, 48000, 192, kMix}},
        ParamCase{"AutoIgnoresExplicitFields",
                  {1, 8000, 320, 3, 2},
                  kWavStereo44,
                  {44100, 2, kNone, 44100, 128, kMix}},
        ParamCase{
            "ZeroRateAndBitrateFollowTheSource", {0, 0, 0, 1}, kWavStereo44, {44100, 2, 1, 44100, 128, kMix}},
        ParamCase{"BitrateCutTo64At8000", {0, 8000, 128}, kWavStereo44, {44100, 2, 1, 8000, 64, kMix}},
        ParamCase{"BitrateCutTo160At22050", {0, 22050, 320}, kWavStereo44, {44100, 2, 1, 22050, 160, kMix}},
        ParamCase{"BitrateRaisedTo32At48000", {0, 48000, 8}, kWavStereo44, {44100, 2, 1, 48000, 32, kMix}},
        ParamCase{"Bitrate100SnapsTo96", {0, 44100, 100}, kWavStereo44, {44100, 2, 1, 44100, 96, kMix}},
        ParamCase{"Bitrate88TieSnapsDownTo80", {0, 44100, 88}, kWavStereo44, {44100, 2, 1, 44100, 80, kMix}},
        ParamCase{"Rate10000SnapsTo11025", {0, 10000, 64}, kWavStereo44, {44100, 2, 1, 11025, 64, kMix}},
        ParamCase{"Rate46000SnapsTo44100", {0, 46000, 128}, kWavStereo44, {44100, 2, 1, 44100, 128, kMix}},
        ParamCase{
            "MonoOfStereoMixedByLame", {0, 44100, 128, 3, 0}, kWavStereo44, {44100, 2, 3, 44100, 128, kMix}},
        ParamCase{
            "MonoOfStereoLeftOnly", {0, 44100, 128, 3, 1}, kWavStereo44, {44100, 1, 3, 44100, 128, kLeft}},
        ParamCase{
            "MonoOfStereoRightOnly", {0, 44100, 128, 3, 2}, kWavStereo44, {44100, 1, 3, 44100, 128, kRight}},
        ParamCase{
            "MonoSourceIsFedAsItIs", {0, 44100, 128, 3, 2}, kWavMono44, {44100, 1, 3, 44100, 128, kMix}},
        ParamCase{"StereoModeKeepsMonoTypeOut",
                  {0, 44100, 128, 0, 2},
                  kWavStereo44,
                  {44100, 2, 0, 44100, 128, kMix}},
        ParamCase{"SourceModeOfAnMp3",
                  {0, 44100, 128, 4},
                  {kKindMp3, 44100, 2, 0, 192},
                  {44100, 2, 0, 44100, 128, kMix}},
        ParamCase{"SourceModeOfStereoWav", {0, 44100, 128, 4}, kWavStereo44, {44100, 2, 1, 44100, 128, kMix}},
        ParamCase{"SourceModeOfMonoWav", {0, 44100, 128, 4, 2}, kWavMono44, {44100, 1, 3, 44100, 128, kMix}},
        ParamCase{"Mp3SourceLendsItsBitrate",
                  {0, 44100, 0},
                  {kKindMp3, 44100, 2, 1, 137},
                  {44100, 2, 1, 44100, 144, kMix}},
        ParamCase{"OggSourceLendsItsBitrate",
                  {0, 22050, 0},
                  {kKindOgg, 44100, 2, 4, 250},
                  {44100, 2, 1, 22050, 160, kMix}},
        ParamCase{"UnknownSourceBitrateLeavesLamesDefault",
                  {0, 44100, 0},
                  {kKindOgg, 44100, 2, 4, 0},
                  {44100, 2, 1, 44100, kNone, kMix}},
        ParamCase{
            "DerivedBitrateOfAMonoOutput", {0, 0, 0, 3, 1}, kWavStereo44, {44100, 1, 3, 44100, 96, kLeft}},
        ParamCase{"DerivedBitrateFollowsTheOutputRate",
                  {0, 16000, 0},
                  kWavStereo44,
                  {44100, 2, 1, 16000, 56, kMix}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Mp3RenderRate, ExplicitRateOnlyWithoutAuto) {
    // Synthesised sources rendered at the wrong rate would be resampled for nothing.
    ConversionSettings s("");
    s.AutoDestMP3EncodingParam = 1;
    s.MP3SampleRate = 22050;
    const auto renderRate = FindOutputFormat(kFormatMp3)->renderRate;
    EXPECT_EQ(renderRate(s), 44100);
    s.AutoDestMP3EncodingParam = 0;
    EXPECT_EQ(renderRate(s), 22050);
    s.MP3SampleRate = 0;
    EXPECT_EQ(renderRate(s), 44100);
}

}  // namespace
