#pragma once

#include <string>
#include <vector>

namespace vmx::cli {

// Exit statuses of velmorix-cli.
enum ExitCode : int {
    kExitOk = 0,      // done
    kExitFailed = 1,  // the operation failed
    kExitUsage = 2,   // bad usage
};

using Args = std::vector<std::string>;

// Thrown by a command when its arguments are wrong; main() prints the text and the usage line.
struct UsageError {
    std::string text;
};

// Thrown by a command when the operation fails; main() prints the text as one sentence.
struct Failure {
    std::string text;
};

struct CommandSpec {
    const char* name;
    const char* usage;  // arguments after the command name
    const char* summary;
    int (*run)(const Args& args);  // args exclude the command name
};

// The commands, each in the file that implements it.
int RunList(const Args& args);
int RunShow(const Args& args);
int RunCreate(const Args& args);
int RunRename(const Args& args);
int RunDelete(const Args& args);
int RunUndo(const Args& args);
int RunRedo(const Args& args);
int RunCheck(const Args& args);
int RunDemo(const Args& args);
int RunCopy(const Args& args);
int RunMerge(const Args& args);
int RunExport(const Args& args);
int RunCut(const Args& args);
int RunAds(const Args& args);
int RunMedia(const Args& args);
int RunConvert(const Args& args);

}  // namespace vmx::cli
