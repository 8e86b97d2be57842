#include "viewmodel/CutList.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vmx {

bool CutList::add(double from, double to)
{
    CutStretch added{std::min(from, to), std::max(from, to)};
    if (!(added.end > added.start))
        return false;
    // Every listed stretch that overlaps or touches the new one is absorbed into it.
    std::vector<CutStretch> kept;
    kept.reserve(m_stretches.size() + 1);
    for (const CutStretch& stretch : m_stretches) {
        if (stretch.end < added.start || stretch.start > added.end) {
            kept.push_back(stretch);
            continue;
        }
        added.start = std::min(added.start, stretch.start);
        added.end = std::max(added.end, stretch.end);
    }
    kept.insert(std::upper_bound(kept.begin(), kept.end(), added,
                                 [](const CutStretch& a, const CutStretch& b) { return a.start < b.start; }),
                added);
    m_stretches = std::move(kept);
    return true;
}

void CutList::remove(std::size_t index)
{
    if (index < m_stretches.size())
        m_stretches.erase(m_stretches.begin() + std::ptrdiff_t(index));
}

namespace {

std::string ClockText(double seconds, bool hours)
{
    // Tenths, rounded once, so that 59.96 reads 1:00.0 and not 0:60.0.
    const long long tenths = std::llround(std::max(seconds, 0.0) * 10);
    const long long whole = tenths / 10;
    char text[32];
    if (hours)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%lld", whole / 3600, whole / 60 % 60, whole % 60, tenths % 10);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld.%lld", whole / 60, whole % 60, tenths % 10);
    return text;
}

}  // namespace

std::string CutStretchText(const CutStretch& stretch)
{
    const bool hours = stretch.end >= 3600 - 0.05;
    return ClockText(stretch.start, hours) + " \u2013 " + ClockText(stretch.end, hours);
}

}  // namespace vmx
