#pragma once

#include <string>
#include <vector>

namespace vmxcli {

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
int runList(const Args& args);
int runShow(const Args& args);
int runCreate(const Args& args);
int runRename(const Args& args);
int runDelete(const Args& args);
int runCheck(const Args& args);
int runDemo(const Args& args);
int runCopy(const Args& args);
int runMerge(const Args& args);
int runCut(const Args& args);
int runMedia(const Args& args);
int runConvert(const Args& args);

}  // namespace vmxcli
