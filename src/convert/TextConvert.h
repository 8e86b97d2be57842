#pragma once

#include <string>

// The iconv name of a Windows code page number: 0 = the current locale's charset,
// 65001 = UTF-8, any other number n = "CPn" (949 = CP949).
std::string CodePageCharset(int codePage);

// Converts the text of `source` (up to its first zero byte) from the code page to UTF-8 and
// writes it to `destination` without a byte-order mark; a byte sequence the code page does not
// know becomes U+FFFD and the rest is still converted. The destination is created or emptied
// first, even when the conversion then fails. Returns true when the converted text was written.
bool ConvertTextToUtf8(const std::string& source, const std::string& destination, int codePage);
