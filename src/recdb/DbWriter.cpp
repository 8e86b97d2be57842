#include "recdb/DbWriter.h"

#include "common/FilePaths.h"
#include "common/PendingFile.h"
#include "common/UniqueFd.h"
#include "common/WriteAll.h"
#include "recdb/DbReader.h"
#include "recdb/DiskNaming.h"
#include "recdb/FileCache.h"
#include "recdb/RecordStore.h"
#include "recdb/Trace.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <set>
#include <vector>

namespace {

bool readWhole(int fd, std::vector<std::uint8_t>& out)
{
    out.clear();
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.insert(out.end(), buffer, buffer + n);
    }
}

// Opens an existing database to take its content before it is replaced. Only a regular file
// counts: a FIFO would block a plain open (hence O_NONBLOCK), a device or folder is no database.
// It must be writable too: the rename that replaces it would otherwise override a read-only
// file (read-only attribute on FAT, no write permission elsewhere), even for root.
int openDatabase(const std::string& path)
{
    if (path.empty())
        return -1;
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The file that a write replaces: the database itself, or where it points when its path is a
// symbolic link, so that the link stays and the file it names gets the new content.
std::string replacedFileOf(const std::string& dbPath)
{
    struct stat st {};
    if (::lstat(dbPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return dbPath;
    char* real = ::realpath(dbPath.c_str(), nullptr);
    if (!real)
        return dbPath;
    std::string resolved = real;
    std::free(real);
    return resolved;
}

void syncFolder(const std::string& folder)
{
    vmx::UniqueFd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.ok())
        ::fsync(dir.get());
}

template <typename T>
void putHost(std::uint8_t* image, std::size_t offset, T value)
{
    std::memcpy(image + offset, &value, sizeof value);
}

// The record's image in host order (the writer turns it big-endian afterwards).
void buildImage(const AVMRec& rec, std::uint8_t* image)
{
    std::memset(image, 0, kAVMImageSize);
    putHost<std::uint16_t>(image, 0, rec.id);
    if (rec.id == kDBMIdFree)
        return;
    std::memcpy(image + 2, rec.name, sizeof rec.name);
    putHost<std::uint16_t>(image, 18, rec.partCount);
    putHost<std::uint32_t>(image, 20, rec.startTime);
    putHost<std::uint32_t>(image, 24, rec.duration);
    putHost<std::uint16_t>(image, 28, rec.vid);
    putHost<std::uint16_t>(image, 30, rec.aid);
    putHost<std::uint16_t>(image, 32, rec.pid);
    putHost<std::uint16_t>(image, 34, rec.streamWord4);
    putHost<std::uint16_t>(image, 36, rec.ecmPid);
    putHost<std::uint16_t>(image, 38, rec.streamWord6);
    image[40] = rec.attr1;
    image[41] = rec.attr2;
    putHost<std::uint16_t>(image, 42, rec.attr3);
    std::memcpy(image + 44, rec.attrBlock, sizeof rec.attrBlock);
    putHost<std::uint64_t>(image, 96, rec.extA);
    putHost<std::uint64_t>(image, 104, rec.extB);
    for (std::size_t k = 0; k < 3; ++k)
        putHost<std::uint64_t>(image, 112 + 8 * k, rec.extC[k]);
    image[136] = rec.extD;
}

// Writes header and sections of the store into the cache's file. Returns 0 when every write
// succeeded.
unsigned char writeContent(int type, const AVMRecordTable& table)
{
    unsigned char failed = 0;
    const std::uint8_t header[6] = {0, 5, 0, 6, static_cast<std::uint8_t>(table.count >> 8),
                                    static_cast<std::uint8_t>(table.count & 0xFF)};
    failed |= AVMWriteFile(0, header, sizeof header);

    std::uint32_t position = kAVMHeaderArea;
    for (int i = 0; i < kDBMMaxRecords; ++i) {
        const AVMRec& rec = table.records[i];
        std::uint8_t image[kAVMImageSize];
        buildImage(rec, image);
        unsigned sum = 0;
        for (const std::uint8_t b : image)
            sum += b;
        const auto checksum = static_cast<std::uint8_t>(sum & 0xFF);
        AVMSwapRecordImage(image);
        const std::uint16_t parts = AVMSwapRememberedPartCount();

        if (AVMWriteFile(position, image, kAVMImageSize)) {
            DBMTrace("infor: AVMWriteDb error type(%d) pos(%u).", type, position);
            failed = 1;
        }
        if (AVMWriteFile(position + kAVMImageSize, &checksum, 1)) {
            DBMTrace("infor: AVMWriteDb error sum type(%d) pos(%u).", type, position + kAVMImageSize);
            failed = 1;
        }
        position += kAVMImageSize + 1;
        for (int j = 0; j < parts && j < kDBMMaxParts; ++j) {
            if (AVMWriteFile(position, rec.parts[j].name, kAVMPartNameLen)) {
                DBMTrace("infor: AVMWriteDb error type(%d)pos(%u)j(%d).", type, position, j);
                failed = 1;
            }
            position += kAVMPartNameLen;
        }
    }
    if (AVMWriteFile(position, nullptr, 0))
        failed = 1;
    return failed;
}

}  // namespace

std::string AVMBackupPathOf(const std::string& dbPath)
{
    const std::string folder = AVMFolderOf(dbPath);
    std::string name = vmx::FileNameOfPath(dbPath);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return folder + name + ".BAK";
}

std::string AVMCreateEmptyDb(const std::string& dbPath)
{
    static const std::uint8_t kEmpty[6] = {0, 5, 0, 6, 0, 0};
    vmx::UniqueFd fd(::open(dbPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!fd.ok())
        return dbPath + ": " + std::strerror(errno);
    if (vmx::WriteAllAt(fd.get(), kEmpty, sizeof kEmpty, 0) != 0 || ::fsync(fd.get()) != 0) {
        const std::string why = std::strerror(errno);
        fd.reset();
        ::unlink(dbPath.c_str());
        return dbPath + ": " + why;
    }
    return {};
}

unsigned char AVMRenameDbFile(int type)
{
    if (!AVMFileCacheActive())
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
    std::string key(name, kAVMPartNameLen);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

// Deletes the part files of a deleted record from the database's folder, except files named in
// `keep` (part files that a listed record of the store still names), and clears the record.
void deleteRecordFiles(AVMRec* record, const std::set<std::string>& keep)
{
    // Part files live beside the database that lists them, never relative to the current folder.
    const std::string& dbPath = AVMActiveDbPath();
    const std::string folder = AVMFolderOf(dbPath);
    const int count = record->partCount <= kDBMMaxParts ? record->partCount : 0;
    for (int j = 0; j < count && !dbPath.empty(); ++j) {
        const char* name = record->parts[j].name;
        if (!vmx::IsSafePartNameOf(name, dbPath)) {
            DBMTrace("fatal: file name(%s) refused.", AVMPrintablePartName(name).c_str());
            continue;
        }
        const std::string path = folder + std::string(name, kAVMPartNameLen);
        if (keep.count(partKey(name))) {
            DBMTrace("fatal: file name(%s) kept: a listed recording names it.", path.c_str());
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
        deleteRecordFiles(record, {});
    return 0;
}

unsigned char AVMWriteDb(int type)
{
    AVMRecordTable table{};
    if (!DBMGetSys(type, &table)) {
        DBMTrace("infor: AVMWriteDb error get sys.");
        return 1;
    }
    if (AVMRenameDbFile(type))
        DBMTrace("infor: AVMRenameDbFile error.");
    if (!table.records)
        return 1;

    const std::string dbPath = AVMActiveDbPath();
    const int nameTypes[2] = {(type & 0xFF) == 3 ? 3 : 0, (type & 0xFF) == 3 ? 5 : 2};
    vmx::UniqueFd old;
    for (int attempt = 0; attempt < 2 && !old.ok(); ++attempt) {
        char name[256] = {};
        AVMMakeNameString(name, nameTypes[attempt]);
        // The database must exist: no database is created here.
        old.reset(AVMFileCacheActive() ? openDatabase(dbPath) : -1);
        if (!old.ok())
            DBMTrace("infor: AVMWriteDb error open(%s).", name);
    }
    if (!old.ok())
        return 1;
    struct stat st {};
    std::vector<std::uint8_t> previous;
    if (::fstat(old.get(), &st) != 0 || !readWhole(old.get(), previous)) {
        DBMTrace("infor: AVMWriteDb error read(%s).", dbPath.c_str());
        return 1;
    }
    old.reset();

    const std::string replaced = replacedFileOf(dbPath);
    vmx::PendingFile temp(replaced);
    if (!temp.ok()) {
        DBMTrace("infor: AVMWriteDb error open(%s).", dbPath.c_str());
        return 1;
    }

    // Records deleted since the last write are written as free sections; their part files go
    // only once the new database is in place.
    std::vector<int> deleted;
    for (int i = 0; i < kDBMMaxRecords; ++i) {
        if (table.records[i].id == kDBMIdDeleted)
            deleted.push_back(i);
    }
    std::vector<std::uint16_t> oldIds(kDBMMaxRecords);
    for (int i = 0; i < kDBMMaxRecords; ++i) {
        oldIds[static_cast<std::size_t>(i)] = table.records[i].id;
        if (table.records[i].id == kDBMIdDeleted)
            table.records[i].id = kDBMIdFree;
    }
    // The listed records get ids 1..count in list order. A damaged database can also hold
    // recordings that the id map names beyond the header's count, or that carry an id another
    // record won at the load; they are not listed, but they keep their place in the file instead
    // of vanishing from it at the next write.
    const int listed = table.count < kDBMMaxIds ? table.count : kDBMMaxIds;
    for (int k = 0; k < kDBMMaxIds; ++k) {
        const std::uint16_t index = table.idMap[k];
        if (index >= kDBMMaxRecords)
            continue;
        AVMRec& rec = table.records[index];
        if (k < listed || (rec.id != kDBMIdFree && rec.id <= kDBMMaxIds))
            rec.id = static_cast<std::uint16_t>(k + 1);
    }

    AVMCacheSetFile(temp.fd());
    AVMResetFileCache();
    unsigned char failed = writeContent(type, table);
    AVMCacheSetFile(-1);

    if (!failed) {
        // Bytes of the old file beyond the new content are kept, as an in-place update would.
        struct stat written {};
        if (::fstat(temp.fd(), &written) != 0)
            failed = 1;
        else if (static_cast<std::size_t>(written.st_size) < previous.size())
            failed = vmx::WriteAllAt(temp.fd(), previous.data() + written.st_size,
                                     previous.size() - static_cast<std::size_t>(written.st_size),
                                     static_cast<std::uint64_t>(written.st_size)) != 0;
    }
    if (!failed) {
        vmx::PendingFile backup(AVMBackupPathOf(replaced));
        failed = !backup.ok() || vmx::WriteAllAt(backup.fd(), previous.data(), previous.size(), 0) != 0 ||
                 backup.commit(st.st_mode & 07777) != 0;
    }
    if (!failed)
        failed = temp.commit(st.st_mode & 07777) != 0;
    if (failed) {
        // The database on disk is unchanged; the store keeps its deleted records for the next
        // write and its ids as they were.
        for (int i = 0; i < kDBMMaxRecords; ++i)
            table.records[i].id = oldIds[static_cast<std::size_t>(i)];
        DBMTrace("infor: AVMWriteDb error write(%s).", dbPath.c_str());
        return 1;
    }
    syncFolder(AVMFolderOf(replaced));
    // A damaged database may name one file in a deleted and in a listed recording; the listed one
    // keeps it.
    const std::set<std::string> stillListed = listedPartNames(table);
    for (const int i : deleted)
        deleteRecordFiles(&table.records[i], stillListed);
    return 0;
}
