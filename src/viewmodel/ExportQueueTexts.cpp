#include "viewmodel/ExportQueueTexts.h"

#include "convert/ExportChoice.h"
#include "recording/TransferRate.h"

#include <cmath>
#include <cstdio>

namespace vmx {

std::string ExportFormatText(const ExportJobOrder& order)
{
    OutputChoice choice = order.format == ExportFormat::Mp4 ? OutputChoice::Mp4Copy : OutputChoice::MkvCopy;
    if (order.encode.video == ExportVideo::H264)
        choice = OutputChoice::Mp4H264;
    else if (order.encode.video == ExportVideo::Hevc)
        choice = OutputChoice::MkvHevc;
    std::string text = OutputChoiceNames()[static_cast<std::size_t>(choice)];
    // An encoding into the other container than the list offers it in says so.
    if (choice == OutputChoice::Mp4H264 && order.format == ExportFormat::Mkv)
        text = "MKV H.264/AAC";
    else if (choice == OutputChoice::MkvHevc && order.format == ExportFormat::Mp4)
        text = "MP4 HEVC/AAC";
    return text;
}

std::string ExportSpeedText(double bytesPerSecond)
{
    if (!(bytesPerSecond > 0))
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB/s", bytesPerSecond / 1e6);
    return text;
}

std::string ExportTimeLeftText(double seconds)
{
    if (!(seconds >= 0))
        return {};
    return DurationText(std::chrono::seconds(static_cast<long long>(std::ceil(seconds)))) + " left";
}

std::string ExportStateText(const ExportJob& job)
{
    if (job.state == ExportJobState::Failed && !job.message.empty())
        return std::string(ExportJobStateName(job.state)) + ": " + job.message;
    return ExportJobStateName(job.state);
}

}  // namespace vmx
