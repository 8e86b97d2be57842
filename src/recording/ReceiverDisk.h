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

// `overrideRoot` when it is given, else FindReceiverRoot. Returns an empty string and sets
// `error` when there is no receiver disk.
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
