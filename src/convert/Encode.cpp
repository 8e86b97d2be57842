// The video of a recording encoded anew as H.264 or HEVC, the audio as AAC.

#include "convert/ExportSteps.h"

namespace vmx {

ExportResult EncodeInto(const ExportRequest&, int, const ExportProgress&)
{
    ExportResult result;
    result.error = "encoding is not available in this build.";
    return result;
}

}  // namespace vmx
