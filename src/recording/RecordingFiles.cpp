#include "recording/RecordingFiles.h"

#include "recdb/DiskNaming.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace vmx {

namespace {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07u;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0u) != 0x80u)
                return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (length == 4 && (code < 0x10000 || code > 0x10FFFF)))
            return false;
        i += length;
    }
    return true;
}

}  // namespace

std::string RecordNameBytes(const AVMRec& record)
{
    std::string name;
    for (std::size_t i = 1; i < sizeof record.name && record.name[i] != 0; ++i)
        name += static_cast<char>(record.name[i]);
    return name;
}

namespace {

// The length of the bidirectional formatting character whose UTF-8 bytes stand at `at` of
// `text`, or 0: U+061C, U+200E, U+200F, U+202A..U+202E and U+2066..U+2069.
std::size_t bidiControlAt(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t k) {
        return at + k < text.size() ? static_cast<unsigned char>(text[at + k]) : 0u;
    };
    if (byte(0) == 0xD8 && byte(1) == 0x9C)
        return 2;
    if (byte(0) == 0xE2 && byte(1) == 0x80 &&
        (byte(2) == 0x8E || byte(2) == 0x8F || (byte(2) >= 0xAA && byte(2) <= 0xAE)))
        return 3;
    if (byte(0) == 0xE2 && byte(1) == 0x81 && byte(2) >= 0xA6 && byte(2) <= 0xA9)
        return 3;
    return 0;
}

void appendEscaped(std::string& text, unsigned char byte)
{
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    text += hex;
}

}  // namespace

std::string NameBytesAsUtf8(const std::string& bytes)
{
    if (IsUtf8(bytes))
        return bytes;
    std::string text;
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x80) {
            text += byte;
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

std::string EscapedNameBytes(const std::string& bytes)
{
    std::string name;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (const std::size_t length = bidiControlAt(bytes, i); length > 0) {
            for (std::size_t k = 0; k < length; ++k)
                appendEscaped(name, static_cast<unsigned char>(bytes[i + k]));
            i += length;
        } else {
            if (c < 0x20 || c == 0x7F)
                appendEscaped(name, c);
            else
                name += static_cast<char>(c);
            ++i;
        }
    }
    return name;
}

std::string RecordDisplayName(const AVMRec& record)
{
    return EscapedNameBytes(RecordNameBytes(record));
}

void SetRecordName(AVMRec& record, const std::string& text)
{
    for (std::size_t i = 1; i < sizeof record.name; ++i)
        record.name[i] = i - 1 < text.size() ? static_cast<std::uint8_t>(text[i - 1]) : 0;
}

std::string PartName(const AVMRec& record, int index)
{
    return std::string(record.parts[index].name, kAVMPartNameLen);
}

std::string PartPath(const std::string& folder, const AVMRec& record, int index)
{
    return folder + PartName(record, index);
}

std::string UnsafePartsMessage(const AVMRec& record, const std::string& dbPath)
{
    if (record.partCount > kDBMMaxParts)
        return "the recording \"" + RecordDisplayName(record) + "\" claims " + std::to_string(record.partCount) +
               " parts, more than a recording can have; its files are left alone.";
    for (int j = 0; j < record.partCount; ++j) {
        if (!IsSafePartNameOf(record.parts[j].name, dbPath))
            return "the recording \"" + RecordDisplayName(record) + "\" names a part file \"" +
                   PrintablePartName(record.parts[j].name) +
                   "\" that is not a valid part name; its files are left alone.";
    }
    return {};
}

int CreateNewFile(const std::string& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0)
        return fd;
    if (errno == EEXIST)
        error = path + " already exists and belongs to no recording being written; it was left untouched.";
    else
        error = "cannot create " + path + ": " + std::strerror(errno) + ".";
    return -1;
}

}  // namespace vmx
