#include "convert/AdSearch.h"

#include "common/FileFingerprint.h"
#include "convert/AdScan.h"

namespace vmx {

namespace {

// Enough of each part's start to tell a part that was rewritten in place on a disk that keeps
// modification times to two seconds.
constexpr std::uint64_t kFingerprintBytes = 64 * 1024;

// The fingerprints of the part files; empty, or why one cannot be read.
std::string Fingerprints(const std::vector<std::string>& partPaths, std::vector<FileFingerprint>& out)
{
    out.assign(partPaths.size(), {});
    for (std::size_t i = 0; i < partPaths.size(); ++i) {
        if (std::string error = TakeFingerprint(partPaths[i], kFingerprintBytes, out[i]); !error.empty())
            return error;
    }
    return {};
}

}  // namespace

AdSearch::~AdSearch()
{
    cancel();
    if (m_thread.joinable())
        m_thread.join();
}

bool AdSearch::start(std::vector<std::string> partPaths, const AdSettings& settings, Progress progress,
                     Finished finished)
{
    const std::lock_guard<std::mutex> lock(m_startLock);
    if (m_running)
        return false;
    // The thread of the last search has said its last; it ends at once.
    if (m_thread.joinable())
        m_thread.join();
    m_cancel = false;
    m_running = true;
    m_thread = std::thread([this, parts = std::move(partPaths), settings, progress = std::move(progress),
                            finished = std::move(finished)] {
        run(parts, settings, progress, finished);
    });
    return true;
}

void AdSearch::run(const std::vector<std::string>& partPaths, const AdSettings& settings, const Progress& progress,
                   const Finished& finished)
{
    AdSearchOutcome outcome;
    std::vector<FileFingerprint> before;
    if (std::string error = Fingerprints(partPaths, before); !error.empty()) {
        outcome.error = error;
    } else {
        int shown = -1;
        const AdScanResult scan = ScanForAds(partPaths, [&](std::uint64_t read, std::uint64_t total) {
            const int percent = total ? static_cast<int>(read * 100 / total) : 100;
            if (percent != shown && progress)
                progress(shown = percent);
            return !m_cancel.load();
        });
        std::vector<FileFingerprint> after;
        if (m_cancel) {
            outcome.end = AdSearchOutcome::End::Cancelled;
        } else if (!Fingerprints(partPaths, after).empty() || after != before) {
            outcome.end = AdSearchOutcome::End::Changed;
        } else if (!scan.ok) {
            outcome.error = scan.error;
        } else {
            outcome.end = AdSearchOutcome::End::Found;
            outcome.stretches = ProposeAdStretches(scan.measured, settings);
            outcome.duration = scan.measured.duration;
            for (const LostStretch& lost : scan.lost)
                outcome.warnings.push_back(LostStretchText(lost) + "; the analysis skipped them");
        }
    }
    // Free for the next search before it is told: what it hears may start one.
    m_running = false;
    if (finished)
        finished(outcome);
}

}  // namespace vmx
