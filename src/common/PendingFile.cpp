#include "common/PendingFile.h"

#include "common/FilePaths.h"
#include "common/WriteAll.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vmx {

namespace {

constexpr std::string_view kTemporaryPrefix = ".velmorix~";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kHexDigits = 16;

// How often a new name is tried when the one made was taken or is being removed as a leftover at
// that moment.
constexpr int kCreateAttempts = 8;

enum class Disposal { Find, Remove };

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string temporaryNameIn(const std::string& folder)
{
    unsigned char random[kHexDigits / 2] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        // No randomness at hand: the process and a counter still make names of their own.
        static unsigned counter = 0;
        const unsigned long long mixed = (static_cast<unsigned long long>(::getpid()) << 32) ^ ++counter;
        for (std::size_t i = 0; i < sizeof random; ++i)
            random[i] = static_cast<unsigned char>(mixed >> (8 * i));
    }
    std::string name = folder + std::string(kTemporaryPrefix);
    char hex[3];
    for (const unsigned char byte : random) {
        std::snprintf(hex, sizeof hex, "%02x", byte);
        name += hex;
    }
    return name + std::string(kTemporarySuffix);
}

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
        if (::lstat(path.c_str(), &now) != 0 || !sameFile(now, held))
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
    const std::string folder = FolderOfPath(target);
    int error = 0;
    for (int attempt = 0; attempt < kCreateAttempts && !m_fd.ok(); ++attempt) {
        // A short name of its own: one built from the target's name would fail for names near the
        // file system's 255-byte limit that the target itself may have.
        m_temp = temporaryNameIn(folder);
        m_fd.reset(::open(m_temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!m_fd.ok()) {
            error = errno;
            if (error == EEXIST)
                continue;
            break;
        }
        // Locked before anything is written into it. A lock already taken means another program
        // is removing it as a leftover this very moment; a name that no longer stands for the file
        // means it already did. Either way a new name is made.
        struct stat opened {};
        struct stat named {};
        if (::flock(m_fd.get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(m_fd.get(), &opened) != 0 ||
            ::lstat(m_temp.c_str(), &named) != 0 || !sameFile(opened, named)) {
            error = EAGAIN;
            m_fd.reset();
        }
    }
    if (!m_fd.ok()) {
        m_temp.clear();
        errno = error;
    }
}

PendingFile::~PendingFile()
{
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
    m_fd.reset();
}

int PendingFile::commit(mode_t mode, Existing existing, FolderFlush folderFlush)
{
    if (!m_fd.ok())
        return EBADF;
    (void)::fchmod(m_fd.get(), mode);
    if (::fsync(m_fd.get()) != 0)
        return errno;
    // Renamed while still locked, so that nobody takes it for a leftover on the way.
    if (existing == Existing::Keep) {
        if (const int error = RenameNoReplace(m_temp, m_target); error != 0)
            return error;
    } else if (::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        return errno;
    }
    m_temp.clear();
    m_fd.reset();
    // The file is in place and flushed; the folder is flushed as well as the file system can.
    const int flushed = SyncFolder(FolderOfPath(m_target));
    return folderFlush == FolderFlush::Required ? flushed : 0;
}

bool PendingFile::IsTemporaryName(std::string_view name)
{
    if (name.size() != kTemporaryPrefix.size() + kHexDigits + kTemporarySuffix.size() ||
        !name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix))
        return false;
    for (const char c : name.substr(kTemporaryPrefix.size(), kHexDigits)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
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
    if (::fsync(dir.get()) != 0 && errno != EINVAL && errno != EROFS && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    return 0;
}

int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // A file system without the no-replace flag: look first, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0)
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int WriteFileDurably(const std::string& path, const void* data, std::size_t size, mode_t mode)
{
    PendingFile file(path);
    if (!file.ok())
        return errno;
    if (const int error = WriteAllAt(file.fd(), data, size, 0); error != 0)
        return error;
    return file.commit(mode, PendingFile::Existing::Replace, PendingFile::FolderFlush::Required);
}

}  // namespace vmx
