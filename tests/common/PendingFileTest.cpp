#include "common/PendingFile.h"

#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vmxtest;
namespace fs = std::filesystem;

namespace {

// The hidden temporary files in a folder.
int temporaryFiles(const TempDir& dir)
{
    int n = 0;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        n += entry.path().filename().string().starts_with(".velmorix~") ? 1 : 0;
    return n;
}

}  // namespace

TEST(PendingFile, TheTargetChangesOnlyAtTheCommit)
{
    TempDir dir;
    const fs::path target = dir / "DZT000.DB";
    writeText(target, "old");
    {
        vmx::PendingFile file(target.string());
        ASSERT_TRUE(file.ok());
        ASSERT_EQ(::write(file.fd(), "new", 3), 3);
        EXPECT_EQ(readText(target), "old") << "written beside its place";
        EXPECT_EQ(temporaryFiles(dir), 1);
        EXPECT_EQ(file.commit(0600), 0);
        EXPECT_EQ(temporaryFiles(dir), 0);
    }
    EXPECT_EQ(readText(target), "new");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(PendingFile, AFileNeverCommittedIsRemoved)
{
    TempDir dir;
    const fs::path target = dir / "[m]News.trp";
    writeText(target, "an older merge");
    {
        vmx::PendingFile file(target.string());
        ASSERT_TRUE(file.ok());
        ASSERT_EQ(::write(file.fd(), "half", 4), 4);
    }
    EXPECT_EQ(readText(target), "an older merge");
    EXPECT_EQ(temporaryFiles(dir), 0);
}

TEST(PendingFile, AFolderThatTakesNoFileSaysSo)
{
    TempDir dir;
    vmx::PendingFile missingFolder((dir / "missing" / "x.trp").string());
    EXPECT_FALSE(missingFolder.ok());
    EXPECT_EQ(missingFolder.commit(), EBADF);
    // A name near the file system's limit still gets a temporary file of its own.
    vmx::PendingFile longName((dir / std::string(255, 'n')).string());
    ASSERT_TRUE(longName.ok());
    EXPECT_EQ(longName.commit(), 0);
    EXPECT_TRUE(fs::exists(dir / std::string(255, 'n')));
}

TEST(PendingFile, OnlyAbandonedTemporaryFilesOfOursAreRemoved)
{
    // A killed writer leaves its temporary file unlocked; a live writer's is locked; files whose
    // names are not of the pattern, however close (the pattern of earlier versions among them,
    // which a user's own file could match), belong to somebody else.
    TempDir dir;
    const std::string ours = ".velmorix~0123456789abcdef.tmp";
    writeText(dir / ours, "left by a killed copy");
    for (const char* stranger : {".velmorix~0123456789abcde.tmp", ".velmorix~0123456789ABCDEF.tmp",
                                 ".velmorix~0123456789abcdef.tmp2", ".velmorix~RF0001AA.TRP", ".velmorix-Ab12cd",
                                 "velmorix~0123456789abcdef.tmp"})
        writeText(dir / stranger, "not ours");
    vmx::PendingFile live((dir / "DZT000.DB").string());
    ASSERT_TRUE(live.ok());

    const std::string folder = dir.path().string() + "/";
    EXPECT_EQ(vmx::PendingFile::FindAbandoned(folder), std::vector<std::string>{folder + ours});
    EXPECT_TRUE(fs::exists(dir / ours)) << "finding removes nothing";
    EXPECT_EQ(vmx::PendingFile::RemoveAbandoned(folder), std::vector<std::string>{folder + ours});
    EXPECT_FALSE(fs::exists(dir / ours));
    EXPECT_EQ(temporaryFiles(dir), 5) << "the live writer's file and the hidden strangers stay";
    EXPECT_TRUE(fs::exists(dir / "velmorix~0123456789abcdef.tmp"));
    ASSERT_EQ(::write(live.fd(), "db", 2), 2);
    EXPECT_EQ(live.commit(), 0) << "the live writer still puts its file in place";
    EXPECT_EQ(readText(dir / "DZT000.DB"), "db");
}
