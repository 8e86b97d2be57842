#include "recdb/FileCache.h"

#include "common/ReadAll.h"
#include "common/WriteAll.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <unistd.h>
#include <vector>

namespace {

struct Window {
    bool valid = false;
    std::uint32_t base = 0;    // file position of the window's first byte
    std::uint32_t offset = 0;  // reading: last access within the window; writing: fill
    std::unique_ptr<std::uint8_t[]> buffer;
};

struct Cache {
    bool active = false;
    int fd = -1;
    std::vector<std::uint8_t>* sink = nullptr;  // writes go here instead of the file when set
    const std::uint8_t* source = nullptr;       // reads come from here instead of the file when set
    std::size_t sourceSize = 0;
    int current = 0;
    Window windows[2];
    // Positions just after the last low-level read and write. Reads and writes use positioned
    // I/O, so these only record where the file was last touched.
    std::uint64_t readPosition = 0;
    std::uint64_t writePosition = 0;
};

Cache g;

// Reads `length` bytes at `position`. Bytes beyond the end of the file read as zeros, so a
// short file never shows what an earlier file left in the window.
unsigned char lowRead(std::uint32_t position, std::uint32_t length, std::uint8_t* buffer)
{
    std::size_t done = 0;
    if (g.active && g.source) {
        if (position < g.sourceSize) {
            done = std::min<std::size_t>(length, g.sourceSize - position);
            std::memcpy(buffer, g.source + position, done);
        }
    } else if (!g.active || g.fd < 0 || vmx::ReadAllAt(g.fd, buffer, length, position, done) != 0) {
        return 1;
    }
    std::memset(buffer + done, 0, length - done);
    g.readPosition = static_cast<std::uint64_t>(position) + length;
    return 0;
}

unsigned char lowWrite(std::uint32_t position, std::uint32_t length, const std::uint8_t* buffer)
{
    if (g.active && g.sink) {
        const std::size_t end = static_cast<std::size_t>(position) + length;
        if (g.sink->size() < end)
            g.sink->resize(end);
        std::memcpy(g.sink->data() + position, buffer, length);
        g.writePosition = end;
        return 0;
    }
    if (!g.active || g.fd < 0)
        return 1;
    if (const int error = vmx::WriteAllAt(g.fd, buffer, length, position); error != 0) {
        errno = error;
        return 1;
    }
    g.writePosition = static_cast<std::uint64_t>(position) + length;
    return 0;
}

}  // namespace

unsigned char AVMInitFileCache()
{
    g.active = false;
    g.current = 0;
    for (auto& w : g.windows) {
        w = Window{};
    }
    g.readPosition = g.writePosition = 0;
    for (auto& w : g.windows) {
        w.buffer.reset(new (std::nothrow) std::uint8_t[kAVMWindowSize]());
        if (!w.buffer) {
            for (auto& other : g.windows)
                other.buffer.reset();
            return 1;
        }
    }
    g.active = true;
    return 0;
}

unsigned char AVMResetFileCache()
{
    if (!g.active)
        return 1;
    g.current = 0;
    for (auto& w : g.windows) {
        w.valid = false;
        w.base = 0;
        w.offset = 0;
        std::memset(w.buffer.get(), 0, kAVMWindowSize);
    }
    return 0;
}

bool vmx::FileCacheActive()
{
    return g.active;
}

void vmx::SetCacheFile(int fd)
{
    g.fd = fd;
}

void vmx::SetCacheSource(const std::uint8_t* data, std::size_t size)
{
    g.source = data;
    g.sourceSize = data ? size : 0;
}

void vmx::SetCacheSink(std::vector<std::uint8_t>* sink)
{
    g.sink = sink;
}

unsigned char AVMReadFile(std::uint32_t position, void* destination, std::uint32_t length)
{
    if (!g.active || length > kAVMWindowSize || (length && !destination))
        return 1;
    int found = -1;
    for (int i = 0; i < 2; ++i) {
        const Window& w = g.windows[i];
        if (w.valid && w.base <= position && position - w.base < kAVMWindowSize) {
            found = i;
            break;
        }
    }
    if (found >= 0) {
        g.current = found;
        g.windows[found].offset = position - g.windows[found].base;
    } else {
        g.current = 0;
        Window& w = g.windows[0];
        w.valid = false;
        if (lowRead(position, kAVMWindowSize, w.buffer.get()))
            return 1;
        w.valid = true;
        w.base = position;
        w.offset = 0;
    }
    Window& cur = g.windows[g.current];
    auto* out = static_cast<std::uint8_t*>(destination);
    if (cur.offset + length <= kAVMWindowSize) {
        std::memcpy(out, cur.buffer.get() + cur.offset, length);
        return 0;
    }
    // The read crosses the window's end: load the following 128 KB into the other window.
    Window& next = g.windows[1 - g.current];
    next.valid = false;
    if (cur.base > UINT32_MAX - kAVMWindowSize)
        return 1;
    if (lowRead(cur.base + kAVMWindowSize, kAVMWindowSize, next.buffer.get()))
        return 1;
    next.valid = true;
    next.base = cur.base + kAVMWindowSize;
    next.offset = 0;
    const std::uint32_t first = kAVMWindowSize - cur.offset;
    std::memcpy(out, cur.buffer.get() + cur.offset, first);
    std::memcpy(out + first, next.buffer.get(), length - first);
    cur.valid = false;
    return 0;
}

unsigned char AVMWriteFile(std::uint32_t position, const void* data, std::uint32_t length)
{
    if (!g.active || length > kAVMWindowSize)
        return 1;
    const auto* in = static_cast<const std::uint8_t*>(data);
    if (!data) {
        for (auto& w : g.windows) {
            if (!w.valid)
                continue;
            w.valid = false;
            if (lowWrite(w.base, w.offset, w.buffer.get()))
                return 1;
        }
        length = 0;
    }
    Window* w = nullptr;
    if (data) {
        for (auto& candidate : g.windows) {
            if (candidate.valid) {
                w = &candidate;
                break;
            }
        }
    }
    if (!w) {
        Window& first = g.windows[0];
        g.current = 0;
        first.valid = true;
        first.base = position;
        std::memset(first.buffer.get(), 0, kAVMWindowSize);
        if (length)
            std::memcpy(first.buffer.get(), in, length);
        first.offset = length;
        return 0;
    }
    // Positions never go back before the window's base within one database write.
    if (position < w->base)
        return 1;
    if (position != w->base + w->offset) {
        while (position - w->base >= kAVMWindowSize) {
            if (lowWrite(w->base, kAVMWindowSize, w->buffer.get()))
                return 1;
            std::memset(w->buffer.get(), 0, kAVMWindowSize);
            w->base += kAVMWindowSize;
        }
        w->offset = position - w->base;
    }
    if (w->offset + length <= kAVMWindowSize) {
        std::memcpy(w->buffer.get() + w->offset, in, length);
        w->offset += length;
        return 0;
    }
    const std::uint32_t first = kAVMWindowSize - w->offset;
    std::memcpy(w->buffer.get() + w->offset, in, first);
    if (lowWrite(w->base, kAVMWindowSize, w->buffer.get()))
        return 1;
    w->base += kAVMWindowSize;
    std::memset(w->buffer.get(), 0, kAVMWindowSize);
    std::memcpy(w->buffer.get(), in + first, length - first);
    w->offset = length - first;
    return 0;
}
