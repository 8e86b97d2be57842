#pragma once

#include "common/BigEndian.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"
#include "common/UniqueFd.h"
#include "recdb/AVMRec.h"
#include "recdb/DiskNaming.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <cstdint>
#include <string>
#include <vector>

namespace vmx {

// The fields of the journals kept on the receiver's disk (a cut's plan, an undo manifest), numbers
// big-endian: a writer that appends them, and a reader that refuses any read past the end and any
// part name that is not a safe one.
class JournalWriter {
public:
    void bytes(const void* data, std::size_t size)
    {
        const auto* p = static_cast<const std::uint8_t*>(data);
        out.insert(out.end(), p, p + size);
    }
    void u8(std::uint8_t v) { out.push_back(v); }
    void u16(std::uint16_t v)
    {
        std::uint8_t b[2];
        WriteBe16(b, v);
        bytes(b, 2);
    }
    void u32(std::uint32_t v)
    {
        std::uint8_t b[4];
        WriteBe32(b, v);
        bytes(b, 4);
    }
    void u64(std::uint64_t v)
    {
        std::uint8_t b[8];
        WriteBe64(b, v);
        bytes(b, 8);
    }
    void name(const std::string& n) { bytes(n.data(), kAVMPartNameLen); }

    std::vector<std::uint8_t> out;
};

// Reads fields one after another, refusing any read past the end.
class JournalReader {
public:
    JournalReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool take(std::size_t n, const std::uint8_t*& at)
    {
        if (m_size - m_pos < n)
            return false;
        at = m_data + m_pos;
        m_pos += n;
        return true;
    }
    bool u8(std::uint8_t& v)
    {
        const std::uint8_t* at = nullptr;
        return take(1, at) && (v = *at, true);
    }
    bool u16(std::uint16_t& v)
    {
        const std::uint8_t* at = nullptr;
        return take(2, at) && (v = ReadBe16(at), true);
    }
    bool u32(std::uint32_t& v)
    {
        const std::uint8_t* at = nullptr;
        return take(4, at) && (v = ReadBe32(at), true);
    }
    bool u64(std::uint64_t& v)
    {
        const std::uint8_t* at = nullptr;
        return take(8, at) && (v = ReadBe64(at), true);
    }
    // A part name the disk may be asked to touch: a safe one only.
    bool name(std::string& n)
    {
        const std::uint8_t* at = nullptr;
        if (!take(kAVMPartNameLen, at))
            return false;
        n.assign(reinterpret_cast<const char*>(at), kAVMPartNameLen);
        return IsSafePartName(n.c_str());
    }
    std::size_t position() const { return m_pos; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// Reads the journal at `path` (`what` names it in a sentence: "the cut's plan"), never through a
// link and refusing one larger than `maxSize`. Empty, or the sentence saying why it was not read.
inline std::string ReadJournalFile(const std::string& path, std::size_t maxSize, const std::string& what,
                                   std::vector<std::uint8_t>& bytes)
{
    UniqueFd fd;
    std::uint64_t size = 0;
    if (std::string error = OpenRegularFile(path, O_RDONLY | O_NOFOLLOW, fd, size); !error.empty())
        return error;
    if (size > maxSize)
        return what + " " + path + " is too large to be one.";
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    if (const int error = ReadAllAt(fd.get(), bytes.data(), bytes.size(), 0, got); error != 0)
        return "cannot read " + what + " " + path + ": " + std::strerror(error) + ".";
    bytes.resize(got);
    return {};
}

}  // namespace vmx
