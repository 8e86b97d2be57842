// The databases of one RECORD folder (DZT000.DB and DZR000.DB) share one space of part names and
// one lock; what is found on the disk there (plans of cuts, part files on their way, lists of
// earlier versions) is a claim that the folder's databases must confirm before anything is done.
#include "FakeUi.h"
#include "RecordingFixture.h"
#include "common/FileFingerprint.h"
#include "common/FileLock.h"
#include "common/FilePaths.h"
#include "recdb/DbCompanions.h"
#include "recdb/DbReader.h"
#include "recdb/DbWriter.h"
#include "recdb/RecordStore.h"
#include "recording/CutJournal.h"
#include "recording/RecordingFiles.h"
#include "support/DbImage.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

using namespace vmx;
using namespace vmxtest;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Every file of a folder with a hash of its bytes, one line each.
std::map<std::string, std::uint64_t> folderBytes(const fs::path& folder)
{
    std::map<std::string, std::uint64_t> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::vector<std::uint8_t> bytes = readBytes(entry.path());
        files[entry.path().filename().string()] = FingerprintHash(bytes.data(), bytes.size());
    }
    return files;
}

// A RECORD folder: DZT000.DB with "SPORTS" (parts RF0001AA..AC) and "NEWS" (RF0002AA), loaded into
// the left pane; DZR000.DB with "RADIO" (RF0009AA); and two files of the user's own.
class FolderTest : public SessionTest {
protected:
    FolderTest()
    {
        addRecording(session, dzt, "SPORTS", 30, {3760, 3760, 1880});
        addRecording(session, dzt, "NEWS", 10, {1880});
        TestDb radio;
        radio.count = 1;
        radio.records[0] = makeRecord(1, "RADIO", 9, 1);
        writeBytes(dir / "DZR000.DB", encodeDb(radio));
        writeText(dir / "RF0009AA.TRP", "the radio recording's only part");
        writeText(dir / "notes.txt", "the user's notes");
        writeText(dir / "holiday.jpeg", "the user's picture");
    }

    std::string db(const char* name) const { return (dir / name).string(); }

    TempDir dir;
    const LoadedPane& dzt = makeDb(session, kLeftSide, dir.str());
};

// A plan of a cut of the first recording of the database as it stands, whose database after the
// cut gives that recording another duration and nothing else yet: hostile cases add to it.
CutJournal planFor(const std::string& dbPath)
{
    CutJournal plan;
    plan.dbName = FileNameOfPath(dbPath);
    FileFingerprint now;
    EXPECT_EQ(TakeFingerprint(dbPath, kMaxDbContentSize, now), "");
    plan.sizeBefore = now.size;
    plan.hashBefore = now.hash;
    std::vector<std::uint8_t> bytes = readBytes(dbPath);
    bytes[kAVMHeaderArea + 27] += 1;             // the duration's last byte
    bytes[kAVMHeaderArea + kAVMImageSize] += 1;  // and the section's checksum with it
    plan.content.assign(bytes.begin(), bytes.end());
    return plan;
}

}  // namespace

TEST_F(FolderTest, PlansTheFolderDoesNotConfirmAreSetAsideAndNeverCarriedOut)
{
    // Each plan is well formed; none agrees with the database it names. A mere check finds it,
    // sets it aside, says so, and changes no other file.
    const struct {
        const char* what;
        const char* planName;
        void (*make)(CutJournal& plan, const std::string& dzt);
    } cases[] = {
        {"removes a part of the other database", ".DZT000.DB.cut",
         [](CutJournal& plan, const std::string&) {
             plan.trims.push_back({"RF0001AA.TRP", PacketRange{}});
             plan.removed.push_back("RF0009AA.TRP");
         }},
        {"fills a part of the other database", ".DZT000.DB.cut",
         [](CutJournal& plan, const std::string&) { plan.trims.push_back({"RF0009AA.TRP", PacketRange{0, 1000}}); }},
        {"removes a file no database names", ".DZT000.DB.cut",
         [](CutJournal& plan, const std::string&) {
             plan.trims.push_back({"RF0001AA.TRP", PacketRange{}});
             plan.removed.push_back("holiday.jpeg");
         }},
        {"renames another recording's part", ".DZT000.DB.cut",
         [](CutJournal& plan, const std::string&) {
             plan.trims.push_back({"RF0001AA.TRP", PacketRange{}});
             plan.renames.push_back({"RF0002AA.TRP", "RF0001AD.TRP"});
         }},
        {"replaces the whole database", ".DZT000.DB.cut",
         [](CutJournal& plan, const std::string&) {
             const std::vector<std::uint8_t> empty = encodeDb(TestDb{});
             plan.content.assign(empty.begin(), empty.end());
             plan.trims.push_back({"RF0001AA.TRP", PacketRange{0, 10}});
         }},
        {"belongs to another database", ".DZT000.DB.cut",
         [](CutJournal& plan, const std::string&) { plan.dbName = "DZR000.DB"; }},
        {"names a database that is not there", ".DZX000.DB.cut",
         [](CutJournal& plan, const std::string&) { plan.dbName = "DZX000.DB"; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CutJournal plan = planFor(dzt.dbPath);
        c.make(plan, dzt.dbPath);
        const fs::path planPath = dir / c.planName;
        ASSERT_EQ(WriteCutJournal(planPath.string(), plan), "");
        auto expected = folderBytes(dir.path());
        expected[std::string(c.planName) + ".set-aside"] = expected[c.planName];
        expected.erase(c.planName);

        const auto problems = RecordingSession::checkDatabase(dzt.dbPath, 0ms);
        EXPECT_EQ(folderBytes(dir.path()), expected);
        const std::string setAside = SetAsidePath(planPath.string());
        int naming = 0;
        for (const std::string& problem : problems)
            naming += problem.find(setAside) != std::string::npos;
        EXPECT_GE(naming, 1) << "check names the plan set aside";
        fs::remove(setAside);
    }
    // What is not a plan at all, and the list of part files an earlier version kept, go the same way.
    for (const char* name : {".DZT000.DB.cut", ".DZT000.DB.parts"}) {
        SCOPED_TRACE(name);
        writeText(dir / name, "holiday.jpeg");
        const auto problems = RecordingSession::checkDatabase(dzt.dbPath, 0ms);
        EXPECT_TRUE(fs::exists(dir / (std::string(name) + ".set-aside")));
        EXPECT_EQ(readText(dir / "holiday.jpeg"), "the user's picture");
        fs::remove(dir / (std::string(name) + ".set-aside"));
    }
}

TEST_F(FolderTest, APartFileAnyDatabaseOfTheFolderNamesIsNeverRemoved)
{
    // NEWS names RADIO's part file of DZR000.DB too (in either letter case, as a FAT disk reads
    // it): deleting NEWS, writing its deletion through the writer, and cutting it all leave it.
    for (const char* spelling : {"RF0009AA.TRP", "rf0009aa.trp"}) {
        SCOPED_TRACE(spelling);
        writeText(dir / spelling, "the radio recording's only part");
        AVMRec news = recordAt(dzt, 1);
        std::memcpy(news.parts[0].name, spelling, 12);
        replaceRecord(session, dzt, 1, news);
        fs::remove(dir / "RF0002AA.TRP");  // NEWS's own part, named by nobody now

        const CutResult cut = session.cut(kLeftSide, 1, 2, 2, 5, ui);
        EXPECT_EQ(cut.outcome, CutOutcome::Refused);
        EXPECT_NE(ui.lastMessage().find("DZR000.DB"), std::string::npos) << ui.lastMessage();

        const DeleteResult deleted = session.deleteRows(kLeftSide, {1}, ui);
        EXPECT_TRUE(deleted.ok) << deleted.message;
        EXPECT_EQ(readText(dir / spelling), "the radio recording's only part");
        for (const std::string& problem : RecordingSession::checkDatabase(db("DZR000.DB"), 0ms))
            ADD_FAILURE() << problem;
        addRecording(session, dzt, "NEWS", 10, {1880});
    }
    // The writer's own removal of a deleted record's parts asks the folder too.
    RecordStore store = dzt.store;
    AVMRec news = recordAt(dzt, 1);
    std::memcpy(news.parts[0].name, "RF0009AA.TRP", 12);
    store.set(2, news);
    store.remove(1);
    ASSERT_EQ(WriteDb(store, dzt.dbPath), "");
    EXPECT_EQ(readText(dir / "RF0009AA.TRP"), "the radio recording's only part");
}

TEST_F(FolderTest, PartsOnTheirWayAreSettledByWhatTheDatabasesName)
{
    // A copy or deletion killed half way leaves part files under their staged names: the next
    // operation on the folder puts back what a database names and misses, removes what none
    // names, and leaves alone (and says) what it cannot place.
    fs::rename(dir / "RF0001AB.TRP", dir / ".velmorix~RF0001AB.TRP");  // a deletion that never wrote
    fs::rename(dir / "RF0009AA.TRP", dir / ".velmorix~RF0009AA.TRP");  // a copy into DZR000.DB that did
    writeText(dir / ".velmorix~RF0005AA.TRP", "a copy that never wrote its database");
    writeText(dir / ".velmorix~RF0002AA.TRP", "a second file for a part that is there");
    writeText(dir / ".velmorix~holiday.jpeg", "ours by its name, named by no database");

    FakeUi loadUi;
    ASSERT_TRUE(session.loadPane(kLeftSide, dzt.dbPath, loadUi).ok);
    EXPECT_TRUE(fs::exists(dir / "RF0001AB.TRP"));
    EXPECT_EQ(readText(dir / "RF0009AA.TRP"), "the radio recording's only part");
    EXPECT_FALSE(fs::exists(dir / ".velmorix~RF0005AA.TRP"));
    EXPECT_FALSE(fs::exists(dir / ".velmorix~holiday.jpeg"));
    EXPECT_EQ(readText(dir / "holiday.jpeg"), "the user's picture");
    EXPECT_TRUE(fs::exists(dir / ".velmorix~RF0002AA.TRP"));
    bool said = false;
    for (const std::string& message : loadUi.messages)
        said = said || message.find(".velmorix~RF0002AA.TRP was left alone") != std::string::npos;
    EXPECT_TRUE(said);
    std::vector<std::string> staged;
    for (const std::string& problem : RecordingSession::checkDatabase(dzt.dbPath, 0ms)) {
        if (problem.find(".velmorix~") != std::string::npos)
            staged.push_back(problem);
    }
    ASSERT_EQ(staged.size(), 1u) << ::testing::PrintToString(staged);
    EXPECT_EQ(staged[0].find((dir / ".velmorix~RF0002AA.TRP").string() + " "), 0u) << staged[0];
}

TEST_F(FolderTest, OneWriterForTheWholeFolderAndNoLockWhileTheUserIsAsked)
{
    // Another program holds the folder's lock: a change to the folder's other database waits for
    // it, then says who holds it and changes nothing.
    session.setLockWait(0ms);
    {
        FileLock other;
        ASSERT_EQ(other.acquire(FolderLockPath(db("DZR000.DB")), 0ms), 0);
        const auto before = folderBytes(dir.path());
        EXPECT_FALSE(session.renameRow(kLeftSide, 0, "FOOTBALL", ui).ok);
        EXPECT_NE(ui.lastMessage().find("is in use by"), std::string::npos) << ui.lastMessage();
        EXPECT_EQ(folderBytes(dir.path()), before);
    }
    // While the cut's question is on the screen, and while its messages wait to be read, the
    // folder is free for other programs; a database changed while the user read the question is
    // not cut.
    struct Probe : FakeUi {
        std::string lockPath;
        int freeWhileWaiting = 0;
        int lockedWhileWaiting = 0;
        std::function<void()> whileAsked;
        void probe()
        {
            FileLock lock;
            (lock.acquire(lockPath, 0ms) == 0 ? freeWhileWaiting : lockedWhileWaiting) += 1;
        }
        bool askYesNo(const std::string& text, const std::string& caption) override
        {
            probe();
            if (whileAsked)
                whileAsked();
            return FakeUi::askYesNo(text, caption);
        }
        void showMessage(const std::string& text, const std::string& caption) override
        {
            probe();
            FakeUi::showMessage(text, caption);
        }
    } probe;
    probe.lockPath = FolderLockPath(dzt.dbPath);
    EXPECT_EQ(session.cut(kLeftSide, 0, 2, 2, 5, probe).outcome, CutOutcome::Done) << probe.lastMessage();
    EXPECT_EQ(probe.lockedWhileWaiting, 0);
    EXPECT_GE(probe.freeWhileWaiting, 2) << "the question and \"Processing Complete\"";

    probe.whileAsked = [&] {
        const std::vector<std::uint8_t> bytes = readBytes(dzt.dbPath);
        writeBytes(dir / "replaced.tmp", bytes);
        fs::rename(dir / "replaced.tmp", dzt.dbPath);
    };
    const auto before = folderBytes(dir.path());
    const CutResult changed = session.cut(kLeftSide, 0, 2, 2, 5, probe);
    EXPECT_NE(changed.outcome, CutOutcome::Done);
    EXPECT_TRUE(changed.refresh.reloads[kLeftSide]);
    EXPECT_EQ(folderBytes(dir.path()), before) << "no part was rewritten";
    EXPECT_FALSE(fs::exists(probe.lockPath)) << "and no lock file is left";
}

TEST_F(FolderTest, ADatabaseReachedThroughALinkIsRefused)
{
    TempDir elsewhere;
    fs::create_symlink(dzt.dbPath, elsewhere / "DZT000.DB");
    const std::string link = (elsewhere / "DZT000.DB").string();
    FakeUi loadUi;
    EXPECT_FALSE(session.loadPane(kLeftSide, link, loadUi).ok);
    EXPECT_NE(loadUi.lastMessage().find("is a symbolic link"), std::string::npos) << ::testing::PrintToString(loadUi.events);
    const auto problems = RecordingSession::checkDatabase(link, 0ms);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("is a symbolic link"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere.path()), fs::directory_iterator()), 1)
        << "no lock, backup or temporary file beside the link";
}
