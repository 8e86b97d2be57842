#pragma once

#include "EncodeSettings.h"
#include "EncoderRunner.h"
#include "IEncoderRunnerOwner.h"
#include "RingBuffer.h"
#include "RunFolder.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

// One listed source file.
struct EncodeJob {
    std::string sourcePath;
    std::int32_t size = 0;  // FileSizeOf: -1 when unreadable
};

enum class RunKind { Encode = 0, AudioDump = 1 };

struct JobOutcome {
    enum class Status { Done, Failed, Cancelled };
    std::size_t index = 0;
    std::string sourcePath;
    std::string outputPath;
    Status status = Status::Failed;
    std::string message;  // why it failed, with the encoder's last lines
};

struct RunOutcome {
    bool cancelled = false;
    std::string error;  // a job that could not be prepared or started ended the run
    std::vector<JobOutcome> jobs;
    bool allDone() const;
};

// The encoding run without any window: the job list, the start checks, one job after another
// through the encoder runner, the job-completion handler and the overall percentage. The
// settings dialog drives it; so does "velmorix-cli convert". Jobs use the current encoder
// settings at the time they start.
class CEncodeRun final : public IEncoderRunnerOwner {
public:
    // Told about the run on the runner's waiter thread (or on the caller's thread when a run
    // fails to start its first job). A GUI passes these on to its own thread.
    class Listener {
    public:
        virtual void OnJobEnded(const JobOutcome&) {}
        virtual void OnRunEnded(const RunOutcome&) {}

    protected:
        ~Listener() = default;
    };

    enum class AddResult { Added, IgnoredExtension, UnicodeProblem };
    enum class StartCheck { Ok, Running, NoSources, InvalidFolder, AskOverwrite };

    CEncodeRun();
    ~CEncodeRun();
    CEncodeRun(const CEncodeRun&) = delete;
    CEncodeRun& operator=(const CEncodeRun&) = delete;

    void SetListener(Listener* listener) { m_listener = listener; }
    void SetDestination(const std::string& folder, const std::string& prefix);
    const std::string& DestFolder() const { return m_destFolder; }
    const std::string& FilePrefix() const { return m_prefix; }

    // Lists a source file: files whose extension is not a known video type are ignored; a
    // path holding "?" is refused (TXT_UNICODE_PROBLEM).
    AddResult AddSourceFile(const std::string& path);
    std::vector<EncodeJob> Jobs() const;
    std::int64_t TotalBytes() const { return m_totalBytes.load(); }

    // The checks made before a run; `firstOutput` receives the first job's output path (asked
    // about when it exists: AskOverwrite). Later outputs are overwritten without a question.
    StartCheck CheckStart(RunKind kind, std::string& firstOutput) const;
    // Starts the run (the checks passed and any overwrite was agreed). False when the first job
    // could not be started; the listener has then heard the run end with the reason.
    bool Start(RunKind kind);
    // Ends the run: the running job's encoder is stopped and what it wrote removed; a file that
    // stood at its output's place stays as it was. Waits until every thread of the run has ended.
    void Stop();

    bool IsRunning() const { return m_running.load(); }
    std::size_t CurrentJobIndex() const { return m_currentIndex.load(); }
    int JobPercent() const { return m_jobPercent.load(); }
    // The progress-timer step: updates and returns the overall percentage (0..100) from the
    // current job's percentage and the sizes of the jobs; 100 once a run has ended.
    int UpdateProgress();
    int Progress() const { return m_progress.load(); }

    // The settings as the dialog's controls hand them back: the frame rate goes through its
    // three-decimal text and an encoder selector of 7 or more becomes 0.
    static EncodeSettings AsDialogReturnsThem(EncodeSettings settings);

    // IEncoderRunnerOwner
    CRingBuffer& OutputBuffer() override { return m_output; }
    bool NextLine(std::string& line) override;
    void SetJobPercent(int percent) override { m_jobPercent = percent; }
    void OnEncoderLine(std::string_view line) override;
    void OnJobFinished(const ChildExit& exit) override;

private:
    bool startJob();
    bool refuseJob(const EncodeJob& job, const std::string& output, const std::string& reason);
    bool recordJob(const JobOutcome& outcome, std::int32_t size);
    EncodeJob jobAt(std::size_t index) const;
    std::size_t jobCount() const;
    void endRun(std::string error);
    std::string lastLines();

    Listener* m_listener = nullptr;
    std::string m_destFolder;
    std::string m_prefix = "[P]";
    mutable std::mutex m_jobsMutex;  // files may be listed while a run reads the list
    std::vector<EncodeJob> m_jobs;
    std::atomic<std::int64_t> m_totalBytes{0};

    RunKind m_kind = RunKind::Encode;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_cancel{false};
    std::atomic<std::size_t> m_currentIndex{0};
    std::atomic<std::int64_t> m_completedBytes{0};
    std::atomic<std::int64_t> m_currentSize{0};
    std::atomic<int> m_jobPercent{0};
    std::atomic<int> m_progress{0};
    std::string m_currentOutput;   // where the current job's result goes once it has finished
    std::string m_currentPartial;  // the file its encoder writes meanwhile
    RunOutcome m_outcome;

    std::mutex m_linesMutex;
    std::deque<std::string> m_lastLines;

    CRingBuffer m_output{4096, 4096};
    vmx::RunFolder m_folder;         // the run's scripts and converted subtitle; removed last
    CEncoderRunner m_runner{*this};  // last: stopped and destroyed before the rest
};
