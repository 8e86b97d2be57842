// velmorix-bench-playback: figures for bench/playback.sh.
//
//   velmorix-bench-playback gaps [--one-by-one] PART...
//     Plays the recording made of the part files (record order) as the window's player does, on
//     one timeline over the parts, with mpv's null video and audio outputs, from four seconds
//     before the first part boundary to three seconds after it. mpv reports each presented frame
//     (the observed time-pos changes once per frame shown); the program prints the largest wall-
//     clock gap between two presented frames across the boundary beside the largest inside the
//     first part over a stretch as long, and the steps of the stream time there.
//     --one-by-one plays the parts as separate files, the second lined up after the first (the
//     way the player used to play recordings), for comparison.
//
//   velmorix-bench-playback window LEFT_DB RIGHT_DB ROW SECONDS
//     Starts the main window as velmorix does with the two databases, and prints the resident
//     memory when idle, then plays row ROW of the left pane with PL for SECONDS and prints the
//     largest resident memory seen while it played.

#include "app/CMainFrame.h"
#include "app/CVelmorixApp.h"
#include "controls/CBitmapButton.h"
#include "controls/CGomxctrl1.h"
#include "controls/MpvApi.h"
#include "controls/PartProtocol.h"
#include "recording/RecordingClock.h"
#include "view/CVelmorixView.h"
#include "view/FormTemplate.h"

#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Resident memory of this process in MiB (VmRSS), or -1.
double ResidentMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    }
    return -1;
}

struct Frame {
    double wall = 0;  // seconds since the probe began
    double pts = 0;   // seconds of the recording
};

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The largest wall-clock gap and the largest stream-time step between consecutive frames whose
// times lie in [from, to].
void Largest(const std::vector<Frame>& frames, double from, double to, double& wallGap, double& ptsStep)
{
    wallGap = 0;
    ptsStep = 0;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        if (frames[i - 1].pts < from || frames[i].pts > to)
            continue;
        wallGap = std::max(wallGap, frames[i].wall - frames[i - 1].wall);
        ptsStep = std::max(ptsStep, frames[i].pts - frames[i - 1].pts);
    }
}

int Gaps(bool oneByOne, const std::vector<std::string>& parts)
{
    if (parts.size() < 2) {
        std::fputs("gaps needs the part files of a recording of two parts or more\n", stderr);
        return 2;
    }
    vmx::RecordingClock clock;
    if (const std::string problem = clock.open(parts); !problem.empty()) {
        std::fprintf(stderr, "the recording has no usable clock: %s\n", problem.c_str());
        return 1;
    }
    const double boundary = clock.partStart(1);
    std::string problem;
    const vmx::MpvApi* mpv = vmx::LoadMpv(&problem);
    if (mpv == nullptr) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    mpv_handle* handle = mpv->create();
    for (const auto& [name, value] : {std::pair{"config", "no"}, {"terminal", "no"}, {"vo", "null"}, {"ao", "null"},
                                      {"hwdec", "no"}, {"idle", "yes"}, {"keep-open", "no"},
                                      {"prefetch-playlist", "yes"}})
        mpv->set_option_string(handle, name, value);
    vmx::PartProtocol protocol;
    if (mpv->initialize(handle) < 0 || !protocol.Register(handle, mpv->stream_cb_add_ro)) {
        std::fputs("mpv did not start\n", stderr);
        return 1;
    }
    mpv->observe_property(handle, 1, "time-pos", MPV_FORMAT_DOUBLE);
    const std::string start = std::to_string(std::max(boundary - 4.0, 0.0));
    const std::string address = protocol.Add(parts);
    const char* load[] = {"loadfile", oneByOne ? parts[0].c_str() : address.c_str(), "replace", nullptr};
    mpv->command(handle, load);
    const auto began = std::chrono::steady_clock::now();
    std::vector<Frame> frames;
    int filesStarted = 0;
    bool done = false;
    while (!done && Seconds(began) < 60) {
        const mpv_event* event = mpv->wait_event(handle, 1.0);
        switch (event->event_id) {
        case MPV_EVENT_START_FILE:
            ++filesStarted;
            break;
        case MPV_EVENT_FILE_LOADED:
            if (filesStarted == 1) {
                // Four seconds before the boundary; played one by one, the second part is lined
                // up after the first.
                const char* seek[] = {"seek", start.c_str(), "absolute", nullptr};
                mpv->command(handle, seek);
                if (oneByOne) {
                    const char* next[] = {"loadfile", parts[1].c_str(), "append", nullptr};
                    mpv->command(handle, next);
                }
            }
            break;
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto* property = static_cast<const mpv_event_property*>(event->data);
            if (property->format != MPV_FORMAT_DOUBLE)
                break;
            double pts = *static_cast<const double*>(property->data);
            // Files played one by one count their time from their own start.
            if (oneByOne && filesStarted >= 2)
                pts += boundary;
            frames.push_back({Seconds(began), pts});
            done = pts > boundary + 3.0;
            break;
        }
        case MPV_EVENT_END_FILE:
            if (!oneByOne || filesStarted >= 2)
                done = true;
            break;
        default:
            break;
        }
    }
    const double rss = ResidentMiB();
    mpv->terminate_destroy(handle);

    // The first second after the seek settles the output; then a one-second stretch inside the
    // first part against the second around the boundary.
    double insideGap = 0;
    double insideStep = 0;
    double acrossGap = 0;
    double acrossStep = 0;
    Largest(frames, boundary - 2.5, boundary - 1.5, insideGap, insideStep);
    Largest(frames, boundary - 0.5, boundary + 0.5, acrossGap, acrossStep);
    std::printf("mode: %s\n", oneByOne ? "parts one by one (a playlist)" : "one stream over the parts");
    std::printf("part boundary at %.3f s; %zu frames presented\n", boundary, frames.size());
    std::printf("largest gap between presented frames inside part 1:     %6.1f ms (stream step %6.1f ms)\n",
                insideGap * 1000, insideStep * 1000);
    std::printf("largest gap between presented frames across the boundary: %6.1f ms (stream step %6.1f ms)\n",
                acrossGap * 1000, acrossStep * 1000);
    std::printf("resident memory of the probe: %.0f MiB\n", rss);
    return frames.empty() ? 1 : 0;
}

int Window(int argc, char** argv)
{
    if (argc < 6) {
        std::fputs("usage: velmorix-bench-playback window LEFT_DB RIGHT_DB ROW SECONDS\n", stderr);
        return 2;
    }
    const int row = std::atoi(argv[4]);
    const int seconds = std::atoi(argv[5]);
    char* appArgv[] = {argv[0], argv[2], argv[3], nullptr};
    int appArgc = 3;
    CVelmorixApp app(appArgc, appArgv);
    std::setlocale(LC_NUMERIC, "C");
    if (!app.InitInstance())
        return 1;
    CVelmorixView* view = app.MainFrame()->View();
    double peak = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { peak = std::max(peak, ResidentMiB()); });
    QTimer::singleShot(3000, [&] {
        std::printf("resident memory, idle with two databases loaded: %.0f MiB\n", ResidentMiB());
        QTableWidget* pane = view->Pane(0);
        QTest::mouseClick(pane->viewport(), Qt::LeftButton, Qt::NoModifier,
                          pane->visualRect(pane->model()->index(row, 1)).center());
        QTest::mouseClick(view->Button(ControlId::kPlay), Qt::LeftButton);
        sampler.start(100);
        QTimer::singleShot(seconds * 1000, [&] {
            const double position = view->Player()->CurrentPosition().value_or(-1);
            std::printf("resident memory, playing row %d for %d s: largest %.0f MiB, now %.0f MiB "
                        "(player at %.1f s)\n",
                        row, seconds, peak, ResidentMiB(), position);
            std::fflush(stdout);
            app.MainFrame()->close();
            app.quit();
        });
    });
    return app.exec();
}

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_NUMERIC, "C");
    if (argc >= 2 && std::strcmp(argv[1], "window") == 0)
        return Window(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "gaps") == 0) {
        int first = 2;
        const bool oneByOne = argc > 2 && std::strcmp(argv[2], "--one-by-one") == 0;
        if (oneByOne)
            ++first;
        return Gaps(oneByOne, std::vector<std::string>(argv + first, argv + argc));
    }
    std::fputs("usage: velmorix-bench-playback gaps [--one-by-one] PART...\n"
               "       velmorix-bench-playback window LEFT_DB RIGHT_DB ROW SECONDS\n",
               stderr);
    return 2;
}
