// demo: writes a small receiver disk to try everything on.
#include "CliCommand.h"

#include "CliSupport.h"

#include "recdb/DbWriter.h"
#include "recdb/DiskNaming.h"
#include "recdb/RecordStore.h"
#include "recording/Timing.h"

#include "common/QuietProcess.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace vmxcli {
namespace {

namespace fs = std::filesystem;

struct DemoRecording {
    const char* channel;
    std::uint32_t startTime;  // UTC
    unsigned seconds;
    unsigned kbitPerSecond;
    const char* pattern;  // ffmpeg test source
    unsigned tone;        // Hz
};

// The second recording is long and fast enough to fill one full part and spill into a second.
constexpr DemoRecording kRecordings[] = {
    {"Nature One", 1767261600u, 12, 4000, "testsrc=size=720x576:rate=25", 440},
    {"Sports HD", 1767348000u, 80, 15000, "testsrc2=size=720x576:rate=25", 660},
    {"News 24", 1767434400u, 10, 3000, "smptebars=size=720x576:rate=25", 880},
};

// Runs a program with arguments (no shell), its output silenced; throws Failure when it fails.
void run(const std::vector<std::string>& argv)
{
    const vmx::QuietRun ran = vmx::RunQuietly(argv);
    if (!ran.started())
        throw Failure{"cannot start " + argv[0] + " (" + std::strerror(ran.startError) + "); the demo disk needs ffmpeg."};
    if (!ran.succeeded())
        throw Failure{argv[0] + " failed while writing the demo disk."};
}

// Encodes a transport stream like the receiver records: MPEG-2 video and MP2 audio.
void makeStream(const DemoRecording& r, const fs::path& out)
{
    const std::string rate = std::to_string(r.kbitPerSecond) + "k";
    run({"ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i", r.pattern, "-f", "lavfi", "-i",
         "sine=frequency=" + std::to_string(r.tone) + ":sample_rate=48000", "-t", std::to_string(r.seconds),
         "-c:v", "mpeg2video", "-b:v", rate, "-minrate", rate, "-maxrate", rate, "-bufsize", "2M",
         "-c:a", "mp2", "-b:a", "192k", "-muxrate", std::to_string(r.kbitPerSecond + 400) + "k",
         "-f", "mpegts", out.string()});
}

// Splits a stream into part files of the full part size, the way the receiver stores it.
std::vector<std::string> splitIntoParts(const fs::path& stream, const fs::path& folder, const std::string& prefix)
{
    std::vector<std::string> names;
    std::FILE* in = std::fopen(stream.c_str(), "rb");
    if (!in)
        throw Failure{"cannot read " + stream.string() + "."};
    std::vector<char> buffer(1 << 20);
    for (char letter = 'A'; ; ++letter) {
        std::uint64_t written = 0;
        const std::string name = prefix + "A" + std::string(1, letter) + ".TRP";
        std::FILE* out = nullptr;
        while (written < vmx::kFullPartSize) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), vmx::kFullPartSize - written));
            const std::size_t got = std::fread(buffer.data(), 1, want, in);
            if (got == 0)
                break;
            if (!out && !(out = std::fopen((folder / name).c_str(), "wb")))
                throw Failure{"cannot write " + (folder / name).string() + "."};
            if (std::fwrite(buffer.data(), 1, got, out) != got)
                throw Failure{"cannot write " + (folder / name).string() + "."};
            written += got;
        }
        if (out) {
            std::fclose(out);
            names.push_back(name);
        }
        if (written < vmx::kFullPartSize)
            break;
    }
    std::fclose(in);
    return names;
}

}  // namespace

int runDemo(const Args& args)
{
    if (args.size() != 1)
        throw UsageError{args.empty() ? "missing the folder to write the demo disk into." : "unexpected argument \"" + args[1] + "\"."};
    const fs::path root = args[0];
    const fs::path record = root / "RECORD";
    const fs::path db = record / "DZT000.DB";
    std::error_code ec;
    if (fs::exists(db, ec))
        throw Failure{db.string() + " already exists; the demo disk is written only into a new folder."};
    for (const char* sub : {"RECORD", "MP3", "IMAGE"}) {
        fs::create_directories(root / sub, ec);
        if (ec)
            throw Failure{"cannot create " + (root / sub).string() + ": " + ec.message() + "."};
    }
    if (std::string error = AVMCreateEmptyDb(db.string()); !error.empty())
        throw Failure{"cannot create the database " + error + "."};
    loadDatabase(db.string());

    const fs::path scratch = record / ".demo-stream.ts";
    for (const auto& r : kRecordings) {
        std::fprintf(stderr, "Recording \"%s\" (%u s)...\n", r.channel, r.seconds);
        std::uint16_t id = 0;
        AVMRec rec{};
        if (!DBMAllocRecord(kDBMTypeRecord, &id, &rec))
            throw Failure{"the demo database is full."};
        char prefix[8] = {};
        AVMMakeRecordPrefix(&rec, prefix);
        makeStream(r, scratch);
        const auto parts = splitIntoParts(scratch, record, prefix);
        fs::remove(scratch, ec);
        rec.name[0] = 0x05;
        std::snprintf(reinterpret_cast<char*>(rec.name + 1), sizeof rec.name - 1, "%s", r.channel);
        rec.startTime = r.startTime;
        rec.duration = r.seconds;
        rec.vid = 256;   // the PIDs ffmpeg's muxer uses
        rec.aid = 257;
        rec.pid = 4096;
        rec.partCount = static_cast<std::uint16_t>(parts.size());
        for (std::size_t j = 0; j < parts.size(); ++j)
            std::snprintf(rec.parts[j].name, sizeof rec.parts[j].name, "%s", parts[j].c_str());
        DBMSetRecord(kDBMTypeRecord, id, &rec);
    }
    if (AVMWriteDb(kDBMTypeRecord) != 0)
        throw Failure{"cannot write the demo database " + db.string() + "."};
    // Measure the parts as a pane does after a load, so extA holds the real sizes.
    loadDatabase(db.string());
    if (AVMWriteDb(kDBMTypeRecord) != 0)
        throw Failure{"cannot write the demo database " + db.string() + "."};

    std::fprintf(stderr, "Music and pictures...\n");
    run({"ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i", "sine=frequency=523:sample_rate=44100:duration=6",
         "-c:a", "libmp3lame", "-b:a", "128k", (root / "MP3" / "Tone C5.mp3").string()});
    run({"ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i", "sine=frequency=392:sample_rate=44100:duration=4",
         "-c:a", "libmp3lame", "-b:a", "128k", (root / "MP3" / "Tone G4.mp3").string()});
    run({"ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=640x480", "-frames:v", "1",
         (root / "IMAGE" / "Test card.jpg").string()});
    run({"ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i", "mandelbrot=size=640x480", "-frames:v", "1",
         (root / "IMAGE" / "Mandelbrot.jpg").string()});
    std::printf("Wrote the demo receiver disk %s\n", root.c_str());
    return kExitOk;
}

}  // namespace vmxcli
