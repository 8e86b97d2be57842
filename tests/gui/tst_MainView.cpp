// The main view driven on a demo disk with clicks and keys: loading both panes and the refusals,
// row clicks and details, renaming (also after a delete), the Delete key, the new-database offer,
// the command line, and the MP3 and JPEG modes.
#include "FileBytes.h"
#include "MainViewHarness.h"

#include "controls/CMarkBar.h"
#include "recdb/DbCheck.h"
#include "recording/RecordDetails.h"
#include "recording/RecordingSession.h"
#include "recording/RecordingTransfer.h"
#include "recording/ReceiverDisk.h"
#include "convert/RememberedDestination.h"
#include "viewmodel/WindowMessages.h"
#include "view/CKeyHelpDlg.h"
#include "view/CRecordCommands.h"
#include "viewmodel/CommandKeys.h"

#include "support/DbImage.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QSignalSpy>
#include <QToolTip>
#include <QScopeGuard>

namespace {

// A name field as the database stores it: the 15 bytes after the marker byte.
QByteArray NameField(const QByteArray& name)
{
    return name + QByteArray(15 - name.size(), '\0');
}

const QStringList kDemoNames{"Nature One", "Sports HD", "News 24"};

} // namespace

class MainViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainViewHarness> ui;

private slots:
    void init()
    {
        ui = std::make_unique<MainViewHarness>();
        QVERIFY(ui->disk.ok());
    }
    void cleanup() { ui.reset(); }

    void loadsBothPanes()
    {
        QVERIFY(!ui->Enabled(ControlId::kCut));
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QVERIFY(ui->Load(1, ui->disk.pcDb()));
        QCOMPARE(ui->Column(0, 1), kDemoNames);
        QCOMPARE(ui->Column(0, 0), (QStringList{"1", "2", "3"}));
        QCOMPARE(ui->Column(0, 2), (QStringList{"00:00:12", "00:01:20", "00:00:10"}));
        QCOMPARE(ui->Column(1, 1), kDemoNames);
        QCOMPARE(ui->LabelText(ControlId::kLeftCaption), QString::fromStdString(vmx::PaneCaption(ui->disk.recordDb().toStdString())));
        QCOMPARE(ui->LabelText(ControlId::kRightCaption), QString::fromStdString(vmx::PaneCaption(ui->disk.pcDb().toStdString())));
        QVERIFY(ui->Enabled(ControlId::kCut));
        QVERIFY(!ui->Enabled(ControlId::kTransferLeftToRight));
        QVERIFY(!ui->Enabled(ControlId::kTransferRightToLeft));
        // Loading the same file into the same pane again is accepted.
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QCOMPARE(ui->Column(0, 1), kDemoNames);
    }

    void refusesTheOtherPanesFileAndAnotherKind()
    {
        QVERIFY(ui->Load(1, ui->disk.recordDb()));
        const QString caption = ui->LabelText(ControlId::kRightCaption);
        // The right pane's own file, reached through another name, is the same file.
        QVERIFY(QFile::link(ui->disk.recordDb(), ui->disk.path("DZT000.DB")));
        struct Refusal {
            QString db;
            QString text;
        };
        QVERIFY(ui->disk.copyDbTo("OTHER/DZR000.DB"));
        for (const Refusal& refusal : {Refusal{ui->disk.recordDb(), "Your loaded file is same!!"},
                                       Refusal{ui->disk.path("DZT000.DB"), "Your loaded file is same!!"},
                                       Refusal{ui->disk.path("OTHER/DZR000.DB"), "Can't load deffertent DB file"}}) {
            const auto seen = AnswerNextMessage();
            QVERIFY(ui->Load(0, refusal.db));
            QTRY_VERIFY(seen->seen);
            QCOMPARE(seen->text, refusal.text);
            QCOMPARE(seen->title, QStringLiteral("Velmorix"));
            QVERIFY(seen->onGuiThread);
            // Nothing was loaded: the left pane stays empty and PR stays off.
            QCOMPARE(ui->view->Pane(0)->rowCount(), 0);
            QCOMPARE(ui->LabelText(ControlId::kLeftCaption), QString());
            QVERIFY(!ui->view->State().pane(0).loaded);
        }
        QCOMPARE(ui->LabelText(ControlId::kRightCaption), caption);
        // A name that begins with neither DZT nor DZR stands beside anything.
        QVERIFY(ui->disk.copyDbTo("RECORD/BACKUP.DB"));
        QVERIFY(ui->Load(0, ui->disk.path("RECORD/BACKUP.DB")));
        QCOMPARE(ui->Column(0, 1), kDemoNames);
    }

    // A FAT disk mounted on Linux may show the database's name in lower case: the load dialog
    // lists it beside the upper-case one, under the filter's own text.
    void loadDialogListsLowerCaseDatabases()
    {
        QVERIFY(QDir().mkpath(ui->disk.path("FAT")));
        QVERIFY(QFile::copy(ui->disk.recordDb(), ui->disk.path("FAT/dzt000.db")));
        QVERIFY(WriteAll(ui->disk.path("FAT/notes.txt"), "not a database"));
        QStringList listed;
        QStringList filters;
        OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
            filters = dialog->nameFilters();
            dialog->setDirectory(ui->disk.path("FAT"));
            auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
            const auto names = [view] {
                QStringList seen;
                const QModelIndex root = view->rootIndex();
                for (int row = 0; row < view->model()->rowCount(root); ++row)
                    seen << view->model()->index(row, 0, root).data().toString();
                return seen;
            };
            (void)QTest::qWaitFor([&] { return !names().isEmpty(); }, 5000);
            listed = names();
            dialog->reject();
        });
        ui->Click(ControlId::kLoadLeft);
        QVERIFY(ui->Idle());
        QCOMPARE(filters, QStringList{"PVR DB file(*.DB)"});
        QCOMPARE(listed, QStringList{"dzt000.db"});
        QVERIFY(ui->Load(0, ui->disk.path("FAT/dzt000.db")));
        QCOMPARE(ui->Column(0, 1), kDemoNames);
    }

    void cancelledLoadStillEnablesTheCut()
    {
        OnNextModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
        ui->Click(ControlId::kLoadLeft);
        QVERIFY(ui->Idle());
        QVERIFY(ui->Enabled(ControlId::kCut));
        QCOMPARE(ui->view->Pane(0)->rowCount(), 0);
    }

    void unreadableDatabaseLeavesThePaneAsItWas()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        const QString caption = ui->LabelText(ControlId::kLeftCaption);
        QVERIFY(WriteAll(ui->disk.path("PC/DZT000.DB"), QByteArray("this is no recordings database", 30)));
        const auto seen = AnswerNextMessage();
        QVERIFY(ui->Load(0, ui->disk.pcDb()));
        QTRY_VERIFY(seen->seen);
        QVERIFY2(seen->text.startsWith(QStringLiteral("Cannot read the database ") + ui->disk.pcDb()),
                 qPrintable(seen->text));
        QCOMPARE(ui->Column(0, 1), kDemoNames);
        QCOMPARE(ui->LabelText(ControlId::kLeftCaption), caption);
        QCOMPARE(ui->view->State().pane(0).dbPath, ui->disk.recordDb().toStdString());
    }

    // A database whose header counts more recordings than a database can list, whose records
    // share a list id, or whose record does not match its checksum lists the recordings it holds
    // (the damaged one marked); the load says what is wrong in one message in the words of
    // velmorix-cli check, and a click on a row shows that row's recording.
    void damagedListShowsTheRecordingsThereAndSaysWhy()
    {
        vmxtest::TestDb huge;
        huge.count = 65535;
        huge.records[0] = vmxtest::makeRecord(1, "One", 1, 1);
        huge.records[1] = vmxtest::makeRecord(2, "Two", 2, 1);
        vmxtest::TestDb shared;
        shared.count = 3;
        shared.records[0] = vmxtest::makeRecord(1, "One", 1, 1);
        shared.records[1] = vmxtest::makeRecord(1, "Dup", 2, 1);
        shared.records[2] = vmxtest::makeRecord(3, "Three", 3, 1);
        vmxtest::TestDb garbled;
        garbled.count = 2;
        garbled.records[0] = vmxtest::makeRecord(1, "One", 1, 1);
        garbled.records[1] = vmxtest::makeRecord(2, "Two", 2, 1);
        const struct {
            QString db;
            vmxtest::TestDb content;
            QByteArray garble;  // these bytes of the file get their last byte changed
            QStringList ids;
            QStringList names;
            QStringList problems;  // "%1" stands for the database's path; none: check's checksum lines
        } cases[] = {
            {"HUGE/DZT000.DB", huge, {}, {"1", "2"}, {"One", "Two"}, {"%1: record count 65535 is above 200."}},
            {"SHARED/DZT000.DB", shared, {}, {"1", "3"}, {"Dup", "Three"},
             {"Record index 1: list id 1 is used by another record too.",
              "%1: list id 2 is counted in the header but no record carries it."}},
            {"GARBLED/DZT000.DB", garbled, "Two", {"1", "2"}, {"One", "(damaged) Twx"}, {}},
        };
        for (const auto& c : cases) {
            const std::vector<std::uint8_t> bytes = vmxtest::encodeDb(c.content);
            QByteArray file(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
            if (!c.garble.isEmpty())
                file[file.indexOf(c.garble) + c.garble.size() - 1] = 'x';
            QVERIFY(QDir().mkpath(QFileInfo(ui->disk.path(c.db)).path()));
            QVERIFY(WriteAll(ui->disk.path(c.db), file));
            QStringList problems = c.problems;
            for (const std::string& line : vmx::CheckDbFile(ui->disk.path(c.db).toStdString())) {
                if (c.problems.isEmpty() && line.find("checksum") != std::string::npos)
                    problems << QString::fromStdString(line);
            }
            QVERIFY(!problems.isEmpty());
            const auto seen = AnswerNextMessage();
            QVERIFY(ui->Load(0, ui->disk.path(c.db)));
            QTRY_VERIFY(seen->seen);
            const QString loaded = QString::fromStdString(ui->view->State().pane(0).dbPath);
            QString expected = problems.join(QLatin1Char('\n'));
            if (expected.contains(QStringLiteral("%1")))
                expected = expected.arg(loaded);
            QCOMPARE(seen->text, QString::fromStdString(vmx::WindowMessage(expected.toStdString())));
            QCOMPARE(ui->Column(0, 0), c.ids);
            QCOMPARE(ui->Column(0, 1), c.names);
            ui->ClickRow(0, 1);
            QCOMPARE(ui->LabelText(ControlId::kDetailsLine1),
                     QStringLiteral("Channel Name : ") + QString(c.names.last()).remove(QStringLiteral("(damaged) ")));
        }
    }

    void rowClicksShowDetailsAndSwitchTheTransfers()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QVERIFY(ui->Load(1, ui->disk.pcDb()));
        ui->ClickRow(0, 1);
        const vmx::RecordDetails* details = ui->view->State().pane(0).detailsAt(1);
        QVERIFY(details);
        QCOMPARE(ui->LabelText(ControlId::kDetailsLine1), QStringLiteral("Channel Name : Sports HD"));
        QCOMPARE(ui->LabelText(ControlId::kDetailsLine2),
                 QStringLiteral("TIME: ") + QString::fromStdString(vmx::StartTimeText(details->startTime)));
        QCOMPARE(ui->LabelText(ControlId::kDetailsLine3), QString::fromStdString(vmx::StreamLine(details->streams)));
        QCOMPARE(ui->view->NameEdit()->text(), QStringLiteral("Sports HD"));
        QCOMPARE(ui->view->MarkBar()->RangeMax(), 80.0f);
        QVERIFY(ui->view->MarkBar()->GetMarks().empty());
        QVERIFY(ui->Enabled(ControlId::kTransferLeftToRight));
        QVERIFY(!ui->Enabled(ControlId::kTransferRightToLeft));
        QCOMPARE(ui->view->State().activeSide, 0);

        ui->ClickRow(1, 0);
        QCOMPARE(ui->LabelText(ControlId::kDetailsLine1), QStringLiteral("Channel Name : Nature One"));
        QVERIFY(!ui->Enabled(ControlId::kTransferLeftToRight));
        QVERIFY(ui->Enabled(ControlId::kTransferRightToLeft));
        QCOMPARE(ui->view->State().activeSide, 1);

        // A click in the left pane that hits no row still switches AL on; the details stay.
        ui->ClickBlank(0);
        QCOMPARE(ui->view->State().selectedRow[0], -1);
        QCOMPARE(ui->view->State().activeSide, 0);
        QVERIFY(ui->Enabled(ControlId::kTransferLeftToRight));
        QVERIFY(!ui->Enabled(ControlId::kTransferRightToLeft));
        QCOMPARE(ui->LabelText(ControlId::kDetailsLine1), QStringLiteral("Channel Name : Nature One"));
    }

    void renameWritesTheDatabase()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, 1);
        QLineEdit* edit = ui->view->NameEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("Sports Extra"));
        ui->Click(ControlId::kRename);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), (QStringList{"Nature One", "Sports Extra", "News 24"}));
        const QByteArray db = ReadAll(ui->disk.recordDb());
        QVERIFY(db.contains(NameField("Sports Extra")));
        QVERIFY(!db.contains("Sports HD"));
        QVERIFY(ReadAll(ui->disk.path("RECORD/DZT000.BAK")).contains(NameField("Sports HD")));

        // RE without a selection renames the row renamed last; three letters, zero-padded.
        ui->ClickBlank(0);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("ABC"));
        ui->Click(ControlId::kRename);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), (QStringList{"Nature One", "ABC", "News 24"}));
        QVERIFY(ReadAll(ui->disk.recordDb()).contains(NameField("ABC")));
    }

    // RE with an empty name box says so and renames nothing; the box takes no more than the 15
    // bytes a name holds, counted in UTF-8 (two for each letter with an accent here).
    void renameRefusesAnEmptyNameAndTheBoxHoldsFifteenBytes()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, 1);
        const QByteArray db = ReadAll(ui->disk.recordDb());
        QLineEdit* edit = ui->view->NameEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        const auto seen = AnswerNextMessage();
        ui->Click(ControlId::kRename);
        QVERIFY(ui->Idle());
        QTRY_VERIFY(seen->seen);
        QVERIFY2(seen->text.startsWith(QStringLiteral("Type the recording's new name")), qPrintable(seen->text));
        QCOMPARE(ui->Column(0, 1), kDemoNames);
        QCOMPARE(ReadAll(ui->disk.recordDb()), db);

        for (const QChar letter : QStringLiteral("\u00dcn\u00efc\u00f6d\u00e9 N\u00e4m\u00e9 ABC"))
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_A, QString(letter), Qt::NoModifier);
        const QString fits = QStringLiteral("\u00dcn\u00efc\u00f6d\u00e9 N\u00e4");
        QCOMPARE(edit->text(), fits);
        ui->Click(ControlId::kRename);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), (QStringList{"Nature One", fits, "News 24"}));
        QVERIFY(ReadAll(ui->disk.recordDb()).contains(fits.toUtf8()));

        // A longer name, as a receiver may store it, can be shortened key by key; RE refuses it
        // while it is still too long rather than cutting it.
        edit->setText(QString(10, QChar(0x00c4)));
        edit->end(false);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString(9, QChar(0x00c4)));
        const auto tooLong = AnswerNextMessage();
        ui->Click(ControlId::kRename);
        QVERIFY(ui->Idle());
        QTRY_VERIFY(tooLong->seen);
        QVERIFY2(tooLong->text.contains(QStringLiteral("takes 18 bytes")), qPrintable(tooLong->text));
        QCOMPARE(ui->Column(0, 1), (QStringList{"Nature One", fits, "News 24"}));
    }

    void renameThatCannotBeWrittenChangesNothing()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, 0);
        // A folder takes the database's place under the program: the write cannot go there.
        QVERIFY(QFile::remove(ui->disk.recordDb()));
        QVERIFY(QDir().mkdir(ui->disk.recordDb()));
        ui->view->NameEdit()->setText(QStringLiteral("Nature Two"));
        const auto seen = AnswerNextMessage();
        ui->Click(ControlId::kRename);
        QVERIFY(ui->Idle());
        QTRY_VERIFY(seen->seen);
        // Said with the file's name; which check refuses first (the lock beside the database or
        // the write) does not matter, as long as nothing changed.
        QVERIFY2(seen->text.contains(QStringLiteral("DZT000.DB")), qPrintable(seen->text));
        QVERIFY(QFileInfo(ui->disk.recordDb()).isDir());
        QCOMPARE(ui->Column(0, 1), kDemoNames);
        QCOMPARE(ui->view->State().pane(0).rows.at(0).name, std::string("Nature One"));
    }

    // Another program changes the database after the pane loaded it: a Delete and a rename
    // write nothing over that change, say why, and the pane shows the database as it now is.
    void deleteAndRenameOfADatabaseChangedElsewhereReloadThePane()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        // The other program writes a sound database: the new name has the old one's letters, so
        // the record still matches its checksum.
        const auto changeElsewhere = [this](const QByteArray& from, const QByteArray& to) {
            QByteArray db = ReadAll(ui->disk.recordDb());
            const qsizetype at = db.indexOf(NameField(from));
            QVERIFY(at >= 0);
            db.replace(at, NameField(to).size(), NameField(to));
            const QString elsewhere = ui->disk.path("RECORD/elsewhere.tmp");
            QVERIFY(WriteAll(elsewhere, db));
            QVERIFY(QFile::remove(ui->disk.recordDb()) && QFile::rename(elsewhere, ui->disk.recordDb()));
        };

        changeElsewhere("News 24", "News 42");
        const QByteArray changed = ReadAll(ui->disk.recordDb());
        ui->ClickRow(0, 0);
        auto seen = AnswerNextMessage();
        ui->PressDelete(0);
        QTRY_VERIFY(seen->seen);
        QVERIFY2(seen->text.contains(QStringLiteral("was changed by another program")), qPrintable(seen->text));
        QVERIFY(ui->Idle());
        QTRY_COMPARE(ui->Column(0, 1), (QStringList{"Nature One", "Sports HD", "News 42"}));
        QVERIFY(ui->Idle());
        QCOMPARE(ReadAll(ui->disk.recordDb()), changed);
        QVERIFY(ui->disk.exists("RECORD/RF0001AA.TRP"));

        changeElsewhere("Sports HD", "Sports DH");
        const QByteArray changedAgain = ReadAll(ui->disk.recordDb());
        ui->ClickRow(0, 0);
        ui->view->NameEdit()->setText(QStringLiteral("Nature Two"));
        seen = AnswerNextMessage();
        ui->Click(ControlId::kRename);
        QTRY_VERIFY(seen->seen);
        QVERIFY2(seen->text.contains(QStringLiteral("was changed by another program")), qPrintable(seen->text));
        QVERIFY(ui->Idle());
        QTRY_COMPARE(ui->Column(0, 1), (QStringList{"Nature One", "Sports DH", "News 42"}));
        QVERIFY(ui->Idle());
        QCOMPARE(ReadAll(ui->disk.recordDb()), changedAgain);
    }

    void deleteKeyRemovesRecordingsWithTheirParts()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QVERIFY(ui->Load(1, ui->disk.pcDb()));
        ui->ClickRow(0, 0);
        ui->ClickRow(0, 2, Qt::ControlModifier);
        // The right pane is not the active side: its Delete key does nothing.
        ui->PressDelete(1);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(1, 1), kDemoNames);

        ui->PressDelete(0);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), QStringList{"Sports HD"});
        QCOMPARE(ui->Column(0, 0), QStringList{"1"});
        for (const char* gone : {"RECORD/RF0001AA.TRP", "RECORD/RF0003AA.TRP"})
            QVERIFY2(!ui->disk.exists(gone), gone);
        for (const char* kept : {"RECORD/RF0002AA.TRP", "RECORD/RF0002AB.TRP", "PC/RF0001AA.TRP", "PC/RF0003AA.TRP"})
            QVERIFY2(ui->disk.exists(kept), kept);
        const QByteArray db = ReadAll(ui->disk.recordDb());
        QVERIFY(db.contains("Sports HD"));
        QVERIFY(!db.contains("Nature One"));
        QVERIFY(!db.contains("News 24"));
        QCOMPARE(ui->Column(1, 1), kDemoNames);

        // The refilled pane has no selected row: a second press (or the key held down) takes
        // nothing the user did not pick.
        QVERIFY(ui->view->Pane(0)->selectionModel()->selectedRows().isEmpty());
        ui->PressDelete(0);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), QStringList{"Sports HD"});
        QVERIFY(ui->disk.exists("RECORD/RF0002AB.TRP"));
    }

    void offerOfANewDatabase()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QVERIFY(QDir().mkpath(ui->disk.path("NEW")));
        vmx::OfferResult heard;
        bool answered = false;
        const auto offer = [&] {
            answered = false;
            ui->view->RecordCommands().OfferNewDb(0, [&](const vmx::OfferResult& result) {
                heard = result;
                answered = true;
            });
            QTRY_VERIFY_WITH_TIMEOUT(answered, MainViewHarness::kOperationMs);
        };
        // Declined: nothing is made.
        auto seen = AnswerMessagesInTurn({QMessageBox::No});
        offer();
        QCOMPARE(heard.outcome, vmx::OfferResult::Outcome::Declined);
        QCOMPARE(seen[0]->text, QString::fromLatin1(vmx::kNoInformationQuestion));
        QCOMPARE(seen[0]->title, QStringLiteral("Information"));
        QCOMPARE(seen[0]->buttons, QMessageBox::Yes | QMessageBox::No);

        // The dialog offers the default name; cancelled, nothing is made.
        QString offeredName;
        seen = AnswerMessagesInTurn({QMessageBox::Yes});
        OnNextModal<QFileDialog>([&offeredName](QFileDialog* dialog) {
            offeredName = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            dialog->reject();
        });
        offer();
        QCOMPARE(heard.outcome, vmx::OfferResult::Outcome::Declined);
        QCOMPARE(offeredName, QStringLiteral("DZT000"));
        QVERIFY(!ui->disk.exists("NEW/DZT000.DB"));

        seen = AnswerMessagesInTurn({QMessageBox::Yes, QMessageBox::Ok});
        AnswerNextFileDialog(ui->disk.path("NEW"), QStringLiteral("DZT000.DB"));
        offer();
        QCOMPARE(heard.outcome, vmx::OfferResult::Outcome::Created);
        QCOMPARE(seen[1]->text, QString::fromLatin1(vmx::kDbCreatedMessage));
        QCOMPARE(ReadAll(ui->disk.path("NEW/DZT000.DB")), QByteArray("\x00\x05\x00\x06\x00\x00", 6));
        QVERIFY(ui->view->State().newDb);
        QCOMPARE(ui->view->State().newDbFileName, std::string("DZT000.DB"));
        QCOMPARE(ui->LabelText(ControlId::kRightCaption), ui->disk.path("NEW/DZT000.DB"));
        QVERIFY(ui->view->State().pane(1).loaded);
        QCOMPARE(ui->view->Pane(1)->rowCount(), 0);

        // A loaded target needs no offer, even when it holds no recordings.
        offer();
        QCOMPARE(heard.outcome, vmx::OfferResult::Outcome::NotNeeded);
    }

    void commandLineLoadsLeftThenRight()
    {
        ui->view->LoadDatabases({ui->disk.recordDb(), ui->disk.pcDb()});
        QTRY_COMPARE_WITH_TIMEOUT(ui->Column(1, 1), kDemoNames, MainViewHarness::kOperationMs);
        QCOMPARE(ui->Column(0, 1), kDemoNames);
        QVERIFY(ui->Enabled(ControlId::kCut));
    }

    void commandLineRefusesAsLAndRDo()
    {
        const auto seen = AnswerNextMessage();
        ui->view->LoadDatabases({ui->disk.recordDb(), ui->disk.recordDb()});
        QTRY_VERIFY_WITH_TIMEOUT(seen->seen, MainViewHarness::kOperationMs);
        QCOMPARE(seen->text, QStringLiteral("Your loaded file is same!!"));
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), kDemoNames);
        QCOMPARE(ui->view->Pane(1)->rowCount(), 0);
    }

    void mediaModesListTheReceiverFolders()
    {
        // Names in upper case, as FAT disks often show them, are the receiver's files too.
        for (const char* name : {"MP3/LOUD.MP3", "IMAGE/PHOTO.JPG", "IMAGE/SCAN.JPEG"})
            QVERIFY(WriteAll(ui->disk.path(name), QByteArray(2048, 'x')));
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        const QString caption = ui->LabelText(ControlId::kLeftCaption);
        QVERIFY(caption.endsWith(QStringLiteral("DZT000.DB")));
        QVERIFY(ui->ChooseMode(1));
        QCOMPARE(ui->Headers(0), (QStringList{"No", "File Name"}));
        QCOMPARE(ui->Headers(1), (QStringList{"No", "File Name", "Size(Kbyte)"}));
        QCOMPARE(ui->LabelText(ControlId::kLeftCaption), QStringLiteral("PC"));
        QCOMPARE(ui->LabelText(ControlId::kRightCaption), QStringLiteral("PVR USB MP3"));
        QCOMPARE(ui->LabelText(ControlId::kDetailsLine2), QStringLiteral("MP3 JPEG MODE"));
        QCOMPARE(ui->Column(1, 1), (QStringList{"LOUD.MP3", "Tone C5.mp3", "Tone G4.mp3"}));
        QCOMPARE(ui->Column(1, 2), (QStringList{"2", QString::number(QFileInfo(ui->disk.path("MP3/Tone C5.mp3")).size() / 1024),
                                                QString::number(QFileInfo(ui->disk.path("MP3/Tone G4.mp3")).size() / 1024)}));
        for (const int off : {ControlId::kLoadLeft, ControlId::kLoadRight, ControlId::kChooseJpegFiles,
                              ControlId::kConvert, ControlId::kMerge})
            QVERIFY(!ui->Enabled(off));
        QVERIFY(ui->Enabled(ControlId::kChooseMp3Files));

        QVERIFY(ui->ChooseMode(2));
        QCOMPARE(ui->LabelText(ControlId::kRightCaption), QStringLiteral("PVR USB IMAGE"));
        QCOMPARE(ui->Column(1, 1), (QStringList{"Mandelbrot.jpg", "PHOTO.JPG", "SCAN.JPEG", "Test card.jpg"}));
        QVERIFY(ui->Enabled(ControlId::kChooseJpegFiles));
        QVERIFY(!ui->Enabled(ControlId::kLoadLeft));

        // Back in RECORD MODE the captions name the loaded databases again.
        QVERIFY(ui->ChooseMode(0));
        QCOMPARE(ui->Column(0, 1), kDemoNames);
        QCOMPARE(ui->LabelText(ControlId::kLeftCaption), caption);
        QCOMPARE(ui->LabelText(ControlId::kRightCaption), QString());
        QCOMPARE(ui->Headers(1), (QStringList{"No", "CHANNEL NAME", "DURATION"}));
        QCOMPARE(ui->view->State().activeSide, 1);
        QVERIFY(ui->Enabled(ControlId::kLoadLeft));
    }

    // Without --receiver the media modes find the receiver on the disk of a loaded database; with
    // none loaded (and none mounted) they ask for its folder, and the choice is kept for later runs.
    void receiverIsTheLoadedDatabasesDiskOrTheChosenFolder()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const auto restore = qScopeGuard([] { qunsetenv("XDG_CONFIG_HOME"); });
        const QString mp3 = QFileInfo(ui->disk.path("MP3/Tone C5.mp3")).fileName();
        ui->view->Runner().Session().setReceiverRoot({});

        QString asked;
        OnNextModal<QFileDialog>([&asked](QFileDialog* dialog) {
            asked = dialog->windowTitle();
            dialog->reject();
        });
        auto seen = AnswerNextMessage();
        QVERIFY(ui->ChooseMode(1));
        QTRY_VERIFY(seen->seen);
        QCOMPARE(asked, QString::fromLatin1(vmx::kChooseReceiverTitle));
        QCOMPARE(seen->text, QString::fromLatin1(vmx::kNoReceiverMessage));
        QCOMPARE(ui->view->State().mode, vmx::ViewMode::Record);

        AnswerNextFileDialog(QFileInfo(ui->disk.root()).path(), QFileInfo(ui->disk.root()).fileName());
        QVERIFY(ui->ChooseMode(1));
        QCOMPARE(ui->view->State().mode, vmx::ViewMode::Mp3);
        QVERIFY(ui->Column(1, 1).contains(mp3));
        QVERIFY(ui->ChooseMode(0));

        // Kept: asked no more. A loaded database's disk comes before the folder kept.
        QCOMPARE(QString::fromStdString(vmx::RememberedReceiver()), ui->disk.root());
        QVERIFY(QDir(config.path()).mkpath(QStringLiteral("other/MP3")));
        QVERIFY(vmx::RememberReceiver(config.filePath(QStringLiteral("other")).toStdString()).empty());
        QVERIFY(ui->ChooseMode(1));
        QVERIFY(ui->Column(1, 1).isEmpty());
        QVERIFY(ui->ChooseMode(0));
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QVERIFY(ui->ChooseMode(1));
        QVERIFY(ui->Column(1, 1).contains(mp3));
    }

    void missingReceiverFolderIsMade()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QVERIFY(QDir(ui->disk.path("IMAGE")).removeRecursively());
        QVERIFY(ui->ChooseMode(2));
        QVERIFY(QFileInfo(ui->disk.path("IMAGE")).isDir());
        // The selector shows the mode the view is in: JPEG MODE, its new folder listed (empty).
        QCOMPARE(ui->view->ModeSelector()->currentIndex(), 2);
        QCOMPARE(ui->view->State().mode, vmx::ViewMode::Jpeg);
        QCOMPARE(ui->LabelText(ControlId::kRightCaption), QStringLiteral("PVR USB IMAGE"));
        QCOMPARE(ui->view->Pane(1)->rowCount(), 0);
        QVERIFY(ui->Enabled(ControlId::kChooseJpegFiles));
        QVERIFY(!ui->Enabled(ControlId::kLoadLeft));
        // RECORD MODE is one choice away.
        QVERIFY(ui->ChooseMode(0));
        QCOMPARE(ui->view->State().mode, vmx::ViewMode::Record);
        QCOMPARE(ui->Column(0, 1), kDemoNames);
        QVERIFY(ui->Enabled(ControlId::kLoadLeft) && ui->Enabled(ControlId::kLoadRight));

        // A folder that cannot be made is named to the user, and the view goes back to RECORD
        // MODE, as its selector shows.
        QVERIFY(QDir(ui->disk.path("MP3")).removeRecursively());
        QVERIFY(WriteAll(ui->disk.path("MP3"), "a file where the folder belongs"));
        const auto seen = AnswerNextMessage();
        QVERIFY(ui->ChooseMode(1));
        QTRY_VERIFY(seen->seen);
        QVERIFY2(seen->text.contains(QStringLiteral("MP3")), qPrintable(seen->text));
        QVERIFY(ui->Idle());
        QCOMPARE(ui->view->ModeSelector()->currentIndex(), 0);
        QCOMPARE(ui->view->State().mode, vmx::ViewMode::Record);
        QCOMPARE(ui->Headers(1), (QStringList{"No", "CHANNEL NAME", "DURATION"}));
        QCOMPARE(ui->Column(0, 1), kDemoNames);
        QVERIFY(ui->Enabled(ControlId::kLoadLeft) && ui->Enabled(ControlId::kLoadRight));
    }

    void leftPaneDeleteTakesPcFilesOffTheListOnly()
    {
        // A PC file that shares its name with a receiver file.
        QVERIFY(QDir().mkpath(ui->disk.path("Music")));
        QVERIFY(QFile::copy(ui->disk.path("MP3/Tone G4.mp3"), ui->disk.path("Music/Tone C5.mp3")));
        QVERIFY(QFile::copy(ui->disk.path("MP3/Tone G4.mp3"), ui->disk.path("Music/Other.mp3")));
        const QByteArray receiverBytes = ReadAll(ui->disk.path("MP3/Tone C5.mp3"));
        QVERIFY(ui->ChooseMode(1));
        AnswerNextFileDialog(ui->disk.path("Music"), QStringLiteral("\"Tone C5.mp3\" \"Other.mp3\""));
        ui->Click(ControlId::kChooseMp3Files);
        QCOMPARE(ui->Column(0, 1).size(), 2);
        QVERIFY(ui->Column(0, 1).contains(QStringLiteral("Tone C5.mp3")));

        const int row = ui->Column(0, 1).indexOf(QStringLiteral("Tone C5.mp3"));
        ui->ClickRow(0, row);
        ui->PressDelete(0);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), QStringList{"Other.mp3"});
        QCOMPARE(ui->view->State().pending.list(vmx::MediaKind::Mp3).size(), 1u);
        QCOMPARE(ReadAll(ui->disk.path("MP3/Tone C5.mp3")), receiverBytes);
        QVERIFY(ui->disk.exists("Music/Tone C5.mp3"));
        QCOMPARE(ui->Column(1, 1), (QStringList{"Tone C5.mp3", "Tone G4.mp3"}));
    }

    void rightPaneDeleteRemovesReceiverFiles()
    {
        QVERIFY(ui->ChooseMode(2));
        ui->ClickRow(1, 0);
        ui->PressDelete(1);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(1, 1), QStringList{"Test card.jpg"});
        QVERIFY(!ui->disk.exists("IMAGE/Mandelbrot.jpg"));
        QVERIFY(ui->disk.exists("IMAGE/Test card.jpg"));
    }

    void receiverFileThatCannotBeDeletedKeepsItsRow()
    {
        const QString stuck = ui->disk.path("MP3/Tone G4.mp3");
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), stuck}) != 0)
            QSKIP("this file system cannot make a file undeletable");
        const auto release = qScopeGuard([&] { QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), stuck}); });
        QVERIFY(ui->ChooseMode(1));
        ui->ClickRow(1, 0);
        ui->ClickRow(1, 1, Qt::ControlModifier);
        const auto seen = AnswerNextMessage();
        ui->PressDelete(1);
        QVERIFY(ui->Idle());
        QTRY_VERIFY(seen->seen);
        QVERIFY2(seen->text.contains(QStringLiteral("Tone G4.mp3")), qPrintable(seen->text));
        QCOMPARE(ui->Column(1, 1), QStringList{"Tone G4.mp3"});
        QVERIFY(!ui->disk.exists("MP3/Tone C5.mp3"));
    }

    void renameAfterADeleteTakesOnlyAChosenRow()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QLineEdit* edit = ui->view->NameEdit();
        const auto rename = [&](const QString& text) {
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, text);
            ui->Click(ControlId::kRename);
            QVERIFY(ui->Idle());
        };
        ui->ClickRow(0, 1);
        rename(QStringLiteral("Sports 2"));
        QCOMPARE(ui->Column(0, 1), (QStringList{"Nature One", "Sports 2", "News 24"}));

        // Row 0 goes: row 1, the row renamed last, now holds "News 24".
        ui->ClickRow(0, 0);
        ui->PressDelete(0);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), (QStringList{"Sports 2", "News 24"}));
        const QByteArray db = ReadAll(ui->disk.recordDb());

        // Nothing selected: no recording is renamed, the database stays as it is.
        ui->ClickBlank(0);
        rename(QStringLiteral("Wrong"));
        QCOMPARE(ui->Column(0, 1), (QStringList{"Sports 2", "News 24"}));
        QCOMPARE(ReadAll(ui->disk.recordDb()), db);

        // A chosen row is renamed, and then again without a selection.
        ui->ClickRow(0, 1);
        rename(QStringLiteral("News 25"));
        ui->ClickBlank(0);
        rename(QStringLiteral("News 26"));
        QCOMPARE(ui->Column(0, 1), (QStringList{"Sports 2", "News 26"}));
    }

    // Each pane has one current row, moved by the mouse and the keys alike: the details show it,
    // PL and the other commands take it, and it stays with its recording when the pane is painted
    // again after RE or a delete, or goes with it.
    void theCurrentRowIsTheRowActedOn()
    {
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        QTableWidget* pane = ui->view->Pane(0);
        // `name`: what the details show (empty: nothing; null: not looked at).
        const auto isCurrent = [&](int row, const QString& name) {
            QCOMPARE(pane->currentIndex().row(), row);
            QCOMPARE(ui->view->State().selectedRow[0], row);
            if (!name.isNull())
                QCOMPARE(ui->LabelText(ControlId::kDetailsLine1),
                         name.isEmpty() ? name : QStringLiteral("Channel Name : ") + name);
            QList<int> selected;
            for (const QModelIndex& index : pane->selectionModel()->selectedRows())
                selected << index.row();
            QCOMPARE(selected, row < 0 ? QList<int>{} : QList<int>{row});
        };
        ui->ClickRow(0, 0);
        QTest::keyClick(pane, Qt::Key_Down);
        isCurrent(1, QStringLiteral("Sports HD"));
        QTest::keyClick(pane, Qt::Key_Tab);
        QTest::keyClick(pane, Qt::Key_Tab);
        isCurrent(2, QStringLiteral("News 24"));
        QTest::keyClick(pane, Qt::Key_Up);
        isCurrent(1, QStringLiteral("Sports HD"));

        ui->view->NameEdit()->setText(QStringLiteral("Sports 2"));
        ui->Click(ControlId::kRename);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), (QStringList{"Nature One", "Sports 2", "News 24"}));
        isCurrent(1, QString());

        // Row 0 goes while "News 24" is current but not selected: it stays current a row higher.
        ui->ClickRow(0, 0);
        ui->ClickRow(0, 2, Qt::ControlModifier);
        ui->ClickRow(0, 2, Qt::ControlModifier);
        ui->PressDelete(0);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), (QStringList{"Sports 2", "News 24"}));
        isCurrent(1, QStringLiteral("News 24"));

        // The current recording goes: no row is current and the details show nothing.
        ui->PressDelete(0);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), QStringList{"Sports 2"});
        isCurrent(-1, QStringLiteral(""));
        QVERIFY(ui->view->NameEdit()->text().isEmpty());
    }

    // Tooltips and keys, as the command table gives them: hovering a button shows what it does
    // with its key; the key presses the button (Space plays while nothing plays); F1 lists every
    // key. While the name box has the focus the keys that type, type.
    void buttonsTellWhatTheyDoAndKeysPressThem()
    {
        ui->frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(ui->frame.get()));
        QHash<int, int> clicks;  // button id -> clicks seen
        for (const FormTemplate::Control& control : FormTemplate::Controls()) {
            const vmx::CommandKey* command = vmx::FindCommandKey(control.caption);
            if (control.kind != FormTemplate::Kind::Button || !command)
                continue;
            CBitmapButton* button = ui->view->Button(control.id);
            const QPoint centre = button->rect().center();
            QHelpEvent hover(QEvent::ToolTip, centre, button->mapToGlobal(centre));
            QApplication::sendEvent(button, &hover);
            QTRY_COMPARE(QToolTip::text(), QString::fromStdString(vmx::CommandToolTip(*command)));
            // The keys are checked on the buttons alone: their commands are the other tests' matter.
            QObject::disconnect(button, &QAbstractButton::clicked, nullptr, nullptr);
            button->setEnabled(true);
            QObject::connect(button, &QAbstractButton::clicked, button, [&clicks, id = control.id] { ++clicks[id]; });
        }
        QToolTip::hideText();
        QCOMPARE(clicks.size(), 0);
        const auto press = [&](QWidget* target, std::string_view key) {
            QTest::keySequence(target, QKeySequence::fromString(QString::fromStdString(std::string(key))));
        };
        QTableWidget* pane = ui->view->Pane(0);
        pane->setFocus();
        for (const FormTemplate::Control& control : FormTemplate::Controls()) {
            const vmx::CommandKey* command = vmx::FindCommandKey(control.caption);
            if (control.kind != FormTemplate::Kind::Button || !command || command->key.empty() ||
                control.id == ControlId::kPause)  // Space is PL's until something plays
                continue;
            press(pane, command->key);
            QVERIFY2(clicks.value(control.id) == 1, control.caption);
        }
        QCOMPARE(clicks.value(ControlId::kPause), 0);

        QLineEdit* edit = ui->view->NameEdit();
        edit->setFocus();
        edit->clear();
        const QHash<int, int> before = clicks;
        press(edit, "S");
        press(edit, "Space");
        QCOMPARE(edit->text(), QStringLiteral("s "));
        QCOMPARE(clicks, before);

        press(pane, vmx::kHelpKey);
        CKeyHelpDlg* help = ui->view->findChild<CKeyHelpDlg*>();
        QVERIFY(help);
        QTRY_VERIFY(help->isVisible());
        QStringList listed, keyed;
        for (int row = 0; row < help->Table()->rowCount(); ++row)
            listed << help->Table()->item(row, 0)->text() + " " + help->Table()->item(row, 2)->text();
        for (const vmx::CommandKey& command : vmx::CommandKeys()) {
            if (!command.key.empty())
                keyed << QString::fromStdString(std::string(command.key) + " " + std::string(command.does));
        }
        QCOMPARE(listed, keyed);
        help->close();
    }
};

QTEST_MAIN(MainViewTest)
#include "tst_MainView.moc"
