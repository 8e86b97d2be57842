#pragma once

#include "CliCommand.h"

#include "recording/PaneLoad.h"

#include <string>

namespace vmxcli {

// Loads DB into side 0 as a pane of the main view would (measuring every recording), or throws
// Failure with what went wrong.
vmx::LoadedPane loadDatabase(const std::string& dbPath, int side = 0);

// Parses a list id (1..200); throws UsageError otherwise.
unsigned parseId(const std::string& text);

// Removes "--flag" from args; true when it was there.
bool takeFlag(Args& args, const std::string& flag);

}  // namespace vmxcli
