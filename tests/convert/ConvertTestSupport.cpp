#include "ConvertTestSupport.h"

#include "convert/FileHelpers.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace vmxtest {

EnvScope::EnvScope(const char* name, const char* value) : m_name(name)
{
    if (const char* old = std::getenv(name))
        m_saved = old;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

EnvScope::~EnvScope()
{
    if (m_saved)
        setenv(m_name.c_str(), m_saved->c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

ProgramFolderScope::ProgramFolderScope()
    : m_saved(GetProgramFolder()),
      m_config("XDG_CONFIG_HOME", (m_dir / "config").c_str()),
      m_data("XDG_DATA_HOME", (m_dir / "data").c_str()),
      m_runtime("XDG_RUNTIME_DIR", (m_dir / "runtime").c_str())
{
    std::filesystem::create_directory(m_dir / "runtime");
    std::filesystem::permissions(m_dir / "runtime", std::filesystem::perms::owner_all);
    vmx::SetProgramFolder(m_dir.str());
}

ProgramFolderScope::~ProgramFolderScope()
{
    vmx::SetProgramFolder(m_saved);
}

void expectGolden(const std::string& name, const std::string& actual)
{
    const std::filesystem::path file = std::filesystem::path(VELMORIX_SOURCE_DIR) / "tests/convert/golden" / name;
    if (const char* update = std::getenv("VELMORIX_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        writeText(file, actual);
        return;
    }
    ASSERT_TRUE(std::filesystem::exists(file)) << "missing golden file " << file;
    EXPECT_EQ(readText(file), actual) << "golden file " << name
                                      << " differs (VELMORIX_UPDATE_GOLDEN=1 rewrites it)";
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    for (auto pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
    return text;
}

void writeArgvRecorder(const std::string& scriptPath, const std::string& logFile)
{
    writeText(scriptPath, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\" >> '" + logFile + "'; done\n");
    std::filesystem::permissions(scriptPath, std::filesystem::perms::owner_all);
}

std::vector<std::string> readRecordedArgs(const std::string& logFile)
{
    std::vector<std::string> args;
    std::string current;
    for (const char c : readText(logFile)) {
        if (c == '\0') {
            args.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    return args;
}

}  // namespace vmxtest

#include <chrono>
#include <fstream>
#include <memory>
#include <signal.h>
#include <thread>

namespace vmxtest {

const std::string& SampleTransportStream()
{
    static std::unique_ptr<TempDir> dir;
    static std::string path;
    if (path.empty()) {
        dir = std::make_unique<TempDir>();
        path = (*dir / "sample.ts").string();
        const std::string command =
            "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=720x576:rate=25 "
            "-f lavfi -i sine=frequency=440:sample_rate=48000 -t 8 -c:v mpeg2video -b:v 3M -c:a mp2 "
            "-f mpegts '" + path + "'";
        if (std::system(command.c_str()) != 0)
            ADD_FAILURE() << "ffmpeg could not make the sample stream";
    }
    return path;
}

bool ProcessAlive(int pid)
{
    if (kill(pid, 0) != 0)
        return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    stat >> pidText >> name >> state;
    return state != "Z";
}

bool WaitFor(const std::function<bool()>& done, double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace vmxtest
