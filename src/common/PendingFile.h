#pragma once

#include "common/UniqueFd.h"

#include <string>
#include <sys/types.h>

namespace vmx {

// A file written under a short hidden temporary name (".velmorix-" and six characters) beside its
// final place and put there whole by commit(); until then whatever stands at the final place is
// untouched, and a file that is never committed is removed.
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
    // it to the disk and renames it over the target. Returns 0 or an errno value.
    int commit(mode_t mode = 0644);

private:
    std::string m_target;
    std::string m_temp;
    UniqueFd m_fd;
};

}  // namespace vmx
