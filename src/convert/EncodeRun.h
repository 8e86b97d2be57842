#pragma once

#include "EncodeSettings.h"
#include "EncoderRunner.h"
#include "IEncoderRunnerOwner.h"
#include "RingBuffer.h"
#include "RunFolder.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// One listed source file.
struct EncodeJob {
    std::string sourcePath;
    std::int32_t size = 0;  // FileSizeOf: -1 when unreadable
};

namespace vmx {

// Why a job whose encoder (`encoder`, "mencoder" or "mplayer") ended without a finished output
// failed, as one clause: a program that is not installed or cannot be run, its exit code and the
// last line of its own saying why (when it said so), the signal that ended it, or an encoder that
// ended well without writing anything.
std::string EncoderFailure(const std::string& encoder, const ChildExit& exit, const std::vector<std::string>& lines);

enum class RunKind { Encode = 0, AudioDump = 1 };

struct JobOutcome {
    enum class Status { Done, Failed, Cancelled };
    std::size_t index = 0;
    std::string sourcePath;
    std::string outputPath;
    Status status = Status::Failed;
    std::string message;  // why it failed, in one clause ("the encoder mencoder failed with ...")
};

struct RunOutcome {
    bool cancelled = false;
    std::string error;  // a job that could not be prepared or started ended the run
    std::vector<JobOutcome> jobs;
    bool allDone() const;
};

// The encoding run without any window: the job list, the start checks, one job after another
// through the encoder runner, the job-completion handler and the overall percentage. The
// settings dialog drives it; so does "velmorix-cli convert".
//
// Each start() begins a run of its own that takes copies of the destination folder, the file
// prefix and the current encoder settings: every job of that run uses them, whatever is changed
// meanwhile, and its end notice hands over that run's own outcome, which a later start() never
// touches. The job list is shared: files listed during a run join that run.
class EncodeRun final : public IEncoderRunnerOwner {
public:
    // Told about the run on the runner's waiter thread (or on the caller's thread when a run
    // fails to start its first job). A GUI passes these on to its own thread without waiting
    // for it: the thread that stops a run waits for the waiter thread.
    class Listener {
    public:
        virtual void onJobEnded(const JobOutcome&) {}
        virtual void onRunEnded(const RunOutcome&) {}

    protected:
        ~Listener() = default;
    };

    enum class AddResult { Added, IgnoredExtension, UnicodeProblem };
    enum class StartCheck { Ok, Running, NoSources, InvalidFolder, AskOverwrite };

    EncodeRun();
    ~EncodeRun();
    EncodeRun(const EncodeRun&) = delete;
    EncodeRun& operator=(const EncodeRun&) = delete;

    void setListener(Listener* listener) { m_listener = listener; }
    // Where the next run writes; a run that is going on keeps what it started with.
    void setDestination(const std::string& folder, const std::string& prefix);
    const std::string& destFolder() const { return m_destFolder; }
    const std::string& filePrefix() const { return m_prefix; }

    // Lists a source file: an empty path and files whose extension is not a known video type
    // are ignored; a path holding "?" is refused (TXT_UNICODE_PROBLEM).
    AddResult addSourceFile(const std::string& path);
    // The known video types as file-name patterns ("*.mpeg", "*.mpg", ...) for a file chooser.
    static std::vector<std::string> videoFilePatterns();
    std::vector<EncodeJob> jobs() const;
    std::int64_t totalBytes() const { return m_totalBytes.load(); }

    // The checks made before a run; `firstOutput` receives the first job's output path (asked
    // about when it exists: AskOverwrite). Later outputs are overwritten without a question.
    StartCheck checkStart(RunKind kind, std::string& firstOutput) const;
    // Starts a run (the checks passed and any overwrite was agreed) with the destination, the
    // prefix and the current encoder settings as they are now. False when the first job could
    // not be started; the listener has then heard the run end with the reason.
    bool start(RunKind kind);
    // Ends the run: the running job's encoder is stopped and what it wrote removed; a file that
    // stood at its output's place stays as it was. Waits until every thread of the run has ended.
    void stop();

    bool isRunning() const;
    std::size_t currentJobIndex() const;
    int jobPercent() const;
    // The progress-timer step: the overall percentage from the current job's percentage and the
    // sizes of the jobs, (current job's share + bytes of completed jobs) x 100 / total bytes in
    // 64-bit integers; nothing while no run is going on or the listed files hold no bytes.
    std::optional<int> progressStep();
    // The same step for a display that always shows a value: the last one computed, and 100
    // once a run has ended.
    int updateProgress();

    // The settings as the dialog's controls hand them back: the frame rate goes through its
    // three-decimal text and an encoder selector of 7 or more becomes 0.
    static EncodeSettings asDialogReturnsThem(const EncodeSettings& settings);

    // IEncoderRunnerOwner
    CRingBuffer& outputBuffer() override { return m_output; }
    bool nextLine(std::string& line) override;
    void setJobPercent(int percent) override;
    void onEncoderLine(std::string_view line) override;
    void onJobFinished(const ChildExit& exit) override;

private:
    struct Run;
    std::shared_ptr<Run> currentRun() const;
    bool startJob(Run& run);
    bool refuseJob(Run& run, const EncodeJob& job, const std::string& output, const std::string& reason);
    bool recordJob(Run& run, const JobOutcome& outcome, std::int32_t size);
    EncodeJob jobAt(std::size_t index) const;
    std::size_t jobCount() const;
    void endRun(Run& run, std::string error);
    std::vector<std::string> lastLines();

    Listener* m_listener = nullptr;
    std::string m_destFolder;
    std::string m_prefix = "[P]";
    mutable std::mutex m_jobsMutex;  // files may be listed while a run reads the list
    std::vector<EncodeJob> m_jobs;
    std::atomic<std::int64_t> m_totalBytes{0};

    mutable std::mutex m_runMutex;
    std::shared_ptr<Run> m_run;  // the latest run; an earlier one lives on while its threads use it

    std::mutex m_linesMutex;
    std::deque<std::string> m_lastLines;

    CRingBuffer m_output{4096, 4096};
    vmx::RunFolder m_folder;         // the run's scripts and converted subtitle; removed last
    CEncoderRunner m_runner{*this};  // last: stopped and destroyed before the rest
};

}  // namespace vmx
