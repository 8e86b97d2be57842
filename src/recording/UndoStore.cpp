#include "recording/UndoStore.h"

#include "common/AsciiCase.h"
#include "common/FilePaths.h"
#include "common/Fnv1a.h"
#include "common/PendingFile.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"
#include "common/UniqueFd.h"
#include "common/WriteAll.h"
#include "recdb/DbCompanions.h"
#include "recdb/DbReader.h"
#include "recdb/DbWriter.h"
#include "recording/RecordingFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vmx {

namespace {

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool isFolder(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string withoutSlash(const std::string& folder)
{
    return folder.ends_with('/') ? folder.substr(0, folder.size() - 1) : folder;
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Removes a folder of ours and what it holds; a link in it goes, never what it points to.
void removeTree(const std::string& folder)
{
    for (const std::string& name : namesIn(folder)) {
        const std::string path = folder + "/" + name;
        if (isFolder(path))
            removeTree(path);
        else
            (void)::unlink(path.c_str());
    }
    (void)::rmdir(folder.c_str());
}

std::uint64_t bytesIn(const std::string& folder)
{
    std::uint64_t total = 0;
    for (const std::string& name : namesIn(folder)) {
        struct stat st {};
        if (::lstat((folder + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            total += static_cast<std::uint64_t>(st.st_size);
    }
    return total;
}

// The undo root and the database's folder in it go once they hold nothing, so that the disk holds
// what it would hold without undo.
void removeEmptyFolders(const std::string& dbPath)
{
    const std::string folder = FolderOfPath(dbPath);
    // The database's folder may be gone already (EmptyUndo drops it whole); the undo root is
    // still removed once no database has a folder in it.
    if (::rmdir(withoutSlash(UndoFolderOf(dbPath)).c_str()) != 0 && errno != ENOENT)
        return;
    if (::rmdir(withoutSlash(UndoRootOf(folder)).c_str()) == 0)
        (void)SyncFolder(folder);
}

// Renames `path` (a folder of ours) out of the way in one step, then removes it: a kill leaves it
// whole or gone (its ".gone" rest is removed by the next tidy).
void dropFolder(const std::string& path)
{
    const std::string folder = withoutSlash(path);
    const std::string gone = folder + ".gone";
    if (exists(gone))
        removeTree(gone);
    if (::rename(folder.c_str(), gone.c_str()) != 0)
        return;
    (void)SyncFolder(FolderOfPath(folder));
    removeTree(gone);
}

int makeFolder(const std::string& path)
{
    if (::mkdir(withoutSlash(path).c_str(), 0755) == 0 || (errno == EEXIST && isFolder(withoutSlash(path))))
        return 0;
    return errno == EEXIST ? ENOTDIR : errno;
}

std::set<std::string> partKeys(const AVMRec& record)
{
    std::set<std::string> keys;
    for (int j = 0; j < record.partCount && j < kDBMMaxParts; ++j)
        keys.insert(AsciiUpper(PartName(record, j)));
    return keys;
}

// One file an undo moves: from its place now, through its transit name in the entry, to its name.
struct Move {
    std::string from;
    std::string transit;
    std::string to;
};

// What an undo is to do, once its manifest's claims agree with the disk.
struct UndoWork {
    std::vector<Move> moves;
    bool restorePackets = false;
    bool databaseDone = false;  // the database holds the recordings as before the operation
    int cutRow = -1;            // a cut: the row of the recording as the cut left it
};

std::string refused(const UndoManifest& m, const std::string& why)
{
    return "The " + UndoLabel(m) + " cannot be taken back: " + why;
}

// The packets a cut replaced, as the entry keeps them; empty, or why they cannot be used.
std::string readPackets(const std::string& entry, const UndoManifest& m, std::vector<std::uint8_t>& bytes)
{
    std::uint64_t total = 0;
    for (const UndoManifest::Packets& range : m.packets)
        total = std::max(total, range.at + range.length);
    UniqueFd fd;
    std::uint64_t size = 0;
    if (std::string error = OpenRegularFile(entry + kUndoPacketsName, O_RDONLY | O_NOFOLLOW, fd, size); !error.empty())
        return error;
    if (size != total)
        return "the kept packets " + entry + kUndoPacketsName + " are not the size its manifest says.";
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    if (const int error = ReadAllAt(fd.get(), bytes.data(), bytes.size(), 0, got); error != 0 || got != bytes.size())
        return "cannot read the kept packets " + entry + kUndoPacketsName + ".";
    if (Fnv1a64(bytes.data(), bytes.size()) != m.packetsHash)
        return "the kept packets " + entry + kUndoPacketsName + " are not the ones its manifest describes.";
    return {};
}

// True when every packet of `now` is either the filler packet (what the cut wrote) or the kept
// packet (what an interrupted undo already put back): proof that the bytes are the cut's own.
bool cutsOwnBytes(const std::uint8_t* now, const std::uint8_t* kept, std::size_t length)
{
    for (std::size_t at = 0; at < length; at += kPacketSize) {
        const std::size_t n = std::min<std::size_t>(kPacketSize, length - at);
        if (std::memcmp(now + at, kFillerPacket.data(), n) != 0 && std::memcmp(now + at, kept + at, n) != 0)
            return false;
    }
    return true;
}

// Checks every claim of the manifest against the database `store` and the folder, and says what the
// undo is to do. Empty, or why nothing may be done.
std::string planUndo(const UndoEntryInfo& info, const std::string& dbPath, const RecordStore& store,
                     const FolderParts& folderParts, const std::vector<std::uint8_t>& packets, UndoWork& work)
{
    const UndoManifest& m = info.manifest;
    const std::string folder = FolderOfPath(dbPath);
    const bool kept = m.state == UndoManifest::State::Kept;
    if (m.dbName != FileNameOfPath(dbPath))
        return refused(m, "its manifest belongs to the database " + m.dbName + ".");
    std::vector<const AVMRec*> records;
    for (const UndoManifest::Recording& recording : m.before)
        records.push_back(&recording.record);
    if (m.kind == UndoManifest::Kind::Cut)
        records.push_back(&m.after);
    for (const AVMRec* record : records) {
        if (std::string unsafe = UnsafePartsMessage(*record, dbPath); !unsafe.empty())
            return refused(m, unsafe);
    }
    std::set<std::string> beforeNames;
    for (const UndoManifest::Recording& recording : m.before) {
        const std::set<std::string> keys = partKeys(recording.record);
        beforeNames.insert(keys.begin(), keys.end());
    }
    std::set<std::string> afterNames;  // names of the cut's recording as it stands: free once moved away
    std::set<std::string> movedAway;
    if (m.kind == UndoManifest::Kind::Delete) {
        int present = 0;
        for (const UndoManifest::Recording& recording : m.before)
            present += FindListedRecording(store, recording.record) >= 0 ? 1 : 0;
        if (kept && present > 0)
            return refused(m, "the database lists a recording of it already.");
        work.databaseDone = present == static_cast<int>(m.before.size());
        if (!work.databaseDone && store.roomLeft() < static_cast<int>(m.before.size()) - present)
            return refused(m, "the database has no room for its recordings.");
    } else {
        const AVMRec& before = m.before.front().record;
        work.cutRow = FindListedRecording(store, m.after);
        // A cut that only rewrote packets leaves its record as it was: then the database cannot
        // tell, and putting the same record back is harmless.
        if (!SameRecording(before, m.after)) {
            work.databaseDone = work.cutRow < 0 && FindListedRecording(store, before) >= 0;
            if (work.databaseDone && kept)
                return refused(m, "the recording is already as it was before the cut.");
        }
        if (!work.databaseDone && work.cutRow < 0)
            return refused(m, "the recording \"" + RecordDisplayName(m.after) +
                                  "\" is no longer as the cut left it (it was changed or deleted since).");
        afterNames = partKeys(m.after);
        for (const CutJournal::Rename& rename : m.renames) {
            if (!afterNames.count(AsciiUpper(rename.to)) || !beforeNames.count(AsciiUpper(rename.from)))
                return refused(m, "it renames " + rename.to + ", which is not a part of the recording.");
            movedAway.insert(AsciiUpper(rename.to));
        }
        for (const UndoManifest::Packets& range : m.packets) {
            if (!afterNames.count(AsciiUpper(range.part)))
                return refused(m, "it rewrites " + range.part + ", which is not a part of the recording.");
        }
        for (const std::string& name : beforeNames) {
            bool accounted = afterNames.count(name) && !movedAway.count(name);
            for (const CutJournal::Rename& rename : m.renames)
                accounted = accounted || AsciiUpper(rename.from) == name;
            for (const UndoManifest::KeptPart& part : m.parts)
                accounted = accounted || AsciiUpper(part.name) == name;
            if (!accounted)
                return refused(m, "the part " + name + " of the recording before the cut is nowhere.");
        }
        for (const CutJournal::Rename& rename : m.renames)
            work.moves.push_back({folder + rename.to, "", folder + rename.from});
    }
    std::set<std::string> keptNames;
    for (const UndoManifest::KeptPart& part : m.parts) {
        if (!beforeNames.count(AsciiUpper(part.name)))
            return refused(m, "it keeps " + part.name + ", which none of its recordings names.");
        keptNames.insert(AsciiUpper(part.name));
        work.moves.push_back({info.path + part.name, "", folder + part.name});
    }
    // A deleted recording names no file of the folder that the entry does not give back: one it
    // did not keep was missing when it was deleted, and a file there now is somebody else's.
    if (m.kind == UndoManifest::Kind::Delete && !work.databaseDone) {
        for (const UndoManifest::Recording& recording : m.before) {
            for (int j = 0; j < recording.record.partCount; ++j) {
                const std::string name = PartName(recording.record, j);
                if (!keptNames.count(AsciiUpper(name)) && exists(folder + name))
                    return refused(m, "its recording names " + name + ", which it did not keep and which is on the "
                                      "disk.");
            }
        }
    }
    // Where each file is: an undo that ran before may have moved some.
    bool anyMoved = false;
    for (std::size_t k = 0; k < work.moves.size(); ++k) {
        Move& move = work.moves[k];
        move.transit = info.path + UndoTransitName(k);
        const bool atFrom = exists(move.from);
        const bool atTransit = exists(move.transit);
        const bool atTo = exists(move.to);
        anyMoved = anyMoved || atTransit || (m.phase == 1 && !atFrom);
        const std::string toName = FileNameOfPath(move.to);
        const bool toIsOwn = movedAway.count(AsciiUpper(toName)) != 0;
        if (kept && !atFrom)
            return refused(m, "the file " + move.from + " is missing.");
        if (!atFrom && !atTransit && !(m.phase == 1 && atTo))
            return refused(m, "the file " + move.from + " is missing.");
        if (kept && atTo && !toIsOwn)
            return refused(m, move.to + " exists already; nothing is put over it.");
        // A name that a recording of the folder names (other than those being restored) is not free.
        if (!toIsOwn && folderParts.named(toName) && !work.databaseDone)
            return refused(m, toName + " is a part name of another recording now.");
    }
    for (const UndoManifest::KeptPart& part : m.parts) {
        struct stat st {};
        if (kept && (::lstat((info.path + part.name).c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
                     static_cast<std::uint64_t>(st.st_size) != part.size))
            return refused(m, "the kept part " + info.path + part.name + " is not the file its manifest describes.");
    }
    work.restorePackets = !m.packets.empty() && m.phase == 0 && !anyMoved && !work.databaseDone;
    if (!work.restorePackets)
        return {};
    for (const UndoManifest::Packets& range : m.packets) {
        UniqueFd fd;
        std::uint64_t size = 0;
        const std::string path = folder + range.part;
        if (std::string error = OpenRegularFile(path, O_RDONLY | O_NOFOLLOW, fd, size); !error.empty())
            return refused(m, error);
        if (range.offset + range.length > size)
            return refused(m, "its packets lie beyond the end of " + path + ".");
        std::vector<std::uint8_t> now(static_cast<std::size_t>(range.length));
        std::size_t got = 0;
        if (ReadAllAt(fd.get(), now.data(), now.size(), range.offset, got) != 0 || got != now.size())
            return refused(m, "cannot read " + path + ".");
        if (!cutsOwnBytes(now.data(), packets.data() + range.at, now.size()))
            return refused(m, "the bytes it would put back into " + path + " are not the ones the cut replaced.");
    }
    return {};
}

std::string writePackets(const std::string& folder, const UndoManifest& m, const std::vector<std::uint8_t>& packets)
{
    for (const UndoManifest::Packets& range : m.packets) {
        const std::string path = folder + range.part;
        UniqueFd fd;
        std::uint64_t size = 0;
        if (std::string error = OpenRegularFile(path, O_RDWR | O_NOFOLLOW, fd, size); !error.empty())
            return error;
        if (const int error = WriteAllAt(fd.get(), packets.data() + range.at, static_cast<std::size_t>(range.length),
                                         range.offset);
            error != 0 || ::fsync(fd.get()) != 0)
            return "cannot write " + path + ": " + std::strerror(error != 0 ? error : errno) + ".";
    }
    return {};
}

std::string movePhase(const std::vector<Move>& moves, bool toTransit)
{
    for (const Move& move : moves) {
        const std::string& from = toTransit ? move.from : move.transit;
        const std::string& to = toTransit ? move.transit : move.to;
        if (!exists(from))
            continue;  // moved by an earlier run
        if (const int error = RenameNoReplace(from, to); error != 0)
            return "cannot move " + from + " to " + to + ": " + std::strerror(error) + ".";
    }
    return {};
}

// The database with the recordings as they were before the operation.
std::string restoreDatabase(const std::string& dbPath, RecordStore& store, const UndoManifest& m, const UndoWork& work)
{
    if (m.kind == UndoManifest::Kind::Delete) {
        for (const UndoManifest::Recording& recording : m.before) {
            if (FindListedRecording(store, recording.record) >= 0)
                continue;
            const int position = std::min(recording.row, static_cast<int>(store.listedCount()));
            if (!store.insert(position, recording.record, recording.index))
                return "the database " + dbPath + " has no room for the recording \"" +
                       RecordDisplayName(recording.record) + "\".";
        }
    } else {
        AVMRec record = m.before.front().record;
        AVMRec now{};
        if (!store.get(static_cast<unsigned>(work.cutRow + 1), now))
            return "the recording is no longer in " + dbPath + ".";
        record.slot = now.slot;
        record.id = now.id;
        store.set(static_cast<unsigned>(work.cutRow + 1), record);
    }
    std::vector<std::uint8_t> content;
    if (std::string error = RenderDb(store, content); !error.empty())
        return error;
    return WriteDbContent(dbPath, content, BackupChoice::Replace);
}

UndoOutcome runUndo(const UndoEntryInfo& info, const std::string& dbPath, const FolderParts& folderParts)
{
    UndoOutcome outcome;
    UndoManifest m = info.manifest;
    outcome.label = UndoLabel(m);
    const std::string folder = FolderOfPath(dbPath);
    RecordStore store;
    if (!ReadDb(store, dbPath)) {
        outcome.problem = "The database " + dbPath + " cannot be read; nothing was taken back.";
        return outcome;
    }
    std::vector<std::uint8_t> packets;
    if (!m.packets.empty() && m.phase == 0) {
        if (std::string error = readPackets(info.path, m, packets); !error.empty()) {
            outcome.problem = refused(m, error);
            return outcome;
        }
    }
    UndoWork work;
    if (std::string problem = planUndo(info, dbPath, store, folderParts, packets, work); !problem.empty()) {
        outcome.problem = problem;
        return outcome;
    }
    const auto fail = [&](const std::string& error) {
        outcome.problem = "The " + outcome.label + " was not taken back completely: " + error +
                          " It will be finished when the database is loaded again.";
        return outcome;
    };
    if (m.state == UndoManifest::State::Kept) {
        m.state = UndoManifest::State::Undoing;
        m.phase = 0;
        if (std::string error = WriteUndoManifest(info.path, m); !error.empty()) {
            outcome.problem = error;
            return outcome;
        }
    }
    if (!work.databaseDone) {
        if (m.phase == 0) {
            if (work.restorePackets) {
                if (std::string error = writePackets(folder, m, packets); !error.empty())
                    return fail(error);
            }
            if (std::string error = movePhase(work.moves, true); !error.empty())
                return fail(error);
            (void)SyncFolder(folder);
            (void)SyncFolder(info.path);
            m.phase = 1;
            if (std::string error = WriteUndoManifest(info.path, m); !error.empty())
                return fail(error);
        }
        // The packets are back in their parts; a redo keeps them anew.
        if (::unlink((info.path + kUndoPacketsName).c_str()) == 0)
            (void)SyncFolder(info.path);
        if (std::string error = movePhase(work.moves, false); !error.empty())
            return fail(error);
        if (const int error = SyncFolder(folder); error != 0)
            return fail("cannot flush the folder " + folder + ": " + std::strerror(error) + ".");
        if (std::string error = restoreDatabase(dbPath, store, m, work); !error.empty())
            return fail(error);
    }
    m.state = UndoManifest::State::Undone;
    m.phase = 0;
    if (std::string error = WriteUndoManifest(info.path, m); !error.empty())
        return fail(error);
    outcome.done = true;
    return outcome;
}

}  // namespace

std::vector<UndoEntryInfo> ListUndoEntries(const std::string& dbPath)
{
    std::vector<UndoEntryInfo> entries;
    const std::string folder = UndoFolderOf(dbPath);
    const std::string dbName = FileNameOfPath(dbPath);
    for (const std::string& name : namesIn(withoutSlash(folder))) {
        unsigned seq = 0;
        if (!IsUndoEntryName(".velmorix-undo/" + dbName + "/" + name + "/", dbName, &seq) ||
            !isFolder(folder + name))
            continue;
        UndoEntryInfo info;
        info.seq = seq;
        info.path = folder + name + "/";
        if (std::string error = ReadUndoManifest(info.path, info.manifest); !error.empty())
            info.problem = error;
        else if (info.manifest.dbName != dbName)
            info.problem = info.path + " describes an operation of the database " + info.manifest.dbName + ".";
        entries.push_back(std::move(info));
    }
    return entries;
}

std::string OpenUndoEntry(const std::string& dbPath, const UndoKeep& keep, std::string& entry)
{
    const std::string folder = FolderOfPath(dbPath);
    for (const std::string& path : {UndoRootOf(folder), UndoFolderOf(dbPath)}) {
        if (const int error = makeFolder(path); error != 0)
            return "cannot make the undo folder " + path + ": " + std::strerror(error) + ".";
    }
    unsigned seq = keep.seq;
    if (seq == 0) {
        for (const UndoEntryInfo& info : ListUndoEntries(dbPath)) {
            if (info.problem.empty() && info.manifest.state == UndoManifest::State::Undone)
                dropFolder(info.path);
            else
                seq = std::max(seq, info.seq);
        }
        ++seq;
        if (seq > 999999)
            return "the undo folder " + UndoFolderOf(dbPath) + " is full; empty it first.";
    }
    entry = folder + UndoEntryName(FileNameOfPath(dbPath), seq);
    if (exists(withoutSlash(entry)))
        dropFolder(entry);
    if (const int error = makeFolder(entry); error != 0)
        return "cannot make the undo folder " + entry + ": " + std::strerror(error) + ".";
    if (const int error = SyncFolder(UndoFolderOf(dbPath)); error != 0)
        return "cannot flush the folder " + UndoFolderOf(dbPath) + ": " + std::strerror(error) + ".";
    return {};
}

void DiscardUndoEntry(const std::string& entry)
{
    dropFolder(entry);
    const std::string dbFolder = FolderOfPath(withoutSlash(entry));  // ".../.velmorix-undo/DZT000.DB/"
    const std::string root = FolderOfPath(withoutSlash(dbFolder));
    if (::rmdir(withoutSlash(dbFolder).c_str()) == 0 && ::rmdir(withoutSlash(root).c_str()) == 0)
        (void)SyncFolder(FolderOfPath(withoutSlash(root)));
}

std::string SetUndoState(const std::string& entry, UndoManifest::State state)
{
    UndoManifest manifest;
    if (std::string error = ReadUndoManifest(entry, manifest); !error.empty())
        return error;
    if (manifest.state == state)
        return {};
    manifest.state = state;
    manifest.phase = 0;
    return WriteUndoManifest(entry, manifest);
}

void ConfirmUndoEntry(const std::string& entry)
{
    UndoManifest manifest;
    if (ReadUndoManifest(entry, manifest).empty() && manifest.state == UndoManifest::State::Pending)
        (void)SetUndoState(entry, UndoManifest::State::Kept);
}

UndoSummary SummarizeUndo(const std::string& dbPath)
{
    UndoSummary summary;
    for (const UndoEntryInfo& info : ListUndoEntries(dbPath)) {
        ++summary.entries;
        summary.bytes += bytesIn(withoutSlash(info.path));
        if (!info.problem.empty()) {
            summary.problems.push_back(info.problem);
            continue;
        }
        if (info.manifest.state == UndoManifest::State::Kept)
            summary.undoLabel = UndoLabel(info.manifest);
        else if (info.manifest.state == UndoManifest::State::Undone && summary.redoLabel.empty())
            summary.redoLabel = UndoLabel(info.manifest);
    }
    return summary;
}

std::string EmptyUndo(const std::string& dbPath, std::uint64_t* freed)
{
    const std::string folder = withoutSlash(UndoFolderOf(dbPath));
    if (freed) {
        *freed = 0;
        for (const std::string& name : namesIn(folder))
            *freed += bytesIn(folder + "/" + name);
    }
    if (!exists(folder)) {
        removeEmptyFolders(dbPath);
        return {};
    }
    dropFolder(folder);
    if (exists(folder))
        return "cannot empty the undo folder " + folder + ": " + std::strerror(errno) + ".";
    removeEmptyFolders(dbPath);
    return {};
}

std::string UndoBytesText(std::uint64_t bytes)
{
    char text[32];
    if (bytes >= (std::uint64_t{1} << 30))
        std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(bytes) / 1073741824.0);
    else
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / 1048576.0);
    return text;
}

std::set<std::string> UndoHeldPartNames(const std::string& folder)
{
    std::set<std::string> names;
    for (const std::string& db : DatabasesOfFolder(folder)) {
        for (const UndoEntryInfo& info : ListUndoEntries(db)) {
            if (!info.problem.empty() || info.manifest.state == UndoManifest::State::Undone)
                continue;
            for (const UndoManifest::Recording& recording : info.manifest.before) {
                const std::set<std::string> keys = partKeys(recording.record);
                names.insert(keys.begin(), keys.end());
            }
        }
    }
    return names;
}

std::uint64_t FreeBytesOf(const std::string& folder)
{
    struct statvfs vfs {};
    // A FUSE file system without statfs answers zeros: its room is not known either.
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &vfs) != 0 || vfs.f_blocks == 0)
        return UINT64_MAX;
    return static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

std::vector<std::string> TakeRoomFromUndo(const std::string& folder, std::uint64_t needed)
{
    std::vector<std::string> notes;
    while (FreeBytesOf(folder) < needed) {
        const UndoEntryInfo* oldest = nullptr;
        std::string oldestDb;
        std::vector<std::vector<UndoEntryInfo>> all;
        for (const std::string& db : DatabasesOfFolder(folder))
            all.push_back(ListUndoEntries(db));
        // Kept entries first, oldest first; then the redo list.
        for (const UndoManifest::State state : {UndoManifest::State::Kept, UndoManifest::State::Undone}) {
            for (const auto& entries : all) {
                for (const UndoEntryInfo& info : entries) {
                    if (info.problem.empty() && info.manifest.state == state && (!oldest || info.seq < oldest->seq))
                        oldest = &info;
                }
            }
            if (oldest)
                break;
        }
        if (!oldest)
            break;
        notes.push_back("To make room, what undo kept of the " + UndoLabel(oldest->manifest) + " was let go.");
        DiscardUndoEntry(oldest->path);
    }
    return notes;
}

UndoOutcome UndoLatest(const std::string& dbPath, const FolderParts& folderParts)
{
    const std::vector<UndoEntryInfo> entries = ListUndoEntries(dbPath);
    const UndoEntryInfo* chosen = nullptr;
    for (const UndoEntryInfo& info : entries) {
        if (info.problem.empty() && info.manifest.state == UndoManifest::State::Undoing)
            chosen = &info;
    }
    // The last entry that is not a redo: the operation done last.
    for (auto it = entries.rbegin(); !chosen && it != entries.rend(); ++it) {
        if (!it->problem.empty()) {
            UndoOutcome outcome;
            outcome.problem = "The last kept operation cannot be taken back: " + it->problem +
                              " Nothing was changed; emptying undo frees the folder.";
            return outcome;
        }
        if (it->manifest.state == UndoManifest::State::Kept)
            chosen = &*it;
        else if (it->manifest.state != UndoManifest::State::Undone)
            break;
    }
    if (!chosen) {
        UndoOutcome outcome;
        outcome.problem = "There is nothing to undo in " + dbPath + ".";
        return outcome;
    }
    return runUndo(*chosen, dbPath, folderParts);
}

std::vector<std::string> AdoptStagedParts(const std::string& folder, const FolderParts& folderParts)
{
    std::vector<std::string> adopted;
    std::vector<UndoEntryInfo> deletions;
    for (const std::string& db : DatabasesOfFolder(folder)) {
        for (UndoEntryInfo& info : ListUndoEntries(db)) {
            if (info.problem.empty() && info.manifest.kind == UndoManifest::Kind::Delete &&
                (info.manifest.state == UndoManifest::State::Pending || info.manifest.state == UndoManifest::State::Kept))
                deletions.push_back(std::move(info));
        }
    }
    if (deletions.empty())
        return adopted;
    for (const std::string& name : namesIn(folder.empty() ? "." : withoutSlash(folder))) {
        if (!IsStagedPartName(name))
            continue;
        const std::string part = PartNameOfStaged(name);
        if (folderParts.named(part))
            continue;
        for (const UndoEntryInfo& info : deletions) {
            const bool listed = std::any_of(info.manifest.parts.begin(), info.manifest.parts.end(),
                                            [&](const UndoManifest::KeptPart& kept) { return kept.name == part; });
            if (listed && !exists(info.path + part) &&
                RenameNoReplace(folder + name, info.path + part) == 0) {
                adopted.push_back(info.path + part);
                (void)SyncFolder(info.path);
                break;
            }
        }
    }
    if (!adopted.empty())
        (void)SyncFolder(folder);
    return adopted;
}

UndoSettlement SettleUndoEntries(const std::string& folder, const FolderParts& folderParts)
{
    UndoSettlement settlement;
    const std::string root = UndoRootOf(folder);
    if (!isFolder(withoutSlash(root)))
        return settlement;
    for (const std::string& name : namesIn(withoutSlash(root))) {
        if (name.ends_with(".gone"))
            removeTree(root + name);
    }
    for (const std::string& db : DatabasesOfFolder(folder)) {
        const std::string dbFolder = withoutSlash(UndoFolderOf(db));
        for (const std::string& name : namesIn(dbFolder)) {
            if (name.ends_with(".gone"))
                removeTree(dbFolder + "/" + name);
        }
        int readable = -1;  // the database, read when a Pending entry needs it
        RecordStore store;
        for (const UndoEntryInfo& info : ListUndoEntries(db)) {
            // A manifest being written when the program was killed leaves its temporary file.
            (void)PendingFile::RemoveAbandoned(info.path);
            if (!info.problem.empty()) {
                // An entry whose manifest never got written holds nothing of the user's: a deletion
                // writes it before any part file moves in, a cut before it keeps more than packets.
                const std::vector<std::string> held = namesIn(withoutSlash(info.path));
                if (!exists(info.path + kUndoManifestName) &&
                    std::all_of(held.begin(), held.end(), [](const std::string& n) { return n == kUndoPacketsName; })) {
                    DiscardUndoEntry(info.path);
                    continue;
                }
                settlement.problems.push_back(info.problem);
                continue;
            }
            const UndoManifest& m = info.manifest;
            if (m.state == UndoManifest::State::Undoing) {
                UndoOutcome outcome = runUndo(info, db, folderParts);
                if (outcome.done)
                    settlement.notes.push_back("An interrupted undo of the " + outcome.label + " in " + db +
                                               " has been finished.");
                else
                    settlement.problems.push_back(outcome.problem);
                continue;
            }
            if (m.state != UndoManifest::State::Pending)
                continue;
            if (readable < 0)
                readable = ReadDb(store, db) ? 1 : 0;
            if (readable == 0)
                continue;
            // A Pending entry: did its operation happen?
            bool happened = false;
            if (m.kind == UndoManifest::Kind::Delete) {
                happened = std::none_of(m.before.begin(), m.before.end(), [&](const UndoManifest::Recording& r) {
                    return FindListedRecording(store, r.record) >= 0;
                });
            }
            // A cut confirms its entry itself once it is in the database (also when a tidy finished
            // it); a Pending cut entry whose plan is gone never began.
            if (happened) {
                if (std::string error = SetUndoState(info.path, UndoManifest::State::Kept); !error.empty())
                    settlement.problems.push_back(error);
            } else if (m.kind == UndoManifest::Kind::Cut && exists(CutPlanPath(db))) {
                continue;
            } else {
                bool holdsParts = false;
                for (const UndoManifest::KeptPart& part : m.parts)
                    holdsParts = holdsParts || exists(info.path + part.name);
                if (holdsParts)
                    settlement.problems.push_back(info.path + " holds part files of an operation that did not "
                                                  "happen; they were left there.");
                else
                    DiscardUndoEntry(info.path);
            }
        }
        removeEmptyFolders(db);
    }
    return settlement;
}

}  // namespace vmx
