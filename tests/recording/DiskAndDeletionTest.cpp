#include "recording/Deletion.h"
#include "recording/MediaFiles.h"
#include "recording/ReceiverDisk.h"

#include "FakeUi.h"
#include "RecordingFixture.h"
#include "recording/RecordingFiles.h"

#include "recdb/DbWriter.h"
#include "recdb/RecordStore.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

using namespace vmx;
using namespace vmxtest;

TEST(ReceiverDiskTest, LastMountedVolumeWithAReceiverFolderWins)
{
    TempDir base;
    for (const char* folder : {"usb1/RECORD", "usb 2/MP3", "usb3/mp3", "other/IMAGE"})
        std::filesystem::create_directories(base / folder);
    const std::string b = base.str();
    writeText(base / "mounts", "/dev/sda1 / ext4 rw 0 0\n"
                                "/dev/sdb1 " + b + "/usb1 vfat rw 0 0\n"
                                "/dev/sdc1 " + b + "/usb\\0402 vfat rw 0 0\n"
                                "/dev/sdd1 " + b + "/usb3 vfat rw 0 0\n");
    ReceiverSearch search{(base / "mounts").string(), {b}};
    EXPECT_EQ(FindReceiverRoot(search), b + "/usb 2");
    search.bases = {b + "/usb1"};
    EXPECT_EQ(FindReceiverRoot(search), b + "/usb1");
    search.bases = {"/nowhere"};
    std::string error;
    EXPECT_EQ(ResolveReceiverRoot("", error, search), "");
    EXPECT_NE(error.find("--receiver"), std::string::npos);
    EXPECT_EQ(ResolveReceiverRoot(b + "/usb3", error, search), b + "/usb3");
    EXPECT_FALSE(HasReceiverFolder(b + "/usb3", MediaKind::Mp3));  // "mp3" is not "MP3"
    EXPECT_TRUE(HasReceiverFolder(b + "/usb 2", MediaKind::Mp3));

    // Without an override: the disk of a loaded database, then the mounts, then the remembered
    // folder while it exists.
    std::filesystem::create_directories(base / "pc/record");
    const struct {
        std::vector<std::string> databases;
        std::vector<std::string> bases;
        std::string remembered;
        std::string expected;
    } cases[] = {
        {{b + "/elsewhere/DZT000.DB", b + "/usb1/RECORD/DZR000.DB"}, {b}, "", b + "/usb1"},
        {{b + "/pc/record/DZT000.DB"}, {b}, "", b + "/pc"},  // a FAT disk may show "record"
        {{b + "/pc/DZT000.DB"}, {b}, b + "/other", b + "/usb 2"},
        {{b + "/missing/RECORD/DZT000.DB"}, {"/nowhere"}, b + "/other", b + "/other"},
        {{}, {"/nowhere"}, b + "/gone", ""},
    };
    for (const auto& c : cases) {
        search.bases = c.bases;
        EXPECT_EQ(ResolveReceiverRoot(ReceiverClues{"", c.databases, c.remembered}, error, search), c.expected)
            << c.remembered;
        EXPECT_EQ(error.empty(), !c.expected.empty());
    }
}

TEST(ReceiverDiskTest, ListingsGiveSizesInKbytes)
{
    TempDir root;
    std::filesystem::create_directories(root / "MP3/a dir.mp3");
    writeBytes(root / "MP3/b.mp3", std::vector<std::uint8_t>(1023));
    writeBytes(root / "MP3/c.MP3", std::vector<std::uint8_t>(1048576));
    writeText(root / "MP3/notes.txt", "x");
    const auto files = ListReceiverFiles(root.str(), MediaKind::Mp3);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].number, 2);  // the directory took number 1
    EXPECT_EQ(files[0].name, "b.mp3");
    EXPECT_EQ(files[0].sizeKb, 0u);
    EXPECT_EQ(files[1].name, "c.MP3");
    EXPECT_EQ(files[1].sizeKb, 1024u);
    EXPECT_TRUE(ListReceiverFiles(root.str(), MediaKind::Image).empty());

    // Pictures by either extension, in any case (FAT disks often hold upper-case names).
    std::filesystem::create_directories(root / "IMAGE");
    for (const char* name : {"a.jpg", "B.JPG", "c.jpeg", "D.JPEG", "e.Jpeg", "f.png", "g.jpg.txt"})
        writeText(root / "IMAGE" / name, "x");
    std::vector<std::string> names;
    for (const MediaFileEntry& file : ListReceiverFiles(root.str(), MediaKind::Image))
        names.push_back(file.name);
    EXPECT_EQ(names, (std::vector<std::string>{"B.JPG", "D.JPEG", "a.jpg", "c.jpeg", "e.Jpeg"}));
}

TEST(MediaFilesTest, PutGetAndDelete)
{
    TempDir pc;
    TempDir receiver;
    const std::string folder = ReceiverMediaFolder(receiver.str(), MediaKind::Image);
    std::filesystem::create_directories(folder);
    writeText(pc / "a.jpg", "picture a");
    writeText(std::filesystem::path(folder) / "a.jpg", "old picture");
    FakeUi ui;
    // What a killed copy left in the receiver's folder goes with the next copy into it; what one
    // left in a folder of the user's stays.
    const std::string receiverLeftover = abandonedTemporaryFor(folder + "/a.jpg");
    TempDir back;
    const std::string userLeftover = abandonedTemporaryFor(back.str() + "/a.jpg");
    MediaResult result = CopyMediaToReceiver({(pc / "a.jpg").string(), (pc / "missing.jpg").string()}, folder, ui);
    EXPECT_EQ(result.done, 1);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_NE(ui.lastMessage().find("missing.jpg"), std::string::npos);
    EXPECT_EQ(readText(std::filesystem::path(folder) / "a.jpg"), "picture a");
    EXPECT_FALSE(std::filesystem::exists(receiverLeftover));

    result = CopyMediaToPc({"a.jpg"}, folder, back.str(), ui);
    EXPECT_EQ(result.done, 1);
    EXPECT_EQ(ui.lastMessage(), "Operation Complete");
    EXPECT_EQ(readText(back / "a.jpg"), "picture a");
    EXPECT_TRUE(std::filesystem::exists(userLeftover));
    EXPECT_EQ(CopyMediaToPc({"../a.jpg"}, folder, back.str(), ui).failures.size(), 1u);

    result = DeleteMediaFiles({"a.jpg", "gone.jpg"}, folder);
    EXPECT_EQ(result.done, 1);
    EXPECT_EQ(result.failures.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(folder) / "a.jpg"));
}

TEST(MediaFilesTest, NamesAsLongAsTheDiskAllowsAreCopied)
{
    // The receiver and a plain copy accept names up to 255 bytes; the temporary name beside the
    // target must not make them longer.
    TempDir pc;
    TempDir receiver;
    const std::string folder = ReceiverMediaFolder(receiver.str(), MediaKind::Mp3);
    std::filesystem::create_directories(folder);
    FakeUi ui;
    for (const std::size_t length : {200u, 239u, 255u}) {
        SCOPED_TRACE(length);
        const std::string name = std::string(length - 4, 's') + ".mp3";
        writeText(pc / name, "tune");
        EXPECT_EQ(CopyMediaToReceiver({(pc / name).string()}, folder, ui).done, 1) << ui.lastMessage();
        EXPECT_EQ(readText(std::filesystem::path(folder) / name), "tune");
        std::filesystem::remove(pc / name);
        EXPECT_EQ(CopyMediaToPc({name}, folder, pc.str(), ui).done, 1) << ui.lastMessage();
        EXPECT_EQ(readText(pc / name), "tune");
    }
}

class DeletionTest : public SessionTest {};

TEST_F(DeletionTest, RowsGoHighestFirstWithOneWrite)
{
    TempDir dir;
    const LoadedPane& pane = makeDb(session, 0, dir.str());
    for (int i = 1; i <= 6; ++i)
        addRecording(session, pane, "REC" + std::to_string(i), 10, {376, 188});
    const DeleteResult result = session.deleteRows(0, {4, 1}, ui);
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.removedFiles, (std::vector<std::string>{dir.str() + "/RF0002AA.TRP", dir.str() + "/RF0002AB.TRP",
                                                             dir.str() + "/RF0005AA.TRP", dir.str() + "/RF0005AB.TRP"}));
    ASSERT_EQ(pane.timing.size(), 4u);
    const LoadedPane& reloaded = reload(session, 0);
    std::vector<std::string> names;
    for (int row = 0; row < 4; ++row)
        names.push_back(RecordDisplayName(recordAt(reloaded, row)));
    EXPECT_EQ(names, (std::vector<std::string>{"REC1", "REC3", "REC4", "REC6"}));
    EXPECT_FALSE(std::filesystem::exists(dir / "RF0002AA.TRP"));
    EXPECT_FALSE(std::filesystem::exists(dir / "RF0005AB.TRP"));
    EXPECT_TRUE(std::filesystem::exists(dir / "RF0006AB.TRP"));

    // Bad rows, or a record naming a file outside the folder, refuse the whole deletion.
    EXPECT_FALSE(session.deleteRows(0, {0, 4}, ui).ok);
    AVMRec unsafe = recordAt(pane, 1);
    std::memcpy(unsafe.parts[1].name, "../RF0003AB", 12);
    replaceRecord(session, pane, 1, unsafe);
    const DeleteResult refused = session.deleteRows(0, {0, 1}, ui);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.message.find("not a valid part name"), std::string::npos) << refused.message;
    EXPECT_EQ(ui.lastMessage(), refused.message);
    EXPECT_EQ(pane.timing.size(), 4u);
    std::memcpy(unsafe.parts[1].name, "RF0003AB.TRP", 12);
    replaceRecord(session, pane, 1, unsafe);
    // Every row deletes everything.
    EXPECT_TRUE(session.deleteRows(0, {0, 1, 2, 3}, ui).ok);
    EXPECT_TRUE(pane.timing.empty());
    reload(session, 0);
    EXPECT_TRUE(reloaded.timing.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "RF0006AB.TRP"));
}

TEST_F(DeletionTest, PartFilesStillListedElsewhereAreKept)
{
    // A damaged database in which the second recording also names the first one's part file.
    TempDir dir;
    const LoadedPane& pane = makeDb(session, 0, dir.str());
    addRecording(session, pane, "FILM", 10, {376});
    addRecording(session, pane, "NEWS", 10, {376, 188});
    AVMRec news = recordAt(pane, 1);
    std::memcpy(news.parts[1].name, "RF0001AA.TRP", 12);
    replaceRecord(session, pane, 1, news);
    const DeleteResult result = session.deleteRows(0, {1}, ui);
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.removedFiles, std::vector<std::string>{dir.str() + "/RF0002AA.TRP"});
    EXPECT_FALSE(std::filesystem::exists(dir / "RF0002AA.TRP"));
    EXPECT_TRUE(std::filesystem::exists(dir / "RF0001AA.TRP")) << "FILM lost its part";
    const LoadedPane& reloaded = reload(session, 0);
    ASSERT_EQ(reloaded.timing.size(), 1u);
    EXPECT_TRUE(reloaded.timingAt(0).measured());

    // A part name that stands for a folder is no part file: it stays, and the user is told.
    addRecording(session, pane, "RADIO", 10, {188});
    std::filesystem::remove(dir / "RF0002AA.TRP");
    std::filesystem::create_directory(dir / "RF0002AA.TRP");
    const DeleteResult folder = session.deleteRows(0, {1}, ui);
    EXPECT_TRUE(folder.ok) << folder.message;
    EXPECT_TRUE(std::filesystem::is_directory(dir / "RF0002AA.TRP"));
    EXPECT_EQ(ui.lastMessage(), dir.str() + "/RF0002AA.TRP is a folder, not a part file; it was left where it is.");
}

TEST_F(DeletionTest, DatabaseThatCannotBeWrittenDeletesNothingAndSaysWhy)
{
    TempDir dir;
    const LoadedPane& pane = makeDb(session, 0, dir.str());
    addRecording(session, pane, "FILM", 10, {376});
    const auto before = readBytes(pane.dbPath);
    std::filesystem::permissions(pane.dbPath, std::filesystem::perms::owner_read);
    const DeleteResult result = session.deleteRows(0, {0}, ui);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "Nothing was deleted: the database " + pane.dbPath +
                                  " is read-only, so it cannot be written. The database still lists the recordings "
                                  "and their files were kept.");
    EXPECT_EQ(readBytes(pane.dbPath), before);
    EXPECT_TRUE(std::filesystem::exists(dir / "RF0001AA.TRP"));
    // What the user was told holds: the recording is still there, also for the next write of
    // this side, which must not finish the deletion behind the user's back.
    ASSERT_EQ(pane.timing.size(), 1u);
    EXPECT_EQ(RecordDisplayName(recordAt(pane, 0)), "FILM");
    std::filesystem::permissions(pane.dbPath, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    ASSERT_TRUE(session.savePane(0, ui).ok) << ui.lastMessage();
    EXPECT_TRUE(std::filesystem::exists(dir / "RF0001AA.TRP"));
    EXPECT_EQ(reload(session, 0).timing.size(), 1u);
}
