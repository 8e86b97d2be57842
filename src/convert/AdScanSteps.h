#pragma once

// The measuring itself, with the FFmpeg libraries; ScanForAds runs it in a child process.

#include "convert/AdScan.h"

namespace vmx {

AdScanResult MeasureAdSignals(const std::vector<std::string>& partPaths, const AdScanProgress& progress);

}  // namespace vmx
