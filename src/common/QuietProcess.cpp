#include "common/QuietProcess.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vmx {

bool QuietRun::succeeded() const
{
    return started() && WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0;
}

QuietRun RunQuietly(const std::vector<std::string>& argv)
{
    QuietRun run;
    if (argv.empty()) {
        run.startError = EINVAL;
        return run;
    }
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    run.startError = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (run.startError != 0)
        return run;
    pid_t ended;
    while ((ended = ::waitpid(pid, &run.waitStatus, 0)) < 0 && errno == EINTR) {
    }
    if (ended < 0)
        run.waitStatus = -1;  // its end is unknown (SIGCHLD ignored): not a success
    return run;
}

}  // namespace vmx
