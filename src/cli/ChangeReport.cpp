#include "cli/ChangeReport.h"

#include <cstdio>

namespace vmx::cli {

ChangeReport::ChangeReport(std::string command) : m_command(std::move(command)), m_start(std::chrono::steady_clock::now())
{
}

void ChangeReport::messages(const std::vector<std::string>& texts)
{
    m_messages.insert(m_messages.end(), texts.begin(), texts.end());
}

void ChangeReport::print() const
{
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - m_start;
    Json out;
    out.beginObject().key("command").value(m_command);
    std::string text = out.str();
    if (!m_fields.str().empty())
        text += "," + m_fields.str();
    Json tail;
    tail.key("written").values(m_written)
        .key("removed").values(m_removed)
        .key("warnings").values(m_warnings)
        .key("messages").values(m_messages)
        .key("seconds").decimal(took.count())
        .endObject();
    std::printf("%s,%s\n", text.c_str(), tail.str().c_str());
}

}  // namespace vmx::cli
