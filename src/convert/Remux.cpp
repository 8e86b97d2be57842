// The streams of a recording copied into MKV or MP4 as they are.

#include "convert/AvIo.h"
#include "convert/ExportSteps.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstring>

namespace vmx {

namespace {

const char* KindOf(AVMediaType type)
{
    switch (type) {
    case AVMEDIA_TYPE_VIDEO: return "video";
    case AVMEDIA_TYPE_AUDIO: return "audio";
    case AVMEDIA_TYPE_SUBTITLE: return "subtitles";
    default: return "data";
    }
}

}  // namespace

ExportResult RemuxInto(const ExportRequest& request, int fd, const ExportProgress& progress)
{
    ExportResult result;
    const auto fail = [&](const std::string& why) {
        result.ok = false;
        result.error = why;
        return result;
    };
    PartInput input;
    if (std::string error = input.stream.open(request.partPaths); !error.empty())
        return fail(error);
    input.stream.skipDamage(true);
    AvioPtr inIo = MakeReadIo(input);
    if (!inIo)
        return fail("out of memory.");
    std::string openError;
    InputPtr in = OpenAnalysedTransportStream(inIo.get(), openError);
    if (!in)
        return fail(openError);

    const char* muxer = request.format == ExportFormat::Mp4 ? "mp4" : "matroska";
    AVFormatContext* outRaw = nullptr;
    if (const int error = avformat_alloc_output_context2(&outRaw, nullptr, muxer, nullptr); error < 0 || !outRaw)
        return fail("cannot prepare the " + std::string(muxer) + " file: " + AvError(error) + ".");
    OutputPtr out(outRaw);

    // Each input stream the container takes gets an output stream; the others are said.
    std::vector<int> outputOf(in->nb_streams, -1);
    int videoStream = -1;
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVStream* from = in->streams[i];
        const AVCodecParameters* par = from->codecpar;
        const bool wanted = par->codec_type == AVMEDIA_TYPE_VIDEO || par->codec_type == AVMEDIA_TYPE_AUDIO ||
                            par->codec_type == AVMEDIA_TYPE_SUBTITLE;
        if (!wanted || par->codec_id == AV_CODEC_ID_NONE ||
            avformat_query_codec(out->oformat, par->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
            const AVCodecDescriptor* codec = avcodec_descriptor_get(par->codec_id);
            result.skipped.push_back(std::string(codec ? codec->name : KindOf(par->codec_type)) + " (stream " +
                                     std::to_string(i) + ")");
            continue;
        }
        AVStream* to = avformat_new_stream(out.get(), nullptr);
        if (!to || avcodec_parameters_copy(to->codecpar, par) < 0)
            return fail("out of memory.");
        to->codecpar->codec_tag = 0;
        to->time_base = from->time_base;
        av_dict_copy(&to->metadata, from->metadata, 0);
        outputOf[i] = to->index;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && videoStream < 0)
            videoStream = to->index;
    }
    if (videoStream < 0)
        return fail("the recording holds no video stream the container takes.");

    FdOutput output;
    output.start(fd);
    AvioPtr outIo = MakeWriteIo(output);
    if (!outIo)
        return fail("out of memory.");
    out->pb = outIo.get();
    // No random identifiers or dates: the same recording gives the same bytes.
    out->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_BITEXACT;
    // The file starts at 0 s, wherever the receiver's clock stood when the recording began.
    out->avoid_negative_ts = AVFMT_AVOID_NEG_TS_MAKE_ZERO;
    const auto writeFailed = [&](int error) {
        if (output.error() != 0)
            return fail("cannot write " + request.outputPath + ": " + std::strerror(output.error()) + ".");
        return fail("cannot write " + request.outputPath + ": " + AvError(error) + ".");
    };
    if (const int error = WriteContainerHeader(out.get()); error < 0)
        return writeFailed(error);

    AVPacket* packet = av_packet_alloc();
    if (!packet)
        return fail("out of memory.");
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> owned(packet, [](AVPacket* p) { av_packet_free(&p); });
    std::vector<std::int64_t> lastDts(out->nb_streams, AV_NOPTS_VALUE);
    for (;;) {
        const int got = av_read_frame(in.get(), packet);
        if (got == AVERROR_EOF)
            break;
        if (got < 0)
            return fail("the recording cannot be read on: " + AvError(got) + ".");
        const int from = packet->stream_index;
        // Streams that turn up after the analysis have no output stream.
        const int to = from >= 0 && static_cast<std::size_t>(from) < outputOf.size()
                           ? outputOf[static_cast<std::size_t>(from)] : -1;
        if (to >= 0 && packet->pts != AV_NOPTS_VALUE) {
            if (to == videoStream)
                ++result.videoPackets;
            AVStream* stream = out->streams[to];
            av_packet_rescale_ts(packet, in->streams[from]->time_base, stream->time_base);
            packet->stream_index = to;
            packet->pos = -1;
            // A broadcast's glitch (or a stream without decoding times) can repeat a decoding
            // time; MP4 refuses that, so each stream's decoding times are kept rising.
            std::int64_t& last = lastDts[static_cast<std::size_t>(to)];
            if (packet->dts != AV_NOPTS_VALUE && last != AV_NOPTS_VALUE && packet->dts <= last) {
                packet->dts = last + 1;
                packet->pts = std::max(packet->pts, packet->dts);
            }
            if (packet->dts != AV_NOPTS_VALUE)
                last = packet->dts;
            if (const int error = av_interleaved_write_frame(out.get(), packet); error < 0)
                return writeFailed(error);
        }
        av_packet_unref(packet);
        if (progress && !progress(input.stream.position(), input.stream.size())) {
            result.stopped = true;
            return fail("the export was stopped.");
        }
    }
    if (const int error = av_write_trailer(out.get()); error < 0)
        return writeFailed(error);
    avio_flush(out->pb);
    if (output.finish() != 0)
        return writeFailed(0);
    result.bytesRead = input.stream.size();
    result.bytesWritten = output.end();
    for (const PartStream::Gap& gap : input.stream.gaps())
        result.lost.push_back({gap.partPath, gap.offset, gap.length});
    result.ok = true;
    return result;
}

}  // namespace vmx
