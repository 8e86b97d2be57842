#include "controls/PartProtocol.h"

#include "convert/PartStream.h"

namespace vmx {

namespace {

std::int64_t Read(void* cookie, char* buffer, std::uint64_t size)
{
    auto* stream = static_cast<PartStream*>(cookie);
    return stream->read(reinterpret_cast<std::uint8_t*>(buffer), std::size_t(size));
}

std::int64_t Seek(void* cookie, std::int64_t offset)
{
    if (offset < 0)
        return MPV_ERROR_GENERIC;
    return std::int64_t(static_cast<PartStream*>(cookie)->seek(std::uint64_t(offset)));
}

std::int64_t Size(void* cookie)
{
    return std::int64_t(static_cast<PartStream*>(cookie)->size());
}

void Close(void* cookie)
{
    delete static_cast<PartStream*>(cookie);
}

}  // namespace

bool PartProtocol::Register(mpv_handle* mpv, decltype(&mpv_stream_cb_add_ro) add)
{
    return mpv != nullptr && add != nullptr && add(mpv, kProtocol, this, &PartProtocol::Open) >= 0;
}

std::string PartProtocol::Add(std::vector<std::string> partPaths)
{
    std::lock_guard lock(m_mutex);
    m_paths = std::move(partPaths);
    m_address = std::string(kProtocol) + "://" + std::to_string(++m_serial);
    return m_address;
}

// Called by mpv on its own thread.
int PartProtocol::Open(void* self, char* uri, mpv_stream_cb_info* info)
{
    auto* protocol = static_cast<PartProtocol*>(self);
    std::vector<std::string> paths;
    {
        std::lock_guard lock(protocol->m_mutex);
        if (protocol->m_address != uri)
            return MPV_ERROR_LOADING_FAILED;
        paths = protocol->m_paths;
    }
    auto* stream = new PartStream;
    if (!stream->open(paths).empty()) {
        delete stream;
        return MPV_ERROR_LOADING_FAILED;
    }
    // A stretch of a part that cannot be read is stepped over: the picture goes on after it.
    stream->skipDamage(true);
    info->cookie = stream;
    info->read_fn = &Read;
    info->seek_fn = &Seek;
    info->size_fn = &Size;
    info->close_fn = &Close;
    return 0;
}

}  // namespace vmx
