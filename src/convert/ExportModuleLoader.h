#pragma once

// Finding the export module (lib/velmorix/modules/export.so beside the running program's bin/
// folder, in the build tree as in an installed one), which holds everything that uses the FFmpeg
// libraries: the export's remux and encode, and the measuring of a recording's signals of
// advertising. Only the child processes that do that work load it, so the programs start without
// the FFmpeg libraries.

#include <string>

namespace vmx {

std::string ExportModulePath();

// The module's entry point `name`, the module loaded on the first call; nullptr with `error` saying
// why, ending in "reinstall Velmorix to " + `purpose` + ".".
void* ExportModuleEntryPoint(const char* name, const std::string& purpose, std::string& error);

// The names of the entry points and the version they are called with: a module of another build
// may lay out the types it is handed differently, and does nothing when the version differs.
inline constexpr int kExportModuleVersion = 1;
inline constexpr const char* kExportModuleEntry = "VmxExportInto";
inline constexpr const char* kAdMeasureEntry = "VmxMeasureAdSignals";

}  // namespace vmx
