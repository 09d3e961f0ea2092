#pragma once
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "options/OptionsDialogs.h"
#include "options/WmaFormatProvider.h"
#include "settings/ConversionSettings.h"

/// Answers the sheet's dialogs and records what it was asked.
struct FakeDialogs final : OptionsDialogs {
    std::vector<std::string> warnings, informations, questions, opened;
    bool answerYes = false;
    std::optional<std::string> folderAnswer;
    std::string browseTitle, browseInitial;

    void ShowInformation(QWidget*, const std::string& text) override { informations.push_back(text); }
    void ShowWarning(QWidget*, const std::string& text) override { warnings.push_back(text); }
    bool AskYesNo(QWidget*, const std::string& text) override {
        questions.push_back(text);
        return answerYes;
    }
    std::optional<std::string> BrowseForFolder(QWidget*, const std::string& title,
                                               const std::string& initial) override {
        browseTitle = title;
        browseInitial = initial;
        return folderAnswer;
    }
    int OpenFolder(const std::string& folder) override {
        opened.push_back(folder);
        return 1;
    }
    int OpenInBrowser(const std::string& address) override {
        opened.push_back(address);
        return 1;
    }
};

/// A Windows Media runtime with a fixed list of formats, or none at all.
struct FakeWmaFormats final : WmaFormatProvider {
    std::optional<std::vector<WmaFormatChoice>> formats = std::vector<WmaFormatChoice>{};
    int loads = 0;
    std::optional<std::vector<WmaFormatChoice>> LoadFormats() override {
        ++loads;
        return formats;
    }
};

/// Settings with no documents folder lookup, so tests do not depend on the machine.
inline ConversionSettings TestSettings() {
    return ConversionSettings("/tmp/docs");
}

template <class W>
W* Find(QWidget* root, const char* name) {
    W* w = root->findChild<W*>(QString::fromUtf8(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

/// Chooses an entry of a list as the user does (the list reports the choice).
inline void Choose(QComboBox* list, const QString& text) {
    const int index = list->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    list->setCurrentIndex(index);
    emit list->activated(index);
}

inline void Click(QWidget* root, const char* name) {
    Find<QAbstractButton>(root, name)->click();
}

/// Replaces the text of a number edit as typing does.
inline void Type(QWidget* root, const char* name, const QString& text) {
    auto* spin = Find<QSpinBox>(root, name);
    spin->clear();
    QTest::keyClicks(spin, text);
}

/// Runs `show` (which opens a modal dialog) and, once the dialog is up, `act` on it.
inline void WithModal(const std::function<void(QWidget*)>& act, const std::function<void()>& show) {
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(modal);
    });
    show();
}
