// The session worker and the user-interface port: operations run on the worker thread one at a
// time, their questions are shown on the user-interface thread while they wait, and the form's
// commands are off meanwhile.
#include "MainViewHarness.h"

#include "view/CQtUserInterface.h"
#include "view/CSessionWorker.h"

#include <QSignalSpy>

#include <optional>

namespace {

// True while a recording session holds the database file cache: another one cannot take it.
bool SessionHeld()
{
    vmx::RecordingSession probe;
    return !probe.init().empty();
}

}  // namespace

class SessionWorkerTest : public QObject {
    Q_OBJECT

    QWidget owner;
    vmx::RecordingSession session;

private slots:
    void questionsFromTheWorkerAreAskedOnTheUserInterfaceThread_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shownCaption");
        QTest::addColumn<int>("answer");
        QTest::newRow("Yes") << "Information" << "Information" << int(QMessageBox::Yes);
        QTest::newRow("No, application title") << "" << "Velmorix" << int(QMessageBox::No);
    }
    void questionsFromTheWorkerAreAskedOnTheUserInterfaceThread()
    {
        QFETCH(QString, caption);
        QFETCH(QString, shownCaption);
        QFETCH(int, answer);
        CQtUserInterface ui(&owner);
        CSessionWorker worker(session);
        const auto seen = AnswerNextMessage(QMessageBox::StandardButton(answer));
        std::optional<bool> result;
        QThread* ranOn = nullptr;
        QVERIFY(worker.Run<bool>(
            [&](vmx::RecordingSession&) {
                ranOn = QThread::currentThread();
                return ui.askYesNo("Go on?\r\nReally?", caption.toStdString());
            },
            [&](bool yes) { result = yes; }));
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 10000);
        QCOMPARE(*result, answer == QMessageBox::Yes);
        QVERIFY(ranOn != QThread::currentThread());
        QVERIFY(seen->onGuiThread);
        QCOMPARE(seen->title, shownCaption);
        QCOMPARE(seen->text, QStringLiteral("Go on?\nReally?"));
        QCOMPARE(seen->buttons, QMessageBox::Yes | QMessageBox::No);
    }

    void oneOperationAtATime()
    {
        CQtUserInterface ui(&owner);
        CSessionWorker worker(session);
        QSignalSpy busy(&worker, &CSessionWorker::busyChanged);
        std::vector<int> ended;
        bool refused = false;
        OnNextModal<QMessageBox>([&](QMessageBox* box) {
            // The first operation waits for this answer: a second one is refused meanwhile.
            refused = !worker.Run<int>([](vmx::RecordingSession&) { return 2; }, [&](int n) { ended.push_back(n); });
            QVERIFY(worker.IsBusy());
            QTest::mouseClick(box->buttons().constFirst(), Qt::LeftButton);
        });
        QVERIFY(worker.Run<int>(
            [&](vmx::RecordingSession&) {
                ui.showMessage("Wait for me");
                return 1;
            },
            [&](int n) {
                ended.push_back(n);
                // Started from the end of the one before: it runs next.
                QVERIFY(worker.Run<int>([](vmx::RecordingSession&) { return 3; }, [&](int m) { ended.push_back(m); }));
            }));
        QTRY_COMPARE_WITH_TIMEOUT(ended, (std::vector<int>{1, 3}), 10000);
        QVERIFY(refused);
        QTRY_VERIFY(!worker.IsBusy());
        QCOMPARE(busy.count(), 3);
        QCOMPARE(busy.at(0).at(0).toBool(), true);
        QCOMPARE(busy.at(1).at(0).toBool(), true);
        QCOMPARE(busy.at(2).at(0).toBool(), false);
    }

    void abandonedInterfaceAnswersAsOneWhoCancels()
    {
        CQtUserInterface ui(&owner);
        CSessionWorker worker(session);
        struct Answers {
            bool yes = true;
            std::string folder = "x";
            std::vector<std::string> files{"x"};
            std::string newFile = "x";
        };
        std::optional<Answers> answers;
        QVERIFY(worker.Run<Answers>(
            [&](vmx::RecordingSession&) {
                Answers got;
                got.yes = ui.askYesNo("Go on?", "");
                got.folder = ui.chooseFolder("Folder", "/");
                got.files = ui.chooseFiles("Files", "All(*)|*||");
                got.newFile = ui.chooseNewFile("New", "DZT000", "PVR DB file(*.DB)|*.DB||");
                ui.showMessage("Never shown");
                return got;
            },
            [&](Answers got) { answers = got; }));
        // Before the user-interface thread got round to the question.
        ui.Abandon();
        QTRY_VERIFY_WITH_TIMEOUT(answers.has_value(), 10000);
        QVERIFY(!answers->yes);
        QVERIFY(answers->folder.empty());
        QVERIFY(answers->files.empty());
        QVERIFY(answers->newFile.empty());
        QCoreApplication::processEvents();
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void commandsAreOffWhileAnOperationRunsAndTheWindowWaitsForIt()
    {
        MainViewHarness harness;
        CVelmorixView* view = harness.view;
        QHash<int, bool> enabledMeanwhile;
        bool stillShown = false;
        bool closeAsked = false;
        OnNextModal<QMessageBox>([&](QMessageBox* box) {
            for (const int id : {ControlId::kLoadLeft, ControlId::kLoadRight, ControlId::kRename, ControlId::kPlay,
                                 ControlId::kModeSelector, ControlId::kPause, ControlId::kStop})
                enabledMeanwhile.insert(id, view->Control(id)->isEnabled());
            // Closing now asks, and then waits for the operation.
            const auto question = AnswerMessageWithText(QString::fromLatin1(CMainFrame::kCloseWhenDoneQuestion),
                                                        QMessageBox::Yes);
            harness.frame->close();
            closeAsked = question->seen;
            stillShown = harness.frame->isVisible() && SessionHeld();
            QTest::mouseClick(box->buttons().constFirst(), Qt::LeftButton);
        });
        QVERIFY(view->Runner().Worker().Run<bool>(
            [view](vmx::RecordingSession&) {
                view->Ui().showMessage("Working");
                return true;
            },
            [](bool) {}));
        QTRY_VERIFY_WITH_TIMEOUT(!harness.frame->isVisible(), 10000);
        QVERIFY(!SessionHeld());
        QVERIFY(stillShown);
        QVERIFY(closeAsked);
        for (const int id : {ControlId::kLoadLeft, ControlId::kLoadRight, ControlId::kRename, ControlId::kPlay,
                             ControlId::kModeSelector})
            QVERIFY2(!enabledMeanwhile.value(id, true), qPrintable(QString::number(id)));
        QVERIFY(enabledMeanwhile.value(ControlId::kPause));
        QVERIFY(enabledMeanwhile.value(ControlId::kStop));
    }

    void commandsComeBackAsTheirRulesSay()
    {
        MainViewHarness harness;
        QVERIFY(harness.Load(0, harness.disk.recordDb()));
        // After the load: L, R, RE and PR on; AL, AR, J and M stay off as before it.
        for (const int on : {ControlId::kLoadLeft, ControlId::kLoadRight, ControlId::kRename, ControlId::kCut,
                             ControlId::kPlay, ControlId::kModeSelector})
            QVERIFY2(harness.Enabled(on), qPrintable(QString::number(on)));
        for (const int off : {ControlId::kTransferLeftToRight, ControlId::kTransferRightToLeft,
                              ControlId::kChooseJpegFiles, ControlId::kChooseMp3Files})
            QVERIFY2(!harness.Enabled(off), qPrintable(QString::number(off)));
    }
};

QTEST_MAIN(SessionWorkerTest)
#include "tst_SessionWorker.moc"
