#pragma once

#include <mpv/client.h>
#include <mpv/stream_cb.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vmx {

// Lets mpv read a recording's part files as one stream (PartStream), so that it demultiplexes
// and plays them as one file: one timeline over all parts, one seek to any place, no reopening at
// a part boundary. The player hands mpv the address from Add; mpv opens it through the protocol
// registered here and reads on its own thread. One recording at a time per player.
class PartProtocol {
public:
    static constexpr const char* kProtocol = "vmxparts";

    // Registers the protocol with an initialised mpv instance; `add` is libmpv's
    // mpv_stream_cb_add_ro. The protocol must outlive the instance.
    bool Register(mpv_handle* mpv, decltype(&mpv_stream_cb_add_ro) add);
    // The address of the parts (in record order) for loadfile. It replaces the address handed
    // out before: a stream mpv has already opened reads on, a later open of the old one fails.
    std::string Add(std::vector<std::string> partPaths);

private:
    static int Open(void* self, char* uri, mpv_stream_cb_info* info);

    std::mutex m_mutex;
    std::string m_address;
    std::vector<std::string> m_paths;
    std::uint64_t m_serial = 0;
};

}  // namespace vmx
