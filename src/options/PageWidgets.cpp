#include "options/PageWidgets.h"

#include "options/OptionsTexts.h"

QLabel* BuddyLabel(const char* text, QWidget* buddy) {
    auto* label = new QLabel(QString::fromUtf8(text));
    label->setBuddy(buddy);
    return label;
}

QLabel* NoteLabel(const char* text) {
    auto* label = new QLabel(QString::fromUtf8(text));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void FillValues(QComboBox* list, std::initializer_list<int> values, const char* format, bool sameEntry) {
    for (int v : values) list->addItem(QString::fromUtf8(format).arg(v), v);
    if (sameEntry) list->addItem(QString::fromUtf8(kSameAsSource), 0);
}

void SelectValue(QComboBox* list, int value) {
    const int index = list->findData(value);
    list->setCurrentIndex(index >= 0 ? index : 0);
}

int SelectedValue(const QComboBox* list) {
    const QVariant v = list->currentData();
    return v.isValid() ? v.toInt() : 0;
}
