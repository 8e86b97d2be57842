#pragma once

#include "recording/AdStretches.h"
#include "recording/Cut.h"
#include "recording/EdlFile.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace vmx {

// A stretch on the cut list: one the user marked, or one proposed as advertising (found in the
// recording, or listed as a commercial break by an EDL file) that the user has not moved yet.
struct ListedStretch {
    double start = 0;
    double end = 0;
    bool proposed = false;
    double score = -1;  // how sure the proposal is, from 0 to 1; below 0 when not known

    CutStretch stretch() const { return {start, end}; }
};

// The stretches on the cut list of one recording, in time order. Stretches that overlap or touch
// become one, so that the list shows what the cut will take out; one the user marked takes in the
// proposals it meets and stays the user's.
class CutList {
public:
    // Puts the stretch between two marks on the list (in either order). False for a stretch of no
    // length, which is not listed.
    bool add(double from, double to) { return put({std::min(from, to), std::max(from, to)}) >= 0; }
    // Puts proposed stretches on the list.
    void propose(const std::vector<AdStretch>& stretches);
    // Moves the stretch at `index` to `from` .. `to` (in either order); it is the user's then. The
    // index it has afterwards (stretches it now meets merge with it), or -1 when there is no such
    // stretch or the new one has no length (the list is then unchanged).
    int move(std::size_t index, double from, double to);
    // Takes the stretch at `index` off the list; an index past its end changes nothing.
    void remove(std::size_t index);
    void clear() { m_stretches.clear(); }

    // The stretches of an EDL file: the user's are cuts (action 0) and the proposals commercial
    // breaks (action 3).
    std::vector<EdlEntry> edl() const;
    // Puts the stretches of an EDL file on the list, those of commercial breaks as proposals, and
    // cuts them to `duration`; an entry that starts at or after it is not listed. The number of
    // entries listed.
    std::size_t load(const std::vector<EdlEntry>& entries, double duration);

    const std::vector<ListedStretch>& entries() const { return m_stretches; }
    std::vector<CutStretch> stretches() const;
    bool empty() const { return m_stretches.empty(); }
    std::size_t size() const { return m_stretches.size(); }

private:
    // Puts `added` on the list, merged with what it meets; its index, or -1 for no length.
    int put(ListedStretch added);

    std::vector<ListedStretch> m_stretches;
};

// A stretch as the list shows it: "0:12.3 – 0:20.0" (minutes, seconds to the tenth; hours when
// the stretch ends an hour or more into the recording).
std::string CutStretchText(const CutStretch& stretch);
// The same for a listed stretch, a proposal followed by "  advertising?" and its score
// ("  advertising? 98 %").
std::string ListedStretchText(const ListedStretch& stretch);

}  // namespace vmx
