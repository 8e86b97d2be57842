#include "recording/RecordingTransfer.h"

#include "common/AsciiCase.h"
#include "common/FilePaths.h"
#include "common/KernelCopy.h"
#include "common/PendingFile.h"
#include "common/RegularFile.h"
#include "common/UniqueFd.h"
#include "recdb/DbCheck.h"
#include "recdb/DbCompanions.h"
#include "recdb/DbWriter.h"
#include "recdb/DiskNaming.h"
#include "recdb/StoreEdit.h"
#include "recording/CopyProgress.h"
#include "recording/RecordingFiles.h"
#include "recording/StagedParts.h"
#include "recording/UndoStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

namespace vmx {

namespace {

// Puts the timing entry of a new record at its row (list id - 1); rows the store counts but
// cannot deliver read as unmeasured.
void placeTiming(LoadedPane& pane, std::uint16_t id, const TimingEntry& entry)
{
    const std::size_t rows = std::max<std::size_t>(pane.store.listedCount(), id);
    if (pane.timing.size() < rows)
        pane.timing.resize(rows, TimingEntry::Unmeasured());
    pane.timing[id - 1u] = entry;
}

void copyRecordFields(const AVMRec& from, AVMRec& to)
{
    std::memcpy(to.name, from.name, sizeof to.name);
    to.extA = from.extA;
    to.startTime = from.startTime;
    to.duration = from.duration;
    to.vid = from.vid;
    to.aid = from.aid;
    to.pid = from.pid;
    to.streamWord4 = from.streamWord4;
    to.ecmPid = from.ecmPid;
    to.streamWord6 = from.streamWord6;
    to.attr1 = from.attr1;
    to.attr2 = from.attr2;
    to.attr3 = from.attr3;
    std::memcpy(to.attrBlock, from.attrBlock, 16);
    to.partCount = from.partCount;
}

// The copy of one recording's part files into the target's folder. Each part is written under
// its staged name (see StagedParts), so that nothing the copy leaves is ever taken for a part of
// no recording; the files are removed unless putInPlace() gives them their names, which it does
// once the database names them.
class PartCopier {
public:
    PartCopier(std::string folder, CopyProgress& progress, UserInterface& ui)
        : m_folder(std::move(folder)), m_progress(progress), m_ui(ui)
    {
    }
    ~PartCopier()
    {
        for (const std::string& name : m_created)
            ::unlink(stagedPath(name).c_str());
    }
    PartCopier(const PartCopier&) = delete;
    PartCopier& operator=(const PartCopier&) = delete;

    bool cancelled() const { return m_cancelled; }

    // Copies one part to the staged name of `name`; returns an empty string or what went wrong.
    std::string copy(const std::string& from, const std::string& name)
    {
        UniqueFd in;
        std::uint64_t size = 0;
        if (std::string error = OpenRegularFile(from, O_RDONLY | O_NOFOLLOW, in, size); !error.empty())
            return error;
        const std::string to = stagedPath(name);
        std::string error;
        UniqueFd out(CreateNewFile(to, error));
        if (!out.ok())
            return error;
        m_created.push_back(name);
        m_ui.updateProgress(m_progress.update(size, 0));
        CopyFailure failure;
        const bool copied = CopyBytes(in.get(), 0, out.get(), 0, size, [&](std::uint64_t done) {
            return m_ui.updateProgress(m_progress.update(size, done));
        }, failure);
        if (!copied) {
            m_cancelled = failure.cancelled;
            return "cannot copy " + from + " to " + m_folder + name + ": " + failure.reason() + ".";
        }
        // Writing back starts now; flush() waits for it before a database names the part.
        ::sync_file_range(out.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
        if (!out.close())
            return "cannot write " + to + ": " + std::strerror(errno) + ".";
        return {};
    }

    // Waits until every copied part is on the disk. Returns an empty string or what went wrong.
    std::string flush() const
    {
        for (const std::string& name : m_created) {
            const std::string path = stagedPath(name);
            UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
            if (!fd.ok() || ::fdatasync(fd.get()) != 0)
                return "cannot write " + path + ": " + std::strerror(errno) + ".";
        }
        if (const int error = SyncFolder(m_folder); error != 0)
            return "cannot flush the folder " + m_folder + ": " + std::strerror(error) + ".";
        return {};
    }

    // The database names the parts now: each takes its name. Gives the part paths; `error` says
    // which part could not take its name (it stays under its staged name, and the next operation
    // on the folder gives it its name).
    std::vector<std::string> putInPlace(std::string& error)
    {
        std::vector<std::string> paths;
        for (const std::string& name : m_created) {
            paths.push_back(m_folder + name);
            if (const int code = UnstagePart(m_folder, name); code != 0 && error.empty())
                error = "cannot give " + stagedPath(name) + " its name " + name + ": " + std::strerror(code) + ".";
        }
        m_created.clear();
        (void)SyncFolder(m_folder);
        return paths;
    }

private:
    std::string stagedPath(const std::string& name) const { return m_folder + StagedPartName(name); }

    std::string m_folder;
    CopyProgress& m_progress;
    UserInterface& m_ui;
    std::vector<std::string> m_created;  // part names whose staged files this copy made
    bool m_cancelled = false;
};

struct OneCopy {
    bool ok = false;
    std::uint16_t id = 0;  // the new record's list id
    std::vector<std::string> partPaths;
    bool cancelled = false;
    std::string error;
    std::string notice;  // what the user should know about a copy that succeeded
};

// The part name a copy gives part `part` of `from` in record slot `slot`: "RF" and the slot, then
// the last six characters of the source part's name.
std::string copiedPartName(int slot, const AVMRec& from, int part)
{
    char prefix[8] = {};
    std::snprintf(prefix, sizeof prefix, "RF%04d", slot % 10000);
    return std::string(prefix, 6) + std::string(from.parts[part].name + 6, 6);
}

// Copies the recording at `row` of the source into a new record of the target and writes the
// target database.
OneCopy copyOneRecording(const LoadedPane& source, LoadedPane& target, int row, CopyProgress& progress,
                         const WritePaneDb& writeTarget, UserInterface& ui)
{
    OneCopy result;
    AVMRec from{};
    if (!source.store.get(static_cast<unsigned>(row + 1), from)) {
        result.error = "recording " + std::to_string(row + 1) + " cannot be read from " + source.dbPath + ".";
        return result;
    }
    const std::string name = RecordDisplayName(from);
    if (const std::string unsafe = UnsafePartsMessage(from, source.dbPath); !unsafe.empty()) {
        result.error = "Not copied: " + unsafe;
        return result;
    }
    // A record slot whose part names stand on the disk already (a stray file, or a file of the
    // folder's other database), or that a recording of any database of the folder names, is
    // passed over: new parts never replace a file, nor take a name another recording needs.
    FolderParts folderParts;
    if (const std::string error = ReadFolderParts(target.folder, folderParts); !error.empty()) {
        result.error = "Not copied: " + error;
        return result;
    }
    // Names an undo would give back are passed over too.
    const std::set<std::string> heldByUndo = UndoHeldPartNames(target.folder);
    std::vector<std::string> taken;
    const auto namesAreFree = [&](int index) {
        for (int i = 0; i < from.partCount; ++i) {
            const std::string part = copiedPartName(index + 1, from, i);
            struct stat st {};
            if (::lstat((target.folder + part).c_str(), &st) == 0 || folderParts.named(part) ||
                heldByUndo.count(AsciiUpper(part)) ||
                ::lstat((target.folder + StagedPartName(part)).c_str(), &st) == 0) {
                taken.push_back(target.folder + part);
                return false;
            }
        }
        return true;
    };
    // The new record goes again unless the target database is written with it.
    StoreEdit edit(target.store);
    std::uint16_t id = 0;
    AVMRec to{};
    if (!edit.alloc(id, to, namesAreFree)) {
        result.error = "the database " + target.dbPath + " has no free record slot for the recording \"" + name +
                       "\"" + (taken.empty() ? "" : " whose part names are not taken by files on the disk") +
                       "; it was not copied.";
        return result;
    }
    // A damaged database can hold recordings beyond the count in its header; a new record placed
    // after them would lie outside the count, where no pane lists it.
    if (id > target.store.listedCount()) {
        result.error = "the database " + target.dbPath + " holds more recordings than its header counts, so the "
                       "recording \"" + name + "\" could not be registered; it was not copied.";
        return result;
    }
    result.id = id;
    copyRecordFields(from, to);
    std::memset(to.parts, 0, sizeof to.parts);
    const std::string prefix = RecordPrefix(target.store, to);
    for (int i = 0; i < from.partCount; ++i) {
        std::memcpy(to.parts[i].name, prefix.data(), 6);
        std::memcpy(to.parts[i].name + 6, from.parts[i].name + 6, 6);
    }

    PartCopier copier(target.folder, progress, ui);
    for (int i = 0; i < from.partCount; ++i) {
        const std::string error = copier.copy(PartPath(source.folder, from, i), PartName(to, i));
        if (!error.empty()) {
            result.cancelled = copier.cancelled();
            result.error = (result.cancelled ? "The copy was cancelled." : "Copying failed: " + error) +
                           " The recording \"" + name + "\" was not copied; the files made for it were removed.";
            return result;
        }
    }
    if (const std::string error = copier.flush(); !error.empty()) {
        result.error = "Copying failed: " + error + " The recording \"" + name +
                       "\" was not copied; the files made for it were removed.";
        return result;
    }
    edit.set(id, to);
    if (const std::string error = writeTarget(); !error.empty()) {
        result.error = "The recording \"" + name + "\" was not copied: " + error +
                       " The files made for it were removed.";
        return result;
    }
    edit.commit();
    // The database names the parts now; they take their names.
    std::string unnamed;
    result.partPaths = copier.putInPlace(unnamed);
    if (!unnamed.empty())
        result.notice = "The recording \"" + name + "\" was copied, but " + unnamed +
                        " The next operation on the folder will try again.";
    result.ok = true;
    if (!taken.empty() && result.notice.empty())
        result.notice = taken.front() + " is already on the disk" +
                        (taken.size() > 1 ? " (with " + std::to_string(taken.size() - 1) + " more files in the way)" : "") +
                        ", so the recording \"" + name + "\" was copied under the part names " + prefix +
                        "..; the files already there were left untouched.";
    return result;
}

// Refuses a transfer that cannot fit before any file is copied. Empty when it fits.
std::string checkRoom(const LoadedPane& source, const LoadedPane& target, const std::vector<int>& rows,
                      std::vector<std::string>& notes)
{
    // Both sides holding one database file: whichever side writes last would drop what the
    // other wrote, so the copy would not stay registered.
    if (IsSameFile(source.dbPath, target.dbPath))
        return "both sides hold the same database " + target.dbPath + "; nothing was copied.";
    // Each recording is registered by a write of the target; one that cannot be written would
    // have every part copied in vain.
    if (std::string why = CheckDbWritable(target.dbPath); !why.empty())
        return why + " Nothing was copied.";
    for (const int row : rows) {
        if (row < 0 || static_cast<std::size_t>(row) >= source.timing.size())
            return "there is no recording " + std::to_string(row + 1) + " in " + source.dbPath + ".";
    }
    const int room = target.store.roomLeft();
    if (static_cast<std::size_t>(room) < rows.size())
        return "the database " + target.dbPath + " has room for " + std::to_string(room) + " more recordings but " +
               std::to_string(rows.size()) + " were chosen; nothing was copied.";
    std::uint64_t needed = 0;
    for (const int row : rows) {
        if (source.timingAt(row).measured())
            needed += source.totalSizeAt(row);
    }
    struct statvfs vfs {};
    const std::string folder = target.folder.empty() ? "." : target.folder;
    // A FUSE file system without statfs answers zeros: no size, so nothing known of its room.
    if (::statvfs(folder.c_str(), &vfs) == 0 && vfs.f_blocks != 0) {
        std::uint64_t available = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
        // What undo keeps gives way to the copy, the oldest first.
        if (available < needed) {
            notes = TakeRoomFromUndo(target.folder, needed);
            available = FreeBytesOf(folder);
        }
        if (available < needed)
            return "not enough free space in " + folder + ": " + std::to_string(needed) + " bytes are needed, " +
                   std::to_string(available) + " are free; nothing was copied.";
    }
    return {};
}

}  // namespace

std::string DefaultNewDbName(const std::string& leftDbName, const std::string& rightDbName)
{
    if (leftDbName.starts_with("DZR") || rightDbName.starts_with("DZR"))
        return "DZR000";
    return "DZT000";
}

TransferResult TransferRecordings(const LoadedPane& source, LoadedPane& target, std::vector<int> rows,
                                  const WritePaneDb& writeTarget, UserInterface& ui)
{
    TransferResult result;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (!target.loaded()) {
        ui.showMessage("No database is loaded to copy the recordings into.");
        result.refused = true;
        return result;
    }
    std::vector<std::string> roomNotes;
    const std::string error = checkRoom(source, target, rows, roomNotes);
    for (const std::string& note : roomNotes)
        ui.showMessage(note);
    if (!error.empty()) {
        ui.showMessage("Cannot copy: " + error);
        result.refused = true;
        return result;
    }

    CopyProgress progress;
    std::uint64_t total = 0;
    for (const int row : rows) {
        if (source.timingAt(row).measured())
            total += source.totalSizeAt(row);
    }
    progress.start(total);
    if (!rows.empty())
        ui.openProgress("Copying....");
    for (const int row : rows) {
        const OneCopy one = copyOneRecording(source, target, row, progress, writeTarget, ui);
        if (one.ok) {
            ++result.copied;
            placeTiming(target, one.id, source.timingAt(row));
            result.copies.push_back({row, one.id, one.partPaths});
            if (!one.notice.empty()) {
                ui.showMessage(one.notice);
                result.warnings.push_back(one.notice);
            }
            continue;
        }
        ++result.failed;
        ui.showMessage(one.error);
        if (one.cancelled) {
            result.cancelled = true;
            break;
        }
    }
    if (!rows.empty())
        ui.closeProgress();
    const std::string closing = writeTarget();
    result.dbWritten = closing.empty();
    if (!result.dbWritten) {
        const std::string warning =
            "Warning: every recording copied is registered, but the closing write of the database failed: " + closing;
        ui.showMessage(warning);
        result.warnings.push_back(warning);
    }
    progress.finish();
    return result;
}

}  // namespace vmx
