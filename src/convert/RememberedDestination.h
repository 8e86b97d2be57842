#pragma once

#include <optional>
#include <string>

namespace vmx {

// Folders the user chose, kept for the next start of the program in the user's settings folder
// (UserConfigFolder() + "remembered.ini", section GENERAL), beside the INI files the user keeps
// there: the output folder chosen last in the settings dialog (DESTPATH) and the receiver's disk
// (RECEIVER), and whether what undo holds is kept from one start to the next (KEEPUNDO). The
// shipped setting.ini is never written.

// The folder remembered, or empty when none is.
std::string RememberedDestination();
// The receiver's folder the user chose when none was found (key GENERAL/RECEIVER), or empty.
std::string RememberedReceiver();

// Keeps `folder` for the next start, creating the settings folder when missing. Returns why it
// could not be kept, empty on success.
std::string RememberDestination(const std::string& folder);
std::string RememberReceiver(const std::string& folder);

// The answer to "Keep what undo holds until the next start?" given once (KEEPUNDO=yes or no), or
// nothing while it was never given.
std::optional<bool> RememberedKeepUndo();
std::string RememberKeepUndo(bool keep);

}  // namespace vmx
