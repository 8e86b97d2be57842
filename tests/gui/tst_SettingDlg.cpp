// The encoder settings dialog driven as a user drives it: clicks, keys, its message boxes and
// file choosers answered, real mencoder and mplayer runs on a generated recording, and fake
// encoders where a run has to be slow, recorded or stopped.
#include "ModalAnswers.h"

#include "app/CVelmorixApp.h"
#include "controls/DialogUnits.h"
#include "convert/EncodeSettings.h"
#include "convert/FileHelpers.h"
#include "dialogs/CSettingDlg.h"
#include "dialogs/SettingTemplate.h"
#include "recording/Merge.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <memory>

using namespace SettingTemplate;

namespace {

constexpr int kRunTimeoutMs = 60000;

// Fake encoders: each leaves its arguments in <source>.args and its process id in <source>.pid;
// a source whose name holds "slow" writes part of its output, reports 50 % and waits.
const char* const kFakeEncoder =
    "#!/bin/sh\n"
    "src=$1; out=$3\n"
    "[ \"$1\" = -vo ] && { src=$4; out=$6; }\n"
    "printf '%s\\n' \"$@\" > \"$src.args\"\n"
    "echo $$ > \"$src.pid\"\n"
    "case \"$src\" in\n"
    "  *slow*) printf partial > \"$out\"; printf 'Pos: 1.0s 25f (50%%)\\r'; exec sleep 60;;\n"
    "  *) printf done > \"$out\";;\n"
    "esac\n";

QStringList g_warnings;
QtMessageHandler g_defaultHandler = nullptr;

void keepWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_warnings << message;
    g_defaultHandler(type, context, message);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool processAlive(qint64 pid)
{
    if (pid <= 0 || kill(pid_t(pid), 0) != 0)
        return false;
    const QList<QByteArray> stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid)).split(' ');
    return stat.size() > 2 && stat[2] != "Z";
}

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// The files a run left in a folder besides `expected`.
QStringList strayFiles(const QString& folder, const QStringList& expected)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : expected)
        names.removeAll(name);
    return names;
}

QPushButton* button(const CSettingDlg& dialog, int id)
{
    return static_cast<QPushButton*>(dialog.Control(id));
}

QLineEdit* edit(const CSettingDlg& dialog, int id)
{
    return static_cast<QLineEdit*>(dialog.Control(id));
}

QString preview(const CSettingDlg& dialog)
{
    return static_cast<QPlainTextEdit*>(dialog.Control(kPreview))->toPlainText();
}

int progress(const CSettingDlg& dialog)
{
    return static_cast<QProgressBar*>(dialog.Control(kProgress))->value();
}

// Replaces an edit's text by typing, as a user selects all and types.
void typeInto(QLineEdit* line, const QString& text)
{
    line->setFocus();
    QTest::keyClick(line, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(line, text);
}

}  // namespace

class SettingDlgTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::string m_savedProgramFolder;
    std::vector<std::unique_ptr<QProcess>> m_bystanders;
    QString m_sample;
    QTemporaryDir m_sampleDir;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString out() const { return path(QStringLiteral("out")); }

    void installFakeEncoders()
    {
        for (const char* name : {"mencoder", "mplayer"}) {
            const QString file = path(QStringLiteral("prog/") + QLatin1String(name));
            writeFile(file, kFakeEncoder);
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }
    void writeUserIni(const QString& name, const QByteArray& text)
    {
        writeFile(path(QStringLiteral("config/velmorix/") + name), text);
    }
    void setDestination(const QString& folder)
    {
        writeUserIni(QStringLiteral("setting.ini"), "[GENERAL]\nDESTPATH=" + QFile::encodeName(folder) + "\n");
    }
    // A file with `size` bytes in the test's folder.
    QString source(const QString& name, int size = 10)
    {
        writeFile(path(name), QByteArray(size, 'x'));
        return path(name);
    }
    // The generated recording, as a merge would have left it.
    QString recording(const QString& name)
    {
        QFile::copy(m_sample, path(name));
        return path(name);
    }
    // A process named "mencoder" that is no part of any run (as if started by hand).
    qint64 startBystander()
    {
        const QString copy = path(QStringLiteral("other/mencoder"));
        if (!QFile::exists(copy))
            QFile::copy(QStringLiteral("/bin/sleep"), copy);
        auto process = std::make_unique<QProcess>();
        process->start(copy, {QStringLiteral("60")});
        process->waitForStarted();
        const qint64 pid = process->processId();
        m_bystanders.push_back(std::move(process));
        return pid;
    }
    // The dialog as the main view opens it: constructed, a merged file handed over, the last
    // loaded DB kind set, the current settings copied in, shown.
    std::unique_ptr<CSettingDlg> openDialog(const QString& handOver, int dbKind = 0)
    {
        auto dialog = std::make_unique<CSettingDlg>();
        if (!handOver.isEmpty())
            dialog->HandOverMergedFile(handOver);
        dialog->SetLastLoadedDbKind(dbKind);
        dialog->CopySettingsIn(vmx::CurrentEncodeSettings());
        dialog->show();
        return dialog;
    }
    // Clicks "Start Encoding" and answers the message that ends the run; returns it.
    std::shared_ptr<SeenMessage> runToTheEnd(CSettingDlg& dialog)
    {
        auto message = AnswerNextMessage();
        QTest::mouseClick(button(dialog, kStartEncoding), Qt::LeftButton);
        [&] { QTRY_VERIFY_WITH_TIMEOUT(message->seen, kRunTimeoutMs); }();
        return message;
    }

private slots:
    void initTestCase()
    {
        std::setlocale(LC_NUMERIC, "C");
        g_defaultHandler = qInstallMessageHandler(keepWarnings);
        m_sample = m_sampleDir.filePath(QStringLiteral("sample.ts"));
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=720x576:rate=25", "-f",
                      "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", "4", "-c:v", "mpeg2video", "-b:v",
                      "3M", "-c:a", "mp2", "-f", "mpegts", m_sample});
        QVERIFY(ffmpeg.waitForFinished(kRunTimeoutMs));
        QCOMPARE(ffmpeg.exitCode(), 0);
    }

    // Every test gets a program folder with the shipped templates, and its own empty settings,
    // data and runtime folders, so no setting of the machine's user reaches it.
    void init()
    {
        g_warnings.clear();
        m_dir = std::make_unique<QTemporaryDir>();
        for (const char* folder : {"prog", "config/velmorix", "data", "runtime", "out", "other"})
            QVERIFY(QDir().mkpath(path(QLatin1String(folder))));
        QFile::setPermissions(path(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QFile::copy(QStringLiteral(VELMORIX_SOURCE_DIR "/res/tamsel.ini"), path(QStringLiteral("prog/tamsel.ini"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral("data"))));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path(QStringLiteral("runtime"))));
        m_savedProgramFolder = GetProgramFolder();
        vmx::SetProgramFolder(QFile::encodeName(path(QStringLiteral("prog"))).toStdString());
        vmx::CurrentEncodeSettings() = EncodeSettings();
    }

    void cleanup()
    {
        for (auto& process : m_bystanders) {
            process->kill();
            process->waitForFinished();
        }
        m_bystanders.clear();
        vmx::SetProgramFolder(m_savedProgramFolder);
        m_dir.reset();
        // Widgets were touched on the user-interface thread only.
        for (const QString& warning : g_warnings)
            QVERIFY2(!warning.contains(QStringLiteral("thread"), Qt::CaseInsensitive), qPrintable(warning));
    }

    void everyControlOfTheTemplateAtItsPlace()
    {
        CSettingDlg dialog;
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Encode setting"));
        const vmx::DialogBaseUnits units = vmx::BaseUnitsOf(vmx::DialogFont());
        QCOMPARE(dialog.size(), QSize(vmx::DluToPixelsX(472, units), vmx::DluToPixelsY(319, units)));
        QStringList labels;
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            labels << label->text();
        for (const Control& control : Controls()) {
            const QRect place = vmx::DluToPixels(control.dlu, units);
            const QString caption = QString::fromLatin1(control.caption);
            QWidget* widget = dialog.Control(control.id);
            switch (control.kind) {
            case Kind::Label: {
                const auto found = dialog.findChildren<QLabel*>();
                const auto it = std::find_if(found.begin(), found.end(),
                                             [&](QLabel* l) { return l->text() == caption && l->geometry() == place; });
                QVERIFY2(it != found.end(), control.caption);
                // Nothing of the text is cut off.
                QVERIFY2((*it)->sizeHint().width() <= place.width(), control.caption);
                QVERIFY2((*it)->sizeHint().height() <= place.height() + 2, control.caption);
                continue;
            }
            case Kind::Group: {
                auto* group = dialog.findChild<QGroupBox*>();
                QCOMPARE(group->title(), caption);
                QCOMPARE(group->geometry(), place);
                // The group frames the preview.
                QVERIFY(place.contains(dialog.Control(kPreview)->geometry()));
                continue;
            }
            case Kind::Button:
                QCOMPARE(button(dialog, control.id)->text(), caption);
                QVERIFY2(button(dialog, control.id)->sizeHint().width() <= place.width(), control.caption);
                break;
            case Kind::Preview:
                QVERIFY(qobject_cast<QPlainTextEdit*>(widget)->isReadOnly());
                break;
            case Kind::PathEdit:
            case Kind::Edit:
                QVERIFY(qobject_cast<QLineEdit*>(widget));
                break;
            case Kind::Progress:
                QCOMPARE(qobject_cast<QProgressBar*>(widget)->maximum(), 100);
                break;
            case Kind::Combo:
            case Kind::Spin:
                break;
            }
            QVERIFY2(widget, control.caption);
            QCOMPARE(widget->geometry(), place);
            QVERIFY(dialog.rect().contains(place));
        }
        for (const char* text : {"Source File", "Dest Folder", "Change Frame", "Change Size", "Width:", "X Height:",
                                 "Encoding type", "Crop Ratio:", "Audio volume", "AC3 Audio volume", "Audio algorithm",
                                 "Audio Mode", "Audio VBR", "Sample Rate"})
            QVERIFY2(labels.contains(QLatin1String(text)), text);
        QCOMPARE(labels.count(QStringLiteral("Bitrate")), 2);
    }

    // EN's road: the merged recording handed over, the output folder chosen, a real mencoder run
    // to an AVI, "Encoding complete!" shown on the user-interface thread.
    void encodesAHandedOverRecordingWithMencoder()
    {
        const QString merged = recording(QStringLiteral("[m]Nature One.trp"));
        auto dialog = openDialog(merged);
        QCOMPARE(edit(*dialog, kSourcePath)->text(), merged);
        QVERIFY2(preview(*dialog).startsWith(
                     "\"Source video file format(.trp) what you want to convert\" -o \"Result file(.avi)\""),
                 qPrintable(preview(*dialog)));
        QCOMPARE(edit(*dialog, kDestPath)->text(), QString());

        AnswerNextFileDialog(m_dir->path(), QStringLiteral("out"));
        QTest::mouseClick(button(*dialog, kDestBrowse), Qt::LeftButton);
        QCOMPARE(edit(*dialog, kDestPath)->text(), out());

        auto message = AnswerNextMessage();
        QTest::mouseClick(button(*dialog, kStartEncoding), Qt::LeftButton);
        QVERIFY(!button(*dialog, kStartEncoding)->isEnabled());
        QVERIFY(!button(*dialog, kInitialize)->isEnabled());
        QVERIFY2(preview(*dialog).startsWith("\"Video.trp\" -o \"RESULT.avi\""), qPrintable(preview(*dialog)));
        QTRY_VERIFY_WITH_TIMEOUT(message->seen, kRunTimeoutMs);
        QCOMPARE(message->text, QStringLiteral("Encoding complete!"));
        QCOMPARE(message->title, CVelmorixApp::Title());
        QVERIFY(message->onGuiThread);
        QCOMPARE(progress(*dialog), 100);
        QTRY_VERIFY(button(*dialog, kStartEncoding)->isEnabled());
        QVERIFY(button(*dialog, kInitialize)->isEnabled());

        const QByteArray avi = readFile(out() + "/[P][m]Nature One.avi");
        QVERIFY(avi.size() > 10000);
        QCOMPARE(avi.left(4), QByteArray("RIFF"));
        QCOMPARE(avi.mid(8, 4), QByteArray("AVI "));
        QCOMPARE(strayFiles(out(), {QStringLiteral("[P][m]Nature One.avi")}), QStringList());
    }

    // With a DB file other than a DZT one loaded last, the run dumps the audio with mplayer.
    void dumpsTheAudioWhenTheLastDbWasNotDzt()
    {
        setDestination(out());
        auto dialog = openDialog(recording(QStringLiteral("[m]News 24.trp")), 1);
        const auto message = runToTheEnd(*dialog);
        QCOMPARE(message->text, QStringLiteral("Encoding complete!"));
        const QByteArray mp3 = readFile(out() + "/[P][m]News 24.mp3");
        QVERIFY(mp3.size() > 10000);
        QCOMPARE(strayFiles(out(), {QStringLiteral("[P][m]News 24.mp3")}), QStringList());
    }

    void startRefusals_data()
    {
        QTest::addColumn<bool>("withSource");
        QTest::addColumn<QString>("destPath");
        QTest::addColumn<QString>("message");
        QTest::newRow("no source, no folder") << false << QString() << "Please check source path";
        QTest::newRow("no source") << false << "out" << "Please check source path";
        QTest::newRow("folder missing") << true << "gone" << "Invalid folder";
    }
    void startRefusals()
    {
        QFETCH(bool, withSource);
        QFETCH(QString, destPath);
        QFETCH(QString, message);
        installFakeEncoders();
        if (!destPath.isEmpty())
            setDestination(path(destPath));
        auto dialog = openDialog(withSource ? source(QStringLiteral("clip.trp")) : QString());
        const auto seen = AnswerNextMessage();
        QTest::mouseClick(button(*dialog, kStartEncoding), Qt::LeftButton);
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, message);
        QCOMPARE(seen->title, QStringLiteral("Velmorix"));
        QCOMPARE(seen->icon, QMessageBox::Critical);
        QVERIFY(button(*dialog, kStartEncoding)->isEnabled());
        QVERIFY(!dialog->Model().isRunning());
        QVERIFY(!QFile::exists(path(QStringLiteral("clip.trp.args"))));
    }

    // An existing output of the first job is asked about; No starts nothing, Yes replaces it.
    // The job list stays for the next start, which asks again.
    void overwriteQuestion()
    {
        installFakeEncoders();
        setDestination(out());
        const QString avi = out() + "/[P]clip.avi";
        writeFile(avi, "old");
        auto dialog = openDialog(source(QStringLiteral("clip.trp")));

        auto question = AnswerNextMessage(QMessageBox::No);
        QTest::mouseClick(button(*dialog, kStartEncoding), Qt::LeftButton);
        QVERIFY(question->seen);
        QCOMPARE(question->text, avi + " exists. Overwrite it?");
        QCOMPARE(question->title, QStringLiteral("Velmorix"));
        QCOMPARE(question->buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(button(*dialog, kStartEncoding)->isEnabled());
        QVERIFY(!QFile::exists(path(QStringLiteral("clip.trp.args"))));
        QCOMPARE(readFile(avi), QByteArray("old"));

        for (int round = 0; round < 2; ++round) {
            question = AnswerNextMessage(QMessageBox::Yes);
            const auto end = runToTheEnd(*dialog);
            QVERIFY(question->seen);
            QCOMPARE(end->text, QStringLiteral("Encoding complete!"));
            QCOMPARE(readFile(avi), QByteArray("done"));
            QVERIFY(QFile::remove(path(QStringLiteral("clip.trp.args"))));
        }
        QCOMPARE(dialog->Model().jobs().size(), 1u);
    }

    void initializeResetsTheEditsOnYes()
    {
        auto dialog = openDialog(QString());
        typeInto(edit(*dialog, kWidth), QStringLiteral("640"));
        typeInto(edit(*dialog, kAudioBitrate), QStringLiteral("128"));
        QVERIFY(preview(*dialog).contains(QStringLiteral("scale=640:240")));
        QVERIFY(preview(*dialog).contains(QStringLiteral("br=128")));

        auto question = AnswerNextMessage(QMessageBox::No);
        QTest::mouseClick(button(*dialog, kInitialize), Qt::LeftButton);
        QVERIFY(question->seen);
        QCOMPARE(question->text, QStringLiteral("Velmorix will reset encoding options."));
        QCOMPARE(question->title, QStringLiteral("Initialize"));
        QCOMPARE(question->icon, QMessageBox::Question);
        QCOMPARE(edit(*dialog, kWidth)->text(), QStringLiteral("640"));

        question = AnswerNextMessage(QMessageBox::Yes);
        QTest::mouseClick(button(*dialog, kInitialize), Qt::LeftButton);
        QVERIFY(question->seen);
        QCOMPARE(edit(*dialog, kWidth)->text(), QStringLiteral("320"));
        QCOMPARE(edit(*dialog, kAudioBitrate)->text(), QStringLiteral("64"));
        QCOMPARE(edit(*dialog, kFrameRate)->text(), QStringLiteral("15.000"));
        QVERIFY(preview(*dialog).contains(QStringLiteral("scale=320:240")));
    }

    void encodingTypeReachesTheRun_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("codec");
        QTest::newRow("9 is taken as 0") << "9" << "vcodec=mpeg4:vbitrate=150";
        QTest::newRow("6") << "6" << "vcodec=mjpeg:vbitrate=150";
    }
    void encodingTypeReachesTheRun()
    {
        QFETCH(QString, typed);
        QFETCH(QString, codec);
        installFakeEncoders();
        setDestination(out());
        auto dialog = openDialog(source(QStringLiteral("clip.trp")));
        typeInto(edit(*dialog, kEncoder), typed);
        QVERIFY2(preview(*dialog).contains(codec), qPrintable(preview(*dialog)));
        QCOMPARE(runToTheEnd(*dialog)->text, QStringLiteral("Encoding complete!"));
        const QList<QByteArray> args = readFile(path(QStringLiteral("clip.trp.args"))).split('\n');
        QVERIFY2(args.contains(codec.toLatin1()), readFile(path(QStringLiteral("clip.trp.args"))).constData());
        QCOMPARE(vmx::CurrentEncodeSettings().nVidEncoder, typed.toInt() >= 7 ? 0 : typed.toInt());
    }

    // The bar follows the run each second; closing the dialog in any way ends exactly that run's
    // encoder, removes its unfinished output, keeps the older output and says nothing.
    void closingDuringARunStopsItsEncoder_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("exit") << "exit";
        QTest::newRow("window closed") << "close";
        QTest::newRow("dialog destroyed") << "destroy";
    }
    void closingDuringARunStopsItsEncoder()
    {
        QFETCH(QString, how);
        installFakeEncoders();
        setDestination(out());
        writeFile(out() + "/[P]slow.avi", "old");
        const qint64 bystander = startBystander();
        auto dialog = openDialog(source(QStringLiteral("first.trp"), 100));
        source(QStringLiteral("slow.trp"), 300);
        AnswerNextFileDialog(m_dir->path(), QStringLiteral("slow.trp"));
        QTest::mouseClick(button(*dialog, kSourceBrowse), Qt::LeftButton);
        QCOMPARE(dialog->Model().jobs().size(), 2u);

        QTest::mouseClick(button(*dialog, kStartEncoding), Qt::LeftButton);
        // (50 % of 300 bytes + the first job's 100) x 100 / 400
        QTRY_COMPARE_WITH_TIMEOUT(progress(*dialog), 62, kRunTimeoutMs);
        const qint64 encoder = readFile(path(QStringLiteral("slow.trp.pid"))).trimmed().toLongLong();
        QVERIFY(processAlive(encoder));

        if (how == "exit")
            QTest::mouseClick(button(*dialog, kExit), Qt::LeftButton);
        else if (how == "close")
            dialog->close();
        else
            dialog.reset();
        QVERIFY(!processAlive(encoder));
        QVERIFY(processAlive(bystander));
        QCOMPARE(readFile(out() + "/[P]slow.avi"), QByteArray("old"));
        QCOMPARE(readFile(out() + "/[P]first.avi"), QByteArray("done"));
        QCOMPARE(strayFiles(out(), {QStringLiteral("[P]slow.avi"), QStringLiteral("[P]first.avi")}), QStringList());
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        if (dialog) {
            QVERIFY(!dialog->isVisible());
            QVERIFY(!dialog->Model().isRunning());
        }
    }

    // The main view shows the dialog modally; "exit" ends that.
    void doModalReturnsOnExit()
    {
        CSettingDlg dialog;
        OnNextModal<CSettingDlg>([](CSettingDlg* shown) {
            QTest::mouseClick(button(*shown, kExit), Qt::LeftButton);
        });
        QCOMPARE(dialog.DoModal(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
    }

    // Loading a DB into the left pane constructs the dialog and destroys it unshown: that reloads
    // encoding-custom.ini, starts no thread, waits for nothing and ends no process.
    void constructionAndDestructionWithoutARun()
    {
        writeUserIni(QStringLiteral("encoding-custom.ini"), "[VIDEO]\nnVidW=640\n");
        const qint64 bystander = startBystander();
        const int threads = threadCount();
        {
            CSettingDlg dialog;
            QCOMPARE(vmx::CurrentEncodeSettings().nVidW, 640);
            QCOMPARE(threadCount(), threads);
        }
        QCOMPARE(threadCount(), threads);
        QVERIFY(processAlive(bystander));
        QVERIFY(QDir(path(QStringLiteral("runtime"))).isEmpty());
    }

    // A run whose job script cannot be written ends at once and says why; Start can be used again.
    void aRunThatCannotWriteItsScriptSaysWhy()
    {
        installFakeEncoders();
        setDestination(out());
        QVERIFY(QDir().mkpath(path(QStringLiteral("elsewhere"))));
        QVERIFY(QFile::link(path(QStringLiteral("elsewhere")), path(QStringLiteral("runtime/velmorix"))));
        auto dialog = openDialog(source(QStringLiteral("clip.trp")));
        const auto message = runToTheEnd(*dialog);
        QVERIFY2(message->text.contains(QStringLiteral("is not safe for the job scripts")), qPrintable(message->text));
        QCOMPARE(message->icon, QMessageBox::Critical);
        QTRY_VERIFY(button(*dialog, kStartEncoding)->isEnabled());
        QVERIFY(button(*dialog, kInitialize)->isEnabled());
        QVERIFY(!dialog->Model().isRunning());
        QVERIFY(QDir(path(QStringLiteral("elsewhere"))).isEmpty());
        QCOMPARE(strayFiles(out(), {}), QStringList());
    }

    void sourceBrowseListsTheChosenFiles()
    {
        auto dialog = openDialog(QString());
        // The chooser speaks English, not in the keys of its texts.
        QStringList shown;
        OnNextModal<QFileDialog>([&shown](QFileDialog* chooser) {
            shown << chooser->windowTitle() << chooser->nameFilters();
            chooser->reject();
        });
        QTest::mouseClick(button(*dialog, kSourceBrowse), Qt::LeftButton);
        QCOMPARE(shown.size(), 3);
        for (const QString& text : shown)
            QVERIFY2(!text.isEmpty() && !text.contains(QStringLiteral("TXT_")), qPrintable(text));

        source(QStringLiteral("a.ts"));
        source(QStringLiteral("b.TRP"));
        source(QStringLiteral("notes.txt"));
        AnswerNextFileDialog(m_dir->path(), QStringLiteral("\"a.ts\" \"notes.txt\" \"b.TRP\""));
        QTest::mouseClick(button(*dialog, kSourceBrowse), Qt::LeftButton);
        const auto jobs = dialog->Model().jobs();
        QCOMPARE(jobs.size(), 2u);
        QCOMPARE(QString::fromStdString(jobs[0].sourcePath), path(QStringLiteral("a.ts")));
        QCOMPARE(QString::fromStdString(jobs[1].sourcePath), path(QStringLiteral("b.TRP")));
        QCOMPARE(edit(*dialog, kSourcePath)->text(), path(QStringLiteral("b.TRP")));

        // A folder whose name is not plain ASCII is refused with the system's own words.
        const QString foreign = path(QStringLiteral("Vid\u00e9os"));
        QVERIFY(QDir().mkpath(foreign));
        writeFile(foreign + "/c.ts", "x");
        AnswerNextFileDialog(foreign, QStringLiteral("c.ts"));
        const auto refusal = AnswerNextMessage();
        QTest::mouseClick(button(*dialog, kSourceBrowse), Qt::LeftButton);
        QVERIFY(refusal->seen);
        QCOMPARE(refusal->text, QString::fromLatin1(vmx::kEnglishFolderMessage));
        QCOMPARE(refusal->title, CVelmorixApp::Title());
        QCOMPARE(dialog->Model().jobs().size(), 2u);
        QCOMPARE(edit(*dialog, kSourcePath)->text(), path(QStringLiteral("b.TRP")));
    }

    void destinationBrowseRefusesAForeignFolderAndRemembersTheChosenOne()
    {
        setDestination(out());
        auto dialog = openDialog(QString());
        QCOMPARE(edit(*dialog, kDestPath)->text(), out());
        const QString foreign = path(QStringLiteral("Vid\u00e9os"));
        QVERIFY(QDir().mkpath(foreign));
        AnswerNextFileDialog(m_dir->path(), QStringLiteral("Vid\u00e9os"));
        const auto refusal = AnswerNextMessage();
        QTest::mouseClick(button(*dialog, kDestBrowse), Qt::LeftButton);
        QVERIFY(refusal->seen);
        QCOMPARE(refusal->text, QString::fromLatin1(vmx::kEnglishFolderMessage));
        QCOMPARE(edit(*dialog, kDestPath)->text(), out());
        QCOMPARE(dialog->Model().destPath(), QFile::encodeName(out()).toStdString());

        // A folder chosen is the one the dialog shows at its next opening, also after a restart
        // (which reads the settings again, as a new dialog does).
        AnswerNextFileDialog(m_dir->path(), QStringLiteral("other"));
        QTest::mouseClick(button(*dialog, kDestBrowse), Qt::LeftButton);
        QCOMPARE(edit(*dialog, kDestPath)->text(), path(QStringLiteral("other")));
        dialog.reset();
        dialog = openDialog(QString());
        QCOMPARE(edit(*dialog, kDestPath)->text(), path(QStringLiteral("other")));
    }
};

QTEST_MAIN(SettingDlgTest)
#include "tst_SettingDlg.moc"
