#include "recording/Deletion.h"

#include "recdb/DbWriter.h"
#include "recdb/RecordStore.h"
#include "common/AsciiCase.h"
#include "common/FilePaths.h"
#include "recdb/DbReader.h"
#include "recording/PartsJournal.h"
#include "recording/RecordingFiles.h"

#include <algorithm>
#include <set>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vmx {

namespace {

// The room a database write may need beside the old files: the new file and the backup, each as
// large as a full database, and some for the folder and the file system's own records.
constexpr std::uint64_t kRoomForAWrite = 2 * kMaxDbContentSize + (1u << 20);

// The last resort of a deletion on a full disk, once WriteDb found no way that needs no room:
// the room for the write is taken from the end of the deleted recordings' last part files. The
// database still names them, so a program killed now leaves those recordings listed with shorter
// parts, never a listed part that is gone; and they were to be deleted. Parts that a recording
// still listed names too are not touched. True when room was freed.
bool freeRoomFromDeletedParts(const LoadedPane& pane, const std::vector<std::string>& partPaths)
{
    struct statvfs vfs {};
    if (::statvfs(pane.folder.empty() ? "." : pane.folder.c_str(), &vfs) != 0)
        return false;
    const std::uint64_t available = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    if (available >= kRoomForAWrite)
        return false;
    std::set<std::string> stillListed;
    for (unsigned id = 1; id <= ListedCount(); ++id) {
        AVMRec record{};
        if (!DBMGetRecord(kDBMTypeRecord, id, &record) || record.partCount > kDBMMaxParts)
            continue;
        for (int j = 0; j < record.partCount; ++j)
            stillListed.insert(AsciiUpper(PartName(record, j)));
    }
    std::uint64_t wanted = kRoomForAWrite - available;
    bool freed = false;
    for (auto it = partPaths.rbegin(); it != partPaths.rend() && wanted > 0; ++it) {
        struct stat st {};
        if (stillListed.count(AsciiUpper(FileNameOfPath(*it))) || ::lstat(it->c_str(), &st) != 0 ||
            !S_ISREG(st.st_mode) || st.st_size == 0)
            continue;
        const auto size = static_cast<std::uint64_t>(st.st_size);
        const std::uint64_t keep = size > wanted ? size - wanted : 0;
        if (::truncate(it->c_str(), static_cast<off_t>(keep)) == 0) {
            wanted -= size - keep;
            freed = true;
        }
    }
    return freed;
}

}  // namespace

DeleteResult DeleteRecordRows(LoadedPane& pane, const std::vector<int>& chosen, const WritePaneDb& writeDb)
{
    DeleteResult result;
    std::vector<int> rows = chosen;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const int count = static_cast<int>(ListedCount());
    std::vector<std::string> partPaths;
    for (const int row : rows) {
        AVMRec record{};
        if (row < 0 || row >= count || !DBMGetRecord(kDBMTypeRecord, static_cast<unsigned>(row + 1), &record)) {
            result.message = "there is no recording " + std::to_string(row + 1) + "; nothing was deleted.";
            return result;
        }
        if (const std::string unsafe = UnsafePartsMessage(record, pane.dbPath); !unsafe.empty()) {
            result.message = "Nothing was deleted: " + unsafe;
            return result;
        }
        for (int j = 0; j < record.partCount; ++j)
            partPaths.push_back(PartPath(pane.folder, record, j));
    }
    // The write that removes the part files must be possible before anything is marked; should it
    // fail all the same, the list and the timing go back to how they were.
    const auto refuse = [&result](const std::string& why) {
        result.message = "Nothing was deleted: " + why + " The database still lists the recordings and their files "
                         "were kept.";
        return result;
    };
    // A deletion is how the user frees room, so it is not refused for lack of it (see WriteDb).
    if (const std::string why = CheckDbWritable(pane.dbPath, RoomCheck::Skip); !why.empty())
        return refuse(why);
    const StoreList saved = SaveActiveList();
    const std::vector<TimingEntry> savedTiming = pane.timing;
    // Highest row first keeps the rows still waiting valid.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (static_cast<std::size_t>(*it) < pane.timing.size())
            pane.timing.erase(pane.timing.begin() + *it);
        DBMDeleteRecord(*it);
        if (rows.size() != static_cast<std::size_t>(count))
            DBMCheckRecord();
    }
    // The parts are named in the journal first: should the program die after the database no
    // longer names them but before they are gone, the next operation on the database removes them.
    // On a full disk the journal may not fit; the deletion goes on without it.
    PartsJournal journal;
    for (const std::string& path : partPaths)
        journal.names.push_back(FileNameOfPath(path));
    (void)WritePartsJournal(pane.dbPath, journal);
    std::string error = writeDb();
    if (!error.empty() && freeRoomFromDeletedParts(pane, partPaths)) {
        (void)WritePartsJournal(pane.dbPath, journal);
        error = writeDb();
    }
    if (!error.empty()) {
        RemovePartsJournal(pane.dbPath);
        RestoreActiveList(saved);
        pane.timing = savedTiming;
        return refuse(error);
    }
    RemovePartsJournal(pane.dbPath);
    for (const std::string& path : partPaths) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 &&
            std::find(result.removedFiles.begin(), result.removedFiles.end(), path) == result.removedFiles.end())
            result.removedFiles.push_back(path);
    }
    result.ok = true;
    return result;
}

}  // namespace vmx
