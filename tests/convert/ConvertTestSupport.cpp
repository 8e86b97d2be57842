#include "ConvertTestSupport.h"

#include "convert/FileHelpers.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace vmxtest {

ProgramFolderScope::ProgramFolderScope() : m_saved(GetProgramFolder())
{
    SetProgramFolder(m_dir.str());
}

ProgramFolderScope::~ProgramFolderScope()
{
    SetProgramFolder(m_saved);
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
