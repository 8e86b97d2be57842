#include "cli/RecordingArgs.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace vmx::cli {

std::string TakeOption(Args& args, const std::string& name)
{
    const auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end())
        return {};
    if (it + 1 == args.end())
        throw UsageError{name + " needs a value"};
    std::string value = *(it + 1);
    args.erase(it, it + 2);
    return value;
}

int RowOfId(const vmx::LoadedPane& pane, const std::string& id)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(id.c_str(), &end, 10);
    if (id.empty() || *end != '\0' || errno != 0 || value < 1 || static_cast<std::size_t>(value) > pane.timing.size())
        throw UsageError{"\"" + id + "\" is not a recording id of " + pane.dbPath + " (1.." +
                         std::to_string(pane.timing.size()) + ")"};
    return static_cast<int>(value - 1);
}

double ParseSeconds(const std::string& text, const char* what)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 0)
        throw UsageError{std::string(what) + " \"" + text + "\" is not a number of seconds"};
    return value;
}

}  // namespace vmx::cli
