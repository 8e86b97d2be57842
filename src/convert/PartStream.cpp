#include "convert/PartStream.h"

#include "common/ReadAll.h"
#include "common/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace vmx {

std::string PartStream::open(const std::vector<std::string>& partPaths)
{
    m_parts.clear();
    m_total = 0;
    m_position = 0;
    m_error.clear();
    for (const std::string& path : partPaths) {
        Part part;
        part.path = path;
        part.start = m_total;
        if (std::string error = OpenRegularFile(path, O_RDONLY | O_NOFOLLOW, part.fd, part.size); !error.empty())
            return error;
        m_total += part.size;
        m_parts.push_back(std::move(part));
    }
    return {};
}

long long PartStream::read(std::uint8_t* data, std::size_t size)
{
    // The part holding the position: the last one starting at or before it.
    auto it = std::upper_bound(m_parts.begin(), m_parts.end(), m_position,
                               [](std::uint64_t at, const Part& part) { return at < part.start; });
    if (it == m_parts.begin() || m_position >= m_total)
        return 0;
    --it;
    while (it != m_parts.end() && m_position >= it->start + it->size)
        ++it;  // empty parts
    if (it == m_parts.end())
        return 0;
    const std::uint64_t inPart = m_position - it->start;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size, it->size - inPart));
    std::size_t got = 0;
    if (const int error = ReadAllAt(it->fd.get(), data, want, inPart, got); error != 0) {
        m_error = "cannot read " + it->path + ": " + std::strerror(error) + ".";
        return -1;
    }
    if (got < want) {
        m_error = it->path + " ends before its size: it was changed while it was read.";
        return -1;
    }
    m_position += got;
    return static_cast<long long>(got);
}

std::uint64_t PartStream::seek(std::uint64_t position)
{
    m_position = std::min(position, m_total);
    return m_position;
}

}  // namespace vmx
