#include "EncodeRun.h"

#include "EncodeSettings.h"
#include "FileHelpers.h"
#include "JobScript.h"
#include "SettingTexts.h"

#include "common/FilePaths.h"
#include "common/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace vmx {

namespace {

constexpr const char* kVideoPatterns =
    "*.mpeg;*.mpg;*.dat;*.mpe;*.mpv2;*.mp2v;*.m1v;*.m2v;*.mp4;*.k3g*.vob;*.trp;*.tp;*.ts;*.avi;*.divx;*.asx;"
    "*.wmx;*.wvx;*.asf;*.wm;*.wmv;*.wmd;*.rm;*.rmvb;*.ram;*.mov;*.ivf;*.ogm;*.mkv;*.vp6;*.xvd;";
constexpr std::size_t kKeptLines = 6;

bool hasContent(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

// True for a name that exists but is no regular file (a FIFO, a device, a folder).
bool isSpecialFile(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

void removeFile(const std::string& path)
{
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

// Why the source cannot be read, or empty when it can.
std::string unreadable(const std::string& path)
{
    vmx::UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    return fd.ok() ? std::string() : std::strerror(errno);
}

// The program a run's jobs run, as the user knows it.
const char* encoderName(RunKind kind)
{
    return kind == RunKind::Encode ? "mencoder" : "mplayer";
}

// The line among the encoder's last ones that says why it failed: the last one that is neither
// its banner nor its closing words.
std::string reasonLine(const std::vector<std::string>& lines)
{
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        std::string line = *it;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        line.erase(0, line.find_first_not_of(" \t"));
        if (line.empty() || line.starts_with("Exiting") || line.starts_with("MEncoder ") ||
            line.starts_with("MPlayer "))
            continue;
        return line;
    }
    return {};
}

}  // namespace

std::string EncoderFailure(const std::string& encoder, const ChildExit& exit, const std::vector<std::string>& lines)
{
    const std::string program = "the encoder " + encoder;
    // The job script runs the encoder through sh, which ends with 127 when it cannot find the
    // program and with 126 when it cannot run it.
    if (exit.exitCode == 127)
        return program + " is not installed: it is neither beside the program nor in PATH";
    if (exit.signal != 0) {
        const char* name = strsignal(exit.signal);
        return program + " was ended by signal " + std::to_string(exit.signal) +
               (name ? std::string(" (") + name + ")" : std::string());
    }
    // An encoder that says it succeeded has nothing to say about what it did not write.
    if (exit.exitCode <= 0)
        return program + " ended without writing any output";
    std::string text = exit.exitCode == 126 ? program + " cannot be run"
                                            : program + " failed with exit code " + std::to_string(exit.exitCode);
    if (const std::string reason = reasonLine(lines); !reason.empty())
        text += ": " + reason;
    return text;
}

bool RunOutcome::allDone() const
{
    if (cancelled || !error.empty() || jobs.empty())
        return false;
    for (const auto& job : jobs) {
        if (job.status != JobOutcome::Status::Done)
            return false;
    }
    return true;
}

// One run: what it was started with, how far it has got and what came of it. The thread that
// starts the run and, after it, the waiter threads of its jobs (one at a time) work on it; the
// user-interface thread reads its atomic fields.
struct EncodeRun::Run {
    RunKind kind = RunKind::Encode;
    std::string destFolder;
    std::string prefix;
    EncodeSettings settings;
    std::atomic<bool> running{true};
    std::atomic<bool> cancel{false};
    std::atomic<std::size_t> index{0};
    std::atomic<std::int64_t> completedBytes{0};
    std::atomic<std::int64_t> currentSize{0};
    std::atomic<int> jobPercent{0};
    std::atomic<int> progress{0};
    std::string currentOutput;   // where the current job's result goes once it has finished
    std::string currentPartial;  // the file its encoder writes meanwhile
    RunOutcome outcome;          // complete once `running` is false; nothing changes it after that
};

EncodeRun::EncodeRun() = default;

EncodeRun::~EncodeRun()
{
    stop();
}

std::shared_ptr<EncodeRun::Run> EncodeRun::currentRun() const
{
    std::lock_guard lock(m_runMutex);
    return m_run;
}

bool EncodeRun::isRunning() const
{
    const auto run = currentRun();
    return run && run->running;
}

std::size_t EncodeRun::currentJobIndex() const
{
    const auto run = currentRun();
    return run ? run->index.load() : 0;
}

int EncodeRun::jobPercent() const
{
    const auto run = currentRun();
    return run ? run->jobPercent.load() : 0;
}

void EncodeRun::setJobPercent(int percent)
{
    if (const auto run = currentRun())
        run->jobPercent = percent;
}

void EncodeRun::setDestination(const std::string& folder, const std::string& prefix)
{
    m_destFolder = folder;
    m_prefix = prefix;
}

EncodeRun::AddResult EncodeRun::addSourceFile(const std::string& path)
{
    if (path.empty())
        return AddResult::IgnoredExtension;  // no file: a job would only fail
    const std::string ext = ToLowerAscii(PathExtension(path));
    if (std::string_view(kVideoPatterns).find(ext) == std::string_view::npos)
        return AddResult::IgnoredExtension;
    if (path.find('?') != std::string::npos)
        return AddResult::UnicodeProblem;
    EncodeJob job{path, FileSizeOf(path)};
    m_totalBytes += job.size;
    std::lock_guard lock(m_jobsMutex);
    m_jobs.push_back(std::move(job));
    return AddResult::Added;
}

std::vector<std::string> EncodeRun::videoFilePatterns()
{
    // Each pattern runs from its '*' to the next '*' or ';' (the list lacks one ';').
    std::vector<std::string> patterns;
    const std::string_view list(kVideoPatterns);
    for (std::size_t star = list.find('*'); star != std::string_view::npos;) {
        const std::size_t end = list.find_first_of("*;", star + 1);
        patterns.emplace_back(list.substr(star, end - star));
        star = list.find('*', star + 1);
    }
    return patterns;
}

std::vector<EncodeJob> EncodeRun::jobs() const
{
    std::lock_guard lock(m_jobsMutex);
    return m_jobs;
}

EncodeJob EncodeRun::jobAt(std::size_t index) const
{
    std::lock_guard lock(m_jobsMutex);
    return m_jobs.at(index);
}

std::size_t EncodeRun::jobCount() const
{
    std::lock_guard lock(m_jobsMutex);
    return m_jobs.size();
}

EncodeRun::StartCheck EncodeRun::checkStart(RunKind kind, std::string& firstOutput) const
{
    if (isRunning())
        return StartCheck::Running;
    if (jobCount() == 0)
        return StartCheck::NoSources;
    if (!FolderExists(m_destFolder))
        return StartCheck::InvalidFolder;
    firstOutput = OutputPathFor(jobAt(0).sourcePath, m_destFolder, m_prefix,
                                kind == RunKind::Encode ? ".avi" : ".mp3");
    return FileExists(firstOutput) ? StartCheck::AskOverwrite : StartCheck::Ok;
}

bool EncodeRun::start(RunKind kind)
{
    if (isRunning() || jobCount() == 0)
        return false;
    const auto run = std::make_shared<Run>();
    run->kind = kind;
    run->destFolder = m_destFolder;
    run->prefix = m_prefix;
    run->settings = CurrentEncodeSettings();
    {
        std::lock_guard lock(m_runMutex);
        m_run = run;
    }
    // What runs of killed programs left (their partial outputs, their folders) goes first.
    (void)vmx::RemoveDeadRuns();
    if (std::string problem = m_folder.create(); !problem.empty()) {
        endRun(*run, std::move(problem));
        return false;
    }
    // The encoder holds the run folder's lock with this program: a new run takes the folder for
    // a dead run's only once both have gone.
    m_runner.KeepOpenInChildren(m_folder.lockFd());
    return startJob(*run);
}

bool EncodeRun::startJob(Run& run)
{
    if (!run.running)
        return false;
    if (run.cancel) {
        endRun(run, {});
        return false;
    }
    const EncodeJob job = jobAt(run.index);
    m_output.Clear();
    {
        std::lock_guard lock(m_linesMutex);
        m_lastLines.clear();
    }
    run.currentSize = FileSizeOf(job.sourcePath);
    run.jobPercent = 0;
    // A finished job's file replaces whatever stands at its output's place, so a job whose
    // output is its source is not run at all (an empty prefix and the source's own folder as
    // destination turn "a.avi" into itself).
    const std::string output = OutputPathFor(job.sourcePath, run.destFolder, run.prefix,
                                             run.kind == RunKind::Encode ? ".avi" : ".mp3");
    if (vmx::IsSameFile(output, job.sourcePath))
        return refuseJob(run, job, output, "the output file would overwrite its source");
    // The encoder would wait forever on a FIFO that nobody writes into.
    if (isSpecialFile(job.sourcePath))
        return refuseJob(run, job, output, "it is not a regular file");
    // The encoder would say no more than that it cannot open its input.
    if (const std::string reason = unreadable(job.sourcePath); !reason.empty())
        return refuseJob(run, job, output, "it cannot be read: " + reason);
    const PreparedJob prepared =
        run.kind == RunKind::Encode
            ? PrepareEncodingJob(job.sourcePath, run.destFolder, run.prefix, m_folder.path(), run.settings)
            : PrepareAudioDumpJob(job.sourcePath, run.destFolder, run.prefix, m_folder.path());
    run.currentOutput = prepared.outputPath;
    run.currentPartial = prepared.partialPath;
    if (!prepared.ok()) {
        endRun(run, prepared.error);
        return false;
    }
    if (!m_runner.StartChild(prepared.scriptPath, false, run.settings.bThreadPriorityNorm == 1)) {
        removeFile(run.currentPartial);
        if (run.cancel)
            endRun(run, {});
        else
            endRun(run, "Cannot start the encoder for " + job.sourcePath + ": " + m_runner.LastStartError());
        return false;
    }
    return true;
}

// A job that is not run at all: it is reported as failed and the run goes on with the next.
bool EncodeRun::refuseJob(Run& run, const EncodeJob& job, const std::string& output, const std::string& reason)
{
    run.currentOutput.clear();
    run.currentPartial.clear();
    const JobOutcome outcome{run.index, job.sourcePath, output, JobOutcome::Status::Failed, reason};
    if (recordJob(run, outcome, job.size))
        return startJob(run);
    endRun(run, {});
    return false;
}

bool EncodeRun::nextLine(std::string& line)
{
    return NextLine(m_output, line);
}

void EncodeRun::onEncoderLine(std::string_view line)
{
    std::lock_guard lock(m_linesMutex);
    m_lastLines.emplace_back(line);
    if (m_lastLines.size() > kKeptLines)
        m_lastLines.pop_front();
}

std::vector<std::string> EncodeRun::lastLines()
{
    std::lock_guard lock(m_linesMutex);
    return {m_lastLines.begin(), m_lastLines.end()};
}

void EncodeRun::onJobFinished(const ChildExit& exit)
{
    // The child that ended belongs to the latest run: a new run can begin only after this one
    // has ended, which happens below.
    const auto current = currentRun();
    Run& run = *current;
    const std::size_t index = run.index;
    JobOutcome outcome;
    outcome.index = index;
    const EncodeJob job = jobAt(index);
    outcome.sourcePath = job.sourcePath;
    outcome.outputPath = run.currentOutput;
    if (exit.stopped) {
        // A stopped job's output is cut short: it is not left behind as a result.
        outcome.status = JobOutcome::Status::Cancelled;
    } else if (exit.exitCode == 0 && hasContent(run.currentPartial)) {
        // Only now does the finished file take the output's place (and replace an older one).
        const std::string problem = vmx::PutOutputInPlace(run.currentPartial, run.currentOutput);
        outcome.status = problem.empty() ? JobOutcome::Status::Done : JobOutcome::Status::Failed;
        if (!problem.empty())
            outcome.message = "the finished file could not be renamed to " + run.currentOutput + ": " + problem;
    } else {
        outcome.status = JobOutcome::Status::Failed;
        outcome.message = vmx::EncoderFailure(encoderName(run.kind), exit, lastLines());
    }
    if (outcome.status != JobOutcome::Status::Done)
        removeFile(run.currentPartial);  // what the job made, and nothing else
    if (recordJob(run, outcome, job.size))
        startJob(run);
    else
        endRun(run, {});
}

// Keeps a job's outcome and counts its bytes as done; true when another job is to follow (the
// run's index then names it).
bool EncodeRun::recordJob(Run& run, const JobOutcome& outcome, std::int32_t size)
{
    run.outcome.jobs.push_back(outcome);
    if (m_listener)
        m_listener->onJobEnded(outcome);
    run.completedBytes += size;
    if (outcome.status == JobOutcome::Status::Cancelled || run.cancel || outcome.index + 1 >= jobCount())
        return false;
    run.index = outcome.index + 1;
    return true;
}

void EncodeRun::endRun(Run& run, std::string error)
{
    run.outcome.cancelled = run.cancel.load();
    run.outcome.error = std::move(error);
    run.index = 0;
    run.progress = 100;
    // From here a new run may start on another thread; it gets a Run of its own, so the outcome
    // handed over below stays as this run left it.
    run.running = false;
    if (m_listener)
        m_listener->onRunEnded(run.outcome);
}

void EncodeRun::stop()
{
    if (const auto run = currentRun())
        run->cancel = true;
    m_runner.StopChild();
}

std::optional<int> EncodeRun::progressStep()
{
    const auto run = currentRun();
    const std::int64_t total = m_totalBytes;
    if (!run || !run->running || total == 0)
        return std::nullopt;
    const std::int64_t current = static_cast<std::int64_t>(run->jobPercent.load()) * run->currentSize / 100;
    const std::int64_t overall = (current + run->completedBytes) * 100 / total;
    run->progress = static_cast<int>(static_cast<std::uint32_t>(overall & 0xFFFFFFFF));
    return run->progress.load();
}

int EncodeRun::updateProgress()
{
    if (const auto step = progressStep())
        return *step;
    const auto run = currentRun();
    return run ? run->progress.load() : 0;
}

EncodeSettings EncodeRun::asDialogReturnsThem(const EncodeSettings& settings)
{
    return vmx::SettingsWithTexts(settings, vmx::TextsOfSettings(settings));
}

}  // namespace vmx
