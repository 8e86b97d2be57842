// The wait window as the long commands use it: shown over the main window, once at a time, kept
// open against the user's attempts to close it, and closed only when the work ends.
#include "controls/CColorLabel.h"
#include "controls/DialogUnits.h"
#include "dialogs/CPleaseWait.h"

#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class PleaseWaitTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        CPleaseWait::CloseWaitWindow();
        QTRY_VERIFY_WITH_TIMEOUT(!CPleaseWait::Current(), 5000);
    }

    void captionTextAndLayout()
    {
        QWidget owner;
        CPleaseWait* wait = CPleaseWait::ShowWaitWindow(&owner);
        QVERIFY(QTest::qWaitForWindowExposed(wait));
        QCOMPARE(wait->windowTitle(), QStringLiteral("Please Wait"));
        QCOMPARE(wait->Text(), QStringLiteral("Please Wait!"));
        QCOMPARE(wait->parentWidget(), &owner);
        const vmx::DialogBaseUnits units = vmx::BaseUnitsOf(vmx::DialogFont());
        QCOMPARE(wait->size(), QSize(vmx::DluToPixelsX(223, units), vmx::DluToPixelsY(94, units)));

        // One colour label, control 1030, over most of the window; no buttons.
        auto* label = wait->findChild<CColorLabel*>(QStringLiteral("control1030"));
        QCOMPARE(label, wait->Label());
        QCOMPARE(label->Text(), QStringLiteral("Please Wait!"));
        QVERIFY(wait->rect().contains(label->geometry()));
        QVERIFY(label->width() * label->height() * 4 > wait->width() * wait->height() * 3);
        QVERIFY(wait->findChildren<QPushButton*>().isEmpty());
        // The title bar offers no close button.
        QVERIFY(!(wait->windowFlags() & Qt::WindowCloseButtonHint));

        // The text a command asks for.
        CPleaseWait::CloseWaitWindow();
        QTRY_VERIFY_WITH_TIMEOUT(!CPleaseWait::Current(), 5000);
        QCOMPARE(CPleaseWait::ShowWaitWindow(&owner, QStringLiteral("Copying files"))->Text(),
                 QStringLiteral("Copying files"));
    }

    // Neither the window system's close (title bar, Alt+F4) nor Escape ends the window while
    // the work runs.
    void refusesToCloseWhileTheWorkRuns()
    {
        QWidget owner;
        QPointer<CPleaseWait> wait = CPleaseWait::ShowWaitWindow(&owner);
        QVERIFY(QTest::qWaitForWindowExposed(wait));
        QSignalSpy rejected(wait.data(), &QDialog::rejected);
        QVERIFY(!wait->close());
        QTest::keyClick(wait, Qt::Key_Escape);
        QTest::keyClick(wait, Qt::Key_F4, Qt::AltModifier);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // a deletion it asked for
        QVERIFY(wait);
        QVERIFY(wait->isVisible());
        QCOMPARE(CPleaseWait::Current(), wait.data());
        QCOMPARE(rejected.count(), 0);

        // The end of the work closes and frees it.
        CPleaseWait::CloseWaitWindow();
        QCOMPARE(CPleaseWait::Current(), nullptr);
        QVERIFY(!wait->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!wait, 5000);
        CPleaseWait::CloseWaitWindow();  // nothing left to close
    }

    // A second show while one is open brings that one forward: no second window, its text
    // stays.
    void secondShowKeepsTheOneWindow()
    {
        QWidget owner;
        CPleaseWait* wait = CPleaseWait::ShowWaitWindow(&owner);
        QCOMPARE(CPleaseWait::ShowWaitWindow(&owner, QStringLiteral("other")), wait);
        QCOMPARE(owner.findChildren<CPleaseWait*>().size(), 1);
        QCOMPARE(wait->Text(), QStringLiteral("Please Wait!"));
    }

    // Modeless: the window behind keeps its timers and takes clicks while the wait window shows.
    void windowBehindKeepsWorking()
    {
        QWidget owner;
        auto* button = new QPushButton(QStringLiteral("stop"), &owner);
        owner.resize(300, 200);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        CPleaseWait* wait = CPleaseWait::ShowWaitWindow(&owner);
        QVERIFY(QTest::qWaitForWindowExposed(wait));
        QVERIFY(!wait->isModal());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);

        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
        timer.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 5000);
        QSignalSpy clicked(button, &QPushButton::clicked);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QVERIFY(wait->isVisible());
    }

    void ownerTakesTheWindowAlong()
    {
        auto* owner = new QWidget;
        QPointer<CPleaseWait> wait = CPleaseWait::ShowWaitWindow(owner);
        delete owner;
        QVERIFY(!wait);
        QCOMPARE(CPleaseWait::Current(), nullptr);
    }
};

QTEST_MAIN(PleaseWaitTest)
#include "tst_PleaseWait.moc"
