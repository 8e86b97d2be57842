#include "convert/LogoTracker.h"

#include <algorithm>
#include <cstdlib>

namespace vmx {

namespace {

constexpr int kCorners = 4;
constexpr int kGridWidth = 32;   // grid points across a corner
constexpr int kGridHeight = 24;  // and down
constexpr int kCells = (kGridWidth - 2) * (kGridHeight - 2);  // the points with a neighbour on each side
// A step of luma this large between a grid point's neighbours is an edge.
constexpr int kEdgeStep = 16;
// Fewer logo edges than this are chance.
constexpr int kMinLogoEdges = 6;
// The share of its edges a picture must have to show the logo.
constexpr double kShownShare = 0.5;

// Edge codes: two bits for each direction, rising or falling.
constexpr std::uint8_t kRightUp = 1, kRightDown = 2, kBelowUp = 4, kBelowDown = 8;

}  // namespace

void LogoTracker::add(double seconds, const std::uint8_t* luma, int width, int height, std::ptrdiff_t stride)
{
    if (width < 2 * kGridWidth || height < 2 * kGridHeight)
        return;
    if (m_sumX.empty()) {
        m_sumX.assign(kCorners * kCells, 0);
        m_sumY.assign(kCorners * kCells, 0);
    }
    m_seconds.push_back(seconds);
    const std::size_t base = m_edges.size();
    m_edges.resize(base + kCorners * kCells);
    const int cornerWidth = width / 4, cornerHeight = height / 5;
    int grid[kGridHeight][kGridWidth];
    for (int corner = 0; corner < kCorners; ++corner) {
        const int left = corner % 2 == 0 ? 0 : width - cornerWidth;
        const int top = corner < 2 ? 0 : height - cornerHeight;
        // Each grid point the mean of a 2x2 block of pixels.
        for (int gy = 0; gy < kGridHeight; ++gy) {
            const int y = top + gy * (cornerHeight - 2) / (kGridHeight - 1);
            const std::uint8_t* row = luma + static_cast<std::ptrdiff_t>(y) * stride;
            for (int gx = 0; gx < kGridWidth; ++gx) {
                const int x = left + gx * (cornerWidth - 2) / (kGridWidth - 1);
                grid[gy][gx] = row[x] + row[x + 1] + row[x + stride] + row[x + 1 + stride];
            }
        }
        for (int gy = 1; gy + 1 < kGridHeight; ++gy)
            for (int gx = 1; gx + 1 < kGridWidth; ++gx) {
                const int dx = (grid[gy][gx + 1] - grid[gy][gx - 1]) / 4;
                const int dy = (grid[gy + 1][gx] - grid[gy - 1][gx]) / 4;
                const std::uint8_t code = static_cast<std::uint8_t>((dx >= kEdgeStep ? kRightUp : 0) |
                                                                    (dx <= -kEdgeStep ? kRightDown : 0) |
                                                                    (dy >= kEdgeStep ? kBelowUp : 0) |
                                                                    (dy <= -kEdgeStep ? kBelowDown : 0));
                const std::size_t cell = static_cast<std::size_t>(corner * kCells + (gy - 1) * (kGridWidth - 2) + gx - 1);
                m_edges[base + cell] = code;
                m_sumX[cell] += (code & kRightUp ? 1 : 0) - (code & kRightDown ? 1 : 0);
                m_sumY[cell] += (code & kBelowUp ? 1 : 0) - (code & kBelowDown ? 1 : 0);
            }
    }
}

LogoTracker::Found LogoTracker::finish() const
{
    Found result;
    const std::size_t pictures = m_seconds.size();
    result.samples.reserve(pictures);
    for (const double seconds : m_seconds)
        result.samples.push_back({seconds, false});
    if (pictures == 0)
        return result;
    // Per cell the edge codes a logo gives it (0: no logo edge there).
    const double least = kLogoShare * static_cast<double>(pictures);
    std::vector<std::uint8_t> expected(m_sumX.size(), 0);
    int bestEdges = 0;
    for (int corner = 0; corner < kCorners; ++corner) {
        int edges = 0;
        for (int c = 0; c < kCells; ++c) {
            const std::size_t cell = static_cast<std::size_t>(corner * kCells + c);
            std::uint8_t code = 0;
            if (std::abs(m_sumX[cell]) >= least)
                code |= m_sumX[cell] > 0 ? kRightUp : kRightDown;
            if (std::abs(m_sumY[cell]) >= least)
                code |= m_sumY[cell] > 0 ? kBelowUp : kBelowDown;
            expected[cell] = code;
            edges += (code & (kRightUp | kRightDown) ? 1 : 0) + (code & (kBelowUp | kBelowDown) ? 1 : 0);
        }
        if (edges > bestEdges) {
            bestEdges = edges;
            result.corner = corner;
        }
    }
    if (bestEdges < kMinLogoEdges) {
        result.corner = -1;
        return result;
    }
    result.found = true;
    const std::size_t first = static_cast<std::size_t>(result.corner * kCells);
    for (std::size_t p = 0; p < pictures; ++p) {
        int matched = 0;
        for (std::size_t c = first; c < first + kCells; ++c) {
            const std::uint8_t code = m_edges[p * kCorners * kCells + c];
            for (const std::uint8_t direction : {std::uint8_t(kRightUp | kRightDown), std::uint8_t(kBelowUp | kBelowDown)})
                if ((expected[c] & direction) != 0 && (code & direction) == (expected[c] & direction))
                    ++matched;
        }
        result.samples[p].present = matched >= kShownShare * bestEdges;
    }
    return result;
}

}  // namespace vmx
