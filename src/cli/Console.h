#pragma once
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/BatchView.h"
#include "engine/UserInteraction.h"

/// Ctrl+C cancels like the Cancel button: the first one sets a flag the loops read; a second
/// one ends the program at once.
void InstallInterruptHandler();
bool InterruptRequested();

/// Questions and messages on the terminal. Questions take the preset answer, else a y/n reply when
/// standard input is a terminal, else No. Nothing is opened on the desktop except a download
/// address the user agreed to; the output is never shown in a file manager.
class ConsoleUserInteraction final : public UserInteraction {
public:
    explicit ConsoleUserInteraction(std::optional<bool> answer) : m_answer(answer) {}
    bool AskYesNo(const std::string& text) override;
    void ShowInformation(const std::string& text) override;
    void ShowWarning(const std::string& text) override;
    int OpenPath(const std::string& fileOrFolder) override;
    int OpenInBrowser(const std::string& address) override;
    int SelectInExplorer(const std::string& path) override;

private:
    std::optional<bool> m_answer;
};

/// Progress on standard error (one rewritten line) when enabled; Cancel is Ctrl+C.
class ConsoleProgress final : public ProgressDialog {
public:
    explicit ConsoleProgress(bool show) : m_show(show) {}
    ~ConsoleProgress() override;
    void SetFileText(const std::string& text) override;
    int FileBarWidth() override { return 100; }
    void SetFileBarRange(int) override {}
    void SetFileBarPos(int) override {}
    void SetBatchText(const std::string& text) override;
    void SetBatchRange(int) override {}
    void StepBatch() override {}
    void PumpMessages() override {}
    bool CancelRequested() override { return InterruptRequested(); }

private:
    void Draw();
    bool m_show;
    bool m_drawn = false;
    std::string m_batch, m_file;
};

/// The file list of the command line: each row's final status becomes a line "SOURCE<TAB>STATUS".
class ConsoleBatchView final : public BatchView {
public:
    ConsoleBatchView(std::vector<std::string> sources, bool showProgress, std::FILE* out)
        : m_sources(std::move(sources)), m_showProgress(showProgress), m_out(out) {}
    void SetStatus(int row, const std::string& text) override;
    void EnsureRowVisible(int) override {}
    void SetStatusColumnWidth(int) override {}
    void EnableMainWindow(bool) override {}
    std::unique_ptr<ProgressDialog> ShowProgressDialog() override {
        return std::make_unique<ConsoleProgress>(m_showProgress);
    }

private:
    std::vector<std::string> m_sources;
    bool m_showProgress;
    std::FILE* m_out;
    bool m_outGone = false;  // the reader of standard output went away
};
