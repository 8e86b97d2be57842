#include "recording/EdlFile.h"

#include "common/PendingFile.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>

namespace vmx {

namespace {

// An EDL longer than this is something else (a recording named by mistake).
constexpr std::uint64_t kMaxEdlBytes = 16u << 20;

// A field as the error names it: at most 20 characters, what is not printable as '?'.
std::string Shown(std::string_view field)
{
    std::string text;
    for (const char c : field.substr(0, 20))
        text += c >= 0x20 && c < 0x7F ? c : '?';
    return field.size() > 20 ? text + "..." : text;
}

bool ParseSeconds(std::string_view field, double& seconds)
{
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), seconds);
    return error == std::errc() && end == field.data() + field.size();
}

}  // namespace

EdlParse ParseEdl(std::string_view text)
{
    EdlParse parse;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        std::vector<std::string_view> fields;
        for (std::size_t at = 0;;) {
            at = line.find_first_not_of(" \t\r\f\v", at);
            if (at == std::string_view::npos || line[at] == '#')
                break;  // the rest of the line is a comment
            const std::size_t end = std::min(line.find_first_of(" \t\r\f\v", at), line.size());
            fields.push_back(line.substr(at, end - at));
            at = end;
        }
        if (fields.empty())
            continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        const auto fail = [&](const std::string& why) {
            parse.entries.clear();
            parse.error = where + why;
            return parse;
        };
        if (fields.size() > 3)
            return fail("expected START END [ACTION], found " + std::to_string(fields.size()) + " fields.");
        if (fields.size() < 2)
            return fail("expected START END [ACTION], found \"" + Shown(fields[0]) + "\" alone.");
        EdlEntry entry;
        entry.action = 0;
        for (int i = 0; i < 2; ++i) {
            double& seconds = i == 0 ? entry.start : entry.end;
            if (!ParseSeconds(fields[static_cast<std::size_t>(i)], seconds) || !std::isfinite(seconds))
                return fail("\"" + Shown(fields[static_cast<std::size_t>(i)]) + "\" is not a number of seconds.");
            if (seconds < 0)
                return fail("the time " + Shown(fields[static_cast<std::size_t>(i)]) + " is negative.");
        }
        if (!(entry.end > entry.start))
            return fail("the end " + Shown(fields[1]) + " does not lie after the start " + Shown(fields[0]) + ".");
        if (fields.size() == 3) {
            const std::string_view action = fields[2];
            const auto [end, error] = std::from_chars(action.data(), action.data() + action.size(), entry.action);
            if (error != std::errc() || end != action.data() + action.size() || entry.action < 0)
                return fail("the action \"" + Shown(action) + "\" is not a whole number such as 0 (cut) or 3 (commercial break).");
        }
        parse.entries.push_back(entry);
    }
    return parse;
}

std::string FormatEdl(const std::vector<EdlEntry>& entries)
{
    std::string text;
    char number[400];  // the longest double in fixed notation
    for (const EdlEntry& entry : entries) {
        for (const double seconds : {entry.start, entry.end}) {
            const auto end = std::to_chars(number, number + sizeof number, seconds, std::chars_format::fixed, 3);
            text.append(number, end.ptr);
            text += ' ';
        }
        text += std::to_string(entry.action) + "\n";
    }
    return text;
}

std::string ReadEdlFile(const std::string& path, std::vector<EdlEntry>& entries)
{
    UniqueFd fd;
    std::uint64_t size = 0;
    if (std::string error = OpenRegularFile(path, O_RDONLY, fd, size); !error.empty())
        return error;
    if (size > kMaxEdlBytes)
        return path + " is too large to be an EDL file (" + std::to_string(size) + " bytes).";
    std::string text(static_cast<std::size_t>(size), '\0');
    std::size_t got = 0;
    if (const int error = ReadAllAt(fd.get(), text.data(), text.size(), 0, got); error != 0)
        return "cannot read " + path + ": " + std::strerror(error) + ".";
    text.resize(got);
    EdlParse parse = ParseEdl(text);
    if (!parse.error.empty())
        return path + " is not an EDL file: " + parse.error;
    entries = std::move(parse.entries);
    return {};
}

std::string WriteEdlFile(const std::string& path, const std::vector<EdlEntry>& entries)
{
    const std::string text = FormatEdl(entries);
    if (const int error = WriteFileDurably(path, text.data(), text.size()); error != 0)
        return "cannot write " + path + ": " + std::strerror(error) + ".";
    return {};
}

}  // namespace vmx
