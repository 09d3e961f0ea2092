#include "options/EditTagTemplate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <vector>

#include "options/NumberSpin.h"
#include "options/OptionsDialogs.h"
#include "options/OptionsTexts.h"
#include "options/PageWidgets.h"
#include "settings/GenreNames.h"

namespace {
constexpr int kHighestTrack = 255;

std::vector<QString> SortedGenres() {
    std::vector<QString> names;
    for (const char* n : kGenreNames) names.push_back(QString::fromUtf8(n));
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}

QLineEdit* TextEdit(const std::string& text, const char* name, const char* label) {
    return Named(new QLineEdit(FromSystemText(text)), name, label);
}
}  // namespace

CEditTagDialog::CEditTagDialog(const TagTemplate& tmpl, bool showCopyright, OptionsDialogs& dialogs,
                               QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_template(tmpl) {
    setWindowTitle(QString::fromUtf8(kTagDialogCaption));
    QFont font(QString::fromUtf8(kDialogFont));
    font.setPixelSize(kDialogFontPixels);
    setFont(font);

    const char* trackTexts[3] = {kTrackNone, kTrackSequence, kTrackCustom};
    const char* trackNames[3] = {"trackNone", "trackSequence", "trackCustom"};
    for (int i = 0; i < 3; ++i)
        m_track[i] = Named(new QRadioButton(QString::fromUtf8(trackTexts[i])), trackNames[i], trackTexts[i]);
    m_number = Named(new NumberSpin(0, kHighestTrack, 1), "trackNumber", kTrackCustom);
    m_titleAsFileName =
        Named(new QCheckBox(QString::fromUtf8(kTitleAsFileName)), "titleAsFileName", kTitleAsFileName);
    m_title = TextEdit(tmpl.Title, "title", kTitleLabel);
    m_artist = TextEdit(tmpl.Artist, "artist", kArtistLabel);
    m_album = TextEdit(tmpl.Album, "album", kAlbumLabel);
    m_year = TextEdit(tmpl.Year, "year", kYearLabel);
    m_year->setMaximumWidth(m_year->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 12);
    m_genre = Named(new QComboBox, "genre", kGenreLabel);
    m_genre->setEditable(true);
    m_genre->setInsertPolicy(QComboBox::NoInsert);
    for (const QString& g : SortedGenres()) m_genre->addItem(g);
    m_genre->setCurrentIndex(-1);
    m_genre->setEditText(FromSystemText(tmpl.Genre));
    m_comment = TextEdit(tmpl.Comment, "comment", kCommentLabel);
    m_composer = TextEdit(tmpl.Composer, "composer", kComposerLabel);
    m_copyright = TextEdit(tmpl.Copyright, "copyright", kCopyrightLabel);

    auto* grid = new QGridLayout(this);
    int row = 0;
    grid->addWidget(BuddyLabel(kTrackLabel, m_track[0]), row, 0);
    auto* trackRow = new QHBoxLayout;
    for (auto* b : m_track) trackRow->addWidget(b);
    trackRow->addWidget(m_number);
    trackRow->addStretch();
    grid->addLayout(trackRow, row++, 1);
    grid->addWidget(BuddyLabel(kTitleLabel, m_titleAsFileName), row, 0);
    grid->addWidget(m_titleAsFileName, row++, 1);
    grid->addWidget(m_title, row++, 1);
    const std::pair<const char*, QWidget*> rows[] = {
        {kArtistLabel, m_artist}, {kAlbumLabel, m_album},     {kYearLabel, m_year},
        {kGenreLabel, m_genre},   {kCommentLabel, m_comment}, {kComposerLabel, m_composer},
    };
    for (const auto& [label, edit] : rows) {
        grid->addWidget(BuddyLabel(label, edit), row, 0);
        grid->addWidget(edit, row++, 1, edit == m_year ? Qt::AlignLeft : Qt::Alignment());
    }
    auto* copyrightLabel = BuddyLabel(kCopyrightLabel, m_copyright);
    grid->addWidget(copyrightLabel, row, 0);
    grid->addWidget(m_copyright, row++, 1);
    copyrightLabel->setVisible(showCopyright);
    m_copyright->setVisible(showCopyright);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    grid->addWidget(buttons, row, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    setMinimumWidth(420);

    // Any track type other than 1 and 2 shows as none.
    CheckOnly(m_track, tmpl.TrackNumType == 1 || tmpl.TrackNumType == 2 ? tmpl.TrackNumType : 0);
    m_number->SetNumber(tmpl.CustomTrackNum);
    m_titleAsFileName->setChecked(tmpl.TitleAsFileName != 0);
    UpdateEnabled();

    connect(buttons, &QDialogButtonBox::accepted, this, &CEditTagDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CEditTagDialog::reject);
    connect(m_titleAsFileName, &QCheckBox::clicked, this, [this] {
        UpdateEnabled();
        if (m_title->isEnabled()) m_title->setFocus();
    });
    for (auto* b : m_track)
        connect(b, &QRadioButton::clicked, this, [this] {
            UpdateEnabled();
            m_number->setFocus();
        });
}

void CEditTagDialog::UpdateEnabled() {
    m_title->setEnabled(!m_titleAsFileName->isChecked());
    m_number->setEnabled(m_track[2]->isChecked());
}

void CEditTagDialog::accept() {
    const auto number = m_number->Number();
    if (!number || *number < 0 || *number > kHighestTrack) {
        m_dialogs.ShowWarning(this, number ? kNeedTrackNumber : kNeedInteger);
        m_number->setFocus();
        return;
    }
    TagTemplate t = m_template;
    t.TrackNumType = m_track[1]->isChecked() ? 1 : m_track[2]->isChecked() ? 2 : 0;
    t.CustomTrackNum = *number;
    t.TitleAsFileName = m_titleAsFileName->isChecked() ? 1 : 0;
    t.Title = ToSystemText(m_title->text());
    t.Artist = ToSystemText(m_artist->text());
    t.Album = ToSystemText(m_album->text());
    t.Year = ToSystemText(m_year->text());
    t.Genre = ToSystemText(m_genre->currentText());
    t.Comment = ToSystemText(m_comment->text());
    t.Composer = ToSystemText(m_composer->text());
    t.Copyright = ToSystemText(m_copyright->text());
    m_template = t;
    QDialog::accept();
}

int EditTagTemplate(QWidget* owner, TagTemplate& tmpl, bool showCopyright, OptionsDialogs& dialogs) {
    CEditTagDialog dialog(tmpl, showCopyright, dialogs, owner);
    if (dialog.exec() != QDialog::Accepted) return 0;
    tmpl = dialog.Result();
    return 1;
}
