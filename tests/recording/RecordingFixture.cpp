#include "RecordingFixture.h"

#include "recdb/DbWriter.h"
#include "recdb/DiskNaming.h"
#include "recdb/RecordStore.h"

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vmxtest {

void initStore()
{
    ASSERT_TRUE(vmx::InitRecordDatabase());
}

vmx::LoadedPane makeDb(int side, const std::string& folder, const std::string& name)
{
    initStore();
    const std::string path = folder + "/" + name;
    EXPECT_EQ(AVMCreateEmptyDb(path), "");
    vmx::LoadedPane pane;
    EXPECT_EQ(vmx::LoadPane(side, path, pane), "");
    return pane;
}

std::uint8_t patternByte(int part, std::uint64_t offset)
{
    return static_cast<std::uint8_t>((offset * 7 + static_cast<std::uint64_t>(part) * 31 + offset / 251) & 0xFF);
}

void addRecording(vmx::LoadedPane& pane, const std::string& name, std::uint32_t duration,
                  const std::vector<std::uint64_t>& partSizes, std::uint64_t fillLimit)
{
    DBMSetActiveSide(pane.side);
    std::uint16_t id = 0;
    AVMRec record{};
    ASSERT_TRUE(DBMAllocRecord(kDBMTypeRecord, &id, &record));
    record.name[0] = 0x05;
    std::memcpy(record.name + 1, name.data(), std::min<std::size_t>(name.size(), 15));
    record.duration = duration;
    record.startTime = 1700000000;
    record.vid = 101;
    record.aid = 102;
    record.partCount = static_cast<std::uint16_t>(partSizes.size());
    std::memset(record.parts, 0, sizeof record.parts);
    char prefix[8] = {};
    AVMMakeRecordPrefix(&record, prefix);
    for (std::size_t i = 0; i < partSizes.size(); ++i) {
        const std::string partName = std::string(prefix, 6) + static_cast<char>('A' + i / 26) + static_cast<char>('A' + i % 26) + ".TRP";
        std::memcpy(record.parts[i].name, partName.data(), kAVMPartNameLen);
        const std::string path = pane.folder + record.parts[i].name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << path;
        if (partSizes[i] <= fillLimit) {
            std::vector<std::uint8_t> bytes(partSizes[i]);
            for (std::uint64_t k = 0; k < bytes.size(); ++k)
                bytes[k] = patternByte(static_cast<int>(i), k);
            ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        } else {
            ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(partSizes[i])), 0);
        }
        ::close(fd);
    }
    DBMSetRecord(kDBMTypeRecord, id, &record);
    ASSERT_EQ(AVMWriteDb(kDBMTypeRecord), 0);
    pane.timing = vmx::BuildTimingList(pane.side, pane.folder);
}

AVMRec recordAt(const vmx::LoadedPane& pane, int row)
{
    DBMSetActiveSide(pane.side);
    AVMRec record{};
    EXPECT_TRUE(DBMGetRecord(kDBMTypeRecord, static_cast<unsigned>(row + 1), &record));
    return record;
}

std::vector<std::string> partNames(const AVMRec& record)
{
    std::vector<std::string> names;
    for (int i = 0; i < record.partCount; ++i)
        names.emplace_back(record.parts[i].name, kAVMPartNameLen);
    return names;
}

}  // namespace vmxtest
