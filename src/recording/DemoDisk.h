#pragma once

#include "recording/RecordingSession.h"

#include <functional>
#include <string>

namespace vmx {

// The video the demo's recordings carry.
enum class DemoVideo { Mpeg2, H264 };

// Writes a small demo receiver disk into the folder `root`, which must not hold a DZT000.DB yet:
// RECORD/DZT000.DB listing three recordings made by ffmpeg as the receiver records them (MPEG-2
// video and MP2 sound in a transport stream, cut into part files of the full part size; the second
// recording fills one full part and spills into a second, and holds two blocks of advertising
// framed by black, silent pictures, with the channel's logo shown outside them), two MP3 files in
// MP3 and two JPEG pictures in IMAGE. The database goes through `session` (loaded into the left
// pane). `say` hears a line before each step. With DemoVideo::H264 the recordings carry H.264 video (libx264) instead
// of MPEG-2. Empty on success, else the sentence saying what went wrong.
[[nodiscard]] std::string WriteDemoDisk(RecordingSession& session, const std::string& root,
                                        const std::function<void(const std::string&)>& say,
                                        DemoVideo video = DemoVideo::Mpeg2);

}  // namespace vmx
