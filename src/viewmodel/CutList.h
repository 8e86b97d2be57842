#pragma once

#include "recording/Cut.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vmx {

// The stretches the user has put on the cut list for one recording, in time order. Stretches that
// overlap or touch become one, so that the list shows what the cut will take out.
class CutList {
public:
    // Puts the stretch between two marks on the list (in either order). False for a stretch of no
    // length, which is not listed.
    bool add(double from, double to);
    // Takes the stretch at `index` off the list; an index past its end changes nothing.
    void remove(std::size_t index);
    void clear() { m_stretches.clear(); }

    const std::vector<CutStretch>& stretches() const { return m_stretches; }
    bool empty() const { return m_stretches.empty(); }
    std::size_t size() const { return m_stretches.size(); }

private:
    std::vector<CutStretch> m_stretches;
};

// A stretch as the list shows it: "0:12.3 – 0:20.0" (minutes, seconds to the tenth; hours when
// the stretch ends an hour or more into the recording).
std::string CutStretchText(const CutStretch& stretch);

}  // namespace vmx
