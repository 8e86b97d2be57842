#pragma once

#include "common/UniqueFd.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace vmx {

// A file written under a hidden temporary name beside its final place and put there whole by
// commit(); until then whatever stands at the final place is untouched, and a file that is never
// committed is removed.
//
// The temporary name is ".velmorix~", sixteen lower-case hexadecimal digits and ".tmp"
// (".velmorix~3fa90c1d2e4b5a67.tmp"): nobody names a file of their own so by accident.
//
// Leftovers. A program killed while it writes one leaves the temporary file behind. The writer
// holds an exclusive advisory lock (flock) on it from its creation until it is renamed into place
// or removed, and the kernel gives that lock up when the writer dies; so a temporary file whose
// lock can be taken belongs to nobody any more, and RemoveAbandoned() removes it. A file being
// written by a live program, in this process or another, is never touched, nor any file whose
// name is not of this pattern. The writer makes sure that the name it holds the lock on is still
// its file, so a leftover removal running at the moment it creates the file cannot take it away.
class PendingFile {
public:
    // The temporary file goes into the folder of `target`.
    explicit PendingFile(const std::string& target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool ok() const { return m_fd.ok(); }
    int fd() const { return m_fd.get(); }

    // How commit() treats a file already at the target.
    enum class Existing { Replace, Keep };
    // How commit() treats a folder that cannot be flushed.
    enum class FolderFlush { BestEffort, Required };

    // Gives the file `mode` (best effort: FAT-formatted disks refuse permission changes), flushes
    // it to the disk, renames it to the target and flushes the folder, so that the new file is on
    // the disk under its name when commit() returns. Returns 0 or an errno value. With
    // Existing::Keep an existing target is left alone and EEXIST returned. With
    // FolderFlush::Required a folder that cannot be flushed fails the commit (the file is in
    // place all the same); otherwise 0 is returned once the rename has happened.
    int commit(mode_t mode = 0644, Existing existing = Existing::Replace,
               FolderFlush folderFlush = FolderFlush::BestEffort);

    // Another final place in the same folder, for a commit after one the file system refused
    // (a name it cannot hold, or a file that took the name meanwhile).
    void retarget(const std::string& target) { m_target = target; }

    // True for a name of this pattern.
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

// Renames without ever replacing an existing file. Returns 0 or an errno value (EEXIST when
// `to` exists). Where the file system has no no-replace rename it looks first, then renames.
int RenameNoReplace(const std::string& from, const std::string& to);

// Puts `size` bytes as the whole content of `path` the way PendingFile does: written beside it,
// flushed, renamed into place, the folder flushed (a folder that cannot be flushed fails it).
// Returns 0 or an errno value.
int WriteFileDurably(const std::string& path, const void* data, std::size_t size, mode_t mode = 0644);

}  // namespace vmx
