#pragma once

#include "convert/EncodeSettings.h"
#include "convert/ExportQueue.h"

#include <span>
#include <string>

namespace vmx {

struct RecordDetails;

// What "Start Encoding" of the settings dialog makes: an AVI through mencoder as ever, or an
// MKV or MP4 file through the export queue, copied or encoded anew. Kept in
// EncodeSettings::nOutputFormat (the index of this list), with the quality and the picture size
// of the encoding ones.
enum class OutputChoice { Avi, MkvCopy, Mp4Copy, Mp4H264, MkvHevc };

// The format list's entries, in OutputChoice order.
std::span<const char* const> OutputChoiceNames();

struct PictureSize {
    int width;  // 0: as recorded
    int height;
    const char* text;
};
// The picture sizes offered for the encoding choices (EncodeSettings::nExportSize is the index).
std::span<const PictureSize> PictureSizes();

inline constexpr int kMinQuality = 0;
inline constexpr int kMaxQuality = 51;

// The choice the settings hold (an index out of range reads as the AVI).
OutputChoice OutputChoiceOf(const EncodeSettings& settings);
// True for the choices that go through the export queue, and for those that encode the video.
bool IsExportChoice(OutputChoice choice);
bool EncodesVideo(OutputChoice choice);
// The quality shown for an encoding choice: the one set, else the encoder's default (23 for
// H.264, 28 for HEVC).
int QualityShown(const EncodeSettings& settings);

// What the dialog's preview says of an export choice instead of a mencoder command line:
// "MP4 file, video encoded as H.264 (CRF 23, 1280x720), sound as AAC, through the export queue".
std::string ExportPreview(const EncodeSettings& settings);

// The container and encoder options of an export choice.
ExportFormat ContainerOf(OutputChoice choice);
EncodeOptions EncodeOptionsOf(const EncodeSettings& settings);

// The export of a recording of a pane: its name as title, its file named by ExportBaseName, its
// part files. Empty part paths when one of its part names is not a plain
// part name (it is then not exported).
ExportJobOrder ExportOfRecording(const RecordDetails& details, const std::string& outputFolder,
                                const EncodeSettings& settings);
// The export of a file listed as a source: the file is the recording's one part; its name,
// without a leading "[m]" and its extension, names the output.
ExportJobOrder ExportOfFile(const std::string& path, const std::string& outputFolder, const EncodeSettings& settings);

}  // namespace vmx
