#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vmx {

// The receiver's media folders at the root of its disk.
enum class MediaKind { Mp3, Image };

// "MP3" or "IMAGE".
const char* MediaFolderName(MediaKind kind);

// The receiver folder a PC file belongs in, by its extension (letter case ignored): ".mp3" goes
// to MP3, ".jpg" and ".jpeg" to IMAGE. Nothing for any other file.
std::optional<MediaKind> MediaKindOfFileName(const std::string& name);

// One file of a receiver media folder as the right pane lists it.
struct MediaFileEntry {
    int number = 0;            // 1-based; directories take a number but are not listed
    std::string name;
    std::uint32_t sizeKb = 0;  // bytes / 1024 of the low 32 bits of the size
};

// Where the receiver's disk is looked for.
struct ReceiverSearch {
    std::string mountsFile = "/proc/self/mounts";
    std::vector<std::string> bases = {"/media", "/run/media", "/mnt"};
};

// The receiver's disk: the last mounted volume, in mount order, under one of the bases that holds
// a folder RECORD, MP3 or IMAGE at its root. Empty when there is none. The search runs anew on
// every call, so a disk attached later is found.
std::string FindReceiverRoot(const ReceiverSearch& search = {});

// The receiver disk a database lies on: the folder above the database's folder, when that folder
// is the disk's RECORD folder (letter case ignored, as a FAT disk may show it either way). Empty
// for a database anywhere else.
std::string ReceiverOfDatabase(const std::string& dbPath);

// The desktop program's chooser of the receiver's disk when none was found, and its message when
// the user chose none.
inline constexpr const char* kChooseReceiverTitle =
    "No receiver disk was found: choose its folder (the one that holds RECORD, MP3 or IMAGE)";
inline constexpr const char* kNoReceiverMessage =
    "No receiver disk was found (no loaded database lies on one, and no volume under /media, /run/media "
    "or /mnt holds RECORD, MP3 or IMAGE), and no folder was chosen for it.";

// What points to the receiver disk besides the mounted volumes.
struct ReceiverClues {
    std::string overrideRoot;            // named by the user for this run (--receiver DIR)
    std::vector<std::string> databases;  // the loaded databases, left pane first
    std::string remembered;              // the folder the user chose on an earlier occasion
};

// The receiver's root: the override when given; else the disk of the first loaded database that
// lies on one; else FindReceiverRoot; else the remembered folder while it still exists. Returns an
// empty string and sets `error` when there is none.
std::string ResolveReceiverRoot(const ReceiverClues& clues, std::string& error, const ReceiverSearch& search = {});
// The same with an override only.
std::string ResolveReceiverRoot(const std::string& overrideRoot, std::string& error,
                                const ReceiverSearch& search = {});

// True when `root` holds a folder named exactly "MP3" (or "IMAGE"), compared case-sensitively.
bool HasReceiverFolder(const std::string& root, MediaKind kind);

// root + "/MP3" or root + "/IMAGE".
std::string ReceiverMediaFolder(const std::string& root, MediaKind kind);

// Creates the receiver's folder of a kind when the receiver has none named exactly so yet. Empty
// when the folder is there, else the sentence saying why it could not be created.
[[nodiscard]] std::string EnsureReceiverFolder(const std::string& root, MediaKind kind);

// The files of a media folder that belong there by their extension (MediaKindOfFileName: ".mp3",
// or ".jpg" and ".jpeg", in any case, as FAT disks often show upper-case names), sorted by name.
// A folder that cannot be read gives an empty list.
std::vector<MediaFileEntry> ListReceiverFiles(const std::string& root, MediaKind kind);

}  // namespace vmx
