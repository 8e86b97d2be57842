#include "EncodeRun.h"

#include "EncodeSettings.h"
#include "FileHelpers.h"
#include "JobScript.h"

#include "common/FilePaths.h"

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

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

}  // namespace

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

CEncodeRun::CEncodeRun() = default;

CEncodeRun::~CEncodeRun()
{
    Stop();
}

void CEncodeRun::SetDestination(const std::string& folder, const std::string& prefix)
{
    m_destFolder = folder;
    m_prefix = prefix;
}

CEncodeRun::AddResult CEncodeRun::AddSourceFile(const std::string& path)
{
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

std::vector<EncodeJob> CEncodeRun::Jobs() const
{
    std::lock_guard lock(m_jobsMutex);
    return m_jobs;
}

EncodeJob CEncodeRun::jobAt(std::size_t index) const
{
    std::lock_guard lock(m_jobsMutex);
    return m_jobs.at(index);
}

std::size_t CEncodeRun::jobCount() const
{
    std::lock_guard lock(m_jobsMutex);
    return m_jobs.size();
}

CEncodeRun::StartCheck CEncodeRun::CheckStart(RunKind kind, std::string& firstOutput) const
{
    if (m_running)
        return StartCheck::Running;
    if (jobCount() == 0)
        return StartCheck::NoSources;
    if (!FolderExists(m_destFolder))
        return StartCheck::InvalidFolder;
    firstOutput = OutputPathFor(jobAt(0).sourcePath, m_destFolder, m_prefix,
                                kind == RunKind::Encode ? ".avi" : ".mp3");
    return FileExists(firstOutput) ? StartCheck::AskOverwrite : StartCheck::Ok;
}

bool CEncodeRun::Start(RunKind kind)
{
    if (m_running || jobCount() == 0)
        return false;
    m_kind = kind;
    m_outcome = RunOutcome{};
    m_completedBytes = 0;
    m_currentIndex = 0;
    m_progress = 0;
    m_cancel = false;
    m_running = true;
    if (std::string problem = m_folder.Create(); !problem.empty()) {
        endRun(std::move(problem));
        return false;
    }
    return startJob();
}

bool CEncodeRun::startJob()
{
    if (!m_running)
        return false;
    if (m_cancel) {
        endRun({});
        return false;
    }
    const EncodeJob job = jobAt(m_currentIndex);
    m_output.Clear();
    {
        std::lock_guard lock(m_linesMutex);
        m_lastLines.clear();
    }
    m_currentSize = FileSizeOf(job.sourcePath);
    m_jobPercent = 0;
    // A finished job's file replaces whatever stands at its output's place, so a job whose
    // output is its source is not run at all (an empty prefix and the source's own folder as
    // destination turn "a.avi" into itself).
    const std::string output = OutputPathFor(job.sourcePath, m_destFolder, m_prefix,
                                             m_kind == RunKind::Encode ? ".avi" : ".mp3");
    if (vmx::IsSameFile(output, job.sourcePath))
        return refuseJob(job, output, "the output file would overwrite its source");
    // The encoder would wait forever on a FIFO that nobody writes into.
    if (isSpecialFile(job.sourcePath))
        return refuseJob(job, output, "it is not a regular file");
    const PreparedJob prepared =
        m_kind == RunKind::Encode ? PrepareEncodingJob(job.sourcePath, m_destFolder, m_prefix, m_folder.Path())
                                  : PrepareAudioDumpJob(job.sourcePath, m_destFolder, m_prefix, m_folder.Path());
    m_currentOutput = prepared.outputPath;
    m_currentPartial = prepared.partialPath;
    if (!prepared.ok()) {
        endRun(prepared.error);
        return false;
    }
    if (!m_runner.StartChild(prepared.scriptPath, false, CurrentEncodeSettings().bThreadPriorityNorm == 1)) {
        removeFile(m_currentPartial);
        if (m_cancel)
            endRun({});
        else
            endRun("Cannot start the encoder for " + job.sourcePath + ": " + m_runner.LastStartError());
        return false;
    }
    return true;
}

// A job that is not run at all: it is reported as failed and the run goes on with the next.
bool CEncodeRun::refuseJob(const EncodeJob& job, const std::string& output, const std::string& reason)
{
    m_currentOutput.clear();
    m_currentPartial.clear();
    const JobOutcome outcome{m_currentIndex, job.sourcePath, output, JobOutcome::Status::Failed, reason};
    if (recordJob(outcome, job.size))
        return startJob();
    endRun({});
    return false;
}

bool CEncodeRun::NextLine(std::string& line)
{
    return ::NextLine(m_output, line);
}

void CEncodeRun::OnEncoderLine(std::string_view line)
{
    std::lock_guard lock(m_linesMutex);
    m_lastLines.emplace_back(line);
    if (m_lastLines.size() > kKeptLines)
        m_lastLines.pop_front();
}

std::string CEncodeRun::lastLines()
{
    std::lock_guard lock(m_linesMutex);
    std::string text;
    for (const auto& line : m_lastLines)
        text += "\n  " + line;
    return text;
}

void CEncodeRun::OnJobFinished(const ChildExit& exit)
{
    const std::size_t index = m_currentIndex;
    JobOutcome outcome;
    outcome.index = index;
    const EncodeJob job = jobAt(index);
    outcome.sourcePath = job.sourcePath;
    outcome.outputPath = m_currentOutput;
    if (exit.stopped) {
        // A stopped job's output is cut short: it is not left behind as a result.
        outcome.status = JobOutcome::Status::Cancelled;
    } else if (exit.exitCode == 0 && hasContent(m_currentPartial)) {
        // Only now does the finished file take the output's place (and replace an older one).
        const std::string problem = vmx::PutOutputInPlace(m_currentPartial, m_currentOutput);
        outcome.status = problem.empty() ? JobOutcome::Status::Done : JobOutcome::Status::Failed;
        if (!problem.empty())
            outcome.message = "the finished file could not be renamed to " + m_currentOutput + ": " + problem;
    } else {
        outcome.status = JobOutcome::Status::Failed;
        if (exit.exitCode > 0)
            outcome.message = "the encoder ended with exit code " + std::to_string(exit.exitCode);
        else if (exit.signal != 0)
            outcome.message = "the encoder was ended by signal " + std::to_string(exit.signal);
        else
            outcome.message = "the encoder wrote no output";
        outcome.message += lastLines();
    }
    if (outcome.status != JobOutcome::Status::Done)
        removeFile(m_currentPartial);  // what the job made, and nothing else
    if (recordJob(outcome, job.size))
        startJob();
    else
        endRun({});
}

// Keeps a job's outcome and counts its bytes as done; true when another job is to follow (the
// current index then names it).
bool CEncodeRun::recordJob(const JobOutcome& outcome, std::int32_t size)
{
    m_outcome.jobs.push_back(outcome);
    if (m_listener)
        m_listener->OnJobEnded(outcome);
    m_completedBytes += size;
    if (outcome.status == JobOutcome::Status::Cancelled || m_cancel || outcome.index + 1 >= jobCount())
        return false;
    m_currentIndex = outcome.index + 1;
    return true;
}

void CEncodeRun::endRun(std::string error)
{
    m_outcome.cancelled = m_cancel.load();
    m_outcome.error = std::move(error);
    m_currentIndex = 0;
    m_progress = 100;
    m_running = false;
    if (m_listener)
        m_listener->OnRunEnded(m_outcome);
}

void CEncodeRun::Stop()
{
    m_cancel = true;
    m_runner.StopChild();
}

int CEncodeRun::UpdateProgress()
{
    if (!m_running || m_totalBytes == 0)
        return m_progress;
    const std::int64_t current = static_cast<std::int64_t>(m_jobPercent.load()) * m_currentSize / 100;
    const std::int64_t overall = (current + m_completedBytes) * 100 / m_totalBytes;
    m_progress = static_cast<int>(static_cast<std::uint32_t>(overall & 0xFFFFFFFF));
    return m_progress;
}

EncodeSettings CEncodeRun::AsDialogReturnsThem(EncodeSettings settings)
{
    settings.fVidFps = LeadingDouble(FormatFixed3(settings.fVidFps));
    if (settings.nVidEncoder >= 7)
        settings.nVidEncoder = 0;
    return settings;
}
