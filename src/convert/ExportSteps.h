#pragma once

// The two ways of writing an export into an open, empty file; ExportRecording runs one of them in
// a child process and puts the file in place.

#include "convert/Export.h"

namespace vmx {

// The streams copied as they are.
ExportResult RemuxInto(const ExportRequest& request, int fd, const ExportProgress& progress);

// The video encoded anew (request.encode), the audio as AAC.
ExportResult EncodeInto(const ExportRequest& request, int fd, const ExportProgress& progress);

}  // namespace vmx
