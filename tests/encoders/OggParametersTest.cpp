#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "encoders/OggParameters.h"
#include "settings/ConversionSettings.h"

namespace {

constexpr ChannelPick Mix = ChannelPick::Mix, Left = ChannelPick::Left, Right = ChannelPick::Right;

struct Options {
    int autoParams = 0, rate = 0, channels = 0, kbps = 0, monoType = 0;
};

struct ParamCase {
    const char* name;
    Options options;
    OggSourceFacts source;
    OggParameters expected;
};

void PrintTo(const ParamCase& c, std::ostream* os) {
    *os << c.name;
}

class OggParameterChoice : public ::testing::TestWithParam<ParamCase> {};

TEST_P(OggParameterChoice, PicksRateChannelsBitrateAndFeed) {
    // Each case is a choice users see in their files: a wrong rate, a bit rate libvorbis rejects, or
    // the wrong channel of a stereo source.
    const auto& c = GetParam();
    ConversionSettings s{""};
    s.AutoDestOGGEncodingParam = c.options.autoParams;
    s.OGGSampleRate = c.options.rate;
    s.OGGChannels = c.options.channels;
    s.OGGBitRate = c.options.kbps;
    s.MonoType = c.options.monoType;
    EXPECT_EQ(ChooseOggParameters(s, c.source), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OggParameterChoice,
    ::testing::Values(
        ParamCase{"AutoStereo44100", {1, 8000, 1, 320}, {kKindWav, 44100, 2, 0}, {44100, 2, 128, Mix}},
        ParamCase{"AutoMono22050", {1}, {kKindWav, 22050, 1, 0}, {22050, 1, 48, Mix}},
        ParamCase{"AutoHighRateIsNotClamped", {1}, {kKindFlac, 96000, 1, 0}, {48000, 1, 128, Mix}},
        ParamCase{"MonoBitrateLimited", {0, 44100, 1, 320}, {kKindWav, 44100, 2, 0}, {44100, 1, 224, Mix}},
        ParamCase{"DerivedFromOutputRate", {0, 0, 0, 0}, {kKindWav, 48000, 2, 0}, {48000, 2, 192, Mix}},
        ParamCase{"Mp3SourceWithoutBitrate", {0, 0, 0, 0}, {kKindMp3, 44100, 2, 0}, {44100, 2, 48, Mix}},
        ParamCase{"OggSourceBitrateSnapped", {0, 0, 0, 0}, {kKindOgg, 44100, 2, 170}, {44100, 2, 160, Mix}},
        ParamCase{"RateSnappedToTable", {0, 44000, 2, 100}, {kKindWav, 8000, 1, 0}, {44100, 2, 96, Mix}},
        ParamCase{"LeftChannelAlone", {0, 44100, 1, 64, 1}, {kKindWav, 44100, 2, 0}, {44100, 1, 64, Left}},
        ParamCase{"RightChannelAlone", {0, 44100, 1, 64, 2}, {kKindWav, 44100, 2, 0}, {44100, 1, 64, Right}},
        ParamCase{"MixedToMono", {0, 44100, 1, 64, 0}, {kKindWav, 44100, 2, 0}, {44100, 1, 64, Mix}},
        ParamCase{"MonoSourceToStereo", {0, 22050, 2, 64, 1}, {kKindWav, 22050, 1, 0}, {22050, 2, 64, Mix}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
