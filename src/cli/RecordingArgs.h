#pragma once

#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "recording/LoadedPane.h"

#include <string>

namespace vmx::cli {

// Removes "--name VALUE" from the arguments and returns VALUE ("" when absent).
std::string TakeOption(Args& args, const std::string& name);

// A recording id (1..count of the pane) as a 0-based row; UsageError when it is not one.
int RowOfId(const vmx::LoadedPane& pane, const std::string& id);

// A number of seconds (a mark bar value); UsageError when it is not one.
double ParseSeconds(const std::string& text, const char* what);

}  // namespace vmx::cli
