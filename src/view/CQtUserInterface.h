#pragma once

#include "recording/UserInterface.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The desktop program's answer to the recording operations' questions: message boxes, file and
// folder choosers over the main window, and the copy and wait windows. It may be called from any
// thread. On the user-interface thread it shows the dialog at once; from another thread (the
// session worker) it has the user-interface thread show it and waits for the answer, so that
// every widget is touched on the user-interface thread only.
class CQtUserInterface : public QObject, public vmx::UserInterface {
    Q_OBJECT
public:
    // The caption of a message that names none: the application's title.
    static constexpr const char* kAppTitle = "Velmorix";

    explicit CQtUserInterface(QWidget* owner);

    // From now on a call from another thread is answered at once as a user who cancels answers
    // (No, nothing chosen, cancel), and so is a call waiting now; dialogs not shown yet are never
    // shown. Called before the window goes, so that no operation waits for it.
    void Abandon();

    bool askYesNo(const std::string& text, const std::string& caption) override;
    void showMessage(const std::string& text, const std::string& caption = {}) override;
    // From the session worker the final messages of an operation are held, not shown: the view
    // shows them (ShowHeldMessages) once it has painted what the operation changed. On the
    // user-interface thread they are shown at once.
    void showFinalMessages(const std::vector<vmx::UserMessage>& messages) override;
    // Shows the final messages held so far, in order, on the user-interface thread.
    void ShowHeldMessages();
    std::string chooseFolder(const std::string& title, const std::string& initialFolder) override;
    std::vector<std::string> chooseFiles(const std::string& title, const std::string& filter) override;
    std::string chooseNewFile(const std::string& title, const std::string& defaultName,
                              const std::string& filter) override;
    // The copy window and the wait window: announced by the signals below on the user-interface
    // thread, without waiting. updateProgress answers false once the user asked to cancel.
    void openProgress(const std::string& caption) override;
    bool updateProgress(const vmx::CopyProgressView& view) override;
    void closeProgress() override;
    void showWait(const std::string& text) override;
    void closeWait() override;
    // Where the cut lands, announced by cutMarksShown on the user-interface thread; returns once
    // the window has shown it, so that the question that follows finds the mark bar up to date.
    void showCutMarks(const std::vector<std::pair<double, double>>& stretches) override;

    // The copy window's Cancel: the copy that runs stops at its next step.
    void RequestCancel() { m_cancel = true; }
    // True from openProgress to closeProgress: a recording transfer runs, and Cancel stops it.
    bool CopyRunning() const { return m_copyRunning; }

    // The open-file dialog for one existing file, over `owner`; empty when cancelled.
    // Lists names matching the filter in either case (upper-case names on the receiver, lower-case
    // ones where a FAT disk is mounted so).
    static std::string ChooseExistingFile(QWidget* owner, const std::string& filter);

signals:
    void progressOpened(const QString& caption);
    // The latest step only: steps that come faster than the window paints are passed over.
    void progressUpdated(const vmx::CopyProgressView& view);
    void progressClosed();
    void waitShown(const QString& text);
    void waitClosed();
    void cutMarksShown(const std::vector<std::pair<double, double>>& stretches);

private:
    // Runs `call` on the user-interface thread and gives its answer; `cancelled` once abandoned.
    template <typename T>
    T OnGuiThread(std::function<T()> call, T cancelled);

    QPointer<QWidget> m_owner;
    std::mutex m_mutex;
    std::condition_variable m_answered;
    bool m_abandoned = false;
    std::vector<vmx::UserMessage> m_held;  // final messages waiting for ShowHeldMessages
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_copyRunning{false};
    // The step of the copy not yet handed to the user-interface thread, if one is on its way.
    std::mutex m_progressMutex;
    std::optional<vmx::CopyProgressView> m_pendingProgress;
};

Q_DECLARE_METATYPE(vmx::CopyProgressView)
