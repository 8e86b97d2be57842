// AL and AR driven on a demo disk with clicks: recordings copied into an empty pane through the
// new-database offer (equal to what velmorix-cli copies), Cancel in the copy window, the window
// painting during a long copy, media files to and from the receiver with the wait window,
// closing the window while a copy runs, rows dragged from one pane onto the other and files
// dropped from a file manager.
#include "FileBytes.h"
#include "MainViewHarness.h"

#include "dialogs/CCopyProgressDlg.h"
#include "dialogs/CPleaseWait.h"
#include "recording/MediaFiles.h"
#include "recording/Merge.h"
#include "recording/RecordingTransfer.h"
#include "view/CQtUserInterface.h"
#include "view/CSessionWorker.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

namespace {

QStringList FilesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Replaces the last part of "Sports HD" (row 1) on the receiver with a sparse file of `bytes`
// (the demo disk's own part is a link, and stays as it was).
bool MakeLargeLastPart(const DemoDiskCopy& disk, qint64 bytes)
{
    const QByteArray path = QFile::encodeName(disk.path("RECORD/RF0002AB.TRP"));
    if (::unlink(path.constData()) != 0)
        return false;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        return false;
    // Some bytes that are not zero at both ends, so that a copy that skips holes still shows.
    const bool ok = ::ftruncate(fd, bytes) == 0 && ::pwrite(fd, "head", 4, 0) == 4 &&
                    ::pwrite(fd, "tail", 4, bytes - 4) == 4;
    ::close(fd);
    return ok;
}

// Records every wait window and copy window that was shown, however briefly.
class WindowSpy : public QObject {
public:
    WindowSpy() { qApp->installEventFilter(this); }
    ~WindowSpy() override { qApp->removeEventFilter(this); }
    int waitWindows = 0;
    QString waitText;
    int copyWindows = 0;
    int fileDialogs = 0;
    QString fileDialogTitle;
    bool rejectFileDialogs = false;  // answer file dialogs that should not come with Cancel

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            if (qobject_cast<CPleaseWait*>(watched))
                ++waitWindows;
            else if (qobject_cast<CCopyProgressDlg*>(watched))
                ++copyWindows;
            else if (auto* dialog = qobject_cast<QFileDialog*>(watched)) {
                ++fileDialogs;
                fileDialogTitle = dialog->windowTitle();
                if (rejectFileDialogs)
                    QTimer::singleShot(0, dialog, &QDialog::reject);
            }
        } else if (event->type() == QEvent::Hide) {
            if (auto* wait = qobject_cast<CPleaseWait*>(watched))
                waitText = wait->Text();
        }
        return false;
    }
};

// Holds the copy of a transfer at its start, on the worker, until released: the test then acts
// while the copy certainly runs (its first chunk comes only after the release).
class CopyGate : public QObject {
public:
    explicit CopyGate(CQtUserInterface& ui)
    {
        connect(&ui, &CQtUserInterface::progressOpened, this, [this] { m_open.acquire(); },
                Qt::DirectConnection);
    }
    ~CopyGate() override { Release(); }
    void Release()
    {
        if (!m_released) {
            m_released = true;
            m_open.release();
        }
    }

private:
    QSemaphore m_open;
    bool m_released = false;
};

bool WaitForCopyWindow()
{
    return QTest::qWaitFor([] { return CCopyProgressDlg::Current() && CCopyProgressDlg::Current()->isVisible(); },
                           MainViewHarness::kOperationMs);
}

// Drags the selected rows of pane `from` onto pane `to` as a drag from the window system
// delivers it; true when the pane took the drop.
bool DropSelectedRows(CVelmorixView* view, int from, int to)
{
    QTableWidget* source = view->Pane(from);
    std::unique_ptr<QMimeData> data(source->model()->mimeData(source->selectionModel()->selectedIndexes()));
    QWidget* target = view->Pane(to)->viewport();
    const QPoint at(target->width() / 2, 5);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    if (!move.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

const QStringList kDemoNames{"Nature One", "Sports HD", "News 24"};
constexpr qint64 kLargePart = 400LL * 1000 * 1000;

} // namespace

class MainViewTransfersTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainViewHarness> ui;

    // AL of the rows of the left pane (clicked with Control after the first).
    void SelectRows(int side, const QList<int>& rows)
    {
        for (qsizetype i = 0; i < rows.size(); ++i)
            ui->ClickRow(side, rows[i], i == 0 ? Qt::NoModifier : Qt::ControlModifier);
    }

    // AL into the empty right pane: the offer answered Yes, the new database named NEW/DZT000.DB.
    void TransferIntoNewDatabase()
    {
        QVERIFY(QDir().mkpath(ui->disk.path("NEW")));
        const auto seen = AnswerMessagesInTurn({QMessageBox::Yes, QMessageBox::Ok});
        AnswerNextFileDialog(ui->disk.path("NEW"), QStringLiteral("DZT000.DB"));
        ui->Click(ControlId::kTransferLeftToRight);
        QVERIFY(ui->Idle());
        QTRY_VERIFY(seen[1]->seen);
        QCOMPARE(seen[0]->text, QString::fromLatin1(vmx::kNoInformationQuestion));
        QCOMPARE(seen[1]->text, QString::fromLatin1(vmx::kDbCreatedMessage));
    }

private slots:
    void init()
    {
        ui = std::make_unique<MainViewHarness>();
        QVERIFY(ui->disk.ok());
    }
    void cleanup() { ui.reset(); }

    void copyIntoANewDatabaseEqualsTheCommandLine()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        SelectRows(0, {1});
        QVERIFY(ui->Enabled(ControlId::kTransferLeftToRight));
        WindowSpy spy;
        TransferIntoNewDatabase();
        QCOMPARE(spy.copyWindows, 1);
        QVERIFY(!CCopyProgressDlg::Current());
        QCOMPARE(ui->Column(1, 1), QStringList{"Sports HD"});
        QCOMPARE(ui->view->State().activeSide, 1);
        QVERIFY(!ui->view->State().newDb);

        // The same copy by the command line, on a disk of its own.
        DemoDiskCopy other;
        QVERIFY(other.ok());
        QVERIFY(QDir().mkpath(other.path("NEW")));
        QProcess cli;
        cli.start(QStringLiteral(VELMORIX_CLI), {QStringLiteral("copy"), QStringLiteral("--yes"), other.recordDb(),
                                                 other.path("NEW/DZT000.DB"), QStringLiteral("2")});
        QVERIFY(cli.waitForFinished(MainViewHarness::kOperationMs));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());

        const QStringList files = FilesIn(ui->disk.path("NEW"));
        QCOMPARE(files, FilesIn(other.path("NEW")));
        QVERIFY2(files.contains(QStringLiteral("DZT000.DB")), qPrintable(files.join(' ')));
        QCOMPARE(files.filter(QStringLiteral(".TRP")).size(), 2);
        for (const QString& name : files)
            QVERIFY2(ReadAll(ui->disk.path("NEW/" + name)) == ReadAll(other.path("NEW/" + name)), qPrintable(name));
        // The parts are the source's parts.
        for (const QString& part : files.filter(QStringLiteral(".TRP")))
            QCOMPARE(ReadAll(ui->disk.path("NEW/" + part)), ReadAll(ui->disk.path("RECORD/RF0002" + part.right(6))));
    }

    void declinedOfferCopiesNothing()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        SelectRows(0, {0});
        WindowSpy spy;
        const auto seen = AnswerNextMessage(QMessageBox::No);
        ui->Click(ControlId::kTransferLeftToRight);
        QVERIFY(ui->Idle());
        QTRY_VERIFY(seen->seen);
        QCOMPARE(spy.copyWindows, 0);
        QVERIFY(!ui->view->State().pane(1).loaded);
        QCOMPARE(ui->view->Pane(1)->rowCount(), 0);
    }

    // AR into a loaded left pane: two recordings, listed last in source row order.
    void copiesSelectedRowsIntoTheLoadedPane()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QVERIFY(ui->Load(1, ui->disk.pcDb()));
        SelectRows(1, {2, 0});
        QVERIFY(ui->Enabled(ControlId::kTransferRightToLeft));
        ui->Click(ControlId::kTransferRightToLeft);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), kDemoNames + QStringList({"Nature One", "News 24"}));
        QCOMPARE(ui->Column(1, 1), kDemoNames);
        QCOMPARE(ui->view->State().activeSide, 0);
        const QByteArray db = ReadAll(ui->disk.recordDb());
        QCOMPARE(db.count("Nature One"), 2);
        QCOMPARE(db.count("News 24"), 2);
    }

    void cancelTakesBackTheRecordingBeingCopied()
    {
        QVERIFY(MakeLargeLastPart(ui->disk, kLargePart));
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QVERIFY(ui->Load(1, ui->disk.pcDb()));
        const QByteArray dbBefore = ReadAll(ui->disk.pcDb());
        const QStringList filesBefore = FilesIn(ui->disk.path("PC"));
        SelectRows(0, {1});
        CopyGate gate(ui->view->Ui());
        ui->Click(ControlId::kTransferLeftToRight);
        QVERIFY(WaitForCopyWindow());
        CCopyProgressDlg* window = CCopyProgressDlg::Current();
        QTest::mouseClick(qobject_cast<QPushButton*>(window->Control(1005)), Qt::LeftButton);
        QVERIFY(window->CancelRequested());
        const auto told = AnswerNextMessage();
        gate.Release();
        QVERIFY(ui->Idle());
        QTRY_VERIFY(told->seen);
        QVERIFY2(told->text.startsWith(QStringLiteral("The copy was cancelled")), qPrintable(told->text));
        QVERIFY(!CCopyProgressDlg::Current());

        // Nothing of the recording is left; the database is as it was and reads back whole.
        const QStringList filesAfter = FilesIn(ui->disk.path("PC"));
        QStringList added = filesAfter;
        for (const QString& name : filesBefore)
            added.removeAll(name);
        QVERIFY2(added.isEmpty() || added == QStringList{"DZT000.BAK"}, qPrintable(added.join(' ')));
        for (const QString& name : filesBefore)
            QVERIFY2(filesAfter.contains(name), qPrintable(name));
        QCOMPARE(ReadAll(ui->disk.pcDb()), dbBefore);
        QCOMPARE(ui->Column(1, 1), kDemoNames);
        QVERIFY(ui->Load(1, ui->disk.pcDb()));
        QCOMPARE(ui->Column(1, 1), kDemoNames);
        // The commands are back.
        QVERIFY(ui->Enabled(ControlId::kLoadLeft));
        QVERIFY(ui->Enabled(ControlId::kRename));
    }

    // The event loop goes on serving a timer while 400 MB are copied on the worker.
    void windowKeepsPaintingDuringALongCopy()
    {
        QVERIFY(MakeLargeLastPart(ui->disk, kLargePart));
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QVERIFY(ui->Load(1, ui->disk.pcDb()));
        SelectRows(0, {1});
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 largestGap = 0;
        int ticks = 0;
        QTimer timer;
        timer.setInterval(20);
        connect(&timer, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            largestGap = std::max(largestGap, now - last);
            last = now;
            ++ticks;
        });
        bool sawCommandsOff = false;
        connect(&ui->view->Ui(), &CQtUserInterface::progressUpdated, this, [&] {
            sawCommandsOff = sawCommandsOff || (!ui->Enabled(ControlId::kTransferLeftToRight) &&
                                                !ui->Enabled(ControlId::kLoadLeft) && !ui->Enabled(ControlId::kRename));
        });
        // The copy is waited for in a plain event loop, as the program runs, so that the gaps
        // measured are the loop's own and not the pauses of a test's polling wait.
        QEventLoop loop;
        connect(&ui->view->Runner().Worker(), &CSessionWorker::busyChanged, &loop, [&loop](bool busy) {
            if (!busy)
                loop.quit();
        });
        QTimer::singleShot(MainViewHarness::kOperationMs, &loop, &QEventLoop::quit);
        clock.start();
        timer.start();
        ui->Click(ControlId::kTransferLeftToRight);
        if (ui->view->IsBusy())
            loop.exec();
        timer.stop();
        QVERIFY(!ui->view->IsBusy());
        const qint64 copyMs = clock.elapsed();
        qInfo("copy of %lld bytes: %lld ms, %d timer ticks, largest gap between ticks %lld ms", kLargePart, copyMs,
              ticks, largestGap);
        // The loop serves the 20 ms timer about every 20–25 ms, and within 75 ms with both cores
        // busy elsewhere; a quarter of a second between two ticks would be a visible freeze.
        QVERIFY2(largestGap < 250, qPrintable(QString::number(largestGap)));
        QVERIFY(sawCommandsOff);
        QCOMPARE(ui->Column(1, 1), kDemoNames + QStringList{"Sports HD"});
        const vmx::RecordDetails* copied = ui->view->State().pane(1).detailsAt(3);
        QVERIFY(copied);
        QCOMPARE(QFileInfo(QString::fromStdString(copied->folder + copied->partNames.at(1))).size(), kLargePart);
    }

    void mediaGoToTheReceiverAndBackWithTheWaitWindow()
    {
        QVERIFY(QDir().mkpath(ui->disk.path("Music")));
        QVERIFY(QFile::copy(ui->disk.path("MP3/Tone G4.mp3"), ui->disk.path("Music/New tune.mp3")));
        QVERIFY(QFile::copy(ui->disk.path("MP3/Tone C5.mp3"), ui->disk.path("Music/Other tune.mp3")));
        QVERIFY(ui->ChooseMode(1));
        AnswerNextFileDialog(ui->disk.path("Music"), QStringLiteral("\"New tune.mp3\" \"Other tune.mp3\""));
        ui->Click(ControlId::kChooseMp3Files);
        QCOMPARE(ui->Column(0, 1).size(), 2);

        // PC to receiver: the selected pending files, no message.
        WindowSpy spy;
        SelectRows(0, {0, 1});
        QVERIFY(ui->Enabled(ControlId::kTransferLeftToRight));
        ui->Click(ControlId::kTransferLeftToRight);
        QVERIFY(ui->Idle());
        QCOMPARE(spy.waitWindows, 1);
        QCOMPARE(spy.waitText, QStringLiteral("Please Wait!"));
        QVERIFY(!CPleaseWait::Current());
        for (const char* name : {"New tune.mp3", "Other tune.mp3"})
            QCOMPARE(ReadAll(ui->disk.path(QStringLiteral("MP3/") + name)),
                     ReadAll(ui->disk.path(QStringLiteral("Music/") + name)));
        QCOMPARE(ui->Column(1, 1).size(), 4);

        // Receiver to PC: the folder is asked once, shown in the left caption.
        QVERIFY(QDir().mkpath(ui->disk.path("Out")));
        const int tone = ui->Column(1, 1).indexOf(QStringLiteral("Tone C5.mp3"));
        SelectRows(1, {tone});
        AnswerNextFileDialog(ui->disk.root(), QStringLiteral("Out"));
        auto done = AnswerNextMessage();
        ui->Click(ControlId::kTransferRightToLeft);
        QVERIFY(ui->Idle());
        QTRY_VERIFY(done->seen);
        QCOMPARE(spy.fileDialogs, 1);
        QCOMPARE(spy.fileDialogTitle, QString::fromLatin1(vmx::kChooseOutputFolderTitle));
        QCOMPARE(done->text, QString::fromLatin1(vmx::kOperationCompleteMessage));
        QCOMPARE(spy.waitWindows, 2);
        QCOMPARE(ReadAll(ui->disk.path("Out/Tone C5.mp3")), ReadAll(ui->disk.path("MP3/Tone C5.mp3")));
        QCOMPARE(ui->LabelText(ControlId::kLeftCaption), ui->disk.path("Out"));

        // The second time no folder is asked.
        const int tune = ui->Column(1, 1).indexOf(QStringLiteral("New tune.mp3"));
        SelectRows(1, {tune});
        spy.rejectFileDialogs = true;
        done = AnswerNextMessage();
        ui->Click(ControlId::kTransferRightToLeft);
        QVERIFY(ui->Idle());
        QTRY_VERIFY(done->seen);
        QCOMPARE(done->text, QString::fromLatin1(vmx::kOperationCompleteMessage));
        QCOMPARE(spy.fileDialogs, 1);
        QCOMPARE(ReadAll(ui->disk.path("Out/New tune.mp3")), ReadAll(ui->disk.path("Music/New tune.mp3")));
        QCOMPARE(FilesIn(ui->disk.path("Out")), (QStringList{"New tune.mp3", "Tone C5.mp3"}));
    }

    void receiverToPcWithoutAFolderCopiesNothing()
    {
        QVERIFY(ui->ChooseMode(2));
        SelectRows(1, {0});
        WindowSpy spy;
        OnNextModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
        ui->Click(ControlId::kTransferRightToLeft);
        QVERIFY(ui->Idle());
        QCOMPARE(spy.waitWindows, 0);
        QVERIFY(ui->view->State().pcTargetFolder.empty());
        QCOMPARE(ui->LabelText(ControlId::kLeftCaption), QString());
    }

    void closingDuringACopyAsksAndStopsItCleanly()
    {
        QVERIFY(MakeLargeLastPart(ui->disk, kLargePart));
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QVERIFY(ui->Load(1, ui->disk.pcDb()));
        const QByteArray dbBefore = ReadAll(ui->disk.pcDb());
        const QStringList filesBefore = FilesIn(ui->disk.path("PC"));
        SelectRows(0, {1});
        CopyGate gate(ui->view->Ui());
        ui->Click(ControlId::kTransferLeftToRight);
        QVERIFY(WaitForCopyWindow());

        // No: the window stays and the copy goes on.
        auto question = AnswerMessageWithText(QString::fromLatin1(CMainFrame::kStopCopyQuestion), QMessageBox::No);
        ui->frame->close();
        QVERIFY(question->seen);
        QCOMPARE(question->buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(ui->frame->isVisible());
        QVERIFY(!CCopyProgressDlg::Current()->CancelRequested());

        // Yes: the copy stops, is taken back, and the window closes once it has.
        question = AnswerMessageWithText(QString::fromLatin1(CMainFrame::kStopCopyQuestion), QMessageBox::Yes);
        ui->frame->close();
        QVERIFY(question->seen);
        QVERIFY(ui->frame->isVisible());
        QVERIFY(CCopyProgressDlg::Current()->CancelRequested());
        gate.Release();
        QTRY_VERIFY_WITH_TIMEOUT(!ui->frame->isVisible(), MainViewHarness::kOperationMs);
        QVERIFY(!ui->view->IsBusy());
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        QCOMPARE(ReadAll(ui->disk.pcDb()), dbBefore);
        QStringList added = FilesIn(ui->disk.path("PC"));
        for (const QString& name : filesBefore)
            added.removeAll(name);
        QVERIFY2(added.isEmpty() || added == QStringList{"DZT000.BAK"}, qPrintable(added.join(' ')));
    }

    void rowsDroppedOnTheOtherPaneAreCopied()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QVERIFY(ui->Load(1, ui->disk.pcDb()));
        SelectRows(1, {2});
        // Onto the pane they came from: nothing.
        QVERIFY(!DropSelectedRows(ui->view, 1, 1));
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(1, 1), kDemoNames);
        // Onto the other pane: as AR.
        QVERIFY(DropSelectedRows(ui->view, 1, 0));
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), kDemoNames + QStringList{"News 24"});
        QCOMPARE(ui->Column(1, 1), kDemoNames);
        QCOMPARE(ReadAll(ui->disk.recordDb()).count("News 24"), 2);
    }

    void filesDroppedOnTheLeftPaneJoinThePendingList()
    {
        QVERIFY(QDir().mkpath(ui->disk.path("Music")));
        for (const char* name : {"Music/one.mp3", "Music/two.MP3", "Music/notes.txt"})
            QVERIFY(QFile::copy(ui->disk.path("MP3/Tone G4.mp3"), ui->disk.path(name)));
        const auto dropFiles = [&](const QStringList& names) {
            QMimeData data;
            QList<QUrl> urls;
            for (const QString& name : names)
                urls << QUrl::fromLocalFile(ui->disk.path(name));
            data.setUrls(urls);
            QWidget* target = ui->view->Pane(0)->viewport();
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &enter);
            QDropEvent drop(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &drop);
            return enter.isAccepted() && drop.isAccepted();
        };
        // RECORD MODE: the pane lists recordings and takes no files.
        QVERIFY(!dropFiles({"Music/one.mp3"}));
        QVERIFY(ui->view->State().pending.list(vmx::MediaKind::Mp3).empty());

        QVERIFY(ui->ChooseMode(1));
        QVERIFY(dropFiles({"Music/one.mp3", "Music/notes.txt"}));
        QVERIFY(dropFiles({"Music/two.MP3", "Music/one.mp3"}));
        QCOMPARE(ui->Column(0, 1), (QStringList{"one.mp3", "two.MP3"}));
        // They go to the receiver as the files chosen with M do.
        SelectRows(0, {1});
        ui->Click(ControlId::kTransferLeftToRight);
        QVERIFY(ui->Idle());
        QCOMPARE(ReadAll(ui->disk.path("MP3/two.MP3")), ReadAll(ui->disk.path("Music/two.MP3")));
        QVERIFY(!ui->disk.exists("MP3/one.mp3"));
    }
};

QTEST_MAIN(MainViewTransfersTest)
#include "tst_MainViewTransfers.moc"
