// Part files that are not plain part files: a named pipe, a symbolic link or a folder standing
// where a part should be, and part names that name the database itself. Every operation refuses
// them with the file's name and changes nothing.
#include "recording/Cut.h"
#include "recording/Deletion.h"
#include "recording/Merge.h"
#include "recording/RecordingTransfer.h"

#include "FakeUi.h"
#include "RecordingFixture.h"
#include "recdb/RecordStore.h"

#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vmx;
using namespace vmxtest;
namespace fs = std::filesystem;

namespace {

// A watchdog: an operation that blocks on a named pipe ends the test instead of hanging it.
class Watchdog {
public:
    Watchdog() { ::alarm(30); }
    ~Watchdog() { ::alarm(0); }
};

struct Operation {
    const char* what;
    // Runs the operation on row 0 of the left pane; true when it reported success.
    std::function<bool(RecordingSession& session, const TempDir& elsewhere, FakeUi& ui)> run;
};

const Operation kOperations[] = {
    {"merge", [](RecordingSession& session, const TempDir& elsewhere, FakeUi& ui) {
         return session.merge(0, 0, elsewhere.str(), ui).outcome == MergeOutcome::Done;
     }},
    {"copy", [](RecordingSession& session, const TempDir& elsewhere, FakeUi& ui) {
         makeDb(session, 1, elsewhere.str());
         return session.transferRecordings(0, {0}, ui).copied == 1;
     }},
    {"cut", [](RecordingSession& session, const TempDir&, FakeUi& ui) {
         return session.cut(0, 0, 2, 30, 40, ui).outcome == CutOutcome::Done;
     }},
};

class PartFilesTest : public SessionTest {};

}  // namespace

TEST_F(PartFilesTest, PartsThatAreNotRegularFilesAreRefusedByName)
{
    // Two parts of 60 seconds; the cut between 30 and 40 s rewrites the first part. The part
    // replaced is the first one, so that the recording can still be measured from its last part.
    struct Kind {
        const char* what;
        std::function<void(const fs::path& part, const fs::path& outside)> make;
        const char* reason;
    };
    const Kind kinds[] = {
        {"a named pipe", [](const fs::path& part, const fs::path&) { ASSERT_EQ(::mkfifo(part.c_str(), 0644), 0); },
         "is a named pipe"},
        {"a symbolic link out of the folder",
         [](const fs::path& part, const fs::path& outside) { fs::create_symlink(outside, part); },
         "is a symbolic link"},
        {"a folder", [](const fs::path& part, const fs::path&) { fs::create_directory(part); }, "RF0001AA.TRP"},
    };
    for (const Operation& op : kOperations) {
        for (const Kind& kind : kinds) {
            SCOPED_TRACE(std::string(op.what) + " with " + kind.what);
            TempDir dir;
            TempDir elsewhere;
            const LoadedPane& pane = makeDb(session, 0, dir.str());
            addRecording(session, pane, "FILM", 120, {kFullPartSize, 1000000});
            const fs::path outside = elsewhere / "outside.bin";
            writeBytes(outside, std::vector<std::uint8_t>(1000000, 0x11));
            fs::remove(dir / "RF0001AA.TRP");
            kind.make(dir / "RF0001AA.TRP", outside);
            FakeUi caseUi;
            Watchdog watchdog;
            EXPECT_FALSE(op.run(session, elsewhere, caseUi));
            ASSERT_FALSE(caseUi.messages.empty());
            EXPECT_NE(caseUi.messages.back().find(kind.reason), std::string::npos) << caseUi.messages.back();
            EXPECT_NE(caseUi.messages.back().find("RF0001AA.TRP"), std::string::npos) << caseUi.messages.back();
            EXPECT_EQ(readBytes(outside), std::vector<std::uint8_t>(1000000, 0x11));
            EXPECT_EQ(fs::file_size(dir / "RF0001AB.TRP"), 1000000u);
        }
    }
}

TEST_F(PartFilesTest, PartNamedLikeADatabaseIsNeverTouched)
{
    // A damaged or hand-edited record names a database of the folder as its part: the database
    // itself (a 12-character name), its backup, or the folder's other database.
    struct Case {
        const char* what;
        const char* dbName;
        const char* partName;
    };
    const Case cases[] = {
        {"the database itself", "DZT000001.DB", "DZT000001.DB"},
        {"the database under a name of its own", "RECORDS.DATA", "RECORDS.DATA"},
        {"its backup", "RECORDS.DATA", "RECORDS.BAK "},
        {"the other database", "DZT000.DB", "DZR000001.DB"},
    };
    for (const Case& c : cases) {
        for (const char* op : {"delete", "merge", "copy", "cut"}) {
            SCOPED_TRACE(std::string(c.what) + ", " + op);
            TempDir dir;
            TempDir elsewhere;
            const LoadedPane& pane = makeDb(session, 0, dir.str(), c.dbName);
            addRecording(session, pane, "FILM", 120, {kFullPartSize, 1000000});
            if (!fs::exists(dir / c.partName))
                writeText(dir / c.partName, "a database");
            const auto partBefore = readBytes(dir / c.partName);
            AVMRec record = recordAt(pane, 0);
            std::memcpy(record.parts[0].name, c.partName, 12);
            replaceRecord(session, pane, 0, record);
            const auto dbBefore = readBytes(pane.dbPath);
            FakeUi caseUi;
            bool done = false;
            std::string message;
            if (std::string(op) == "delete") {
                const DeleteResult result = session.deleteRows(0, {0}, caseUi);
                done = result.ok;
                message = result.message;
            } else {
                for (const Operation& o : kOperations) {
                    if (std::string(o.what) == op)
                        done = o.run(session, elsewhere, caseUi);
                }
                message = caseUi.lastMessage();
            }
            EXPECT_FALSE(done);
            EXPECT_NE(message.find("is not a valid part name"), std::string::npos) << message;
            EXPECT_EQ(readBytes(dir / c.partName), partBefore);
            EXPECT_EQ(readBytes(pane.dbPath), dbBefore);
            EXPECT_TRUE(fs::exists(dir / "RF0001AB.TRP"));
        }
    }
}
