#include "viewmodel/CommandKeys.h"

#include <algorithm>
#include <iterator>

namespace vmx {
namespace {

// PL and PA share Space: it plays, pauses what plays, and goes on with a paused recording. The
// mark keys are those of video cutters: I and O set the marks where the player is, the arrows
// move the mark touched last. Delete is the panes' own key (no shortcut); Ctrl+Z and Ctrl+Shift+Z
// take back and do again the last deletion or cut of the active pane; F1 opens the help window.
constexpr CommandKey kCommands[] = {
    {"L", "Load a database into the left pane", "Ctrl+O"},
    {"R", "Load a database into the right pane", "Ctrl+Shift+O"},
    {"RE", "Rename the selected recording to the name in the box and save its database", "F2"},
    {"AL", "Copy the selected recordings (or files) of the left pane to the right pane", ""},
    {"AR", "Copy the selected recordings (or files) of the right pane to the left pane", ""},
    {"ME", "Merge the recording's parts into one file", "Ctrl+M"},
    {"EN", "Convert the recording: an AVI of a merged file, or an MKV or MP4 file through the export queue", "Ctrl+E"},
    {"PR", "Cut the stretches on the cut list out of the recording, or the stretch between the marks", ""},
    {"ADD", "Put the stretch between the marks on the cut list", "A"},
    {"", "Set the start mark where the player is", "I", MarkKey::StartAtPlayer},
    {"", "Set the end mark where the player is", "O", MarkKey::EndAtPlayer},
    {"", "Move the mark placed last one picture back", "Left", MarkKey::PictureBack},
    {"", "Move the mark placed last one picture on", "Right", MarkKey::PictureOn},
    {"", "Move the mark placed last one second back", "Shift+Left", MarkKey::SecondBack},
    {"", "Move the mark placed last one second on", "Shift+Right", MarkKey::SecondOn},
    {"", "Find ads: put the blocks of advertising of the selected recording on its cut list (also in the mark bar's menu)",
     kFindAdsKey},
    {"PL", "Play the selected recording or file", "Space"},
    {"PA", "Pause playing", "Space"},
    {"S", "Stop playing", "S"},
    {"M", "Choose MP3 files on this computer to copy to the receiver", ""},
    {"J", "Choose JPEG pictures on this computer to copy to the receiver", ""},
    {"", "Delete the selected rows of the pane that has the focus", "Delete"},
    {"", "Take back the last deletion or cut of the pane's database", "Ctrl+Z", MarkKey::None, EditKey::Undo},
    {"", "Do the deletion or cut taken back last again", "Ctrl+Shift+Z", MarkKey::None, EditKey::Redo},
    {"", "Show the export queue window", kExportQueueKey},
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
