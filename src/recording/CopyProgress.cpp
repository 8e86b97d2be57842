#include "recording/CopyProgress.h"

#include <cstdio>

namespace vmx {

void CopyProgress::start(std::uint64_t transferTotal)
{
    m_total = transferTotal;
    m_transferredMb = 0;
    m_countedMb = 0;
}

void CopyProgress::finish()
{
    start(0);
}

CopyProgressView CopyProgress::update(std::uint64_t fileTotal, std::uint64_t copied)
{
    const auto total = static_cast<std::uint32_t>(fileTotal & 0xFFFFFFFFu);
    const auto done = static_cast<std::uint32_t>(copied & 0xFFFFFFFFu);

    // Whole kilobytes keep the product within 32 bits; files under 1,000 bytes (and empty
    // ones) are measured in bytes instead of dividing by zero.
    std::uint32_t filePercent;
    if (total / 1000 != 0)
        filePercent = (done / 1000) * 100 / (total / 1000);
    else
        filePercent = total == 0 ? 100 : done * 100 / total;

    const std::uint32_t megabytes = done / 1000000;
    if (megabytes > m_countedMb)
        m_transferredMb += megabytes - m_countedMb;

    std::uint64_t overall = m_total == 0 ? 0 : m_transferredMb * 1000000 * 100 / m_total;
    if (overall > 100)
        overall = 100;
    m_countedMb = filePercent == 100 ? 0 : megabytes;

    CopyProgressView view;
    view.filePercent = static_cast<int>(filePercent > 100 ? 100 : filePercent);
    view.overallPercent = static_cast<int>(overall);
    char status[128];
    std::snprintf(status, sizeof status, "%llu(Mbytes) transferred of total %llu(bytes) %d(left)",
                  static_cast<unsigned long long>(m_transferredMb), static_cast<unsigned long long>(m_total),
                  view.overallPercent);
    view.status = status;
    view.warning = kCopyWarning;
    view.transferredBytes = m_transferredMb * 1000000;
    view.totalBytes = m_total;
    return view;
}

}  // namespace vmx
