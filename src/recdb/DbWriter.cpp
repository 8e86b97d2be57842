#include "recdb/DbWriter.h"

#include "common/AsciiCase.h"
#include "common/BigEndian.h"
#include "common/FilePaths.h"
#include "common/KernelCopy.h"
#include "common/PendingFile.h"
#include "common/RegularFile.h"
#include "common/UniqueFd.h"
#include "common/WriteAll.h"
#include "common/ReadAll.h"
#include "recdb/DbCheck.h"
#include "recdb/DbCompanions.h"
#include "recdb/DbReader.h"
#include "recdb/DiskNaming.h"
#include "recdb/FileCache.h"
#include "recdb/RecordStore.h"
#include "recdb/Trace.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <set>
#include <vector>

namespace {

// Opens an existing database to take its content before it is replaced. Only a regular file
// counts: a FIFO would block a plain open, a device or folder is no database. It must be writable
// too: the rename that replaces it would otherwise override a read-only file (read-only attribute
// on FAT, no write permission elsewhere), even for root. Returns an empty string or why not.
std::string openDatabase(const std::string& path, vmx::UniqueFd& fd, struct stat& st)
{
    if (path.empty())
        return "no database file is chosen for this side.";
    std::uint64_t size = 0;
    if (std::string error = vmx::OpenRegularFile(path, O_RDWR | O_NOFOLLOW, fd, size); !error.empty())
        return error;
    if (::fstat(fd.get(), &st) != 0) {
        const int error = errno;
        fd.reset();
        return "cannot write the database " + path + ": " + std::strerror(error) + ".";
    }
    if ((st.st_mode & 0222) == 0) {
        fd.reset();
        return "the database " + path + " is read-only, so it cannot be written.";
    }
    return {};
}

std::string folderText(const std::string& file)
{
    const std::string folder = vmx::FolderOfPath(file);
    return folder.empty() ? std::string("the current folder") : folder;
}

// The record's image as the file holds it (big-endian numbers). A free record is all zeros.
void buildImage(const AVMRec& rec, std::uint8_t* image)
{
    std::memset(image, 0, kAVMImageSize);
    vmx::WriteBe16(image, rec.id);
    if (rec.id == kDBMIdFree)
        return;
    std::memcpy(image + 2, rec.name, sizeof rec.name);
    vmx::WriteBe16(image + 18, rec.partCount);
    vmx::WriteBe32(image + 20, rec.startTime);
    vmx::WriteBe32(image + 24, rec.duration);
    vmx::WriteBe16(image + 28, rec.vid);
    vmx::WriteBe16(image + 30, rec.aid);
    vmx::WriteBe16(image + 32, rec.pid);
    vmx::WriteBe16(image + 34, rec.streamWord4);
    vmx::WriteBe16(image + 36, rec.ecmPid);
    vmx::WriteBe16(image + 38, rec.streamWord6);
    image[40] = rec.attr1;
    image[41] = rec.attr2;
    vmx::WriteBe16(image + 42, rec.attr3);
    std::memcpy(image + 44, rec.attrBlock, sizeof rec.attrBlock);
    vmx::WriteBe64(image + 96, rec.extA);
    vmx::WriteBe64(image + 104, rec.extB);
    for (std::size_t k = 0; k < 3; ++k)
        vmx::WriteBe64(image + 112 + 8 * k, rec.extC[k]);
    image[136] = rec.extD;
}

// Writes header and sections of the store into the cache's file. Returns 0 when every write
// succeeded, else the errno value of the first failure.
int writeContent(int type, const AVMRecordTable& table)
{
    int error = 0;
    auto noteFailure = [&error] {
        if (error == 0)
            error = errno != 0 ? errno : EIO;
    };
    errno = 0;
    std::uint8_t header[6];
    vmx::WriteBe16(header, 5);
    vmx::WriteBe16(header + 2, 6);
    vmx::WriteBe16(header + 4, table.count);
    if (AVMWriteFile(0, header, sizeof header))
        noteFailure();

    std::uint32_t position = kAVMHeaderArea;
    for (int i = 0; i < kDBMMaxRecords; ++i) {
        const AVMRec& rec = table.records[i];
        std::uint8_t image[kAVMImageSize];
        buildImage(rec, image);
        // A sum of bytes does not depend on their order: the sum over the big-endian image is the
        // sum over the record's numbers that the reader checks.
        unsigned sum = 0;
        for (const std::uint8_t b : image)
            sum += b;
        const auto checksum = static_cast<std::uint8_t>(sum & 0xFF);
        const std::uint16_t parts = rec.id == kDBMIdFree ? 0 : rec.partCount;

        if (AVMWriteFile(position, image, kAVMImageSize)) {
            noteFailure();
            DBMTrace("infor: AVMWriteDb error type(%d) pos(%u).", type, position);
        }
        if (AVMWriteFile(position + kAVMImageSize, &checksum, 1)) {
            noteFailure();
            DBMTrace("infor: AVMWriteDb error sum type(%d) pos(%u).", type, position + kAVMImageSize);
        }
        position += kAVMImageSize + 1;
        for (int j = 0; j < parts && j < kDBMMaxParts; ++j) {
            if (AVMWriteFile(position, rec.parts[j].name, kAVMPartNameLen)) {
                noteFailure();
                DBMTrace("infor: AVMWriteDb error type(%d)pos(%u)j(%d).", type, position, j);
            }
            position += kAVMPartNameLen;
        }
    }
    if (AVMWriteFile(position, nullptr, 0))
        noteFailure();
    return error;
}

// A failure of one step of a database write: the sentence for the user and the errno value
// behind it, so that a write that ran out of room can try the ways that need none.
struct WriteFailure {
    std::string text;
    int error = 0;
    bool failed() const { return !text.empty(); }
};

WriteFailure failedWith(int error, std::string text)
{
    return {std::move(text), error != 0 ? error : EIO};
}

// Copies bytes [begin, end) of `in` to the same places of `out`, passing over the holes of a
// sparse file, and makes `out` at least `end` bytes long, so that its holes read as zeros as the
// source's do: a damaged database that claims gigabytes it does not take costs no more room in
// its backup and its next version than it takes itself.
bool copyAtSamePlaces(int in, int out, std::uint64_t begin, std::uint64_t end, vmx::CopyFailure& failure)
{
    for (std::uint64_t position = begin; position < end;) {
        const off_t data = ::lseek(in, static_cast<off_t>(position), SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break;  // nothing but a hole up to the end
        std::uint64_t from = position;
        std::uint64_t to = end;
        if (data >= 0) {
            from = static_cast<std::uint64_t>(data);
            const off_t hole = ::lseek(in, data, SEEK_HOLE);
            if (hole > data)
                to = std::min<std::uint64_t>(end, static_cast<std::uint64_t>(hole));
        }
        // A file system that cannot tell holes copies everything.
        if (from < to && !vmx::CopyBytes(in, from, out, from, to - from, {}, failure))
            return false;
        position = std::max(to, from);
    }
    struct stat st {};
    if (::fstat(out, &st) != 0 || (static_cast<std::uint64_t>(st.st_size) < end && ::ftruncate(out, static_cast<off_t>(end)) != 0)) {
        failure.error = errno;
        return false;
    }
    return true;
}

// Bytes of the old file beyond the new content are kept, as an in-place update would, streamed
// from file to file: a damaged database may carry any amount of them.
WriteFailure copyTrailingBytes(int oldFd, std::uint64_t oldSize, int newFd, std::uint64_t newSize,
                               const std::string& dbPath)
{
    vmx::CopyFailure failure;
    if (newSize < oldSize && !copyAtSamePlaces(oldFd, newFd, newSize, oldSize, failure))
        return failedWith(failure.error,
                          "cannot carry over the last bytes of the database " + dbPath + ": " + failure.reason() + ".");
    return {};
}

// Puts the old content, streamed from the open old file, in place as the .BAK beside `replaced`.
WriteFailure writeBackup(int oldFd, const struct stat& old, const std::string& replaced)
{
    const std::string path = vmx::BackupPathOf(replaced);
    vmx::PendingFile backup(path);
    if (!backup.ok())
        return failedWith(errno, "cannot write the backup " + path + ": " + std::strerror(errno) + ".");
    vmx::CopyFailure failure;
    if (!copyAtSamePlaces(oldFd, backup.fd(), 0, static_cast<std::uint64_t>(old.st_size), failure))
        return failedWith(failure.error, "cannot write the backup " + path + ": " + failure.reason() + ".");
    if (const int error = backup.commit(old.st_mode & 07777); error != 0)
        return failedWith(error, "cannot put the backup " + path + " in place: " + std::strerror(error) + ".");
    return {};
}

// The usual way: the new file is written beside the old one, flushed and renamed over it, with
// the old content kept as the .BAK first. It needs room for the new file and the backup.
WriteFailure replaceByRename(const std::string& dbPath, const std::string& replaced, int oldFd, const struct stat& st,
                             const std::vector<std::uint8_t>& content, vmx::BackupChoice backup)
{
    vmx::PendingFile temp(replaced);
    if (!temp.ok()) {
        const int error = errno;
        DBMTrace("infor: AVMWriteDb error open(%s).", dbPath.c_str());
        return failedWith(error, "cannot write a new file into " + folderText(replaced) + ": " + std::strerror(error) + ".");
    }
    if (const int error = vmx::WriteAllAt(temp.fd(), content.data(), content.size(), 0); error != 0)
        return failedWith(error, "cannot write the database " + dbPath + ": " + std::strerror(error) + ".");
    WriteFailure failure =
        copyTrailingBytes(oldFd, static_cast<std::uint64_t>(st.st_size), temp.fd(), content.size(), dbPath);
    if (!failure.failed() && backup == vmx::BackupChoice::Replace)
        failure = writeBackup(oldFd, st, replaced);
    if (!failure.failed()) {
        if (const int error = temp.commit(st.st_mode & 07777); error != 0)
            failure = failedWith(error, "cannot put the new database in place of " + dbPath + ": " +
                                            std::strerror(error) + ".");
    }
    return failure;
}

// On a full disk, a change that touches a few bytes of one page of the file (a renamed recording
// of a database this program wrote before) is written over the old bytes in one call: it needs
// no room, and a kill or power loss leaves either the old bytes or the new ones (a page is written
// whole), never a mixture across the file. The .BAK stays as it was.
bool patchInPlace(int oldFd, const struct stat& st, const std::vector<std::uint8_t>& content)
{
    constexpr std::size_t kPage = 4096;
    if (content.size() > static_cast<std::uint64_t>(st.st_size))
        return false;
    std::vector<std::uint8_t> old(content.size());
    std::size_t got = 0;
    if (vmx::ReadAllAt(oldFd, old.data(), old.size(), 0, got) != 0 || got != old.size())
        return false;
    std::size_t first = 0;
    while (first < old.size() && old[first] == content[first])
        ++first;
    if (first == old.size())
        return true;
    std::size_t last = old.size() - 1;
    while (old[last] == content[last])
        --last;
    if (first / kPage != last / kPage)
        return false;
    return vmx::WriteAllAt(oldFd, content.data() + first, last - first + 1, first) == 0 && ::fdatasync(oldFd) == 0;
}

// On a full disk, the .BAK (the database as it stood before an earlier operation) lends its room:
// the new database is written into it over its old bytes, which needs no new room when it is
// large enough, and the two files then swap names in one step (RENAME_EXCHANGE), so the .BAK
// holds the database as it stood before this write. The database itself is never touched
// before the swap, so a kill or power loss at any moment leaves it whole; at worst the .BAK is
// half overwritten. Where the file system cannot swap names the new file is renamed over the
// database and the .BAK is gone.
bool exchangeWithBackup(const std::string& replaced, int oldFd, const struct stat& st,
                        const std::vector<std::uint8_t>& content)
{
    const std::string backupPath = vmx::BackupPathOf(replaced);
    vmx::UniqueFd backup(::open(backupPath.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat bst {};
    if (!backup.ok() || ::fstat(backup.get(), &bst) != 0 || !S_ISREG(bst.st_mode))
        return false;
    const std::uint64_t newSize = std::max<std::uint64_t>(content.size(), static_cast<std::uint64_t>(st.st_size));
    if (static_cast<std::uint64_t>(bst.st_size) < newSize || static_cast<std::uint64_t>(bst.st_blocks) * 512 < newSize)
        return false;
    if (vmx::WriteAllAt(backup.get(), content.data(), content.size(), 0) != 0 ||
        copyTrailingBytes(oldFd, static_cast<std::uint64_t>(st.st_size), backup.get(), content.size(), replaced).failed() ||
        ::ftruncate(backup.get(), static_cast<off_t>(newSize)) != 0)
        return false;
    (void)::fchmod(backup.get(), st.st_mode & 07777);
    if (::fsync(backup.get()) != 0)
        return false;
    if (::renameat2(AT_FDCWD, backupPath.c_str(), AT_FDCWD, replaced.c_str(), RENAME_EXCHANGE) != 0) {
        if ((errno != EINVAL && errno != ENOSYS) || ::rename(backupPath.c_str(), replaced.c_str()) != 0)
            return false;
    }
    (void)vmx::SyncFolder(vmx::FolderOfPath(replaced));
    return true;
}

// Brings `content` onto the disk as the database's new content: renamed into place when there is
// room; on a full disk (a deletion is how the user frees room, so it must not need any) by the
// two ways above that need none.
std::string replaceContent(const std::string& dbPath, int oldFd, const struct stat& st,
                           const std::vector<std::uint8_t>& content, vmx::BackupChoice backup)
{
    const std::string& replaced = dbPath;
    const WriteFailure failure = replaceByRename(dbPath, replaced, oldFd, st, content, backup);
    if (!failure.failed())
        return {};
    if (failure.error == ENOSPC || failure.error == EDQUOT) {
        if (patchInPlace(oldFd, st, content)) {
            DBMTrace("infor: AVMWriteDb disk full, changed in place(%s).", dbPath.c_str());
            return {};
        }
        // A later write of the same operation must leave the backup of its first write alone.
        if (backup == vmx::BackupChoice::Replace && exchangeWithBackup(replaced, oldFd, st, content)) {
            DBMTrace("infor: AVMWriteDb disk full, written into the backup(%s).", dbPath.c_str());
            return {};
        }
    }
    DBMTrace("infor: AVMWriteDb error write(%s).", dbPath.c_str());
    return failure.text;
}

}  // namespace

std::string vmx::BackupPathOf(const std::string& dbPath)
{
    const std::string folder = vmx::FolderOfPath(dbPath);
    std::string name = vmx::FileNameOfPath(dbPath);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return folder + name + ".BAK";
}

std::string vmx::CreateEmptyDb(const std::string& dbPath)
{
    static const std::uint8_t kEmpty[6] = {0, 5, 0, 6, 0, 0};
    // Written beside its place and renamed in, never over an existing file: a program killed on
    // the way leaves no empty or half-written database, only a temporary file of its own.
    vmx::PendingFile file(dbPath);
    if (!file.ok())
        return dbPath + ": " + std::strerror(errno);
    if (const int error = vmx::WriteAllAt(file.fd(), kEmpty, sizeof kEmpty, 0); error != 0)
        return dbPath + ": " + std::strerror(error);
    if (const int error = file.commit(0644, vmx::PendingFile::Existing::Keep, vmx::PendingFile::FolderFlush::Required);
        error != 0)
        return dbPath + ": " + std::strerror(error);
    return {};
}

unsigned char AVMRenameDbFile(int type)
{
    if (!vmx::FileCacheActive())
        return 1;
    char dbName[256] = {};
    char backupName[256] = {};
    if ((type & 0xFF) == kDBMTypeRecord) {
        AVMMakeNameString(dbName, 0);
        AVMMakeNameString(backupName, 11);
    } else {
        AVMMakeNameString(dbName, 3);
        AVMMakeNameString(backupName, 13);
    }
    return 0;
}

namespace {

// A part name as the receiver's FAT disk compares it: without regard to letter case.
std::string partKey(const char* name)
{
    return vmx::AsciiUpper(std::string_view(name, kAVMPartNameLen));
}

// Deletes the part files of a deleted record from the database's folder, except files named in
// `keep` (part files that a listed record of the store or a recording of any database of the
// folder still names), and clears the record. With `keepAll` nothing is deleted: which files the
// folder's databases name could not be read.
void deleteRecordFiles(AVMRec* record, const std::string& dbPath, const std::set<std::string>& keep, bool keepAll)
{
    // Part files live beside the database that lists them, never relative to the current folder.
    const std::string folder = vmx::FolderOfPath(dbPath);
    const int count = record->partCount <= kDBMMaxParts ? record->partCount : 0;
    for (int j = 0; j < count && !dbPath.empty(); ++j) {
        const char* name = record->parts[j].name;
        if (!vmx::IsSafePartNameOf(name, dbPath)) {
            DBMTrace("fatal: file name(%s) refused.", vmx::PrintablePartName(name).c_str());
            continue;
        }
        const std::string path = folder + std::string(name, kAVMPartNameLen);
        if (keepAll || keep.count(partKey(name))) {
            DBMTrace("fatal: file name(%s) kept: a recording names it.", path.c_str());
            continue;
        }
        DBMTrace("fatal: file name(%s).", path.c_str());
        ::unlink(path.c_str());
    }
    const std::uint16_t partCount = record->partCount;
    AVMPart parts[kDBMMaxParts];
    std::memcpy(parts, record->parts, sizeof parts);
    std::memset(record, 0, sizeof *record);
    record->partCount = partCount;
    std::memcpy(record->parts, parts, sizeof parts);
}

// The part names of the records listed in the store (id 1..200).
std::set<std::string> listedPartNames(const AVMRecordTable& table)
{
    std::set<std::string> names;
    for (int i = 0; i < kDBMMaxRecords; ++i) {
        const AVMRec& rec = table.records[i];
        if (rec.id == kDBMIdFree || rec.id > kDBMMaxIds)
            continue;
        const int parts = rec.partCount <= kDBMMaxParts ? rec.partCount : kDBMMaxParts;
        for (int j = 0; j < parts; ++j)
            names.insert(partKey(rec.parts[j].name));
    }
    return names;
}

}  // namespace

unsigned char AVMDeleteRecordFiles(AVMRec* record, int /*type*/)
{
    if (record)
        deleteRecordFiles(record, vmx::CurrentDbPath(), {}, false);
    return 0;
}

unsigned char AVMWriteDb(int type)
{
    AVMRecordTable table{};
    if (!DBMGetSys(type, &table)) {
        DBMTrace("infor: AVMWriteDb error get sys.");
        return 1;
    }
    if (!table.records) {
        if (AVMRenameDbFile(type))
            DBMTrace("infor: AVMRenameDbFile error.");
        return 1;
    }
    return vmx::WriteDb(vmx::CurrentStore(), vmx::CurrentDbPath()).empty() ? 0 : 1;
}

namespace vmx {

namespace {

// What a write does to the store's ids: records deleted since the last write become free and the
// listed records get ids 1..count in list order. `oldIds` puts them back when the write fails.
struct Renumbering {
    std::vector<int> deleted;  // record indexes of the deleted records
    std::vector<std::uint16_t> oldIds = std::vector<std::uint16_t>(kDBMMaxRecords);
};

Renumbering renumber(AVMRecordTable& table)
{
    Renumbering r;
    for (int i = 0; i < kDBMMaxRecords; ++i) {
        r.oldIds[static_cast<std::size_t>(i)] = table.records[i].id;
        if (table.records[i].id == kDBMIdDeleted) {
            r.deleted.push_back(i);
            table.records[i].id = kDBMIdFree;
        }
    }
    // A damaged database can also hold recordings that the id map names beyond the header's
    // count, or that carry an id another record won at the load; they are not listed, but they
    // keep their place in the file instead of vanishing from it at the next write.
    const int listed = table.count < kDBMMaxIds ? table.count : kDBMMaxIds;
    for (int k = 0; k < kDBMMaxIds; ++k) {
        const std::uint16_t index = table.idMap[k];
        if (index >= kDBMMaxRecords)
            continue;
        AVMRec& rec = table.records[index];
        if (k < listed || (rec.id != kDBMIdFree && rec.id <= kDBMMaxIds))
            rec.id = static_cast<std::uint16_t>(k + 1);
    }
    return r;
}

void undoRenumbering(AVMRecordTable& table, const Renumbering& r)
{
    for (int i = 0; i < kDBMMaxRecords; ++i)
        table.records[i].id = r.oldIds[static_cast<std::size_t>(i)];
}

// The content of the (renumbered) table, put together in memory through the file cache.
std::vector<std::uint8_t> renderContent(const AVMRecordTable& table)
{
    std::vector<std::uint8_t> content;
    content.reserve(kAVMHeaderArea + kDBMMaxRecords * (kAVMImageSize + 1));
    vmx::SetCacheSink(&content);
    AVMResetFileCache();
    (void)writeContent(kDBMTypeRecord, table);
    vmx::SetCacheSink(nullptr);
    return content;
}

// The store's table, when the file cache can write it.
bool tableOf(RecordStore& store, AVMRecordTable& table, std::string& failure)
{
    table = store.table();
    if (AVMRenameDbFile(kDBMTypeRecord))
        DBMTrace("infor: AVMRenameDbFile error.");
    if (!vmx::FileCacheActive()) {
        failure = "the database file cache is not ready, so no database was written.";
        return false;
    }
    return true;
}

}  // namespace

std::string RenderDb(RecordStore& store, std::vector<std::uint8_t>& content)
{
    AVMRecordTable table{};
    std::string failure;
    if (!tableOf(store, table, failure))
        return failure;
    const Renumbering r = renumber(table);
    content = renderContent(table);
    undoRenumbering(table, r);
    return {};
}

std::string WriteDbContent(const std::string& dbPath, const std::vector<std::uint8_t>& content, BackupChoice backup)
{
    UniqueFd old;
    struct stat st {};
    if (std::string failure = openDatabase(dbPath, old, st); !failure.empty())
        return failure;
    return replaceContent(dbPath, old.get(), st, content, backup);
}

std::string WriteDb(RecordStore& store, const std::string& dbPath, BackupChoice backup)
{
    AVMRecordTable table{};
    std::string failure;
    if (!tableOf(store, table, failure))
        return failure;

    const int nameTypes[2] = {0, 2};
    UniqueFd old;
    struct stat st {};
    for (int attempt = 0; attempt < 2 && !old.ok(); ++attempt) {
        char name[256] = {};
        AVMMakeNameString(name, nameTypes[attempt]);
        // The database must exist: no database is created here.
        failure = openDatabase(dbPath, old, st);
        if (!old.ok())
            DBMTrace("infor: AVMWriteDb error open(%s).", name);
    }
    if (!old.ok())
        return failure;

    // Records deleted since the last write are written as free sections; their part files go
    // only once the new database is in place.
    const Renumbering r = renumber(table);
    const std::vector<std::uint8_t> content = renderContent(table);
    if (failure = replaceContent(dbPath, old.get(), st, content, backup); !failure.empty()) {
        // The database on disk is unchanged; the store keeps its deleted records for the next
        // write and its ids as they were.
        undoRenumbering(table, r);
        return failure;
    }
    // A damaged database may name one file in a deleted and in a listed recording, and the
    // folder's other database may name it too; the file stays for them.
    std::set<std::string> stillNamed = listedPartNames(table);
    bool keepAll = false;
    if (!r.deleted.empty()) {
        const std::string error = PartNamesListedInFolder(FolderOfPath(dbPath), stillNamed);
        keepAll = !error.empty();
        if (keepAll)
            DBMTrace("infor: AVMWriteDb part files kept(%s).", error.c_str());
    }
    for (const int i : r.deleted)
        deleteRecordFiles(&table.records[i], dbPath, stillNamed, keepAll);
    return {};
}

std::string CheckDbWritable(const std::string& dbPath, RoomCheck room)
{
    UniqueFd db;
    struct stat st {};
    if (std::string why = openDatabase(dbPath, db, st); !why.empty())
        return why;
    const std::string& replaced = dbPath;
    const std::string backupPath = vmx::BackupPathOf(replaced);
    struct stat backupSt {};
    if (::lstat(backupPath.c_str(), &backupSt) == 0 && S_ISDIR(backupSt.st_mode))
        return backupPath + " is a folder, so the database's backup cannot be kept there.";
    if (room == RoomCheck::Skip)
        return {};
    PendingFile probe(replaced);
    if (!probe.ok())
        return "cannot write a new file into " + folderText(replaced) + ": " + std::strerror(errno) + ".";
    // Until both are renamed into place the write holds the new database and the backup beside the
    // old ones; the probe takes that room once and is removed again. A sparse database takes only
    // the room of its data, and so do its copies (their holes stay holes).
    const auto allocated = static_cast<std::uint64_t>(st.st_blocks) * 512;
    const auto size = allocated > 0 ? std::min(static_cast<std::uint64_t>(st.st_size), allocated)
                                    : static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t need = std::max(size, kMaxDbContentSize) + size;
    if (const int error = ReserveRoom(probe.fd(), need); error != 0)
        return "there is no room in " + folderText(replaced) + " to write the database " + dbPath + ": " +
               std::strerror(error) + ".";
    return {};
}

std::string DbOperation::write(RecordStore& store, const std::string& dbPath)
{
    std::string error = WriteDb(store, dbPath, dbPath == m_backedUp ? BackupChoice::Keep : BackupChoice::Replace);
    if (error.empty())
        m_backedUp = dbPath;
    return error;
}

}  // namespace vmx
