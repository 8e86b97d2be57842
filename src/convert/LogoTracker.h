#pragma once

#include "recording/AdStretches.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vmx {

// Finds a channel's logo in a recording's pictures, and when it shows.
//
// A logo stands still in one corner: where it is, the picture has edges that point the same way
// in every picture it shows in, while the edges of what moves point anywhere. Each corner (a
// quarter of the width, a fifth of the height) is seen as a coarse grid; the edges of the grid
// that point one way in at least kLogoShare of all pictures are the logo's. The corner with the
// most such edges holds the logo, and a picture shows it when most of those edges are there.
// Memory: about 2.6 KB a picture added.
class LogoTracker {
public:
    // A picture at `seconds`: its luma plane of width x height bytes, rows `stride` bytes apart.
    void add(double seconds, const std::uint8_t* luma, int width, int height, std::ptrdiff_t stride);

    struct Found {
        bool found = false;  // a logo was found in some corner
        int corner = -1;     // 0 top left, 1 top right, 2 bottom left, 3 bottom right
        std::vector<LogoSample> samples;  // per picture added: whether it shows (all false when not found)
    };
    Found finish() const;

    // The share of pictures a logo's edges show in at least.
    static constexpr double kLogoShare = 0.3;

private:
    std::vector<double> m_seconds;
    std::vector<std::uint8_t> m_edges;  // per picture, per corner and grid cell: the edge's directions
    std::vector<int> m_sumX, m_sumY;    // per corner and cell: pictures with a rising edge less falling ones
};

}  // namespace vmx
