// The database file tests' fixture: side 0 pointed at DZT000.DB in a fresh folder.
#pragma once

#include "recdb/DbReader.h"
#include "recdb/DiskNaming.h"
#include "recdb/FileCache.h"
#include "recdb/RecordStore.h"

#include "support/DbImage.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vmxtest {

class DbFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DBMInitRecord(), 1);
        ASSERT_EQ(AVMInitFileCache(), 0);
        dbPath = (dir / "DZT000.DB").string();
        vmx::SetCurrentDbPath(dbPath);
    }

    unsigned char load(const TestDb& db)
    {
        writeBytes(dbPath, encodeDb(db));
        return AVMReadDb(2);
    }

    static AVMRecordTable table()
    {
        AVMRecordTable t{};
        DBMGetSys(2, &t);
        return t;
    }

    static AVMRec record(unsigned id)
    {
        AVMRec rec{};
        EXPECT_EQ(DBMGetRecord(2, id, &rec), 1) << "id " << id;
        return rec;
    }

    void touchParts(const TestRecord& r)
    {
        for (const auto& p : r.parts)
            writeText(dir / p, "part " + p);
    }

    // Loads records "One" (id 1, part RF0001AA.TRP on disk) and "Two"; returns the file's bytes.
    std::vector<std::uint8_t> loadOneAndTwo()
    {
        TestDb db;
        db.count = 2;
        db.records[0] = makeRecord(1, "One", 1, 1);
        db.records[1] = makeRecord(2, "Two", 2, 1);
        touchParts(db.records[0]);
        EXPECT_EQ(load(db), 0);
        return readBytes(dbPath);
    }

    void expectNoTemporaryFile() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            EXPECT_EQ(entry.path().filename().string().find(".velmorix~"), std::string::npos) << "no temporary file is left";
    }

    TempDir dir;
    std::string dbPath;
};

}  // namespace vmxtest
