// export: a recording into an MKV or MP4 file, its streams copied as they are or encoded anew.

#include "cli/CliCommand.h"

#include "cli/ChangeReport.h"
#include "cli/CliSupport.h"
#include "cli/RecordingArgs.h"
#include "cli/TerminalUi.h"

#include "common/FilePaths.h"
#include "convert/Export.h"
#include "recording/Merge.h"
#include "recording/RecordingFiles.h"

#include <charconv>
#include <cstdio>
#include <functional>
#include <string_view>

namespace vmx::cli {

namespace {

// The whole of `text` as a number in [low, high]; -1 when it is not.
int NumberIn(std::string_view text, int low, int high)
{
    int value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high ? value : -1;
}

// The encode options of the command line ("--encode h264" and what goes with it) taken out of args.
vmx::EncodeOptions TakeEncodeOptions(Args& args)
{
    vmx::EncodeOptions options;
    const std::string encode = TakeOption(args, "--encode");
    const std::string quality = TakeOption(args, "--quality");
    const std::string size = TakeOption(args, "--size");
    options.hardware = TakeFlag(args, "--hw");
    const bool deinterlace = TakeFlag(args, "--deinterlace");
    const bool noDeinterlace = TakeFlag(args, "--no-deinterlace");
    if (encode.empty()) {
        if (!quality.empty() || !size.empty() || options.hardware || deinterlace || noDeinterlace)
            throw UsageError{"--quality, --size, --hw and --deinterlace go with --encode h264 or hevc"};
        return options;
    }
    if (encode != "h264" && encode != "hevc")
        throw UsageError{"--encode takes h264 or hevc"};
    options.video = encode == "h264" ? vmx::ExportVideo::H264 : vmx::ExportVideo::Hevc;
    if (!quality.empty() && (options.quality = NumberIn(quality, 0, 51)) < 0)
        throw UsageError{"--quality takes a number from 0 (best) to 51 (smallest)"};
    if (!size.empty()) {
        const std::size_t x = size.find('x');
        options.width = x == std::string::npos ? -1 : NumberIn(std::string_view(size).substr(0, x), 16, 4096);
        options.height = x == std::string::npos ? -1 : NumberIn(std::string_view(size).substr(x + 1), 16, 4096);
        if (options.width < 0 || options.height < 0 || options.width % 2 != 0 || options.height % 2 != 0)
            throw UsageError{"--size takes WIDTHxHEIGHT in even numbers from 16 to 4096, such as 1280x720"};
    }
    if (deinterlace && noDeinterlace)
        throw UsageError{"--deinterlace and --no-deinterlace exclude each other"};
    options.deinterlace = deinterlace ? vmx::Deinterlace::On : noDeinterlace ? vmx::Deinterlace::Off : vmx::Deinterlace::Auto;
    return options;
}

}  // namespace

int RunExport(const Args& input)
{
    Args args = input;
    const bool json = TakeFlag(args, "--json");
    const std::string format = TakeOption(args, "--format");
    const vmx::EncodeOptions encode = TakeEncodeOptions(args);
    ChangeReport report("export");
    if (args.size() != 3)
        throw UsageError{"name the database, one recording id and the output folder"};
    if (!format.empty() && format != "mkv" && format != "mp4")
        throw UsageError{"--format takes mkv or mp4"};
    const vmx::ExportFormat chosen = format == "mp4" ? vmx::ExportFormat::Mp4 : vmx::ExportFormat::Mkv;
    const vmx::LoadedPane& pane = LoadDatabase(args[0], vmx::kLeftSide, vmx::LoadIntent::Change);
    const int row = RowOfId(pane, args[1]);
    AVMRec record{};
    if (!pane.store.get(static_cast<unsigned>(row + 1), record))
        throw Failure{"recording " + args[1] + " cannot be read."};
    if (const std::string unsafe = vmx::UnsafePartsMessage(record, pane.dbPath); !unsafe.empty())
        throw Failure{unsafe};
    vmx::ExportRequest request;
    for (int i = 0; i < record.partCount; ++i)
        request.partPaths.push_back(vmx::PartPath(pane.folder, record, i));
    request.outputPath = vmx::FreeExportPath(args[2], vmx::ExportBaseName(record), chosen);
    request.format = chosen;
    request.encode = encode;
    const vmx::ExportResult result = [&] {
        PercentShown percent("Exporting", json);
        return vmx::ExportRecording(request, std::ref(percent));
    }();
    if (!result.ok)
        throw Failure{"nothing was exported: " + result.error};
    const bool encoded = encode.video != vmx::ExportVideo::Copy;
    std::string skipped;
    for (const std::string& stream : result.skipped)
        skipped += (skipped.empty() ? "" : ", ") + stream;
    // A damaged part: what could be read is in the file, and each stretch that could not is said.
    std::vector<std::string> lost;
    for (const vmx::LostStretch& stretch : result.lost)
        lost.push_back(vmx::LostStretchText(stretch) + "; the file skips them");
    if (!json) {
        for (const std::string& warning : result.warnings)
            std::fprintf(stderr, "velmorix-cli export: %s\n", warning.c_str());
        if (!skipped.empty())
            std::printf("%s: %s\n", encoded ? "Left out" : "Not taken by the container", skipped.c_str());
        for (const std::string& line : lost)
            std::fprintf(stderr, "velmorix-cli export: %s.\n", line.c_str());
        std::printf("%s\n", result.outputPath.c_str());
        return kExitOk;
    }
    report.json().key("database").value(pane.dbPath).key("id").value(static_cast<unsigned>(row + 1));
    report.json().key("format").value(format.empty() ? "mkv" : format);
    report.json().key("bytes").value(result.bytesWritten).key("video_packets").value(static_cast<std::uint64_t>(result.videoPackets));
    if (encoded)
        report.json().key("encode").value(encode.video == vmx::ExportVideo::H264 ? "h264" : "hevc");
    for (const std::string& warning : result.warnings)
        report.warning(warning);
    if (!skipped.empty())
        report.warning((encoded ? "left out: " : "not taken by the container: ") + skipped);
    for (const std::string& line : lost)
        report.warning(line);
    report.written(result.outputPath);
    report.print();
    return kExitOk;
}

}  // namespace vmx::cli
