#include "viewmodel/PaneTexts.h"

#include "recording/RecordingFiles.h"

#include <cstdio>

namespace vmx {

namespace {

constexpr std::size_t kNameBytes = 15;


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
    return NameBytesAsUtf8(EscapedNameBytes(nameBytes));
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
