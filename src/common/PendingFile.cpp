#include "common/PendingFile.h"

#include "common/FilePaths.h"
#include "common/WriteAll.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vmx {

namespace {

constexpr std::string_view kTemporaryPrefix = ".velmorix-";

// How often a new name is tried when the one made is being removed as a leftover at that moment.
constexpr int kCreateAttempts = 8;

enum class Disposal { Find, Remove };

std::vector<std::string> abandoned(const std::string& folder, Disposal disposal)
{
    std::vector<std::string> paths;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return paths;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (PendingFile::IsTemporaryName(entry->d_name))
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : names) {
        const std::string path = folder + name;
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat held {};
        if (!fd.ok() || ::fstat(fd.get(), &held) != 0 || !S_ISREG(held.st_mode))
            continue;
        // Its writer holds the lock for as long as it lives.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Still the file that was locked under that name (not renamed into place meanwhile).
        struct stat now {};
        if (::lstat(path.c_str(), &now) != 0 || now.st_dev != held.st_dev || now.st_ino != held.st_ino)
            continue;
        if (disposal == Disposal::Remove && ::unlink(path.c_str()) != 0)
            continue;
        paths.push_back(path);
    }
    return paths;
}

}  // namespace

PendingFile::PendingFile(const std::string& target) : m_target(target)
{
    for (int attempt = 0; attempt < kCreateAttempts && !m_fd.ok(); ++attempt) {
        // A short name of its own: one built from the target's name would fail for names near the
        // file system's 255-byte limit that the target itself may have.
        m_temp = FolderOfPath(target) + std::string(kTemporaryPrefix) + "XXXXXX";
        m_fd.reset(::mkostemp(m_temp.data(), O_CLOEXEC));
        if (!m_fd.ok())
            break;
        // Locked before anything is written into it; a lock already taken means another program
        // is removing it as a leftover this very moment, so a new name is made.
        if (::flock(m_fd.get(), LOCK_EX | LOCK_NB) != 0)
            m_fd.reset();
    }
    if (!m_fd.ok())
        m_temp.clear();
}

PendingFile::~PendingFile()
{
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
    m_fd.reset();
}

int PendingFile::commit(mode_t mode)
{
    if (!m_fd.ok())
        return EBADF;
    (void)::fchmod(m_fd.get(), mode);
    if (::fsync(m_fd.get()) != 0)
        return errno;
    // Renamed while still locked, so that nobody takes it for a leftover on the way.
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0)
        return errno;
    m_temp.clear();
    m_fd.reset();
    // The file is in place and flushed; the folder is flushed as well as the file system can. A
    // failure here must not read as "not written": the rename has happened.
    (void)SyncFolder(FolderOfPath(m_target));
    return 0;
}

bool PendingFile::IsTemporaryName(std::string_view name)
{
    if (name.size() != kTemporaryPrefix.size() + 6 || !name.starts_with(kTemporaryPrefix))
        return false;
    for (const char c : name.substr(kTemporaryPrefix.size())) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

std::vector<std::string> PendingFile::FindAbandoned(const std::string& folder)
{
    return abandoned(folder, Disposal::Find);
}

std::vector<std::string> PendingFile::RemoveAbandoned(const std::string& folder)
{
    return abandoned(folder, Disposal::Remove);
}

int SyncFolder(const std::string& folder)
{
    UniqueFd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.ok())
        return errno;
    // Some file systems cannot flush a folder on its own and say so; their folder entries reach
    // the disk with the files.
    if (::fsync(dir.get()) != 0 && errno != EINVAL && errno != EROFS)
        return errno;
    return 0;
}

int WriteFileDurably(const std::string& path, const void* data, std::size_t size, mode_t mode)
{
    PendingFile file(path);
    if (!file.ok())
        return errno;
    if (const int error = WriteAllAt(file.fd(), data, size, 0); error != 0)
        return error;
    return file.commit(mode);
}

}  // namespace vmx
