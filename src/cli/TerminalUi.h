#pragma once

#include "recording/UserInterface.h"

#include <string>
#include <vector>

namespace vmx::cli {

// The user-interface port on a terminal. Questions are answered Yes by --yes, else asked on the
// terminal when there is one, else answered No. Choosers return what the command line named.
// Messages are kept and printed by the command (stdout on success, stderr on failure). Progress
// bars and the wait line go to stderr, only when stderr is a terminal; Ctrl-C, SIGTERM or SIGHUP
// during a copy or a merge stop it cleanly (at its next chunk), and during a cut they are held
// until it is done.
class TerminalUi : public vmx::UserInterface {
public:
    explicit TerminalUi(bool assumeYes);
    ~TerminalUi() override;
    TerminalUi(const TerminalUi&) = delete;
    TerminalUi& operator=(const TerminalUi&) = delete;

    std::string folderAnswer;
    std::string newFileAnswer;
    std::vector<std::string> filesAnswer;

    bool askYesNo(const std::string& text, const std::string& caption) override;
    void showMessage(const std::string& text, const std::string& caption) override;
    std::string chooseFolder(const std::string& title, const std::string& initialFolder) override;
    std::vector<std::string> chooseFiles(const std::string& title, const std::string& filter) override;
    std::string chooseNewFile(const std::string& title, const std::string& defaultName,
                              const std::string& filter) override;
    void openProgress(const std::string& caption) override;
    bool updateProgress(const vmx::CopyProgressView& view) override;
    void closeProgress() override;
    void showWait(const std::string& text) override;
    void closeWait() override;
    // A message is printed (or kept for the end), never waited on; a question waits only for
    // somebody at the terminal, and the choosers answer at once.
    bool messagesWait() const override { return false; }
    bool questionsWait() const override;
    bool stopRequested() override;

    // The messages shown so far, one per line, and forgets them.
    std::string takeMessages();
    // The same, one text per message.
    std::vector<std::string> takeMessageList();
    // Prints the messages shown so far on stdout.
    void printMessages();
    // True when the last question was answered No because nobody could be asked.
    bool declinedForLackOfTerminal() const { return m_declinedNoTerminal; }

private:
    void clearLine();

    bool m_assumeYes;
    bool m_stderrTty;
    bool m_lineDrawn = false;
    bool m_declinedNoTerminal = false;
    bool m_stopTaken = false;  // the operation under the wait window has heard the stop request
    std::vector<std::string> m_messages;
};

}  // namespace vmx::cli
