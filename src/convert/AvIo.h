#pragma once

#include "convert/PartStream.h"

#include <cstdint>
#include <memory>
#include <string>
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

// An open file as the multiplexer's output; MP4 goes back to write sizes, so it seeks.
struct FdOutput {
    int fd = -1;
    std::uint64_t position = 0;
    std::uint64_t end = 0;
    int error = 0;  // the errno value of the write that failed
    std::uint64_t handedOn = 0;  // the bytes given to the disk's writeback so far
    static int Write(void* opaque, const std::uint8_t* data, int size);
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);
};

struct AvioDeleter {
    void operator()(AVIOContext* io) const;
};
using AvioPtr = std::unique_ptr<AVIOContext, AvioDeleter>;
AvioPtr MakeReadIo(PartInput& input);
AvioPtr MakeWriteIo(FdOutput& output);

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
