#include "viewmodel/CommandKeys.h"

#include <algorithm>
#include <iterator>

namespace vmx {
namespace {

// PL and PA share Space: it plays, and pauses or goes on once something plays. Delete is the
// panes' own key (no shortcut); F1 opens the help window.
constexpr CommandKey kCommands[] = {
    {"L", "Load a database into the left pane", "Ctrl+O"},
    {"R", "Load a database into the right pane", "Ctrl+Shift+O"},
    {"RE", "Rename the selected recording to the name in the box and save its database", "F2"},
    {"AL", "Copy the selected recordings (or files) of the left pane to the right pane", ""},
    {"AR", "Copy the selected recordings (or files) of the right pane to the left pane", ""},
    {"ME", "Merge the recording's parts into one file", "Ctrl+M"},
    {"EN", "Convert merged recordings into video files", "Ctrl+E"},
    {"PR", "Cut the stretch between the marks", ""},
    {"PL", "Play the selected recording or file", "Space"},
    {"PA", "Pause playing, or go on", "Space"},
    {"S", "Stop playing", "S"},
    {"M", "Choose MP3 files on this computer to copy to the receiver", ""},
    {"J", "Choose JPEG pictures on this computer to copy to the receiver", ""},
    {"", "Delete the selected rows of the pane that has the focus", "Delete"},
    {"", "Show this list of keys", kHelpKey},
};

}  // namespace

std::span<const CommandKey> CommandKeys()
{
    return kCommands;
}

const CommandKey* FindCommandKey(std::string_view button)
{
    const auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                 [button](const CommandKey& command) { return command.button == button; });
    return button.empty() || it == std::end(kCommands) ? nullptr : &*it;
}

std::string CommandToolTip(const CommandKey& command)
{
    std::string text(command.does);
    if (!command.key.empty())
        text += " (" + std::string(command.key) + ")";
    return text;
}

}  // namespace vmx
