#pragma once
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <initializer_list>

// Small helpers that build the controls of the pages the same way everywhere.

/// A control with its object name (what tests look it up by) and accessible name.
template <class W>
W* Named(W* widget, const char* objectName, const char* label);

/// A label whose mnemonic focuses `buddy`.
QLabel* BuddyLabel(const char* text, QWidget* buddy);

/// A wrapping static text.
QLabel* NoteLabel(const char* text);

/// A plain list of entries "format" (with %1 the value) carrying their values, ending with
/// "Same as original file" (value 0) when sameEntry is set.
void FillValues(QComboBox* list, std::initializer_list<int> values, const char* format,
                bool sameEntry = true);

/// Selects the entry carrying `value`; the first entry when none does.
void SelectValue(QComboBox* list, int value);

/// The value of the selected entry; 0 when nothing is selected.
int SelectedValue(const QComboBox* list);

#include "options/QtText.h"

template <class W>
W* Named(W* widget, const char* objectName, const char* label) {
    widget->setObjectName(QString::fromUtf8(objectName));
    widget->setAccessibleName(WithoutMnemonic(label));
    return widget;
}

/// Checks the radio button at `index` and unchecks the others; none when the index is outside the group.
template <class B, std::size_t N>
void CheckOnly(B* const (&buttons)[N], int index) {
    for (std::size_t i = 0; i < N; ++i) {
        const bool exclusive = buttons[i]->autoExclusive();
        buttons[i]->setAutoExclusive(false);  // an exclusive button refuses to be unchecked
        buttons[i]->setChecked(int(i) == index);
        buttons[i]->setAutoExclusive(exclusive);
    }
}

/// The index of the checked button, -1 when none is checked.
template <class B, std::size_t N>
int CheckedIndex(B* const (&buttons)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        if (buttons[i]->isChecked()) return int(i);
    return -1;
}
