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

/// Standard output of the converter, written and flushed line by line. Once a write fails nothing more
/// is written; a reader that went away (a closed pipe) is no failure of the run, any other error is
/// kept so that the run can end with status 1 and say why, instead of losing its report silently.
class OutputLines {
public:
    explicit OutputLines(std::FILE* out) : m_out(out) {}
    /// Writes text (with its line breaks) and flushes it.
    void Write(const std::string& text);
    /// The errno of the write that failed, other than a closed pipe; 0 when none did.
    int Error() const { return m_error; }

private:
    std::FILE* m_out;
    bool m_gone = false;
    int m_error = 0;
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
    ConsoleBatchView(std::vector<const FileEntry*> rows, bool showProgress, OutputLines& out, std::FILE* err)
        : m_rows(std::move(rows)), m_showProgress(showProgress), m_out(out), m_err(err) {}
    ~ConsoleBatchView() override { PrintNotes(static_cast<int>(m_rows.size())); }
    void SetStatus(int row, const std::string& text) override;
    /// "SOURCE: N samples clipped" on standard error.
    void NoteClipped(int row, std::int64_t samples) override;
    void SetStatusReason(int row, const std::string& reason) override;
    void EnsureRowVisible(int) override {}
    void SetStatusColumnWidth(int) override {}
    void EnableMainWindow(bool) override {}
    std::unique_ptr<ProgressDialog> ShowProgressDialog() override {
        return std::make_unique<ConsoleProgress>(m_showProgress);
    }

    /// A finished line (with its line break), printed just before row `beforeRow` on standard output,
    /// or with toOut false on standard error.
    void AddNote(int beforeRow, bool toOut, std::string line);
    /// Output naming fell back to the documents folder for the file that was started last.
    void NoteDocumentsFallback() { m_documentsFallback.insert(m_startedRow); }
    /// The row was skipped because its output exists.
    bool SkippedAsExisting(int row) const { return m_skipped.count(row) != 0; }
    /// Lines of converted files end with their loudness.
    void ShowLoudness(bool show) { m_showLoudness = show; }

private:
    struct Note {
        int beforeRow;
        bool toOut;
        std::string line;
    };
    void PrintNotes(int upToRow);

    std::vector<const FileEntry*> m_rows;
    bool m_showProgress;
    OutputLines& m_out;
    std::FILE* m_err;
    std::vector<Note> m_notes;  // in the order added
    std::size_t m_printedNotes = 0;
    int m_startedRow = -1;              // the row last shown as converting
    std::set<int> m_documentsFallback;  // rows written to the documents folder
    std::set<int> m_skipped;            // rows whose output existed, with the skip mode
    bool m_showLoudness = false;
};
