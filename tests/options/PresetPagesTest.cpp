#include "OptionsTestSupport.h"
#include "options/COptMp3Page.h"
#include "options/COptOggPage.h"
#include "options/COptWavPage.h"
#include "options/OptionsTexts.h"

namespace {

QString Hz(int rate) {
    return rate ? QString::fromUtf8(kHzEntry).arg(rate) : QString::fromUtf8(kSameAsSource);
}
QString Kbps(int kbps) {
    return kbps ? QString::fromUtf8(kKbpsEntry).arg(kbps) : QString::fromUtf8(kSameAsSource);
}

// One user step on a preset page: choose a list entry or click a channel button.
struct Step {
    enum Kind { Rate, Bits, Button, Preset } kind;
    int value = 0;
    const char* button = nullptr;
};
Step ChooseRate(int rate) {
    return {Step::Rate, rate};
}
Step ChooseBits(int bits) {
    return {Step::Bits, bits};
}
Step ClickButton(const char* name) {
    return {Step::Button, 0, name};
}
Step ChoosePreset(int index) {
    return {Step::Preset, index};
}

struct PresetCase {
    const char* name;
    int rate, bits, channel;  // loaded, explicit parameters
    std::vector<Step> steps;
    int wantRate, wantBits;
    bool wantCustom;
};
void PrintTo(const PresetCase& c, std::ostream* os) {
    *os << c.name;
}

template <class Page>
struct PresetPageHarness {
    FakeDialogs dialogs{};
    Page page{dialogs};
    QString (*bitsText)(int);

    void Run(const PresetCase& c, int ConversionSettings::*rate, int ConversionSettings::*bits,
             int ConversionSettings::*channel, int ConversionSettings::*autoFlag, ConversionSettings& out) {
        ConversionSettings s = TestSettings();
        s.*autoFlag = 0;
        s.*rate = c.rate;
        s.*bits = c.bits;
        s.*channel = c.channel;
        page.LoadFrom(s);
        for (const Step& step : c.steps) {
            switch (step.kind) {
                case Step::Rate:
                    Choose(Find<QComboBox>(&page, "sampleRate"), Hz(step.value));
                    break;
                case Step::Bits:
                    Choose(Find<QComboBox>(&page, "bitRate"), bitsText(step.value));
                    break;
                case Step::Button:
                    Click(&page, step.button);
                    break;
                case Step::Preset: {
                    auto* list = Find<QComboBox>(&page, "preset");
                    Choose(list, list->itemText(step.value));
                    break;
                }
            }
        }
        out = s;
        page.StoreTo(out);
        const QString preset = Find<QComboBox>(&page, "preset")->currentText();
        EXPECT_EQ(preset == QString::fromUtf8(kCustom), c.wantCustom) << preset.toStdString();
        EXPECT_EQ(out.*rate, c.wantRate);
        EXPECT_EQ(out.*bits, c.wantBits);
    }
};

class Mp3Page : public ::testing::TestWithParam<PresetCase> {};
TEST_P(Mp3Page, KeepsRateAndBitRateWithinOneMpegVersion) {
    // A rate and bit rate that LAME cannot pair must never be committed together.
    PresetPageHarness<COptMp3Page> h{.bitsText = Kbps};
    ConversionSettings out;
    h.Run(GetParam(), &ConversionSettings::MP3SampleRate, &ConversionSettings::MP3BitRate,
          &ConversionSettings::MP3ChannelMode, &ConversionSettings::AutoDestMP3EncodingParam, out);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, Mp3Page,
    ::testing::Values(
        PresetCase{"LowBitRateLowersTheRate", 44100, 128, 1, {ChooseBits(16)}, 24000, 16, true},
        PresetCase{"HighBitRateRaisesTheRate", 11025, 32, 1, {ChooseBits(192)}, 32000, 192, true},
        PresetCase{"MiddleBitRateRaisesLowRates", 8000, 32, 1, {ChooseBits(96)}, 16000, 96, true},
        PresetCase{"RateInRangeStays", 22050, 32, 1, {ChooseBits(16)}, 22050, 16, true},
        PresetCase{"LowRateCapsTheBitRate", 44100, 128, 1, {ChooseRate(8000)}, 8000, 64, true},
        PresetCase{"MiddleRateCapsTheBitRate", 44100, 320, 1, {ChooseRate(22050)}, 22050, 160, true},
        PresetCase{"HighRateRaisesTheBitRate", 11025, 16, 3, {ChooseRate(48000)}, 48000, 32, true},
        PresetCase{"SameBitRateTouchesNothing", 44100, 128, 1, {ChooseBits(0)}, 44100, 0, false},
        PresetCase{
            "SameBitRateSuspendsTheRules", 44100, 128, 1, {ChooseBits(0), ChooseRate(8000)}, 8000, 0, false},
        PresetCase{"UnlistedBitRateCommitsTheFirst", 44100, 100, 1, {}, 44100, 8, true},
        PresetCase{"PresetSetsAllThree", 8000, 8, 0, {ChoosePreset(1)}, 11025, 16, false},
        PresetCase{"ChannelButtonMeansCustom", 44100, 128, 1, {ClickButton("mono")}, 44100, 128, true}),
    [](const auto& info) { return std::string(info.param.name); });

class OggPage : public ::testing::TestWithParam<PresetCase> {};
TEST_P(OggPage, KeepsTheBitRateWithinTheEncodersBounds) {
    // Vorbis refuses bit rates outside its bounds for the rate and channels: the page clamps them.
    PresetPageHarness<COptOggPage> h{.bitsText = Kbps};
    ConversionSettings out;
    h.Run(GetParam(), &ConversionSettings::OGGSampleRate, &ConversionSettings::OGGBitRate,
          &ConversionSettings::OGGChannels, &ConversionSettings::AutoDestOGGEncodingParam, out);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, OggPage,
    ::testing::Values(PresetCase{"StereoLowest", 44100, 128, 2, {ChooseBits(8)}, 44100, 48, true},
                      PresetCase{"MonoHighest", 44100, 480, 2, {ClickButton("mono")}, 44100, 224, true},
                      PresetCase{"RateChangeClamps", 44100, 480, 2, {ChooseRate(8000)}, 8000, 80, true},
                      PresetCase{"SameChannelsNoBounds",
                                 44100,
                                 128,
                                 2,
                                 {ClickButton("sameChannels"), ChooseBits(8)},
                                 44100,
                                 8,
                                 true},
                      PresetCase{"SameRateNoBounds", 0, 128, 2, {ChooseBits(480)}, 0, 480, true}),
    [](const auto& info) { return std::string(info.param.name); });

QString Bits(int bits) {
    if (bits == 32) return QString::fromUtf8(kFloatBitsEntry);
    return bits ? QString::fromUtf8(kBitsEntry).arg(bits) : QString::fromUtf8(kSameAsSource);
}

class WavPage : public ::testing::TestWithParam<PresetCase> {};
TEST_P(WavPage, AnyOtherValueLeavesThePreset) {
    // The preset list must not claim a preset the lists no longer hold.
    PresetPageHarness<COptWavPage> h{.bitsText = Bits};
    ConversionSettings out;
    h.Run(GetParam(), &ConversionSettings::WAVSampleRate, &ConversionSettings::WAVBitsPerSample,
          &ConversionSettings::WAVChannelNum, &ConversionSettings::AutoDestWAVEncodingParam, out);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, WavPage,
    ::testing::Values(
        PresetCase{"PresetThenBits", 44100, 16, 2, {ChoosePreset(1), ChooseBits(16)}, 11025, 16, true},
        PresetCase{"RechosenValueKeepsPreset", 22050, 16, 2, {ChooseRate(22050)}, 22050, 16, false},
        PresetCase{"SameAsSourceIsAChange", 22050, 16, 2, {ChooseBits(0)}, 22050, 0, true},
        PresetCase{"NoBounds", 6000, 8, 1, {ChooseRate(96000)}, 96000, 8, true},
        PresetCase{"TwentyFourBits", 44100, 16, 2, {ChooseBits(24)}, 44100, 24, true},
        PresetCase{"FloatBits", 44100, 16, 2, {ChooseBits(32)}, 44100, 32, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PresetPages, AutoKeepsTheExplicitParameters) {
    // Choosing Auto must not overwrite the explicit parameters the user set before.
    FakeDialogs dialogs;
    COptMp3Page page(dialogs);
    ConversionSettings s = TestSettings();
    s.AutoDestMP3EncodingParam = 0;
    s.MP3SampleRate = 22050;
    s.MP3BitRate = 32;
    page.LoadFrom(s);
    Choose(Find<QComboBox>(&page, "bitRate"), Kbps(8));
    Choose(Find<QComboBox>(&page, "preset"), kAuto);
    EXPECT_FALSE(Find<QComboBox>(&page, "bitRate")->isEnabled());
    ConversionSettings out = s;
    page.StoreTo(out);
    EXPECT_EQ(out.AutoDestMP3EncodingParam, 1);
    EXPECT_EQ(out.MP3BitRate, 32);
    EXPECT_EQ(out.MP3SampleRate, 22050);
}

TEST(PresetPages, NoTagsDisablesTheTagControls) {
    // Without tags there is neither a template to edit nor an ID3 version to write.
    FakeDialogs dialogs;
    COptMp3Page page(dialogs);
    page.LoadFrom(TestSettings());
    Click(&page, "tagNone");
    EXPECT_FALSE(Find<QAbstractButton>(&page, "id3v1")->isEnabled());
    EXPECT_FALSE(Find<QAbstractButton>(&page, "tagEdit")->isEnabled());
    Click(&page, "tagAdd");
    Click(&page, "id3Both");
    EXPECT_TRUE(Find<QAbstractButton>(&page, "tagEdit")->isEnabled());
    ConversionSettings out = TestSettings();
    page.StoreTo(out);
    EXPECT_EQ(out.MP3ID3TagType, 0);
    EXPECT_EQ(out.MP3WriteID3Version, 2);
}

struct AmplifyCase {
    const char* name;
    bool on;
    const char* typed;
    bool valid;
    int stored;
};
void PrintTo(const AmplifyCase& c, std::ostream* os) {
    *os << c.name;
}
class Amplification : public ::testing::TestWithParam<AmplifyCase> {};
TEST_P(Amplification, CoefficientIsCheckedOnlyWhenInUse) {
    // A coefficient outside 10..3000 must not reach the encoder, but an unused one is kept as typed.
    const AmplifyCase& c = GetParam();
    FakeDialogs dialogs;
    COptWavPage page(dialogs);
    ConversionSettings s = TestSettings();
    s.AmplifyWav = c.on;
    page.LoadFrom(s);
    if (c.on)
        Type(&page, "coefficient", c.typed);
    else {
        Click(&page, "amplify");  // on, type, off again
        Type(&page, "coefficient", c.typed);
        Click(&page, "amplify");
    }
    EXPECT_EQ(page.Validate(), c.valid);
    EXPECT_EQ(dialogs.warnings.size(), c.valid ? 0u : 1u);
    if (!c.valid) {
        EXPECT_EQ(dialogs.warnings[0], kBadCoefficient);
        return;
    }
    ConversionSettings out = s;
    page.StoreTo(out);
    EXPECT_EQ(out.AmplifyWavCoeff, c.stored);
}
INSTANTIATE_TEST_SUITE_P(Cases, Amplification,
                         ::testing::Values(AmplifyCase{"TooLow", true, "5", false, 0},
                                           AmplifyCase{"TooHigh", true, "3010", false, 0},
                                           AmplifyCase{"Empty", true, "", false, 0},
                                           AmplifyCase{"Lowest", true, "10", true, 10},
                                           AmplifyCase{"OffKeepsTyped", false, "5", true, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Amplification, ArrowsStepByTenWithinTheRange) {
    // The up-down control never leaves 10..3000 and moves in steps of 10.
    FakeDialogs dialogs;
    COptWavPage page(dialogs);
    ConversionSettings s = TestSettings();
    s.AmplifyWav = 1;
    s.AmplifyWavCoeff = 2995;
    page.LoadFrom(s);
    auto* spin = Find<QSpinBox>(&page, "coefficient");
    spin->stepUp();
    EXPECT_EQ(spin->value(), 3000);
    Type(&page, "coefficient", "15");
    spin->stepDown();
    EXPECT_EQ(spin->value(), 10);
}

}  // namespace
