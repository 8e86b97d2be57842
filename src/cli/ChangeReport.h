#pragma once

#include "cli/Json.h"

#include <chrono>
#include <string>
#include <vector>

namespace vmx::cli {

// The --json result of a command that changed something: one object on stdout saying what was
// written and removed (paths), how long the command took, and what the user was told.
//
//   {"command": "...", <the command's own keys>, "written": [paths], "removed": [paths],
//    "warnings": [texts], "messages": [texts], "seconds": 0.123}
//
// "messages" are the texts the operation showed on success (such as "Merge complete!"),
// "warnings" those that say something went not quite as asked although the command succeeded.
class ChangeReport {
public:
    // Starts the clock.
    explicit ChangeReport(std::string command);

    // The command's own keys, written in order: json().key("id").value(...).
    Json& json() { return m_fields; }

    void written(const std::string& path) { m_written.push_back(path); }
    void removed(const std::string& path) { m_removed.push_back(path); }
    void warning(const std::string& text) { m_warnings.push_back(text); }
    void message(const std::string& text) { m_messages.push_back(text); }
    void messages(const std::vector<std::string>& texts);

    // Prints the object as one line on stdout.
    void print() const;

private:
    std::string m_command;
    std::chrono::steady_clock::time_point m_start;
    Json m_fields;
    std::vector<std::string> m_written;
    std::vector<std::string> m_removed;
    std::vector<std::string> m_warnings;
    std::vector<std::string> m_messages;
};

}  // namespace vmx::cli
