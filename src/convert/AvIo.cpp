#include "convert/AvIo.h"

#include "common/WriteAll.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <algorithm>
#include <cerrno>
#include <fcntl.h>

namespace vmx {

namespace {

constexpr int kBufferSize = 1 << 16;
constexpr std::uint64_t kWritebackStep = 16ull << 20;

// The new position of a seek from `whence` (SEEK_SET, SEEK_CUR, SEEK_END) or a negative error.
std::int64_t SeekTarget(std::int64_t offset, int whence, std::uint64_t current, std::uint64_t end)
{
    std::int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = static_cast<std::int64_t>(current); break;
    case SEEK_END: base = static_cast<std::int64_t>(end); break;
    default: return AVERROR(EINVAL);
    }
    return base + offset < 0 ? AVERROR(EINVAL) : base + offset;
}

AvioPtr MakeIo(void* opaque, bool write, int (*readFn)(void*, std::uint8_t*, int),
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

}  // namespace

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

int PartInput::Read(void* opaque, std::uint8_t* data, int size)
{
    auto* self = static_cast<PartInput*>(opaque);
    const long long got = self->stream.read(data, static_cast<std::size_t>(size));
    if (got < 0)
        return AVERROR(EIO);
    return got == 0 ? AVERROR_EOF : static_cast<int>(got);
}

std::int64_t PartInput::Seek(void* opaque, std::int64_t offset, int whence)
{
    auto* self = static_cast<PartInput*>(opaque);
    const std::uint64_t end = self->stream.size();
    if (whence == AVSEEK_SIZE)
        return static_cast<std::int64_t>(end);
    const std::int64_t target = SeekTarget(offset, whence, self->stream.position(), end);
    if (target < 0)
        return target;
    return static_cast<std::int64_t>(self->stream.seek(static_cast<std::uint64_t>(target)));
}

int FdOutput::Write(void* opaque, const std::uint8_t* data, int size)
{
    auto* self = static_cast<FdOutput*>(opaque);
    if (const int error = WriteAllAt(self->fd, data, static_cast<std::size_t>(size), self->position); error != 0) {
        self->error = error;
        return AVERROR(error);
    }
    self->position += static_cast<std::uint64_t>(size);
    self->end = std::max(self->end, self->position);
    // The disk starts writing what is written while the export goes on, so that the flush before
    // the file is put in place has little left to do.
    if (self->end >= self->handedOn + kWritebackStep) {
        (void)::sync_file_range(self->fd, static_cast<off_t>(self->handedOn),
                                static_cast<off_t>(self->end - self->handedOn), SYNC_FILE_RANGE_WRITE);
        self->handedOn = self->end;
    }
    return size;
}

std::int64_t FdOutput::Seek(void* opaque, std::int64_t offset, int whence)
{
    auto* self = static_cast<FdOutput*>(opaque);
    if (whence == AVSEEK_SIZE)
        return static_cast<std::int64_t>(self->end);
    const std::int64_t target = SeekTarget(offset, whence, self->position, self->end);
    if (target >= 0)
        self->position = static_cast<std::uint64_t>(target);
    return target;
}

void AvioDeleter::operator()(AVIOContext* io) const
{
    if (io) {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
}

AvioPtr MakeReadIo(PartInput& input)
{
    return MakeIo(&input, false, &PartInput::Read, nullptr, &PartInput::Seek);
}

AvioPtr MakeWriteIo(FdOutput& output)
{
    return MakeIo(&output, true, nullptr, &FdOutput::Write, &FdOutput::Seek);
}

void InputDeleter::operator()(AVFormatContext* context) const
{
    avformat_close_input(&context);
}

void OutputDeleter::operator()(AVFormatContext* context) const
{
    avformat_free_context(context);
}

InputPtr OpenTransportStream(AVIOContext* io, std::string& error)
{
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) {
        error = "out of memory.";
        return nullptr;
    }
    raw->pb = io;
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (const int code = avformat_open_input(&raw, nullptr, av_find_input_format("mpegts"), nullptr); code < 0) {
        error = "the recording cannot be read as a transport stream: " + AvError(code) + ".";
        return nullptr;  // avformat_open_input freed the context
    }
    return InputPtr(raw);
}

InputPtr OpenAnalysedTransportStream(AVIOContext* io, std::string& error)
{
    InputPtr in = OpenTransportStream(io, error);
    if (!in)
        return in;
    if (const int code = avformat_find_stream_info(in.get(), nullptr); code < 0) {
        error = "the recording's streams cannot be told: " + AvError(code) + ".";
        return nullptr;
    }
    return in;
}

}  // namespace vmx
