#pragma once

#include "recording/Cut.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vmx {

// The plan of a cut, written beside the database before the first part file changes and removed
// once the database names the cut's parts (CutPlanPath). Whoever loads or checks the database next
// finds a plan left by a cut that was killed or lost its power, and finishes the cut from it
// (FinishInterruptedCut), so that the database and the part files agree again and nothing outside
// the cut stretch is lost.
//
// The cut's steps, each of which can be done again without harm:
//   phase 0 (Parts): the trims fill packets with filler (the same bytes again), the removed parts
//                    are deleted or moved into the undo entry (gone is gone), and every renamed part moves from its old name to
//                    its transit name (CutTransitName: a name nothing else uses).
//   phase 1 (Names): every renamed part moves from its transit name to its new name; then the
//                    database gets `content`.
// The plan is written again with phase 1 before the first part takes its new name: from then on
// the old names of removed and renamed parts may be new names of other parts, so deletions and
// trims by old name must not be done again.
//
// File format (numbers big-endian):
//   OFFSET  SIZE      FIELD
//   0       8         "VMXCUT2\n" ("VMXCUT1\n": a plan without the undo folder's fields)
//   8       1         phase (0 or 1)
//   9       1         length N of the database's file name (1..255)
//   10      N         the database's file name, to refuse the plan of another database
//   ...     1         length U of the undo entry's folder (0: the removed parts are deleted)
//   ...     U         that folder, relative to the database's (UndoEntryName): the removed parts
//                     move into it instead of being deleted
//   ...     8         size of the database file before the cut
//   ...     8         FingerprintHash of its first bytes (up to kMaxDbContentSize) before the cut
//   ...     2         trim count T (0..1024), then T times: part name (12), first packet (8), last
//                     packet (8, two's complement; first > last is an empty range)
//   ...     2         removal count R (0..280), then R part names (12 each)
//   ...     2         rename count K (0..280), then K times: old name (12), new name (12)
//   ...     4         length C of the database content after the cut (1..kMaxDbContentSize)
//   ...     C         that content (see RenderDb)
//   ...     8         Fnv1a64 of every byte before it
// A plan that does not read back exactly so (a power loss can leave any bytes) is refused whole.
struct CutJournal {
    enum class Phase : std::uint8_t { Parts = 0, Names = 1 };

    struct Trim {
        std::string part;  // 12-character part name
        PacketRange packets;
    };
    struct Rename {
        std::string from;  // old part name
        std::string to;    // new part name
    };

    Phase phase = Phase::Parts;
    std::string dbName;
    std::string keepFolder;  // the undo entry the removed parts move into; empty: they are deleted
    std::uint64_t sizeBefore = 0;
    std::uint64_t hashBefore = 0;
    std::vector<Trim> trims;
    std::vector<std::string> removed;
    std::vector<Rename> renames;  // in the order the parts keep, old name != new name
    std::vector<std::uint8_t> content;

    bool operator==(const CutJournal&) const;
};

std::vector<std::uint8_t> EncodeCutJournal(const CutJournal& plan);
// Empty on success, else the sentence saying why these bytes are not a cut plan.
[[nodiscard]] std::string DecodeCutJournal(const std::uint8_t* data, std::size_t size, CutJournal& plan);

// Writes the plan durably to `path` (beside its final place, flushed, renamed, folder flushed).
// Empty, or the sentence saying why it could not be written.
[[nodiscard]] std::string WriteCutJournal(const std::string& path, const CutJournal& plan);
// Reads the plan at `path`; empty, or why it cannot be used.
[[nodiscard]] std::string ReadCutJournal(const std::string& path, CutJournal& plan);

}  // namespace vmx
