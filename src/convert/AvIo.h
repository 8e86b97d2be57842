#pragma once

#include "convert/PartStream.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct AVFormatContext;
struct AVIOContext;

namespace vmx {

// The FFmpeg error `code` as words.
std::string AvError(int code);

// A recording's part files as the demultiplexer's input.
struct PartInput {
    PartStream stream;
    static int Read(void* opaque, std::uint8_t* data, int size);
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);
};

// An open file as the multiplexer's output. The bytes are gathered into blocks and written by a
// thread of its own, so that the kernel's work on them goes on beside the demultiplexing; the
// blocks are written in the order they were filled. MP4 goes back to write sizes, so it seeks.
class FdOutput {
public:
    FdOutput() = default;
    FdOutput(const FdOutput&) = delete;
    FdOutput& operator=(const FdOutput&) = delete;
    ~FdOutput();

    // Writes into `fd` (left open) from now on.
    void start(int fd);
    // Writes what is gathered and waits for the writer; the errno value of the first write that
    // failed, or 0. Later writes fail.
    int finish();
    // The errno value of the write that failed, or 0.
    int error() const { return m_error.load(); }
    // The length of the file as written.
    std::uint64_t end() const { return m_end; }

    static int Write(void* opaque, const std::uint8_t* data, int size);
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);

private:
    struct Block {
        std::uint64_t start = 0;
        std::vector<std::uint8_t> bytes;
    };
    void handOn();
    void writeBlocks();

    int m_fd = -1;
    std::uint64_t m_position = 0;
    std::uint64_t m_end = 0;
    Block m_block;  // the bytes gathered since the last hand-on, all in one stretch
    std::atomic<int> m_error{0};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Block> m_queue;  // under m_mutex
    std::size_t m_queued = 0;   // the bytes in m_queue, under m_mutex
    bool m_closing = false;     // under m_mutex
    std::uint64_t m_handedOn = 0;  // the writer's: the bytes given to the disk's writeback so far
    std::uint64_t m_written = 0;   // the writer's: the end of what it wrote
    std::thread m_writer;
};

struct AvioDeleter {
    void operator()(AVIOContext* io) const;
};
using AvioPtr = std::unique_ptr<AVIOContext, AvioDeleter>;
AvioPtr MakeReadIo(PartInput& input);
AvioPtr MakeWriteIo(FdOutput& output);

// avformat_write_header for an export's container. Matroska's optional CRC-32 elements are left
// out: players do not need them, and this libavutil's byte-wise CRC took a third of an export's time.
int WriteContainerHeader(AVFormatContext* out);

struct InputDeleter {
    void operator()(AVFormatContext* context) const;
};
struct OutputDeleter {
    void operator()(AVFormatContext* context) const;
};
using InputPtr = std::unique_ptr<AVFormatContext, InputDeleter>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputDeleter>;

// A transport stream read through `io` (which must outlive it); empty with `error` set.
InputPtr OpenTransportStream(AVIOContext* io, std::string& error);

// A transport stream read through `io` with its streams told (avformat_find_stream_info); empty
// with `error` set.
InputPtr OpenAnalysedTransportStream(AVIOContext* io, std::string& error);

}  // namespace vmx
