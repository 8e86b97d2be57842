// The read-only check of a database and the part files of its folder.
#include "recdb/DbCheck.h"

#include "support/DbImage.h"
#include "support/ResourceLimits.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using namespace vmxtest;
namespace fs = std::filesystem;

TEST(DbCheck, PartsOfTheFolderOtherDatabasesAreNotStrays)
{
    // DZT000.DB and DZR000.DB share the receiver's RECORD folder; each one's parts are named,
    // whatever letter case the FAT disk shows them in. Only a file no database names is a stray.
    TempDir dir;
    TestDb dzt;
    dzt.count = 1;
    dzt.records[0] = makeRecord(1, "One", 1, 1);
    TestDb dzr;
    dzr.count = 2;
    dzr.records[1] = makeRecord(1, "Two", 2, 2);
    dzr.records[2] = makeRecord(2, "Three", 3, 1);
    writeBytes(dir / "DZT000.DB", encodeDb(dzt));
    writeBytes(dir / "DZR000.DB", encodeDb(dzr));
    for (const char* part : {"RF0001AA.TRP", "RF0002AA.TRP", "rf0002ab.trp", "RF0003AA.TRP", "RF0009AA.TRP"})
        writeText(dir / part, "part");
    const auto problems = vmx::CheckDbFile((dir / "DZT000.DB").string());
    EXPECT_EQ(problems, std::vector<std::string>{"part file " + (dir / "RF0009AA.TRP").string() +
                                                 " is not named by any recording."});
}

TEST(DbCheck, WhatInterruptedOperationsLeftIsReported)
{
    // The plan of a cut, a part on its way to its new name, a part of a copy or deletion under its
    // staged name, a journal set aside and an abandoned temporary file are each named; the check
    // changes none of them.
    TempDir dir;
    TestDb dzt;
    dzt.count = 1;
    dzt.records[0] = makeRecord(1, "One", 1, 1);
    writeBytes(dir / "DZT000.DB", encodeDb(dzt));
    writeText(dir / "RF0001AA.TRP", "part");
    const std::vector<std::string> leftovers{".DZT000.DB.cut", ".DZT000.DB.cut-002", ".velmorix~RF0002AA.TRP",
                                             ".DZR000.DB.cut.set-aside", ".velmorix~0123456789abcdef.tmp"};
    for (const std::string& name : leftovers)
        writeText(dir / name, "left");
    writeText(dir / ".DZR000.DB.cut-002", "the other database's");

    const auto problems = vmx::CheckDbFile((dir / "DZT000.DB").string());
    EXPECT_EQ(problems.size(), leftovers.size());
    for (const std::string& name : leftovers) {
        const std::string path = (dir / name).string();
        EXPECT_EQ(std::count_if(problems.begin(), problems.end(),
                                [&](const std::string& p) { return p.starts_with(path + " "); }),
                  1)
            << name;
        EXPECT_TRUE(fs::exists(dir / name));
    }
}

TEST(DbCheck, AHugeFileIsReadInBoundedPieces)
{
    if (UnderAddressSanitizer())
        GTEST_SKIP() << "an address-space limit cannot work beside AddressSanitizer's shadow memory";
    // An empty database followed by 3 GiB of old bytes (a sparse file): only the first bytes,
    // as many as a database's content can span, are ever read.
    TempDir dir;
    const fs::path db = dir / "DZT000.DB";
    writeBytes(db, encodeDb(TestDb{}));
    fs::resize_file(db, 3ull << 30);
    EXPECT_EXIT(
        {
            LimitAddressSpace(64u << 20);
            std::_Exit(vmx::CheckDbFile(db.string()).empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
