#include "controls/MpvApi.h"

#include <dlfcn.h>

namespace vmx {

namespace {

// The soname of libmpv's client API 2 (mpv 0.35 and newer), the one the headers describe.
constexpr const char* kLibrary = "libmpv.so.2";

struct Loaded {
    MpvApi api{};
    bool ok = false;
    std::string problem;
};

template <typename Function>
bool Find(void* library, const char* name, Function& function, std::string& missing)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    if (function == nullptr && missing.empty())
        missing = name;
    return function != nullptr;
}

Loaded Load()
{
    Loaded loaded;
    // Kept loaded for the life of the process: mpv's threads may outlive any one player.
    void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = dlerror();
        loaded.problem = std::string("The player cannot start: ") + kLibrary + " could not be loaded ("
                         + (why != nullptr ? why : "unknown reason") + "). Install libmpv2 to play recordings.";
        return loaded;
    }
    MpvApi& api = loaded.api;
    std::string missing;
    Find(library, "mpv_client_api_version", api.client_api_version, missing);
    Find(library, "mpv_create", api.create, missing);
    Find(library, "mpv_initialize", api.initialize, missing);
    Find(library, "mpv_terminate_destroy", api.terminate_destroy, missing);
    Find(library, "mpv_set_option_string", api.set_option_string, missing);
    Find(library, "mpv_set_property_string", api.set_property_string, missing);
    Find(library, "mpv_get_property", api.get_property, missing);
    Find(library, "mpv_observe_property", api.observe_property, missing);
    Find(library, "mpv_command", api.command, missing);
    Find(library, "mpv_command_ret", api.command_ret, missing);
    Find(library, "mpv_free_node_contents", api.free_node_contents, missing);
    Find(library, "mpv_wait_event", api.wait_event, missing);
    Find(library, "mpv_set_wakeup_callback", api.set_wakeup_callback, missing);
    Find(library, "mpv_stream_cb_add_ro", api.stream_cb_add_ro, missing);
    Find(library, "mpv_render_context_create", api.render_context_create, missing);
    Find(library, "mpv_render_context_set_update_callback", api.render_context_set_update_callback, missing);
    Find(library, "mpv_render_context_render", api.render_context_render, missing);
    Find(library, "mpv_render_context_free", api.render_context_free, missing);
    if (!missing.empty()) {
        loaded.problem = std::string("The player cannot start: ") + kLibrary + " has no function " + missing
                         + " (libmpv of mpv 0.35 or newer is needed).";
        return loaded;
    }
    // Playlist entry ids in the loadfile answer and the file events came with API 1.108.
    if (api.client_api_version() < MPV_MAKE_VERSION(1, 108)) {
        loaded.problem = std::string("The player cannot start: ") + kLibrary + " is too old (mpv 0.35 or newer is needed).";
        return loaded;
    }
    loaded.ok = true;
    return loaded;
}

const Loaded& Library()
{
    static const Loaded loaded = Load();
    return loaded;
}

}  // namespace

const MpvApi* LoadMpv(std::string* problem)
{
    const Loaded& loaded = Library();
    if (problem != nullptr)
        *problem = loaded.problem;
    return loaded.ok ? &loaded.api : nullptr;
}

const MpvApi& Mpv()
{
    return Library().api;
}

}  // namespace vmx
