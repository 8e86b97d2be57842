#pragma once

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

// Modal windows open their own event loop, so a test answers them from a timer that watches
// for the next one to become the active modal window, whenever it comes.

// What a message box showed and whether it was made on the user-interface thread.
struct SeenMessage {
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool onGuiThread = false;
    int width = 0;       // the box's width
    int titleWidth = 0;  // its title's width in a bold face of its font
};

// Calls `act` with the next modal window of type T once it is shown, then stops watching.
template <typename T>
void OnNextModal(std::function<void(T*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        T* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!window || !window->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(window);
    });
    timer->start();
}

// Records what a message box shows and clicks `answer` in it (its first button when it has no
// such button, so a wrong box never blocks the test).
inline void AnswerMessage(QMessageBox* box, SeenMessage& seen, QMessageBox::StandardButton answer)
{
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
    seen.onGuiThread = box->thread() == QApplication::instance()->thread();
    seen.width = box->width();
    QFont bold = box->font();
    bold.setBold(true);
    seen.titleWidth = QFontMetrics(bold).horizontalAdvance(seen.title);
    seen.seen = true;
    QAbstractButton* button = box->button(answer);
    if (!button)
        button = box->buttons().constFirst();
    QTest::mouseClick(button, Qt::LeftButton);
}

// Records the next message box and clicks `answer` in it.
inline std::shared_ptr<SeenMessage> AnswerNextMessage(QMessageBox::StandardButton answer = QMessageBox::Ok)
{
    auto seen = std::make_shared<SeenMessage>();
    OnNextModal<QMessageBox>([seen, answer](QMessageBox* box) { AnswerMessage(box, *seen, answer); });
    return seen;
}

// Records the next message box that shows `text` and clicks `answer` in it; boxes with other
// texts, shown before or meanwhile, are left alone.
inline std::shared_ptr<SeenMessage> AnswerMessageWithText(const QString& text, QMessageBox::StandardButton answer)
{
    auto seen = std::make_shared<SeenMessage>();
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, seen, text, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box->text() != text)
            return;
        timer->stop();
        timer->deleteLater();
        AnswerMessage(box, *seen, answer);
    });
    timer->start();
    return seen;
}

// Answers the next message boxes one after another with `answers`, recording each. `onShown`,
// when given, hears the number of each box (from 0) while it is shown, before it is answered.
inline std::vector<std::shared_ptr<SeenMessage>> AnswerMessagesInTurn(const QList<QMessageBox::StandardButton>& answers,
                                                                       std::function<void(qsizetype)> onShown = {})
{
    std::vector<std::shared_ptr<SeenMessage>> seen;
    for (qsizetype i = 0; i < answers.size(); ++i)
        seen.push_back(std::make_shared<SeenMessage>());
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto next = std::make_shared<qsizetype>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, seen, answers, next, onShown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box->property("answered").toBool())
            return;
        box->setProperty("answered", true);
        if (onShown)
            onShown(*next);
        AnswerMessage(box, *seen[std::size_t(*next)], answers[*next]);
        if (++*next == answers.size()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
    return seen;
}

// Types text into a widget key by key, letters beyond ASCII included.
inline void TypeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Answers the next file dialog as a user does: in `folder`, types `names` (a name, or quoted
// names for several) into its name field and clicks its accept button ("Open", "Choose" or "Save").
inline void AnswerNextFileDialog(const QString& folder, const QString& names)
{
    OnNextModal<QFileDialog>([folder, names](QFileDialog* dialog) {
        dialog->setDirectory(folder);
        auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QApplication::setActiveWindow(dialog);
        nameEdit->setFocus();
        nameEdit->clear();
        TypeText(nameEdit, names);
        auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        QAbstractButton* accept = buttons->button(QDialogButtonBox::Open);
        QTest::mouseClick(accept ? accept : buttons->button(QDialogButtonBox::Save), Qt::LeftButton);
        if (dialog->isVisible())
            dialog->reject();  // the names were not taken: let the test go on and fail its checks
    });
}
