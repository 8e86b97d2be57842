#include "RunFolder.h"

#include "UserFolders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace vmx {

RunFolder::~RunFolder()
{
    if (m_path.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string RunFolder::Create()
{
    if (!m_path.empty())
        return {};
    std::string runtime;
    if (std::string problem = PrivateRuntimeFolder(runtime); !problem.empty())
        return problem;
    std::string name = runtime + "run-XXXXXX";
    if (!mkdtemp(name.data()))  // mode 0700
        return "Cannot create a folder in " + runtime + ": " + std::strerror(errno) + ".";
    m_path = name + "/";
    return {};
}

}  // namespace vmx
