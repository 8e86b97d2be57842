#include "convert/EncodeFilters.h"

#include "convert/AvIo.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

namespace vmx {

namespace {

std::string LayoutName(const AVChannelLayout& layout)
{
    AVChannelLayout named{};
    if (layout.order == AV_CHANNEL_ORDER_NATIVE)
        av_channel_layout_copy(&named, &layout);
    else
        av_channel_layout_default(&named, layout.nb_channels);
    char text[128] = {};
    av_channel_layout_describe(&named, text, sizeof text);
    av_channel_layout_uninit(&named);
    return text;
}

std::string Ratio(AVRational value)
{
    return std::to_string(value.num) + "/" + std::to_string(value.den);
}

// The graph "source -> description -> sink"; the sink is "buffersink" or "abuffersink".
FilterGraph Build(const char* sourceName, const std::string& sourceArgs, const char* sinkName,
                  const std::string& description, std::string& error)
{
    FilterGraph built;
    built.graph.reset(avfilter_graph_alloc());
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    int code = built.graph && outputs && inputs ? 0 : AVERROR(ENOMEM);
    if (code >= 0)
        code = avfilter_graph_create_filter(&built.source, avfilter_get_by_name(sourceName), "in", sourceArgs.c_str(),
                                            nullptr, built.graph.get());
    if (code >= 0)
        code = avfilter_graph_create_filter(&built.sink, avfilter_get_by_name(sinkName), "out", nullptr, nullptr,
                                            built.graph.get());
    if (code >= 0) {
        outputs->name = av_strdup("in");
        outputs->filter_ctx = built.source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = built.sink;
        code = avfilter_graph_parse_ptr(built.graph.get(), description.c_str(), &inputs, &outputs, nullptr);
    }
    if (code >= 0)
        code = avfilter_graph_config(built.graph.get(), nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (code < 0) {
        error = "\"" + description + "\": " + AvError(code) + ".";
        return {};
    }
    return built;
}

}  // namespace

std::string FrameKey(const AVFrame* frame, bool video)
{
    if (video)
        return std::to_string(frame->width) + "x" + std::to_string(frame->height) + " " + std::to_string(frame->format);
    return std::to_string(frame->sample_rate) + " " + std::to_string(frame->format) + " " + LayoutName(frame->ch_layout);
}

FilterGraph BuildVideoFilters(const AVFrame* first, AVRational timeBase, const VideoTarget& target, std::string& error)
{
    const std::string sourceArgs = "video_size=" + std::to_string(first->width) + "x" + std::to_string(first->height) +
                                   ":pix_fmt=" + std::to_string(first->format) + ":time_base=" + Ratio(timeBase) +
                                   ":pixel_aspect=" + Ratio(first->sample_aspect_ratio);
    // Auto: every picture of a stream that says it is interlaced, else those whose frame says so.
    std::string description;
    const bool interlacedStream = target.fieldOrder != AV_FIELD_UNKNOWN && target.fieldOrder != AV_FIELD_PROGRESSIVE;
    if (target.deinterlace == Deinterlace::On || (target.deinterlace == Deinterlace::Auto && interlacedStream))
        description = "yadif,";
    else if (target.deinterlace == Deinterlace::Auto)
        description = "yadif=deint=interlaced,";
    description += "scale=" + std::to_string(target.width) + ":" + std::to_string(target.height) +
                   ",format=" + av_get_pix_fmt_name(target.format);
    FilterGraph built = Build("buffer", sourceArgs, "buffersink", description, error);
    built.key = FrameKey(first, true);
    return built;
}

FilterGraph BuildAudioFilters(const AVFrame* first, AVRational timeBase, int sampleRate, const AVChannelLayout& layout,
                              int frameSize, std::string& error)
{
    const char* format = av_get_sample_fmt_name(static_cast<AVSampleFormat>(first->format));
    const std::string sourceArgs = "time_base=" + Ratio(timeBase) + ":sample_rate=" + std::to_string(first->sample_rate) +
                                   ":sample_fmt=" + (format ? format : "none") +
                                   ":channel_layout=" + LayoutName(first->ch_layout);
    const std::string rate = std::to_string(sampleRate);
    const std::string description = "aresample=" + rate + ",aformat=sample_fmts=fltp:sample_rates=" + rate +
                                    ":channel_layouts=" + LayoutName(layout);
    FilterGraph built = Build("abuffer", sourceArgs, "abuffersink", description, error);
    if (built.sink && frameSize > 0)
        av_buffersink_set_frame_size(built.sink, static_cast<unsigned>(frameSize));
    built.key = FrameKey(first, false);
    return built;
}

}  // namespace vmx
