#include "recdb/DbReader.h"

#include "recdb/DbDecode.h"

#include "common/BigEndian.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"
#include "common/UniqueFd.h"
#include "recdb/DiskNaming.h"
#include "recdb/FileCache.h"
#include "recdb/RecordStore.h"
#include "recdb/Trace.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// What a load reads from while it runs: the database file, open for reading, or its content read
// before. Only a regular file counts: a named pipe would block the open and a device or folder is
// no database.
class DbSource {
public:
    DbSource(const std::string& path, const std::vector<std::uint8_t>* content) : m_content(content)
    {
        std::uint64_t size = 0;
        if (!content && !path.empty())
            (void)vmx::OpenRegularFile(path, O_RDONLY, m_fd, size);
    }
    ~DbSource()
    {
        vmx::SetCacheFile(-1);
        vmx::SetCacheSource(nullptr, 0);
    }
    DbSource(const DbSource&) = delete;
    DbSource& operator=(const DbSource&) = delete;
    bool ok() const { return m_content || m_fd.ok(); }
    // Points the file cache at it.
    void attach() const
    {
        if (m_content)
            vmx::SetCacheSource(m_content->data(), m_content->size());
        else
            vmx::SetCacheFile(m_fd.get());
    }

private:
    const std::vector<std::uint8_t>* m_content;
    vmx::UniqueFd m_fd;
};

// Offsets of the image's 16-bit numbers before attrBlock (bytes 40 and 41 are single bytes).
constexpr std::size_t kWords16[] = {0, 18, 28, 30, 32, 34, 36, 38, 42};

template <typename T>
void reverseField(std::uint8_t* image, std::size_t offset)
{
    if constexpr (std::endian::native == std::endian::little)
        std::reverse(image + offset, image + offset + sizeof(T));
}

}  // namespace

std::uint16_t AVMSwapRecordImage(std::uint8_t* image)
{
    std::uint16_t partCount;
    std::memcpy(&partCount, image + 18, sizeof partCount);
    for (const std::size_t offset : kWords16)
        reverseField<std::uint16_t>(image, offset);
    reverseField<std::uint32_t>(image, 20);
    reverseField<std::uint32_t>(image, 24);
    reverseField<std::uint32_t>(image, 92);
    for (std::size_t offset = 96; offset < 136; offset += 8)
        reverseField<std::uint64_t>(image, offset);
    return partCount;
}

namespace vmx {

DbHeader DecodeDbHeader(const std::uint8_t* bytes)
{
    return {ReadBe16(bytes), ReadBe16(bytes + 2), ReadBe16(bytes + 4)};
}

std::string ReadDbHeader(const std::string& path, DbHeader& header)
{
    UniqueFd fd;
    std::uint64_t size = 0;
    if (std::string error = OpenRegularFile(path, O_RDONLY, fd, size); !error.empty())
        return error;
    std::uint8_t bytes[6] = {};
    std::size_t got = 0;
    if (const int error = ReadAllAt(fd.get(), bytes, sizeof bytes, 0, got); error != 0)
        return "cannot read " + path + ": " + std::strerror(error) + ".";
    header = DecodeDbHeader(bytes);
    return {};
}

}  // namespace vmx

unsigned char AVMReadDbSub(int type, int version, AVMRecordTable* table)
{
    if (!table || !table->records)
        return 1;
    std::unique_ptr<std::uint8_t[]> section(new (std::nothrow) std::uint8_t[160]);
    if (!section) {
        DBMTrace("infor: AVMReadDbSub ERR alloc.");
        return 1;
    }
    const std::uint32_t imageLen = version >= 5 ? kAVMImageSize : version == 4 ? kAVMImageSizeV4 : kAVMImageSizeV3;
    const std::uint32_t headLen = version >= 4 ? imageLen + 1 : imageLen;
    std::uint32_t position = kAVMHeaderArea;

    for (int i = 0; i < kDBMMaxRecords; ++i) {
        std::uint8_t image[kAVMImageSize] = {};
        std::memset(section.get(), 0, 160);
        unsigned char lastRead = AVMReadFile(position, section.get(), headLen);
        if (lastRead)
            DBMTrace("infor: AVMReadDbSub error type(%d) pos(%u).", type, position);
        position += headLen;
        std::memcpy(image, section.get(), imageLen);

        if (version >= 4) {
            unsigned sum = 0;
            for (std::uint32_t k = 0; k < imageLen; ++k)
                sum += image[k];
            sum &= 0xFF;
            if (sum != section[imageLen])
                DBMTrace("fatal: AVMReadDbSub ERR i(%d/%d)sum(0x%x:0x%x).", i, table->count, sum, section[imageLen]);
        }
        const std::uint16_t partCount = vmx::ReadBe16(image + 18);
        if (partCount > kDBMMaxParts) {
            DBMTrace("infor: AVMReadDbSub AVMRec count(%d).", partCount);
            return 1;
        }
        AVMRec& rec = table->records[i];
        vmx::DecodeRecordImage(image, version, rec);
        rec.partCount = partCount;

        for (int j = 0; j < partCount; ++j) {
            AVMPart& part = rec.parts[j];
            std::memset(part.name, 0, sizeof part.name);
            lastRead = AVMReadFile(position, part.name, kAVMPartNameLen);
            if (lastRead)
                DBMTrace("infor: AVMReadDbSub error type(%d)pos(%u)j(%d).", type, position, j);
            position += kAVMPartNameLen;
            if (version <= 3 && part.name[0] == 'R')
                rec.extA += kAVMPartNameLen;
        }
        if (lastRead)
            return 1;
    }
    return 0;
}

namespace {

// Reads the database at `dbPath`, or its content when `content` is given, into `store`: true when
// it was read; otherwise the store is exactly as it was. `type` only names the kind in the trace.
bool readInto(vmx::RecordStore& store, const std::string& dbPath, const std::vector<std::uint8_t>* content, int type)
{
    AVMRecordTable table = store.table();
    // The load fills a copy of the records, so that a file rejected half-way leaves the store
    // exactly as it was.
    std::unique_ptr<AVMRec[]> scratch(new (std::nothrow) AVMRec[kDBMMaxRecords]);
    if (!scratch)
        return false;
    AVMRec* const storeRecords = table.records;
    std::copy(storeRecords, storeRecords + kDBMMaxRecords, scratch.get());
    table.records = scratch.get();

    bool loaded = false;
    std::uint16_t count = 0;
    const int nameTypes[2] = {(type & 0xFF) == 3 ? 3 : 0, (type & 0xFF) == 3 ? 5 : 2};
    for (int round = 0; round < 2 && !loaded; ++round) {
        if (round == 1)
            vmx::SetRetryName(true);
        for (int attempt = 0; attempt < 2 && !loaded; ++attempt) {
            char name[256] = {};
            AVMMakeNameString(name, nameTypes[attempt]);
            DbSource file(dbPath, content);
            if (!vmx::FileCacheActive() || !file.ok()) {
                DBMTrace("infor: AVMReadDb error open(%s).", name);
                continue;
            }
            file.attach();
            AVMResetFileCache();
            std::uint8_t header[6] = {};
            if (AVMReadFile(0, header, sizeof header))
                DBMTrace("infor: AVMReadDb error type(%d) pos(%d).", type, 0);
            const vmx::DbHeader decoded = vmx::DecodeDbHeader(header);
            const int version = decoded.version;
            const int headerSize = decoded.headerSize;
            const int headerCount = decoded.count;
            if (headerSize == 0 || headerSize > 512 || (version <= 3 && headerCount > kDBMMaxRecords)) {
                DBMTrace("infor: AVMReadDb header size(%d)version(%d)count(%d).", headerSize, version, headerCount);
                continue;
            }
            if (version > 5) {
                DBMTrace("infor: AVMReadDb unknown version(%d)count(%d).", version, headerCount);
                continue;
            }
            // Each attempt starts again from the store's records.
            std::copy(storeRecords, storeRecords + kDBMMaxRecords, scratch.get());
            if (AVMReadDbSub(type, version, &table) == 0) {
                loaded = true;
                count = static_cast<std::uint16_t>(headerCount);
            }
        }
    }
    vmx::SetRetryName(false);
    if (!loaded)
        return false;

    std::copy(scratch.get(), scratch.get() + kDBMMaxRecords, storeRecords);
    table.records = storeRecords;
    table.count = count;
    // The id map is rebuilt from nothing: entries of an earlier database must not survive.
    std::fill(std::begin(table.idMap), std::end(table.idMap), kDBMMapFree);
    for (int i = 0; i < kDBMMaxRecords; ++i) {
        AVMRec& rec = storeRecords[i];
        rec.slot = static_cast<std::uint16_t>(i + 1);
        if (rec.id >= 1 && rec.id <= kDBMMaxIds) {
            table.idMap[rec.id - 1] = static_cast<std::uint16_t>(i);
        } else if (rec.id != kDBMIdFree) {
            // An id the receiver never writes (0xFFFF would otherwise mean "deleted here" and
            // cost the recording its part files at the next write). The record is not listed;
            // its files stay where they are.
            rec.id = kDBMIdFree;
        }
    }
    store.setTable(table);
    return true;
}

}  // namespace

namespace vmx {

bool ReadDb(RecordStore& store, const std::string& dbPath)
{
    return readInto(store, dbPath, nullptr, kDBMTypeRecord);
}

bool ReadDb(RecordStore& store, const std::vector<std::uint8_t>& content)
{
    return readInto(store, {}, &content, kDBMTypeRecord);
}

}  // namespace vmx

unsigned char AVMReadDb(int type)
{
    AVMRecordTable table{};
    if (!DBMGetSys(type, &table)) {
        DBMTrace("infor: AVMReadDb error get sys.");
        return 1;
    }
    if (!table.records)
        return 1;
    return readInto(vmx::CurrentStore(), vmx::CurrentDbPath(), nullptr, type) ? 0 : 1;
}
