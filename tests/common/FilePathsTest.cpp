#include "common/FilePaths.h"

#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace vmxtest;

TEST(FilePaths, FolderAndFileName)
{
    const struct {
        const char* path;
        const char* folder;
        const char* name;
    } cases[] = {
        {"/media/disk/RECORD/DZT000.DB", "/media/disk/RECORD/", "DZT000.DB"},
        {"DZT000.DB", "", "DZT000.DB"},  // the current folder
        {"/DZT000.DB", "/", "DZT000.DB"},
        {"/a.b/c.d.trp", "/a.b/", "c.d.trp"},
        {"RECORD/", "RECORD/", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(vmx::FolderOfPath(c.path), c.folder);
        EXPECT_EQ(vmx::FileNameOfPath(c.path), c.name);
        EXPECT_EQ(vmx::FolderOfPath(c.path) + vmx::FileNameOfPath(c.path), c.path);
    }
}

TEST(FilePaths, SameFileByDeviceAndInode)
{
    TempDir dir;
    writeText(dir / "DZT000.DB", "a");
    writeText(dir / "DZR000.DB", "a");
    std::filesystem::create_hard_link(dir / "DZT000.DB", dir / "hard.DB");
    std::filesystem::create_symlink(dir / "DZT000.DB", dir / "link.DB");
    const std::string db = (dir / "DZT000.DB").string();
    const struct {
        std::string other;
        bool same;
    } cases[] = {
        {db, true},
        {dir.str() + "/./DZT000.DB", true},
        {dir.str() + "/../" + dir.path().filename().string() + "/DZT000.DB", true},
        {(dir / "hard.DB").string(), true},
        {(dir / "link.DB").string(), true},
        {(dir / "DZR000.DB").string(), false},  // same content, another file
        {(dir / "missing.DB").string(), false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.other);
        EXPECT_EQ(vmx::IsSameFile(db, c.other), c.same);
        EXPECT_EQ(vmx::IsSameFile(c.other, db), c.same);
    }
}
