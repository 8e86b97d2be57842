#include "convert/AvIo.h"

#include "common/WriteAll.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace vmx {

namespace {

constexpr int kBufferSize = 1 << 16;
constexpr std::uint64_t kWritebackStep = 16ull << 20;
constexpr std::size_t kBlockSize = 1 << 20;       // the bytes the writer is handed at a time
constexpr std::size_t kQueueLimit = 8 * kBlockSize;  // the bytes waiting for the writer at most

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

FdOutput::~FdOutput()
{
    (void)finish();
}

void FdOutput::start(int fd)
{
    m_fd = fd;
    m_writer = std::thread([this] { writeBlocks(); });
}

int FdOutput::finish()
{
    if (m_writer.joinable()) {
        handOn();
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        m_writer.join();
    }
    return m_error.load();
}

void FdOutput::handOn()
{
    if (m_block.bytes.empty())
        return;
    std::unique_lock lock(m_mutex);
    // The queue holds a few blocks at most: memory stays small however slow the disk.
    m_changed.wait(lock, [&] { return m_queued < kQueueLimit || m_error.load() != 0; });
    m_queued += m_block.bytes.size();
    m_queue.push_back(std::move(m_block));
    m_block = Block{};
    lock.unlock();
    m_changed.notify_all();
}

void FdOutput::writeBlocks()
{
    for (;;) {
        Block block;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return !m_queue.empty() || m_closing; });
            if (m_queue.empty())
                return;
            block = std::move(m_queue.front());
            m_queue.pop_front();
            m_queued -= block.bytes.size();
        }
        m_changed.notify_all();
        if (m_error.load() != 0)
            continue;  // after a failure nothing more is written
        if (const int error = WriteAllAt(m_fd, block.bytes.data(), block.bytes.size(), block.start); error != 0) {
            m_error.store(error);
            m_changed.notify_all();
            continue;
        }
        m_written = std::max(m_written, block.start + block.bytes.size());
        // The disk starts writing what is written while the export goes on, so that the flush
        // before the file is put in place has little left to do.
        if (m_written >= m_handedOn + kWritebackStep) {
            (void)::sync_file_range(m_fd, static_cast<off_t>(m_handedOn), static_cast<off_t>(m_written - m_handedOn),
                                    SYNC_FILE_RANGE_WRITE);
            m_handedOn = m_written;
        }
    }
}

int FdOutput::Write(void* opaque, const std::uint8_t* data, int size)
{
    auto* self = static_cast<FdOutput*>(opaque);
    if (const int error = self->m_error.load(); error != 0)
        return AVERROR(error);
    if (!self->m_writer.joinable())
        return AVERROR(EBADF);
    Block& block = self->m_block;
    if (!block.bytes.empty() && self->m_position != block.start + block.bytes.size())
        self->handOn();  // a write elsewhere (after a seek) starts a block of its own
    if (block.bytes.empty()) {
        block.start = self->m_position;
        block.bytes.reserve(kBlockSize);
    }
    block.bytes.insert(block.bytes.end(), data, data + size);
    self->m_position += static_cast<std::uint64_t>(size);
    self->m_end = std::max(self->m_end, self->m_position);
    if (block.bytes.size() >= kBlockSize)
        self->handOn();
    return size;
}

std::int64_t FdOutput::Seek(void* opaque, std::int64_t offset, int whence)
{
    auto* self = static_cast<FdOutput*>(opaque);
    if (whence == AVSEEK_SIZE)
        return static_cast<std::int64_t>(self->m_end);
    const std::int64_t target = SeekTarget(offset, whence, self->m_position, self->m_end);
    if (target >= 0)
        self->m_position = static_cast<std::uint64_t>(target);
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

int WriteContainerHeader(AVFormatContext* out)
{
    AVDictionary* options = nullptr;
    if (std::strcmp(out->oformat->name, "matroska") == 0)
        av_dict_set(&options, "write_crc32", "0", 0);
    const int result = avformat_write_header(out, &options);
    av_dict_free(&options);
    return result;
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
