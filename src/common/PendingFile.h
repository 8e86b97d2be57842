#pragma once

#include "common/UniqueFd.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace vmx {

// A file written under a short hidden temporary name (".velmorix-" and six letters or digits)
// beside its final place and put there whole by commit(); until then whatever stands at the final
// place is untouched, and a file that is never committed is removed.
//
// Leftovers. A program killed while it writes one leaves the temporary file behind. The writer
// holds an exclusive advisory lock (flock) on it from its creation until it is renamed into place
// or removed, and the kernel gives that lock up when the writer dies; so a temporary file whose
// lock can be taken belongs to nobody any more, and RemoveAbandoned() removes it. A file being
// written by a live program, in this process or another, is never touched, nor any file whose
// name is not of this pattern.
class PendingFile {
public:
    // The temporary file goes into the folder of `target`.
    explicit PendingFile(const std::string& target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool ok() const { return m_fd.ok(); }
    int fd() const { return m_fd.get(); }

    // Gives the file `mode` (best effort: FAT-formatted disks refuse permission changes), flushes
    // it to the disk, renames it over the target and flushes the folder, so that the new file is
    // on the disk under its name when commit() returns. Returns 0 or an errno value (0 once the
    // rename has happened).
    int commit(mode_t mode = 0644);

    // True for a name of this pattern (".velmorix-" and six letters or digits).
    static bool IsTemporaryName(std::string_view name);
    // The temporary files of `folder` (ending in '/', or empty for the current folder) that no
    // live program holds, as paths; RemoveAbandoned() also removes them and gives those it removed.
    static std::vector<std::string> FindAbandoned(const std::string& folder);
    static std::vector<std::string> RemoveAbandoned(const std::string& folder);

private:
    std::string m_target;
    std::string m_temp;
    UniqueFd m_fd;
};

// Flushes the folder's entries to the disk (an empty folder means the current one): what was
// renamed, created or removed in it stays so after a power loss. Returns 0 or an errno value.
int SyncFolder(const std::string& folder);

// Puts `size` bytes as the whole content of `path` the way PendingFile does: written beside it,
// flushed, renamed into place, the folder flushed. Returns 0 or an errno value.
int WriteFileDurably(const std::string& path, const void* data, std::size_t size, mode_t mode = 0644);

}  // namespace vmx
