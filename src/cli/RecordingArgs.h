#pragma once

#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "recording/LoadedPane.h"

#include <string>

namespace vmxcli {

// Removes "--name VALUE" from the arguments and returns VALUE ("" when absent).
std::string takeOption(Args& args, const std::string& name);

// A recording id (1..count of the pane) as a 0-based row; UsageError when it is not one.
int rowOfId(const vmx::LoadedPane& pane, const std::string& id);

// A number of seconds (a mark bar value); UsageError when it is not one.
double parseSeconds(const std::string& text, const char* what);

}  // namespace vmxcli
