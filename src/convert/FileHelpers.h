#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Small file, path and text helpers shared by the conversion code and the main view.

// The folder of the running executable, ending in '/'. Computed once from /proc/self/exe and
// cached; vmx::SetProgramFolder replaces it (tests point it at a temporary folder).
const std::string& GetProgramFolder();

// The program never writes into its own folder: see UserFolders.h for where its files go.

bool FileExists(const std::string& path);    // exists and is not a directory
bool FolderExists(const std::string& path);  // exists and is a directory

// The low 32 bits of the file's size, or -1 when it cannot be opened for reading or is not a
// regular file (a folder, a FIFO, a device). Never blocks.
std::int32_t FileSizeOf(const std::string& path);

// folder + separator + name, without doubling a separator at the joint.
std::string JoinPath(const std::string& folder, const std::string& name, char separator = '/');

namespace vmx {

// Replaces the program folder GetProgramFolder gives.
void SetProgramFolder(std::string folder);

// The extension of the file name (vmx::FileNameOfPath) including its dot; empty when there is none.
std::string PathExtension(const std::string& path);

// Replaces every byte `from` by `to`; returns the number of replacements.
int ReplaceChar(std::string& text, char from, char to);

// The English text of a TXT_ key of the settings dialog and the conversion. A key without a text
// of its own gives the key itself.
std::string LookupText(std::string_view key);
// The text of a key whose "%s" stands for `argument` (a text without "%s" gets it appended).
std::string LookupText(std::string_view key, const std::string& argument);

// The text with ASCII letters lower-cased (vmx::AsciiLower).
std::string ToLowerAscii(std::string text);

// The leading decimal number of a text (blanks and a sign may come first), independent of the
// locale; 0.0 when the text does not begin with a number.
double LeadingDouble(std::string_view text);

// A number written with three decimals ("%.3f"), independent of the locale.
std::string FormatFixed3(double value);

}  // namespace vmx
