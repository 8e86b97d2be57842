#pragma once

#include <string>

namespace vmx {

// The text a message box of the window shows for a message of the core. The core words its own
// messages to follow "velmorix-cli: " and so begins them in lower case; in a box of their own they
// are sentences and begin with a capital letter. The receiver's fixed texts ("file don,t exist!!",
// the English-folder request) stay exactly as they are.
std::string WindowMessage(const std::string& text);

}  // namespace vmx
