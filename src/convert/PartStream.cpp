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
    for (;;) {
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
        const int error = ReadAllAt(it->fd.get(), data, want, inPart, got);
        if (error == 0 && got == want) {
            m_position += got;
            return static_cast<long long>(got);
        }
        if (error == 0)
            m_error = it->path + " ends before its size: it was changed while it was read.";
        else
            m_error = "cannot read " + it->path + ": " + std::strerror(error) + ".";
        if (!m_skipDamage || error == 0)
            return -1;
        if (got > 0) {  // what was read before the damaged stretch
            m_position += got;
            return static_cast<long long>(got);
        }
        // The damaged stretch is stepped over a block at a time, up to the end of its part.
        const std::uint64_t step = std::min<std::uint64_t>(kDamageStep, it->size - inPart);
        if (!m_gaps.empty() && m_gaps.back().partPath == it->path &&
            m_gaps.back().offset + m_gaps.back().length == inPart)
            m_gaps.back().length += step;
        else
            m_gaps.push_back({it->path, inPart, step});
        m_position += step;
    }
}

std::uint64_t PartStream::seek(std::uint64_t position)
{
    m_position = std::min(position, m_total);
    return m_position;
}

}  // namespace vmx
