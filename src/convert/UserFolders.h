#pragma once

#include <string>

// Where the program finds the user's settings and keeps the files it makes while it runs.
// Nothing is ever written beside the program or into the folders it was installed into.

namespace vmx {

// The user's home folder: $HOME, else the user's entry in the password database; empty when
// neither names an absolute folder.
std::string HomeFolder();

// The user's settings folder, ending in '/': $XDG_CONFIG_HOME/velmorix/ (an absolute value
// only, as relative ones are to be ignored), else ~/.config/velmorix/; empty without a home.
// Never created: the user makes it to hold their own INI files.
std::string UserConfigFolder();

// The per-user data folder, ending in '/': $XDG_DATA_HOME/velmorix/ (absolute only), else
// ~/.local/share/velmorix/; empty without a home. Not created here.
std::string UserDataFolder();

// The INI file a name stands for. A name beginning with '/' is used as it is. Otherwise the
// user's own copy in UserConfigFolder() wins; without one, the shipped copy is read: beside
// the program (the build folder) or, for an installed program, in <prefix>/share/velmorix/
// beside its bin/ folder. When there is none at all, the name beside the program is returned
// (reading it then yields the defaults).
std::string FindIniFile(const std::string& name);

// The private folder for the files the program makes while it runs (job scripts, converted
// subtitles), ending in '/': $XDG_RUNTIME_DIR/velmorix/, or UserDataFolder() + "run/" when the
// session has no runtime folder of this user. It is created with mode 0700 when missing, and refused unless
// it is a real folder (not a link) of this user that no one else can write into, reached through
// folders in which no one else can replace it. Returns why it cannot be used, empty on success.
[[nodiscard]] std::string PrivateRuntimeFolder(std::string& folder);

}  // namespace vmx
