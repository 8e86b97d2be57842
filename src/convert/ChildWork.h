#pragma once

// Work that runs in a forked child process and reports to its parent in lines over a pipe: the
// export and the measuring of advertising, whose FFmpeg libraries may crash on a damaged
// recording and must not take the program down with them.

#include <cstdint>
#include <functional>
#include <string>

namespace vmx {

// `text` with its line breaks made spaces, to be sent as one line.
std::string OneLine(std::string text);

// Writes `text` to the parent; nothing when the parent is gone.
void SayToParent(int reportFd, const std::string& text);

struct ChildOutcome {
    std::string startError;  // why the child could not be started (errno's words), else empty
    bool stopped = false;    // onLine asked to stop, and the child was killed
    int status = 0;          // the child's end, as waitpid gives it
};

// Forks a child that runs `work(reportFd)` and ends; the child dies with its parent. The parent
// hands each line the child writes (without its '\n') to `onLine`, until the child closes its end
// or `onLine` returns false, which kills the child; then it waits for the child.
ChildOutcome RunChildWork(const std::function<void(int reportFd)>& work,
                          const std::function<bool(const std::string& line)>& onLine);

// The line that tells the parent how far the child has read: "P read total\n".
std::string ProgressLine(std::uint64_t read, std::uint64_t total);
// Hands the numbers of a progress line's `value` (after "P ") to `progress`; its answer, or true
// when the line holds no numbers or there is no `progress`.
bool HearProgress(const std::string& value, const std::function<bool(std::uint64_t read, std::uint64_t total)>& progress);

// "with signal N" or "with status N", for a child that ended before it said all.
std::string HowChildEnded(int status);

}  // namespace vmx
