// ads: the blocks of advertising a recording holds, proposed for the user to check and cut.

#include "cli/CliCommand.h"

#include "cli/ChangeReport.h"
#include "cli/CliSupport.h"
#include "cli/RecordingArgs.h"

#include "common/FilePaths.h"
#include "convert/AdScan.h"
#include "recording/AdStretches.h"
#include "recording/EdlFile.h"
#include "recording/RecordingFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <unistd.h>

namespace vmx::cli {

namespace {

// "h:mm:ss.s", or "m:ss.s" below an hour.
std::string Clock(double seconds)
{
    const auto tenths = static_cast<long long>(seconds * 10 + 0.5);
    const long long h = tenths / 36000, m = tenths / 600 % 60, s = tenths / 10 % 60, t = tenths % 10;
    char text[48];
    if (h > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%lld", h, m, s, t);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld.%lld", m, s, t);
    return text;
}

// The value of "--name SECONDS" when it is there, else `fallback`.
double TakeSeconds(Args& args, const std::string& name, double fallback)
{
    const std::string text = TakeOption(args, name);
    if (text.empty())
        return fallback;
    const double value = ParseSeconds(text, name.c_str());
    if (!(value > 0))
        throw UsageError{name + " takes a number of seconds above 0"};
    return value;
}

}  // namespace

int RunAds(const Args& input)
{
    Args args = input;
    const bool json = TakeFlag(args, "--json");
    const std::string edl = TakeOption(args, "--edl");
    vmx::AdSettings settings;
    settings.minBlock = TakeSeconds(args, "--min-block", settings.minBlock);
    settings.maxBlock = TakeSeconds(args, "--max-block", settings.maxBlock);
    settings.minProgramme = TakeSeconds(args, "--min-programme", settings.minProgramme);
    ChangeReport report("ads");
    if (args.size() != 2)
        throw UsageError{"name the database and one recording id"};
    if (settings.minBlock > settings.maxBlock)
        throw UsageError{"--min-block must not exceed --max-block"};
    const vmx::LoadedPane& pane = LoadDatabase(args[0], vmx::kLeftSide, vmx::LoadIntent::Look);
    const int row = RowOfId(pane, args[1]);
    AVMRec record{};
    if (!pane.store.get(static_cast<unsigned>(row + 1), record))
        throw Failure{"recording " + args[1] + " cannot be read."};
    if (const std::string unsafe = vmx::UnsafePartsMessage(record, pane.dbPath); !unsafe.empty())
        throw Failure{unsafe};
    // An EDL that could not be written is found out before the analysis, not after it.
    if (!edl.empty()) {
        const std::string folder = vmx::FolderOfPath(edl);
        if (::access(folder.empty() ? "." : folder.c_str(), W_OK) != 0)
            throw Failure{"cannot write " + edl + ": " + std::strerror(errno) + "."};
    }
    std::vector<std::string> parts;
    for (int i = 0; i < record.partCount; ++i)
        parts.push_back(vmx::PartPath(pane.folder, record, i));

    const vmx::AdScanResult scan = [&] {
        PercentShown percent("Analysing", json);
        return vmx::ScanForAds(parts, std::ref(percent));
    }();
    if (!scan.ok)
        throw Failure{"recording " + args[1] + " cannot be analysed: " + scan.error};
    const std::vector<vmx::AdStretch> stretches = vmx::ProposeAdStretches(scan.measured, settings);

    std::vector<std::string> lost;
    for (const vmx::LostStretch& stretch : scan.lost)
        lost.push_back(vmx::LostStretchText(stretch) + "; the analysis skipped them");
    if (!edl.empty()) {
        std::vector<vmx::EdlEntry> entries;
        for (const vmx::AdStretch& s : stretches)
            entries.push_back({s.start, s.end, vmx::EdlEntry::kEdlCommercial});
        if (const std::string error = vmx::WriteEdlFile(edl, entries); !error.empty())
            throw Failure{error};
    }
    if (!json) {
        for (const std::string& line : lost)
            std::fprintf(stderr, "velmorix-cli ads: %s.\n", line.c_str());
        for (const vmx::AdStretch& s : stretches)
            std::printf("%s - %s  %6.1f s  score %.2f\n", Clock(s.start).c_str(), Clock(s.end).c_str(), s.end - s.start,
                        s.score);
        std::printf("%zu block%s of advertising proposed in %s of recording%s\n", stretches.size(),
                    stretches.size() == 1 ? "" : "s", Clock(scan.measured.duration).c_str(),
                    scan.measured.logoFound ? " (a channel logo was found)" : "");
        if (!edl.empty())
            std::printf("%s\n", edl.c_str());
        return kExitOk;
    }
    report.json().key("database").value(pane.dbPath).key("id").value(static_cast<unsigned>(row + 1));
    report.json().key("duration").decimal(scan.measured.duration);
    report.json().key("logo").boolean(scan.measured.logoFound);
    report.json().key("stretches").beginArray();
    for (const vmx::AdStretch& s : stretches)
        report.json().beginObject().key("start").decimal(s.start).key("end").decimal(s.end).key("score").decimal(s.score).endObject();
    report.json().endArray();
    for (const std::string& line : lost)
        report.warning(line);
    if (!edl.empty())
        report.written(edl);
    report.print();
    return kExitOk;
}

}  // namespace vmx::cli
