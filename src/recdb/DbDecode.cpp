#include "recdb/DbDecode.h"

#include "common/BigEndian.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace vmx {

namespace {

std::uint8_t byteAt(const std::uint8_t* data, std::size_t size, std::size_t at)
{
    return at < size ? data[at] : 0;
}

}  // namespace

void DecodeRecordImage(const std::uint8_t* image, int version, AVMRec& rec)
{
    rec.id = ReadBe16(image);
    std::memcpy(rec.name, image + 2, sizeof rec.name);
    rec.startTime = ReadBe32(image + 20);
    rec.duration = ReadBe32(image + 24);
    rec.vid = ReadBe16(image + 28);
    rec.aid = ReadBe16(image + 30);
    rec.pid = ReadBe16(image + 32);
    rec.streamWord4 = ReadBe16(image + 34);
    rec.ecmPid = ReadBe16(image + 36);
    rec.streamWord6 = ReadBe16(image + 38);
    rec.attr1 = image[40];
    rec.attr2 = image[41];
    rec.attr3 = ReadBe16(image + 42);
    std::memcpy(rec.attrBlock, image + 44, sizeof rec.attrBlock);
    // Fields an older version does not carry read as zero (the caller's image holds zeros there):
    // values of another database must never stand in for them.
    rec.extA = version >= 4 ? ReadBe64(image + 96) : 0;
    rec.extB = ReadBe64(image + 104);
    for (std::size_t k = 0; k < 3; ++k)
        rec.extC[k] = ReadBe64(image + 112 + 8 * k);
    rec.extD = image[136];
}

const AVMRec& DecodedSection::record() const
{
    static const AVMRec kEmpty{};
    return stored ? *stored : kEmpty;
}

bool DecodedDb::readable() const
{
    return header.version <= 5 && header.headerSize >= 1 && header.headerSize <= 512 &&
           (header.version >= 4 || header.count <= kDBMMaxRecords);
}

bool DecodedDb::listed(const DecodedSection& section) const
{
    const unsigned id = section.id;
    return id >= 1 && id <= std::min<unsigned>(header.count, kDBMMaxIds);
}

DecodedDb DecodeDb(const std::uint8_t* data, std::size_t size)
{
    DecodedDb db;
    std::uint8_t head[6] = {};
    for (std::size_t k = 0; k < sizeof head; ++k)
        head[k] = byteAt(data, size, k);
    db.header = DecodeDbHeader(head);
    const int version = db.header.version;
    const std::size_t imageLen = version >= 5 ? kAVMImageSize : version == 4 ? kAVMImageSizeV4 : kAVMImageSizeV3;
    const std::size_t headLen = version >= 4 ? imageLen + 1 : imageLen;
    std::size_t position = kAVMHeaderArea;
    db.sections.reserve(kDBMMaxRecords);
    for (int i = 0; i < kDBMMaxRecords; ++i) {
        DecodedSection section;
        section.index = i;
        section.offset = position;
        std::uint8_t image[kAVMImageSize] = {};
        unsigned sum = 0;
        for (std::size_t k = 0; k < imageLen; ++k) {
            image[k] = byteAt(data, size, position + k);
            sum += image[k];
        }
        section.computedSum = static_cast<std::uint8_t>(sum & 0xFF);
        section.storedSum = version >= 4 ? byteAt(data, size, position + imageLen) : section.computedSum;
        position += headLen;
        section.id = ReadBe16(image);
        section.partCount = ReadBe16(image + 18);
        if (section.id != kDBMIdFree || section.partCount != 0) {
            auto rec = std::make_shared<AVMRec>();
            DecodeRecordImage(image, version, *rec);
            rec->slot = static_cast<std::uint16_t>(i + 1);
            rec->partCount = section.partCount;
            for (int j = 0; j < section.partCount && j < kDBMMaxParts; ++j, position += kAVMPartNameLen) {
                for (std::size_t k = 0; k < kAVMPartNameLen; ++k)
                    rec->parts[j].name[k] = static_cast<char>(byteAt(data, size, position + k));
                if (version <= 3 && rec->parts[j].name[0] == 'R')
                    rec->extA += kAVMPartNameLen;
            }
            section.stored = std::move(rec);
        }
        if (section.partCount > kDBMMaxParts) {
            db.broken = std::move(section);
            break;
        }
        db.sections.push_back(std::move(section));
    }
    return db;
}

std::string ReadDbContent(const std::string& path, std::vector<std::uint8_t>& bytes, std::uint64_t* fileSize)
{
    UniqueFd fd;
    std::uint64_t size = 0;
    if (std::string error = OpenRegularFile(path, O_RDONLY | O_NOFOLLOW, fd, size); !error.empty())
        return error;
    if (fileSize)
        *fileSize = size;
    bytes.resize(static_cast<std::size_t>(std::min(size, kMaxDbContentSize)));
    std::size_t got = 0;
    if (const int error = ReadAllAt(fd.get(), bytes.data(), bytes.size(), 0, got); error != 0)
        return "cannot read " + path + ": " + std::strerror(error) + ".";
    bytes.resize(got);
    return {};
}

std::string ReadDecodedDb(const std::string& path, DecodedDb& db)
{
    std::vector<std::uint8_t> bytes;
    if (std::string error = ReadDbContent(path, bytes); !error.empty())
        return error;
    db = DecodeDb(bytes.data(), bytes.size());
    return {};
}

}  // namespace vmx
