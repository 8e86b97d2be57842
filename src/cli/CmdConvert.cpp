// velmorix-cli convert: the encoding run of the settings dialog, driven from a terminal.
#include "cli/CliCommand.h"

#include "cli/ChangeReport.h"

#include "convert/EncodeRun.h"
#include "convert/EncodeSettings.h"
#include "convert/FileHelpers.h"
#include "convert/Profile.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <unistd.h>

namespace vmx::cli {
namespace {

struct ConvertOptions {
    std::vector<std::string> files;
    std::string dest;
    std::string prefix;
    bool prefixGiven = false;
    bool audioDump = false;
    bool yes = false;
    bool json = false;
};

ConvertOptions ParseOptions(const Args& args)
{
    ConvertOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw UsageError{a + " needs a value"};
            return args[++i];
        };
        if (a == "--dest")
            o.dest = value();
        else if (a == "--prefix") {
            o.prefix = value();
            o.prefixGiven = true;
        } else if (a == "--audio-dump")
            o.audioDump = true;
        else if (a == "--yes")
            o.yes = true;
        else if (a == "--json")
            o.json = true;
        else if (a.starts_with("--"))
            throw UsageError{"unknown option " + a};
        else
            o.files.push_back(a);
    }
    if (o.files.empty())
        throw UsageError{"no source file given"};
    if (o.dest.empty())
        throw UsageError{"--dest is required"};
    return o;
}

// Hears the run's end on the runner's thread and prints each job's result.
class RunWatcher : public vmx::EncodeRun::Listener {
public:
    void onJobEnded(const vmx::JobOutcome& job) override
    {
        std::lock_guard lock(m_mutex);
        if (job.status == vmx::JobOutcome::Status::Done)
            std::fprintf(stderr, "\rdone: %s\n", job.outputPath.c_str());
        else if (job.status == vmx::JobOutcome::Status::Failed)
            std::fprintf(stderr, "\rfailed: %s: %s\n", job.sourcePath.c_str(), job.message.c_str());
        else
            std::fprintf(stderr, "\rstopped: %s (its unfinished output was removed)\n", job.sourcePath.c_str());
    }
    void onRunEnded(const vmx::RunOutcome& outcome) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_outcome = outcome;
        }
        m_ended = true;
    }
    bool ended() const { return m_ended.load(); }
    vmx::RunOutcome outcome()
    {
        std::lock_guard lock(m_mutex);
        return m_outcome;
    }

private:
    std::mutex m_mutex;
    vmx::RunOutcome m_outcome;
    std::atomic<bool> m_ended{false};
};

void DrawProgress(int percent, std::size_t job, std::size_t jobs)
{
    constexpr int kWidth = 40;
    const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%  job %zu/%zu", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(kWidth - filled), '.').c_str(), percent, job, jobs);
    if (!isatty(STDERR_FILENO))
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

// " by SIGINT (Ctrl-C)" and the like for a signal that stopped the run; empty for none.
std::string SignalWords(int signal)
{
    switch (signal) {
    case SIGINT:
        return " by SIGINT (Ctrl-C)";
    case SIGTERM:
        return " by SIGTERM";
    case SIGHUP:
        return " by SIGHUP (the terminal was closed)";
    default:
        return {};
    }
}

bool AskOverwrite(const std::string& path)
{
    if (!isatty(STDIN_FILENO))
        return false;
    std::fprintf(stderr, "%s already exists. Overwrite it? [y/N] ", path.c_str());
    std::string answer;
    std::getline(std::cin, answer);
    return answer == "y" || answer == "Y" || answer == "yes";
}

}  // namespace

int RunConvert(const Args& args)
{
    const ConvertOptions options = ParseOptions(args);
    ChangeReport report("convert");

    // The settings as the dialog loads them and hands them to a run.
    EncodeSettings& settings = CurrentEncodeSettings();
    LoadEncodeSettings(settings, "encoding-custom.ini");
    settings = vmx::EncodeRun::asDialogReturnsThem(settings);
    const std::string prefix =
        options.prefixGiven ? options.prefix : ReadProfileString("GENERAL", "FILEHEADER", "[P]", "setting.ini");

    std::error_code destError;
    const std::string dest = std::filesystem::absolute(options.dest, destError).string();
    vmx::EncodeRun run;
    run.setDestination(destError ? options.dest : dest, prefix);
    for (const auto& file : options.files) {
        std::error_code ec;
        // An absolute path can never be taken for an encoder option.
        const std::string path = std::filesystem::absolute(file, ec).string();
        switch (run.addSourceFile(ec ? file : path)) {
        case vmx::EncodeRun::AddResult::Added:
            break;
        case vmx::EncodeRun::AddResult::IgnoredExtension:
            std::fprintf(stderr, "velmorix-cli convert: %s is not a video file type; skipped\n", file.c_str());
            report.warning(file + " is not a video file type; skipped");
            break;
        case vmx::EncodeRun::AddResult::UnicodeProblem:
            std::fprintf(stderr, "velmorix-cli convert: %s: %s\n", file.c_str(),
                         LookupText("TXT_UNICODE_PROBLEM").c_str());
            report.warning(file + ": " + LookupText("TXT_UNICODE_PROBLEM"));
            break;
        }
    }

    const vmx::RunKind kind = options.audioDump ? vmx::RunKind::AudioDump : vmx::RunKind::Encode;
    std::string firstOutput;
    switch (run.checkStart(kind, firstOutput)) {
    case vmx::EncodeRun::StartCheck::Ok:
    case vmx::EncodeRun::StartCheck::Running:
        break;
    case vmx::EncodeRun::StartCheck::NoSources:
        throw Failure{"Please check source path: none of the given files can be converted"};
    case vmx::EncodeRun::StartCheck::InvalidFolder:
        throw Failure{"Invalid folder: " + options.dest + " is not an existing folder"};
    case vmx::EncodeRun::StartCheck::AskOverwrite:
        if (!options.yes && !AskOverwrite(firstOutput))
            throw Failure{firstOutput + " already exists; give --yes to overwrite it"};
        break;
    }

    // Ctrl-C and termination are taken by this thread; the runner's threads and the encoder
    // never see them (the encoder runs in a process group of its own).
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    RunWatcher watcher;
    run.setListener(&watcher);
    const std::size_t jobs = run.jobs().size();
    run.start(kind);
    int interrupted = 0;  // the signal that stopped the run
    int shown = -1;
    while (!watcher.ended()) {
        const timespec tick{0, 250'000'000};
        if (const int signal = sigtimedwait(&stopSignals, nullptr, &tick); signal > 0) {
            interrupted = signal;
            std::fprintf(stderr, "\rstopping...\n");
            run.stop();
            break;
        }
        const int percent = run.updateProgress();
        if (percent != shown && !watcher.ended()) {
            DrawProgress(percent, run.currentJobIndex() + 1, jobs);
            shown = percent;
        }
    }
    run.stop();  // waits for every thread of the run
    run.setListener(nullptr);
    pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);

    const vmx::RunOutcome outcome = watcher.outcome();
    if (interrupted != 0 || outcome.cancelled)
        throw Failure{"the conversion was interrupted" + SignalWords(interrupted) +
                      "; the unfinished output was removed"};
    if (!outcome.error.empty())
        throw Failure{outcome.error};
    DrawProgress(100, jobs, jobs);
    if (isatty(STDERR_FILENO))
        std::fputc('\n', stderr);
    std::size_t done = 0;
    std::string reasons;
    for (const auto& job : outcome.jobs) {
        if (job.status == vmx::JobOutcome::Status::Done)
            ++done;
        else
            reasons += (reasons.empty() ? ": " : "; ") + job.sourcePath + ": " + job.message;
    }
    if (done != jobs)
        throw Failure{std::to_string(jobs - done) + " of " + std::to_string(jobs) + " conversions failed" + reasons};
    std::fprintf(stderr, "Encoding complete!\n");
    if (options.json) {
        report.message("Encoding complete!");
        report.json().key("destination").value(destError ? options.dest : dest).key("jobs").beginArray();
        for (const auto& job : outcome.jobs) {
            report.json().beginObject().key("source").value(job.sourcePath).key("output").value(job.outputPath)
                .endObject();
            report.written(job.outputPath);
        }
        report.json().endArray();
        report.print();
    }
    return kExitOk;
}

}  // namespace vmx::cli
