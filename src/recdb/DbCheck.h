#pragma once

#include <set>
#include <string>
#include <vector>

// A read-only check of a recordings database file and its part files: the header, every
// checksum, the part names, that each part file exists in the database's folder with every part
// but the last holding exactly the full part size, and part files in the folder that no listed
// recording names. Nothing is changed. Each problem is one line naming the record and the file.
std::vector<std::string> AVMCheckDbFile(const std::string& dbPath);

namespace vmx {

// The problems of a database file's header and list ids that decide which recordings a load
// lists, in the words of AVMCheckDbFile: a record count above 200 (only the recordings the file
// holds are listed), a list id that two records carry (one of them is not listed) and a counted
// list id that no record carries (its row stays empty). Nothing when there are none, or when the
// file cannot be read at all (a load says why).
std::vector<std::string> ListingProblems(const std::string& dbPath);

// The part names (upper-cased, as the receiver's FAT disk compares them) that the listed
// recordings of every database in `folder` name; DZT000.DB and DZR000.DB share one folder. Empty
// on success, else the sentence naming a database of the folder that cannot be read: then nobody
// can tell which part files belong to no recording.
[[nodiscard]] std::string PartNamesListedInFolder(const std::string& folder, std::set<std::string>& names);

}  // namespace vmx
