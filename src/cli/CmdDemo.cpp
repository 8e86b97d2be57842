// demo: writes a small receiver disk to try everything on.
#include "cli/CliCommand.h"

#include "cli/CliSupport.h"

#include "recording/DemoDisk.h"

#include <cstdio>

namespace vmx::cli {

int RunDemo(const Args& args)
{
    if (args.size() != 1)
        throw UsageError{args.empty() ? "missing the folder to write the demo disk into." : "unexpected argument \"" + args[1] + "\"."};
    const std::string error = vmx::WriteDemoDisk(Session(), args[0], [](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
    });
    if (!error.empty())
        throw Failure{error};
    std::printf("Wrote the demo receiver disk %s\n", args[0].c_str());
    return kExitOk;
}

}  // namespace vmx::cli
