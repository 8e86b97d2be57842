#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vmx::cli {

// A small JSON text builder: values are appended in order; commas are placed automatically.
class Json {
public:
    Json& beginObject();
    Json& endObject();
    Json& beginArray();
    Json& endArray();
    Json& key(const std::string& name);
    Json& value(std::uint64_t number);
    // A number with three decimals ("%.3f", whatever the locale).
    Json& decimal(double number);
    Json& boolean(bool flag);
    // Bytes below 0x20, '"', '\' and bytes from 0x80 up are escaped (\u00XX: each byte stands
    // for the character with that code), so any byte string gives valid JSON.
    Json& value(const std::string& text);
    Json& value(const char* text) { return value(std::string(text)); }
    // An array of texts.
    Json& values(const std::vector<std::string>& texts);

    const std::string& str() const { return m_out; }

private:
    void separate();
    std::string m_out;
    bool m_needComma = false;
};

}  // namespace vmx::cli
