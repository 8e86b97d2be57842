#pragma once

#include <string>

namespace vmx {

// Folders the user chose, kept for the next start of the program in the user's settings folder
// (UserConfigFolder() + "remembered.ini", section GENERAL), beside the INI files the user keeps
// there: the output folder chosen last in the settings dialog (DESTPATH) and the receiver's disk
// (RECEIVER). The shipped setting.ini is never written.

// The folder remembered, or empty when none is.
std::string RememberedDestination();
// The receiver's folder the user chose when none was found (key GENERAL/RECEIVER), or empty.
std::string RememberedReceiver();

// Keeps `folder` for the next start, creating the settings folder when missing. Returns why it
// could not be kept, empty on success.
std::string RememberDestination(const std::string& folder);
std::string RememberReceiver(const std::string& folder);

}  // namespace vmx
