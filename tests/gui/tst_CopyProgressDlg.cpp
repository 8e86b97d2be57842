// The copy window driven as a transfer and a user drive it: steps of a real CopyProgress, a
// click on Cancel, Escape and the title bar's close, and a copy on another thread that hands
// its steps to the window the way the desktop program does.
#include "controls/DialogUnits.h"
#include "dialogs/CCopyProgressDlg.h"
#include "dialogs/CopyProgressTemplate.h"
#include "recording/CopyProgress.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

using namespace CopyProgressTemplate;
using namespace std::chrono_literals;

namespace {

QProgressBar* bar(const CCopyProgressDlg& dialog, int id)
{
    return qobject_cast<QProgressBar*>(dialog.Control(id));
}

QPushButton* cancelButton(const CCopyProgressDlg& dialog)
{
    return qobject_cast<QPushButton*>(dialog.Control(kCancel));
}

vmx::CopyProgressView someStep()
{
    vmx::CopyProgress progress;
    progress.start(267591680);
    return progress.update(133795840, 66000000);
}

}  // namespace

class CopyProgressDlgTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        CCopyProgressDlg::CloseCopyWindow();
        QTRY_VERIFY_WITH_TIMEOUT(!CCopyProgressDlg::Current(), 5000);
    }

    void templateLayoutAndTexts()
    {
        QWidget owner;
        CCopyProgressDlg* dialog = CCopyProgressDlg::ShowCopyWindow(&owner);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Copying...."));
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->parentWidget(), &owner);
        const vmx::DialogBaseUnits units = vmx::BaseUnitsOf(vmx::DialogFont());
        QCOMPARE(dialog->size(), QSize(vmx::DluToPixelsX(331, units), vmx::DluToPixelsY(106, units)));

        const struct {
            int id;
            QRect dlu;
        } controls[] = {{1019, {19, 14, 295, 14}},
                        {1022, {19, 33, 296, 10}},
                        {1021, {19, 50, 295, 14}},
                        {1020, {19, 68, 296, 10}},
                        {1005, {254, 83, 57, 16}}};
        for (const auto& control : controls) {
            QWidget* widget = dialog->Control(control.id);
            QVERIFY2(widget, qPrintable(QString::number(control.id)));
            QCOMPARE(widget->geometry(), vmx::DluToPixels(control.dlu, units));
        }
        for (const int id : {1019, 1021}) {
            QCOMPARE(bar(*dialog, id)->minimum(), 0);
            QCOMPARE(bar(*dialog, id)->maximum(), 100);
            QCOMPARE(bar(*dialog, id)->value(), 0);
        }
        QVERIFY(qobject_cast<QLabel*>(dialog->Control(1022)));
        QVERIFY(qobject_cast<QLabel*>(dialog->Control(1020)));
        QCOMPARE(cancelButton(*dialog)->text(), QStringLiteral("Cancel"));
        QVERIFY(cancelButton(*dialog)->isEnabled());

        // The speed line fits between the left edge of the bars and Cancel, inside the window.
        auto* rate = dialog->findChild<QLabel*>(QStringLiteral("rateLine"));
        QVERIFY(rate);
        QVERIFY(rate->geometry().right() < cancelButton(*dialog)->geometry().left());
        QVERIFY(dialog->rect().contains(rate->geometry()));
        QVERIFY(rate->text().isEmpty());
    }

    // One window at a time: a second show brings back the first; the next transfer gets a new
    // one without the old Cancel.
    void oneWindowPerTransfer()
    {
        QWidget owner;
        QPointer<CCopyProgressDlg> first = CCopyProgressDlg::ShowCopyWindow(&owner);
        QCOMPARE(CCopyProgressDlg::ShowCopyWindow(&owner), first.data());
        QCOMPARE(owner.findChildren<CCopyProgressDlg*>().size(), 1);
        QCOMPARE(CCopyProgressDlg::Current(), first.data());
        QVERIFY(QTest::qWaitForWindowExposed(first));
        QTest::mouseClick(cancelButton(*first), Qt::LeftButton);
        QVERIFY(first->CancelRequested());

        CCopyProgressDlg::CloseCopyWindow();
        QCOMPARE(CCopyProgressDlg::Current(), nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!first, 5000);

        CCopyProgressDlg* second = CCopyProgressDlg::ShowCopyWindow(&owner);
        QVERIFY(!second->CancelRequested());
        QVERIFY(second->UpdateProgress(someStep()));
    }

    // The owner going away takes the window with it.
    void ownerTakesTheWindowAlong()
    {
        auto* owner = new QWidget;
        QPointer<CCopyProgressDlg> dialog = CCopyProgressDlg::ShowCopyWindow(owner);
        QVERIFY(dialog);
        delete owner;
        QVERIFY(!dialog);
        QCOMPARE(CCopyProgressDlg::Current(), nullptr);
    }

    // The bars and lines show each step of a real transfer's arithmetic: two files of 3 MB and
    // 2 MB.
    void barsAndLinesFollowTheCopy()
    {
        QWidget owner;
        CCopyProgressDlg* dialog = CCopyProgressDlg::ShowCopyWindow(&owner);
        vmx::CopyProgress progress;
        progress.start(5000000);
        const struct {
            std::uint64_t fileTotal;
            std::uint64_t copied;
            int file;
            int overall;
            const char* status;
        } steps[] = {
            {3000000, 0, 0, 0, "0(Mbytes) transferred of total 5000000(bytes) 0(left)"},
            {3000000, 1500000, 50, 20, "1(Mbytes) transferred of total 5000000(bytes) 20(left)"},
            {3000000, 3000000, 100, 60, "3(Mbytes) transferred of total 5000000(bytes) 60(left)"},
            {2000000, 0, 0, 60, "3(Mbytes) transferred of total 5000000(bytes) 60(left)"},
            {2000000, 2000000, 100, 100, "5(Mbytes) transferred of total 5000000(bytes) 100(left)"},
        };
        for (const auto& step : steps) {
            QVERIFY(dialog->UpdateProgress(progress.update(step.fileTotal, step.copied)));
            QCOMPARE(bar(*dialog, kFileBar)->value(), step.file);
            QCOMPARE(bar(*dialog, kOverallBar)->value(), step.overall);
            QCOMPARE(dialog->StatusText(), QString::fromLatin1(step.status));
            QCOMPARE(static_cast<QLabel*>(dialog->Control(kStatusLine))->text(), QString::fromLatin1(step.status));
            QCOMPARE(dialog->WarningText(), QStringLiteral("Do not unplug the USB Connection!!!"));
            QCOMPARE(static_cast<QLabel*>(dialog->Control(kWarningLine))->text(),
                     QStringLiteral("Do not unplug the USB Connection!!!"));
        }
    }

    // Speed and time left come from the steps and the moments they arrived.
    void speedAndTimeLeft()
    {
        QWidget owner;
        CCopyProgressDlg* dialog = CCopyProgressDlg::ShowCopyWindow(&owner);
        const vmx::TransferRate::Clock::time_point t0{};
        vmx::CopyProgressView view;
        view.totalBytes = 1000000000;
        view.transferredBytes = 0;
        dialog->UpdateProgressAt(view, t0);
        QCOMPARE(dialog->RateText(), QString());  // nothing to say yet
        view.transferredBytes = 40000000;
        dialog->UpdateProgressAt(view, t0 + 2s);
        // 20 MB/s; 960 MB left: 48 seconds.
        QCOMPARE(dialog->RateText(), QStringLiteral("20.0 MB/s, 0:48 left"));
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("rateLine"))->text(), dialog->RateText());

        // Values outside 0..100 never reach the bars.
        view.filePercent = 140;
        view.overallPercent = -3;
        dialog->UpdateProgressAt(view, t0 + 3s);
        QCOMPARE(bar(*dialog, kFileBar)->value(), 100);
        QCOMPARE(bar(*dialog, kOverallBar)->value(), 0);
    }

    // A click on Cancel: the next step answers stop, and every step after it; the button shows
    // that the copy is being cancelled and cannot be pressed again; the window stays until the
    // transfer closes it.
    void cancelClickStopsTheNextStep()
    {
        QWidget owner;
        CCopyProgressDlg* dialog = CCopyProgressDlg::ShowCopyWindow(&owner);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QSignalSpy asked(dialog, &CCopyProgressDlg::cancelRequested);
        QVERIFY(dialog->UpdateProgress(someStep()));
        QTest::mouseClick(cancelButton(*dialog), Qt::LeftButton);
        QVERIFY(dialog->CancelRequested());
        QCOMPARE(asked.count(), 1);
        QVERIFY(!cancelButton(*dialog)->isEnabled());
        QCOMPARE(cancelButton(*dialog)->text(), QStringLiteral("Cancelling..."));
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->UpdateProgress(someStep()));
        QVERIFY(!dialog->UpdateProgress(someStep()));
        // A second click on the disabled button changes nothing.
        QTest::mouseClick(cancelButton(*dialog), Qt::LeftButton);
        QCOMPARE(asked.count(), 1);
        QVERIFY(dialog->isVisible());
    }

    // Escape and the title bar's close ask to cancel like the button; neither hides the window
    // while the copy goes on.
    void escapeAndCloseActAsCancel()
    {
        QWidget owner;
        for (const bool escape : {true, false}) {
            CCopyProgressDlg* dialog = CCopyProgressDlg::ShowCopyWindow(&owner);
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QSignalSpy asked(dialog, &CCopyProgressDlg::cancelRequested);
            if (escape) {
                QTest::keyClick(dialog, Qt::Key_Escape);
            } else {
                QVERIFY(!dialog->close());
            }
            QVERIFY(dialog->CancelRequested());
            QCOMPARE(asked.count(), 1);
            QVERIFY(dialog->isVisible());
            QCOMPARE(CCopyProgressDlg::Current(), dialog);
            QVERIFY(!dialog->UpdateProgress(someStep()));
            QCOMPARE(cancelButton(*dialog)->text(), QStringLiteral("Cancelling..."));
            CCopyProgressDlg::CloseCopyWindow();
            QTRY_VERIFY_WITH_TIMEOUT(!CCopyProgressDlg::Current(), 5000);
        }
        CCopyProgressDlg* dialog = CCopyProgressDlg::ShowCopyWindow(&owner);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        // Enter presses nothing: a stray key never cancels a copy.
        QTest::keyClick(dialog, Qt::Key_Return);
        QTest::keyClick(dialog, Qt::Key_Enter);
        QVERIFY(!dialog->CancelRequested());
        QVERIFY(dialog->isVisible());
    }

    // A copy on another thread hands every step to the window on the user-interface thread and
    // waits for the answer, as the desktop program's port does. The window keeps serving events
    // meanwhile, and a click on Cancel stops the copy at its next step.
    void copyOnAnotherThreadStopsAtTheClick()
    {
        QWidget owner;
        CCopyProgressDlg* dialog = CCopyProgressDlg::ShowCopyWindow(&owner);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        std::atomic<int> stepsDone{0};
        std::atomic<bool> stopped{false};
        std::atomic<bool> finished{false};
        std::string lastStatus;  // of the last step handed over; read once `finished` is set
        // Whatever happens below, the copier ends before the window and the counters go.
        struct Joiner {
            std::atomic<bool>& stopped;
            std::atomic<bool>& finished;
            std::thread thread;
            ~Joiner()
            {
                stopped = true;
                while (!finished)
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
                thread.join();
            }
        } copier{stopped, finished, std::thread([&] {
            vmx::CopyProgress progress;
            progress.start(std::uint64_t(1) << 40);
            for (std::uint64_t done = 0; !stopped; done += 1000000) {
                const vmx::CopyProgressView view = progress.update(100000000, done % 100000000);
                lastStatus = view.status;
                bool goOn = true;
                QMetaObject::invokeMethod(
                    dialog, [&] { goOn = dialog->UpdateProgress(view); }, Qt::BlockingQueuedConnection);
                ++stepsDone;
                if (!goOn)
                    stopped = true;
            }
            finished = true;
        })};
        QTRY_VERIFY_WITH_TIMEOUT(stepsDone > 20, 20000);
        QVERIFY(!stopped);
        QTest::mouseClick(cancelButton(*dialog), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(finished.load(), 20000);
        QVERIFY(stopped);
        QVERIFY(dialog->isVisible());
        QVERIFY(stepsDone > 20);
        QCOMPARE(dialog->StatusText(), QString::fromStdString(lastStatus));
    }
};

QTEST_MAIN(CopyProgressDlgTest)
#include "tst_CopyProgressDlg.moc"
