#include "recdb/RecordStore.h"
#include "recdb/StoreEdit.h"

#include "recdb/DiskNaming.h"
#include "recdb/Trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

class RecordStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DBMInitRecord(), 1);
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

TEST_F(RecordStore, PseudoRecordsAreInEveryStoreOnlyForRecordings)
{
    const vmx::RecordStore own;
    for (const vmx::RecordStore* store : {static_cast<const vmx::RecordStore*>(&vmx::CurrentStore()), &own}) {
        AVMRec rec{};
        ASSERT_TRUE(store->get(0xFFFD, rec));
        EXPECT_EQ(rec.vid, 3);
        EXPECT_EQ(rec.aid, 2);
        EXPECT_EQ(rec.pid, 4);
        EXPECT_EQ(rec.extA, 0x10000000u);
        ASSERT_TRUE(store->get(0xFFFF, rec));
        EXPECT_EQ(rec.extA, 0xF0000000u);
    }
    AVMRec rec{};
    ASSERT_EQ(DBMGetRecord(2, 0xFFFD, &rec), 1);
    EXPECT_EQ(rec.vid, 3);
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

TEST_F(RecordStore, StoresAreIndependent)
{
    alloc();
    alloc();
    vmx::RecordStore other;
    EXPECT_EQ(other.listedCount(), 0u);
    std::uint16_t id = 0;
    AVMRec rec{};
    ASSERT_TRUE(other.alloc(id, rec));
    EXPECT_EQ(id, 1);
    EXPECT_EQ(table().count, 2);
    // A copy takes the records along and then goes its own way.
    vmx::RecordStore copy = vmx::CurrentStore();
    EXPECT_EQ(copy.listedCount(), 2u);
    EXPECT_NE(copy.records(), vmx::CurrentStore().records());
    copy.remove(0);
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
    ASSERT_TRUE(vmx::CurrentStore().alloc(id, rec, [](int index) { return index > 2; }));
    EXPECT_EQ(id, 2);
    EXPECT_EQ(table().idMap[1], 3) << "record index 3, slot 4";
    EXPECT_FALSE(vmx::CurrentStore().alloc(id, rec, [](int) { return false; }));
    EXPECT_STREQ(DBMLastTrace(), "infor: DBMAllocRecord error rec full.");
    EXPECT_EQ(table().count, 2);
}

TEST_F(RecordStore, AnEditThatIsNotCommittedPutsTheStoreBack)
{
    const struct {
        const char* what;
        std::function<void(vmx::StoreEdit&)> change;
    } cases[] = {
        {"deletions", [](vmx::StoreEdit& edit) { edit.remove(0); edit.remove(1); }},
        {"a new record",
         [](vmx::StoreEdit& edit) {
             std::uint16_t id = 0;
             AVMRec rec{};
             ASSERT_TRUE(edit.alloc(id, rec));
             rec.partCount = 1;
             DBMSetRecord(2, id, &rec);
         }},
        {"a changed record, changed again by the store",
         [](vmx::StoreEdit& edit) {
             AVMRec rec{};
             ASSERT_EQ(DBMGetRecord(2, 2, &rec), 1);
             rec.duration = 77;
             edit.set(2, rec);
             rec.extA = 5;
             DBMSetRecord(2, 2, &rec);
         }},
    };
    for (int i = 0; i < 3; ++i)
        alloc();
    const AVMRecordTable before = table();
    std::vector<AVMRec> records(before.records, before.records + kDBMMaxRecords);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        {
            vmx::StoreEdit edit(vmx::CurrentStore());
            c.change(edit);
            ASSERT_FALSE(std::equal(records.begin(), records.end(), table().records, [](const AVMRec& a, const AVMRec& b) {
                return std::memcmp(&a, &b, sizeof a) == 0;
            }) && table().count == before.count);
        }
        const AVMRecordTable after = table();
        EXPECT_EQ(after.count, 3);
        EXPECT_TRUE(std::equal(std::begin(before.idMap), std::end(before.idMap), std::begin(after.idMap)));
        EXPECT_EQ(after.records, before.records) << "the store keeps its own records";
        for (int i = 0; i < kDBMMaxRecords; ++i)
            EXPECT_EQ(std::memcmp(&records[i], &after.records[i], sizeof(AVMRec)), 0) << "record " << i;
    }
    // A committed edit stays.
    {
        vmx::StoreEdit edit(vmx::CurrentStore());
        edit.remove(0);
        edit.commit();
    }
    EXPECT_EQ(table().count, 2);
}

}  // namespace

namespace {

class StoreOperations : public RecordStore {
protected:
    // Puts part names into the record with list id `id`.
    static void nameParts(unsigned id, const std::vector<std::string>& names)
    {
        AVMRec rec{};
        ASSERT_EQ(DBMGetRecord(2, id, &rec), 1);
        rec.partCount = static_cast<std::uint16_t>(names.size());
        for (std::size_t j = 0; j < names.size(); ++j)
            std::snprintf(rec.parts[j].name, sizeof rec.parts[j].name, "%s", names[j].c_str());
        std::snprintf(reinterpret_cast<char*>(rec.name + 1), 15, "REC%u", id);
        DBMSetRecord(2, id, &rec);
    }
};

}  // namespace

TEST_F(StoreOperations, CountRoomAndTakingBackAFreshRecord)
{
    vmx::RecordStore& store = vmx::CurrentStore();
    EXPECT_EQ(store.listedCount(), 0u);
    EXPECT_EQ(store.roomLeft(), 200);
    for (int i = 0; i < 3; ++i)
        alloc();
    EXPECT_EQ(store.listedCount(), 3u);
    EXPECT_EQ(store.roomLeft(), 197);
    // Another store is a store of its own.
    EXPECT_EQ(vmx::RecordStore().listedCount(), 0u);

    std::uint16_t id = 0;
    {
        vmx::StoreEdit edit(store);
        AVMRec fresh{};
        ASSERT_TRUE(edit.alloc(id, fresh));
        nameParts(id, {"RF0004AA.TRP"});
    }
    EXPECT_EQ(store.listedCount(), 3u);
    EXPECT_EQ(store.roomLeft(), 197);
    EXPECT_EQ(table().idMap[3], kDBMMapFree);
    AVMRec rec{};
    EXPECT_EQ(DBMGetRecord(2, id, &rec), 0);
    // The record it had is free again, without parts: the next allocation takes it.
    std::uint16_t again = 0;
    ASSERT_EQ(DBMAllocRecord(2, &again, &rec), 1);
    EXPECT_EQ(again, id);
    EXPECT_EQ(rec.partCount, 0);

    // A deleted record is no room until the next write frees it.
    DBMDeleteRecord(0);
    EXPECT_EQ(store.listedCount(), 3u);
    EXPECT_EQ(store.roomLeft(), 196);
    DBMFreeAll();
    EXPECT_FALSE(vmx::HasCurrentStore());
    AVMRecordTable t{};
    EXPECT_EQ(DBMGetSys(2, &t), 0);
}

TEST_F(StoreOperations, PartsSharedWithinOrAcrossRecordings)
{
    for (int i = 0; i < 3; ++i)
        alloc();
    nameParts(1, {"RF0001AA.TRP", "RF0001AB.TRP"});
    nameParts(2, {"RF0002AA.TRP"});
    nameParts(3, {"RF0003AA.TRP"});
    EXPECT_EQ(vmx::CurrentStore().findSharedPart(1).kind, vmx::SharedPart::Kind::None);

    nameParts(1, {"RF0001AA.TRP", "rf0001aa.trp"});
    vmx::SharedPart shared = vmx::CurrentStore().findSharedPart(1);
    EXPECT_EQ(shared.kind, vmx::SharedPart::Kind::ListedTwice);
    EXPECT_EQ(shared.name, "rf0001aa.trp");

    nameParts(1, {"RF0001AA.TRP", "Rf0003aA.TRP"});
    shared = vmx::CurrentStore().findSharedPart(1);
    EXPECT_EQ(shared.kind, vmx::SharedPart::Kind::OtherRecording);
    EXPECT_EQ(shared.name, "RF0003AA.TRP") << "as the other recording spells it";
    EXPECT_STREQ(reinterpret_cast<const char*>(shared.other.name + 1), "REC3");

    // A recording deleted and waiting for the next write still owns its files.
    DBMDeleteRecord(2);
    EXPECT_EQ(vmx::CurrentStore().findSharedPart(1).kind, vmx::SharedPart::Kind::OtherRecording);
    EXPECT_EQ(vmx::CurrentStore().findSharedPart(0).kind, vmx::SharedPart::Kind::None);
    EXPECT_EQ(vmx::CurrentStore().findSharedPart(99).kind, vmx::SharedPart::Kind::None);
}
