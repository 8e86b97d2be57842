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

namespace {

// Joins the parts of `record` in a temporary file beside `target` and puts it in place. The
// output folder is the user's: nothing is written there but that file, which goes again unless
// it is put in place. After every copied chunk the user may ask to stop (`stopped` then says so);
// the copy ends at once. Returns why the merge failed, empty when it did not; `commitError` is the
// errno value of a failed rename into place.
std::string joinParts(const LoadedPane& pane, const AVMRec& record, const std::string& target, UserInterface& ui,
                      std::uint64_t& bytes, bool& stopped, int& commitError)
{
    commitError = 0;
    bytes = 0;
    PendingFile output(target);
    if (!output.ok())
        return "Cannot create " + target + ": " + std::strerror(errno) + ".";
    const ChunkCallback goOn = [&](std::uint64_t) {
        stopped = stopped || ui.stopRequested();
        return !stopped;
    };
    for (int i = 0; i < record.partCount; ++i) {
        if (!goOn(bytes))
            return {};
        const std::string part = PartPath(pane.folder, record, i);
        UniqueFd in;
        std::uint64_t size = 0;
        if (const std::string error = OpenRegularFile(part, O_RDONLY | O_NOFOLLOW, in, size); !error.empty())
            return "Cannot read the part " + PartName(record, i) + ": " + error + " Nothing was merged.";
        CopyFailure why;
        if (!CopyBytes(in.get(), 0, output.fd(), bytes, size, goOn, why)) {
            if (why.cancelled)
                return {};
            return "Cannot copy the part " + PartName(record, i) + " into " + target + ": " + why.reason() +
                   ". Nothing was merged.";
        }
        bytes += size;
    }
    if (!goOn(bytes))
        return {};
    if ((commitError = output.commit()) != 0)
        return "Cannot write " + target + ": " + std::strerror(commitError) + ". Nothing was merged.";
    return {};
}

}  // namespace

namespace {

// A file name from name bytes: each byte that cannot or should not stand in a file name on the
// receiver's disk becomes '_'.
std::string FileNameFrom(std::string name, bool asciiOnly)
{
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || (asciiOnly && byte > 0x7F) || std::strchr("/\\:*?\"<>|", c))
            c = '_';
    }
    return name;
}

}  // namespace

std::string ExportBaseName(const AVMRec& record)
{
    return FileNameFrom(NameBytesAsUtf8(RecordNameBytes(record)), false);
}

std::string MergedFilePath(const std::string& folder, const AVMRec& record, bool asciiOnly)
{
    const std::string name = FileNameFrom(RecordNameBytes(record), asciiOnly);
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
    if (!pane.store.get(static_cast<unsigned>(row + 1), record)) {
        ui.showMessage("Recording " + std::to_string(row + 1) + " cannot be read from " + pane.dbPath + ".");
        return result;
    }
    if (const std::string unsafe = UnsafePartsMessage(record, pane.dbPath); !unsafe.empty()) {
        ui.showMessage("Cannot merge: " + unsafe);
        return result;
    }
    result.path = MergedFilePath(outFolder, record);
    result.outcome = MergeOutcome::Failed;
    std::string failure;
    bool stopped = false;
    {
        // The wait window comes first, so that a request to stop is heard (and does not end the
        // program) from the moment the temporary file exists.
        WaitScope wait(ui);
        int commitError = 0;
        failure = joinParts(pane, record, result.path, ui, result.bytes, stopped, commitError);
        // The receiver stores names in its own 8-bit code. FAT, exFAT and NTFS take only names
        // that are UTF-8 (fusefat only ASCII ones) and refuse the others when the file is renamed
        // into place: EPERM from fusefat, EILSEQ from exfat-fuse and ntfs-3g, EINVAL from the
        // kernel. The bytes above 0x7F then become '_' as well, and the parts are joined again.
        const std::string plain = MergedFilePath(outFolder, record, true);
        if (!stopped && (commitError == EPERM || commitError == EILSEQ || commitError == EINVAL) &&
            plain != result.path) {
            result.path = plain;
            failure = joinParts(pane, record, result.path, ui, result.bytes, stopped, commitError);
        }
    }
    if (stopped) {
        ui.showMessage("The merge was stopped before it had finished; its unfinished file was removed and nothing "
                       "was written to " + result.path + ".");
        result.outcome = MergeOutcome::Cancelled;
        return result;
    }
    if (!failure.empty()) {
        ui.showMessage(failure);
        return result;
    }
    ui.showMessage(kMergeCompleteMessage);
    result.outcome = MergeOutcome::Done;
    return result;
}

}  // namespace vmx
