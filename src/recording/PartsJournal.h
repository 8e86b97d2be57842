#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vmx {

// Part files that belong to no recording unless a database of the folder names them, written
// beside the database (PartsJournalPath) before an operation makes or unregisters them: a copy
// lists the parts it is about to create, a deletion the parts of the recordings it removes. The
// operation removes the journal when it has ended; if it never ended (killed, power lost), the
// next operation on that database removes every listed part that no database of the folder names
// (SettlePartsJournal), and nothing else. So the marks of a copy killed half way never block a
// later copy, and a stray file that is not ours is never touched.
//
// File format (numbers big-endian):
//   OFFSET  SIZE   FIELD
//   0       8      "VMXPRT1\n"
//   8       2      count N (0..280 × 200)
//   10      12×N   part names
//   ...     8      Fnv1a64 of every byte before it
struct PartsJournal {
    std::vector<std::string> names;  // 12-character part names
};

std::vector<std::uint8_t> EncodePartsJournal(const PartsJournal& journal);
// Empty on success, else why these bytes are not such a journal.
[[nodiscard]] std::string DecodePartsJournal(const std::uint8_t* data, std::size_t size, PartsJournal& journal);

// Writes the journal of the database at `dbPath` durably; empty, or why it could not be written.
[[nodiscard]] std::string WritePartsJournal(const std::string& dbPath, const PartsJournal& journal);
// Removes the journal of the database at `dbPath` (the operation has ended).
void RemovePartsJournal(const std::string& dbPath);

struct SettledParts {
    std::vector<std::string> removed;  // part files removed, as paths
    std::string problem;               // why the journal was left as it is
};

// Ends the journal an interrupted operation left beside the database at `dbPath`, if any: every
// part it lists that lies in the database's folder and that no database of the folder names is
// removed, then the journal. The caller holds the database's lock.
SettledParts SettlePartsJournal(const std::string& dbPath);

}  // namespace vmx
