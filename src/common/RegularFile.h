#pragma once

#include "common/UniqueFd.h"

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace vmx {

// Opens `path` with `flags` (O_RDONLY, O_RDWR, ... and O_NOFOLLOW where a symbolic link must not
// be followed) without ever blocking or touching anything but a regular file: a named pipe,
// device or socket is refused before it is opened (opening a pipe would wait for a writer, opening
// a device can act on it), and what the open finds is checked again. On success `fd` owns the open
// file, `size` holds its length and the result is empty; otherwise the result is one sentence
// naming the file and the reason ("... is a named pipe, not a regular file; it was left alone.",
// "cannot open ...: No such file or directory.").
[[nodiscard]] std::string OpenRegularFile(const std::string& path, int flags, UniqueFd& fd, std::uint64_t& size);

// What a file that is no regular file is, for a sentence: "a folder", "a named pipe", ...
const char* FileKindOf(mode_t mode);

// The whole content of a regular file, opened as above: empty on success, else the sentence.
[[nodiscard]] std::string ReadRegularFile(const std::string& path, std::string& content);

}  // namespace vmx
