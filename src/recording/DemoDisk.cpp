#include "recording/DemoDisk.h"

#include "common/QuietProcess.h"
#include "recording/QuietUi.h"
#include "recording/Timing.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace vmx {

namespace {

namespace fs = std::filesystem;

struct DemoRecording {
    const char* channel;
    std::uint32_t startTime;  // UTC
    unsigned seconds;
    unsigned kbitPerSecond;
    const char* pattern;  // ffmpeg test source
    unsigned tone;        // Hz
    bool advertising;     // two blocks of advertising, as a channel broadcasts them
};

// The second recording is long and fast enough to fill one full part and spill into a second.
constexpr DemoRecording kRecordings[] = {
    {"Nature One", 1767261600u, 12, 4000, "testsrc=size=720x576:rate=25", 440, false},
    {"Sports HD", 1767348000u, 80, 15000, "testsrc2=size=720x576:rate=25", 660, true},
    {"News 24", 1767434400u, 10, 3000, "smptebars=size=720x576:rate=25", 880, false},
};

// The blocks of advertising of a recording that has them, as ffmpeg expressions of the time t:
// from 20.5 to 32 s and from 55.5 to 67 s, each framed by half a second of black, silent pictures
// (the separators channels put between programme and advertising). The programme shows the
// channel's logo in the top right corner; the advertising, in other colours and another tone,
// does not.
constexpr const char* kAdBlocks = "between(t,20.5,32)+between(t,55.5,67)";
constexpr const char* kAdSeparators = "between(t,20,20.5)+between(t,32,32.5)+between(t,55,55.5)+between(t,67,67.5)";

// Runs ffmpeg with the arguments after its name; empty, or the sentence saying what failed.
std::string ffmpeg(std::vector<std::string> args)
{
    args.insert(args.begin(), {"ffmpeg", "-nostdin", "-y", "-v", "error"});
    const QuietRun run = RunQuietly(args);
    if (!run.started())
        return "cannot start ffmpeg (" + std::string(std::strerror(run.startError)) + "); the demo disk needs ffmpeg.";
    if (!run.succeeded())
        return "ffmpeg failed while writing the demo disk.";
    return {};
}

// Encodes a transport stream like the receiver records: MPEG-2 (or H.264) video and MP2 audio.
std::string makeStream(const DemoRecording& r, DemoVideo video, const fs::path& out)
{
    const std::string rate = std::to_string(r.kbitPerSecond) + "k";
    const std::string tone = std::to_string(r.tone);
    const std::string sound = r.advertising ? "aevalsrc='if(" + std::string(kAdSeparators) + ",0,0.4*sin(2*PI*t*if(" +
                                                  kAdBlocks + ",1000," + tone + ")))':s=48000"
                                            : "sine=frequency=" + tone + ":sample_rate=48000";
    std::vector<std::string> args = {"-f", "lavfi", "-i", r.pattern, "-f", "lavfi", "-i", sound, "-t",
                                     std::to_string(r.seconds)};
    if (r.advertising) {
        const std::string blocks = kAdBlocks;
        args.insert(args.end(), {"-vf", "hue=H=2*PI*t:s=3:enable='" + blocks + "',"
                                        "drawbox=x=iw-110:y=30:w=70:h=40:color=white:t=fill:enable='not(" + blocks + ")',"
                                        "drawbox=x=iw-95:y=40:w=40:h=20:color=red:t=fill:enable='not(" + blocks + ")',"
                                        "drawbox=color=black:t=fill:enable='" + kAdSeparators + "'"});
    }
    if (video == DemoVideo::H264)
        args.insert(args.end(), {"-c:v", "libx264", "-preset", "superfast", "-g", "25", "-bf", "2", "-x264-params",
                                 "nal-hrd=cbr", "-b:v", rate});
    else
        args.insert(args.end(), {"-c:v", "mpeg2video", "-b:v", rate, "-minrate", rate});
    args.insert(args.end(), {"-maxrate", rate, "-bufsize", "2M", "-c:a", "mp2", "-b:a", "192k",
                             "-muxrate", std::to_string(r.kbitPerSecond + 400) + "k", "-f", "mpegts", out.string()});
    return ffmpeg(std::move(args));
}

// Splits a stream into part files of the full part size, the way the receiver stores it.
std::string splitIntoParts(const fs::path& stream, const fs::path& folder, const std::string& prefix,
                           std::vector<std::string>& names)
{
    std::FILE* in = std::fopen(stream.c_str(), "rb");
    if (!in)
        return "cannot read " + stream.string() + ".";
    std::vector<char> buffer(1 << 20);
    std::string error;
    for (char letter = 'A'; error.empty(); ++letter) {
        std::uint64_t written = 0;
        const std::string name = prefix + "A" + std::string(1, letter) + ".TRP";
        std::FILE* out = nullptr;
        while (written < kFullPartSize) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), kFullPartSize - written));
            const std::size_t got = std::fread(buffer.data(), 1, want, in);
            if (got == 0)
                break;
            if (!out && !(out = std::fopen((folder / name).c_str(), "wb"))) {
                error = "cannot write " + (folder / name).string() + ".";
                break;
            }
            if (std::fwrite(buffer.data(), 1, got, out) != got) {
                error = "cannot write " + (folder / name).string() + ".";
                break;
            }
            written += got;
        }
        if (out) {
            if (std::fclose(out) != 0 && error.empty())
                error = "cannot write " + (folder / name).string() + ".";
            names.push_back(name);
        }
        if (written < kFullPartSize)
            break;
    }
    std::fclose(in);
    return error;
}

}  // namespace

std::string WriteDemoDisk(RecordingSession& session, const std::string& rootFolder,
                          const std::function<void(const std::string&)>& say, DemoVideo video)
{
    // Nothing is asked; the demo says what failed in one sentence.
    QuietUi ui;
    const fs::path root = rootFolder;
    const fs::path record = root / "RECORD";
    const fs::path db = record / "DZT000.DB";
    std::error_code ec;
    if (fs::exists(db, ec))
        return db.string() + " already exists; the demo disk is written only into a new folder.";
    for (const char* sub : {"RECORD", "MP3", "IMAGE"}) {
        fs::create_directories(root / sub, ec);
        if (ec)
            return "cannot create " + (root / sub).string() + ": " + ec.message() + ".";
    }
    if (!session.createDatabase(db.string(), ui).ok || !session.loadPane(kLeftSide, db.string(), ui).ok)
        return ui.lastMessage();

    const fs::path scratch = record / ".demo-stream.ts";
    for (const auto& r : kRecordings) {
        char line[128];
        std::snprintf(line, sizeof line, "Recording \"%s\" (%u s)...", r.channel, r.seconds);
        say(line);
        NewRecording recording;
        recording.name = r.channel;
        recording.startTime = r.startTime;
        recording.duration = r.seconds;
        recording.vid = 256;  // the PIDs ffmpeg's muxer uses
        recording.aid = 257;
        recording.pid = 4096;
        const auto writeParts = [&](const std::string& prefix, std::vector<std::string>& names) {
            std::string error = makeStream(r, video, scratch);
            if (error.empty())
                error = splitIntoParts(scratch, record, prefix, names);
            fs::remove(scratch, ec);
            return error;
        };
        if (!session.registerRecording(kLeftSide, recording, writeParts, ui).ok)
            return ui.lastMessage();
    }
    // Written once as registered, then measured as a pane does after a load (extA takes the real
    // sizes) and written again.
    if (!session.savePane(kLeftSide, ui).ok || !session.loadPane(kLeftSide, db.string(), ui).ok ||
        !session.savePane(kLeftSide, ui).ok)
        return "cannot write the demo database " + db.string() + ".";

    say("Music and pictures...");
    const std::vector<std::vector<std::string>> media = {
        {"-f", "lavfi", "-i", "sine=frequency=523:sample_rate=44100:duration=6", "-c:a", "libmp3lame", "-b:a", "128k",
         (root / "MP3" / "Tone C5.mp3").string()},
        {"-f", "lavfi", "-i", "sine=frequency=392:sample_rate=44100:duration=4", "-c:a", "libmp3lame", "-b:a", "128k",
         (root / "MP3" / "Tone G4.mp3").string()},
        {"-f", "lavfi", "-i", "testsrc=size=640x480", "-frames:v", "1", (root / "IMAGE" / "Test card.jpg").string()},
        {"-f", "lavfi", "-i", "mandelbrot=size=640x480", "-frames:v", "1", (root / "IMAGE" / "Mandelbrot.jpg").string()},
    };
    for (const auto& args : media) {
        if (std::string error = ffmpeg(args); !error.empty())
            return error;
    }
    return {};
}

}  // namespace vmx
