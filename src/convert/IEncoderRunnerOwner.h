#pragma once

#include "ProcessRunner.h"

#include <string>
#include <string_view>

class CRingBuffer;

namespace vmx {

// What an encoder runner reports to: the owner keeps the output ring buffer and the current
// job's percentage and handles the end of each job. Called on the runner's threads.
class IEncoderRunnerOwner {
public:
    virtual CRingBuffer& outputBuffer() = 0;  // written by the output reader only
    virtual bool nextLine(std::string& line) = 0;
    virtual void setJobPercent(int percent) = 0;
    // An output or error line that is not a status line (kept for failure reports).
    virtual void onEncoderLine(std::string_view line) = 0;
    // The job-completion handler; runs on the waiter thread and may start the next job.
    virtual void onJobFinished(const ChildExit& exit) = 0;

protected:
    ~IEncoderRunnerOwner() = default;
};

}  // namespace vmx
