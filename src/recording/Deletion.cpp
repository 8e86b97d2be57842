#include "recording/Deletion.h"

#include "common/AsciiCase.h"
#include "common/FilePaths.h"
#include "common/PendingFile.h"
#include "recdb/DbCheck.h"
#include "recdb/DbCompanions.h"
#include "recdb/DbReader.h"
#include "recdb/DbWriter.h"
#include "recdb/StoreEdit.h"
#include "recording/RecordingFiles.h"
#include "recording/StagedParts.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
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
// the room for the write is taken from the end of the deleted recordings' part files, which lie
// under their staged names by then. A program killed now leaves them to be put back with shorter
// content while the database still names them, never a listed part that is gone; and they were
// to be deleted. True when room was freed.
bool freeRoomFromDeletedParts(const LoadedPane& pane, const std::vector<std::string>& stagedPaths)
{
    struct statvfs vfs {};
    if (::statvfs(pane.folder.empty() ? "." : pane.folder.c_str(), &vfs) != 0)
        return false;
    const std::uint64_t available = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    if (available >= kRoomForAWrite)
        return false;
    std::uint64_t wanted = kRoomForAWrite - available;
    bool freed = false;
    for (auto it = stagedPaths.rbegin(); it != stagedPaths.rend() && wanted > 0; ++it) {
        struct stat st {};
        if (::lstat(it->c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
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

// The part files a deletion takes out of the folder: moved to their staged names before the
// database stops naming them, removed once it no longer does, moved back should it not be written.
class StagedRemoval {
public:
    explicit StagedRemoval(std::string folder) : m_folder(std::move(folder)) {}
    ~StagedRemoval() { putBack(); }
    StagedRemoval(const StagedRemoval&) = delete;
    StagedRemoval& operator=(const StagedRemoval&) = delete;

    // Empty, or why the part cannot be taken out (nothing of the deletion has happened then).
    std::string stage(const std::string& name)
    {
        if (const int error = StagePart(m_folder, name); error != 0)
            return "cannot move " + m_folder + name + " out of the way: " + std::strerror(error) + ".";
        m_staged.push_back(name);
        return {};
    }
    std::vector<std::string> stagedPaths() const
    {
        std::vector<std::string> paths;
        for (const std::string& name : m_staged)
            paths.push_back(m_folder + StagedPartName(name));
        return paths;
    }
    // The database no longer names the parts: they move into the undo entry `entry`. Returns the
    // part paths gone; `complete` is false when one could not be moved (it and the rest stay staged).
    std::vector<std::string> keepAll(const std::string& entry, bool& complete)
    {
        std::vector<std::string> gone;
        complete = true;
        while (complete && !m_staged.empty()) {
            const std::string name = m_staged.front();
            complete = RenameNoReplace(m_folder + StagedPartName(name), entry + name) == 0;
            if (complete) {
                gone.push_back(m_folder + name);
                m_staged.erase(m_staged.begin());
            }
        }
        (void)SyncFolder(entry);
        (void)SyncFolder(m_folder);
        return gone;
    }
    // The database no longer names the parts: they go for good. Returns the part paths gone.
    std::vector<std::string> removeAll()
    {
        std::vector<std::string> gone;
        for (const std::string& name : m_staged) {
            if (::unlink((m_folder + StagedPartName(name)).c_str()) == 0 || errno == ENOENT)
                gone.push_back(m_folder + name);
        }
        m_staged.clear();
        (void)SyncFolder(m_folder);
        return gone;
    }
    void putBack()
    {
        for (auto it = m_staged.rbegin(); it != m_staged.rend(); ++it)
            (void)UnstagePart(m_folder, *it);
        if (!m_staged.empty())
            (void)SyncFolder(m_folder);
        m_staged.clear();
    }

private:
    std::string m_folder;
    std::vector<std::string> m_staged;
};

}  // namespace

DeleteResult DeleteRecordRows(LoadedPane& pane, const std::vector<int>& chosen, const WritePaneDb& writeDb,
                              const UndoKeep& keep)
{
    DeleteResult result;
    std::vector<int> rows = chosen;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const int count = static_cast<int>(pane.store.listedCount());
    std::vector<std::string> partNames;
    for (const int row : rows) {
        AVMRec record{};
        if (row < 0 || row >= count || !pane.store.get(static_cast<unsigned>(row + 1), record)) {
            result.message = "there is no recording " + std::to_string(row + 1) + "; nothing was deleted.";
            return result;
        }
        if (const std::string unsafe = UnsafePartsMessage(record, pane.dbPath); !unsafe.empty()) {
            result.message = "Nothing was deleted: " + unsafe;
            return result;
        }
        for (int j = 0; j < record.partCount; ++j)
            partNames.push_back(PartName(record, j));
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
    // A part file that a recording of the folder's other database names, or another recording of
    // this one, stays.
    FolderParts folderParts;
    if (const std::string why = ReadFolderParts(pane.folder, folderParts); !why.empty())
        return refuse(why + " So it cannot be told which part files other recordings need.");
    // What undo keeps: the recordings as they stand, with their rows and records.
    UndoManifest kept;
    kept.kind = UndoManifest::Kind::Delete;
    kept.dbName = FileNameOfPath(pane.dbPath);
    for (const int row : rows) {
        AVMRec record{};
        (void)pane.store.get(static_cast<unsigned>(row + 1), record);
        kept.before.push_back({row, pane.store.indexOf(static_cast<unsigned>(row + 1)), record});
    }
    StoreEdit edit(pane.store);
    const std::vector<TimingEntry> savedTiming = pane.timing;
    // Highest row first keeps the rows still waiting valid.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (static_cast<std::size_t>(*it) < pane.timing.size())
            pane.timing.erase(pane.timing.begin() + *it);
        edit.remove(*it);
        if (rows.size() != static_cast<std::size_t>(count))
            pane.store.recount();
    }
    std::set<std::string> stillListed;
    for (unsigned id = 1; id <= pane.store.listedCount(); ++id) {
        AVMRec record{};
        if (!pane.store.get(id, record) || record.partCount > kDBMMaxParts)
            continue;
        for (int j = 0; j < record.partCount; ++j)
            stillListed.insert(AsciiUpper(PartName(record, j)));
    }
    // The edit puts the list back when it is not committed.
    const auto undo = [&](const std::string& why) {
        pane.timing = savedTiming;
        return refuse(why);
    };
    // The parts leave under their staged names before the database stops naming them: a program
    // killed at any moment leaves every part either named by the database or recognisably ours.
    StagedRemoval removal(pane.folder);
    std::set<std::string> staged;
    for (const std::string& name : partNames) {
        const std::string path = pane.folder + name;
        struct stat st {};
        if (stillListed.count(AsciiUpper(name)) || staged.count(AsciiUpper(name)) ||
            folderParts.namedByAnotherDatabase(name, pane.dbPath) || ::lstat(path.c_str(), &st) != 0)
            continue;
        if (!S_ISREG(st.st_mode)) {
            result.keptFiles.push_back(path + " is " + (S_ISDIR(st.st_mode) ? "a folder" : "not a regular file") +
                                       ", not a part file; it was left where it is.");
            continue;
        }
        if (const std::string error = removal.stage(name); !error.empty())
            return undo(error);
        staged.insert(AsciiUpper(name));
        kept.parts.push_back({name, static_cast<std::uint64_t>(st.st_size)});
    }
    if (!staged.empty()) {
        if (const int error = SyncFolder(pane.folder); error != 0)
            return undo("cannot flush the folder " + pane.folder + ": " + std::strerror(error) + ".");
    }
    // The entry is written Pending once the parts are staged: a program killed from here on leaves
    // the next tidy to tell by the database whether the deletion happened (see UndoStore).
    std::string entry;
    if (keep.enabled && !staged.empty()) {
        std::string why = OpenUndoEntry(pane.dbPath, keep, entry);
        if (why.empty())
            why = WriteUndoManifest(entry, kept);
        if (!why.empty()) {
            if (!entry.empty())
                DiscardUndoEntry(entry);
            entry.clear();
            result.undoNotes.push_back("The deletion cannot be undone: " + why);
        }
    }
    const auto dropEntry = [&] {
        if (!entry.empty())
            DiscardUndoEntry(entry);
        entry.clear();
    };
    std::string error = writeDb();
    if (!error.empty() && !entry.empty()) {
        // Older kept operations give their room first.
        std::vector<std::string> freed = TakeRoomFromUndo(pane.folder, kRoomForAWrite);
        if (!freed.empty())
            error = writeDb();
        result.undoNotes.insert(result.undoNotes.end(), freed.begin(), freed.end());
    }
    if (!error.empty() && freeRoomFromDeletedParts(pane, removal.stagedPaths())) {
        // The parts were shortened to make room: they are no longer worth keeping.
        if (!entry.empty())
            result.undoNotes.push_back("The deletion cannot be undone: its part files gave their room to the "
                                       "database's write.");
        dropEntry();
        error = writeDb();
    }
    if (!error.empty()) {
        dropEntry();
        return undo(error);
    }
    edit.commit();
    if (!entry.empty()) {
        bool complete = false;
        result.removedFiles = removal.keepAll(entry, complete);
        if (!complete || !SetUndoState(entry, UndoManifest::State::Kept).empty()) {
            result.undoNotes.push_back("The deletion cannot be undone: its part files could not be moved into " +
                                       entry + ".");
            dropEntry();
        } else {
            result.keptIn = entry;
        }
    }
    const std::vector<std::string> gone = removal.removeAll();
    result.removedFiles.insert(result.removedFiles.end(), gone.begin(), gone.end());
    result.ok = true;
    return result;
}

}  // namespace vmx
