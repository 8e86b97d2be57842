#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vmx {

// The containers a recording is exported into.
enum class ExportFormat { Mkv, Mp4 };

// What becomes of the video: copied as it is, or encoded anew (with AAC audio).
enum class ExportVideo { Copy, H264, Hevc };

enum class Deinterlace { Auto, On, Off };

struct EncodeOptions {
    ExportVideo video = ExportVideo::Copy;
    int quality = -1;          // the encoder's constant quality (CRF); -1: its default (23 H.264, 28 HEVC)
    int width = 0;             // the picture size; 0: as recorded
    int height = 0;
    bool hardware = false;     // a VAAPI encoder where the machine has one
    Deinterlace deinterlace = Deinterlace::Auto;  // Auto: when the stream says it is interlaced
};

struct ExportRequest {
    std::vector<std::string> partPaths;  // the recording's part files, in record order
    std::string outputPath;              // the file to write (it must not exist)
    ExportFormat format = ExportFormat::Mkv;
    EncodeOptions encode;
};

// A stretch of the recording that could not be read (a damaged part): what was exported skips it.
struct LostStretch {
    std::string partPath;
    std::uint64_t offset = 0;  // within the part
    std::uint64_t length = 0;
};

// "bytes 0 to 65536 of /path/RF0001AA.TRP could not be read", for a warning.
std::string LostStretchText(const LostStretch& stretch);
// The line a child process tells its parent a lost stretch in: "L offset length part\n"; and the
// stretch read back from such a line's `value` (after "L "), false when it is not one.
std::string LostStretchLine(const LostStretch& stretch);
bool ReadLostStretch(const std::string& value, LostStretch& stretch);

struct ExportResult {
    bool ok = false;
    bool stopped = false;           // the progress callback asked to stop
    std::string outputPath;         // where the file was put: request.outputPath, or see ExportRecording
    std::string error;              // why it failed; nothing was left at outputPath then
    std::uint64_t bytesRead = 0;    // of the part files
    std::uint64_t bytesWritten = 0;
    std::int64_t videoPackets = 0;
    std::vector<std::string> skipped;  // streams the container cannot take ("teletext (stream 3)")
    std::vector<LostStretch> lost;
    std::vector<std::string> warnings;  // what went not quite as asked ("no VAAPI device ...; encoded with libx264 instead.")
};

// Told the bytes of the part files read so far and their total; false stops the export.
using ExportProgress = std::function<bool(std::uint64_t read, std::uint64_t total)>;

// Puts the recording's transport stream, read from its part files as one stream (PartStream;
// nothing is joined on disk), into an MKV or MP4 file: without re-encoding, the video, every audio
// track with its language and the subtitles the container takes; or, when `encode` asks for it,
// the video encoded anew as H.264 or HEVC with AAC audio. The null packets a cut put in place of
// what it removed are in no stream. A stretch of a part that cannot be read is skipped and said.
//
// The file is written under a hidden temporary name beside `outputPath` and renamed when
// complete; a failed or stopped export removes it. Where the file system refuses the name (FAT,
// exFAT and NTFS take only UTF-8 names, fusefat only ASCII ones) each character beyond ASCII
// becomes '_'; where a file took the name meanwhile a number is added, as FreeExportPath does. The FFmpeg libraries run in a child process,
// which loads them with the export module (lib/velmorix/modules/export.so beside the program's
// bin/ folder): a damaged recording that takes them down fails the export, not the program, and a
// missing or broken module fails it with a message that says so.
ExportResult ExportRecording(const ExportRequest& request, const ExportProgress& progress = {});

// The output path for a recording in `folder`: `baseName` + ".mkv"/".mp4", with " (2)", " (3)" ...
// before the extension when such a file exists already.
std::string FreeExportPath(const std::string& folder, const std::string& baseName, ExportFormat format);

}  // namespace vmx
