#pragma once

#include "recdb/AVMRec.h"

#include <string>

namespace vmx {

// The channel name of a record as stored: the bytes after its marker byte up to the first zero
// byte (at most 15).
std::string RecordNameBytes(const AVMRec& record);

// Name bytes as every front end shows them: control bytes, and the bytes of the characters that
// reorder the text around them (the bidirectional formatting characters U+061C, U+200E, U+200F,
// U+202A..U+202E and U+2066..U+2069, in UTF-8), each shown as \xNN; every other byte as it is.
// A damaged or hostile name thus stays on one clean line and cannot turn the text after it
// around. The result holds none of those bytes, so escaping it again changes nothing.
std::string EscapedNameBytes(const std::string& bytes);

// The name bytes as UTF-8: bytes that are well-formed UTF-8 as they are, any others read as
// Latin-1 (the receiver's own 8-bit code is not told by the record).
std::string NameBytesAsUtf8(const std::string& bytes);

// The channel name for messages and listings: EscapedNameBytes of RecordNameBytes.
std::string RecordDisplayName(const AVMRec& record);

// Puts `text` into the record's name the way RE renames a recording: bytes 1..15 take the first
// 15 bytes of the text, zero-padded when it is shorter (a text of 15 bytes or more leaves no zero
// byte inside the field); the marker byte 0 is kept.
void SetRecordName(AVMRec& record, const std::string& text);

// The 12-character name of part `index` of a record.
std::string PartName(const AVMRec& record, int index);

// folder + the part's name.
std::string PartPath(const std::string& folder, const AVMRec& record, int index);

// A sentence refusing file work on a record whose part names are unsafe (see IsSafePartNameOf)
// in the folder of the database at `dbPath`, naming the first bad one; empty when every part name
// is safe.
std::string UnsafePartsMessage(const AVMRec& record, const std::string& dbPath);

// Creates a new file that must not exist yet (O_EXCL). Returns the descriptor, or -1 with a
// sentence in `error`; a name clash says so plainly.
int CreateNewFile(const std::string& path, std::string& error);

}  // namespace vmx
