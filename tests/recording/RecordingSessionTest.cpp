// The recording session as the front ends drive it: two panes loaded from different folders,
// transfers both ways, a cut and a delete on one side that leave the other side's files alone,
// the load rules with their texts, renaming, one operation at a time, and work on another thread.
#include "recording/RecordingSession.h"

#include "FakeUi.h"
#include "RecordingFixture.h"
#include "recdb/DbWriter.h"
#include "recdb/RecordStore.h"
#include "recdb/Trace.h"
#include "recording/RecordingFiles.h"

#include <atomic>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <thread>

using namespace vmx;
using namespace vmxtest;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kFull = kFullPartSize;

// Every file of a folder with its bytes.
std::map<std::string, std::vector<std::uint8_t>> folderBytes(const TempDir& dir)
{
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        files[entry.path().filename().string()] = readBytes(entry.path());
    return files;
}

std::vector<std::string> rowNames(const RecordingSession& session, int side)
{
    std::vector<std::string> names;
    for (const RecordRow& row : session.rows(side))
        names.push_back(row.name);
    return names;
}

class RecordingSessionTest : public SessionTest {
protected:
    TempDir leftDir;
    TempDir rightDir;
    const LoadedPane& left = makeDb(session, kLeftSide, leftDir.str());
    const LoadedPane& right = makeDb(session, kRightSide, rightDir.str());
};

}  // namespace

TEST_F(RecordingSessionTest, CopiesFromLeftToRightAndBack)
{
    addRecording(session, left, "FILM", 90, {200000, 200000, 1000});
    addRecording(session, left, "NEWS", 30, {5000});
    addRecording(session, right, "SPORT", 60, {7000});
    ASSERT_EQ(rowNames(session, kLeftSide), (std::vector<std::string>{"FILM", "NEWS"}));
    ASSERT_EQ(rowNames(session, kRightSide), (std::vector<std::string>{"SPORT"}));

    const TransferResult there = session.transferRecordings(kLeftSide, {1, 0}, ui);
    ASSERT_TRUE(there.done()) << ui.lastMessage();
    EXPECT_TRUE(there.refresh.panes[kRightSide]);
    EXPECT_FALSE(there.refresh.panes[kLeftSide]);
    ASSERT_EQ(there.copies.size(), 2u);
    EXPECT_EQ(there.copies[0].sourceRow, 0);
    EXPECT_EQ(there.copies[0].partPaths.front(), rightDir.str() + "/RF0002AA.TRP");
    EXPECT_EQ(rowNames(session, kRightSide), (std::vector<std::string>{"SPORT", "FILM", "NEWS"}));
    EXPECT_EQ(readBytes(rightDir / "RF0002AB.TRP"), readBytes(leftDir / "RF0001AB.TRP"));
    EXPECT_EQ(readBytes(rightDir / "RF0003AA.TRP"), readBytes(leftDir / "RF0002AA.TRP"));
    EXPECT_EQ(session.pane(kRightSide).timingAt(1).totalSize, 2 * kFull + 1000);

    const TransferResult back = session.transferRecordings(kRightSide, {0}, ui);
    ASSERT_TRUE(back.done()) << ui.lastMessage();
    EXPECT_TRUE(back.refresh.panes[kLeftSide]);
    EXPECT_EQ(rowNames(session, kLeftSide), (std::vector<std::string>{"FILM", "NEWS", "SPORT"}));
    EXPECT_EQ(readBytes(leftDir / "RF0003AA.TRP"), readBytes(rightDir / "RF0001AA.TRP"));

    // What each pane shows is what its own database file holds.
    reload(session, kLeftSide);
    reload(session, kRightSide);
    EXPECT_EQ(rowNames(session, kLeftSide), (std::vector<std::string>{"FILM", "NEWS", "SPORT"}));
    EXPECT_EQ(rowNames(session, kRightSide), (std::vector<std::string>{"SPORT", "FILM", "NEWS"}));
    const auto film = session.details(kRightSide, 1);
    ASSERT_TRUE(film);
    EXPECT_EQ(film->folder, rightDir.str() + "/");
    EXPECT_EQ(film->partNames, (std::vector<std::string>{"RF0002AA.TRP", "RF0002AB.TRP", "RF0002AC.TRP"}));
    EXPECT_EQ(film->duration, 90u);
}

TEST_F(RecordingSessionTest, CutAndDeleteOnTheRightLeaveTheLeftUntouched)
{
    addRecording(session, left, "FILM", 150, {1000, 1000});
    addRecording(session, left, "NEWS", 60, {1000100});
    addRecording(session, right, "FILM", 150, {kFull, kFull, kFull / 2});
    addRecording(session, right, "NEWS", 60, {1000100});
    addRecording(session, right, "SPORT", 60, {5000});
    const auto leftFiles = folderBytes(leftDir);
    const auto leftRows = rowNames(session, kLeftSide);

    // Both sides name their parts RF0001AA.TRP ...: the cut must rename and delete on the right
    // only, the one in the right pane's folder.
    const CutResult cut = session.cut(kRightSide, 0, 2, 0, 70, ui);
    ASSERT_EQ(cut.outcome, CutOutcome::Done) << ui.lastMessage();
    EXPECT_EQ(cut.kind, CutPlan::Kind::MultiPart);
    EXPECT_TRUE(cut.refresh.panes[kRightSide]);
    EXPECT_EQ(cut.refresh.timingRows[kRightSide], std::vector<int>{0});
    EXPECT_EQ(cut.removed, std::vector<std::string>{rightDir.str() + "/RF0001AA.TRP"});
    EXPECT_FALSE(fs::exists(rightDir / "RF0001AC.TRP"));
    const CutResult single = session.cut(kRightSide, 1, 2, 10, 20, ui);
    ASSERT_EQ(single.outcome, CutOutcome::Done) << ui.lastMessage();
    EXPECT_EQ(single.rewritten, std::vector<std::string>{rightDir.str() + "/RF0002AA.TRP"});

    const DeleteResult deleted = session.deleteRows(kRightSide, {2}, ui);
    ASSERT_TRUE(deleted.ok) << deleted.message;
    EXPECT_EQ(deleted.removedFiles, std::vector<std::string>{rightDir.str() + "/RF0003AA.TRP"});
    EXPECT_EQ(rowNames(session, kRightSide), (std::vector<std::string>{"FILM", "NEWS"}));

    EXPECT_EQ(folderBytes(leftDir), leftFiles) << "the left database, its backup and its parts";
    EXPECT_EQ(rowNames(session, kLeftSide), leftRows);
    EXPECT_EQ(session.pane(kLeftSide).timingAt(0).totalSize, kFull + 1000);
    reload(session, kLeftSide);
    EXPECT_EQ(rowNames(session, kLeftSide), leftRows);
}

TEST_F(RecordingSessionTest, LoadRulesRefuseWithTheirTextsAndChangeNothing)
{
    // Same file: under another spelling, or through a hard link, it is still the right pane's.
    addRecording(session, right, "SPORT", 60, {5000});
    fs::create_hard_link(right.dbPath, leftDir / "LINK.DB");
    for (const std::string& path : {right.dbPath, rightDir.str() + "/./DZT000.DB", (leftDir / "LINK.DB").string()}) {
        SCOPED_TRACE(path);
        FakeUi caseUi;
        const LoadResult result = session.loadPane(kLeftSide, path, caseUi);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.refused);
        EXPECT_EQ(caseUi.messages, std::vector<std::string>{"Your loaded file is same!!"});
        EXPECT_EQ(left.dbPath, leftDir.str() + "/DZT000.DB");
    }
    // The same file into its own pane again is a reload.
    EXPECT_TRUE(session.loadPane(kRightSide, right.dbPath, ui).ok);

    // Kind rule: left DZT needs right DZT, left DZR needs right DZR; other names pass.
    const struct {
        const char* what;
        int loaded;          // the side already holding a database
        const char* other;   // its file name
        const char* chosen;  // the file loaded into the other side
        bool refused;
    } cases[] = {
        {"DZR beside a right DZT", kRightSide, "DZT000.DB", "DZR000.DB", true},
        {"BACKUP.DB beside a right DZT", kRightSide, "DZT000.DB", "BACKUP.DB", false},
        {"right DZR beside a left BACKUP.DB", kLeftSide, "BACKUP.DB", "DZR000.DB", false},
        {"right DZR beside a left DZT", kLeftSide, "DZT000.DB", "DZR000.DB", true},
        {"right BACKUP.DB beside a left DZR", kLeftSide, "DZR000.DB", "BACKUP.DB", true},
        {"lower-case dzt is another kind", kLeftSide, "DZT000.DB", "dzt000.db", true},
        {"right DZT beside a left DZT", kLeftSide, "DZT000.DB", "DZT001.DB", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        session.release();
        ASSERT_EQ(session.init(), "");
        TempDir a;
        TempDir b;
        const LoadedPane& held = makeDb(session, c.loaded, a.str(), c.other);
        const int side = 1 - c.loaded;
        ASSERT_EQ(vmx::CreateEmptyDb((b / c.chosen).string()), "");
        FakeUi caseUi;
        EXPECT_EQ(session.refusalToLoad(side, (b / c.chosen).string()), c.refused ? kOtherKindMessage : "");
        const LoadResult result = session.loadPane(side, (b / c.chosen).string(), caseUi);
        EXPECT_EQ(result.ok, !c.refused);
        EXPECT_EQ(result.refused, c.refused);
        EXPECT_EQ(caseUi.messages, c.refused ? std::vector<std::string>{"Can't load deffertent DB file"}
                                             : std::vector<std::string>{});
        EXPECT_EQ(session.pane(side).loaded(), !c.refused);
        EXPECT_EQ(held.fileName, c.other);
        EXPECT_EQ(session.lastLoadedDbKind(), c.refused ? DbKindOf(c.other) : DbKindOf(c.chosen));
    }
}

TEST_F(RecordingSessionTest, AFailedLoadKeepsThePaneAndItsRecords)
{
    addRecording(session, left, "FILM", 90, {5000});
    const auto before = rowNames(session, kLeftSide);
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;  // empty: the file is missing
        const char* message;
    } cases[] = {
        {"missing", {}, "No such file or directory"},
        {"version 6", {0, 6, 0, 6, 0, 0}, "unknown version(6)"},
        {"header size 0", {0, 5, 0, 0, 0, 0}, "header size(0)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir other;
        if (!c.bytes.empty())
            writeBytes(other / "DZT000.DB", c.bytes);
        FakeUi caseUi;
        const LoadResult result = session.loadPane(kLeftSide, (other / "DZT000.DB").string(), caseUi);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.refused);
        ASSERT_EQ(caseUi.messages.size(), 1u);
        EXPECT_NE(caseUi.messages[0].find(c.message), std::string::npos) << caseUi.messages[0];
        EXPECT_EQ(left.dbPath, leftDir.str() + "/DZT000.DB");
        EXPECT_EQ(rowNames(session, kLeftSide), before);
        // A later write still goes into the pane's own file.
        ASSERT_TRUE(session.renameRow(kLeftSide, 0, "KEPT", caseUi).ok);
        EXPECT_FALSE(fs::exists(other / "DZT000.BAK"));
        ASSERT_TRUE(session.renameRow(kLeftSide, 0, "FILM", caseUi).ok);
    }
}

TEST_F(RecordingSessionTest, RenameTakesFifteenBytesAndKeepsTheMarker)
{
    addRecording(session, left, "FILM", 90, {5000});
    const struct {
        const char* text;
        const char* field;  // bytes 1..15 as stored
    } cases[] = {
        {"ABC", "ABC\0\0\0\0\0\0\0\0\0\0\0\0"},
        {"Fifteen chars!!", "Fifteen chars!!"},
        {"Longer than fifteen bytes", "Longer than fif"},
        {"", "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const RenameResult result = session.renameRow(kLeftSide, 0, c.text, ui);
        ASSERT_TRUE(result.ok) << ui.lastMessage();
        EXPECT_TRUE(result.refresh.panes[kLeftSide]);
        const auto bytes = readBytes(left.dbPath);
        EXPECT_EQ(bytes[512 + 2], 0x05) << "marker byte";
        EXPECT_EQ(std::memcmp(&bytes[512 + 3], c.field, 15), 0);
        EXPECT_EQ(session.details(kLeftSide, 0)->nameBytes, std::string(c.field, ::strnlen(c.field, 15)));
    }
    EXPECT_FALSE(session.renameRow(kLeftSide, 1, "X", ui).ok);
    EXPECT_EQ(ui.lastMessage(), "there is no recording 2 in " + left.dbPath + ".");
}

TEST_F(RecordingSessionTest, ARenameThatCannotBeWrittenLeavesTheRecordAsItWas)
{
    addRecording(session, left, "FILM", 90, {5000});
    addRecording(session, left, "NEWS", 30, {5000});
    const auto before = readBytes(left.dbPath);
    fs::permissions(left.dbPath, fs::perms::owner_read);
    EXPECT_FALSE(session.renameRow(kLeftSide, 0, "RENAMED", ui).ok);
    EXPECT_EQ(ui.lastMessage(), "the database " + left.dbPath + " is read-only, so it cannot be written. " +
                                    left.dbPath + " is unchanged on disk.");
    EXPECT_EQ(readBytes(left.dbPath), before);
    EXPECT_EQ(rowNames(session, kLeftSide), (std::vector<std::string>{"FILM", "NEWS"}));
    // The next write of the pane does not slip the refused name in.
    fs::permissions(left.dbPath, fs::perms::owner_write, fs::perm_options::add);
    ASSERT_TRUE(session.deleteRows(kLeftSide, {1}, ui).ok);
    reload(session, kLeftSide);
    EXPECT_EQ(rowNames(session, kLeftSide), std::vector<std::string>{"FILM"});
}

namespace {

// A user who, asked whether to cut, tries to start other operations and to read the panes.
class MeddlingUi : public FakeUi {
public:
    RecordingSession* session = nullptr;
    std::string otherDb;
    bool loadRefused = false;
    std::size_t rowsSeen = 99;

    bool askYesNo(const std::string& text, const std::string& caption) override
    {
        FakeUi inner;
        loadRefused = !session->loadPane(kRightSide, otherDb, inner).ok && inner.messages.size() == 1 &&
                      inner.messages[0] == RecordingSession::kBusyMessage;
        rowsSeen = session->rows(kLeftSide).size();
        return FakeUi::askYesNo(text, caption);
    }
};

}  // namespace

TEST_F(RecordingSessionTest, OneOperationAtATime)
{
    addRecording(session, left, "NEWS", 60, {1000100});
    TempDir other;
    ASSERT_EQ(vmx::CreateEmptyDb((other / "DZT000.DB").string()), "");
    MeddlingUi meddling;
    meddling.session = &session;
    meddling.otherDb = (other / "DZT000.DB").string();
    ASSERT_EQ(session.cut(kLeftSide, 0, 2, 10, 20, meddling).outcome, CutOutcome::Done);
    EXPECT_TRUE(meddling.loadRefused);
    EXPECT_EQ(meddling.rowsSeen, 0u) << "no half-changed rows while an operation runs";
    EXPECT_EQ(right.dbPath, rightDir.str() + "/DZT000.DB");
    EXPECT_EQ(session.rows(kLeftSide).size(), 1u);

    // A second session cannot take the store while this one holds it.
    RecordingSession second;
    EXPECT_EQ(second.init(), "another recording session holds the record store.");
    FakeUi secondUi;
    EXPECT_FALSE(second.loadPane(kLeftSide, meddling.otherDb, secondUi).ok);
    EXPECT_EQ(left.dbPath, leftDir.str() + "/DZT000.DB");
}

namespace {

// The port as a worker thread meets it: it notes the threads it was called on.
class ThreadNotingUi : public FakeUi {
public:
    std::atomic<int> callsOffTheMainThread{0};
    std::thread::id mainThread = std::this_thread::get_id();

    void showMessage(const std::string& text, const std::string& caption) override
    {
        note();
        FakeUi::showMessage(text, caption);
    }
    void showWait(const std::string& text) override
    {
        note();
        FakeUi::showWait(text);
    }
    void closeWait() override
    {
        note();
        FakeUi::closeWait();
    }

private:
    void note()
    {
        if (std::this_thread::get_id() != mainThread)
            ++callsOffTheMainThread;
    }
};

}  // namespace

TEST_F(RecordingSessionTest, OperationsRunOnAWorkerThreadWithTheirOwnDiagnostics)
{
    // The desktop program runs an operation on a worker thread while its user-interface thread
    // keeps working. The database module's diagnostic line is per thread: the worker's failed
    // load reports its own reader message even while another thread formats messages meanwhile.
    addRecording(session, left, "NEWS", 60, {1000100});
    TempDir damaged;
    writeBytes(damaged / "DZT000.DB", {0, 9, 0, 6, 0, 3});
    ThreadNotingUi threadUi;
    std::atomic<bool> stop{false};
    std::thread painter([&stop] {
        while (!stop)
            DBMTrace("infor: painting %d.", 1);
    });
    LoadResult load;
    CutResult cut;
    std::thread worker([&] {
        load = session.loadPane(kRightSide, (damaged / "DZT000.DB").string(), threadUi);
        cut = session.cut(kLeftSide, 0, 2, 10, 20, threadUi);
    });
    worker.join();
    stop = true;
    painter.join();
    EXPECT_FALSE(load.ok);
    ASSERT_FALSE(threadUi.messages.empty());
    EXPECT_NE(threadUi.messages[0].find("unknown version(9)"), std::string::npos) << threadUi.messages[0];
    EXPECT_EQ(threadUi.messages[0].find("painting"), std::string::npos) << threadUi.messages[0];
    EXPECT_EQ(cut.outcome, CutOutcome::Done);
    EXPECT_EQ(threadUi.lastMessage(), "Processing Complete");
    EXPECT_EQ(threadUi.callsOffTheMainThread, static_cast<int>(threadUi.events.size()) - 1)
        << "every call but the question came from the worker";
    EXPECT_EQ(rowNames(session, kLeftSide), std::vector<std::string>{"NEWS"});
}

TEST_F(RecordingSessionTest, RowsAndDetailsArePlainCopies)
{
    addRecording(session, left, "FILM", 3661, {kFull, 5000});
    const std::vector<RecordRow> rows = session.rows(kLeftSide);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].id, 1u);
    EXPECT_TRUE(rows[0].readable);
    EXPECT_EQ(rows[0].name, "FILM");
    EXPECT_EQ(DurationText(rows[0].duration), "01:01:01");
    EXPECT_EQ(rows[0].timing.totalSize, kFull + 5000);
    const auto details = session.details(kLeftSide, 0);
    ASSERT_TRUE(details);
    EXPECT_EQ(details->nameField[0], 0x05);
    EXPECT_EQ(StreamLine(details->streams), "VID: 101 | AID: 102 | PID: 0 | ecmPID: 0");
    EXPECT_EQ(details->partNames, (std::vector<std::string>{"RF0001AA.TRP", "RF0001AB.TRP"}));
    EXPECT_EQ(details->extA, kFull + 5000);
    EXPECT_FALSE(session.details(kLeftSide, 1));
    EXPECT_FALSE(session.details(kLeftSide, -1));
    EXPECT_TRUE(session.rows(kRightSide).empty());
    // The copies stay as they were when the store changes.
    ASSERT_TRUE(session.renameRow(kLeftSide, 0, "RENAMED", ui).ok);
    EXPECT_EQ(rows[0].name, "FILM");
    EXPECT_EQ(details->displayName, "FILM");
    EXPECT_EQ(session.rows(kLeftSide)[0].name, "RENAMED");

    // A damaged header counting more recordings than the file holds: rows the store cannot
    // deliver say so.
    auto bytes = readBytes(left.dbPath);
    bytes[5] = 3;
    writeBytes(left.dbPath, bytes);
    reload(session, kLeftSide);
    const auto damaged = session.rows(kLeftSide);
    ASSERT_EQ(damaged.size(), 3u);
    EXPECT_TRUE(damaged[0].readable);
    EXPECT_FALSE(damaged[2].readable);
    EXPECT_FALSE(damaged[2].timing.measured());
    EXPECT_EQ(session.pane(kLeftSide).header.count, 3u);
}

TEST(SessionTexts, CaptionDurationAndKind)
{
    EXPECT_EQ(PaneCaption(std::string(48, 'a')), std::string(48, 'a'));
    EXPECT_EQ(PaneCaption("x" + std::string(48, 'a')), std::string(48, 'a')) << "49 characters lose the first";
    EXPECT_EQ(DurationText(360000), "100:00:00");
    EXPECT_EQ(DurationText(59), "00:00:59");
    EXPECT_EQ(DbKindOf("DZT000.DB"), 0);
    EXPECT_EQ(DbKindOf("DZR000.DB"), 1);
    EXPECT_EQ(DbKindOf("BACKUP.DB"), 1);
    EXPECT_EQ(DbKindOf("xDZT000.DB"), 1) << "the prefix must stand at the start";
}

TEST_F(RecordingSessionTest, MediaFoldersAreCreatedAndFailuresSaid)
{
    TempDir receiver;
    TempDir pc;
    writeText(pc / "song.mp3", "tune");
    session.setReceiverRoot(receiver.str());
    std::string error;
    EXPECT_EQ(session.receiverRoot(error), receiver.str());
    // A missing MP3 folder is created on the first put.
    const MediaResult put = session.media().putMedia(MediaKind::Mp3, {(pc / "song.mp3").string()}, ui);
    EXPECT_EQ(put.done, 1);
    EXPECT_TRUE(put.refresh.receiverFiles);
    EXPECT_EQ(put.paths, std::vector<std::string>{receiver.str() + "/MP3/song.mp3"});
    EXPECT_EQ(readText(receiver / "MP3" / "song.mp3"), "tune");
    const MediaListing listing = session.media().listMedia(MediaKind::Mp3, ui);
    ASSERT_TRUE(listing.ok);
    ASSERT_EQ(listing.files.size(), 1u);
    EXPECT_EQ(listing.files[0].name, "song.mp3");
    // A file standing where the IMAGE folder belongs is not taken for it.
    writeText(receiver / "IMAGE", "not a folder");
    EXPECT_FALSE(session.media().ensureMediaFolder(MediaKind::Image, ui));
    EXPECT_EQ(ui.lastMessage(), receiver.str() + "/IMAGE is a file, not a folder, so nothing can be put into it.");
    const MediaResult refused = session.media().putMedia(MediaKind::Image, {(pc / "song.mp3").string()}, ui);
    EXPECT_EQ(refused.done, 0);
    EXPECT_EQ(refused.failures, std::vector<std::string>{ui.lastMessage()});
    // Deleting reports what could not be deleted.
    const MediaResult deleted = session.media().deleteMedia(MediaKind::Mp3, {"song.mp3", "gone.mp3"}, ui);
    EXPECT_EQ(deleted.done, 1);
    EXPECT_EQ(deleted.paths, std::vector<std::string>{receiver.str() + "/MP3/song.mp3"});
    ASSERT_EQ(deleted.failures.size(), 1u);
    EXPECT_EQ(ui.lastMessage(), deleted.failures[0]);
    // Without a receiver disk every media operation says how to name one.
    session.setReceiverRoot((receiver / "missing").string());
    EXPECT_FALSE(session.media().listMedia(MediaKind::Mp3, ui).ok);
    EXPECT_NE(ui.lastMessage().find("does not exist"), std::string::npos) << ui.lastMessage();
}

TEST_F(RecordingSessionTest, AChangeIsNotWrittenOverADatabaseAnotherProgramChanged)
{
    // The pane renamed a recording; then another program puts the database back as it was before
    // (same size, a new file). A deletion by the pane would write the rename over that program's
    // change: nothing is written, the user is told, and the pane is to be loaded again, after
    // which the deletion works on what is now on the disk.
    addRecording(session, left, "FILM", 90, {5000});
    addRecording(session, left, "NEWS", 30, {3000});
    const auto before = readBytes(left.dbPath);
    ASSERT_TRUE(session.renameRow(kLeftSide, 0, "MOVIE", ui).ok) << ui.lastMessage();
    const std::string elsewhere = leftDir.str() + "/other-program.tmp";
    writeBytes(elsewhere, before);
    fs::rename(elsewhere, left.dbPath);
    auto expected = folderBytes(leftDir);

    const DeleteResult stale = session.deleteRows(kLeftSide, {1}, ui);
    EXPECT_FALSE(stale.ok);
    EXPECT_TRUE(stale.refresh.reloads[kLeftSide]);
    EXPECT_TRUE(ui.lastMessage().starts_with("The database " + left.dbPath + " was changed by another program"))
        << ui.lastMessage();
    EXPECT_EQ(folderBytes(leftDir), expected) << "neither the database nor a part file changed";

    reload(session, kLeftSide);
    EXPECT_EQ(rowNames(session, kLeftSide), (std::vector<std::string>{"FILM", "NEWS"}));
    EXPECT_TRUE(session.deleteRows(kLeftSide, {1}, ui).ok) << ui.lastMessage();
    EXPECT_EQ(rowNames(session, kLeftSide), std::vector<std::string>{"FILM"});
}
