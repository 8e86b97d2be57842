#include "convert/AdScan.h"

#include "common/UniqueFd.h"
#include "convert/ExportModuleLoader.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vmx {

namespace {

// The child tells its parent how far it has read ("P read total") as it goes and, at its end,
// what it measured, one item a line: "O ok", "E error", "R read", "C pictures", "D duration",
// "A has-audio", "G logo-found", "B start end" (black), "S start end" (silence),
// "K seconds shown" (a look at the logo), "F seconds format", "L offset length part" (skipped),
// and "Z" last. Times are written so that they read back exactly; texts have their line breaks
// replaced.
std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

std::string Number(double value)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value);
    return std::string(text, end.ptr);
}

void Say(int fd, const std::string& text)
{
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;  // the parent is gone
        done += static_cast<std::size_t>(n);
    }
}

std::string EncodeResult(const AdScanResult& result)
{
    const AdSignals& s = result.signals;
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
        text += "L " + std::to_string(lost.offset) + " " + std::to_string(lost.length) + " " + OneLine(lost.partPath) + "\n";
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
    AdSignals& s = result.signals;
    unsigned long long a = 0, b = 0;
    int used = 0;
    double x = 0, y = 0;
    std::string rest;
    switch (line[0]) {
    case 'P':
        if (std::sscanf(value.c_str(), "%llu %llu", &a, &b) == 2 && progress)
            return progress(a, b);
        return true;
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
        if (std::sscanf(value.c_str(), "%llu %llu %n", &a, &b, &used) == 2)
            result.lost.push_back({value.substr(static_cast<std::size_t>(used)), a, b});
        break;
    case 'Z': finished = true; break;
    default: break;
    }
    return true;
}

[[noreturn]] void RunChild(const std::vector<std::string>& partPaths, int reportFd)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::signal(SIGPIPE, SIG_IGN);
    const AdScanProgress tell = [&](std::uint64_t read, std::uint64_t total) {
        Say(reportFd, "P " + std::to_string(read) + " " + std::to_string(total) + "\n");
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
    Say(reportFd, EncodeResult(result));
    _exit(0);
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
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return fail(std::string("cannot start the analysis: ") + std::strerror(errno) + ".");
    UniqueFd reportRead(fds[0]), reportWrite(fds[1]);
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t pid = fork();
    if (pid < 0)
        return fail(std::string("cannot start the analysis: ") + std::strerror(errno) + ".");
    if (pid == 0)
        RunChild(partPaths, reportWrite.get());
    reportWrite.reset();

    std::uint64_t lastRead = 0, total = 0;
    const AdScanProgress watch = [&](std::uint64_t read, std::uint64_t all) {
        lastRead = read;
        total = all;
        return !progress || progress(read, all);
    };
    bool finished = false, stopped = false;
    std::string pending;
    char buffer[1 << 16];
    while (!stopped) {
        const ssize_t n = ::read(reportRead.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t start = 0;
        for (std::size_t end; !stopped && (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
            stopped = !DecodeLine(pending.substr(start, end - start), result, finished, watch);
        pending.erase(0, start);
    }
    if (stopped)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (stopped)
        return fail("the analysis was stopped.");
    if (!finished) {
        const std::string how = WIFSIGNALED(status) ? "with signal " + std::to_string(WTERMSIG(status))
                                                    : "with status " + std::to_string(WEXITSTATUS(status));
        return fail("the FFmpeg libraries stopped " + how + " at byte " + std::to_string(lastRead) + " of " +
                    std::to_string(total) + " of the recording; it may be damaged there.");
    }
    return result;
}

}  // namespace vmx
