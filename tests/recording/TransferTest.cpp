#include "recording/RecordingTransfer.h"

#include "FakeUi.h"
#include "RecordingFixture.h"
#include "recdb/DbWriter.h"
#include "recdb/RecordStore.h"
#include "recording/CopyProgress.h"
#include "recording/RecordingFiles.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace vmx;
using namespace vmxtest;

namespace {

class TransferTest : public SessionTest {
protected:
    TempDir srcDir;
    TempDir dstDir;
    const LoadedPane& source = makeDb(session, 0, srcDir.str());
    const LoadedPane& target = makeDb(session, 1, dstDir.str());

    // Fills the target with `n` small recordings so that the next new record gets slot n + 1.
    void fillTarget(int n)
    {
        for (int i = 0; i < n; ++i)
            addRecording(session, target, "OLD" + std::to_string(i), 10, {376});
    }
};

}  // namespace

TEST(CopyProgressTest, Arithmetic)
{
    struct Step {
        std::uint64_t fileTotal, copied;
        int filePercent, overallPercent;
        std::uint64_t transferredMb;
    };
    struct Case {
        const char* what;
        std::uint64_t total;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"1,999 bytes copied completely", 1999, {{1999, 0, 0, 0, 0}, {1999, 1999, 100, 0, 0}}},
        {"a file under 1,000 bytes", 999, {{999, 0, 0, 0, 0}, {999, 500, 50, 0, 0}, {999, 999, 100, 0, 0}}},
        {"an empty file and a total of 0", 0, {{0, 0, 100, 0, 0}}},
        {"megabytes counted once per file, the next file from 0",
         4000000,
         {{2000000, 1500000, 75, 25, 1}, {2000000, 2000000, 100, 50, 2}, {2000000, 1000000, 50, 75, 3},
          {2000000, 2000000, 100, 100, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CopyProgress progress;
        progress.start(c.total);
        for (const Step& s : c.steps) {
            const CopyProgressView view = progress.update(s.fileTotal, s.copied);
            EXPECT_EQ(view.filePercent, s.filePercent);
            EXPECT_EQ(view.overallPercent, s.overallPercent);
            EXPECT_EQ(progress.transferredMegabytes(), s.transferredMb);
            EXPECT_EQ(view.transferredBytes, s.transferredMb * 1000000);
            EXPECT_EQ(view.totalBytes, c.total);
            EXPECT_EQ(view.warning, "Do not unplug the USB Connection!!!");
        }
    }
    CopyProgress progress;
    progress.start(4000000);
    EXPECT_EQ(progress.update(4000000, 2000000).status, "2(Mbytes) transferred of total 4000000(bytes) 50(left)");
}

TEST_F(TransferTest, CopiesRegisterRecordsAndNameParts)
{
    addRecording(session, source, "FIRST", 90, {200000, 200000, 1000});
    addRecording(session, source, "SECOND", 30, {5000});
    fillTarget(4);
    const auto result = session.transferRecordings(source.side, {1, 0}, ui);
    EXPECT_EQ(result.copied, 2);
    EXPECT_EQ(result.failed, 0);
    EXPECT_TRUE(result.dbWritten);
    EXPECT_EQ(ui.events.front(), "progress open: Copying....");
    EXPECT_EQ(ui.events.back(), "progress close");
    ASSERT_FALSE(ui.updates.empty());
    EXPECT_EQ(ui.updates.back().overallPercent, 0);  // 0.4 MB of 0.4 MB: whole megabytes only

    // The new records come last in source row order; the first gets slot 5.
    ASSERT_EQ(target.timing.size(), 6u);
    // Sizes are measured as full parts before the last one.
    EXPECT_EQ(target.timingAt(4).totalSize, 2 * kFullPartSize + 1000);
    const LoadedPane& reloaded = reload(session, 1);
    const AVMRec first = recordAt(reloaded, 4);
    EXPECT_EQ(RecordDisplayName(first), "FIRST");
    EXPECT_EQ(first.duration, 90u);
    EXPECT_EQ(first.extA, 2 * kFullPartSize + 1000);
    EXPECT_EQ(partNames(first), (std::vector<std::string>{"RF0005AA.TRP", "RF0005AB.TRP", "RF0005AC.TRP"}));
    EXPECT_EQ(RecordDisplayName(recordAt(reloaded, 5)), "SECOND");
    EXPECT_EQ(partNames(recordAt(reloaded, 5)), (std::vector<std::string>{"RF0006AA.TRP"}));
    EXPECT_EQ(readBytes(dstDir / "RF0005AB.TRP"), readBytes(srcDir / "RF0001AB.TRP"));
    EXPECT_EQ(readBytes(dstDir / "RF0006AA.TRP"), readBytes(srcDir / "RF0002AA.TRP"));
    EXPECT_TRUE(std::filesystem::exists(BackupPathOf(target.dbPath)));
}

TEST_F(TransferTest, FailedCopiesLeaveNothingBehind)
{
    addRecording(session, source, "BROKEN", 90, {200000, 200000, 1000});
    addRecording(session, source, "GOOD", 30, {5000});
    std::filesystem::remove(srcDir / "RF0001AB.TRP");
    const auto result = session.transferRecordings(source.side, {0, 1}, ui);
    EXPECT_EQ(result.copied, 1);
    EXPECT_EQ(result.failed, 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("RF0001AB.TRP"), std::string::npos) << ui.messages[0];
    EXPECT_NE(ui.messages[0].find("No such file"), std::string::npos) << ui.messages[0];
    EXPECT_NE(ui.messages[0].find("\"BROKEN\" was not copied"), std::string::npos) << ui.messages[0];
    // The good one took the first slot; nothing of the broken one is left.
    const LoadedPane& reloaded = reload(session, 1);
    ASSERT_EQ(reloaded.timing.size(), 1u);
    EXPECT_EQ(RecordDisplayName(recordAt(reloaded, 0)), "GOOD");
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dstDir.path()))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    // Nothing else is left: no lock file, no staged part, no temporary file.
    EXPECT_EQ(files, (std::vector<std::string>{"DZT000.BAK", "DZT000.DB", "RF0001AA.TRP"}));
}

TEST_F(TransferTest, StrayFilesAreLeftAloneAndTheCopyTakesTheNextFreeSlot)
{
    // Files that belong to no recording stand where the new record's parts would go: the copy
    // takes the next free record slot whose part names are free, says so, and never touches them.
    struct Case {
        const char* what;
        std::vector<const char*> strays;
        const char* prefix;  // of the copy's part names
    };
    const Case cases[] = {
        {"one part of the first slot", {"RF0001AB.TRP"}, "RF0002"},
        {"parts of the first two slots", {"RF0001AA.TRP", "RF0002AB.TRP"}, "RF0003"},
        {"nothing in the way", {"RF0001AC.TRP"}, "RF0001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir from;
        TempDir to;
        const LoadedPane& src = makeDb(session, 0, from.str());
        makeDb(session, 1, to.str());
        addRecording(session, src, "FILM", 30, {5000, 100});
        for (const char* stray : c.strays)
            writeText(to / stray, "somebody else's");
        FakeUi caseUi;
        const auto result = session.transferRecordings(src.side, {0}, caseUi);
        EXPECT_TRUE(result.done());
        EXPECT_EQ(result.copied, 1);
        const std::string aa = std::string(c.prefix) + "AA.TRP";
        const std::string ab = std::string(c.prefix) + "AB.TRP";
        EXPECT_EQ(readBytes(to / aa), readBytes(from / "RF0001AA.TRP"));
        EXPECT_EQ(readBytes(to / ab), readBytes(from / "RF0001AB.TRP"));
        for (const char* stray : c.strays)
            EXPECT_EQ(readText(to / stray), "somebody else's");
        if (std::string(c.prefix) != "RF0001") {
            ASSERT_EQ(caseUi.messages.size(), 1u);
            EXPECT_NE(caseUi.messages[0].find(to.str() + "/" + c.strays.front() + " is already on the disk"),
                      std::string::npos) << caseUi.messages[0];
            EXPECT_NE(caseUi.messages[0].find(c.prefix), std::string::npos) << caseUi.messages[0];
        } else {
            EXPECT_TRUE(caseUi.messages.empty());
        }
        const LoadedPane& reloaded = reload(session, 1);
        ASSERT_EQ(reloaded.timing.size(), 1u);
        EXPECT_EQ(partNames(recordAt(reloaded, 0)), (std::vector<std::string>{aa, ab}));
        EXPECT_EQ(reloaded.timingAt(0).totalSize, kFullPartSize + 100);
    }
}

TEST_F(TransferTest, BackupHoldsTheTargetAsItWasBeforeTheTransfer)
{
    // The target is written after every recording and once more at the end; its .BAK must still
    // be the database from before the transfer, not from before the last of those writes.
    struct Case {
        const char* what;
        bool firstFails;
    };
    for (const Case& c : {Case{"every recording copied", false}, Case{"the first one fails", true}}) {
        SCOPED_TRACE(c.what);
        TempDir from;
        TempDir to;
        const LoadedPane& src = makeDb(session, 0, from.str());
        const LoadedPane& dst = makeDb(session, 1, to.str());
        addRecording(session, dst, "OLD", 10, {376});
        addRecording(session, src, "FIRST", 30, {5000});
        addRecording(session, src, "SECOND", 30, {6000});
        if (c.firstFails)
            std::filesystem::remove(from / "RF0001AA.TRP");
        const auto before = readBytes(dst.dbPath);
        FakeUi caseUi;
        const auto result = session.transferRecordings(src.side, {0, 1}, caseUi);
        EXPECT_EQ(result.copied, c.firstFails ? 1 : 2);
        EXPECT_NE(readBytes(dst.dbPath), before);
        EXPECT_EQ(readBytes(BackupPathOf(dst.dbPath)), before);
    }
}

namespace {

// A user who makes the target database read-only while the copy window closes, between the
// last recording's write and the closing write of the transfer.
class ReadOnlyAtTheEndUi : public FakeUi {
public:
    std::string dbPath;
    void closeProgress() override
    {
        FakeUi::closeProgress();
        std::filesystem::permissions(dbPath, std::filesystem::perms::all, std::filesystem::perm_options::remove);
        std::filesystem::permissions(dbPath, std::filesystem::perms::owner_read, std::filesystem::perm_options::add);
    }
};

}  // namespace

TEST_F(TransferTest, OnlyTheClosingWriteFailingIsAWarningNotAFailure)
{
    addRecording(session, source, "FIRST", 30, {5000});
    addRecording(session, source, "SECOND", 30, {6000});
    ReadOnlyAtTheEndUi lateUi;
    lateUi.dbPath = target.dbPath;
    const auto result = session.transferRecordings(source.side, {0, 1}, lateUi);
    EXPECT_TRUE(result.done());
    EXPECT_EQ(result.copied, 2);
    EXPECT_FALSE(result.dbWritten);
    ASSERT_EQ(lateUi.messages.size(), 1u);
    EXPECT_NE(lateUi.messages[0].find("Warning"), std::string::npos) << lateUi.messages[0];
    EXPECT_NE(lateUi.messages[0].find(target.dbPath + " is read-only"), std::string::npos) << lateUi.messages[0];
    const LoadedPane& reloaded = reload(session, 1);
    ASSERT_EQ(reloaded.timing.size(), 2u);
    EXPECT_EQ(RecordDisplayName(recordAt(reloaded, 1)), "SECOND");
    EXPECT_TRUE(std::filesystem::exists(dstDir / "RF0002AA.TRP"));
}

TEST_F(TransferTest, UnwritableTargetRefusesBeforeCopying)
{
    addRecording(session, source, "FILM", 30, {5000});
    std::filesystem::permissions(target.dbPath, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    const auto result = session.transferRecordings(source.side, {0}, ui);
    EXPECT_TRUE(result.refused);
    EXPECT_FALSE(result.done());
    EXPECT_NE(ui.lastMessage().find(target.dbPath + " is read-only"), std::string::npos) << ui.lastMessage();
    EXPECT_FALSE(std::filesystem::exists(dstDir / "RF0001AA.TRP"));
}

TEST_F(TransferTest, CancelStopsTheTransfer)
{
    addRecording(session, source, "FILM", 30, {5000, 100});
    ui.cancelAfterUpdates = 1;
    const auto result = session.transferRecordings(source.side, {0}, ui);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.copied, 0);
    EXPECT_FALSE(std::filesystem::exists(dstDir / "RF0001AA.TRP"));
    EXPECT_EQ(ui.lastMessage(),
              "The copy was cancelled. The recording \"FILM\" was not copied; the files made for it were removed.");
}

TEST_F(TransferTest, FullStoreRefusesBeforeCopying)
{
    addRecording(session, source, "A", 10, {376});
    addRecording(session, source, "B", 10, {376});
    fillTarget(199);
    const auto before = readBytes(target.dbPath);
    const auto result = session.transferRecordings(source.side, {0, 1}, ui);
    EXPECT_TRUE(result.refused);
    EXPECT_NE(ui.lastMessage().find("room for 1 more"), std::string::npos) << ui.lastMessage();
    EXPECT_FALSE(std::filesystem::exists(dstDir / "RF0200AA.TRP"));
    EXPECT_EQ(readBytes(target.dbPath), before);
}

class OfferNewDbTest : public SessionTest {};

TEST_F(OfferNewDbTest, CreatesLoadsAndNamesTheDefault)
{
    TempDir dir;
    EXPECT_EQ(DefaultNewDbName("DZR000.DB", ""), "DZR000");
    EXPECT_EQ(DefaultNewDbName("X.DB", "DZR001.DB"), "DZR000");
    EXPECT_EQ(DefaultNewDbName("DZT000.DB", "X.DB"), "DZT000");

    // The left pane holds a DZR database, so the offer names the new one DZR000.
    TempDir left;
    makeDb(session, 0, left.str(), "DZR000.DB");
    ui.answers = {false};
    EXPECT_EQ(session.offerNewDb(1, ui).outcome, OfferResult::Outcome::Declined);
    EXPECT_FALSE(session.pane(1).loaded());
    ui.newFileAnswer = dir.str() + "/DZR000.DB";
    const OfferResult created = session.offerNewDb(1, ui);
    EXPECT_EQ(created.outcome, OfferResult::Outcome::Created);
    EXPECT_EQ(created.dbPath, dir.str() + "/DZR000.DB");
    EXPECT_TRUE(created.refresh.panes[1]);
    EXPECT_EQ(ui.events[0], "ask: There is no information in the list. Do you want to create new file? [Information]");
    EXPECT_EQ(ui.events[2], "choose new file: DZR000");
    EXPECT_EQ(ui.lastMessage(), "DB File Creatation complete!");
    EXPECT_EQ(readBytes(dir / "DZR000.DB"), (std::vector<std::uint8_t>{0, 5, 0, 6, 0, 0}));
    EXPECT_TRUE(session.pane(1).loaded());
    EXPECT_EQ(session.pane(1).folder, dir.str() + "/");
    EXPECT_EQ(session.offerNewDb(1, ui).outcome, OfferResult::Outcome::NotNeeded);

    // A file that exists is never overwritten, and the target stays without a database.
    session.release();
    ASSERT_EQ(session.init(), "");
    TempDir other;
    writeText(other / "DZT000.DB", "somebody's file");
    ui.newFileAnswer = (other / "DZT000.DB").string();
    EXPECT_EQ(session.offerNewDb(1, ui).outcome, OfferResult::Outcome::Failed);
    EXPECT_NE(ui.lastMessage().find("Cannot create the database " + ui.newFileAnswer + ": File exists"),
              std::string::npos) << ui.lastMessage();
    EXPECT_EQ(readText(other / "DZT000.DB"), "somebody's file");
    EXPECT_FALSE(session.pane(1).loaded());
}

TEST_F(TransferTest, HeaderCountThatDisagreesWithTheRecords)
{
    // Three recordings with ids 1..3 whose header counts 2 (the third lies beyond the count) or 5
    // (ids 4 and 5 name nothing).
    struct Case {
        const char* what;
        std::uint8_t headerCount;
        bool copied;
        int row;  // where the copy is listed
    };
    const Case cases[] = {
        {"a recording beyond the count", 2, false, -1},
        {"a count beyond the recordings", 5, true, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir from;
        TempDir to;
        const LoadedPane& src = makeDb(session, 0, from.str());
        const LoadedPane& dst = makeDb(session, 1, to.str());
        for (int i = 0; i < 3; ++i)
            addRecording(session, dst, "OLD" + std::to_string(i), 10, {376});
        auto bytes = readBytes(dst.dbPath);
        bytes[5] = c.headerCount;
        writeBytes(dst.dbPath, bytes);
        reload(session, 1);
        addRecording(session, src, "FILM", 30, {5000});
        FakeUi caseUi;
        const auto result = session.transferRecordings(src.side, {0}, caseUi);
        EXPECT_EQ(result.copied, c.copied ? 1 : 0);
        const LoadedPane copied = dst;
        const LoadedPane& reloaded = reload(session, 1);
        int listedAt = -1;
        for (int row = 0; row < static_cast<int>(reloaded.timing.size()); ++row) {
            AVMRec record{};
            if (reloaded.store.get(static_cast<unsigned>(row + 1), record) &&
                RecordDisplayName(record) == "FILM")
                listedAt = row;
        }
        EXPECT_EQ(listedAt, c.row);
        EXPECT_EQ(std::filesystem::exists(to / "RF0004AA.TRP"), c.copied);
        if (c.copied) {
            ASSERT_EQ(copied.timing.size(), reloaded.timing.size());
            EXPECT_EQ(copied.timingAt(c.row).totalSize, 5000u);
        } else {
            EXPECT_NE(caseUi.messages.at(0).find("holds more recordings than its header counts"), std::string::npos)
                << caseUi.messages.at(0);
        }
    }
}

TEST_F(TransferTest, SameDatabaseOnBothSidesIsRefused)
{
    addRecording(session, source, "FILM", 30, {5000});
    // The load refuses the left pane's file under another spelling of its path.
    EXPECT_TRUE(session.loadPane(1, srcDir.str() + "/./DZT000.DB", ui).refused);
    EXPECT_EQ(ui.lastMessage(), "Your loaded file is same!!");
    EXPECT_EQ(target.dbPath, dstDir.str() + "/DZT000.DB");
    // The target's name comes to stand for the source's file after the load (a hard link put in
    // its place): the transfer itself refuses too.
    std::filesystem::remove(target.dbPath);
    std::filesystem::create_hard_link(source.dbPath, target.dbPath);
    const auto before = readBytes(source.dbPath);
    const auto result = session.transferRecordings(source.side, {0}, ui);
    EXPECT_TRUE(result.refused);
    EXPECT_NE(ui.lastMessage().find("same database"), std::string::npos) << ui.lastMessage();
    EXPECT_EQ(readBytes(source.dbPath), before);
    EXPECT_FALSE(std::filesystem::exists(srcDir / "RF0002AA.TRP"));
}
