#include "viewmodel/FileFilters.h"

namespace vmx {

namespace {

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        fields.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return fields;
        start = end + 1;
    }
}

}  // namespace

std::vector<std::string> FileDialogFilters(const std::string& filter)
{
    std::vector<std::string> filters;
    const std::vector<std::string> fields = Split(filter, '|');
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        const std::string description = Trimmed(fields[i]);
        std::string patterns;
        for (const std::string& pattern : Split(fields[i + 1], ';')) {
            if (const std::string trimmed = Trimmed(pattern); !trimmed.empty())
                patterns += (patterns.empty() ? "" : " ") + trimmed;
        }
        if (description.empty() || patterns.empty())
            continue;
        const std::string tail = "(" + patterns + ")";
        if (description.size() >= tail.size() && description.ends_with(tail))
            filters.push_back(description);
        else
            filters.push_back(description + " " + tail);
    }
    return filters;
}

}  // namespace vmx
