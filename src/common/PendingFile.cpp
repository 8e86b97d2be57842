#include "common/PendingFile.h"

#include "common/FilePaths.h"

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vmx {

PendingFile::PendingFile(const std::string& target) : m_target(target)
{
    // A short name of its own: one built from the target's name would fail for names near the
    // file system's 255-byte limit that the target itself may have.
    m_temp = FolderOfPath(target) + ".velmorix-XXXXXX";
    m_fd.reset(::mkostemp(m_temp.data(), O_CLOEXEC));
    if (!m_fd.ok())
        m_temp.clear();
}

PendingFile::~PendingFile()
{
    m_fd.reset();
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
}

int PendingFile::commit(mode_t mode)
{
    if (!m_fd.ok())
        return EBADF;
    (void)::fchmod(m_fd.get(), mode);
    if (::fsync(m_fd.get()) != 0 || !m_fd.close())
        return errno;
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0)
        return errno;
    m_temp.clear();
    return 0;
}

}  // namespace vmx
