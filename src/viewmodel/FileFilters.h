#pragma once

#include <string>
#include <vector>

namespace vmx {

// The name filters of a file dialog for a filter written as "description|patterns|...||" (the
// patterns separated by ';'), in the form "description (patterns)" that Qt's file dialog reads:
// a description that already ends in its patterns in parentheses is kept as it stands.
std::vector<std::string> FileDialogFilters(const std::string& filter);

}  // namespace vmx
