#pragma once

#include "recdb/AVMRec.h"
#include "recdb/RecordStore.h"
#include "recording/Cut.h"
#include "recording/CutJournal.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vmx {

// What one deletion or cut destroyed, kept so that it can be taken back: the manifest of an undo
// entry (UndoEntryName), a folder beside the database on the same disk that holds
//   manifest        this description
//   RF0001AA.TRP    the part files the operation removed, moved in under their own names
//   packets         the packets a cut replaced with filler, one range after another
//   ~NNN            a part on its way back while an undo runs (its transit name)
//
// The states of an entry, each written durably before the step it announces:
//   Pending  the operation is under way: the next tidy of the folder finds out whether it
//            happened (Kept) or not (the entry goes)
//   Kept     the operation happened; it can be undone
//   Undoing  an undo is under way, at `phase`: every later run finishes it
//   Undone   the operation was taken back; the entry describes it for a redo
//
// File format (numbers big-endian):
//   0    8     "VMXUNDO1"
//   8    1     kind (1 delete, 2 cut), state (0..3), phase (0, 1)
//   ...  1+N   the database's file name
//   ...  2     recordings R, then R times: row (2), record index (2), the record (EncodeUndoRecord)
//   ...  -     cut only: the record after the cut
//   ...  2     kept parts P, then P times: name (12), size (8)
//   ...  2     packet ranges Q, then Q times: part (12, its name after the cut), offset (8),
//              length (8), where in the packets file (8); then the packets file's Fnv1a64 (8)
//   ...  2     renames K, then K times: old name (12), new name (12)
//   ...  2     stretches S, then S times: start, end (8 each, IEEE doubles); positioning (1)
//   ...  8     Fnv1a64 of every byte before it
// A manifest that does not read back exactly so is refused whole.
struct UndoManifest {
    enum class Kind : std::uint8_t { Delete = 1, Cut = 2 };
    enum class State : std::uint8_t { Pending = 0, Kept = 1, Undoing = 2, Undone = 3 };

    struct Recording {
        int row = 0;    // the list row the recording had (0-based)
        int index = 0;  // the record it filled in the database (its slot - 1)
        AVMRec record{};
    };
    struct KeptPart {
        std::string name;
        std::uint64_t size = 0;
    };
    struct Packets {
        std::string part;         // the part's name after the cut
        std::uint64_t offset = 0;  // bytes [offset, offset + length) of it
        std::uint64_t length = 0;
        std::uint64_t at = 0;      // where they lie in the packets file
    };

    Kind kind = Kind::Delete;
    State state = State::Pending;
    std::uint8_t phase = 0;  // Undoing: 0 parts to their transit names, 1 transit names to their own
    std::string dbName;
    std::vector<Recording> before;  // a deletion: every recording it removed, by row; a cut: the one
    AVMRec after{};                 // a cut: the recording as the cut left it
    std::vector<KeptPart> parts;
    std::vector<Packets> packets;
    std::uint64_t packetsHash = 0;
    std::vector<CutJournal::Rename> renames;  // a cut: the parts it renamed, old name to new
    std::vector<CutStretch> stretches;        // a cut: what was asked, for a redo
    CutPositioning positioning = CutPositioning::StreamClock;
};

// A record's fields in a fixed order (its slot and list id left out, which a load gives anew),
// the way a manifest holds it; two records are the same recording when these bytes agree but for
// the size (extA), which a load measures anew.
std::vector<std::uint8_t> EncodeUndoRecord(const AVMRec& record);
bool SameRecording(const AVMRec& a, const AVMRec& b);
// The list row of the recording of `store` that is `record` (SameRecording), or -1.
int FindListedRecording(const RecordStore& store, const AVMRec& record);

std::vector<std::uint8_t> EncodeUndoManifest(const UndoManifest& manifest);
// Empty on success, else the sentence saying why these bytes are not a manifest.
[[nodiscard]] std::string DecodeUndoManifest(const std::uint8_t* data, std::size_t size, UndoManifest& manifest);

// The manifest of the entry folder `entry` (ending in '/'): written durably, or read back.
// Empty, or the sentence saying why not.
[[nodiscard]] std::string WriteUndoManifest(const std::string& entry, const UndoManifest& manifest);
[[nodiscard]] std::string ReadUndoManifest(const std::string& entry, UndoManifest& manifest);

// The file names within an entry folder.
inline constexpr const char* kUndoManifestName = "manifest";
inline constexpr const char* kUndoPacketsName = "packets";
std::string UndoTransitName(std::size_t index);

// What the entry did, for a menu: "delete of 'Sports HD'", "delete of 3 recordings",
// "cut of 'Sports HD'".
std::string UndoLabel(const UndoManifest& manifest);

}  // namespace vmx
