#pragma once

// The filter graphs an encode puts between a decoder and its encoder: the picture deinterlaced,
// scaled and converted; the sound resampled into the encoder's format and frame size.

#include "convert/Export.h"

extern "C" {
#include <libavcodec/codec_par.h>
#include <libavfilter/avfilter.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include <memory>
#include <string>

namespace vmx {

struct FilterGraphDeleter {
    void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};

// A graph with its one source and sink; `key` says which frames it was built for (FrameKey).
struct FilterGraph {
    std::unique_ptr<AVFilterGraph, FilterGraphDeleter> graph;
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    std::string key;
};

// What the frames a graph takes have in common; a frame with another key needs a new graph.
std::string FrameKey(const AVFrame* frame, bool video);

// What the encoder takes, and how the recording's pictures are deinterlaced.
struct VideoTarget {
    int width = 0;
    int height = 0;
    AVPixelFormat format = AV_PIX_FMT_YUV420P;
    Deinterlace deinterlace = Deinterlace::Auto;
    AVFieldOrder fieldOrder = AV_FIELD_UNKNOWN;  // what the recording's stream says
};

// Both take frames like `first` whose times count in `timeBase`; an empty graph with `error` set
// when it cannot be built.
FilterGraph BuildVideoFilters(const AVFrame* first, AVRational timeBase, const VideoTarget& target, std::string& error);
FilterGraph BuildAudioFilters(const AVFrame* first, AVRational timeBase, int sampleRate, const AVChannelLayout& layout,
                              int frameSize, std::string& error);

}  // namespace vmx
