#pragma once

#include <cstdint>
#include <string>

namespace vmxcli {

// A small JSON text builder: values are appended in order; commas are placed automatically.
class Json {
public:
    Json& beginObject();
    Json& endObject();
    Json& beginArray();
    Json& endArray();
    Json& key(const std::string& name);
    Json& value(std::uint64_t number);
    // Bytes below 0x20, '"', '\' and bytes from 0x80 up are escaped (\u00XX: each byte stands
    // for the character with that code), so any byte string gives valid JSON.
    Json& value(const std::string& text);

    const std::string& str() const { return m_out; }

private:
    void separate();
    std::string m_out;
    bool m_needComma = false;
};

}  // namespace vmxcli
