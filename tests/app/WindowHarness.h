#pragma once
#include <QTest>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/DesktopActions.h"
#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "app/WindowUserInteraction.h"
#include "engine/BatchDriver.h"
#include "engine/EngineContext.h"
#include "host/ConverterSession.h"
#include "platform/MemoryUserStore.h"
#include "settings/ConversionSettings.h"

namespace apptest {

/// Answers the window's dialogs from queues and records every message shown.
class FakeDialogs final : public Dialogs {
public:
    std::deque<std::optional<std::vector<std::string>>> files;
    std::deque<std::optional<std::string>> folders;
    bool yes = false;
    struct Shown {
        MessageIcon icon;
        std::string text;
    };
    std::vector<Shown> messages;
    std::vector<std::string> folderStarts;
    int abouts = 0;

    std::optional<std::vector<std::string>> OpenFiles(QWidget*, const std::vector<std::string>&) override {
        if (files.empty()) return std::nullopt;
        auto answer = files.front();
        files.pop_front();
        return answer;
    }
    std::optional<std::string> BrowseForFolder(QWidget*, const std::string&,
                                               const std::string& initial) override {
        folderStarts.push_back(initial);
        if (folders.empty()) return std::nullopt;
        auto answer = folders.front();
        folders.pop_front();
        return answer;
    }
    bool Message(QWidget*, MessageIcon icon, const std::string& text) override {
        messages.push_back({icon, text});
        return icon == MessageIcon::Question && yes;
    }
    void About(QWidget*, const std::string&) override { ++abouts; }
};

/// Records what the window asks of the desktop.
class FakeDesktop final : public DesktopActions {
public:
    std::vector<std::string> opened, browsed, selected;
    int Open(const std::string& p) override {
        opened.push_back(p);
        return 1;
    }
    int OpenInBrowser(const std::string& a) override {
        browsed.push_back(a);
        return 1;
    }
    int SelectInExplorer(const std::string& p) override {
        selected.push_back(p);
        return 1;
    }
};

/// A main window over the program's own composition (ConverterSession) with an in-memory store,
/// fake dialogs and desktop, and the real engine unless a prober is given. Restart() closes the
/// window and opens a new one whose settings are loaded again from the same store.
struct WindowHarness {
    FakeDialogs dialogs;
    FakeDesktop desktop;
    WindowUserInteraction user{dialogs, desktop};
    ConverterSession session{std::make_unique<MemoryUserStore>(), user};
    MemoryUserStore& store = static_cast<MemoryUserStore&>(session.Store());
    EngineContext& engine = session.Engine();
    ConversionSettings* settings = &session.Settings();
    std::unique_ptr<MainWindow> window;
    FileListModel::Prober probe;
    int soundFont = 1;  // what loading the SoundFont yields

    explicit WindowHarness(FileListModel::Prober prober = {}, bool firstRunDone = true, bool writable = true)
        : probe(std::move(prober)) {
        if (firstRunDone) {
            auto key = store.CreateKey(ConversionSettings::kOptionsKey);
            key->SetDword("FirstRun", 0);
            key->Close();
        }
        store.SetWritable(writable);
        session.Services().loadSoundFont = [this](const std::string&) { return soundFont; };
        Open();
    }
    ~WindowHarness() {
        if (window) window->close();
    }
    void Open() {
        *settings = ConversionSettings("");
        settings->LoadSettings(store);
        WindowServices services{
            *settings,
            store,
            engine,
            dialogs,
            desktop,
            [this](BatchView& view) { return std::make_unique<BatchDriver>(session.MakeDriver(view)); },
            "/opt/wavelorn/",
            probe,
            {}};
        window = std::make_unique<MainWindow>(std::move(services));
        user.SetOwner(window.get());
    }
    void Restart() {
        window->close();
        window.reset();
        Open();
    }
    MainWindow& W() { return *window; }
};

}  // namespace apptest
