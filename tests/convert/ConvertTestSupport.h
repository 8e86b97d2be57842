#pragma once

#include "support/TempDir.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vmxtest {

// Sets (or, with nullptr, unsets) an environment variable and puts the old value back at the end.
class EnvScope {
public:
    EnvScope(const char* name, const char* value);
    ~EnvScope();
    EnvScope(const EnvScope&) = delete;
    EnvScope& operator=(const EnvScope&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_saved;
};

// A temporary program folder for the conversion code: the shipped files the code reads beside
// the program come from here. The user's settings, data and runtime folders are empty folders
// below it (config/, data/, runtime/), so no setting of the machine's user reaches a test and
// nothing is written outside. Everything is put back at the end.
class ProgramFolderScope {
public:
    ProgramFolderScope();
    ~ProgramFolderScope();
    ProgramFolderScope(const ProgramFolderScope&) = delete;
    ProgramFolderScope& operator=(const ProgramFolderScope&) = delete;

    const TempDir& dir() const { return m_dir; }
    std::string folder() const { return m_dir.str() + "/"; }
    // The private folder job scripts go into ($XDG_RUNTIME_DIR/velmorix/).
    std::string runtimeFolder() const { return folder() + "runtime/velmorix/"; }

private:
    TempDir m_dir;
    std::string m_saved;
    EnvScope m_config;
    EnvScope m_data;
    EnvScope m_runtime;
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
