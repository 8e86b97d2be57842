#include "convert/ExportChoice.h"

#include "common/FilePaths.h"
#include "recording/Merge.h"
#include "recording/PlaybackParts.h"
#include "recording/RecordDetails.h"

#include <cstring>

namespace vmx {

namespace {

const char* const kChoiceNames[] = {"AVI (mencoder)", "MKV, no re-encoding", "MP4, no re-encoding", "MP4 H.264/AAC",
                                    "MKV HEVC/AAC"};

const PictureSize kSizes[] = {
    {0, 0, "as recorded"}, {1920, 1080, "1920x1080"}, {1280, 720, "1280x720"}, {720, 576, "720x576"}, {640, 360, "640x360"},
};

void FillChoice(ExportJobOrder& order, const std::string& outputFolder, const EncodeSettings& settings)
{
    order.outputFolder = outputFolder;
    order.format = ContainerOf(OutputChoiceOf(settings));
    order.encode = EncodeOptionsOf(settings);
}

}  // namespace

std::span<const char* const> OutputChoiceNames()
{
    return kChoiceNames;
}

std::span<const PictureSize> PictureSizes()
{
    return kSizes;
}

OutputChoice OutputChoiceOf(const EncodeSettings& settings)
{
    const int index = settings.nOutputFormat;
    return index >= 0 && index < int(std::size(kChoiceNames)) ? static_cast<OutputChoice>(index) : OutputChoice::Avi;
}

bool IsExportChoice(OutputChoice choice)
{
    return choice != OutputChoice::Avi;
}

bool EncodesVideo(OutputChoice choice)
{
    return choice == OutputChoice::Mp4H264 || choice == OutputChoice::MkvHevc;
}

int QualityShown(const EncodeSettings& settings)
{
    if (settings.nExportQuality >= kMinQuality && settings.nExportQuality <= kMaxQuality)
        return settings.nExportQuality;
    return OutputChoiceOf(settings) == OutputChoice::MkvHevc ? 28 : 23;
}

std::string ExportPreview(const EncodeSettings& settings)
{
    const OutputChoice choice = OutputChoiceOf(settings);
    std::string text = ContainerOf(choice) == ExportFormat::Mp4 ? "MP4 file, " : "MKV file, ";
    if (!EncodesVideo(choice))
        return text + "video and sound copied as recorded (no re-encoding), through the export queue";
    const EncodeOptions options = EncodeOptionsOf(settings);
    text += options.video == ExportVideo::H264 ? "video encoded as H.264" : "video encoded as HEVC";
    text += " (CRF " + std::to_string(options.quality) + ", ";
    text += options.width > 0 ? std::to_string(options.width) + "x" + std::to_string(options.height) : "as recorded";
    return text + "), sound as AAC, through the export queue";
}

ExportFormat ContainerOf(OutputChoice choice)
{
    return choice == OutputChoice::Mp4Copy || choice == OutputChoice::Mp4H264 ? ExportFormat::Mp4 : ExportFormat::Mkv;
}

EncodeOptions EncodeOptionsOf(const EncodeSettings& settings)
{
    EncodeOptions options;
    const OutputChoice choice = OutputChoiceOf(settings);
    if (!EncodesVideo(choice))
        return options;
    options.video = choice == OutputChoice::Mp4H264 ? ExportVideo::H264 : ExportVideo::Hevc;
    options.quality = QualityShown(settings);
    if (settings.nExportSize > 0 && settings.nExportSize < int(std::size(kSizes))) {
        options.width = kSizes[settings.nExportSize].width;
        options.height = kSizes[settings.nExportSize].height;
    }
    return options;
}

ExportJobOrder ExportOfRecording(const RecordDetails& details, const std::string& outputFolder,
                                const EncodeSettings& settings)
{
    ExportJobOrder order;
    order.title = details.displayName;
    AVMRec record{};
    std::memcpy(record.name, details.nameField.data(), sizeof record.name);
    order.baseName = ExportBaseName(record);  // named as velmorix-cli export names it
    order.partPaths = PartPathsOf(details);
    FillChoice(order, outputFolder, settings);
    return order;
}

ExportJobOrder ExportOfFile(const std::string& path, const std::string& outputFolder, const EncodeSettings& settings)
{
    ExportJobOrder order;
    std::string name = FileNameOfPath(path);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.erase(dot);
    order.title = name;
    if (name.starts_with("[m]") && name.size() > 3)
        name.erase(0, 3);
    order.baseName = name;
    order.partPaths = {path};
    FillChoice(order, outputFolder, settings);
    return order;
}

}  // namespace vmx
