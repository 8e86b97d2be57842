#include "cli/TerminalUi.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <unistd.h>
#include <utility>

namespace vmx::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int)
{
    g_interrupted = 1;
}

// Ctrl-C, a closing terminal (SIGHUP) and a polite end (SIGTERM, as sent by shutdown, kill or a
// service manager) are held alike until the running step is done.
constexpr int kHeldSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[std::size(kHeldSignals)] {};
bool g_handlerInstalled = false;

void InstallInterruptHandler()
{
    if (g_handlerInstalled)
        return;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kHeldSignals); ++i)
        ::sigaction(kHeldSignals[i], &action, &g_previous[i]);
    g_handlerInstalled = true;
}

void RemoveInterruptHandler()
{
    if (g_handlerInstalled) {
        for (std::size_t i = 0; i < std::size(kHeldSignals); ++i)
            ::sigaction(kHeldSignals[i], &g_previous[i], nullptr);
    }
    g_handlerInstalled = false;
}

}  // namespace

TerminalUi::TerminalUi(bool assumeYes) : m_assumeYes(assumeYes), m_stderrTty(::isatty(STDERR_FILENO) == 1) {}

TerminalUi::~TerminalUi()
{
    RemoveInterruptHandler();
}

bool TerminalUi::askYesNo(const std::string& text, const std::string&)
{
    m_declinedNoTerminal = false;
    if (m_assumeYes)
        return true;
    if (::isatty(STDIN_FILENO) != 1) {
        m_declinedNoTerminal = true;
        return false;
    }
    clearLine();
    std::fprintf(stderr, "%s [y/N] ", text.c_str());
    std::fflush(stderr);
    std::string answer;
    std::getline(std::cin, answer);
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

bool TerminalUi::questionsWait() const
{
    return !m_assumeYes && ::isatty(STDIN_FILENO) == 1;
}

void TerminalUi::showMessage(const std::string& text, const std::string&)
{
    m_messages.push_back(text);
}

std::string TerminalUi::chooseFolder(const std::string&, const std::string&)
{
    return folderAnswer;
}

std::vector<std::string> TerminalUi::chooseFiles(const std::string&, const std::string&)
{
    return filesAnswer;
}

std::string TerminalUi::chooseNewFile(const std::string&, const std::string&, const std::string&)
{
    return newFileAnswer;
}

void TerminalUi::openProgress(const std::string&)
{
    g_interrupted = 0;
    InstallInterruptHandler();
}

bool TerminalUi::updateProgress(const vmx::CopyProgressView& view)
{
    if (m_stderrTty) {
        const int width = 30;
        const int filled = view.overallPercent * width / 100;
        // \033[K clears what a longer line before it left on the right.
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%  part %3d%%  %s\033[K", filled, "##############################",
                     width - filled, "", view.overallPercent, view.filePercent, view.status.c_str());
        std::fflush(stderr);
        m_lineDrawn = true;
    }
    return g_interrupted == 0;
}

void TerminalUi::closeProgress()
{
    clearLine();
    RemoveInterruptHandler();
}

void TerminalUi::showWait(const std::string& text)
{
    // A cut is not left half done: Ctrl-C is held until the step has ended. A merge asks
    // (stopRequested) and stops at once.
    g_interrupted = 0;
    m_stopTaken = false;
    InstallInterruptHandler();
    if (m_stderrTty) {
        std::fprintf(stderr, "\r%s\033[K", text.c_str());
        std::fflush(stderr);
        m_lineDrawn = true;
    }
}

void TerminalUi::closeWait()
{
    clearLine();
    RemoveInterruptHandler();
    if (g_interrupted && !m_stopTaken)
        std::fprintf(stderr, "Interrupted; the step that was running has been completed first.\n");
}

bool TerminalUi::stopRequested()
{
    if (g_interrupted)
        m_stopTaken = true;
    return m_stopTaken;
}

void TerminalUi::clearLine()
{
    if (m_lineDrawn)
        std::fprintf(stderr, "\r\033[K");
    m_lineDrawn = false;
}

std::string TerminalUi::takeMessages()
{
    std::string text;
    for (const std::string& message : m_messages)
        text += (text.empty() ? "" : "\n") + message;
    m_messages.clear();
    return text;
}

std::vector<std::string> TerminalUi::takeMessageList()
{
    return std::exchange(m_messages, {});
}

void TerminalUi::printMessages()
{
    for (const std::string& message : m_messages)
        std::printf("%s\n", message.c_str());
    m_messages.clear();
}

}  // namespace vmx::cli
