#include "recording/Merge.h"

#include "common/FilePaths.h"
#include "common/KernelCopy.h"
#include "common/PendingFile.h"
#include "common/RegularFile.h"
#include "common/UniqueFd.h"
#include "recdb/RecordStore.h"
#include "recording/RecordingFiles.h"
#include "recording/WaitScope.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vmx {

std::string MergedFilePath(const std::string& folder, const AVMRec& record)
{
    std::string name = RecordNameBytes(record);
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || byte < 0x20 || byte == 0x7F)
            c = '_';
    }
    std::string base = folder;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/[m]" + name + ".trp";
}

bool IsPlainFolderPath(const std::string& folder)
{
    for (const char c : folder) {
        const auto value = static_cast<signed char>(c);
        if (value < 7)
            return false;
    }
    return true;
}

MergeResult MergeRecording(const LoadedPane& pane, int row, std::string outFolder, UserInterface& ui)
{
    MergeResult result;
    if (row < 0 || static_cast<std::size_t>(row) >= pane.timing.size()) {
        ui.showMessage(kSelectItemFirstMessage);
        return result;
    }
    if (outFolder.empty())
        outFolder = ui.chooseFolder(kChooseOutputFolderTitle, "");
    if (outFolder.empty()) {
        result.outcome = MergeOutcome::Cancelled;
        return result;
    }
    if (!IsPlainFolderPath(outFolder)) {
        ui.showMessage(kEnglishFolderMessage);
        return result;
    }
    AVMRec record{};
    if (!DBMGetRecord(kDBMTypeRecord, static_cast<unsigned>(row + 1), &record)) {
        ui.showMessage("Recording " + std::to_string(row + 1) + " cannot be read from " + pane.dbPath + ".");
        return result;
    }
    if (const std::string unsafe = UnsafePartsMessage(record, pane.dbPath); !unsafe.empty()) {
        ui.showMessage("Cannot merge: " + unsafe);
        return result;
    }
    const std::string target = MergedFilePath(outFolder, record);
    result.path = target;
    result.outcome = MergeOutcome::Failed;
    // What an interrupted merge into this folder left behind goes first.
    (void)PendingFile::RemoveAbandoned(FolderOfPath(target));

    PendingFile output(target);
    if (!output.ok()) {
        ui.showMessage("Cannot create " + target + ": " + std::strerror(errno) + ".");
        return result;
    }
    std::string failure;
    {
        WaitScope wait(ui);
        std::uint64_t position = 0;
        for (int i = 0; i < record.partCount && failure.empty(); ++i) {
            const std::string part = PartPath(pane.folder, record, i);
            UniqueFd in;
            std::uint64_t size = 0;
            if (const std::string error = OpenRegularFile(part, O_RDONLY | O_NOFOLLOW, in, size); !error.empty()) {
                failure = "Cannot read the part " + PartName(record, i) + ": " + error;
                break;
            }
            CopyFailure why;
            if (!CopyBytes(in.get(), 0, output.fd(), position, size, {}, why))
                failure = "Cannot copy the part " + PartName(record, i) + " into " + target + ": " + why.reason() + ".";
            position += size;
        }
        result.bytes = position;
        if (failure.empty()) {
            if (const int error = output.commit(); error != 0)
                failure = "Cannot write " + target + ": " + std::strerror(error) + ".";
        }
    }
    if (!failure.empty()) {
        ui.showMessage(failure + " Nothing was merged.");
        return result;
    }
    ui.showMessage(kMergeCompleteMessage);
    result.outcome = MergeOutcome::Done;
    return result;
}

}  // namespace vmx
