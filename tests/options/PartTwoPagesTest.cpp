#include "OptionsTestSupport.h"
#include "engine/EngineTexts.h"
#include "options/CAmrOptPage.h"
#include "options/COptAacPage.h"
#include "options/COptM4aPage.h"
#include "options/CPageWMAOptions.h"
#include "options/OptionsTexts.h"

namespace {

struct WmaCase {
    const char* name;
    std::optional<std::vector<WmaFormatChoice>> formats;
    int autoFlag;
    WmaFormatChoice stored;
    const char* shown;  // selected entry, "" for none
    int wantAuto;
    WmaFormatChoice want;
};
void PrintTo(const WmaCase& c, std::ostream* os) {
    *os << c.name;
}

class WmaPage : public ::testing::TestWithParam<WmaCase> {};
TEST_P(WmaPage, ShowsAndCommitsTheStoredFormat) {
    // The page must show the stored choice and commit a format only when one is selected.
    const WmaCase& c = GetParam();
    FakeDialogs dialogs;
    FakeWmaFormats wma;
    wma.formats = c.formats;
    CPageWMAOptions page(dialogs, wma);
    ConversionSettings s = TestSettings();
    s.AutoDestWMAEncodingParam = c.autoFlag;
    s.WMASampleRate = c.stored.sampleRate;
    s.WMABitRate = c.stored.bitRate;
    s.WMAChannels = c.stored.channels;
    page.LoadFrom(s);
    EXPECT_EQ(wma.loads, 0) << "the runtime is asked only when the page is shown";
    page.Activate();
    EXPECT_EQ(dialogs.questions.size(), c.formats ? 0u : 1u);
    EXPECT_EQ(Find<QComboBox>(&page, "format")->currentText().toStdString(), c.shown);
    ConversionSettings out = s;
    page.StoreTo(out);
    EXPECT_EQ(out.AutoDestWMAEncodingParam, c.wantAuto);
    EXPECT_EQ((WmaFormatChoice{out.WMASampleRate, out.WMABitRate, out.WMAChannels}), c.want);
}

const std::vector<WmaFormatChoice> kFormats = {
    {22050, 20000, 1}, {44100, 128000, 2}, {44100, 128500, 2}, {48000, 500, 2}, {48000, 192000, 2}};

INSTANTIATE_TEST_SUITE_P(
    Cases, WmaPage,
    ::testing::Values(
        WmaCase{"LaterEqualKbpsWins",
                kFormats,
                0,
                {44100, 128000, 2},
                "44100 Hz, 128 kbps, Stereo",
                0,
                {44100, 128500, 2}},
        WmaCase{"MonoEntry", kFormats, 0, {22050, 20000, 1}, "22050 Hz, 20 kbps, Mono", 0, {22050, 20000, 1}},
        WmaCase{"AutoStaysAutoWhenAFormatMatches",
                kFormats,
                1,
                {44100, 128000, 2},
                "Auto",
                1,
                {44100, 128000, 2}},
        WmaCase{"UnofferedFormatCommitsAuto", kFormats, 0, {8000, 5000, 1}, "", 1, {8000, 5000, 1}},
        WmaCase{"BelowOneKbpsIsNotListed", kFormats, 0, {48000, 500, 2}, "", 1, {48000, 500, 2}},
        WmaCase{"NoRuntimeOnlyAuto", std::nullopt, 0, {44100, 128000, 2}, "", 1, {44100, 128000, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WmaPageRuntime, MissingRuntimeOffersTheDownload) {
    // Yes to the runtime question opens the download page; the list then holds only Auto.
    FakeDialogs dialogs;
    dialogs.answerYes = true;
    FakeWmaFormats wma;
    wma.formats = std::nullopt;
    CPageWMAOptions page(dialogs, wma);
    page.LoadFrom(TestSettings());
    page.Activate();
    page.Activate();
    EXPECT_EQ(dialogs.questions, std::vector<std::string>{kWmfRuntimeQuestion});
    EXPECT_EQ(dialogs.opened, std::vector<std::string>{kWmfRuntimeDownloadAddress});
    EXPECT_EQ(Find<QComboBox>(&page, "format")->count(), 1);
}

struct AmrCase {
    const char* name;
    int type, nb, wb, awb;
    const char* click;
    int wantType, wantNb, wantWb, wantAwb;
};
void PrintTo(const AmrCase& c, std::ostream* os) {
    *os << c.name;
}
class AmrPage : public ::testing::TestWithParam<AmrCase> {};
TEST_P(AmrPage, CommitsEveryModeList) {
    // Every list is committed, also the one of the band not chosen; unknown modes become 7.4/15.85.
    const AmrCase& c = GetParam();
    FakeDialogs dialogs;
    CAmrOptPage page(dialogs);
    ConversionSettings s = TestSettings();
    s.AMRType = c.type;
    s.AMRMode = c.nb;
    s.AMRWBMode = c.wb;
    s.AWBMode = c.awb;
    page.LoadFrom(s);
    if (c.click) Click(&page, c.click);
    EXPECT_EQ(Find<QComboBox>(&page, "nbMode")->isEnabled(), c.wantType == 0);
    EXPECT_EQ(Find<QComboBox>(&page, "wbMode")->isEnabled(), c.wantType == 1);
    ConversionSettings out = s;
    page.StoreTo(out);
    EXPECT_EQ(std::vector<int>({out.AMRType, out.AMRMode, out.AMRWBMode, out.AWBMode}),
              std::vector<int>({c.wantType, c.wantNb, c.wantWb, c.wantAwb}));
}
INSTANTIATE_TEST_SUITE_P(Cases, AmrPage,
                         ::testing::Values(AmrCase{"WbKeepsNbSelection", 0, 2, 6, 6, "wb", 1, 2, 6, 6},
                                           AmrCase{"NbEnablesItsList", 1, 7, 8, 0, "nb", 0, 7, 8, 0},
                                           AmrCase{"OutOfRangeModes", 0, 8, -1, 9, nullptr, 0, 4, 4, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

struct AacCase {
    const char* name;
    int autoFlag, vbr;
    std::function<void(QWidget*)> act;
    const char* message;
    int wantAuto = 0, wantVbr = 0, wantQuality = 0, wantBitRate = 0;
};
void PrintTo(const AacCase& c, std::ostream* os) {
    *os << c.name;
}
class AacPages : public ::testing::TestWithParam<AacCase> {};

template <class Page>
void RunAacCase(const AacCase& c, int ConversionSettings::*autoFlag, int ConversionSettings::*vbr,
                int ConversionSettings::*quality, int ConversionSettings::*bitRate) {
    FakeDialogs dialogs;
    Page page(dialogs);
    ConversionSettings s = TestSettings();
    s.*autoFlag = c.autoFlag;
    s.*vbr = c.vbr;
    s.*quality = 150;
    s.*bitRate = 64;
    page.LoadFrom(s);
    c.act(&page);
    EXPECT_EQ(page.Validate(), c.message == nullptr);
    EXPECT_EQ(dialogs.warnings, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    if (c.message) return;
    ConversionSettings out = s;
    page.StoreTo(out);
    EXPECT_EQ(std::vector<int>({out.*autoFlag, out.*vbr, out.*quality, out.*bitRate}),
              std::vector<int>({c.wantAuto, c.wantVbr, c.wantQuality, c.wantBitRate}));
}

TEST_P(AacPages, AacPage) {
    // Auto keeps the explicit parameters; a quality the encoder refuses keeps the page open.
    RunAacCase<COptAacPage>(GetParam(), &ConversionSettings::AutoDestAACEncodingParam,
                            &ConversionSettings::AACVBR, &ConversionSettings::AACVBRQuality,
                            &ConversionSettings::AACABRBitRate);
}
TEST_P(AacPages, Mp4Page) {
    RunAacCase<COptM4aPage>(GetParam(), &ConversionSettings::AutoDestM4AEncodingParam,
                            &ConversionSettings::M4AVBR, &ConversionSettings::M4AVBRQuality,
                            &ConversionSettings::M4AABRBitRate);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, AacPages,
    ::testing::Values(
        AacCase{"AutoIgnoresQuality", 1, 1, [](QWidget* p) { Type(p, "quality", "5"); }, nullptr, 1, 1, 150,
                64},
        AacCase{"VbrQualityTooHigh", 0, 1, [](QWidget* p) { Type(p, "quality", "600"); }, kBadQuality},
        AacCase{"VbrQualityEmpty", 0, 1, [](QWidget* p) { Type(p, "quality", ""); }, kBadQuality},
        AacCase{"AbrDoesNotCheckQuality", 0, 1,
                [](QWidget* p) {
                    Type(p, "quality", "5");
                    Click(p, "abr");
                },
                nullptr, 0, 0, 5, 64},
        AacCase{"ManualCommitsEverything", 1, 1,
                [](QWidget* p) {
                    Click(p, "auto");
                    Click(p, "abr");
                    Choose(Find<QComboBox>(p, "bitRate"), QString::fromUtf8(kSameAsSource));
                },
                nullptr, 0, 0, 150, 0},
        AacCase{"ResetIsAutoVbr", 0, 0, [](QWidget* p) { Click(p, "reset"); }, nullptr, 1, 0, 150, 64}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AacPagesReset, ResetSetsTheDefaultsButNotTagsOrAmplification) {
    // Reset is about encoding only: tags and amplification stay as the user set them.
    FakeDialogs dialogs;
    COptM4aPage page(dialogs);
    ConversionSettings s = TestSettings();
    s.AutoDestM4AEncodingParam = 0;
    s.M4AVBR = 0;
    s.M4AEnableTNS = 1;
    s.M4AEnableMidside = 0;
    s.M4ABlockType = 2;
    s.M4AID3TagType = 2;
    s.AmplifyM4A = 1;
    s.AmplifyM4ACoef = 250;
    page.LoadFrom(s);
    Click(&page, "reset");
    EXPECT_FALSE(Find<QComboBox>(&page, "bitRate")->isEnabled());
    EXPECT_EQ(Find<QComboBox>(&page, "bitRate")->currentText(), QString::fromUtf8(kKbpsEntry).arg(128));
    Click(&page, "auto");  // manual again: the reset values are what gets committed
    ConversionSettings out = s;
    page.StoreTo(out);
    EXPECT_EQ(std::vector<int>({out.M4AVBR, out.M4AVBRQuality, out.M4AEnableTNS, out.M4AEnableMidside,
                                out.M4ABlockType, out.M4AABRBitRate}),
              std::vector<int>({1, 100, 0, 1, 0, 128}));
    EXPECT_EQ(out.M4AID3TagType, 2);
    EXPECT_EQ(out.AmplifyM4A, 1);
    EXPECT_EQ(out.AmplifyM4ACoef, 250);
}

}  // namespace
