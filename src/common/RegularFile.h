#pragma once

#include "common/UniqueFd.h"

#include <cstdint>
#include <string>

namespace vmx {

// Opens `path` with `flags` (O_RDONLY, O_RDWR, ... and O_NOFOLLOW where a symbolic link must not
// be followed) without ever blocking: a FIFO would wait for a writer in a plain open. Anything
// but a regular file is refused. On success `fd` owns the open file, `size` holds its length and
// the result is empty; otherwise the result is one sentence naming the file and the reason.
[[nodiscard]] std::string OpenRegularFile(const std::string& path, int flags, UniqueFd& fd, std::uint64_t& size);

}  // namespace vmx
