// Reading and writing database files through the file cache.
#include "recdb/DbCheck.h"
#include "recdb/DbReader.h"
#include "recdb/DbWriter.h"
#include "recdb/DiskNaming.h"
#include "recdb/FileCache.h"
#include "recdb/RecordStore.h"
#include "recdb/Trace.h"

#include "DbFileFixture.h"
#include "support/DbImage.h"
#include "support/ResourceLimits.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace vmxtest;
namespace fs = std::filesystem;

TEST_F(DbFile, SixByteFileLoadsAsAnEmptyStoreWithoutMessages)
{
    writeBytes(dbPath, {0, 5, 0, 6, 0, 0});
    DBMTrace("none");
    ASSERT_EQ(AVMReadDb(2), 0);
    EXPECT_STREQ(DBMLastTrace(), "none");
    EXPECT_EQ(table().count, 0);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(table().records[i].id, 0);
}

TEST_F(DbFile, RejectedHeadersFailTheLoad)
{
    const struct {
        std::uint16_t version, size, count;
        const char* message;
    } cases[] = {
        {3, 6, 201, "infor: AVMReadDb header size(6)version(3)count(201)."},
        {5, 0, 1, "infor: AVMReadDb header size(0)version(5)count(1)."},
        {5, 513, 1, "infor: AVMReadDb header size(513)version(5)count(1)."},
        {6, 6, 2, "infor: AVMReadDb unknown version(6)count(2)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        TestDb db;
        db.version = c.version;
        db.headerSize = c.size;
        db.count = c.count;
        EXPECT_EQ(load(db), 1);
        EXPECT_STREQ(DBMLastTrace(), c.message);
        EXPECT_FALSE(vmx::RetryName()) << "the retry flag is cleared again";
    }
    writeBytes(dbPath, {});
    EXPECT_EQ(AVMReadDb(2), 1) << "an empty file has header size 0";
    vmx::SetCurrentDbPath((dir / "missing.DB").string());
    EXPECT_EQ(AVMReadDb(2), 1);
    EXPECT_STREQ(DBMLastTrace(), "infor: AVMReadDb error open(C:\\RECORD\\DZT000.BAK).");
}

TEST_F(DbFile, EveryVersionCarriesItsFields)
{
    for (std::uint16_t version = 0; version <= 5; ++version) {
        SCOPED_TRACE(version);
        std::mt19937 rng(version);
        TestDb db;
        db.version = version;
        db.count = 2;
        db.records[3] = randomRecord(rng, 2, 4, 2);
        db.records[7] = randomRecord(rng, 1, 8, 0);
        ASSERT_EQ(load(db), 0);
        const AVMRec a = record(2);
        const TestRecord& want = db.records[3];
        EXPECT_EQ(a.slot, 4);
        EXPECT_EQ(0, std::memcmp(a.name, want.name.data(), 16));
        EXPECT_EQ(a.startTime, want.startTime);
        EXPECT_EQ(a.duration, want.duration);
        EXPECT_EQ(a.ecmPid, want.streams[4]);
        EXPECT_EQ(a.streamWord6, want.streams[5]);
        EXPECT_EQ(a.attr3, want.attr3);
        EXPECT_EQ(0, std::memcmp(a.attrBlock, want.attrBlock.data(), 48));
        EXPECT_EQ(a.partCount, 2);
        EXPECT_STREQ(a.parts[1].name, "RF0004AB.TRP");
        if (version >= 4) {
            EXPECT_EQ(a.extA, want.extA);
            EXPECT_EQ(a.extC[2], want.extC[2]);
        } else {
            EXPECT_EQ(a.extA, 24u) << "old versions count 12 per part name starting with R";
        }
        if (version == 5) {
            EXPECT_EQ(a.extD, want.extD);
        }
        EXPECT_EQ(record(1).slot, 8);
    }
}

TEST_F(DbFile, FieldsAnOlderVersionLacksReadAsZeroNotAsTheEarlierDatabase)
{
    for (std::uint16_t version : {3, 4}) {
        SCOPED_TRACE(version);
        std::mt19937 rng(version);
        TestDb first;
        first.count = 1;
        first.records[0] = randomRecord(rng, 1, 1, 1);
        ASSERT_EQ(load(first), 0);
        ASSERT_NE(record(1).extD, 0);
        TestDb older;
        older.version = version;
        older.count = 1;
        older.records[0] = randomRecord(rng, 1, 1, 1);
        ASSERT_EQ(load(older), 0);
        const AVMRec rec = record(1);
        EXPECT_EQ(rec.extD, 0);
        if (version == 3) {
            EXPECT_EQ(rec.extB, 0u);
            EXPECT_EQ(rec.extC[0], 0u);
            EXPECT_EQ(rec.extC[2], 0u);
        } else {
            EXPECT_EQ(rec.extB, older.records[0].extB);
        }
    }
}

TEST_F(DbFile, ChecksumMismatchIsReportedAndTheRecordKept)
{
    TestDb db;
    db.count = 1;
    db.records[4] = makeRecord(1, "Arte", 5, 1);
    db.records[4].badChecksum = true;
    ASSERT_EQ(load(db), 0);
    EXPECT_EQ(record(1).partCount, 1);
    // The message of record index 4 was followed by more reads, so rebuild to see it last.
    db.records.clear();
    db.records[199] = makeRecord(1, "Arte", 200, 0);
    db.records[199].badChecksum = true;
    ASSERT_EQ(load(db), 0);
    unsigned sum = 0;
    const auto bytes = encodeDb(db);
    const std::size_t at = 512 + 199 * 145;
    for (std::size_t k = 0; k < 144; ++k)
        sum += bytes[at + k];
    char expected[80];
    std::snprintf(expected, sizeof expected, "fatal: AVMReadDbSub ERR i(199/1)sum(0x%x:0x%x).", sum & 0xFF, bytes[at + 144]);
    EXPECT_STREQ(DBMLastTrace(), expected);
    EXPECT_EQ((sum + 1) & 0xFF, bytes[at + 144]);
}

TEST_F(DbFile, FailedLoadLeavesTheStoreAsItWas)
{
    TestDb good;
    good.count = 2;
    good.records[0] = makeRecord(1, "One", 1, 1);
    good.records[1] = makeRecord(2, "Two", 2, 1);
    ASSERT_EQ(load(good), 0);

    TestDb bad;
    bad.count = 1;
    bad.records[0] = makeRecord(1, "Other", 1, 0);
    bad.records[5].partCountOverride = 281;
    bad.records[5].id = 2;
    EXPECT_EQ(load(bad), 1);
    EXPECT_STREQ(DBMLastTrace(), "infor: AVMReadDbSub AVMRec count(281).");
    EXPECT_EQ(table().count, 2);
    AVMRec one = record(1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(one.name + 1)), "One");
    EXPECT_EQ(record(2).partCount, 1);
}

TEST_F(DbFile, SuccessfulLoadStartsFromAnEmptyIdMap)
{
    TestDb big;
    big.count = 3;
    for (int i = 0; i < 3; ++i)
        big.records[i] = makeRecord(static_cast<std::uint16_t>(i + 1), "Big", i + 1, 1);
    ASSERT_EQ(load(big), 0);
    TestDb small;
    small.count = 1;
    small.records[0] = makeRecord(1, "Small", 1, 1);
    ASSERT_EQ(load(small), 0);
    EXPECT_EQ(table().idMap[1], kDBMMapFree);
    EXPECT_EQ(table().idMap[2], kDBMMapFree);
    // The next record is listed second and written, not lost behind a stale entry.
    std::uint16_t id = 0;
    AVMRec rec{};
    ASSERT_EQ(DBMAllocRecord(2, &id, &rec), 1);
    EXPECT_EQ(id, 2);
    ASSERT_EQ(AVMWriteDb(2), 0);
    ASSERT_EQ(AVMReadDb(2), 0);
    EXPECT_EQ(table().count, 2);
}

TEST_F(DbFile, ReadsPastTheEndAreZerosNotAnEarlierFile)
{
    // A long file fills both windows with non-zero bytes...
    std::vector<std::uint8_t> noise(300000, 0xAB);
    writeBytes(dir / "noise", noise);
    const int fd = ::open((dir / "noise").c_str(), O_RDONLY);
    vmx::SetCacheFile(fd);
    AVMResetFileCache();
    std::uint8_t byte = 0;
    ASSERT_EQ(AVMReadFile(140000, &byte, 1), 0);
    EXPECT_EQ(byte, 0xAB);
    ::close(fd);
    // ...and a short file read at the same places shows zeros.
    writeBytes(dir / "short", {1, 2, 3});
    const int fd2 = ::open((dir / "short").c_str(), O_RDONLY);
    vmx::SetCacheFile(fd2);
    AVMResetFileCache();
    std::uint8_t bytes[8];
    ASSERT_EQ(AVMReadFile(0, bytes, 8), 0);
    EXPECT_EQ(bytes[2], 3);
    EXPECT_EQ(bytes[3], 0);
    ASSERT_EQ(AVMReadFile(140000, &byte, 1), 0);
    EXPECT_EQ(byte, 0);
    ::close(fd2);
    vmx::SetCacheFile(-1);
}

TEST_F(DbFile, ReadsAcrossWindowsAndLargeWritesMatchTheBytes)
{
    std::vector<std::uint8_t> data(400000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    writeBytes(dir / "data", data);
    int fd = ::open((dir / "data").c_str(), O_RDONLY);
    vmx::SetCacheFile(fd);
    AVMResetFileCache();
    std::vector<std::uint8_t> got(kAVMWindowSize);
    for (std::uint32_t pos : {0u, 131000u, 131060u, 262100u, 5u, 270000u}) {
        SCOPED_TRACE(pos);
        ASSERT_EQ(AVMReadFile(pos, got.data(), 100), 0);
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + 100, data.begin() + pos));
    }
    ASSERT_EQ(AVMReadFile(100, got.data(), kAVMWindowSize), 0);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin() + 100));
    EXPECT_EQ(AVMReadFile(0, got.data(), kAVMWindowSize + 1), 1) << "longer than a window";
    ::close(fd);

    // Pieces written through the window give the same file as one large write.
    fd = ::open((dir / "out").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    vmx::SetCacheFile(fd);
    AVMResetFileCache();
    std::uint32_t pos = 0;
    for (std::uint32_t len : {6u, 506u, 131000u, 131072u, 100u, 7u}) {
        ASSERT_EQ(AVMWriteFile(pos, data.data() + pos, len), 0);
        pos += len;
    }
    ASSERT_EQ(AVMWriteFile(pos, nullptr, 0), 0);
    ::close(fd);
    vmx::SetCacheFile(-1);
    const auto written = readBytes(dir / "out");
    ASSERT_EQ(written.size(), pos);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), data.begin()));
}

TEST_F(DbFile, EmptyStoreIsWrittenAsHeaderAndTwoHundredFreeSections)
{
    writeBytes(dbPath, {0, 5, 0, 6, 0, 0});
    ASSERT_EQ(AVMReadDb(2), 0);
    ASSERT_EQ(AVMWriteDb(2), 0);
    const auto bytes = readBytes(dbPath);
    ASSERT_EQ(bytes.size(), 29512u);
    const std::vector<std::uint8_t> header{0, 5, 0, 6, 0, 0};
    EXPECT_TRUE(std::equal(header.begin(), header.end(), bytes.begin()));
    EXPECT_TRUE(std::all_of(bytes.begin() + 6, bytes.end(), [](auto b) { return b == 0; }));
    EXPECT_EQ(readBytes(dir / "DZT000.BAK"), header) << "the previous content is the backup";
}

TEST_F(DbFile, WritingRenumbersInListOrderAndRoundTripsBytes)
{
    TestDb db;
    db.count = 2;
    db.records[4] = makeRecord(2, "Four", 5, 2);
    db.records[9] = makeRecord(1, "Nine", 10, 1);
    ASSERT_EQ(load(db), 0);
    ASSERT_EQ(AVMWriteDb(2), 0);
    EXPECT_EQ(readBytes(dbPath), encodeDb(db)) << "a version 5 file is written back unchanged";
    EXPECT_EQ(table().records[4].id, 2);
    EXPECT_EQ(table().records[9].id, 1);

    // Older versions come back as version 5 with the same records.
    db.version = 3;
    ASSERT_EQ(load(db), 0);
    ASSERT_EQ(AVMWriteDb(2), 0);
    TestDb v5 = db;
    v5.version = 5;
    v5.records[4].extA = 24;
    v5.records[9].extA = 12;
    EXPECT_EQ(readBytes(dbPath), encodeDb(v5));
}

TEST_F(DbFile, BytesAfterTheLastSectionSurviveAWrite)
{
    TestDb db;
    db.count = 1;
    db.records[0] = makeRecord(1, "One", 1, 3);
    auto bytes = encodeDb(db);
    bytes.insert(bytes.end(), {9, 8, 7});
    writeBytes(dbPath, bytes);
    ASSERT_EQ(AVMReadDb(2), 0);
    AVMRec rec = record(1);
    rec.partCount = 1;  // the new content is 24 bytes shorter
    DBMSetRecord(2, 1, &rec);
    ASSERT_EQ(AVMWriteDb(2), 0);
    const auto after = readBytes(dbPath);
    ASSERT_EQ(after.size(), bytes.size());
    EXPECT_TRUE(std::equal(after.end() - 27, after.end(), bytes.end() - 27));
}

TEST_F(DbFile, DeletedRecordsLosePartFilesFromTheDatabaseFolderOnly)
{
    TestDb db;
    db.count = 3;
    for (int i = 0; i < 3; ++i) {
        db.records[i] = makeRecord(static_cast<std::uint16_t>(i + 1), "Rec", i + 1, 2);
        touchParts(db.records[i]);
    }
    ASSERT_EQ(load(db), 0);
    // A file of the same name in the current folder must survive.
    TempDir elsewhere;
    const fs::path cwd = fs::current_path();
    fs::current_path(elsewhere.path());
    writeText(elsewhere / "RF0002AA.TRP", "not ours");

    DBMDeleteRecord(1);
    ASSERT_EQ(AVMWriteDb(2), 0);
    fs::current_path(cwd);
    EXPECT_STREQ(DBMLastTrace(), ("fatal: file name(" + (dir / "RF0002AB.TRP").string() + ").").c_str());
    EXPECT_FALSE(fs::exists(dir / "RF0002AA.TRP"));
    EXPECT_FALSE(fs::exists(dir / "RF0002AB.TRP"));
    EXPECT_TRUE(fs::exists(dir / "RF0001AA.TRP"));
    EXPECT_TRUE(fs::exists(dir / "RF0003AB.TRP"));
    EXPECT_TRUE(fs::exists(elsewhere / "RF0002AA.TRP"));

    TestDb expected = db;
    expected.count = 2;
    expected.records.erase(1);
    expected.records[2].id = 2;
    // The new content is 24 bytes shorter; the old file's last bytes stay behind it.
    const auto written = readBytes(dbPath);
    const auto want = encodeDb(expected);
    ASSERT_EQ(written.size(), want.size() + 24);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), written.begin()));
    EXPECT_EQ(table().records[1].id, 0) << "the deleted record is free again";
    EXPECT_EQ(table().records[1].partCount, 2) << "its part list stays for reuse";
}

TEST_F(DbFile, HostilePartNamesNeverReachTheFileSystem)
{
    TempDir outside;
    writeText(outside / "victim", "keep me");
    TestDb db;
    db.count = 1;
    db.records[0] = makeRecord(1, "Evil", 1, 0);
    // "../" reaches out of the folder; 12 bytes exactly.
    const std::string rel = fs::relative(outside / "victim", dir.path()).string();
    ASSERT_EQ(rel.substr(0, 3), "../");
    db.records[0].parts = {"../../../../", "/etc/passwd\0"};
    db.records[0].parts[1].resize(12, '\0');
    ASSERT_EQ(load(db), 0);
    EXPECT_EQ(record(1).partCount, 2) << "the record is still listed";
    DBMDeleteRecord(0);
    ASSERT_EQ(AVMWriteDb(2), 0);
    EXPECT_TRUE(fs::exists("/etc/passwd"));
    EXPECT_TRUE(fs::exists(outside / "victim"));
    EXPECT_TRUE(fs::exists(dir.path()));
}

TEST_F(DbFile, FailedWriteKeepsTheDatabaseAndTheDeletedRecordsFiles)
{
    const auto before = loadOneAndTwo();
    // The backup cannot be put in place: a folder stands where it goes.
    fs::create_directory(dir / "DZT000.BAK");
    writeText(dir / "DZT000.BAK" / "x", "x");
    DBMDeleteRecord(0);
    EXPECT_EQ(AVMWriteDb(2), 1);
    EXPECT_EQ(readBytes(dbPath), before);
    EXPECT_TRUE(fs::exists(dir / "RF0001AA.TRP"));
    expectNoTemporaryFile();
    // Once the obstacle is gone the deletion completes.
    fs::remove_all(dir / "DZT000.BAK");
    ASSERT_EQ(AVMWriteDb(2), 0);
    EXPECT_FALSE(fs::exists(dir / "RF0001AA.TRP"));
    EXPECT_EQ(readBytes(dir / "DZT000.BAK"), before);
}

TEST_F(DbFile, UnknownIdsAreNeitherListedNorDeleted)
{
    TestDb db;
    db.count = 1;
    db.records[0] = makeRecord(1, "One", 1, 1);
    db.records[1] = makeRecord(0xFFFF, "Ghost", 2, 1);
    touchParts(db.records[1]);
    ASSERT_EQ(load(db), 0);
    ASSERT_EQ(AVMWriteDb(2), 0);
    EXPECT_TRUE(fs::exists(dir / "RF0002AA.TRP"));
}

TEST_F(DbFile, WriteNeedsAnExistingDatabase)
{
    vmx::SetCurrentDbPath((dir / "none.DB").string());
    EXPECT_EQ(AVMWriteDb(2), 1);
    EXPECT_STREQ(DBMLastTrace(), "infor: AVMWriteDb error open(C:\\RECORD\\DZT005.BAK).");
    EXPECT_FALSE(fs::exists(dir / "none.DB"));
}

TEST_F(DbFile, OnlyARegularFileIsADatabase)
{
    // A FIFO would block a plain open until a writer comes; the alarm turns a hang into a failure.
    ASSERT_EQ(::mkfifo((dir / "fifo.DB").c_str(), 0644), 0);
    fs::create_directory(dir / "folder.DB");
    for (const char* name : {"fifo.DB", "folder.DB", "/dev/null"}) {
        SCOPED_TRACE(name);
        const std::string path = name[0] == '/' ? std::string(name) : (dir / name).string();
        vmx::SetCurrentDbPath(path);
        ::alarm(20);
        EXPECT_EQ(AVMReadDb(2), 1);
        EXPECT_STREQ(DBMLastTrace(), "infor: AVMReadDb error open(C:\\RECORD\\DZT000.BAK).");
        EXPECT_EQ(AVMWriteDb(2), 1);
        EXPECT_STREQ(DBMLastTrace(), "infor: AVMWriteDb error open(C:\\RECORD\\DZT005.BAK).");
        const auto problems = vmx::CheckDbFile(path);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_NE(problems[0].find("not a regular file"), std::string::npos) << problems[0];
        ::alarm(0);
    }
    EXPECT_FALSE(fs::exists(dir / "fifo.BAK"));
    EXPECT_TRUE(fs::is_fifo(dir / "fifo.DB"));
}

TEST_F(DbFile, ReadOnlyDatabaseIsNotReplaced)
{
    const auto before = loadOneAndTwo();
    fs::permissions(dbPath, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    DBMDeleteRecord(0);
    EXPECT_EQ(AVMWriteDb(2), 1);
    EXPECT_STREQ(DBMLastTrace(), "infor: AVMWriteDb error open(C:\\RECORD\\DZT005.BAK).");
    EXPECT_EQ(readBytes(dbPath), before);
    EXPECT_TRUE(fs::exists(dir / "RF0001AA.TRP"));
    EXPECT_FALSE(fs::exists(dir / "DZT000.BAK"));
    // Loading needs no write access.
    EXPECT_EQ(AVMReadDb(2), 0);
    fs::permissions(dbPath, fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(DbFile, DatabaseReachedThroughALinkIsNeverWritten)
{
    // The link's own folder and the folder it points into both stay as they were: no backup, no
    // temporary file, no part file removed, and the file behind the link unchanged.
    TestDb db;
    db.count = 2;
    db.records[0] = makeRecord(1, "One", 1, 1);
    db.records[1] = makeRecord(2, "Two", 2, 1);
    touchParts(db.records[0]);
    touchParts(db.records[1]);
    fs::create_directory(dir / "real");
    const fs::path real = dir / "real" / "DATA.DB";
    writeBytes(real, encodeDb(db));
    const auto before = readBytes(real);
    fs::create_symlink("real/DATA.DB", dbPath);
    ASSERT_EQ(AVMReadDb(2), 0);
    DBMDeleteRecord(0);
    EXPECT_NE(AVMWriteDb(2), 0);
    EXPECT_TRUE(fs::is_symlink(dbPath));
    EXPECT_EQ(readBytes(real), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "real"), fs::directory_iterator()), 1);
    EXPECT_FALSE(fs::exists(dir / "DZT000.BAK"));
    EXPECT_TRUE(fs::exists(dir / "RF0001AA.TRP"));
}

TEST_F(DbFile, RecordsTheCountDoesNotListStayInTheFile)
{
    const struct {
        const char* what;
        std::uint16_t count;
        std::vector<std::uint16_t> ids;  // of record indexes 0, 1, ...
    } cases[] = {
        {"an id beyond the header's count", 2, {1, 2, 3}},
        {"a hole in the ids", 3, {1, 2, 5}},
        {"two records with one id", 3, {1, 2, 2, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestDb db;
        db.count = c.count;
        for (std::size_t i = 0; i < c.ids.size(); ++i)
            db.records[static_cast<int>(i)] = makeRecord(c.ids[i], "Rec" + std::to_string(i), static_cast<int>(i) + 1, 1);
        ASSERT_EQ(load(db), 0);
        AVMRec first = record(1);
        first.name[1] = 'X';
        DBMSetRecord(2, 1, &first);
        ASSERT_EQ(AVMWriteDb(2), 0);
        db.records[0].name[1] = 'X';
        EXPECT_EQ(readBytes(dbPath), encodeDb(db)) << "only the renamed record changed";
    }
}

TEST_F(DbFile, FullDiskDuringTheWriteKeepsEverything)
{
    const auto before = loadOneAndTwo();
    DBMDeleteRecord(0);
    std::string error;
    {
        // Every write past 4 KB fails as on a full disk.
        FileSizeLimit limit(4096);
        error = vmx::WriteDb(vmx::CurrentStore(), dbPath);
    }
    EXPECT_EQ(error, "cannot write the database " + dbPath + ": File too large.");
    EXPECT_EQ(readBytes(dbPath), before);
    EXPECT_TRUE(fs::exists(dir / "RF0001AA.TRP"));
    EXPECT_FALSE(fs::exists(dir / "DZT000.BAK"));
    expectNoTemporaryFile();
    EXPECT_EQ(table().records[0].id, kDBMIdDeleted) << "the deletion is still pending";
}

TEST_F(DbFile, PartFilesAnotherRecordStillNamesAreKept)
{
    // The first record is deleted; on the receiver's FAT disk its part file is also the file that
    // another record of the damaged database names.
    const struct {
        const char* what;
        std::uint16_t count;
        std::uint16_t otherId;
        const char* otherPart;
    } cases[] = {
        {"listed, in other letter case", 2, 2, "rf0001aa.trp"},
        {"beyond the header's count", 1, 2, "RF0001AA.TRP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestDb db;
        db.count = c.count;
        db.records[0] = makeRecord(1, "Gone", 1, 1);
        db.records[1] = makeRecord(c.otherId, "Kept", 2, 1);
        db.records[1].parts[0] = c.otherPart;
        touchParts(db.records[0]);
        ASSERT_EQ(load(db), 0);
        DBMDeleteRecord(0);
        ASSERT_EQ(AVMWriteDb(2), 0);
        EXPECT_TRUE(fs::exists(dir / "RF0001AA.TRP"));
        EXPECT_STREQ(DBMLastTrace(),
                     ("fatal: file name(" + (dir / "RF0001AA.TRP").string() + ") kept: a recording names it.").c_str());
    }
}

TEST_F(DbFile, SwapTwiceRestoresTheImage)
{
    std::uint8_t image[144];
    for (int i = 0; i < 144; ++i)
        image[i] = static_cast<std::uint8_t>(i);
    std::uint8_t copy[144];
    std::memcpy(copy, image, sizeof image);
    // The part count as it stood before, bytes 18 and 19 in the order they had.
    std::uint16_t before;
    std::memcpy(&before, image + 18, sizeof before);
    EXPECT_EQ(AVMSwapRecordImage(image), before);
    EXPECT_EQ(image[18], 19);
    EXPECT_EQ(image[96], 103);
    EXPECT_EQ(image[40], 40) << "bytes are not swapped";
    std::uint16_t after;
    std::memcpy(&after, image + 18, sizeof after);
    EXPECT_EQ(AVMSwapRecordImage(image), after);
    EXPECT_EQ(0, std::memcmp(image, copy, sizeof image));
}

TEST_F(DbFile, HeaderAsTheFileHoldsIt)
{
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        vmx::DbHeader header;
    } cases[] = {
        {"empty database", {0, 5, 0, 6, 0, 0}, {5, 6, 0}},
        {"count above 200", {0, 4, 0, 6, 0x01, 0x2C, 9, 9}, {4, 6, 300}},
        {"short file: the missing bytes read as zeros", {0, 5, 0, 6}, {5, 6, 0}},
        {"empty file", {}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(dbPath, c.bytes);
        vmx::DbHeader header{1, 1, 1};
        EXPECT_EQ(vmx::ReadDbHeader(dbPath, header), "");
        EXPECT_EQ(header.version, c.header.version);
        EXPECT_EQ(header.headerSize, c.header.headerSize);
        EXPECT_EQ(header.count, c.header.count);
    }
    vmx::DbHeader header;
    EXPECT_EQ(vmx::ReadDbHeader((dir / "missing.DB").string(), header),
              "cannot open " + (dir / "missing.DB").string() + ": No such file or directory.");
    ASSERT_EQ(::mkfifo((dir / "pipe.DB").c_str(), 0644), 0);
    EXPECT_NE(vmx::ReadDbHeader((dir / "pipe.DB").string(), header).find("is a named pipe"), std::string::npos);
}

}  // namespace
