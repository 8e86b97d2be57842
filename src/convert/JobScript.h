#pragma once

#include <string>
#include <vector>

// The job scripts: "convert.bat" (encoding) and "convert2.bat" (audio dump) are POSIX sh
// scripts written into the writable folder, each replaced for every job. The first line extends
// PATH with the program folder's codecs/ folder; the second runs the encoder with every argument
// single-quoted, so no character of a path or template can become shell syntax.

inline constexpr const char* kEncodeScriptName = "convert.bat";
inline constexpr const char* kAudioDumpScriptName = "convert2.bat";

struct PreparedJob {
    std::string scriptPath;  // the script to run
    std::string outputPath;  // the file the job is to produce
    std::string error;       // empty when the script was written
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

// Writes "convert.bat" for encoding the source with the current encoder settings.
PreparedJob PrepareEncodingJob(const std::string& source, const std::string& folder, const std::string& prefix);
// Writes "convert2.bat" for dumping the source's audio stream to an ".mp3" file.
PreparedJob PrepareAudioDumpJob(const std::string& source, const std::string& folder, const std::string& prefix);
