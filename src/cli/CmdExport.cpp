// export: a recording into an MKV or MP4 file, its streams copied without re-encoding.

#include "cli/CliCommand.h"

#include "cli/ChangeReport.h"
#include "cli/CliSupport.h"
#include "cli/RecordingArgs.h"
#include "cli/TerminalUi.h"

#include "common/FilePaths.h"
#include "convert/Export.h"
#include "recording/Merge.h"
#include "recording/RecordingFiles.h"

#include <cstdio>

namespace vmx::cli {

namespace {

// Takes "--name VALUE" out of args; empty when it was not there.
std::string takeValue(Args& args, const std::string& name)
{
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == name) {
            std::string value = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            return value;
        }
    }
    return {};
}

}  // namespace

int RunExport(const Args& input)
{
    Args args = input;
    const bool json = TakeFlag(args, "--json");
    const std::string format = takeValue(args, "--format");
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
    int shown = -1;
    const vmx::ExportResult result = vmx::ExportRecording(request, [&](std::uint64_t done, std::uint64_t total) {
        const int percent = total ? static_cast<int>(done * 100 / total) : 100;
        if (!json && percent != shown) {
            shown = percent;
            std::fprintf(stderr, "\rExporting: %d%%", percent);
        }
        return true;
    });
    if (!json && shown >= 0)
        std::fprintf(stderr, "\n");
    if (!result.ok)
        throw Failure{"nothing was exported: " + result.error};
    std::string skipped;
    for (const std::string& stream : result.skipped)
        skipped += (skipped.empty() ? "" : ", ") + stream;
    // A damaged part: what could be read is in the file, and each stretch that could not is said.
    std::vector<std::string> lost;
    for (const vmx::LostStretch& stretch : result.lost)
        lost.push_back("bytes " + std::to_string(stretch.offset) + " to " + std::to_string(stretch.offset + stretch.length) +
                       " of " + stretch.partPath + " could not be read; the file skips them");
    if (!json) {
        if (!skipped.empty())
            std::printf("Not taken by the container: %s\n", skipped.c_str());
        for (const std::string& line : lost)
            std::fprintf(stderr, "velmorix-cli export: %s.\n", line.c_str());
        std::printf("%s\n", result.outputPath.c_str());
        return kExitOk;
    }
    report.json().key("database").value(pane.dbPath).key("id").value(static_cast<unsigned>(row + 1));
    report.json().key("format").value(format.empty() ? "mkv" : format);
    report.json().key("bytes").value(result.bytesWritten).key("video_packets").value(static_cast<std::uint64_t>(result.videoPackets));
    if (!skipped.empty())
        report.warning("not taken by the container: " + skipped);
    for (const std::string& line : lost)
        report.warning(line);
    report.written(result.outputPath);
    report.print();
    return kExitOk;
}

}  // namespace vmx::cli
