#include "convert/Export.h"

#include "common/FilePaths.h"
#include "common/PendingFile.h"
#include "common/WriteAll.h"
#include "convert/PartStream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace vmx {

namespace {

constexpr int kBufferSize = 1 << 16;

std::string avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The part files as the demultiplexer's input.
struct Input {
    PartStream stream;
    static int read(void* opaque, std::uint8_t* data, int size)
    {
        auto* self = static_cast<Input*>(opaque);
        const long long got = self->stream.read(data, static_cast<std::size_t>(size));
        if (got < 0)
            return AVERROR(EIO);
        return got == 0 ? AVERROR_EOF : static_cast<int>(got);
    }
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence)
    {
        auto* self = static_cast<Input*>(opaque);
        if (whence == AVSEEK_SIZE)
            return static_cast<std::int64_t>(self->stream.size());
        std::int64_t base = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = static_cast<std::int64_t>(self->stream.position()); break;
        case SEEK_END: base = static_cast<std::int64_t>(self->stream.size()); break;
        default: return AVERROR(EINVAL);
        }
        if (base + offset < 0)
            return AVERROR(EINVAL);
        return static_cast<std::int64_t>(self->stream.seek(static_cast<std::uint64_t>(base + offset)));
    }
};

// The temporary output file as the multiplexer's output (MP4 goes back to write sizes).
struct Output {
    int fd = -1;
    std::uint64_t position = 0;
    std::uint64_t end = 0;
    int error = 0;
    static int write(void* opaque, const std::uint8_t* data, int size)
    {
        auto* self = static_cast<Output*>(opaque);
        if (const int error = WriteAllAt(self->fd, data, static_cast<std::size_t>(size), self->position); error != 0) {
            self->error = error;
            return AVERROR(error);
        }
        self->position += static_cast<std::uint64_t>(size);
        self->end = std::max(self->end, self->position);
        return size;
    }
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence)
    {
        auto* self = static_cast<Output*>(opaque);
        if (whence == AVSEEK_SIZE)
            return static_cast<std::int64_t>(self->end);
        std::int64_t base = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = static_cast<std::int64_t>(self->position); break;
        case SEEK_END: base = static_cast<std::int64_t>(self->end); break;
        default: return AVERROR(EINVAL);
        }
        if (base + offset < 0)
            return AVERROR(EINVAL);
        self->position = static_cast<std::uint64_t>(base + offset);
        return base + offset;
    }
};

struct AvioDeleter {
    void operator()(AVIOContext* io) const
    {
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }
};
using AvioPtr = std::unique_ptr<AVIOContext, AvioDeleter>;

AvioPtr makeIo(void* opaque, bool write, int (*readFn)(void*, std::uint8_t*, int),
               int (*writeFn)(void*, const std::uint8_t*, int), std::int64_t (*seekFn)(void*, std::int64_t, int))
{
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferSize));
    if (!buffer)
        return nullptr;
    AVIOContext* io = avio_alloc_context(buffer, kBufferSize, write ? 1 : 0, opaque, readFn,
                                         // libavformat 5.1 declares the write callback without const
                                         reinterpret_cast<int (*)(void*, std::uint8_t*, int)>(writeFn), seekFn);
    if (!io)
        av_free(buffer);
    return AvioPtr(io);
}

const char* kindOf(AVMediaType type)
{
    switch (type) {
    case AVMEDIA_TYPE_VIDEO: return "video";
    case AVMEDIA_TYPE_AUDIO: return "audio";
    case AVMEDIA_TYPE_SUBTITLE: return "subtitles";
    default: return "data";
    }
}

}  // namespace

std::string FreeExportPath(const std::string& folder, const std::string& baseName, ExportFormat format)
{
    const std::string extension = format == ExportFormat::Mp4 ? ".mp4" : ".mkv";
    const std::string dir = folder.empty() || folder.ends_with('/') ? folder : folder + "/";
    std::string path = dir + baseName + extension;
    struct stat st {};
    for (int n = 2; ::lstat(path.c_str(), &st) == 0; ++n)
        path = dir + baseName + " (" + std::to_string(n) + ")" + extension;
    return path;
}

ExportResult ExportRecording(const ExportRequest& request, const ExportProgress& progress)
{
    ExportResult result;
    const auto fail = [&](const std::string& why) {
        result.ok = false;
        result.error = why;
        return result;
    };
    Input input;
    if (std::string error = input.stream.open(request.partPaths); !error.empty())
        return fail(error);
    AvioPtr inIo = makeIo(&input, false, &Input::read, nullptr, &Input::seek);
    if (!inIo)
        return fail("out of memory.");
    AVFormatContext* inRaw = avformat_alloc_context();
    if (!inRaw)
        return fail("out of memory.");
    inRaw->pb = inIo.get();
    inRaw->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (const int error = avformat_open_input(&inRaw, nullptr, av_find_input_format("mpegts"), nullptr); error < 0)
        return fail("the recording cannot be read as a transport stream: " + avError(error) + ".");
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> in(inRaw, [](AVFormatContext* c) {
        avformat_close_input(&c);
    });
    // The streams' parameters come from their headers; no picture is decoded for them, so that a
    // damaged recording cannot take the decoder where it was never meant to go.
    std::vector<AVDictionary*> options(in->nb_streams, nullptr);
    for (AVDictionary*& option : options)
        av_dict_set(&option, "skip_frame", "all", 0);
    const int analysed = avformat_find_stream_info(in.get(), options.data());
    for (AVDictionary*& option : options)
        av_dict_free(&option);
    if (analysed < 0)
        return fail("the recording's streams cannot be told: " + avError(analysed) + ".");

    const char* muxer = request.format == ExportFormat::Mp4 ? "mp4" : "matroska";
    AVFormatContext* outRaw = nullptr;
    if (const int error = avformat_alloc_output_context2(&outRaw, nullptr, muxer, nullptr); error < 0 || !outRaw)
        return fail("cannot prepare the " + std::string(muxer) + " file: " + avError(error) + ".");
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> out(outRaw, avformat_free_context);

    // Each input stream the container takes gets an output stream; the others are said.
    std::vector<int> mapped(in->nb_streams, -1);
    int videoIndex = -1;
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVStream* from = in->streams[i];
        const AVCodecParameters* par = from->codecpar;
        const bool wanted = par->codec_type == AVMEDIA_TYPE_VIDEO || par->codec_type == AVMEDIA_TYPE_AUDIO ||
                            par->codec_type == AVMEDIA_TYPE_SUBTITLE;
        if (!wanted || par->codec_id == AV_CODEC_ID_NONE ||
            avformat_query_codec(out->oformat, par->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
            const AVCodecDescriptor* codec = avcodec_descriptor_get(par->codec_id);
            result.skipped.push_back(std::string(codec ? codec->name : kindOf(par->codec_type)) + " (stream " +
                                     std::to_string(i) + ")");
            continue;
        }
        AVStream* to = avformat_new_stream(out.get(), nullptr);
        if (!to || avcodec_parameters_copy(to->codecpar, par) < 0)
            return fail("out of memory.");
        to->codecpar->codec_tag = 0;
        to->time_base = from->time_base;
        av_dict_copy(&to->metadata, from->metadata, 0);
        mapped[i] = to->index;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && videoIndex < 0)
            videoIndex = static_cast<int>(i);
    }
    if (videoIndex < 0)
        return fail("the recording holds no video stream the container takes.");

    PendingFile file(request.outputPath);
    if (!file.ok())
        return fail("cannot write into the folder of " + request.outputPath + ": " + std::strerror(errno) + ".");
    Output output;
    output.fd = file.fd();
    AvioPtr outIo = makeIo(&output, true, nullptr, &Output::write, &Output::seek);
    if (!outIo)
        return fail("out of memory.");
    out->pb = outIo.get();
    out->flags |= AVFMT_FLAG_CUSTOM_IO;
    const auto writeFailed = [&](int error) {
        if (output.error != 0)
            return fail("cannot write " + request.outputPath + ": " + std::strerror(output.error) + ".");
        return fail("cannot write " + request.outputPath + ": " + avError(error) + ".");
    };
    if (const int error = avformat_write_header(out.get(), nullptr); error < 0)
        return writeFailed(error);

    AVPacket* packet = av_packet_alloc();
    if (!packet)
        return fail("out of memory.");
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> owned(packet, [](AVPacket* p) { av_packet_free(&p); });
    for (;;) {
        const int got = av_read_frame(in.get(), packet);
        if (got == AVERROR_EOF)
            break;
        if (got < 0) {
            if (!input.stream.error().empty())
                return fail(input.stream.error());
            return fail("the recording cannot be read on: " + avError(got) + ".");
        }
        const int from = packet->stream_index;
        if (from < 0 || static_cast<unsigned>(from) >= in->nb_streams || mapped[static_cast<std::size_t>(from)] < 0 ||
            packet->pts == AV_NOPTS_VALUE) {
            av_packet_unref(packet);
            continue;
        }
        if (from == videoIndex)
            ++result.videoPackets;
        AVStream* to = out->streams[mapped[static_cast<std::size_t>(from)]];
        av_packet_rescale_ts(packet, in->streams[from]->time_base, to->time_base);
        packet->stream_index = to->index;
        packet->pos = -1;
        if (const int error = av_interleaved_write_frame(out.get(), packet); error < 0)
            return writeFailed(error);
        if (progress && !progress(input.stream.position(), input.stream.size()))
            return fail("the export was stopped; nothing was written.");
    }
    if (const int error = av_write_trailer(out.get()); error < 0)
        return writeFailed(error);
    avio_flush(out->pb);
    if (output.error != 0)
        return writeFailed(0);
    if (const int error = file.commit(0644, PendingFile::Existing::Keep); error != 0)
        return fail("cannot put " + request.outputPath + " in place: " + std::strerror(error) + ".");
    result.bytesRead = input.stream.size();
    result.bytesWritten = output.end;
    result.ok = true;
    return result;
}

}  // namespace vmx
