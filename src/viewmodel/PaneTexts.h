#pragma once

#include "recording/ReceiverDisk.h"
#include "recording/RecordDetails.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vmx {

// The texts the main view shows, as UTF-8, made from the copies it paints from.

// A row of a record pane: the list number, the channel name, the duration as "%02d:%02d:%02d". A
// damaged record's name says so, as the load said which.
std::vector<std::string> RecordRowTexts(const RecordRow& row);

// The rows a record pane shows, as indexes into `rows`: one for each recording the database
// holds, as velmorix-cli list lists them. A list id that the header counts but no record carries
// gets no row (its load has said so).
std::vector<int> ShownRecordRows(const std::vector<RecordRow>& rows);

// A row of the receiver's pane in the MP3 and JPEG modes: number, file name, size in Kbytes.
std::vector<std::string> MediaRowTexts(const MediaFileEntry& file);

// A row of the left pane in the MP3 and JPEG modes: its 1-based position and the file name.
std::vector<std::string> PendingRowTexts(int index, const std::string& fileName);

// The three details lines of a recording: "Channel Name : %s", "TIME: %s" and the stream line.
std::array<std::string, 3> DetailsLines(const RecordDetails& details);

// The time label at a playback position in seconds: "Time:%02d:%02d:%02d | %06d".
std::string TimeLabelText(std::uint32_t position);

// Name bytes as a receiver stores them, for display: escaped as velmorix-cli shows them
// (EscapedNameBytes: control bytes and bidirectional formatting characters as \xNN), then valid
// UTF-8 stays as it is and anything else is read as Latin-1 (one character per byte), so that no
// byte is lost or shown as garbage.
std::string NameForDisplay(const std::string& bytes);

// The bytes RE writes for the text of the name edit box (UTF-8). The text shown for a recording
// (NameForDisplay of `storedBytes`) gives the stored bytes back unchanged; any other text is cut
// to at most 15 bytes without splitting a character.
std::string NameBytesForRename(const std::string& editText, const std::string& storedBytes);

// Why RE does not rename with the text of the name edit box, or empty when it does: an empty box
// names nothing, and a text other than the shown name that takes more than the 15 bytes of a
// name (as UTF-8, the encoding RE stores) is not cut behind the user's back.
std::string RenameRefusal(const std::string& editText, const std::string& storedBytes);

// Whether the name edit box takes an edit from `before` to `after` (both UTF-8): a text that fits
// a name's 15 bytes, or one that shortens an over-long text (a long name shown as stored).
bool NameEditTakes(const std::string& after, const std::string& before);

}  // namespace vmx
