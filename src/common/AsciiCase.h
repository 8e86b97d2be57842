#pragma once

#include <string>
#include <string_view>

namespace vmx {

// The text with ASCII letters upper-cased and every other byte unchanged: how the receiver's FAT
// disk compares file names, whatever the locale.
std::string AsciiUpper(std::string_view text);

// True when both texts are equal once their ASCII letters are upper-cased.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace vmx
