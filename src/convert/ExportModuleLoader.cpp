#include "convert/ExportModuleLoader.h"

#include <dlfcn.h>
#include <unistd.h>

namespace vmx {

std::string ExportModulePath()
{
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string prefix = n > 0 ? std::string(exe, static_cast<std::size_t>(n)) : std::string();
    for (int up = 0; up < 2; ++up) {  // the program's name, then bin
        const std::size_t slash = prefix.rfind('/');
        prefix.erase(slash == std::string::npos ? 0 : slash);
    }
    return prefix + "/lib/velmorix/modules/export.so";
}

void* ExportModuleEntryPoint(const char* name, const std::string& purpose, std::string& error)
{
    const std::string path = ExportModulePath();
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* why = ::dlerror();
        error = "the export module " + path + " cannot be loaded (" + (why ? why : "unknown reason") +
                "); reinstall Velmorix to " + purpose + ".";
        return nullptr;
    }
    void* entry = ::dlsym(module, name);
    if (entry == nullptr)
        error = "the export module " + path + " is not Velmorix's (it has no " + name + "); reinstall Velmorix to " +
                purpose + ".";
    return entry;
}

}  // namespace vmx
