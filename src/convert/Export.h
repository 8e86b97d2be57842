#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vmx {

// The containers a recording is exported into without re-encoding.
enum class ExportFormat { Mkv, Mp4 };

struct ExportRequest {
    std::vector<std::string> partPaths;  // the recording's part files, in record order
    std::string outputPath;              // the file to write (it must not exist)
    ExportFormat format = ExportFormat::Mkv;
};

struct ExportResult {
    bool ok = false;
    std::string error;              // why it stopped; nothing was left at outputPath then
    std::uint64_t bytesRead = 0;    // of the part files
    std::uint64_t bytesWritten = 0;
    std::int64_t videoPackets = 0;
    std::vector<std::string> skipped;  // streams the container cannot take ("teletext (stream 3)")
};

// Told the bytes of the part files read so far and their total; false stops the export.
using ExportProgress = std::function<bool(std::uint64_t read, std::uint64_t total)>;

// Puts the streams of the recording's transport stream, read from its part files as one stream
// (PartStream; nothing is joined on disk), into an MKV or MP4 file without re-encoding: the video,
// every audio track with its language, and the subtitles the container takes; the null packets a
// cut put in place of what it removed are not in any stream. The file is written under a hidden
// temporary name beside `outputPath` and renamed when complete; a failed or stopped export
// removes it.
ExportResult ExportRecording(const ExportRequest& request, const ExportProgress& progress = {});

// The output path for a recording in `folder`: `baseName` + ".mkv"/".mp4", with " (2)", " (3)" ...
// before the extension when such a file exists already.
std::string FreeExportPath(const std::string& folder, const std::string& baseName, ExportFormat format);

}  // namespace vmx
