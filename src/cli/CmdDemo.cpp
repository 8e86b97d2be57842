// demo: writes a small receiver disk to try everything on.
#include "cli/CliCommand.h"

#include "cli/CliSupport.h"

#include "recording/DemoDisk.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vmx::cli {

int RunDemo(const Args& args)
{
    std::vector<std::string> folders;
    vmx::DemoVideo video = vmx::DemoVideo::Mpeg2;
    for (const std::string& arg : args) {
        if (arg == "--h264")
            video = vmx::DemoVideo::H264;
        else if (arg.size() > 1 && arg[0] == '-')
            throw UsageError{"unknown option \"" + arg + "\"."};
        else
            folders.push_back(arg);
    }
    if (folders.size() != 1)
        throw UsageError{folders.empty() ? "missing the folder to write the demo disk into." : "unexpected argument \"" + folders[1] + "\"."};
    const std::string error = vmx::WriteDemoDisk(Session(), folders[0], [](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
    }, video);
    if (!error.empty())
        throw Failure{error};
    std::printf("Wrote the demo receiver disk %s\n", folders[0].c_str());
    return kExitOk;
}

}  // namespace vmx::cli
