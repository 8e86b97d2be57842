// The export module's entry points (see ExportModuleLoader.h): the only symbols the module shows.

#include "convert/AdScan.h"
#include "convert/ExportModuleLoader.h"
#include "convert/ExportSteps.h"

extern "C" {
#include <libavutil/log.h>
}

extern "C" __attribute__((visibility("default"))) bool VmxExportInto(int version, const vmx::ExportRequest* request,
                                                                     int fd, const vmx::ExportProgress* progress,
                                                                     vmx::ExportResult* result)
{
    if (version != vmx::kExportModuleVersion)
        return false;
    av_log_set_level(AV_LOG_QUIET);  // what goes wrong is said in the result
    *result = request->encode.video == vmx::ExportVideo::Copy ? vmx::RemuxInto(*request, fd, *progress)
                                                               : vmx::EncodeInto(*request, fd, *progress);
    return true;
}

extern "C" __attribute__((visibility("default"))) bool VmxMeasureAdSignals(int version,
                                                                           const std::vector<std::string>* partPaths,
                                                                           const vmx::AdScanProgress* progress,
                                                                           vmx::AdScanResult* result)
{
    if (version != vmx::kExportModuleVersion)
        return false;
    av_log_set_level(AV_LOG_QUIET);  // what goes wrong is said in the result
    *result = vmx::MeasureAdSignals(*partPaths, *progress);
    return true;
}
