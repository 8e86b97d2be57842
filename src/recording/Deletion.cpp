#include "recording/Deletion.h"

#include "recdb/DbWriter.h"
#include "recdb/RecordStore.h"
#include "recording/RecordingFiles.h"

#include <algorithm>
#include <sys/stat.h>

namespace vmx {

DeleteResult DeleteRecordRows(LoadedPane& pane, const std::vector<int>& chosen, const WritePaneDb& writeDb)
{
    DeleteResult result;
    std::vector<int> rows = chosen;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const int count = static_cast<int>(ListedCount());
    std::vector<std::string> partPaths;
    for (const int row : rows) {
        AVMRec record{};
        if (row < 0 || row >= count || !DBMGetRecord(kDBMTypeRecord, static_cast<unsigned>(row + 1), &record)) {
            result.message = "there is no recording " + std::to_string(row + 1) + "; nothing was deleted.";
            return result;
        }
        if (const std::string unsafe = UnsafePartsMessage(record, pane.dbPath); !unsafe.empty()) {
            result.message = "Nothing was deleted: " + unsafe;
            return result;
        }
        for (int j = 0; j < record.partCount; ++j)
            partPaths.push_back(PartPath(pane.folder, record, j));
    }
    // The write that removes the part files must be possible before anything is marked; should it
    // fail all the same, the list and the timing go back to how they were.
    const auto refuse = [&result](const std::string& why) {
        result.message = "Nothing was deleted: " + why + " The database still lists the recordings and their files "
                         "were kept.";
        return result;
    };
    if (const std::string why = CheckDbWritable(pane.dbPath); !why.empty())
        return refuse(why);
    const StoreList saved = SaveActiveList();
    const std::vector<TimingEntry> savedTiming = pane.timing;
    // Highest row first keeps the rows still waiting valid.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (static_cast<std::size_t>(*it) < pane.timing.size())
            pane.timing.erase(pane.timing.begin() + *it);
        DBMDeleteRecord(*it);
        if (rows.size() != static_cast<std::size_t>(count))
            DBMCheckRecord();
    }
    if (const std::string error = writeDb(); !error.empty()) {
        RestoreActiveList(saved);
        pane.timing = savedTiming;
        return refuse(error);
    }
    for (const std::string& path : partPaths) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 &&
            std::find(result.removedFiles.begin(), result.removedFiles.end(), path) == result.removedFiles.end())
            result.removedFiles.push_back(path);
    }
    result.ok = true;
    return result;
}

}  // namespace vmx
