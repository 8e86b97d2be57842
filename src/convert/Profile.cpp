#include "Profile.h"

#include "FileHelpers.h"
#include "UserFolders.h"

#include "common/AsciiCase.h"
#include "common/RegularFile.h"

#include <cstdint>
#include <optional>
#include <sstream>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::string> readContent(const std::string& path)
{
    std::string content;
    if (!vmx::ReadRegularFile(path, content).empty())
        return std::nullopt;
    return content;
}

// The raw value of section/key in the file's content, or nothing when the file, section or key
// is absent.
std::optional<std::string> findValue(std::string_view section, std::string_view key,
                                     const std::optional<std::string>& content)
{
    if (!content)
        return std::nullopt;
    std::istringstream in(*content);
    bool inSection = false;
    bool sectionSeen = false;
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view text = trim(line);
        if (text.empty() || text.front() == ';')
            continue;
        if (text.front() == '[') {
            if (inSection)
                return std::nullopt;  // only the first section of that name counts
            const auto close = text.find(']');
            const std::string_view name =
                trim(text.substr(1, close == std::string_view::npos ? text.size() - 1 : close - 1));
            inSection = !sectionSeen && vmx::EqualsIgnoringAsciiCase(name, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection)
            continue;
        const auto eq = text.find('=');
        if (eq == std::string_view::npos || !vmx::EqualsIgnoringAsciiCase(trim(text.substr(0, eq)), key))
            continue;
        std::string_view value = trim(text.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value.substr(0, vmx::kProfileValueLimit));
    }
    return std::nullopt;
}

}  // namespace

namespace vmx {

std::string ResolveProfilePath(const std::string& fileName)
{
    return vmx::FindIniFile(fileName);
}

int LeadingInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    std::uint32_t value = 0;  // wraps like a 32-bit accumulator on absurdly long numbers
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    if (negative)
        value = 0u - value;
    return static_cast<int>(value);
}

ProfileFile::ProfileFile(const std::string& fileName) : m_content(readContent(ResolveProfilePath(fileName))) {}

std::string ProfileFile::readString(std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    auto value = findValue(section, key, m_content);
    if (!value)
        return std::string(defaultValue.substr(0, kProfileValueLimit));
    return *value;
}

int ProfileFile::readInt(std::string_view section, std::string_view key, int defaultValue) const
{
    const auto value = findValue(section, key, m_content);
    return value ? LeadingInt(*value) : defaultValue;
}

}  // namespace vmx

std::string ReadProfileString(std::string_view section, std::string_view key,
                              std::string_view defaultValue, const std::string& fileName)
{
    return vmx::ProfileFile(fileName).readString(section, key, defaultValue);
}

int ReadProfileInt(std::string_view section, std::string_view key, int defaultValue,
                   const std::string& fileName)
{
    return vmx::ProfileFile(fileName).readInt(section, key, defaultValue);
}
