#include "cli/Console.h"

#include <signal.h>
#include <unistd.h>

#include <iostream>

#include "engine/EngineTexts.h"
#include "platform/Desktop.h"

namespace {

volatile sig_atomic_t g_interrupted = 0;  // written only by the signal handler

void OnInterrupt(int) {
    if (g_interrupted) _exit(130);  // the second Ctrl+C ends the program, whatever it is waiting in
    g_interrupted = 1;
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
}

bool InterruptRequested() {
    return g_interrupted != 0;
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

void ConsoleBatchView::SetStatus(int row, const std::string& text) {
    if (text == kStatusConverting || row < 0 || static_cast<std::size_t>(row) >= m_sources.size()) return;
    if (m_showProgress) std::cerr << "\r\033[K" << std::flush;
    if (m_outGone) return;
    std::fprintf(m_out, "%s\t%s\n", m_sources[static_cast<std::size_t>(row)].c_str(), text.c_str());
    // Once nobody reads the lines any more, the batch goes on without them.
    if (std::fflush(m_out) != 0 || std::ferror(m_out)) m_outGone = true;
}
