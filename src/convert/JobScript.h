#pragma once

#include "EncodeSettings.h"

#include <string>
#include <vector>

namespace vmx {

// The job scripts: "convert.bat" (encoding) and "convert2.bat" (audio dump) are POSIX sh
// scripts written into the run's own private folder (vmx::RunFolder), each replaced for every
// job. The first line extends PATH with the program folder's codecs/ folder; the second runs the
// encoder with every argument single-quoted, so no character of a path or template can become
// shell syntax.
//
// The encoder never writes the output file itself: it writes a new file under a short hidden
// name beside it, which is put in place only once the job has finished. A failed or stopped job
// thus removes only what it made, and a file already at the output's place is replaced only by
// a finished one.

inline constexpr const char* kEncodeScriptName = "convert.bat";
inline constexpr const char* kAudioDumpScriptName = "convert2.bat";

struct PreparedJob {
    std::string scriptPath;   // the script to run
    std::string outputPath;   // the file the job is to produce
    std::string partialPath;  // the file the encoder writes, beside outputPath
    std::string error;        // empty when the script was written
    bool ok() const { return error.empty(); }
};

// prefix + the source's file name in the output folder, its extension replaced by `extension`
// (".avi" or ".mp3"); a name without extension gets the extension added.
std::string OutputPathFor(const std::string& source, const std::string& folder, const std::string& prefix,
                          const std::string& extension);

// The subtitle file next to the source: base.smi when it exists, otherwise base.sub; empty when
// the source's file name has no extension.
std::string SubtitleCandidate(const std::string& source);

// A program of the program folder when it is there and executable, otherwise its bare name
// (found through PATH when the script runs).
std::string ProgramPath(const std::string& name);

// The text as one sh word: single-quoted, each ' written as '\''.
std::string ShellQuote(const std::string& text);

// The full script text for a command.
std::string ScriptText(const std::vector<std::string>& command);

// Writes "convert.bat" into `workFolder` for encoding the source with the given encoder
// settings (those its run started with), and creates the job's partial output file, named in the
// record of the run folder `workFolder` (see vmx::RunFolder). On failure nothing is left behind.
PreparedJob PrepareEncodingJob(const std::string& source, const std::string& folder, const std::string& prefix,
                               const std::string& workFolder, const EncodeSettings& settings);
// Writes "convert2.bat" into `workFolder` for dumping the source's audio stream to an ".mp3"
// file, and creates the job's partial output file.
PreparedJob PrepareAudioDumpJob(const std::string& source, const std::string& folder, const std::string& prefix,
                                const std::string& workFolder);

// Creates an empty file under a new short hidden name (".vmx-" and eight letters or digits,
// then `extension`) in the folder of `target`; returns why it cannot, empty on success. With a
// `runFolder`, the file is added to that run folder's record before anything else happens, so
// that a later run can remove it should this one be killed (vmx::RemoveDeadRuns); a file that
// cannot be recorded is removed again.
[[nodiscard]] std::string CreatePartialOutput(const std::string& target, const std::string& extension,
                                              std::string& partial, const std::string& runFolder = {});

// True for a name CreatePartialOutput gives: ".vmx-", eight lower-case letters or digits, and
// ".avi" or ".mp3".
bool IsPartialOutputName(const std::string& name);

// Flushes the finished partial file to the disk, renames it over `target` and flushes the
// folder, so that the output is on the disk under its name once this returns; returns why it
// cannot (the partial file is then still there), empty on success. A folder the file system
// cannot flush on its own is no failure: the rename has happened.
[[nodiscard]] std::string PutOutputInPlace(const std::string& partial, const std::string& target);

}  // namespace vmx
