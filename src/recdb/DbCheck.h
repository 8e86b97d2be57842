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

// The part names (upper-cased, as the receiver's FAT disk compares them) that the listed
// recordings of every database in `folder` name; DZT000.DB and DZR000.DB share one folder. Empty
// on success, else the sentence naming a database of the folder that cannot be read: then nobody
// can tell which part files belong to no recording.
[[nodiscard]] std::string PartNamesListedInFolder(const std::string& folder, std::set<std::string>& names);

}  // namespace vmx
