#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

#include "OptionsTestSupport.h"
#include "options/COptSheet.h"
#include "options/EditTagTemplate.h"
#include "settings/ConversionSettings.h"

namespace {

// Debian's Tahoma (fonts-wine) lies outside the folders fontconfig searches.
bool HaveTahoma() {
    static const bool have = QFontDatabase::addApplicationFont("/usr/share/wine/fonts/tahoma.ttf") >= 0 ||
                             QFontDatabase::hasFamily("Tahoma");
    return have;
}

/// Texts of `root` that are narrower or lower than they need: what the user would see cut off.
std::vector<std::string> CutOff(QWidget* root) {
    std::vector<std::string> cut;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisible()) continue;
        QString text;
        if (auto* l = qobject_cast<QLabel*>(w))
            text = l->text();
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            text = b->text();
        else if (!qobject_cast<QComboBox*>(w))
            continue;
        const QSize need = w->minimumSizeHint();
        auto* label = qobject_cast<QLabel*>(w);
        const int needHeight = label && label->wordWrap() ? label->heightForWidth(w->width()) : need.height();
        if ((!(label && label->wordWrap()) && w->width() < need.width()) || w->height() < needHeight)
            cut.push_back(w->objectName().toStdString() + " \"" + text.toStdString() + "\"");
    }
    return cut;
}

/// Saves a picture when WAVELORN_PICTURES names a folder.
void Picture(QWidget* w, const QString& name) {
    const QString folder = qEnvironmentVariable("WAVELORN_PICTURES");
    if (!folder.isEmpty()) w->grab().save(folder + "/" + name + ".png");
}

class SheetLook : public ::testing::TestWithParam<bool> {};

TEST_P(SheetLook, NoTextIsCutOff) {
    // Every label, button and list of every page and of the tag dialog shows its whole text.
    const bool tahoma = GetParam();
    if (tahoma && !HaveTahoma()) GTEST_SKIP() << "no Tahoma font here";
    const QString suffix = tahoma ? "-tahoma" : "-fallback";
    FakeDialogs dialogs;
    FakeWmaFormats wma;
    wma.formats = std::vector<WmaFormatChoice>{{48000, 192000, 2}};
    COptSheet sheet(dialogs, wma);
    if (!tahoma) {
        QFont fallback(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
        fallback.setPixelSize(11);
        sheet.setFont(fallback);
    }
    ConversionSettings s = TestSettings();
    s.AutoDestMP3EncodingParam = 0;  // enabled lists show their texts
    sheet.LoadFrom(s);
    sheet.show();
    auto* tabs = Find<QTabWidget>(&sheet, "pages");
    QApplication::processEvents();
    EXPECT_LE(tabs->tabBar()->tabRect(COptSheet::kPageCount - 1).right(), tabs->tabBar()->width());
    for (int i = 0; i < COptSheet::kPageCount; ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        ASSERT_EQ(tabs->currentIndex(), i);
        EXPECT_EQ(CutOff(tabs->widget(i)), std::vector<std::string>{}) << "page " << i;
        Picture(&sheet, QString("page%1").arg(i) + suffix);
    }
    EXPECT_TRUE(dialogs.warnings.empty());

    CEditTagDialog tagDialog(TagTemplate{}, true, dialogs);
    tagDialog.setFont(sheet.font());
    tagDialog.show();
    QApplication::processEvents();
    EXPECT_EQ(CutOff(&tagDialog), std::vector<std::string>{});
    Picture(&tagDialog, "tagdialog" + suffix);
}

INSTANTIATE_TEST_SUITE_P(Fonts, SheetLook, ::testing::Values(true, false),
                         [](const auto& info) { return std::string(info.param ? "Tahoma" : "Fallback"); });

}  // namespace
