#pragma once

#include <optional>
#include <string>
#include <string_view>

// Readers of INI ("private profile") files with the semantics the settings files were written
// for: section and key names match without regard to case, the first matching section and key
// win, names and values are trimmed, one pair of matching surrounding quotes is removed from a
// value, lines beginning with ';' are comments, and a value holds at most
// vmx::kProfileValueLimit characters. A missing file, section or key yields the default.
//
// A file name beginning with '/' is used as it is; any other name is looked up by
// vmx::ResolveProfilePath: the user's own copy first, then the shipped one (vmx::FindIniFile).

std::string ReadProfileString(std::string_view section, std::string_view key,
                              std::string_view defaultValue, const std::string& fileName);

// The leading decimal number of the value (blanks and a sign allowed before it); a value that
// does not begin with a number gives 0; a missing key gives the default.
int ReadProfileInt(std::string_view section, std::string_view key, int defaultValue,
                   const std::string& fileName);

namespace vmx {

inline constexpr std::size_t kProfileValueLimit = 9998;

std::string ResolveProfilePath(const std::string& fileName);

// One INI file read once, for a reader that takes many keys of it; the values are those
// ReadProfileString and ReadProfileInt give.
class ProfileFile {
public:
    explicit ProfileFile(const std::string& fileName);
    std::string readString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    int readInt(std::string_view section, std::string_view key, int defaultValue) const;

private:
    std::optional<std::string> m_content;  // nothing when the file cannot be read
};

// The leading decimal number of a text as the integer reader takes it.
int LeadingInt(std::string_view text);

}  // namespace vmx
