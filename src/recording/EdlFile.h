#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vmx {

// An edit decision list: the text file players and tools of television recordings exchange
// stretches in. One stretch a line, "START END ACTION", times in seconds from the recording's
// first picture, the action a whole number (0 cut, 1 mute, 2 scene, 3 commercial break).
struct EdlEntry {
    double start = 0;
    double end = 0;
    int action = kEdlCommercial;

    static constexpr int kEdlCommercial = 3;
};

// The entries of an EDL text, or the sentence naming the line that is not one ("line 4: ...").
// Tolerant of what other tools write: blank lines, lines and line ends from '#' on, CRLF line
// ends, a UTF-8 byte order mark, tabs, and lines of two columns (START END, action 0). Refused:
// anything that is not a number, a negative or infinite time, an end not after its start.
struct EdlParse {
    std::vector<EdlEntry> entries;
    std::string error;
};
EdlParse ParseEdl(std::string_view text);

// The text of an EDL: "START END ACTION" a line, times with three decimals.
std::string FormatEdl(const std::vector<EdlEntry>& entries);

// The entries of the EDL file at `path`; empty, or the sentence saying why it cannot be read
// (naming the file).
[[nodiscard]] std::string ReadEdlFile(const std::string& path, std::vector<EdlEntry>& entries);

// Writes the EDL file at `path` whole, replacing a file there; empty, or the sentence saying why
// it could not be written (nothing is left then).
[[nodiscard]] std::string WriteEdlFile(const std::string& path, const std::vector<EdlEntry>& entries);

}  // namespace vmx
