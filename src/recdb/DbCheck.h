#pragma once

#include "common/FileFingerprint.h"
#include "common/UniqueFd.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vmx {

// A read-only check of a recordings database file and its part files: the header, every
// checksum, the part names, that each part file exists in the database's folder with every part
// but the last holding exactly the full part size, part files in the folder that no recording of
// any database of the folder names, and what interrupted operations left beside the database.
// Nothing is changed. Each problem is one line naming the record and the file.
std::vector<std::string> CheckDbFile(const std::string& dbPath);

// What a load of a database file finds wrong with the file itself, in the words of CheckDbFile:
// a record count above 200 (only the recordings the file holds are listed), a record whose bytes
// do not add up to its checksum (it is listed, but what it shows may be wrong), a list id that two
// records carry (one of them is not listed) and a counted list id that no record carries (its row
// stays empty). Nothing when there are none, or when the file cannot be read at all (a load says
// why). The part files are not looked at.
struct ListingCheck {
    std::vector<std::string> problems;
    std::set<int> damagedSlots;  // the slots of the records whose checksum does not match
};
// `content` is the database's content as a load read it; `dbPath` names it in the problems.
ListingCheck CheckListing(const std::string& dbPath, const std::vector<std::uint8_t>& content);

// The databases of `folder` (ending in '/', or empty for the current folder): the regular files
// whose names end in ".DB" as the receiver's FAT disk reads them (see FatNameKey), hidden ones
// and symbolic links left out. DZT000.DB and DZR000.DB share the receiver's RECORD folder.
std::vector<std::string> DatabasesOfFolder(const std::string& folder);

// A recording that names a part file.
struct PartOwner {
    std::string dbPath;
    int recordIndex = 0;
    std::array<std::uint8_t, 16> name{};  // the record's name bytes (byte 0 is the marker)
};

// Every part name that a recording of a database of a folder names, as the receiver's FAT disk
// compares names (upper-cased), with the recordings that name it. Recordings count whether the
// header lists them or not, and a database whose header cannot be read is taken as version 5:
// a file is kept too often rather than once too few.
struct FolderParts {
    std::map<std::string, std::vector<PartOwner>> owners;

    bool named(const std::string& partName) const;
    // A recording other than the one at `recordIndex` of the database at `dbPath` that names it,
    // or null.
    const PartOwner* anotherOwner(const std::string& partName, const std::string& dbPath, int recordIndex) const;
    // Named by a recording of a database of the folder other than the one at `dbPath`.
    bool namedByAnotherDatabase(const std::string& partName, const std::string& dbPath) const;
    // A recording that names it (the first found), or null.
    const PartOwner* ownerOf(const std::string& partName) const;
};

// A database file as ReadFolderParts read it: still open, with its fingerprint and its content
// (the first kMaxDbContentSize bytes at most), so that a load that follows at once can take them
// instead of reading the file again.
struct DbFileRead {
    std::shared_ptr<UniqueFd> fd;
    FileFingerprint fingerprint;
    std::vector<std::uint8_t> content;
};

// Reads the part names of every database of `folder`. Empty on success, else the sentence naming
// a database that cannot be read at all (then nobody can tell which files belong to no recording,
// and nothing may be removed). `reads`, when given, receives each database file as read.
[[nodiscard]] std::string ReadFolderParts(const std::string& folder, FolderParts& parts,
                                          std::vector<DbFileRead>* reads = nullptr);

// The same as a set of upper-cased names.
[[nodiscard]] std::string PartNamesListedInFolder(const std::string& folder, std::set<std::string>& names);

}  // namespace vmx
