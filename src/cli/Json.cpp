#include "cli/Json.h"

#include <charconv>
#include <cstdio>

namespace vmx::cli {

void Json::separate()
{
    if (m_needComma)
        m_out += ',';
    m_needComma = false;
}

Json& Json::beginObject()
{
    separate();
    m_out += '{';
    return *this;
}

Json& Json::endObject()
{
    m_out += '}';
    m_needComma = true;
    return *this;
}

Json& Json::beginArray()
{
    separate();
    m_out += '[';
    return *this;
}

Json& Json::endArray()
{
    m_out += ']';
    m_needComma = true;
    return *this;
}

Json& Json::key(const std::string& name)
{
    value(name);
    m_out += ':';
    m_needComma = false;
    return *this;
}

Json& Json::value(std::uint64_t number)
{
    separate();
    m_out += std::to_string(number);
    m_needComma = true;
    return *this;
}

Json& Json::decimal(double number)
{
    separate();
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, number, std::chars_format::fixed, 3);
    m_out.append(text, end.ec == std::errc() ? end.ptr : text);
    m_needComma = true;
    return *this;
}

Json& Json::boolean(bool flag)
{
    separate();
    m_out += flag ? "true" : "false";
    m_needComma = true;
    return *this;
}

Json& Json::values(const std::vector<std::string>& texts)
{
    beginArray();
    for (const std::string& text : texts)
        value(text);
    return endArray();
}

Json& Json::value(const std::string& text)
{
    separate();
    m_out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            m_out += '\\';
            m_out += ch;
        } else if (c < 0x20 || c >= 0x80) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            m_out += esc;
        } else {
            m_out += ch;
        }
    }
    m_out += '"';
    m_needComma = true;
    return *this;
}

}  // namespace vmx::cli
