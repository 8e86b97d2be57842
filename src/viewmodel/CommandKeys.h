#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vmx {

// The keys of the cut marks, which press no button.
enum class MarkKey {
    None,
    StartAtPlayer,  // the start mark where the player is
    EndAtPlayer,    // the end mark where the player is
    PictureBack,    // the mark touched last, one picture back
    PictureOn,
    SecondBack,     // the mark touched last, one second back
    SecondOn,
};

// The keys that take back or do again the last deletion or cut of a pane's database.
enum class EditKey { None, Undo, Redo };

// What each command of the main window does and the key that gives it: the buttons' tooltips
// and the F1 help window both read this one table.
struct CommandKey {
    std::string_view button;  // the caption of the button the key presses; empty for a key of its own
    std::string_view does;    // what the command does, as its tooltip says it
    std::string_view key;     // in the portable text of key sequences ("Ctrl+Shift+O"); empty for none
    MarkKey markKey = MarkKey::None;  // what the key does to the marks, for a key of its own
    EditKey editKey = EditKey::None;  // Undo or Redo, for a key of its own
};

// The commands in the order the help window lists them.
std::span<const CommandKey> CommandKeys();

// The entry of the button with caption `button`, or nullptr.
const CommandKey* FindCommandKey(std::string_view button);

// The tooltip of a command: what it does, then its key in brackets when it has one.
std::string CommandToolTip(const CommandKey& command);

// The key that shows the export queue window.
inline constexpr std::string_view kExportQueueKey = "Ctrl+Shift+E";

// The key of Find ads: the advertising of the selected recording proposed on its cut list.
inline constexpr std::string_view kFindAdsKey = "Ctrl+F";

// The key that opens the help window.
inline constexpr std::string_view kHelpKey = "F1";

}  // namespace vmx
