#pragma once

// The two ways of writing an export into an open, empty file. They use the FFmpeg libraries and
// live in the export module (lib/velmorix/modules/export.so beside bin/), which the child process
// that ExportRecording forks loads; the programs themselves do not link FFmpeg.

#include "convert/Export.h"

namespace vmx {

// The streams copied as they are.
ExportResult RemuxInto(const ExportRequest& request, int fd, const ExportProgress& progress);

// The video encoded anew (request.encode), the audio as AAC.
ExportResult EncodeInto(const ExportRequest& request, int fd, const ExportProgress& progress);

// The module's export entry point (kExportModuleEntry): writes the export of `request` into `fd`
// (remuxed or encoded, as request.encode asks) and fills `result`. `version` must be
// kExportModuleVersion, else nothing is done and false returned.
using ExportModuleEntry = bool (*)(int version, const ExportRequest* request, int fd, const ExportProgress* progress,
                                   ExportResult* result);

}  // namespace vmx
