#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A byte ring buffer that grows in fixed steps and never shrinks. Not thread-safe: one thread
// writes while a job runs; the thread that starts the next job clears it.
class CRingBuffer {
public:
    explicit CRingBuffer(int capacity = 4096, int growthStep = 4096);

    bool Write(const void* bytes, int length);
    bool Read(void* destination, int n, bool consume);
    bool Skip(int n);
    void Clear();
    int Count() const { return m_count; }
    int Capacity() const { return m_capacity; }

private:
    bool grow(int shortfall);

    int m_growthStep;
    std::unique_ptr<std::uint8_t[]> m_storage;
    int m_capacity;
    int m_readPos = 0;
    int m_writePos = 0;
    int m_count = 0;
};

namespace vmx {

// Takes the next line (ended by a carriage return or a line feed, which is consumed but not
// returned) from the front of the buffer; only the first 1,023 bytes are looked at, and 1,023
// bytes without a line end are dropped. Returns false and leaves the buffer alone when no
// complete line is there.
bool NextLine(CRingBuffer& buffer, std::string& line);

}  // namespace vmx
