#pragma once

#include "recording/LoadedPane.h"
#include "recording/PaneRefresh.h"
#include "recording/UserInterface.h"

#include <cstdint>
#include <string>

namespace vmx {

inline constexpr const char* kMergeCompleteMessage = "Merge complete!";
inline constexpr const char* kSelectItemFirstMessage = "Please select the item first.";
inline constexpr const char* kChooseOutputFolderTitle = "Please select a folder what you want to save output file";
inline constexpr const char* kEnglishFolderMessage =
    "please make sure that the folder path should be in English.\r\nex)c:pvr\\pvrconver";

// The merged file's path: folder + "/[m]" + the recording's name + ".trp", built from the name's
// bytes as stored. A '/' or control byte, which cannot (or should not) stand in a file name,
// becomes '_', and so does each of \ : * ? " < > |, which FAT, exFAT and NTFS names cannot hold
// (the receiver's own disk is one of those). With `asciiOnly` every byte above 0x7F becomes '_'
// too, for a disk that takes no name in the receiver's 8-bit code.
std::string MergedFilePath(const std::string& folder, const AVMRec& record, bool asciiOnly = false);

// The name an exported file of the recording takes, without its extension: the name as the
// window shows it (UTF-8, see NameBytesAsUtf8), with the characters MergedFilePath replaces
// replaced by '_'.
std::string ExportBaseName(const AVMRec& record);

// True when every byte of the folder path lies in 7..127.
bool IsPlainFolderPath(const std::string& folder);

enum class MergeOutcome { Done, Cancelled, Refused, Failed };

struct MergeResult {
    MergeOutcome outcome = MergeOutcome::Refused;
    std::string path;         // the output path, as soon as it is known (also when the merge failed)
    std::uint64_t bytes = 0;  // bytes written (Done)
    PaneRefresh refresh;
};

// Joins the part files of the recording at `row` of the pane, in record order, into one file in
// `outFolder` (asked with the folder chooser when empty). The output appears only when every byte
// was copied; it replaces a file of the same name. Where the folder's file system refuses the
// name's bytes above 0x7F, the file gets the asciiOnly name.
MergeResult MergeRecording(const LoadedPane& pane, int row, std::string outFolder, UserInterface& ui);

}  // namespace vmx
