#include "view/CQtUserInterface.h"

#include "dialogs/ChooseFolder.h"
#include "dialogs/MessageBoxTitle.h"
#include "viewmodel/FileFilters.h"
#include "viewmodel/WindowMessages.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

namespace {

QString FromLocal(const std::string& text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

std::string ToLocal(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

// The texts keep the line breaks of their Windows origin; Qt wants plain '\n'. The core's own
// messages are shown as sentences (WindowMessage).
QString MessageText(const std::string& text)
{
    const std::string sentence = vmx::WindowMessage(text);
    return QString::fromUtf8(sentence.data(), qsizetype(sentence.size())).remove(QLatin1Char('\r'));
}

QString Caption(const std::string& caption)
{
    return caption.empty() ? QString::fromLatin1(CQtUserInterface::kAppTitle) : QString::fromUtf8(caption);
}

QStringList NameFilters(const std::string& filter)
{
    QStringList filters;
    for (const std::string& one : vmx::FileDialogFilters(filter))
        filters << QString::fromUtf8(one);
    return filters;
}

} // namespace

CQtUserInterface::CQtUserInterface(QWidget* owner)
    : m_owner(owner)
{
    qRegisterMetaType<vmx::CopyProgressView>();
}

void CQtUserInterface::Abandon()
{
    {
        std::lock_guard lock(m_mutex);
        m_abandoned = true;
    }
    m_answered.notify_all();
}

template <typename T>
T CQtUserInterface::OnGuiThread(std::function<T()> call, T cancelled)
{
    if (QThread::currentThread() == thread())
        return call();
    auto answer = std::make_shared<std::optional<T>>();
    {
        std::lock_guard lock(m_mutex);
        if (m_abandoned)
            return cancelled;
    }
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call), answer] {
            {
                std::lock_guard lock(m_mutex);
                if (m_abandoned)
                    return;
            }
            T value = call();
            {
                std::lock_guard lock(m_mutex);
                *answer = std::move(value);
            }
            m_answered.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_answered.wait(lock, [&] { return answer->has_value() || m_abandoned; });
    return answer->has_value() ? std::move(**answer) : cancelled;
}

bool CQtUserInterface::askYesNo(const std::string& text, const std::string& caption)
{
    return OnGuiThread<bool>(
        [this, text, caption] {
            QMessageBox box(QMessageBox::Question, Caption(caption), MessageText(text),
                            QMessageBox::Yes | QMessageBox::No, m_owner);
            box.setTextFormat(Qt::PlainText);
            KeepTitleWhole(box);
            return box.exec() == QMessageBox::Yes;
        },
        false);
}

void CQtUserInterface::showMessage(const std::string& text, const std::string& caption)
{
    (void)OnGuiThread<bool>(
        [this, text, caption] {
            QMessageBox box(QMessageBox::NoIcon, Caption(caption), MessageText(text), QMessageBox::Ok, m_owner);
            box.setTextFormat(Qt::PlainText);
            KeepTitleWhole(box);
            box.exec();
            return true;
        },
        false);
}

void CQtUserInterface::showFinalMessages(const std::vector<vmx::UserMessage>& messages)
{
    if (QThread::currentThread() == thread()) {
        vmx::UserInterface::showFinalMessages(messages);
        return;
    }
    std::lock_guard lock(m_mutex);
    if (!m_abandoned)
        m_held.insert(m_held.end(), messages.begin(), messages.end());
}

void CQtUserInterface::ShowHeldMessages()
{
    std::vector<vmx::UserMessage> held;
    {
        std::lock_guard lock(m_mutex);
        held.swap(m_held);
        if (m_abandoned)
            return;
    }
    for (const vmx::UserMessage& message : held)
        showMessage(message.text, message.caption);
}

std::string CQtUserInterface::chooseFolder(const std::string& title, const std::string& initialFolder)
{
    return OnGuiThread<std::string>(
        [this, title, initialFolder] {
            return ToLocal(ChooseFolder(m_owner, FromLocal(initialFolder), QString::fromUtf8(title)));
        },
        {});
}

std::vector<std::string> CQtUserInterface::chooseFiles(const std::string& title, const std::string& filter)
{
    return OnGuiThread<std::vector<std::string>>(
        [this, title, filter] {
            QFileDialog dialog(m_owner, QString::fromUtf8(title));
            dialog.setFileMode(QFileDialog::ExistingFiles);
            dialog.setNameFilters(NameFilters(filter));
            std::vector<std::string> paths;
            if (dialog.exec() == QDialog::Accepted) {
                for (const QString& path : dialog.selectedFiles())
                    paths.push_back(ToLocal(path));
            }
            return paths;
        },
        {});
}

std::string CQtUserInterface::chooseNewFile(const std::string& title, const std::string& defaultName,
                                            const std::string& filter)
{
    return OnGuiThread<std::string>(
        [this, title, defaultName, filter] {
            // The load dialog, in which a name that does not exist yet may be typed.
            QFileDialog dialog(m_owner, QString::fromUtf8(title));
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setNameFilters(NameFilters(filter));
            dialog.selectFile(FromLocal(defaultName));
            if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
                return std::string();
            return ToLocal(dialog.selectedFiles().constFirst());
        },
        {});
}

std::string CQtUserInterface::ChooseExistingFile(QWidget* owner, const std::string& filter)
{
    QFileDialog dialog(owner);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Qt's own dialog matches the patterns whatever the letters' case, so a database that a FAT
    // disk shows as "dzt000.db" is listed under "*.DB"; a desktop's native dialog may not.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(NameFilters(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return ToLocal(dialog.selectedFiles().constFirst());
}

void CQtUserInterface::openProgress(const std::string& caption)
{
    m_cancel = false;
    m_copyRunning = true;
    emit progressOpened(QString::fromUtf8(caption));
}

bool CQtUserInterface::updateProgress(const vmx::CopyProgressView& view)
{
    if (QThread::currentThread() == thread()) {
        emit progressUpdated(view);
        return !m_cancel;
    }
    // A copy calls after every chunk, often far more often than a window repaints: keep the
    // latest step and have the user-interface thread take it when it gets there, so that the
    // queue never fills with steps nobody will see.
    bool post = false;
    {
        std::lock_guard lock(m_progressMutex);
        post = !m_pendingProgress.has_value();
        m_pendingProgress = view;
    }
    if (post) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                std::optional<vmx::CopyProgressView> latest;
                {
                    std::lock_guard lock(m_progressMutex);
                    latest.swap(m_pendingProgress);
                }
                if (latest)
                    emit progressUpdated(*latest);
            },
            Qt::QueuedConnection);
    }
    return !m_cancel;
}

void CQtUserInterface::closeProgress()
{
    m_copyRunning = false;
    emit progressClosed();
}

void CQtUserInterface::showWait(const std::string& text)
{
    emit waitShown(QString::fromUtf8(text));
}

void CQtUserInterface::closeWait()
{
    emit waitClosed();
}

void CQtUserInterface::showCutMarks(const std::vector<std::pair<double, double>>& stretches)
{
    (void)OnGuiThread<bool>(
        [this, stretches] {
            emit cutMarksShown(stretches);
            return true;
        },
        false);
}
