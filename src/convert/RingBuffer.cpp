#include "RingBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

CRingBuffer::CRingBuffer(int capacity, int growthStep)
    : m_growthStep(growthStep > 0 ? growthStep : 4096),
      m_storage(new std::uint8_t[static_cast<std::size_t>(std::max(capacity, 1))]),
      m_capacity(std::max(capacity, 1))
{
}

bool CRingBuffer::grow(int shortfall)
{
    const long long extra = shortfall < m_growthStep
                                ? m_growthStep
                                : static_cast<long long>(m_growthStep) * (shortfall / m_growthStep + 1);
    const long long newCapacity = m_capacity + extra;
    if (newCapacity > 0x7FFFFFFF)
        return false;
    std::unique_ptr<std::uint8_t[]> storage(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(newCapacity)]);
    if (!storage)
        return false;
    const int count = m_count;
    Read(storage.get(), count, false);
    m_storage = std::move(storage);
    m_capacity = static_cast<int>(newCapacity);
    m_readPos = 0;
    m_writePos = count;
    return true;
}

bool CRingBuffer::Write(const void* bytes, int length)
{
    if (length <= 0)
        return true;
    if (length >= m_capacity - m_count && !grow(m_count + length - m_capacity))
        return false;
    const auto* src = static_cast<const std::uint8_t*>(bytes);
    const int first = std::min(length, m_capacity - m_writePos);
    std::memcpy(m_storage.get() + m_writePos, src, static_cast<std::size_t>(first));
    std::memcpy(m_storage.get(), src + first, static_cast<std::size_t>(length - first));
    m_writePos = (m_writePos + length) % m_capacity;
    m_count += length;
    return true;
}

bool CRingBuffer::Read(void* destination, int n, bool consume)
{
    if (n <= 0 || n > m_count)
        return false;
    auto* dst = static_cast<std::uint8_t*>(destination);
    const int first = std::min(n, m_capacity - m_readPos);
    std::memcpy(dst, m_storage.get() + m_readPos, static_cast<std::size_t>(first));
    std::memcpy(dst + first, m_storage.get(), static_cast<std::size_t>(n - first));
    if (consume) {
        m_count -= n;
        m_readPos = (m_readPos + n) % m_capacity;
    }
    return true;
}

bool CRingBuffer::Skip(int n)
{
    if (n < 0 || n > m_count)
        return false;
    m_count -= n;
    m_readPos = (m_readPos + n) % m_capacity;
    return true;
}

void CRingBuffer::Clear()
{
    m_readPos = 0;
    m_writePos = 0;
    m_count = 0;
}

namespace vmx {

bool NextLine(CRingBuffer& buffer, std::string& line)
{
    char work[1024];
    for (;;) {
        const int n = std::min(buffer.Count(), 1023);
        if (n == 0 || !buffer.Read(work, n, false))
            return false;
        work[n] = '\0';
        for (int i = 0; i < n; ++i) {
            if (work[i] == '\0')
                return false;
            if (work[i] == '\r' || work[i] == '\n') {
                line.assign(work, static_cast<std::size_t>(i));
                buffer.Skip(i + 1);
                return true;
            }
        }
        if (n < 1023)
            return false;
        // 1,023 bytes without a line end cannot be a status line. They are dropped so that the
        // lines after them are still read and the buffer does not grow for ever.
        buffer.Skip(n);
    }
}

}  // namespace vmx
