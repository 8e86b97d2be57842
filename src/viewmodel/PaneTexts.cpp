#include "viewmodel/PaneTexts.h"

#include "recording/RecordingFiles.h"

#include <cstdio>

namespace vmx {

namespace {

constexpr std::size_t kNameBytes = 15;

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

std::vector<std::string> RecordRowTexts(const RecordRow& row)
{
    const std::string name = NameForDisplay(row.name);
    return {std::to_string(row.id), row.damaged ? "(damaged) " + name : name,
            row.readable ? DurationText(row.duration) : ""};
}

std::vector<int> ShownRecordRows(const std::vector<RecordRow>& rows)
{
    std::vector<int> shown;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].readable)
            shown.push_back(static_cast<int>(i));
    }
    return shown;
}

std::vector<std::string> MediaRowTexts(const MediaFileEntry& file)
{
    return {std::to_string(file.number), file.name, std::to_string(file.sizeKb)};
}

std::vector<std::string> PendingRowTexts(int index, const std::string& fileName)
{
    return {std::to_string(index + 1), fileName};
}

std::array<std::string, 3> DetailsLines(const RecordDetails& details)
{
    return {"Channel Name : " + NameForDisplay(details.displayName), "TIME: " + StartTimeText(details.startTime),
            StreamLine(details.streams)};
}

std::string TimeLabelText(std::uint32_t position)
{
    char text[64];
    std::snprintf(text, sizeof text, "Time:%02u:%02u:%02u | %06u", position / 3600, position % 3600 / 60,
                  position % 60, position);
    return text;
}

std::string NameForDisplay(const std::string& nameBytes)
{
    const std::string bytes = EscapedNameBytes(nameBytes);
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

std::string NameBytesForRename(const std::string& editText, const std::string& storedBytes)
{
    if (editText == NameForDisplay(storedBytes))
        return storedBytes;
    std::size_t end = std::min(editText.size(), kNameBytes);
    // Step back over continuation bytes so the cut falls between characters.
    if (end < editText.size()) {
        while (end > 0 && (static_cast<unsigned char>(editText[end]) & 0xC0u) == 0x80u)
            --end;
    }
    return editText.substr(0, end);
}

std::string RenameRefusal(const std::string& editText, const std::string& storedBytes)
{
    if (editText.empty())
        return "Type the recording's new name into the name box first; a recording keeps a name.";
    if (editText.size() > kNameBytes && editText != NameForDisplay(storedBytes))
        return "The name \"" + editText + "\" takes " + std::to_string(editText.size()) +
               " bytes; a recording's name holds at most 15. Shorten it and press RE again.";
    return {};
}

bool NameEditTakes(const std::string& after, const std::string& before)
{
    return after.size() <= kNameBytes || after.size() < before.size();
}

}  // namespace vmx
