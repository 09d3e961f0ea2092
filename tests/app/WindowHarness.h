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

// Files named "bad*" fail to probe; everything else is a one-second WAV.
inline std::optional<FileEntry> FakeProbe(const std::string& path) {
    if (path.find("/bad") != std::string::npos) return std::nullopt;
    FileEntry e;
    e.path = path;
    e.kind = 2000;
    e.duration = 1;
    e.channels = 1;
    return e;
}

/// Selects exactly the given rows of the file list.
inline void Select(MainWindow& w, const std::vector<int>& rows) {
    w.List()->clearSelection();
    for (int r : rows)
        w.List()->selectionModel()->select(w.Model().index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

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

/// Records what the window asks of the desktop, and answers as a desktop set up by the test.
class FakeDesktop final : public DesktopActions {
public:
    std::vector<std::string> opened, browsed, selected;
    std::string handler = "player.desktop";  // what HandlerOf answers for every file and folder
    int openResult = 1, browserResult = 1, fileManagerResult = 1;
    int Open(const std::string& p) override {
        opened.push_back(p);
        return openResult;
    }
    int OpenInBrowser(const std::string& a) override {
        browsed.push_back(a);
        return browserResult;
    }
    int ShowInFileManager(const std::string& p) override {
        selected.push_back(p);
        return fileManagerResult;
    }
    std::string HandlerOf(const std::string&) override { return handler; }
    std::vector<std::string> notified;
    int locksTaken = 0, locksHeld = 0;
    void Notify(const std::string& summary, const std::string& body) override {
        notified.push_back(summary + ": " + body);
    }
    struct CountedLock final : SleepLock {
        explicit CountedLock(int& held) : held(held) { ++held; }
        ~CountedLock() override { --held; }
        int& held;
    };
    std::unique_ptr<SleepLock> InhibitSleep(const std::string&) override {
        ++locksTaken;
        return std::make_unique<CountedLock>(locksHeld);
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
    std::string programFolder = "/opt/wavelorn/";

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
            *settings,     store,   engine,
            dialogs,       desktop, [this](BatchView& view) { return session.MakeWindowDriver(view); },
            programFolder, probe,   {}};
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
