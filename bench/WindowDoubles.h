// The window's dialogs and desktop for benchmarks: nothing is asked, opened or shown.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "app/DesktopActions.h"
#include "app/Dialogs.h"

namespace bench {

class SilentDialogs final : public Dialogs {
public:
    std::optional<std::vector<std::string>> OpenFiles(QWidget*, const std::vector<std::string>&) override {
        return std::nullopt;
    }
    std::optional<std::string> BrowseForFolder(QWidget*, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    bool Message(QWidget*, MessageIcon, const std::string&) override { return false; }
    void About(QWidget*, const std::string&) override {}
};

class NoDesktop final : public DesktopActions {
public:
    int Open(const std::string&) override { return 1; }
    int OpenInBrowser(const std::string&) override { return 1; }
    int ShowInFileManager(const std::string&) override { return 1; }
    std::string HandlerOf(const std::string&) override { return {}; }
};

}  // namespace bench
