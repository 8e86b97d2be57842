#pragma once

#include <string>
#include <vector>

// A read-only check of a recordings database file and its part files: the header, every
// checksum, the part names, that each part file exists in the database's folder with every part
// but the last holding exactly the full part size, and part files in the folder that no listed
// recording names. Nothing is changed. Each problem is one line naming the record and the file.
std::vector<std::string> AVMCheckDbFile(const std::string& dbPath);
