#pragma once

#include "CliCommand.h"
#include "recording/PaneLoad.h"

#include <string>

namespace vmxcli {

// Removes a flag from the arguments; true when it was there.
bool takeFlag(Args& args, const std::string& flag);

// Removes "--name VALUE" from the arguments and returns VALUE ("" when absent).
std::string takeOption(Args& args, const std::string& name);

// Loads a database into a side or throws Failure.
vmx::LoadedPane loadDatabase(int side, const std::string& path);

// A recording id (1..count of the pane) as a 0-based row; UsageError when it is not one.
int rowOfId(const vmx::LoadedPane& pane, const std::string& id);

// A number of seconds (a mark bar value); UsageError when it is not one.
double parseSeconds(const std::string& text, const char* what);

}  // namespace vmxcli
