#include "convert/AdScan.h"

#include "convert/ChildWork.h"
#include "convert/ExportModuleLoader.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vmx {

namespace {

// The child tells its parent how far it has read ("P read total") as it goes and, at its end,
// what it measured, one item a line: "O ok", "E error", "R read", "C pictures", "D duration",
// "A has-audio", "G logo-found", "B start end" (black), "S start end" (silence),
// "K seconds shown" (a look at the logo), "F seconds format", "L offset length part" (skipped),
// and "Z" last. Times are written so that they read back exactly; texts have their line breaks
// replaced.
std::string Number(double value)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value);
    return std::string(text, end.ptr);
}

std::string EncodeResult(const AdScanResult& result)
{
    const AdSignals& s = result.measured;
    std::string text = "O " + std::to_string(result.ok ? 1 : 0) + "\nE " + OneLine(result.error) + "\n";
    text += "R " + std::to_string(result.bytesRead) + "\nC " + std::to_string(result.pictures) + "\n";
    text += "D " + Number(s.duration) + "\nA " + (s.hasAudio ? "1" : "0") + "\nG " + (s.logoFound ? "1" : "0") + "\n";
    for (const TimeSpan& span : s.black)
        text += "B " + Number(span.start) + " " + Number(span.end) + "\n";
    for (const TimeSpan& span : s.silence)
        text += "S " + Number(span.start) + " " + Number(span.end) + "\n";
    for (const LogoSample& look : s.logo)
        text += "K " + Number(look.seconds) + (look.present ? " 1\n" : " 0\n");
    for (const FormatMark& mark : s.formats)
        text += "F " + Number(mark.seconds) + " " + OneLine(mark.format) + "\n";
    for (const LostStretch& lost : result.lost)
        text += LostStretchLine(lost);
    return text + "Z\n";
}

// The numbers at the start of `text`, as many as `values` holds; the rest of the text after them
// in `rest`. False when they are not there.
bool Numbers(const std::string& text, std::initializer_list<double*> values, std::string* rest = nullptr)
{
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (double* value : values) {
        while (at < end && *at == ' ')
            ++at;
        const auto parsed = std::from_chars(at, end, *value);
        if (parsed.ec != std::errc())
            return false;
        at = parsed.ptr;
    }
    if (rest)
        *rest = std::string(at < end && *at == ' ' ? at + 1 : at, end);
    return true;
}

// Takes one line of the child into `result` and `progress`; false when the progress callback
// asked to stop. `finished` is set by the closing line.
bool DecodeLine(const std::string& line, AdScanResult& result, bool& finished, const AdScanProgress& progress)
{
    if (line.empty())
        return true;
    const std::string value = line.size() > 2 ? line.substr(2) : std::string();
    AdSignals& s = result.measured;
    double x = 0, y = 0;
    std::string rest;
    switch (line[0]) {
    case 'P':
        return HearProgress(value, progress);
    case 'O': result.ok = value == "1"; break;
    case 'E': result.error = value; break;
    case 'R': result.bytesRead = std::strtoull(value.c_str(), nullptr, 10); break;
    case 'C': result.pictures = std::strtoull(value.c_str(), nullptr, 10); break;
    case 'D': (void)Numbers(value, {&s.duration}); break;
    case 'A': s.hasAudio = value == "1"; break;
    case 'G': s.logoFound = value == "1"; break;
    case 'B':
    case 'S':
        if (Numbers(value, {&x, &y}))
            (line[0] == 'B' ? s.black : s.silence).push_back({x, y});
        break;
    case 'K':
        if (Numbers(value, {&x, &y}))
            s.logo.push_back({x, y != 0});
        break;
    case 'F':
        if (Numbers(value, {&x}, &rest))
            s.formats.push_back({x, rest});
        break;
    case 'L':
        if (LostStretch lost; ReadLostStretch(value, lost))
            result.lost.push_back(std::move(lost));
        break;
    case 'Z': finished = true; break;
    default: break;
    }
    return true;
}

void MeasureInChild(const std::vector<std::string>& partPaths, int reportFd)
{
    const AdScanProgress tell = [&](std::uint64_t read, std::uint64_t total) {
        SayToParent(reportFd, ProgressLine(read, total));
        return true;
    };
    AdScanResult result;
    const auto entry = reinterpret_cast<AdMeasureEntry>(
        ExportModuleEntryPoint(kAdMeasureEntry, "find advertising", result.error));
    if (entry != nullptr && !entry(kExportModuleVersion, &partPaths, &tell, &result)) {
        result = {};
        result.error = "the export module " + ExportModulePath() +
                       " belongs to another version of Velmorix; reinstall Velmorix to find advertising.";
    }
    SayToParent(reportFd, EncodeResult(result));
}

}  // namespace

AdScanResult ScanForAds(const std::vector<std::string>& partPaths, const AdScanProgress& progress)
{
    AdScanResult result;
    const auto fail = [&](const std::string& why) {
        result = AdScanResult{};
        result.error = why;
        return result;
    };
    std::uint64_t lastRead = 0, total = 0;
    const AdScanProgress watch = [&](std::uint64_t read, std::uint64_t all) {
        lastRead = read;
        total = all;
        return !progress || progress(read, all);
    };
    bool finished = false;
    const ChildOutcome outcome = RunChildWork([&](int reportFd) { MeasureInChild(partPaths, reportFd); },
                                              [&](const std::string& line) {
                                                  return DecodeLine(line, result, finished, watch);
                                              });
    if (!outcome.startError.empty())
        return fail("cannot start the analysis: " + outcome.startError + ".");
    if (outcome.stopped)
        return fail("the analysis was stopped.");
    if (!finished)
        return fail("the FFmpeg libraries stopped " + HowChildEnded(outcome.status) + " at byte " +
                    std::to_string(lastRead) + " of " + std::to_string(total) +
                    " of the recording; it may be damaged there.");
    return result;
}

}  // namespace vmx
