// ME, EN and PR of the main view, driven on a demo disk with clicks and keys: the merged file and
// the cut recording byte for byte as velmorix-cli makes them on an identical disk, EN's question
// and its hand-over to the settings dialog with real mencoder and mplayer runs, the settings
// reloaded by a load into the left pane, the refusals, and a deletion taken back with Ctrl+Z.
#include "FileBytes.h"
#include "MainViewHarness.h"

#include "controls/CMarkBar.h"
#include "convert/EncodeSettings.h"
#include "convert/ExportChoice.h"
#include "convert/FileHelpers.h"
#include "dialogs/CExportQueueDlg.h"
#include "dialogs/CPleaseWait.h"
#include "dialogs/CSettingDlg.h"
#include "dialogs/SettingTemplate.h"
#include "recording/Cut.h"
#include "recording/EdlFile.h"
#include "recording/Merge.h"
#include "view/CAdFinder.h"
#include "view/CCutEditor.h"
#include "view/CCutListDlg.h"
#include "view/CProcessCommands.h"
#include "view/CUndoCommands.h"
#include "viewmodel/CutMarks.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QCryptographicHash>
#include <QDir>
#include <QLineEdit>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>

#include <atomic>
#include <cmath>
#include <csignal>
#include <thread>

namespace {

constexpr int kRunTimeoutMs = 60000;

// A file's size and digest, to compare files of a hundred megabytes without holding two.
QString Digest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("missing");
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return QString::number(file.size()) + QLatin1Char(' ') + QString::fromLatin1(hash.result().toHex());
}

// Gives a part file of the disk copy bytes of its own, so that a cut may rewrite it in place
// without reaching the demo disk it is linked to.
bool OwnCopy(const DemoDiskCopy& disk, const QString& relative)
{
    const QString path = disk.path(relative);
    const QString copy = path + QStringLiteral(".own");
    return QFile::copy(path, copy) && ::rename(QFile::encodeName(copy).constData(), QFile::encodeName(path).constData()) == 0;
}

// Gives both part files of "Sports HD" bytes of their own (see OwnCopy), so that a cut may rewrite
// them.
bool OwnSportsParts(const DemoDiskCopy& disk)
{
    return OwnCopy(disk, QStringLiteral("RECORD/RF0002AA.TRP")) && OwnCopy(disk, QStringLiteral("RECORD/RF0002AB.TRP"));
}

struct CliRun {
    int exitCode = -1;
    QString output;
};

CliRun RunCli(const QStringList& args)
{
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(QStringLiteral(VELMORIX_CLI), args);
    CliRun run;
    if (cli.waitForFinished(kRunTimeoutMs) && cli.exitStatus() == QProcess::NormalExit)
        run.exitCode = cli.exitCode();
    run.output = QString::fromLocal8Bit(cli.readAll());
    return run;
}

bool ProcessAlive(qint64 pid)
{
    if (pid <= 0 || kill(pid_t(pid), 0) != 0)
        return false;
    const QList<QByteArray> stat = ReadAll(QStringLiteral("/proc/%1/stat").arg(pid)).split(' ');
    return stat.size() > 2 && stat[2] != "Z";
}

QPushButton* DialogButton(const CSettingDlg& dialog, int id)
{
    return static_cast<QPushButton*>(dialog.Control(id));
}

QString DialogText(const CSettingDlg& dialog, int id)
{
    return static_cast<QLineEdit*>(dialog.Control(id))->text();
}

// What the test saw of the settings dialog EN opened.
struct SeenSettings {
    bool seen = false;
    bool modal = false;
    QString source;
    std::vector<EncodeJob> jobs;
};

constexpr int kSportsRow = 1;  // "Sports HD": one full part and a second one

// PR's question for the stretch between two marks of Sports HD in the database `db`: the core's
// wording of the stretch that velmorix-cli's dry run plans there (the key frames the marks move to).
QString CutQuestion(const QString& db, float startMark, float endMark)
{
    const CliRun run = RunCli({QStringLiteral("cut"), db, QString::number(kSportsRow + 1),
                               QString::number(double(startMark), 'g', 9), QString::number(double(endMark), 'g', 9),
                               QStringLiteral("--dry-run"), QStringLiteral("--json")});
    if (run.exitCode != 0)
        return run.output;
    std::vector<vmx::PlannedStretch> stretches;
    const QJsonObject out = QJsonDocument::fromJson(run.output.toUtf8()).object();
    for (const QJsonValue& value : out.value(QStringLiteral("stretches")).toArray()) {
        const QJsonObject s = value.toObject();
        vmx::PlannedStretch planned;
        planned.marks = {s.value(QStringLiteral("marked_start")).toDouble(), s.value(QStringLiteral("marked_end")).toDouble()};
        planned.cut = {s.value(QStringLiteral("start")).toDouble(), s.value(QStringLiteral("end")).toDouble()};
        stretches.push_back(planned);
    }
    std::vector<std::string> notes;
    for (const QJsonValue& note : out.value(QStringLiteral("notes")).toArray())
        notes.push_back(note.toString().toStdString());
    return QString::fromStdString(vmx::CutQuestionText("Sports HD", stretches, notes));
}

} // namespace

class ProcessCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::string m_savedProgramFolder;
    std::unique_ptr<MainViewHarness> ui;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString out() const { return path(QStringLiteral("out")); }

    void setDestination(const QString& folder)
    {
        QVERIFY(WriteAll(path(QStringLiteral("config/velmorix/setting.ini")),
                         "[GENERAL]\nDESTPATH=" + QFile::encodeName(folder) + "\n"));
    }

    CMarkBar* markBar() const { return ui->view->MarkBar(); }
    // Places a mark with a click on the mark bar where it shows `seconds`.
    void clickMark(float seconds)
    {
        QTest::mouseClick(markBar(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(markBar()->ValueToPixel(seconds), markBar()->height() / 2));
    }
    std::uint32_t partSeconds(int row) const
    {
        return ui->view->Runner().Session().pane(vmx::kLeftSide).timingAt(row).secondsPerPart;
    }

    // Clicks ME with a row selected and answers the folder chooser with `folder`.
    void merge(const QString& folder)
    {
        AnswerNextFileDialog(QFileInfo(folder).path(), QFileInfo(folder).fileName());
        ui->Click(ControlId::kMerge);
    }

    // Answers EN's settings dialog once it is shown: notes what it shows, then `act` works it.
    std::shared_ptr<SeenSettings> onSettingsDialog(std::function<void(CSettingDlg*)> act)
    {
        auto seen = std::make_shared<SeenSettings>();
        OnNextModal<CSettingDlg>([seen, act](CSettingDlg* dialog) {
            seen->seen = true;
            seen->modal = dialog->isModal();
            seen->source = DialogText(*dialog, SettingTemplate::kSourcePath);
            seen->jobs = dialog->Model().jobs();
            act(dialog);
        });
        return seen;
    }
    // Starts the dialog's run, answers the message that ends it and closes the dialog.
    static void runAndExit(CSettingDlg* dialog, std::shared_ptr<SeenMessage> end)
    {
        OnNextModal<QMessageBox>([dialog, end](QMessageBox* box) {
            AnswerMessage(box, *end, QMessageBox::Ok);
            QTest::mouseClick(DialogButton(*dialog, SettingTemplate::kExit), Qt::LeftButton);
        });
        QTest::mouseClick(DialogButton(*dialog, SettingTemplate::kStartEncoding), Qt::LeftButton);
    }
    static void exitDialog(CSettingDlg* dialog)
    {
        QTest::mouseClick(DialogButton(*dialog, SettingTemplate::kExit), Qt::LeftButton);
    }
    bool settingsClosed() const
    {
        return QTest::qWaitFor([this] { return !ui->view->ProcessCommands().SettingsDialog(); }, kRunTimeoutMs);
    }

private slots:
    // A program folder with the shipped templates and settings, data and runtime folders of the
    // test's own, so no setting of the machine's user reaches the runs.
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        for (const char* folder : {"prog", "config/velmorix", "data", "runtime", "out"})
            QVERIFY(QDir().mkpath(path(QLatin1String(folder))));
        QFile::setPermissions(path(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QFile::copy(QStringLiteral(VELMORIX_SOURCE_DIR "/res/tamsel.ini"), path(QStringLiteral("prog/tamsel.ini"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral("data"))));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path(QStringLiteral("runtime"))));
        m_savedProgramFolder = GetProgramFolder();
        vmx::SetProgramFolder(QFile::encodeName(path(QStringLiteral("prog"))).toStdString());
        vmx::CurrentEncodeSettings() = EncodeSettings();
        ui = std::make_unique<MainViewHarness>();
        QVERIFY(ui->disk.ok());
    }
    void cleanup()
    {
        ui.reset();
        vmx::SetProgramFolder(m_savedProgramFolder);
        m_dir.reset();
    }

    // ME joins the parts into "[m]" + name + ".trp" with the bytes velmorix-cli merge writes, and
    // the window keeps answering while it works: "Merge complete!" comes while the merge is
    // still the worker's, on the user-interface thread.
    void mergeWritesWhatTheCliWrites()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, kSportsRow);
        QVERIFY(QDir().mkpath(ui->disk.path("OUT")));
        auto done = std::make_shared<SeenMessage>();
        bool busyWhenTold = false;
        OnNextModal<QMessageBox>([&, done](QMessageBox* box) {
            busyWhenTold = ui->view->IsBusy();
            AnswerMessage(box, *done, QMessageBox::Ok);
        });
        merge(ui->disk.path("OUT"));
        QVERIFY(ui->Idle());
        QTRY_VERIFY(done->seen);
        QCOMPARE(done->text, QStringLiteral("Merge complete!"));
        QCOMPARE(done->title, QStringLiteral("Velmorix"));
        QVERIFY(done->onGuiThread);
        QVERIFY(busyWhenTold);
        const QString merged = ui->disk.path("OUT/[m]Sports HD.trp");
        QCOMPARE(QString::fromStdString(ui->view->ProcessCommands().LastMergedPath()), merged);
        QCOMPARE(QFileInfo(merged).size(),
                 QFileInfo(ui->disk.path("RECORD/RF0002AA.TRP")).size() + QFileInfo(ui->disk.path("RECORD/RF0002AB.TRP")).size());

        DemoDiskCopy other;
        QVERIFY(QDir().mkpath(other.path("OUT")));
        const CliRun cli = RunCli({QStringLiteral("merge"), other.recordDb(), QStringLiteral("2"), other.path("OUT")});
        QVERIFY2(cli.exitCode == 0, qPrintable(cli.output));
        QCOMPARE(Digest(merged), Digest(other.path("OUT/[m]Sports HD.trp")));

        // A second merge replaces the file without a question.
        QVERIFY(WriteAll(ui->disk.path("OUT/[m]Nature One.trp"), "an older file"));
        ui->ClickRow(0, 0);
        const auto again = AnswerNextMessage();
        merge(ui->disk.path("OUT"));
        QVERIFY(ui->Idle());
        QTRY_VERIFY(again->seen);
        QCOMPARE(again->text, QStringLiteral("Merge complete!"));
        QCOMPARE(ReadAll(ui->disk.path("OUT/[m]Nature One.trp")), ReadAll(ui->disk.path("RECORD/RF0001AA.TRP")));
    }

    // ME and EN without a selected row, ME with the chooser cancelled or a folder that is not
    // plain ASCII, and PR refused in each of its ways: nothing is written, no part changes.
    void refusals()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        const QByteArray db = ReadAll(ui->disk.recordDb());
        for (const int command : {ControlId::kMerge, ControlId::kConvert}) {
            const auto seen = AnswerNextMessage();
            ui->Click(command);
            QVERIFY(ui->Idle());
            QTRY_VERIFY(seen->seen);
            QCOMPARE(seen->text, QStringLiteral("Please select the item first."));
            // No folder chooser and no question come after the message.
            QTest::qWait(50);
            QCOMPARE(QApplication::activeModalWidget(), nullptr);
            QVERIFY(!ui->view->ProcessCommands().SettingsDialog());
        }

        ui->ClickRow(0, 0);
        OnNextModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
        ui->Click(ControlId::kMerge);
        QVERIFY(ui->Idle());
        QTest::qWait(50);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(ui->view->ProcessCommands().LastMergedPath(), std::string());

        const QString foreign = path(QStringLiteral("Vid\u00e9os"));
        QVERIFY(QDir().mkpath(foreign));
        const auto english = AnswerNextMessage();
        merge(foreign);
        QVERIFY(ui->Idle());
        QTRY_VERIFY(english->seen);
        QCOMPARE(english->text, QString::fromLatin1(vmx::kEnglishFolderMessage).remove(QLatin1Char('\r')));
        QVERIFY(QDir(foreign).isEmpty());

        // PR: fewer than two marks, then a recording whose last part is missing.
        const auto cutMessage = [this] {
            const auto seen = AnswerNextMessage(QMessageBox::No);
            ui->Click(ControlId::kCut);
            if (!ui->Idle() || !QTest::qWaitFor([&] { return seen->seen; }, 5000))
                return QString();
            return seen->text;
        };
        ui->ClickRow(0, kSportsRow);
        QCOMPARE(cutMessage(), QStringLiteral("Can't open file or You don't mark  point"));
        clickMark(20.0f);
        QCOMPARE(markBar()->GetMarks().size(), 1u);
        QCOMPARE(cutMessage(), QStringLiteral("Can't open file or You don't mark  point"));
        // The question answered No: nothing on disk changes and the marks of a two-part cut stay.
        clickMark(float(partSeconds(kSportsRow)) + 3.0f);
        const std::vector<float> marks = markBar()->GetMarks();
        QCOMPARE(cutMessage(), CutQuestion(ui->disk.recordDb(), marks.at(0), marks.at(1)));
        QCOMPARE(markBar()->GetMarks().size(), 2u);
        QCOMPARE(ReadAll(ui->disk.recordDb()), db);

        QVERIFY(QFile::remove(ui->disk.path("RECORD/RF0003AA.TRP")));
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, 2);
        clickMark(2.0f);
        clickMark(5.0f);
        QCOMPARE(cutMessage(), QStringLiteral("Can't open file or You don't mark  point"));

        // Outside RECORD MODE PR does nothing at all.
        QVERIFY(ui->ChooseMode(1));
        ui->view->EnableCommand(ControlId::kCut, true);
        ui->Click(ControlId::kCut);
        QVERIFY(ui->Idle());
        QTest::qWait(50);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(ReadAll(ui->disk.recordDb()), db);
    }

    // PR while the player plays is refused before anything else is looked at.
    void cutWhilePlayingIsRefused()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, 0);
        ui->Click(ControlId::kPlay);
        QVERIFY(QTest::qWaitFor([this] { return ui->view->PlayerCommands().IsRunning(); }, kRunTimeoutMs));
        const auto seen = AnswerNextMessage();
        ui->Click(ControlId::kCut);
        QTRY_VERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("Can't Process files while video player is running. Please retry after "
                                            "stopping video."));
        QVERIFY(seen->onGuiThread);
        QVERIFY(ui->view->PlayerCommands().IsRunning());
        ui->Click(ControlId::kStop);
    }

    // PR with two marks set on the mark bar leaves the database and the part files exactly as
    // velmorix-cli cut leaves them with the same marks: a two-part cut (both parts trimmed), and a
    // cut from the start (the first part deleted, the second trimmed and renamed, the record's
    // length and its timing entry new).
    void cutMatchesTheCli_data()
    {
        QTest::addColumn<bool>("fromStart");
        QTest::addColumn<QString>("doneText");
        QTest::newRow("two-part") << false << "Processing Complete";
        QTest::newRow("from the start") << true << "Processing Complete!";
    }
    void cutMatchesTheCli()
    {
        QFETCH(bool, fromStart);
        QFETCH(QString, doneText);
        DemoDiskCopy other;
        QVERIFY(other.ok());
        QVERIFY(OwnSportsParts(ui->disk) && OwnSportsParts(other));
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, kSportsRow);
        const std::uint32_t part = partSeconds(kSportsRow);
        QVERIFY2(part > 20 && part < 75, qPrintable(QString::number(part)));
        clickMark(fromStart ? 0.8f : 20.0f);
        clickMark(float(part) + 3.0f);
        // A start mark at 0 cuts from the recording's first byte (a mark at 0.8 s would move to
        // the key frame after it).
        if (fromStart)
            markBar()->SetMark(0, 0.0f);
        const std::vector<float> marks = markBar()->GetMarks();
        QCOMPARE(marks.size(), 2u);
        QCOMPARE(marks[0] == 0.0f, fromStart);

        // What the window shows behind the message that ends the cut.
        struct AtTheEnd {
            bool waitWindowOpen = true;
            QString duration;
        };
        const auto atTheEnd = std::make_shared<AtTheEnd>();
        const auto seen = AnswerMessagesInTurn({QMessageBox::Yes, QMessageBox::Ok}, [this, atTheEnd](qsizetype box) {
            if (box != 1)
                return;
            atTheEnd->waitWindowOpen = CPleaseWait::Current() != nullptr;
            atTheEnd->duration = ui->Column(0, 2).value(kSportsRow);
        });
        ui->Click(ControlId::kCut);
        QVERIFY(ui->Idle());
        QTRY_VERIFY(seen[1]->seen);
        // The question names the recording and the stretch it takes out.
        QCOMPARE(seen[0]->text, CutQuestion(other.recordDb(), marks[0], marks[1]));
        QCOMPARE(seen[0]->title, QStringLiteral("information"));
        QCOMPARE(seen[0]->buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(seen[1]->text, doneText);
        QVERIFY(seen[0]->onGuiThread && seen[1]->onGuiThread);
        // The message comes last: the wait window is gone and the pane shows the cut recording.
        QVERIFY(!atTheEnd->waitWindowOpen);
        QCOMPARE(atTheEnd->duration, ui->Column(0, 2).at(kSportsRow));
        // The marks are gone, over the recording's length before the cut.
        QVERIFY(markBar()->GetMarks().empty());
        QCOMPARE(markBar()->RangeMax(), 80.0f);

        const CliRun cli = RunCli({QStringLiteral("cut"), other.recordDb(), QStringLiteral("2"),
                                   QString::number(double(marks[0]), 'g', 9), QString::number(double(marks[1]), 'g', 9),
                                   QStringLiteral("--yes")});
        QVERIFY2(cli.exitCode == 0, qPrintable(cli.output));
        QCOMPARE(ReadAll(ui->disk.recordDb()), ReadAll(other.recordDb()));
        const QStringList parts = QDir(other.path("RECORD")).entryList({QStringLiteral("RF0002*")}, QDir::Files);
        QCOMPARE(QDir(ui->disk.path("RECORD")).entryList({QStringLiteral("RF0002*")}, QDir::Files), parts);
        QCOMPARE(parts.size(), fromStart ? 1 : 2);
        for (const QString& name : parts)
            QCOMPARE(Digest(ui->disk.path("RECORD/" + name)), Digest(other.path("RECORD/" + name)));

        // The pane and the row's timing entry come from the database as the cut left it.
        const vmx::TimingEntry timing = ui->view->Runner().Session().pane(vmx::kLeftSide).timingAt(kSportsRow);
        const vmx::RecordRow& row = ui->view->State().pane(vmx::kLeftSide).rows.at(kSportsRow);
        QCOMPARE(row.timing.duration, timing.duration);
        QCOMPARE(row.timing.totalSize, timing.totalSize);
        QCOMPARE(row.duration, timing.duration);
        if (fromStart) {
            QVERIFY(row.duration < 80u);
            QCOMPARE(row.partCount, std::uint16_t(1));
            QCOMPARE(timing.totalSize, std::uint64_t(QFileInfo(ui->disk.path("RECORD/" + parts[0])).size()));
            QVERIFY(ui->Column(0, 2).at(kSportsRow) != QStringLiteral("00:01:20"));
        } else {
            QCOMPARE(row.duration, 80u);
            QCOMPARE(ui->Column(0, 2).at(kSportsRow), QStringLiteral("00:01:20"));
        }
        QCOMPARE(ui->view->Player()->GetPlayState(), int(CGomxctrl1::kStopped));
    }

    // A mark placed on the bar holds the player still on the mark's picture and names its time;
    // the arrows move the mark touched last, I and O set the marks where the player is. ADD lists
    // the marked stretch (twice: two stretches, shaded on the bar); while a cut's question is open
    // the bar shows where the cut lands; PR hands every listed stretch to the session.
    void marksShowTheirPictureAndTheCutListGoesToPr()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, kSportsRow);
        // The keys go to the main window once it is active again after the load's file dialog.
        ui->frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(ui->frame.get()));
        const float part = float(partSeconds(kSportsRow));
        QVERIFY2(part > 20 && part < 70, qPrintable(QString::number(part)));
        CGomxctrl1* player = ui->view->Player();
        const auto label = [this] { return ui->LabelText(ControlId::kTimeLabel); };
        const auto mark = [this](int k) { return double(markBar()->GetMarks().at(std::size_t(k))); };
        const auto near = [](double a, double b, double within) { return std::abs(a - b) <= within; };
        const auto playerNear = [player](double seconds) {
            return QTest::qWaitFor([&] {
                const std::optional<double> at = player->CurrentPosition();
                return at && std::abs(*at - seconds) <= 1.0;
            }, kRunTimeoutMs);
        };

        // The player holds the recording as one stream (named by its first part) on either side
        // of the part boundary, at the mark's time in the recording.
        const struct {
            float at;
            QString role;
        } placed[] = {
            {20.0f, QStringLiteral("Start")},
            {part + 3.0f, QStringLiteral("End")},
        };
        for (int k = 0; k < 2; ++k) {
            clickMark(placed[k].at);
            QCOMPARE(player->GetPlayState(), int(CGomxctrl1::kPaused));
            QCOMPARE(player->FileName(), ui->disk.path("RECORD/RF0002AA.TRP"));
            QCOMPARE(label(), QStringLiteral("%1 %2 s").arg(placed[k].role).arg(mark(k), 0, 'f', 1));
            QCOMPARE(ui->view->State().playback.position(), std::uint32_t(mark(k)));
        }
        QVERIFY(playerNear(mark(1)));
        QCOMPARE(player->GetPlayState(), int(CGomxctrl1::kPaused));

        // The arrows move the end mark, touched last: a second back, a picture on.
        const double end = mark(1);
        QTest::keyClick(markBar(), Qt::Key_Left, Qt::ShiftModifier);
        QVERIFY2(near(mark(1), end - 1.0, 1e-3), qPrintable(QStringLiteral("%1 %2 %3 %4").arg(mark(0)).arg(mark(1)).arg(end).arg(markBar()->LastTouched())));
        QTest::keyClick(markBar(), Qt::Key_Right);
        QVERIFY(near(mark(1), end - 1.0 + vmx::PictureSeconds(player->FramesPerSecond()), 1e-3));
        QVERIFY(near(mark(0), 20.0, 0.1));
        QCOMPARE(label(), QStringLiteral("End %1 s").arg(mark(1), 0, 'f', 1));
        // The focused position slider keeps its own arrow keys.
        const double stepped = mark(1);
        ui->view->PositionSlider()->setFocus();
        QTest::keyClick(ui->view->PositionSlider(), Qt::Key_Left);
        QCOMPARE(mark(1), stepped);

        // I and O: the marks go where the slider sent the paused player.
        ui->ClickSliderAt(10);
        QVERIFY(playerNear(10));
        QTest::keyClick(markBar(), Qt::Key_I);
        QVERIFY2(near(mark(0), 10, 1.0), qPrintable(QString::number(mark(0))));
        QVERIFY(label().startsWith(QStringLiteral("Start ")));
        ui->ClickSliderAt(int(part) + 6);
        QVERIFY(playerNear(int(part) + 6));
        QTest::keyClick(markBar(), Qt::Key_O);
        QVERIFY2(near(mark(1), part + 6, 1.0), qPrintable(QString::number(mark(1))));
        QVERIFY(label().startsWith(QStringLiteral("End ")));

        // ADD twice: two stretches listed, the marks free for the next one each time.
        const vmx::CutStretch first{mark(0), mark(1)};
        ui->Click(ControlId::kAddStretch);
        QVERIFY(markBar()->GetMarks().empty());
        clickMark(part + 8.0f);
        clickMark(part + 11.0f);
        const vmx::CutStretch second{mark(0), mark(1)};
        ui->Click(ControlId::kAddStretch);
        const std::vector<std::pair<float, float>> listed{{float(first.start), float(first.end)},
                                                          {float(second.start), float(second.end)}};
        CCutListDlg* window = ui->view->CutEditor().ListWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->List()->count(), 2);
        QCOMPARE(markBar()->ShadedStretches(), listed);

        // Where the cut lands, said from the worker while the question is open, is shaded instead.
        const std::vector<std::pair<double, double>> landed{{first.start + 0.2, first.end + 0.3}, {second.start + 0.1, second.end}};
        std::atomic<bool> shown{false};
        std::thread worker([&] {
            ui->view->Ui().showCutMarks(landed);
            shown = true;
        });
        QTRY_VERIFY(shown);
        worker.join();
        QCOMPARE(markBar()->ShadedStretches().size(), 2u);
        QCOMPARE(markBar()->ShadedStretches()[0].second, float(first.end + 0.3));

        // PR with the list: both stretches go to the session; answered No, the list stays.
        const auto seen = AnswerNextMessage(QMessageBox::No);
        ui->Click(ControlId::kCut);
        QVERIFY(ui->Idle());
        QTRY_VERIFY(seen->seen);
        const vmx::CutRequest& request = ui->view->ProcessCommands().LastCutRequest();
        QCOMPARE(request.stretches.size(), 2u);
        QCOMPARE(request.stretches[0].start, first.start);
        QCOMPARE(request.stretches[1].end, second.end);
        QCOMPARE(request.positioning, vmx::CutPositioning::StreamClock);
        QCOMPARE(ui->view->CutEditor().List().size(), 2u);
        QCOMPARE(markBar()->ShadedStretches(), listed);
    }

    // Find ads (Ctrl+F) looks for the advertising beside the window, which stays usable, and
    // Cancel stops it without a word. Run to its end, it proposes the demo recording's two blocks
    // on the cut list, hatched on the bar. Selecting one puts the marks on its ends with the
    // player on its start, End shows its end, and a mark moved makes the stretch the user's. The
    // list goes to an EDL file and comes back from it the same; PR then cuts what is listed, as
    // velmorix-cli cut --edl cuts by that file on a copy of the disk.
    void findAdsProposesBlocksForTheCutList()
    {
        DemoDiskCopy other;
        QVERIFY(other.ok());
        QVERIFY(OwnSportsParts(ui->disk) && OwnSportsParts(other));
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, kSportsRow);
        ui->frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(ui->frame.get()));
        CAdFinder& finder = ui->view->AdFinder();
        const vmx::CutList& list = ui->view->CutEditor().List();

        QTest::keyClick(markBar(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(finder.Running() && finder.ProgressWindow() && finder.ProgressWindow()->isVisible());
        QVERIFY(!QApplication::activeModalWidget());
        QTest::mouseClick(finder.ProgressWindow()->findChild<QPushButton*>(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!finder.Running(), kRunTimeoutMs);
        QVERIFY(list.empty());

        // The keys go to the main window once it is active again after the progress window.
        ui->frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(ui->frame.get()));
        QTest::keyClick(markBar(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(finder.Running());
        QTRY_VERIFY_WITH_TIMEOUT(!finder.Running(), kRunTimeoutMs);
        QVERIFY(!QApplication::activeModalWidget());  // nothing to say: the list shows them
        // The demo's blocks run from 20 to 32.5 s and from 55 to 67.5 s, their black pictures
        // included.
        const double blocks[2][2] = {{20, 32.5}, {55, 67.5}};
        QCOMPARE(list.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            QVERIFY2(std::abs(list.entries()[i].start - blocks[i][0]) < 0.2 && std::abs(list.entries()[i].end - blocks[i][1]) < 0.2,
                     qPrintable(QString::fromStdString(vmx::ListedStretchText(list.entries()[i]))));
            QVERIFY(list.entries()[i].proposed);
        }
        QCOMPARE(markBar()->ShadedStretches().size(), 2u);
        CCutListDlg* window = ui->view->CutEditor().ListWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->List()->count(), 2);

        CGomxctrl1* player = ui->view->Player();
        const auto playerNear = [player](double seconds) {
            return QTest::qWaitFor([&] {
                const std::optional<double> at = player->CurrentPosition();
                return at && std::abs(*at - seconds) <= 0.5;
            }, kRunTimeoutMs);
        };
        const vmx::ListedStretch second = list.entries()[1];
        window->List()->setCurrentRow(1);
        QCOMPARE(markBar()->GetMarks(), (std::vector<float>{float(second.start), float(second.end)}));
        QVERIFY(playerNear(second.start));
        QCOMPARE(ui->LabelText(ControlId::kTimeLabel), QStringLiteral("Start %1 s").arg(second.start, 0, 'f', 1));
        QTest::mouseClick(window->Button(QStringLiteral("End")), Qt::LeftButton);
        QVERIFY(playerNear(second.end));
        QTest::keyClick(markBar(), Qt::Key_Left, Qt::ShiftModifier);
        QVERIFY(!list.entries()[1].proposed);
        QCOMPARE(list.entries()[1].end, double(float(second.end) - 1.0f));
        QVERIFY(list.entries()[0].proposed);

        // Saved, taken off, and loaded again: the same list.
        const std::vector<vmx::ListedStretch> listed = list.entries();
        const QString edl = path(QStringLiteral("out/Sports HD.edl"));
        AnswerNextFileDialog(path(QStringLiteral("out")), QStringLiteral("Sports HD.edl"));
        QTest::mouseClick(window->Button(QStringLiteral("Save EDL\u2026")), Qt::LeftButton);
        QCOMPARE(ReadAll(edl), QByteArray::fromStdString(vmx::FormatEdl(list.edl())));
        QVERIFY(ReadAll(edl).endsWith(" 0\n") && ReadAll(edl).contains(" 3\n"));
        window->List()->selectAll();
        QTest::mouseClick(window->Button(QStringLiteral("Remove")), Qt::LeftButton);
        QVERIFY(list.empty() && markBar()->ShadedStretches().empty());
        AnswerNextFileDialog(path(QStringLiteral("out")), QStringLiteral("Sports HD.edl"));
        QTest::mouseClick(window->Button(QStringLiteral("Load EDL\u2026")), Qt::LeftButton);
        QCOMPARE(list.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            QVERIFY(std::abs(list.entries()[i].start - listed[i].start) < 1e-3 && std::abs(list.entries()[i].end - listed[i].end) < 1e-3);
            QCOMPARE(list.entries()[i].proposed, listed[i].proposed);
        }

        const auto seen = AnswerMessagesInTurn({QMessageBox::Yes, QMessageBox::Ok});
        ui->Click(ControlId::kCut);
        QVERIFY(ui->Idle());
        QTRY_VERIFY(seen[1]->seen);
        QVERIFY(list.empty());
        const CliRun cli = RunCli({QStringLiteral("cut"), other.recordDb(), QStringLiteral("2"), QStringLiteral("--edl"), edl,
                                   QStringLiteral("--yes")});
        QVERIFY2(cli.exitCode == 0, qPrintable(cli.output));
        QCOMPARE(ReadAll(ui->disk.recordDb()), ReadAll(other.recordDb()));
        for (const QString& name : QDir(other.path("RECORD")).entryList({QStringLiteral("RF0002*")}, QDir::Files))
            QCOMPARE(Digest(ui->disk.path("RECORD/" + name)), Digest(other.path("RECORD/" + name)));
    }

    // A database another program changed after the pane loaded it is not cut: the user is told,
    // and the pane is loaded again, showing what the other program wrote.
    void cutOfADatabaseChangedElsewhereReloadsThePane()
    {
        QVERIFY(OwnCopy(ui->disk, QStringLiteral("RECORD/RF0001AA.TRP")));
        const QByteArray part = ReadAll(ui->disk.path("RECORD/RF0001AA.TRP"));
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, 0);
        clickMark(3.0f);
        clickMark(6.0f);
        const CliRun cli = RunCli({QStringLiteral("rename"), ui->disk.recordDb(), QStringLiteral("1"),
                                   QStringLiteral("Nature Two")});
        QVERIFY2(cli.exitCode == 0, qPrintable(cli.output));

        const auto seen = AnswerNextMessage(QMessageBox::No);
        ui->Click(ControlId::kCut);
        QTRY_VERIFY(seen->seen);
        QVERIFY2(seen->text.contains(QStringLiteral("was changed by another program")), qPrintable(seen->text));
        QVERIFY(ui->Idle());
        QTRY_COMPARE(ui->Column(0, 1).value(0), QStringLiteral("Nature Two"));
        QVERIFY(ui->Idle());
        QCOMPARE(ReadAll(ui->disk.path("RECORD/RF0001AA.TRP")), part);
    }

    // The Delete key keeps what it deletes for undo: the panes' menu offers to take the deletion
    // back, the line beside R tells what undo holds, and Ctrl+Z lists the recording again with
    // its part files back where they were.
    void deletionIsTakenBackWithCtrlZ()
    {
        const QStringList names{"Nature One", "Sports HD", "News 24"};
        const QStringList sportsParts{"RECORD/RF0002AA.TRP", "RECORD/RF0002AB.TRP"};
        QStringList digests;
        for (const QString& part : sportsParts)
            digests << Digest(ui->disk.path(part));
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QTableWidget* pane = ui->view->Pane(0);
        CUndoCommands& undo = ui->view->UndoCommands();
        QVERIFY(undo.HeldLabel()->isHidden());

        ui->ClickRow(0, kSportsRow);
        ui->PressDelete(0);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), (QStringList{"Nature One", "News 24"}));
        for (const QString& part : sportsParts)
            QVERIFY2(!ui->disk.exists(part), qPrintable(part));
        QTRY_VERIFY(!undo.HeldLabel()->isHidden());
        QVERIFY2(QRegularExpression(QStringLiteral("^Undo holds [0-9.]+ [KMG]iB$")).match(undo.HeldLabel()->text()).hasMatch(),
                 qPrintable(undo.HeldLabel()->text()));
        QVERIFY(!undo.EmptyButton()->isHidden());

        const QPoint at = ui->RowRect(0, 0).center();
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, pane->viewport()->mapToGlobal(at));
        QApplication::sendEvent(pane->viewport(), &rightClick);
        auto* menu = ui->view->findChild<QMenu*>(QStringLiteral("paneMenu"));
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QStringList entries;
        for (const QAction* action : menu->actions())
            entries << action->text().section(QLatin1Char('\t'), 0, 0) + (action->isEnabled() ? "" : " (off)");
        QCOMPARE(entries, (QStringList{"Undo delete of 'Sports HD'", "Redo (off)"}));
        menu->close();

        ui->frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(ui->frame.get()));
        pane->setFocus();
        QTest::keySequence(pane, QKeySequence(QStringLiteral("Ctrl+Z")));
        QVERIFY(ui->Idle());
        QTRY_COMPARE(ui->Column(0, 1), names);
        QVERIFY(ui->Idle());
        for (qsizetype i = 0; i < sportsParts.size(); ++i)
            QCOMPARE(Digest(ui->disk.path(sportsParts[i])), digests[i]);
        QVERIFY(ReadAll(ui->disk.recordDb()).contains("Sports HD"));
    }

    // EN, Yes: the merge, then the settings dialog, shown modally with the merged file as its one
    // job; a real mencoder run turns it into an AVI and says "Encoding complete!".
    void convertMergesThenEncodesWithMencoder()
    {
        setDestination(out());
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, 0);
        const auto question = AnswerMessagesInTurn({QMessageBox::Yes, QMessageBox::Ok});
        AnswerNextFileDialog(ui->disk.root(), QStringLiteral("PC"));
        auto end = std::make_shared<SeenMessage>();
        const auto settings = onSettingsDialog([end](CSettingDlg* dialog) { runAndExit(dialog, end); });
        ui->Click(ControlId::kConvert);
        QVERIFY(settingsClosed());
        QCOMPARE(question[0]->text, QString::fromLatin1(CProcessCommands::kConvertQuestion).remove(QLatin1Char('\r')));
        QCOMPARE(question[0]->title, QStringLiteral("information"));
        QCOMPARE(question[0]->buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(question[1]->text, QStringLiteral("Merge complete!"));

        const QString merged = ui->disk.path("PC/[m]Nature One.trp");
        QVERIFY(settings->seen);
        QVERIFY(settings->modal);
        QCOMPARE(settings->source, merged);
        QCOMPARE(settings->jobs.size(), 1u);
        QCOMPARE(QString::fromStdString(settings->jobs[0].sourcePath), merged);
        QCOMPARE(end->text, QStringLiteral("Encoding complete!"));
        QVERIFY(end->onGuiThread);
        const QByteArray avi = ReadAll(out() + "/[P][m]Nature One.avi");
        QVERIFY(avi.size() > 10000);
        QCOMPARE(avi.left(4), QByteArray("RIFF"));
        QCOMPARE(avi.mid(8, 4), QByteArray("AVI "));
    }

    // With "MKV, no re-encoding" chosen, EN asks nothing about merging: the dialog's start queues
    // the selected recording's export, read from its part files, and the queue window shows it
    // until its MKV is in the destination folder.
    void convertToMkvQueuesAnExportWithoutMerging()
    {
        setDestination(out());
        vmx::CurrentEncodeSettings().nOutputFormat = int(vmx::OutputChoice::MkvCopy);
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, 0);
        QStringList messages;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&messages] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible()) {
                messages << box->text();
                box->reject();
            }
        });
        watch.start(10);
        QString format;
        const auto settings = onSettingsDialog([&format](CSettingDlg* dialog) {
            format = static_cast<QComboBox*>(dialog->Control(SettingTemplate::kOutputFormat))->currentText();
            QTest::mouseClick(DialogButton(*dialog, SettingTemplate::kStartEncoding), Qt::LeftButton);
        });
        ui->Click(ControlId::kConvert);
        QVERIFY(settingsClosed());
        QVERIFY(settings->seen);
        QCOMPARE(format, QStringLiteral("MKV, no re-encoding"));
        QCOMPARE(settings->source, ui->disk.path("RECORD/RF0001AA.TRP"));

        CExportQueueDlg& window = ui->view->ExportQueueWindow();
        QVERIFY(window.isVisible());
        const auto job = [&window] {
            const std::vector<vmx::ExportJob> jobs = window.ExportQueue().jobs();
            return jobs.size() == 1 ? jobs[0] : vmx::ExportJob{};
        };
        QTRY_VERIFY_WITH_TIMEOUT(job().finished(), kRunTimeoutMs);
        QCOMPARE(job().state, vmx::ExportJobState::Done);
        QCOMPARE(QString::fromStdString(job().order.title), QStringLiteral("Nature One"));
        const QString mkv = out() + "/Nature One.mkv";
        QCOMPARE(QString::fromStdString(job().outputPath), mkv);
        QCOMPARE(ReadAll(mkv).left(4), QByteArray("\x1A\x45\xDF\xA3"));  // an EBML (Matroska) file
        QCOMPARE(QDir(out()).entryList(QDir::Files | QDir::Hidden), QStringList{"Nature One.mkv"});
        QTRY_COMPARE(window.Table()->item(0, 2)->text(), QStringLiteral("Done"));
        QCOMPARE(window.Table()->item(0, 1)->text(), QStringLiteral("MKV, no re-encoding"));
        QVERIFY(messages.isEmpty());
        QVERIFY(!QFile::exists(ui->disk.path("PC/[m]Nature One.trp")));
    }

    // With a DZR database loaded last, EN's run dumps the recording's sound to an MP3 file.
    void convertDumpsTheAudioAfterADzrDatabase()
    {
        setDestination(out());
        QVERIFY(ui->disk.copyDbTo("RECORD/DZR000.DB"));
        QVERIFY(ui->Load(0, ui->disk.path("RECORD/DZR000.DB")));
        QCOMPARE(ui->view->Runner().Session().lastLoadedDbKind(), 1);
        ui->ClickRow(0, 2);
        AnswerMessagesInTurn({QMessageBox::Yes, QMessageBox::Ok});
        AnswerNextFileDialog(ui->disk.root(), QStringLiteral("PC"));
        auto end = std::make_shared<SeenMessage>();
        const auto settings = onSettingsDialog([end](CSettingDlg* dialog) { runAndExit(dialog, end); });
        ui->Click(ControlId::kConvert);
        QVERIFY(settingsClosed());
        QCOMPARE(settings->jobs.size(), 1u);
        QCOMPARE(end->text, QStringLiteral("Encoding complete!"));
        QVERIFY(ReadAll(out() + "/[P][m]News 24.mp3").size() > 10000);
        QVERIFY(!QFile::exists(out() + "/[P][m]News 24.avi"));
    }

    // EN, No: the dialog opens with nothing listed. EN, Yes with the chooser cancelled: it opens
    // with the file of the merge before. A merge that named no file hands nothing over.
    void convertHandsOverTheLatestMergedFile()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, 0);
        // No merge yet, and the chooser cancelled: nothing to hand over.
        AnswerMessagesInTurn({QMessageBox::Yes});
        OnNextModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
        auto settings = onSettingsDialog(exitDialog);
        ui->Click(ControlId::kConvert);
        QVERIFY(settingsClosed());
        QVERIFY(settings->seen);
        QVERIFY(settings->jobs.empty());
        QCOMPARE(settings->source, QString());

        const auto merged = AnswerNextMessage();
        merge(ui->disk.path("PC"));
        QVERIFY(ui->Idle());
        QTRY_VERIFY(merged->seen);

        AnswerMessagesInTurn({QMessageBox::No});
        settings = onSettingsDialog(exitDialog);
        ui->Click(ControlId::kConvert);
        QVERIFY(settingsClosed());
        QVERIFY(settings->seen);
        QVERIFY(settings->jobs.empty());

        ui->ClickRow(0, 2);
        AnswerMessagesInTurn({QMessageBox::Yes});
        OnNextModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
        settings = onSettingsDialog(exitDialog);
        ui->Click(ControlId::kConvert);
        QVERIFY(settingsClosed());
        QCOMPARE(settings->source, ui->disk.path("PC/[m]Nature One.trp"));
        QCOMPARE(settings->jobs.size(), 1u);
        QVERIFY(ui->Enabled(ControlId::kConvert));
        QVERIFY(ui->Enabled(ControlId::kMerge));
    }

    // A load into the left pane reloads encoding-custom.ini (the settings dialog's construction)
    // and ends no process named like the encoder; a load into the right pane reloads nothing.
    void loadingTheLeftPaneReloadsTheEncoderSettings()
    {
        QVERIFY(WriteAll(path(QStringLiteral("config/velmorix/encoding-custom.ini")), "[VIDEO]\nnVidW=640\n"));
        const QString bystanderProgram = path(QStringLiteral("mencoder"));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), bystanderProgram));
        QProcess bystander;
        bystander.start(bystanderProgram, {QStringLiteral("60")});
        QVERIFY(bystander.waitForStarted());

        vmx::CurrentEncodeSettings().nVidW = 100;
        QVERIFY(ui->Load(1, ui->disk.pcDb()));
        QCOMPARE(vmx::CurrentEncodeSettings().nVidW, 100);
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QCOMPARE(vmx::CurrentEncodeSettings().nVidW, 640);
        QVERIFY(ProcessAlive(bystander.processId()));
        QVERIFY(QDir(path(QStringLiteral("runtime"))).isEmpty());
        bystander.kill();
        bystander.waitForFinished();
    }
};

QTEST_MAIN(ProcessCommandsTest)
#include "tst_ProcessCommands.moc"
