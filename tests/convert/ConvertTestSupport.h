#pragma once

#include "support/TempDir.h"

#include <functional>
#include <string>
#include <vector>

namespace vmxtest {

// A temporary program folder for the conversion code: every file the code reads or writes
// beside the program lands here. The real program folder is put back at the end.
class ProgramFolderScope {
public:
    ProgramFolderScope();
    ~ProgramFolderScope();
    ProgramFolderScope(const ProgramFolderScope&) = delete;
    ProgramFolderScope& operator=(const ProgramFolderScope&) = delete;

    const TempDir& dir() const { return m_dir; }
    std::string folder() const { return m_dir.str() + "/"; }

private:
    TempDir m_dir;
    std::string m_saved;
};

// Compares `actual` with the golden file tests/convert/golden/<name>; with
// VELMORIX_UPDATE_GOLDEN=1 in the environment the golden file is rewritten instead.
void expectGolden(const std::string& name, const std::string& actual);

// Replaces every occurrence of `from` in `text` by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to);

// Writes a sh script that appends its arguments, each followed by a zero byte, to `logFile`.
void writeArgvRecorder(const std::string& scriptPath, const std::string& logFile);
std::vector<std::string> readRecordedArgs(const std::string& logFile);

}  // namespace vmxtest

namespace vmxtest {

// An 8-second MPEG-2 transport stream with MP2 audio, made once per test program with ffmpeg.
const std::string& SampleTransportStream();

// True while a process with that id exists and has not ended (zombies count as ended).
bool ProcessAlive(int pid);

// Waits up to `seconds` for `done` to become true; returns its last value.
bool WaitFor(const std::function<bool()>& done, double seconds);

}  // namespace vmxtest
