#include <QLineEdit>

#include "OptionsTestSupport.h"
#include "options/EditTagTemplate.h"
#include "options/OptionsTexts.h"
#include "settings/GenreNames.h"

namespace {

struct TrackCase {
    const char* name;
    int storedType;
    const char* click;    // a track button, or null
    const char* typed;    // the number edit's new text, or null
    const char* message;  // the warning OK shows, or null
    int wantType = 0, wantNumber = 0;
};
void PrintTo(const TrackCase& c, std::ostream* os) {
    *os << c.name;
}

class TagDialogTrack : public ::testing::TestWithParam<TrackCase> {};
TEST_P(TagDialogTrack, OkChecksTheNumberEvenWhenItIsDisabled) {
    // A number the tag writers cannot hold must never be copied into the template.
    const TrackCase& c = GetParam();
    FakeDialogs dialogs;
    TagTemplate t;
    t.TrackNumType = c.storedType;
    t.CustomTrackNum = 7;
    CEditTagDialog dialog(t, true, dialogs);
    if (c.typed) {
        Click(&dialog, "trackCustom");
        Type(&dialog, "trackNumber", c.typed);
    }
    if (c.click) Click(&dialog, c.click);
    EXPECT_EQ(Find<QSpinBox>(&dialog, "trackNumber")->isEnabled(),
              Find<QAbstractButton>(&dialog, "trackCustom")->isChecked());
    dialog.accept();
    EXPECT_EQ(dialogs.warnings, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    EXPECT_EQ(dialog.result(), c.message ? QDialog::Rejected : QDialog::Accepted);
    if (c.message) return;
    EXPECT_EQ(dialog.Result().TrackNumType, c.wantType);
    EXPECT_EQ(dialog.Result().CustomTrackNum, c.wantNumber);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, TagDialogTrack,
    ::testing::Values(TrackCase{"Sequence", 0, "trackSequence", nullptr, nullptr, 1, 7},
                      TrackCase{"Custom", 0, nullptr, "255", nullptr, 2, 255},
                      TrackCase{"NoneKeepsNumber", 2, "trackNone", nullptr, nullptr, 0, 7},
                      TrackCase{"UnknownTypeShowsNone", 9, nullptr, nullptr, nullptr, 0, 7},
                      TrackCase{"EmptyWhileNone", 0, "trackNone", "", kNeedInteger},
                      TrackCase{"AboveRange", 0, nullptr, "256", kNeedTrackNumber}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TagDialog, TextsGenreAndTitleFlagAreCopiedBack) {
    // Every field reaches the template; a genre outside the list is kept as typed.
    FakeDialogs dialogs;
    TagTemplate t;
    t.Genre = "Nordic Polka";
    CEditTagDialog dialog(t, true, dialogs);
    auto* genre = Find<QComboBox>(&dialog, "genre");
    EXPECT_EQ(genre->currentText(), "Nordic Polka");
    ASSERT_EQ(genre->count(), int(kGenreNames.size()));
    for (int i = 1; i < genre->count(); ++i)
        EXPECT_LE(genre->itemText(i - 1).compare(genre->itemText(i), Qt::CaseInsensitive), 0);
    EXPECT_FALSE(Find<QLineEdit>(&dialog, "title")->isEnabled());
    Click(&dialog, "titleAsFileName");
    Find<QLineEdit>(&dialog, "title")->setText("Song");
    Find<QLineEdit>(&dialog, "artist")->setText("Band");
    Find<QLineEdit>(&dialog, "copyright")->setText("(c) us");
    genre->setEditText("Jazz+Funk");
    dialog.accept();
    TagTemplate want = t;
    want.TitleAsFileName = 0;
    want.Title = "Song";
    want.Artist = "Band";
    want.Copyright = "(c) us";
    want.Genre = "Jazz+Funk";
    EXPECT_EQ(dialog.Result(), want);
}

TEST(TagDialog, Mp4HidesCopyrightButKeepsIt) {
    // The MP4 template has no copyright row, yet its stored copyright must survive an edit.
    FakeDialogs dialogs;
    TagTemplate t;
    t.Copyright = "kept";
    TagTemplate edited = t;
    WithModal(
        [](QWidget* modal) {
            EXPECT_FALSE(Find<QLineEdit>(modal, "copyright")->isVisible());
            Find<QLineEdit>(modal, "album")->setText("Album");
            static_cast<QDialog*>(modal)->accept();
        },
        [&] { EXPECT_EQ(EditTagTemplate(nullptr, edited, false, dialogs), 1); });
    EXPECT_EQ(edited.Copyright, "kept");
    EXPECT_EQ(edited.Album, "Album");
}

TEST(TagDialog, CancelLeavesTheTemplate) {
    // Cancel must not copy anything back.
    FakeDialogs dialogs;
    TagTemplate t;
    t.Artist = "before";
    TagTemplate edited = t;
    WithModal(
        [](QWidget* modal) {
            Find<QLineEdit>(modal, "artist")->setText("after");
            static_cast<QDialog*>(modal)->reject();
        },
        [&] { EXPECT_EQ(EditTagTemplate(nullptr, edited, true, dialogs), 0); });
    EXPECT_EQ(edited, t);
}

}  // namespace
