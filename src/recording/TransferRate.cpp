#include "recording/TransferRate.h"

#include <cmath>
#include <cstdio>

namespace vmx {

TransferRate::TransferRate(Clock::duration window, Clock::duration settle)
    : m_window(window)
    , m_settle(settle)
{
}

void TransferRate::reset()
{
    m_samples.clear();
}

void TransferRate::add(Clock::time_point now, std::uint64_t bytesDone)
{
    if (!m_samples.empty() && (bytesDone < m_samples.back().bytes || now < m_samples.back().at))
        m_samples.clear();
    m_samples.push_back({now, bytesDone});
    // Keep one sample at or beyond the window's start, so the window stays fully spanned.
    while (m_samples.size() > 2 && now - m_samples[1].at >= m_window)
        m_samples.pop_front();
}

std::optional<double> TransferRate::bytesPerSecond() const
{
    if (m_samples.size() < 2)
        return std::nullopt;
    const Sample& first = m_samples.front();
    const Sample& last = m_samples.back();
    const auto span = last.at - first.at;
    if (span < m_settle || span <= Clock::duration::zero())
        return std::nullopt;
    const double seconds = std::chrono::duration<double>(span).count();
    return double(last.bytes - first.bytes) / seconds;
}

std::optional<std::chrono::seconds> TransferRate::timeLeft(std::uint64_t totalBytes) const
{
    const std::optional<double> rate = bytesPerSecond();
    if (!rate || *rate <= 0.0)
        return std::nullopt;
    const std::uint64_t done = m_samples.back().bytes;
    const std::uint64_t left = totalBytes > done ? totalBytes - done : 0;
    return std::chrono::seconds(static_cast<std::int64_t>(std::ceil(double(left) / *rate)));
}

std::string TransferRate::text(std::uint64_t totalBytes) const
{
    const std::optional<double> rate = bytesPerSecond();
    if (!rate)
        return {};
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.1f MB/s", *rate / 1e6);
    const std::optional<std::chrono::seconds> left = timeLeft(totalBytes);
    if (!left)
        return speed;
    return std::string(speed) + ", " + DurationText(*left) + " left";
}

std::string DurationText(std::chrono::seconds duration)
{
    const long long total = duration.count() < 0 ? 0 : duration.count();
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

}  // namespace vmx
