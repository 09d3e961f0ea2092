#include "cli/Console.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "engine/EngineTexts.h"
#include "engine/OutputStaging.h"
#include "platform/Desktop.h"

namespace {

// Written only by the signal handler, which may run on any thread of a batch.
std::atomic<int> g_interrupted{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

void OnInterrupt(int) {
    if (g_interrupted.exchange(1)) {
        // The second Ctrl+C ends the program, whatever it is waiting in, without its half-written files.
        RemoveLiveStagingFiles();
        _exit(130);
    }
}

}  // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = 0;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader of the status lines that goes away (`| head`) must not end the batch mid-file.
    ::signal(SIGPIPE, SIG_IGN);
    // Past a file-size limit a write must fail like a full disk (and the staged file go), not kill us.
    ::signal(SIGXFSZ, SIG_IGN);
}

bool InterruptRequested() {
    return g_interrupted.load() != 0;
}

bool ConsoleUserInteraction::AskYesNo(const std::string& text) {
    std::cerr << kMessageCaption << ": " << text << "\n";
    bool yes = false;
    if (m_answer) {
        yes = *m_answer;
    } else if (::isatty(STDIN_FILENO)) {
        std::cerr << "[y/N] " << std::flush;
        std::string reply;
        std::getline(std::cin, reply);
        yes = reply == "y" || reply == "Y" || reply == "yes" || reply == "Yes";
    }
    std::cerr << (yes ? "-> Yes" : "-> No") << std::endl;
    return yes;
}

void ConsoleUserInteraction::ShowInformation(const std::string& text) {
    std::cerr << kMessageCaption << ": " << text << std::endl;
}

void ConsoleUserInteraction::ShowWarning(const std::string& text) {
    std::cerr << kMessageCaption << ": " << text << std::endl;
}

int ConsoleUserInteraction::OpenPath(const std::string& fileOrFolder) {
    std::cerr << kMessageCaption << ": " << fileOrFolder << std::endl;
    return 1;
}

int ConsoleUserInteraction::OpenInBrowser(const std::string& address) {
    std::cerr << kMessageCaption << ": " << address << std::endl;
    return ::OpenInBrowser(address);
}

int ConsoleUserInteraction::SelectInExplorer(const std::string&) {
    return 1;
}

ConsoleProgress::~ConsoleProgress() {
    if (m_drawn) std::cerr << "\r\033[K" << std::flush;
}

void ConsoleProgress::SetFileText(const std::string& text) {
    m_file = text;
    Draw();
}

void ConsoleProgress::SetBatchText(const std::string& text) {
    m_batch = text;
    Draw();
}

void ConsoleProgress::Draw() {
    if (!m_show) return;
    std::cerr << "\r\033[K" << m_batch << " " << m_file << std::flush;
    m_drawn = true;
}

std::string EscapeField(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

void OutputLines::Write(const std::string& text) {
    if (m_gone) return;
    errno = 0;
    if (std::fputs(text.c_str(), m_out) >= 0 && std::fflush(m_out) == 0 && !std::ferror(m_out)) return;
    // Once nobody reads the lines any more, the batch goes on without them.
    m_gone = true;
    if (errno != EPIPE) m_error = errno != 0 ? errno : EIO;
}

void ConsoleBatchView::AddNote(int beforeRow, bool toOut, std::string line) {
    m_notes.push_back({beforeRow, toOut, std::move(line)});
}

void ConsoleBatchView::PrintNotes(int upToRow) {
    for (; m_printedNotes < m_notes.size() && m_notes[m_printedNotes].beforeRow <= upToRow;
         ++m_printedNotes) {
        const Note& note = m_notes[m_printedNotes];
        if (note.toOut) {
            m_out.Write(note.line);
        } else {
            std::fputs(note.line.c_str(), m_err);
            std::fflush(m_err);
        }
    }
}

void ConsoleBatchView::NoteClipped(int row, std::int64_t samples) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) return;
    if (m_showProgress) std::cerr << "\r\033[K" << std::flush;
    PrintNotes(row);
    const std::string line = "wavelorn-cli: " + EscapeField(m_rows[static_cast<std::size_t>(row)]->path) +
                             ": " + std::to_string(samples) + " samples clipped\n";
    std::fputs(line.c_str(), m_err);
    std::fflush(m_err);
}

void ConsoleBatchView::SetStatus(int row, const std::string& text) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) return;
    if (text == kStatusConverting) {
        m_startedRow = row;
        m_documentsFallback.erase(row);
        return;
    }
    if (m_showProgress) std::cerr << "\r\033[K" << std::flush;
    PrintNotes(row);
    if (text == kStatusTargetSkipped) m_skipped.insert(row);
    const FileEntry& entry = *m_rows[static_cast<std::size_t>(row)];
    std::string line = EscapeField(entry.path) + "\t" + EscapeField(text);
    // The driver empties the output path of every file that did not convert.
    std::string output;
    if (!entry.outputPath.empty()) {
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(entry.outputPath, ec);
        output = EscapeField(ec ? entry.outputPath : absolute.lexically_normal().string());
        line += "\t" + output;
        if (m_showLoudness && entry.loudness) {
            char text[64] = "silent";
            if (!entry.loudness->silent)
                std::snprintf(text, sizeof text, "%.2f LUFS, %.2f dBTP", entry.loudness->integrated,
                              20.0 * std::log10(std::max(entry.loudness->truePeak, 1e-10)));
            line += std::string("\t") + text;
        }
    }
    m_out.Write(line + "\n");
    if (!output.empty() && !entry.outputNote.empty()) {
        std::fprintf(m_err, "wavelorn-cli: %s: %s; written to %s\n", EscapeField(entry.path).c_str(),
                     EscapeField(entry.outputNote).c_str(), output.c_str());
        std::fflush(m_err);
    }
    if (!output.empty() && !entry.sourceNote.empty()) {
        std::fprintf(m_err, "wavelorn-cli: %s: %s\n", EscapeField(entry.path).c_str(),
                     EscapeField(entry.sourceNote).c_str());
        std::fflush(m_err);
    }
    if (!output.empty() && m_documentsFallback.count(row)) {
        std::fprintf(m_err, "wavelorn-cli: %s: the output folder could not be used; written to %s\n",
                     EscapeField(entry.path).c_str(), output.c_str());
        std::fflush(m_err);
    }
}

void ConsoleBatchView::SetStatusReason(int row, const std::string& reason) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size() || reason.empty()) return;
    std::fprintf(m_err, "wavelorn-cli: %s: %s\n",
                 EscapeField(m_rows[static_cast<std::size_t>(row)]->path).c_str(),
                 EscapeField(reason).c_str());
    std::fflush(m_err);
}
