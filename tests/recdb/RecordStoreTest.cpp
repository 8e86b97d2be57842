#include "recdb/RecordStore.h"

#include "recdb/DiskNaming.h"
#include "recdb/Trace.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class RecordStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DBMInitRecord(), 1);
        DBMSetActiveSide(0);
    }

    static std::uint16_t alloc()
    {
        std::uint16_t id = 0;
        AVMRec rec{};
        EXPECT_EQ(DBMAllocRecord(2, &id, &rec), 1);
        return id;
    }

    static AVMRecordTable table()
    {
        AVMRecordTable t{};
        DBMGetSys(2, &t);
        return t;
    }
};

TEST_F(RecordStore, IdsOutsideTheMapAreRejectedWithTheIndexMessage)
{
    AVMRec rec{};
    for (unsigned id : {0u, 201u}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(DBMGetRecord(2, id, &rec), 0);
        EXPECT_EQ(std::string(DBMLastTrace()), "infor: DBMGetRecord error index(" + std::to_string(id) + ").");
    }
    EXPECT_EQ(DBMGetRecord(2, 1, &rec), 0) << "a free id fails silently";
}

TEST_F(RecordStore, TwoHundredAllocationsFillTheStoreAndTheNextIsRefused)
{
    for (int i = 1; i <= 200; ++i)
        ASSERT_EQ(alloc(), i);
    AVMRec rec{};
    EXPECT_EQ(DBMGetRecord(2, 200, &rec), 1);
    EXPECT_EQ(rec.id, 200);
    std::uint16_t id = 0;
    EXPECT_EQ(DBMAllocRecord(2, &id, &rec), 0);
    EXPECT_STREQ(DBMLastTrace(), "infor: DBMAllocRecord error addr full.");
    EXPECT_EQ(table().count, 200);
}

TEST_F(RecordStore, DeletingTheFirstOfThreeMovesTheLaterIdsDown)
{
    alloc();
    alloc();
    alloc();
    DBMDeleteRecord(0);
    const AVMRecordTable t = table();
    EXPECT_EQ(t.count, 2);
    EXPECT_EQ(t.idMap[0], 1);
    EXPECT_EQ(t.idMap[1], 2);
    EXPECT_EQ(t.idMap[2], kDBMMapFree);
    EXPECT_EQ(t.records[0].id, kDBMIdDeleted);
    // The deleted record is not reused until the next write frees it.
    EXPECT_EQ(alloc(), 3);
    EXPECT_EQ(table().idMap[2], 3);
}

TEST_F(RecordStore, PseudoRecordsAreSharedByBothSidesOnlyForRecordings)
{
    for (int side : {0, 1}) {
        SCOPED_TRACE(side);
        DBMSetActiveSide(side);
        AVMRec rec{};
        ASSERT_EQ(DBMGetRecord(2, 0xFFFD, &rec), 1);
        EXPECT_EQ(rec.vid, 3);
        EXPECT_EQ(rec.aid, 2);
        EXPECT_EQ(rec.pid, 4);
        EXPECT_EQ(rec.extA, 0x10000000u);
        ASSERT_EQ(DBMGetRecord(2, 0xFFFF, &rec), 1);
        EXPECT_EQ(rec.extA, 0xF0000000u);
    }
    AVMRec rec{};
    EXPECT_EQ(DBMGetRecord(3, 0xFFFD, &rec), 0);
    EXPECT_STREQ(DBMLastTrace(), "infor: DBMGetRecord error index(65533).");
}

TEST_F(RecordStore, UnknownTypesAreRejectedButGetSysSucceedsWithoutCopying)
{
    AVMRec rec{};
    EXPECT_EQ(DBMGetRecord(6, 1, &rec), 0);
    EXPECT_STREQ(DBMLastTrace(), "infor: DBMGetRecord error type(6).");
    AVMRecordTable t{};
    t.count = 77;
    EXPECT_EQ(DBMGetSys(6, &t), 1);
    EXPECT_EQ(t.count, 77);
    // Only the low 8 bits of a type count.
    EXPECT_EQ(DBMGetRecord(0x102, 0xFFFD, &rec), 1);
    // Types without records never hand out one.
    std::uint16_t id = 0;
    EXPECT_EQ(DBMAllocRecord(3, &id, &rec), 0);
    EXPECT_EQ(DBMGetRecord(3, 1, &rec), 0);
}

TEST_F(RecordStore, SidesAreIndependent)
{
    alloc();
    alloc();
    DBMSetActiveSide(1);
    EXPECT_EQ(table().count, 0);
    EXPECT_EQ(alloc(), 1);
    DBMSetActiveSide(0);
    EXPECT_EQ(table().count, 2);
}

TEST_F(RecordStore, SetRecordStoresOnlyIntoListedIds)
{
    const auto id = alloc();
    AVMRec rec{};
    DBMGetRecord(2, id, &rec);
    rec.duration = 1234;
    DBMSetRecord(2, id, &rec);
    AVMRec back{};
    DBMGetRecord(2, id, &back);
    EXPECT_EQ(back.duration, 1234u);
    DBMSetRecord(2, 5, &rec);  // free id: nothing stored
    EXPECT_EQ(DBMGetRecord(2, 5, &back), 0);
    DBMSetRecord(2, 0, &rec);
    EXPECT_STREQ(DBMLastTrace(), "infor: DBMGetRecord error index(0).");
}

TEST_F(RecordStore, CheckRecordRecountsListedRecords)
{
    alloc();
    alloc();
    AVMRecordTable t = table();
    t.count = 9;
    DBMSetSys(2, &t);
    DBMCheckRecord();
    EXPECT_STREQ(DBMLastTrace(), "infor: DBMCheckRecord type(2) count(9->2).");
    EXPECT_EQ(table().count, 2);
}

TEST_F(RecordStore, DeleteReportsBadPositions)
{
    DBMDeleteRecord(200);
    EXPECT_STREQ(DBMLastTrace(), "infor: DBMDeleteRecord error index(201).");
    DBMDeleteRecord(0);
    EXPECT_STREQ(DBMLastTrace(), "infor: DBMDeleteRecord error id(65535).");
}

TEST_F(RecordStore, RecordPrefixIsTheStoreIndexPlusOne)
{
    for (int i = 0; i < 7; ++i)
        alloc();
    AVMRec rec{};
    DBMGetRecord(2, 7, &rec);
    char prefix[8] = {};
    AVMMakeRecordPrefix(&rec, prefix);
    EXPECT_STREQ(prefix, "RF0007");
    for (int i = 7; i < 200; ++i)
        alloc();
    DBMGetRecord(2, 200, &rec);
    AVMMakeRecordPrefix(&rec, prefix);
    EXPECT_STREQ(prefix, "RF0200");
}

}  // namespace

namespace {

TEST_F(RecordStore, AllocationPassesOverRecordsTheCallerCannotUse)
{
    alloc();
    std::uint16_t id = 0;
    AVMRec rec{};
    // Record indexes 1 and 2 are free but unusable (their part names are taken, say).
    ASSERT_EQ(vmx::AllocRecordWhere(2, &id, &rec, [](int index) { return index > 2; }), 1);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(table().idMap[1], 3) << "record index 3, slot 4";
    EXPECT_EQ(vmx::AllocRecordWhere(2, &id, &rec, [](int) { return false; }), 0);
    EXPECT_STREQ(DBMLastTrace(), "infor: DBMAllocRecord error rec full.");
    EXPECT_EQ(table().count, 2);
}

TEST_F(RecordStore, ASavedListComesBackAfterDeletions)
{
    for (int i = 0; i < 3; ++i)
        alloc();
    const AVMRecordTable before = table();
    const vmx::StoreList saved = vmx::SaveActiveList();
    DBMDeleteRecord(0);
    DBMDeleteRecord(1);
    ASSERT_EQ(table().count, 1);
    vmx::RestoreActiveList(saved);
    const AVMRecordTable after = table();
    EXPECT_EQ(after.count, 3);
    EXPECT_TRUE(std::equal(std::begin(before.idMap), std::end(before.idMap), std::begin(after.idMap)));
    EXPECT_EQ(after.records, before.records) << "the store keeps its own records";
    for (unsigned id = 1; id <= 3; ++id) {
        AVMRec rec{};
        ASSERT_EQ(DBMGetRecord(2, id, &rec), 1);
        EXPECT_EQ(rec.id, id);
    }
}

}  // namespace
