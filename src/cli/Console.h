#pragma once
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/BatchView.h"
#include "engine/FileEntry.h"
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

/// A field of an output line with its tab, line break and backslash characters written as "\t",
/// "\n" and "\\", so that every line keeps its fields.
std::string EscapeField(const std::string& text);

/// The file list of the command line: each row's final status becomes a line
/// "SOURCE<TAB>STATUS", with "<TAB>OUTPUT" (the output's absolute path) when the file converted.
/// Lines about files that never reached the batch are kept until the row they preceded is done,
/// so everything is printed in the order the files were named and found.
class ConsoleBatchView final : public BatchView {
public:
    ConsoleBatchView(std::vector<const FileEntry*> rows, bool showProgress, std::FILE* out, std::FILE* err)
        : m_rows(std::move(rows)), m_showProgress(showProgress), m_out(out), m_err(err) {}
    ~ConsoleBatchView() override { PrintNotes(static_cast<int>(m_rows.size())); }
    void SetStatus(int row, const std::string& text) override;
    /// "SOURCE: N samples clipped" on standard error.
    void NoteClipped(int row, std::int64_t samples) override;
    void EnsureRowVisible(int) override {}
    void SetStatusColumnWidth(int) override {}
    void EnableMainWindow(bool) override {}
    std::unique_ptr<ProgressDialog> ShowProgressDialog() override {
        return std::make_unique<ConsoleProgress>(m_showProgress);
    }

    /// A finished line (with its line break) for `stream`, printed just before row `beforeRow`.
    void AddNote(int beforeRow, std::FILE* stream, std::string line);
    /// Output naming fell back to the documents folder for the file that was started last.
    void NoteDocumentsFallback() { m_documentsFallback.insert(m_startedRow); }

private:
    struct Note {
        int beforeRow;
        std::FILE* stream;
        std::string line;
    };
    void PrintNotes(int upToRow);

    std::vector<const FileEntry*> m_rows;
    bool m_showProgress;
    std::FILE* m_out;
    std::FILE* m_err;
    std::vector<Note> m_notes;  // in the order added
    std::size_t m_printedNotes = 0;
    int m_startedRow = -1;              // the row last shown as converting
    std::set<int> m_documentsFallback;  // rows written to the documents folder
    bool m_outGone = false;             // the reader of standard output went away
};
