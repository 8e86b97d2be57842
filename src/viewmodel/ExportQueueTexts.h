#pragma once

#include "convert/ExportQueue.h"

#include <string>

namespace vmx {

// The texts of a job's row in the export queue window.

// The format list's entry the job was made with ("MKV, no re-encoding", "MP4 H.264/AAC" ...).
std::string ExportFormatText(const ExportJobOrder& order);
// "12.3 MB/s" (megabytes of 1,000,000 bytes); empty while there is no speed.
std::string ExportSpeedText(double bytesPerSecond);
// "0:42 left", "1:02:05 left"; empty while it cannot be told.
std::string ExportTimeLeftText(double seconds);
// "Waiting", "Running", "Done", "Failed: <why>", "Cancelled".
std::string ExportStateText(const ExportJob& job);

}  // namespace vmx
