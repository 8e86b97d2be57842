#pragma once

#include "convert/Export.h"
#include "recording/AdStretches.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vmx {

struct AdScanResult {
    bool ok = false;
    std::string error;             // why the recording could not be analysed
    AdSignals measured;            // what was measured, in seconds from the first picture
    std::uint64_t bytesRead = 0;   // of the part files
    std::uint64_t pictures = 0;    // pictures decoded
    std::vector<LostStretch> lost;  // stretches of damaged parts that could not be read and were skipped
};

// Told the bytes of the part files read so far and their total; false stops the analysis.
using AdScanProgress = std::function<bool(std::uint64_t read, std::uint64_t total)>;

// Measures what advertising blocks leave in a recording, read from its part files as one stream
// (nothing is written): black pictures, silence, the channel logo in a corner and changes of
// picture shape or sound. Near silence the pictures others refer to are decoded, elsewhere only the
// key frames (MPEG-2 at half size); the logo is looked for at most twice a second. A stretch of a part that cannot be read is skipped and said. The
// FFmpeg libraries run in a child process: a damaged recording that takes them down fails the
// analysis, not the program.
AdScanResult ScanForAds(const std::vector<std::string>& partPaths, const AdScanProgress& progress = {});

// The measuring itself, with the FFmpeg libraries, in the calling process (AdMeasure.cpp, the only
// way into its FFmpeg code): what ScanForAds runs in its child. It lives in the export module and is
// reached through the module's entry point kAdMeasureEntry, of this type, which returns false
// (doing nothing) when `version` is not kExportModuleVersion.
AdScanResult MeasureAdSignals(const std::vector<std::string>& partPaths, const AdScanProgress& progress);
using AdMeasureEntry = bool (*)(int version, const std::vector<std::string>* partPaths, const AdScanProgress* progress,
                                AdScanResult* result);

}  // namespace vmx
