#pragma once

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/stream_cb.h>

#include <string>

namespace vmx {

// The functions of libmpv the player calls, looked up in libmpv.so.2 when the player is first
// used rather than linked into the program: a window that plays nothing never loads libmpv and
// the libraries it pulls in (the decoders, the audio and video outputs).
struct MpvApi {
    decltype(&mpv_client_api_version) client_api_version;
    decltype(&mpv_create) create;
    decltype(&mpv_initialize) initialize;
    decltype(&mpv_terminate_destroy) terminate_destroy;
    decltype(&mpv_set_option_string) set_option_string;
    decltype(&mpv_set_property_string) set_property_string;
    decltype(&mpv_get_property) get_property;
    decltype(&mpv_observe_property) observe_property;
    decltype(&mpv_command) command;
    decltype(&mpv_command_ret) command_ret;
    decltype(&mpv_free_node_contents) free_node_contents;
    decltype(&mpv_wait_event) wait_event;
    decltype(&mpv_set_wakeup_callback) set_wakeup_callback;
    decltype(&mpv_stream_cb_add_ro) stream_cb_add_ro;
    decltype(&mpv_render_context_create) render_context_create;
    decltype(&mpv_render_context_set_update_callback) render_context_set_update_callback;
    decltype(&mpv_render_context_render) render_context_render;
    decltype(&mpv_render_context_free) render_context_free;
};

// Loads libmpv on the first call (later calls answer at once) and returns its functions, or
// nullptr when it cannot be loaded or lacks one of them; `problem` then says why, in a sentence
// for the user.
const MpvApi* LoadMpv(std::string* problem = nullptr);

// The functions once LoadMpv has succeeded. Only code that runs on an mpv instance calls it.
const MpvApi& Mpv();

}  // namespace vmx
