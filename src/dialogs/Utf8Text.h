#pragma once

#include <QString>

#include <string_view>

// The window's text of a UTF-8 text of the core.
inline QString Utf8Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}
