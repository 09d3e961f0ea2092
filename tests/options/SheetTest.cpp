#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "OptionsTestSupport.h"
#include "options/COptSheet.h"
#include "options/OptionsTexts.h"
#include "options/ShowOptions.h"
#include "platform/FileUserStore.h"
#include "support/TestSupport.h"

namespace {

QTabWidget* Tabs(QWidget* sheet) {
    return Find<QTabWidget>(sheet, "pages");
}
QWidget* PageOf(QWidget* sheet, int index) {
    return Tabs(sheet)->widget(index);
}
void Press(QWidget* sheet, QDialogButtonBox::StandardButton which) {
    sheet->findChild<QDialogButtonBox*>()->button(which)->click();
}

/// A store file holding every option, as a previous OK would have left it.
struct StoredOptions {
    testsupport::TempDir dir;
    FileUserStore store{dir.File("registry.reg")};
    ConversionSettings settings = TestSettings();
    FakeDialogs dialogs;
    FakeWmaFormats wma;
    StoredOptions() {
        settings.SaveSettings(store, SaveOptions | SaveOnExit);
        wma.formats = std::vector<WmaFormatChoice>{{44100, 128000, 2}};
    }
    bool Show(const std::function<void(QWidget*)>& act) {
        bool ok = false;
        WithModal(act, [&] { ok = ShowOptions(nullptr, settings, store, dialogs, wma); });
        return ok;
    }
    ConversionSettings Reloaded() const {
        ConversionSettings s = TestSettings();
        s.LoadSettings(store);
        return s;
    }
};

TEST(OptionsSheet, CancelChangesNeitherTheRecordNorTheStoreFile) {
    // Whatever was typed, Cancel must leave the options as they were; only the page to open next moves.
    StoredOptions o;
    const auto before = testsupport::ReadBytes(o.store.Path());
    const ConversionSettings record = o.settings;
    const bool ok = o.Show([](QWidget* sheet) {
        EXPECT_EQ(sheet->windowTitle(), kSheetCaption);
        for (int i = 1; i < COptSheet::kPageCount; ++i) Tabs(sheet)->setCurrentIndex(i);
        Click(PageOf(sheet, 1), "tagNone");
        Click(PageOf(sheet, 7), "reset");
        Tabs(sheet)->setCurrentIndex(3);
        Press(sheet, QDialogButtonBox::Cancel);
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(testsupport::ReadBytes(o.store.Path()), before);
    ConversionSettings expected = record;
    expected.OptStartPageIndex = 3;
    EXPECT_EQ(o.settings, expected);
}

TEST(OptionsSheet, OkSavesWhatTheCommandLineConverterThenReads) {
    // The sheet and wavelorn-cli share the store: OK writes the options at once, filter list included.
    StoredOptions o;
    const bool ok = o.Show([](QWidget* sheet) {
        QWidget* general = PageOf(sheet, 0);
        Click(general, "filterOn");
        Find<QLineEdit>(general, "filter")->setText(" MP3 ; wav");
        Tabs(sheet)->setCurrentIndex(2);
        Choose(Find<QComboBox>(PageOf(sheet, 2), "preset"), kWavPresets[1]);
        Press(sheet, QDialogButtonBox::Ok);
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(o.settings.FilterExts, "MP3,wav");
    EXPECT_EQ(o.settings.FilterExtList, (std::vector<std::string>{"mp3", "wav"}));
    EXPECT_EQ(o.settings.OptStartPageIndex, 2);
    ConversionSettings saved = o.Reloaded();
    saved.OptStartPageIndex = 2;  // written only at exit
    EXPECT_EQ(saved, o.settings);
    EXPECT_EQ(saved.WAVSampleRate, 11025);
    EXPECT_EQ(saved.WAVBitsPerSample, 8);
}

TEST(OptionsSheet, FailedValidationKeepsThePageAndTheSheet) {
    // Leaving a page or pressing OK with invalid input must keep the user on that page.
    StoredOptions o;
    o.settings.DestOutputFolderOpt = 399;
    o.settings.DestSpecifiedFolder = "";
    const bool ok = o.Show([&](QWidget* sheet) {
        Tabs(sheet)->setCurrentIndex(4);
        EXPECT_EQ(Tabs(sheet)->currentIndex(), 0);
        EXPECT_EQ(o.dialogs.warnings, std::vector<std::string>{kNeedFolder});
        Find<QLineEdit>(PageOf(sheet, 0), "folder")->setText("/out");
        Click(PageOf(sheet, 0), "filterOn");
        Press(sheet, QDialogButtonBox::Ok);
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_EQ(o.dialogs.warnings.back(), kNeedExtensions);
        Press(sheet, QDialogButtonBox::Cancel);
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(o.settings.OptStartPageIndex, 0);
}

struct StartCase {
    const char* name;
    int stored;
    int opened;
};
void PrintTo(const StartCase& c, std::ostream* os) {
    *os << c.name;
}
class SheetStartPage : public ::testing::TestWithParam<StartCase> {};
TEST_P(SheetStartPage, OpensOnTheRememberedPage) {
    // The sheet reopens where it was closed, also after a restart; a stale index opens page 0.
    StoredOptions o;
    o.settings.OptStartPageIndex = GetParam().stored;
    o.settings.SaveSettings(o.store, SaveOnExit);
    o.settings = o.Reloaded();
    int opened = -1;
    o.Show([&](QWidget* sheet) {
        opened = Tabs(sheet)->currentIndex();
        Press(sheet, QDialogButtonBox::Cancel);
    });
    EXPECT_EQ(opened, GetParam().opened);
    EXPECT_EQ(o.settings.OptStartPageIndex, GetParam().opened);
}
INSTANTIATE_TEST_SUITE_P(Cases, SheetStartPage,
                         ::testing::Values(StartCase{"Wma", 3, 3}, StartCase{"Last", 11, 11},
                                           StartCase{"PastTheEnd", 12, 0}, StartCase{"Negative", -1, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OptionsSheet, PagesNeverShownKeepTheirSettings) {
    // A page the user never opened must give back exactly what it was given, oddities included.
    StoredOptions o;
    o.settings.AutoDestMP3EncodingParam = 0;
    o.settings.MP3BitRate = 100;
    o.settings.AMRMode = 12;
    const ConversionSettings before = o.settings;
    EXPECT_TRUE(o.Show([](QWidget* sheet) { Press(sheet, QDialogButtonBox::Ok); }));
    EXPECT_EQ(o.settings, before);
    EXPECT_EQ(o.wma.loads, 0);
    EXPECT_TRUE(o.Show([](QWidget* sheet) {
        Tabs(sheet)->setCurrentIndex(1);
        Press(sheet, QDialogButtonBox::Ok);
    }));
    EXPECT_EQ(o.settings.MP3BitRate, 8);
    EXPECT_EQ(o.settings.AMRMode, 12);
}

TEST(OptionsSheet, EveryAppendedPageGivesBackWhatItWasGiven) {
    // A control wired to the wrong field, or a bit rate set on the command line that the list lacks,
    // would change the user's options just by opening the page and pressing OK.
    StoredOptions o;
    ConversionSettings& s = o.settings;
    s.FLACCompression = 8;
    s.FLACBitsPerSample = 24;
    s.FLACSampleRate = 96000;
    s.FLACChannels = 1;
    s.FLACID3TagType = 2;
    s.AmplifyFLAC = 1;
    s.AmplifyFLACCoeff = 150;
    s.OpusBitRate = 100;
    s.OpusRateControl = 2;
    s.OpusComplexity = 3;
    s.OpusSignal = 2;
    s.OpusChannels = 1;
    s.OpusID3TagType = 0;
    s.ReplayGain = 2;
    s.Normalize = 1;
    s.NormalizeTarget = -23;
    s.TransferAllTags = 0;
    s.FolderCoverArt = 0;
    s.MaxPictureSize = 1234;
    s.ID3v2Version = 4;
    s.WavId3Chunk = 1;
    s.OutputTakesSourceTime = 1;
    s.WritePlaylists = 1;
    s.CopySameFormat = 1;
    const ConversionSettings before = s;
    const int first = 8;  // FLAC Options
    EXPECT_TRUE(o.Show([&](QWidget* sheet) {
        for (int page = first; page < COptSheet::kPageCount; ++page) Tabs(sheet)->setCurrentIndex(page);
        Press(sheet, QDialogButtonBox::Ok);
    }));
    ConversionSettings expected = before;
    expected.OptStartPageIndex = COptSheet::kPageCount - 1;
    EXPECT_EQ(o.settings, expected);
}

}  // namespace
