// What a database write tells its caller, what it needs from the disk, and the backup it keeps.
#include "recdb/DbWriter.h"

#include "DbFileFixture.h"
#include "support/ResourceLimits.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace vmxtest;
namespace fs = std::filesystem;

// A change the next write puts on disk: record 1 gets a new first letter.
void renameFirst(char letter)
{
    AVMRec rec{};
    ASSERT_EQ(DBMGetRecord(2, 1, &rec), 1);
    rec.name[1] = static_cast<std::uint8_t>(letter);
    DBMSetRecord(2, 1, &rec);
}

TEST_F(DbFile, FailuresNameTheRealFileAndTheReason)
{
    struct Case {
        const char* what;
        std::function<void(const std::string& db)> arrange;
        std::function<std::string(const std::string& db)> expected;
        const char* checkReason;  // what the check before the write says
        bool fullDisk;
    };
    const Case cases[] = {
        {"a missing database", [](const std::string& db) { fs::remove(db); },
         [](const std::string& db) { return "cannot open " + db + ": No such file or directory."; },
         "No such file or directory", false},
        {"a read-only database",
         [](const std::string& db) { fs::permissions(db, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write, fs::perm_options::remove); },
         [](const std::string& db) { return "the database " + db + " is read-only, so it cannot be written."; }, "is read-only", false},
        {"a named pipe",
         [](const std::string& db) {
             fs::remove(db);
             ASSERT_EQ(::mkfifo(db.c_str(), 0644), 0);
         },
         [](const std::string& db) { return db + " is a named pipe, not a regular file; it was left alone."; },
         "is a named pipe", false},
        {"a folder where the backup goes", [](const std::string& db) { fs::create_directory(vmx::BackupPathOf(db)); },
         [](const std::string& db) { return "cannot put the backup " + vmx::BackupPathOf(db) + " in place: Is a directory."; },
         "is a folder", false},
        {"a full disk", [](const std::string&) {},
         [](const std::string& db) { return "cannot write the database " + db + ": File too large."; }, "File too large", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir caseDir;
        dbPath = (caseDir / "DZT000.DB").string();
        vmx::SetCurrentDbPath(dbPath);
        loadOneAndTwo();
        renameFirst('Z');
        c.arrange(dbPath);
        const bool fifo = fs::is_fifo(dbPath);
        const auto before = fifo ? std::vector<std::uint8_t>() : readBytes(dbPath);
        std::string checked;
        std::string written;
        {
            std::unique_ptr<FileSizeLimit> limit;
            if (c.fullDisk)
                limit = std::make_unique<FileSizeLimit>(4096);
            checked = vmx::CheckDbWritable(dbPath);
            written = vmx::WriteDb(vmx::CurrentStore(), dbPath);
        }
        EXPECT_EQ(written, c.expected(dbPath));
        EXPECT_EQ(written.find("C:\\"), std::string::npos);
        // The check finds the same trouble before anything is written, and changes nothing.
        EXPECT_NE(checked.find(c.checkReason), std::string::npos) << checked;
        if (!fifo && fs::exists(dbPath)) {
            EXPECT_EQ(readBytes(dbPath), before);
        }
        for (const auto& entry : fs::directory_iterator(caseDir.path()))
            EXPECT_EQ(entry.path().filename().string().find(".velmorix~"), std::string::npos) << "no temporary file is left";
        EXPECT_TRUE(!fs::exists(caseDir / "DZT000.BAK") || fs::is_directory(caseDir / "DZT000.BAK"));
    }
    dbPath = (dir / "DZT000.DB").string();
    vmx::SetCurrentDbPath(dbPath);
    loadOneAndTwo();
    EXPECT_EQ(vmx::CheckDbWritable(dbPath), "");
    EXPECT_FALSE(fs::exists(dir / "DZT000.BAK")) << "the check writes nothing";
    expectNoTemporaryFile();
}

TEST_F(DbFile, OneOperationKeepsOneBackupFromBeforeIt)
{
    const auto original = loadOneAndTwo();
    {
        vmx::DbOperation copy;
        renameFirst('A');
        ASSERT_EQ(copy.write(vmx::CurrentStore(), dbPath), "");
        const auto afterFirst = readBytes(dbPath);
        renameFirst('B');
        ASSERT_EQ(copy.write(vmx::CurrentStore(), dbPath), "");
        ASSERT_EQ(copy.write(vmx::CurrentStore(), dbPath), "");
        EXPECT_NE(readBytes(dbPath), afterFirst);
        EXPECT_EQ(readBytes(dir / "DZT000.BAK"), original) << "the backup is the database before the operation";
    }
    // The next operation's backup is the database as the first one left it; a first write that
    // fails takes no backup, so the one that succeeds after it does.
    const auto beforeSecond = readBytes(dbPath);
    vmx::DbOperation second;
    fs::permissions(dbPath, fs::perms::owner_write, fs::perm_options::remove);
    renameFirst('C');
    EXPECT_NE(second.write(vmx::CurrentStore(), dbPath), "");
    fs::permissions(dbPath, fs::perms::owner_write, fs::perm_options::add);
    ASSERT_EQ(second.write(vmx::CurrentStore(), dbPath), "");
    renameFirst('D');
    ASSERT_EQ(second.write(vmx::CurrentStore(), dbPath), "");
    EXPECT_EQ(readBytes(dir / "DZT000.BAK"), beforeSecond);
}

TEST_F(DbFile, TrailingBytesOfADamagedDatabaseAreStreamedNotHeldInMemory)
{
    if (UnderAddressSanitizer())
        GTEST_SKIP() << "an address-space limit cannot work beside AddressSanitizer's shadow memory";
    loadOneAndTwo();
    // 64 MiB of old bytes behind the content, which a write must carry over into the new file
    // and the backup: a hole (a sparse file) with a few bytes at its end. The hole stays a hole:
    // neither file takes room for it.
    constexpr std::uint64_t kTrailing = 64u << 20;
    const auto size = fs::file_size(dbPath);
    fs::resize_file(dbPath, size + kTrailing - 4);
    {
        std::ofstream tail(dbPath, std::ios::binary | std::ios::app);
        tail << "tail";
    }
    renameFirst('Z');
    EXPECT_EXIT(
        {
            LimitAddressSpace(32u << 20);
            std::_Exit(vmx::WriteDb(vmx::CurrentStore(), dbPath).empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    for (const fs::path& written : {fs::path(dbPath), dir / "DZT000.BAK"}) {
        SCOPED_TRACE(written.string());
        EXPECT_EQ(fs::file_size(written), size + kTrailing);
        const std::vector<std::uint8_t> bytes = readBytes(written);
        EXPECT_EQ(std::string(bytes.end() - 4, bytes.end()), "tail");
        struct stat st {};
        ASSERT_EQ(::stat(written.c_str(), &st), 0);
        EXPECT_LT(static_cast<std::uint64_t>(st.st_blocks) * 512, 4u << 20) << "the hole was written out";
    }
    ASSERT_EQ(AVMReadDb(2), 0);
    AVMRec rec{};
    ASSERT_EQ(DBMGetRecord(2, 1, &rec), 1);
    EXPECT_EQ(rec.name[1], 'Z');
}

}  // namespace
