// Builds a receiver folder for the benchmark: DIR/DZT000.DB listing one recording "BENCH" made
// of PARTS part files with real data, every part but the last of the full part size, at 60
// seconds per full part.
//
//   velmorix-bench-fixture DIR PARTS [LAST_PART_BYTES]
#include "recdb/DbWriter.h"
#include "recdb/DiskNaming.h"
#include "recdb/RecordStore.h"
#include "recording/PaneLoad.h"
#include "recording/Timing.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DIR PARTS [LAST_PART_BYTES]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const int parts = std::atoi(argv[2]);
    const std::uint64_t last = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : vmx::kFullPartSize;
    if (parts < 1 || parts > kDBMMaxParts || last == 0 || last > vmx::kFullPartSize)
        return 2;
    const std::string db = dir + "/DZT000.DB";
    vmx::LoadedPane pane;
    if (!vmx::InitRecordDatabase() || !AVMCreateEmptyDb(db).empty() || !vmx::LoadPane(0, db, pane).empty())
        return 1;
    std::uint16_t id = 0;
    AVMRec record{};
    if (!DBMAllocRecord(kDBMTypeRecord, &id, &record))
        return 1;
    std::memcpy(record.name, "\x05" "BENCH", 6);
    record.duration = static_cast<std::uint32_t>(60 * (parts - 1) + 60 * last / vmx::kFullPartSize);
    record.partCount = static_cast<std::uint16_t>(parts);
    char prefix[8] = {};
    AVMMakeRecordPrefix(&record, prefix);
    std::vector<unsigned char> block(1 << 20);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<unsigned char>(i * 7 + i / 188);
    for (int i = 0; i < parts; ++i) {
        const std::string partName = std::string(prefix, 6) + static_cast<char>('A' + i / 26) + static_cast<char>('A' + i % 26) + ".TRP";
        std::memcpy(record.parts[i].name, partName.data(), kAVMPartNameLen);
        const std::string path = dir + "/" + record.parts[i].name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::uint64_t size = i + 1 < parts ? vmx::kFullPartSize : last;
        for (std::uint64_t done = 0; fd >= 0 && done < size;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - done));
            if (::write(fd, block.data(), n) != static_cast<ssize_t>(n))
                return 1;
            done += n;
        }
        if (fd < 0 || ::close(fd) != 0)
            return 1;
    }
    DBMSetRecord(kDBMTypeRecord, id, &record);
    return AVMWriteDb(kDBMTypeRecord) == 0 ? 0 : 1;
}
