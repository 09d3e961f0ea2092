#pragma once
#include <string>
#include <vector>

#include "engine/UserInteraction.h"

namespace testsupport {

/// Answers questions with a preset answer and records everything the engine asked or opened.
class RecordingUserInteraction : public UserInteraction {
public:
    bool answer = false;  // the reply to every question
    std::vector<std::string> questions, information, warnings, opened, browsed, selected;

    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return answer;
    }
    void ShowInformation(const std::string& text) override { information.push_back(text); }
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    int OpenPath(const std::string& fileOrFolder) override {
        opened.push_back(fileOrFolder);
        return 1;
    }
    int OpenInBrowser(const std::string& address) override {
        browsed.push_back(address);
        return 1;
    }
    int SelectInExplorer(const std::string& path) override {
        selected.push_back(path);
        return 1;
    }
};

}  // namespace testsupport
