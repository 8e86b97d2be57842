#include "recording/PaneLoad.h"

#include "recdb/DbReader.h"
#include "recdb/DiskNaming.h"
#include "recdb/FileCache.h"
#include "recdb/RecordStore.h"
#include "recdb/Trace.h"

#include "common/FilePaths.h"
#include "common/RegularFile.h"

#include <fcntl.h>

namespace vmx {

TimingEntry LoadedPane::timingAt(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= timing.size())
        return TimingEntry{UINT32_MAX, 0, UINT64_MAX, UINT32_MAX, UINT32_MAX};
    return timing[static_cast<std::size_t>(row)];
}

void RefreshTimingEntry(LoadedPane& pane, int row)
{
    DBMSetActiveSide(pane.side);
    const auto id = static_cast<unsigned>(row + 1);
    AVMRec record{};
    if (row < 0 || static_cast<std::size_t>(row) >= pane.timing.size() || !DBMGetRecord(kDBMTypeRecord, id, &record))
        return;
    const TimingEntry entry = ComputeTimingEntry(pane.folder, record);
    pane.timing[static_cast<std::size_t>(row)] = entry;
    if (entry.measured()) {
        record.extA = entry.totalSize;
        DBMSetRecord(kDBMTypeRecord, id, &record);
    }
}

bool InitRecordDatabase()
{
    if (DBMIsInitialized() && AVMFileCacheActive())
        return true;
    return DBMInitRecord() == 1 && AVMInitFileCache() == 0;
}

std::string LoadPane(int side, const std::string& dbPath, LoadedPane& pane)
{
    // The reader's own messages name the receiver's path; a file that cannot be opened at all is
    // reported here with its real name and the reason.
    {
        UniqueFd file;
        std::uint64_t size = 0;
        if (std::string error = OpenRegularFile(dbPath, O_RDONLY, file, size); !error.empty())
            return error;
    }
    const std::string previousPath = AVMGetDbPath(side);
    if (!AVMSetDbPath(side, dbPath))
        return "the database path " + dbPath + " is too long.";
    DBMSetActiveSide(side);
    if (AVMReadDb(kDBMTypeRecord) != 0) {
        // The side keeps the records of its previous database, so it keeps that path too: a
        // later write must never put those records into the rejected file.
        AVMSetDbPath(side, previousPath);
        return "cannot read the database " + dbPath + ": it is damaged or not a recordings database (" +
               DBMLastTrace() + ").";
    }
    pane.side = side;
    pane.dbPath = dbPath;
    pane.folder = FolderOfPath(dbPath);
    pane.timing = BuildTimingList(side, pane.folder);
    return {};
}

}  // namespace vmx
