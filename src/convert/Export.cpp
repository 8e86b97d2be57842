#include "convert/Export.h"

#include "common/FilePaths.h"
#include "common/PendingFile.h"
#include "convert/ChildWork.h"
#include "convert/ExportModuleLoader.h"
#include "convert/ExportSteps.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vmx {

std::string LostStretchText(const LostStretch& stretch)
{
    return "bytes " + std::to_string(stretch.offset) + " to " + std::to_string(stretch.offset + stretch.length) + " of " +
           stretch.partPath + " could not be read";
}

std::string LostStretchLine(const LostStretch& stretch)
{
    return "L " + std::to_string(stretch.offset) + " " + std::to_string(stretch.length) + " " + OneLine(stretch.partPath) +
           "\n";
}

bool ReadLostStretch(const std::string& value, LostStretch& stretch)
{
    unsigned long long offset = 0, length = 0;
    int used = 0;
    if (std::sscanf(value.c_str(), "%llu %llu %n", &offset, &length, &used) != 2)
        return false;
    stretch = {value.substr(static_cast<std::size_t>(used)), offset, length};
    return true;
}

namespace {

// The child tells its parent how far it has read ("P read total") as it goes and, at its end,
// the result, one field a line: "O ok", "E error", "R read", "W written", "V packets",
// "S skipped stream", "L offset length part", "N warning". Texts have their line breaks replaced.
std::string EncodeResult(const ExportResult& result)
{
    std::string text = "O " + std::to_string(result.ok ? 1 : 0) + "\n";
    text += "E " + OneLine(result.error) + "\n";
    text += "R " + std::to_string(result.bytesRead) + "\nW " + std::to_string(result.bytesWritten) + "\n";
    text += "V " + std::to_string(result.videoPackets) + "\n";
    for (const std::string& stream : result.skipped)
        text += "S " + OneLine(stream) + "\n";
    for (const LostStretch& lost : result.lost)
        text += LostStretchLine(lost);
    for (const std::string& warning : result.warnings)
        text += "N " + OneLine(warning) + "\n";
    return text + "Z\n";
}

// Takes one line of the child into `result` and `progress`; false when the progress callback
// asked to stop. `finished` is set by the closing line.
bool DecodeLine(const std::string& line, ExportResult& result, bool& finished, const ExportProgress& progress)
{
    if (line.size() < 1)
        return true;
    const std::string value = line.size() > 2 ? line.substr(2) : std::string();
    switch (line[0]) {
    case 'P':
        return HearProgress(value, progress);
    case 'O': result.ok = value == "1"; break;
    case 'E': result.error = value; break;
    case 'R': result.bytesRead = std::strtoull(value.c_str(), nullptr, 10); break;
    case 'W': result.bytesWritten = std::strtoull(value.c_str(), nullptr, 10); break;
    case 'V': result.videoPackets = std::strtoll(value.c_str(), nullptr, 10); break;
    case 'S': result.skipped.push_back(value); break;
    case 'L':
        if (LostStretch lost; ReadLostStretch(value, lost))
            result.lost.push_back(std::move(lost));
        break;
    case 'N': result.warnings.push_back(value); break;
    case 'Z': finished = true; break;
    default: break;
    }
    return true;
}

// `path`, or where a file stands there, the path with " (2)", " (3)" ... before its extension.
std::string FreePath(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const std::size_t cut = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot : path.size();
    std::string stem = path.substr(0, cut);
    // A path that is already numbered counts on from its number.
    if (stem.ends_with(')')) {
        const std::size_t open = stem.rfind(" (");
        if (open != std::string::npos && open + 3 < stem.size() &&
            stem.find_first_not_of("0123456789", open + 2) == stem.size() - 1)
            stem.erase(open);
    }
    std::string candidate = path;
    struct stat st {};
    for (int n = 2; ::lstat(candidate.c_str(), &st) == 0; ++n)
        candidate = stem + " (" + std::to_string(n) + ")" + path.substr(cut);
    return candidate;
}

// The path with each character of its file name beyond ASCII made '_' (one for the bytes of a
// UTF-8 character, one for any other byte above 0x7F), for a disk that takes only ASCII names.
std::string PlainPath(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::string plain = path.substr(0, start);
    for (std::size_t i = start; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        const bool continues = byte >= 0x80 && byte < 0xC0 && i > start && static_cast<unsigned char>(path[i - 1]) >= 0x80;
        if (byte < 0x80)
            plain += path[i];
        else if (!continues)
            plain += '_';
    }
    return plain;
}

void ExportInChild(const ExportRequest& request, int outFd, int reportFd)
{
    std::uint64_t said = 0;
    const ExportProgress tell = [&](std::uint64_t read, std::uint64_t total) {
        if (read >= said + (1u << 20) || read == total) {  // a line every MiB read
            said = read;
            SayToParent(reportFd, ProgressLine(read, total));
        }
        return true;
    };
    ExportResult result;
    const auto entry = reinterpret_cast<ExportModuleEntry>(
        ExportModuleEntryPoint(kExportModuleEntry, "export recordings", result.error));
    if (entry != nullptr && !entry(kExportModuleVersion, &request, outFd, &tell, &result)) {
        result = {};
        result.error = "the export module " + ExportModulePath() +
                       " belongs to another version of Velmorix; reinstall Velmorix to export recordings.";
    }
    SayToParent(reportFd, EncodeResult(result));
}

}  // namespace

std::string FreeExportPath(const std::string& folder, const std::string& baseName, ExportFormat format)
{
    const std::string dir = folder.empty() || folder.ends_with('/') ? folder : folder + "/";
    return FreePath(dir + baseName + (format == ExportFormat::Mp4 ? ".mp4" : ".mkv"));
}

namespace {

// One export into request.outputPath. `dropped` is set when the file system refused the name and
// took the finished file with it (fusefat does); it can then only be written again.
ExportResult ExportOnce(const ExportRequest& request, const ExportProgress& progress, bool& dropped)
{
    ExportResult result;
    const auto fail = [&](const std::string& why) {
        result.ok = false;
        result.error = why;
        return result;
    };
    // What an export killed before its end left in the folder goes first.
    (void)PendingFile::RemoveAbandoned(FolderOfPath(request.outputPath));
    PendingFile file(request.outputPath);
    if (!file.ok())
        return fail("cannot write into the folder of " + request.outputPath + ": " + std::strerror(errno) + ".");
    std::uint64_t lastRead = 0, total = 0;
    const ExportProgress watch = [&](std::uint64_t read, std::uint64_t all) {
        lastRead = read;
        total = all;
        return !progress || progress(read, all);
    };
    bool finished = false;
    const ChildOutcome outcome = RunChildWork([&](int reportFd) { ExportInChild(request, file.fd(), reportFd); },
                                              [&](const std::string& line) {
                                                  return DecodeLine(line, result, finished, watch);
                                              });
    if (!outcome.startError.empty())
        return fail("cannot start the export: " + outcome.startError + ".");
    if (outcome.stopped) {
        result.stopped = true;
        return fail("the export was stopped.");
    }
    if (!finished)
        return fail("the FFmpeg libraries stopped " + HowChildEnded(outcome.status) + " at byte " +
                    std::to_string(lastRead) + " of " + std::to_string(total) +
                    " of the recording; it may be damaged there.");
    if (!result.ok)
        return result;
    result.outputPath = request.outputPath;
    int error = file.commit(0644, PendingFile::Existing::Keep);
    if ((error == EPERM || error == EILSEQ || error == EINVAL) && PlainPath(result.outputPath) != result.outputPath) {
        result.outputPath = FreePath(PlainPath(result.outputPath));
        file.retarget(result.outputPath);
        error = file.commit(0644, PendingFile::Existing::Keep);
        dropped = error == ENOENT;
    }
    for (int tries = 0; error == EEXIST && tries < 100; ++tries) {
        result.outputPath = FreePath(result.outputPath);
        file.retarget(result.outputPath);
        error = file.commit(0644, PendingFile::Existing::Keep);
    }
    if (error != 0)
        return fail("cannot put " + result.outputPath + " in place: " + std::strerror(error) + ".");
    return result;
}

}  // namespace

ExportResult ExportRecording(const ExportRequest& request, const ExportProgress& progress)
{
    bool dropped = false;
    ExportResult result = ExportOnce(request, progress, dropped);
    if (!dropped)
        return result;
    ExportRequest plain = request;
    plain.outputPath = FreePath(PlainPath(request.outputPath));
    return ExportOnce(plain, progress, dropped);
}

}  // namespace vmx
