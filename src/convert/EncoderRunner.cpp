#include "EncoderRunner.h"

#include "RingBuffer.h"

#include <cstring>

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Lines worth showing when a job fails: not empty, not a status line or frame-skip notice.
bool worthKeeping(std::string_view line)
{
    return !line.empty() && line != "Skipping frame!" && !line.starts_with("Pos:");
}

}  // namespace

namespace vmx {

bool ParseStatusLine(std::string_view line, int& percent)
{
    if (!line.starts_with("Pos:"))
        return false;
    while (!line.empty() && isSpace(line.back()))
        line.remove_suffix(1);
    const auto open = line.find('(');
    if (open == std::string_view::npos)
        return false;
    const auto sign = line.find('%', open);
    if (sign == std::string_view::npos) {
        percent = 0;
        return true;
    }
    std::string_view number = line.substr(open + 1, sign - open - 1);
    while (!number.empty() && isSpace(number.front()))
        number.remove_prefix(1);
    int value = 0;
    for (const char c : number) {
        if (c < '0' || c > '9' || value > 100000000)
            break;
        value = value * 10 + (c - '0');
    }
    percent = value;
    return true;
}

}  // namespace vmx

CEncoderRunner::CEncoderRunner(vmx::IEncoderRunnerOwner& owner) : m_owner(owner) {}

CEncoderRunner::~CEncoderRunner()
{
    // Stop while this object is whole: the runner's threads call into it.
    StopChild();
}

void CEncoderRunner::OnOutputText(const char* text)
{
    m_owner.outputBuffer().Write(text, static_cast<int>(std::strlen(text)));
    std::string line;
    while (m_owner.nextLine(line)) {
        int percent = 0;
        if (vmx::ParseStatusLine(line, percent))
            m_owner.setJobPercent(percent);
        else if (worthKeeping(line))
            m_owner.onEncoderLine(line);
    }
}

void CEncoderRunner::OnErrorText(const char* text)
{
    m_errorLine += text;
    std::size_t start = 0;
    for (std::size_t end; (end = m_errorLine.find_first_of("\r\n", start)) != std::string::npos; start = end + 1) {
        if (worthKeeping(std::string_view(m_errorLine).substr(start, end - start)))
            m_owner.onEncoderLine(std::string_view(m_errorLine).substr(start, end - start));
    }
    m_errorLine.erase(0, start);
    if (m_errorLine.size() > 4096)
        m_errorLine.erase(0, m_errorLine.size() - 4096);
}

void CEncoderRunner::OnTerminated(const vmx::ChildExit& exit)
{
    if (worthKeeping(m_errorLine))
        m_owner.onEncoderLine(m_errorLine);
    m_errorLine.clear();
    m_owner.onJobFinished(exit);
}
