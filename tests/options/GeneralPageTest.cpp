#include <QLineEdit>

#include "OptionsTestSupport.h"
#include "options/COptOutputPage.h"
#include "options/OptionsTexts.h"
#include "support/TestSupport.h"

namespace {

struct GeneralCase {
    const char* name;
    std::function<void(ConversionSettings&)> given;
    std::function<void(QWidget*)> act;
    bool valid;
    const char* message;  // warning shown, or null
    std::function<void(const ConversionSettings&)> expect;
};
void PrintTo(const GeneralCase& c, std::ostream* os) {
    *os << c.name;
}

class GeneralPage : public ::testing::TestWithParam<GeneralCase> {};

TEST_P(GeneralPage, ValidatesAndStoresWhatTheControlsShow) {
    // The page cleans, checks and commits exactly what the user chose.
    const GeneralCase& c = GetParam();
    ConversionSettings s = TestSettings();
    if (c.given) c.given(s);
    FakeDialogs dialogs;
    COptOutputPage page(dialogs);
    page.LoadFrom(s);
    c.act(&page);
    EXPECT_EQ(page.Validate(), c.valid);
    EXPECT_EQ(dialogs.warnings, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    if (!c.valid) return;
    ConversionSettings out = s;
    page.StoreTo(out);
    c.expect(out);
}

void FilterOn(QWidget* page, const char* text) {
    Click(page, "filterOn");
    Find<QLineEdit>(page, "filter")->setText(QString::fromUtf8(text));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneralPage,
    ::testing::Values(GeneralCase{"BlanksTabsAndSemicolonsAreCleaned", nullptr,
                                  [](QWidget* p) { FilterOn(p, " mp3 ;\twav"); }, true, nullptr,
                                  [](const ConversionSettings& s) {
                                      EXPECT_EQ(s.FilterExts, "mp3,wav");
                                      EXPECT_EQ(s.EnableExtFilter, 1);
                                  }},
                      GeneralCase{"FilterOnWithOnlyBlanksNeedsExtensions", nullptr,
                                  [](QWidget* p) { FilterOn(p, "  "); }, false, kNeedExtensions, nullptr},
                      GeneralCase{"FilterOffKeepsItsTextUnchecked", nullptr,
                                  [](QWidget* p) { Find<QLineEdit>(p, "filter")->setText(""); }, true,
                                  nullptr,
                                  [](const ConversionSettings& s) { EXPECT_EQ(s.EnableExtFilter, 0); }},
                      GeneralCase{"CustomFolderMustBeNamed", nullptr,
                                  [](QWidget* p) {
                                      Choose(Find<QComboBox>(p, "folderChoice"), kCustomFolder);
                                      Find<QLineEdit>(p, "folder")->clear();
                                  },
                                  false, kNeedFolder, nullptr},
                      GeneralCase{"SameFolderKeepsTheDisabledCustomFolder",
                                  [](ConversionSettings& s) { s.DestSpecifiedFolder = "/music/out"; },
                                  [](QWidget* p) {
                                      Choose(Find<QComboBox>(p, "folderChoice"), kSameFolder);
                                      EXPECT_FALSE(Find<QLineEdit>(p, "folder")->isEnabled());
                                  },
                                  true, nullptr,
                                  [](const ConversionSettings& s) {
                                      EXPECT_EQ(s.DestOutputFolderOpt, 199);
                                      EXPECT_EQ(s.DestSpecifiedFolder, "/music/out");
                                  }},
                      GeneralCase{"UnknownCodesCommitTheFirstEntries",
                                  [](ConversionSettings& s) {
                                      s.DestOutputFolderOpt = 5;
                                      s.TargetExistsOpt = 99;
                                      s.FilesAtOnce = 40;
                                  },
                                  [](QWidget*) {}, true, nullptr,
                                  [](const ConversionSettings& s) {
                                      EXPECT_EQ(s.DestOutputFolderOpt, 199);
                                      EXPECT_EQ(s.TargetExistsOpt, 11);
                                      EXPECT_EQ(s.FilesAtOnce, 0);
                                  }},
                      GeneralCase{"ChoicesAreCommitted", nullptr,
                                  [](QWidget* p) {
                                      Click(p, "monoRight");
                                      Choose(Find<QComboBox>(p, "target"), kTargetSkip);
                                      Click(p, "createDirs");
                                      Click(p, "myDocuments");
                                      Click(p, "browseOutput");
                                      Choose(Find<QComboBox>(p, "filesAtOnce"), "4");
                                  },
                                  true, nullptr,
                                  [](const ConversionSettings& s) {
                                      EXPECT_EQ(s.MonoType, 2);
                                      EXPECT_EQ(s.TargetExistsOpt, 33);
                                      EXPECT_EQ(s.CreateDirs, 1);
                                      EXPECT_EQ(s.OutputFiles2MyDocuments, 0);
                                      EXPECT_EQ(s.BrowseOutputFolder, 0);
                                      EXPECT_EQ(s.FilesAtOnce, 4);
                                  }},
                      GeneralCase{"ProcessingChoicesAreCommitted", nullptr,
                                  [](QWidget* p) {
                                      Click(p, "dither");
                                      Click(p, "legacyResampler");
                                      Click(p, "verifyOutputs");
                                      Click(p, "strictDecode");
                                  },
                                  true, nullptr,
                                  [](const ConversionSettings& s) {
                                      EXPECT_EQ(s.Dither, 0);
                                      EXPECT_EQ(s.Resampler, 1);
                                      EXPECT_EQ(s.VerifyOutputs, 1);
                                      EXPECT_EQ(s.StrictDecode, 1);
                                  }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GeneralPageTexts, SpeakOfLinuxPathsAndFolders) {
    // The page runs on Linux: no drive letters, backslash paths or "My Documents" in what it shows.
    FakeDialogs dialogs;
    COptOutputPage page(dialogs);
    for (QWidget* w : page.findChildren<QWidget*>()) {
        const QString text = w->property("text").toString().remove('&');
        EXPECT_FALSE(text.contains('\\') || text.contains("My Documents")) << text.toStdString();
    }
}

TEST(GeneralPageButtons, BrowsePutsTheChosenFolderIntoTheEdit) {
    // Browse starts at the edit's folder and fills the edit only when a folder was chosen.
    FakeDialogs dialogs;
    COptOutputPage page(dialogs);
    ConversionSettings s = TestSettings();
    s.DestSpecifiedFolder = "/old";
    page.LoadFrom(s);
    Click(&page, "browse");
    EXPECT_EQ(dialogs.browseTitle, kBrowseTitle);
    EXPECT_EQ(dialogs.browseInitial, "/old");
    EXPECT_EQ(Find<QLineEdit>(&page, "folder")->text(), "/old");
    dialogs.folderAnswer = "/new/";
    Click(&page, "browse");
    EXPECT_EQ(Find<QLineEdit>(&page, "folder")->text(), "/new/");
}

TEST(GeneralPageButtons, OpenReportsAFolderThatDoesNotExistYet) {
    // Open only opens existing folders; a missing one is reported by name, not created.
    testsupport::TempDir dir;
    FakeDialogs dialogs;
    COptOutputPage page(dialogs);
    page.LoadFrom(TestSettings());
    Find<QLineEdit>(&page, "folder")->setText(QString::fromStdString(dir.Path().string()));
    Click(&page, "open");
    EXPECT_EQ(dialogs.opened, std::vector<std::string>{dir.Path().string()});
    const std::string missing = dir.File("not yet");
    Find<QLineEdit>(&page, "folder")->setText(QString::fromStdString(missing));
    Click(&page, "open");
    ASSERT_EQ(dialogs.warnings.size(), 1u);
    EXPECT_EQ(dialogs.warnings[0],
              QString::fromUtf8(kFolderMissing).arg(QString::fromStdString(missing)).toStdString());
    Click(&page, "monoHelp");
    EXPECT_EQ(dialogs.informations, std::vector<std::string>{kMonoHelp});
}

}  // namespace
