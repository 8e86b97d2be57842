#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vmx {

// What the copy window shows after each step of a copy.
struct CopyProgressView {
    int overallPercent = 0;  // upper bar, 0..100
    int filePercent = 0;     // lower bar, 0..100
    std::string status;      // status line
    std::string warning;     // warning line
    // What the status line counts, as numbers: the bytes moved so far (whole megabytes, as the
    // upper bar counts them) and the bytes of the whole transfer. The window measures its speed
    // and the time left from them.
    std::uint64_t transferredBytes = 0;
    std::uint64_t totalBytes = 0;
};

// A message as showMessage shows it.
struct UserMessage {
    std::string text;
    std::string caption;
};

// Everything a core operation needs from the person in front of the screen: questions,
// messages, choosers, the copy window and the wait window. The desktop program answers with
// dialogs, velmorix-cli from the terminal, tests from a script. No core operation opens a
// dialog of its own.
class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A question with Yes and No buttons; true for Yes.
    virtual bool askYesNo(const std::string& text, const std::string& caption) = 0;

    // A message with an OK button; an empty caption means the application's title.
    virtual void showMessage(const std::string& text, const std::string& caption = {}) = 0;

    // The folder chooser; an empty result means the user cancelled.
    virtual std::string chooseFolder(const std::string& title, const std::string& initialFolder) = 0;

    // The open-file dialog allowing several files; empty when cancelled.
    virtual std::vector<std::string> chooseFiles(const std::string& title, const std::string& filter) = 0;

    // A dialog naming a file to create, offering `defaultName`; empty when cancelled.
    virtual std::string chooseNewFile(const std::string& title, const std::string& defaultName,
                                      const std::string& filter) = 0;

    // The copy window: opened once per transfer, updated after every copied chunk, closed at the
    // end. updateProgress returns false when the user asked to cancel.
    virtual void openProgress(const std::string& caption) = 0;
    virtual bool updateProgress(const CopyProgressView& view) = 0;
    virtual void closeProgress() = 0;

    // The wait window shown while a long operation works.
    virtual void showWait(const std::string& text) = 0;
    virtual void closeWait() = 0;

    // True when showMessage waits until the user has read the message (a message box), so that an
    // operation keeps its messages until it holds no lock any more; false where a message is only
    // printed.
    virtual bool messagesWait() const { return true; }
    // The messages an operation kept that way, at its very end, once it holds nothing any more.
    // Shown here one after the other; a front end that paints what the operation changed may keep
    // them until it has done so, as long as it then shows them all, in this order.
    virtual void showFinalMessages(const std::vector<UserMessage>& messages)
    {
        for (const UserMessage& message : messages)
            showMessage(message.text, message.caption);
    }
    // True when a question or a chooser waits for a person's answer (rather than being answered
    // at once by a setting, as velmorix-cli's --yes does), so that an operation gives its locks
    // up while it waits.
    virtual bool questionsWait() const { return true; }
    // Asked under the wait window, after each copied chunk, by an operation that can stop at any
    // point without leaving anything changed (a merge, whose output is a file of its own until its
    // last step): true once the user asked to stop. The desktop program's wait window offers no
    // such request; velmorix-cli makes one of Ctrl-C, SIGTERM and SIGHUP.
    virtual bool stopRequested() { return false; }
    // Before a cut asks its question: where the cut of each stretch lands (seconds from the
    // recording's first picture), after the marks moved to the key frames at or after them, so
    // that the window's mark bar shows it while the question is open.
    virtual void showCutMarks(const std::vector<std::pair<double, double>>& stretches) { (void)stretches; }
};

// A port that passes every call on to another one; a port that changes a few calls derives from it
// and overrides those, so that no call it leaves alone is lost on the way.
class ForwardingUi : public UserInterface {
public:
    explicit ForwardingUi(UserInterface& target) : m_target(target) {}

    bool askYesNo(const std::string& text, const std::string& caption) override
    {
        return m_target.askYesNo(text, caption);
    }
    void showMessage(const std::string& text, const std::string& caption = {}) override
    {
        m_target.showMessage(text, caption);
    }
    std::string chooseFolder(const std::string& title, const std::string& initialFolder) override
    {
        return m_target.chooseFolder(title, initialFolder);
    }
    std::vector<std::string> chooseFiles(const std::string& title, const std::string& filter) override
    {
        return m_target.chooseFiles(title, filter);
    }
    std::string chooseNewFile(const std::string& title, const std::string& defaultName,
                              const std::string& filter) override
    {
        return m_target.chooseNewFile(title, defaultName, filter);
    }
    void openProgress(const std::string& caption) override { m_target.openProgress(caption); }
    bool updateProgress(const CopyProgressView& view) override { return m_target.updateProgress(view); }
    void closeProgress() override { m_target.closeProgress(); }
    void showWait(const std::string& text) override { m_target.showWait(text); }
    void closeWait() override { m_target.closeWait(); }
    bool messagesWait() const override { return m_target.messagesWait(); }
    void showFinalMessages(const std::vector<UserMessage>& messages) override { m_target.showFinalMessages(messages); }
    bool questionsWait() const override { return m_target.questionsWait(); }
    bool stopRequested() override { return m_target.stopRequested(); }
    void showCutMarks(const std::vector<std::pair<double, double>>& stretches) override
    {
        m_target.showCutMarks(stretches);
    }

protected:
    UserInterface& m_target;
};

}  // namespace vmx
