#pragma once

#include <string>

namespace vmx {

// The folder part of a path, ending in '/' ("" for a bare name, meaning the current folder).
std::string FolderOfPath(const std::string& path);

// The last component of a path (the whole path when it has no '/').
std::string FileNameOfPath(const std::string& path);

// True when both paths name one existing file (same device and inode, whatever the spelling).
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace vmx
