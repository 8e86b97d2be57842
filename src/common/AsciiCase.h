#pragma once

#include <string>
#include <string_view>

namespace vmx {

// ASCII case folding: only the letters A..Z and a..z change, every other byte stays as it is,
// whatever the locale. This is how the receiver's FAT disk compares file names and how INI names
// and file extensions are matched.

// The text with ASCII letters upper-cased.
std::string AsciiUpper(std::string_view text);

// The text with ASCII letters lower-cased.
std::string AsciiLower(std::string_view text);

// True when both texts are equal once their ASCII letters are upper-cased.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// True when `text` ends with `tail`, ASCII letter case ignored.
bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view tail);

}  // namespace vmx
