#pragma once

#include <string>

namespace vmx {

// The output folder chosen last in the settings dialog, kept for the next start of the program
// in the user's settings folder (UserConfigFolder() + "remembered.ini", key GENERAL/DESTPATH),
// beside the INI files the user keeps there. The shipped setting.ini is never written.

// The folder remembered, or empty when none is.
std::string RememberedDestination();

// Keeps `folder` for the next start, creating the settings folder when missing. Returns why it
// could not be kept, empty on success.
std::string RememberDestination(const std::string& folder);

}  // namespace vmx
