#pragma once

#include <string>
#include <string_view>

namespace vmx {

// The iconv name of a Windows code page number: 65001 = UTF-8, any other number n = "CPn"
// (949 = CP949). Page 0 (the ANSI page) has no fixed name: see ConvertTextToUtf8.
std::string CodePageCharset(int codePage);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Converts the text of `source` (up to its first zero byte) from the code page to UTF-8 and
// writes it to `destination` without a byte-order mark. Code page 0, the ANSI page, takes a text
// that is valid UTF-8 as it is and reads any other in `ansiCodePage` (0 there means 949), so the
// result never depends on the locale. A byte sequence the code page does not know becomes
// U+FFFD and the rest is still converted. The destination is created or emptied first, even
// when the conversion then fails; a source that is not a regular file is refused. Returns true
// when the converted text was written.
bool ConvertTextToUtf8(const std::string& source, const std::string& destination, int codePage,
                       int ansiCodePage = 949);

}  // namespace vmx
