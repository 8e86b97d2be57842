#include "recdb/DiskNaming.h"

#include "recdb/Trace.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct NameCase {
    int type;
    const char* retry;  // flag set
    const char* plain;  // flag clear
};

TEST(DiskNaming, NameTypesWithAndWithoutTheRetryFlag)
{
    const NameCase cases[] = {
        {0, "C:\\RECORD\\DZT000.DB", "C:\\RECORD\\DZT005.DB"},
        {1, "C:\\RECORD\\DZT000.TMP", "C:\\RECORD\\DZT005.TMP"},
        {2, "C:\\RECORD\\DZT000.BAK", "C:\\RECORD\\DZT005.BAK"},
        {3, "C:\\RECORD\\DZR000.DB", "C:\\RECORD\\DZR005.DB"},
        {5, "C:\\RECORD\\DZR000.BAK", "C:\\RECORD\\DZR005.BAK"},
        {6, "C:\\MP3\\DZM000.DB", "C:\\MP3\\DZM005.DB"},
        {7, "C:\\IMAGE\\DZI000.DB", "C:\\IMAGE\\DZI005.DB"},
        {8, "C:\\STREAM\\DZS000.DB", "C:\\STREAM\\DZS005.DB"},
        {9, "C:\\CONFIG.CFG", "C:\\CONFIG.CFG"},
        {10, "DZT000.TMP", "DZT005.TMP"},
        {13, "DZR000.BAK", "DZR005.BAK"},
        {14, "", ""},
        {15, "C:\\RECORD\\", "C:\\RECORD\\"},
        {18, "C:\\STREAM\\", "C:\\STREAM\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        char text[256];
        vmx::SetRetryName(true);
        EXPECT_EQ(AVMMakeNameString(text, c.type), 0);
        EXPECT_STREQ(text, c.retry);
        vmx::SetRetryName(false);
        EXPECT_EQ(AVMMakeNameString(text, c.type + 256), 0) << "only the low 8 bits count";
        EXPECT_STREQ(text, c.plain);
    }
}

TEST(DiskNaming, UnknownTypeLeavesTheBufferAndNullBufferFails)
{
    char text[256];
    std::strcpy(text, "untouched");
    EXPECT_EQ(AVMMakeNameString(text, 19), 0);
    EXPECT_STREQ(text, "untouched");
    EXPECT_STREQ(DBMLastTrace(), "inofr: AVMMakeNameString error type(19).");
    EXPECT_EQ(AVMMakeNameString(nullptr, 0), 1);
}

TEST(DiskNaming, OnlyPlainTwelveCharacterNamesAreSafe)
{
    const struct {
        const char* name;
        bool safe;
    } cases[] = {
        {"RF0001AA.TRP", true},  {"RF 001AA.TRP", true},  {"../../etc/pa", false},
        {"RF0001/A.TRP", false}, {"RF0001\\A.TRP", false}, {".F0001AA.TRP", false},
        {"RF0001AA.TR", false},  {"RF0001AA\x01TRP", false}, {"RF0001AA\xE9TRP", false},
        // Databases and their companions, as a FAT disk reads the name.
        {"DZT000001.DB", false}, {"dzr000.db...", false}, {"DZT000.BAK  ", false}, {"Dzt000.Tmp. ", false},
        {"RF0001AA.DBX", true},  {"RF0001DB.TRP", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        char name[13] = {};
        std::strncpy(name, c.name, 12);
        EXPECT_EQ(vmx::IsSafePartName(name), c.safe);
    }
}

TEST(DiskNaming, APartNamedAsTheDatabaseItselfIsNotSafe)
{
    const struct {
        const char* dbPath;
        const char* name;
        bool safe;
    } cases[] = {
        {"/disk/RECORD/RECORDS.DATA", "RECORDS.DATA", false},
        {"/disk/RECORD/records.data", "RECORDS.DATA", false},
        {"/disk/RECORD/RECORDS.DAT", "records.dat.", false},
        {"/disk/RECORD/RECORDS.DAT", "RF0001AA.TRP", true},
        {"RF0001AA.TRP", "RF0001AA.TRP", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.dbPath) + " " + c.name);
        EXPECT_EQ(vmx::IsSafePartNameOf(c.name, c.dbPath), c.safe);
    }
    EXPECT_EQ(vmx::FatNameKey("dzt000.db. ."), "DZT000.DB");
}

TEST(DiskNaming, DatabasePathsAreAtMost511Characters)
{
    EXPECT_FALSE(vmx::SetCurrentDbPath(std::string(512, 'a')));
    EXPECT_TRUE(vmx::SetCurrentDbPath(std::string(511, 'a')));
}

}  // namespace
