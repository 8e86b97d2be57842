#include "viewmodel/CutList.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vmx {

int CutList::put(ListedStretch added)
{
    if (!(added.end > added.start))
        return -1;
    // Every listed stretch that overlaps or touches the new one is absorbed into it; a proposal
    // stays one only while every stretch it takes in is one.
    std::vector<ListedStretch> kept;
    kept.reserve(m_stretches.size() + 1);
    for (const ListedStretch& stretch : m_stretches) {
        if (stretch.end < added.start || stretch.start > added.end) {
            kept.push_back(stretch);
            continue;
        }
        added.start = std::min(added.start, stretch.start);
        added.end = std::max(added.end, stretch.end);
        added.proposed = added.proposed && stretch.proposed;
        added.score = std::max(added.score, stretch.score);
    }
    if (!added.proposed)
        added.score = -1;
    const auto at = std::upper_bound(kept.begin(), kept.end(), added,
                                     [](const ListedStretch& a, const ListedStretch& b) { return a.start < b.start; });
    const int index = int(at - kept.begin());
    kept.insert(at, added);
    m_stretches = std::move(kept);
    return index;
}

void CutList::propose(const std::vector<AdStretch>& stretches)
{
    for (const AdStretch& stretch : stretches)
        put({stretch.start, stretch.end, true, stretch.score});
}

int CutList::move(std::size_t index, double from, double to)
{
    if (index >= m_stretches.size() || from == to)
        return -1;
    m_stretches.erase(m_stretches.begin() + std::ptrdiff_t(index));
    return put({std::min(from, to), std::max(from, to)});
}

void CutList::remove(std::size_t index)
{
    if (index < m_stretches.size())
        m_stretches.erase(m_stretches.begin() + std::ptrdiff_t(index));
}

std::vector<EdlEntry> CutList::edl() const
{
    std::vector<EdlEntry> entries;
    for (const ListedStretch& stretch : m_stretches)
        entries.push_back({stretch.start, stretch.end, stretch.proposed ? EdlEntry::kEdlCommercial : 0});
    return entries;
}

std::size_t CutList::load(const std::vector<EdlEntry>& entries, double duration)
{
    std::size_t listed = 0;
    for (const EdlEntry& entry : entries) {
        if (entry.start < duration && put({entry.start, std::min(entry.end, duration), entry.action == EdlEntry::kEdlCommercial}) >= 0)
            ++listed;
    }
    return listed;
}

std::vector<CutStretch> CutList::stretches() const
{
    std::vector<CutStretch> stretches;
    for (const ListedStretch& stretch : m_stretches)
        stretches.push_back(stretch.stretch());
    return stretches;
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

std::string ListedStretchText(const ListedStretch& stretch)
{
    std::string text = CutStretchText(stretch.stretch());
    if (stretch.proposed) {
        text += "  advertising?";
        if (stretch.score >= 0)
            text += " " + std::to_string(std::lround(stretch.score * 100)) + " %";
    }
    return text;
}

}  // namespace vmx
