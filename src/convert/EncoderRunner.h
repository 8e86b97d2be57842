#pragma once

#include "IEncoderRunnerOwner.h"
#include "ProcessRunner.h"

#include <string>
#include <string_view>

// Reads the encoder's status lines ("Pos: 12.3s 308f ( 4%) ...", each ended by a carriage
// return) into its owner's percentage, keeps other lines for failure reports and hands the end
// of each job to the owner's job-completion handler.
class CEncoderRunner : public CProcessRunner {
public:
    explicit CEncoderRunner(vmx::IEncoderRunnerOwner& owner);
    ~CEncoderRunner() override;

protected:
    void OnOutputText(const char* text) override;
    void OnErrorText(const char* text) override;
    void OnTerminated(const vmx::ChildExit& exit) override;

private:
    vmx::IEncoderRunnerOwner& m_owner;
    std::string m_errorLine;  // standard error text not yet ended by a line break
};

namespace vmx {

// Reads the percentage of a status line: the number between the first "(" and the first "%"
// after it (0 when there is no "%" or no digits). Returns false, leaving `percent` alone, for
// any line that does not begin with "Pos:" or has no "(".
bool ParseStatusLine(std::string_view line, int& percent);

}  // namespace vmx
