#pragma once

#include <string>
#include <vector>

namespace vmx {

// How a program run by RunQuietly ended.
struct QuietRun {
    int startError = 0;  // errno value when the program could not be started (not found, ...)
    int waitStatus = 0;  // the status waitpid reported once it ran

    bool started() const { return startError == 0; }
    // It ran and exited with status 0.
    bool succeeded() const;
};

// Runs `argv[0]` (looked up in PATH, no shell involved) with the arguments `argv`, its standard
// input, output and error connected to /dev/null, and waits until it has ended.
QuietRun RunQuietly(const std::vector<std::string>& argv);

}  // namespace vmx
