#pragma once

#include "recording/AdStretches.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vmx {

// How a search for advertising ended, and what it found.
struct AdSearchOutcome {
    enum class End {
        Found,      // `stretches` holds what was found (perhaps nothing)
        Failed,     // `error` says why the recording could not be analysed
        Cancelled,  // cancel() stopped it
        Changed,    // a part file was changed while it was read: what was found would be wrong
    };
    End end = End::Failed;
    std::vector<AdStretch> stretches;
    std::vector<std::string> warnings;  // stretches of damaged parts that were skipped
    std::string error;
    double duration = 0;  // seconds from the first picture to the last
};

// One search at a time for the blocks of advertising of a recording, beside the program's window:
// the measuring (ScanForAds, with its FFmpeg libraries in a child process) and the proposal run on
// a thread of the search's own. The part files are fingerprinted before they are read and again
// after: a recording cut, renamed or written to meanwhile ends the search as Changed.
class AdSearch {
public:
    // Told the percentage read so far, on the search's thread.
    using Progress = std::function<void(int percent)>;
    // Told how the search ended, on the search's thread, as its last act.
    using Finished = std::function<void(const AdSearchOutcome& outcome)>;

    AdSearch() = default;
    AdSearch(const AdSearch&) = delete;
    AdSearch& operator=(const AdSearch&) = delete;
    // Cancels a search that runs and waits for its thread (`finished` still hears Cancelled).
    ~AdSearch();

    // Starts the search of the recording whose part files are `partPaths`, in order. False, and
    // nothing started, while another search runs.
    bool start(std::vector<std::string> partPaths, const AdSettings& settings, Progress progress, Finished finished);
    // Asks the running search to stop; it ends as Cancelled soon after (a part read meanwhile).
    void cancel() { m_cancel = true; }
    bool running() const { return m_running; }

private:
    void run(const std::vector<std::string>& partPaths, const AdSettings& settings, const Progress& progress,
             const Finished& finished);

    std::mutex m_startLock;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_cancel{false};
};

}  // namespace vmx
