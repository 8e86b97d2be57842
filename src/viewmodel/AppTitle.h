#pragma once

#include <string>

namespace vmx {

// "Velmorix(<date> <time>)  Version:2.32" (two blanks before "Version:") for the build date and
// time given, as the compiler writes them ("May 30 2007", "14:12:05").
std::string AppTitleText(const char* buildDate, const char* buildTime);

// The application's title for this build: the main window's title and the caption of the
// message boxes that name no other. The date and time are those of one file's compilation, so
// every window of the program shows the same title.
const std::string& AppTitle();

}  // namespace vmx
