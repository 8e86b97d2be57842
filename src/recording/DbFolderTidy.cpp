#include "recording/DbFolderTidy.h"

#include "common/FilePaths.h"
#include "common/PendingFile.h"
#include "recdb/DbCompanions.h"
#include "recording/PartsJournal.h"

namespace vmx {

std::vector<std::string> TidyReport::notes(const std::string& dbPath) const
{
    std::vector<std::string> out;
    if (cut.finished)
        out.push_back("A cut of a recording in " + dbPath + " had been interrupted; it has now been finished.");
    else if (cut.found)
        out.push_back("A cut of a recording in " + dbPath + " had been interrupted and could not be finished: " +
                      cut.problem);
    if (!partsProblem.empty())
        out.push_back(partsProblem);
    return out;
}

TidyReport TidyDatabaseFolder(const std::string& dbPath)
{
    TidyReport report;
    const std::string partsFolder = FolderOfPath(dbPath);
    const std::string dbFolder = FolderOfPath(DbFileBehind(dbPath));
    for (const std::string& folder : {dbFolder, partsFolder}) {
        for (std::string& path : PendingFile::RemoveAbandoned(folder))
            report.removed.push_back(std::move(path));
        if (partsFolder == dbFolder)
            break;
    }
    report.cut = FinishInterruptedCut(dbPath);
    SettledParts settled = SettlePartsJournal(dbPath);
    report.partsProblem = settled.problem;
    for (std::string& path : settled.removed)
        report.removed.push_back(std::move(path));
    return report;
}

}  // namespace vmx
