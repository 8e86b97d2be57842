#include "recording/Deletion.h"

#include "recdb/DbWriter.h"
#include "recdb/DiskNaming.h"
#include "recdb/RecordStore.h"
#include "recording/RecordingFiles.h"

#include <algorithm>

namespace vmx {

namespace {

DeleteResult deleteRows(std::vector<int> rows, std::vector<TimingEntry>* timing)
{
    DeleteResult result;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    AVMRecordTable table{};
    int count = 0;
    if (DBMGetSys(kDBMTypeRecord, &table))
        count = table.count;
    for (const int row : rows) {
        AVMRec record{};
        if (row < 0 || row >= count || !DBMGetRecord(kDBMTypeRecord, static_cast<unsigned>(row + 1), &record)) {
            result.message = "there is no recording " + std::to_string(row + 1) + "; nothing was deleted.";
            return result;
        }
        if (const std::string unsafe = UnsafePartsMessage(record, AVMActiveDbPath()); !unsafe.empty()) {
            result.message = "Nothing was deleted: " + unsafe;
            return result;
        }
    }
    // The write that removes the part files must be possible before anything is marked; should it
    // fail all the same, the list and the timing go back to how they were.
    const std::string dbPath = AVMActiveDbPath();
    const auto refuse = [&result](const std::string& why) {
        result.message = "Nothing was deleted: " + why + " The database still lists the recordings and their files "
                         "were kept.";
        return result;
    };
    if (const std::string why = CheckDbWritable(dbPath); !why.empty())
        return refuse(why);
    const StoreList saved = SaveActiveList();
    const std::vector<TimingEntry> savedTiming = timing ? *timing : std::vector<TimingEntry>();
    // Highest row first keeps the rows still waiting valid.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (timing && static_cast<std::size_t>(*it) < timing->size())
            timing->erase(timing->begin() + *it);
        DBMDeleteRecord(*it);
        if (rows.size() != static_cast<std::size_t>(count))
            DBMCheckRecord();
    }
    if (const std::string error = WriteDb(kDBMTypeRecord); !error.empty()) {
        RestoreActiveList(saved);
        if (timing)
            *timing = savedTiming;
        return refuse(error);
    }
    result.ok = true;
    return result;
}

}  // namespace

DeleteResult DeleteRecordRows(const std::vector<int>& rows)
{
    return deleteRows(rows, nullptr);
}

DeleteResult DeleteRecordRows(LoadedPane& pane, const std::vector<int>& rows)
{
    DBMSetActiveSide(pane.side);
    return deleteRows(rows, &pane.timing);
}

}  // namespace vmx
