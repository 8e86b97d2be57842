#pragma once

#include "convert/Export.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vmx {

// The file in the user's settings folder that keeps the desktop program's export queue.
inline constexpr const char* kExportQueueFile = "export-queue";

enum class ExportJobState { Waiting, Running, Done, Failed, Cancelled };

// What is asked of one export: the recording and where its file goes.
struct ExportJobOrder {
    std::string title;                   // the recording's name, as the user knows it
    std::vector<std::string> partPaths;  // its part files, in record order
    std::string outputFolder;
    std::string baseName;                // the output file's name without its extension
    ExportFormat format = ExportFormat::Mkv;
    EncodeOptions encode;
};

struct ExportJobProgress {
    int percent = 0;
    double bytesPerSecond = 0;  // of the part files read, over the last seconds; 0 while unknown
    double secondsLeft = -1;    // -1 while it cannot be told
};

struct ExportJob {
    std::uint64_t id = 0;
    ExportJobOrder order;
    ExportJobState state = ExportJobState::Waiting;
    std::string message;     // why it failed
    std::string outputPath;  // chosen when the job starts; the written file once Done
    ExportJobProgress progress;

    bool finished() const
    {
        return state == ExportJobState::Done || state == ExportJobState::Failed || state == ExportJobState::Cancelled;
    }
};

// Export jobs run one after the other on a thread of the queue's own through ExportRecording.
//
// The list is kept in a file, rewritten durably at every change of the list or of a job's state,
// so that jobs outlive the program: constructed on that file, the queue lists its jobs again,
// puts a job that was running back to waiting (removing the partial output its killed run left
// in the output folder) and starts running. Finished jobs stay listed until removed.
class ExportQueue {
public:
    // Told every change, always on the queue's thread and never with the queue's lock held (it
    // may call the queue back).
    class Listener {
    public:
        virtual ~Listener() = default;
        // A job was added, changed state or made progress: the job as it is now.
        virtual void onJobChanged(const ExportJob& job) = 0;
        virtual void onJobRemoved(std::uint64_t id) = 0;
        // Something the user should read: the queue file could not be read or written.
        virtual void onProblem(const std::string& message) = 0;
    };

    // `queueFile`: where the list is kept (empty: nowhere). A file that cannot be read or is
    // damaged leaves the queue empty and loadProblem() says why (the listener hears it too); a
    // damaged one is kept beside as `queueFile` + ".damaged". `listener` may be null.
    explicit ExportQueue(std::string queueFile, Listener* listener = nullptr);
    // A running job is stopped and stays listed as waiting, to run again at the next start.
    ~ExportQueue();
    ExportQueue(const ExportQueue&) = delete;
    ExportQueue& operator=(const ExportQueue&) = delete;

    // Why the queue file was not read (empty when it was, or when there was none).
    const std::string& loadProblem() const { return m_loadProblem; }

    std::uint64_t add(const ExportJobOrder& order);
    // A running job is stopped (its partial output is removed), a waiting one will not run; both
    // become Cancelled. False for a job that is not waiting or running.
    bool cancel(std::uint64_t id);
    // Takes a finished job off the list; false for any other.
    bool remove(std::uint64_t id);
    void clearFinished();

    std::vector<ExportJob> jobs() const;

private:
    struct Notice {
        enum class Kind { Changed, Removed, Problem } kind;
        std::uint64_t id = 0;
        std::string text;
    };

    void load();
    void run();
    void runJob(std::uint64_t id);
    ExportJob* find(std::uint64_t id);
    // With the lock held: writes the list and notes what the listener is to hear.
    void saveLocked();
    void noteChangedLocked(std::uint64_t id);
    // Without the lock, on the queue's thread: tells the listener what happened since.
    void deliverNotices();

    const std::string m_file;
    Listener* const m_listener;
    std::string m_loadProblem;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<ExportJob> m_jobs;
    std::uint64_t m_nextId = 1;
    std::uint64_t m_running = 0;      // the job being exported, 0 for none
    bool m_cancelRunning = false;     // its cancel was asked for
    bool m_quit = false;
    std::deque<Notice> m_notices;
    std::string m_lastSaveProblem;    // said once until a save succeeds again
    std::thread m_thread;             // last: started when everything else is ready
};

const char* ExportJobStateName(ExportJobState state);

}  // namespace vmx
