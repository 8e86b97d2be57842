// velmorix-cli: the recording database and file operations from a terminal or a script.
#include "cli/CliCommand.h"

#include "VelmorixVersion.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

using namespace vmx::cli;

const CommandSpec kCommands[] = {
    {"list", "DB [--json]", "list the recordings of a database", RunList},
    {"show", "DB ID [--json]", "show one recording", RunShow},
    {"create", "DB [--json]", "create an empty database file", RunCreate},
    {"rename", "DB ID NAME [--json]", "rename a recording", RunRename},
    {"delete", "DB ID... [--no-undo] [--json]", "delete recordings with their part files (kept for undo)", RunDelete},
    {"undo", "DB [--empty|--list] [--json]", "take back the last deletion or cut (--empty: free what undo keeps)",
     RunUndo},
    {"redo", "DB [--json]", "do the last undone deletion or cut again", RunRedo},
    {"check", "DB", "check a database and its part files", RunCheck},
    {"demo", "DIR [--h264]", "write a small demo receiver disk (--h264: H.264 video instead of MPEG-2)", RunDemo},
    {"copy", "SRC_DB DST_DB ID... [--yes] [--json]", "copy recordings with their part files into another database", RunCopy},
    {"merge", "DB ID OUTDIR [--json]", "join a recording's part files into one .trp file", RunMerge},
    {"export",
     "DB ID DIR [--format mkv|mp4] [--encode h264|hevc [--quality N] [--size WxH] [--hw] "
     "[--deinterlace|--no-deinterlace]] [--json]",
     "write a recording into one MKV or MP4 file in DIR, its streams copied without re-encoding; --encode: the "
     "video encoded anew (CRF --quality 0..51, --size in even pixels, --hw: VAAPI), the audio as AAC", RunExport},
    {"ads", "DB ID [--edl FILE] [--min-block S] [--max-block S] [--min-programme S] [--json]",
     "propose the blocks of advertising of a recording (black and silent pictures, the channel logo, changes of "
     "format), nothing written to the disk; --edl writes them into an EDL file (\"START END 3\" a line)", RunAds},
    {"cut", "DB ID START END [START END ...] [--edl FILE] [--yes] [--json] [--dry-run] [--by-byte-rate] [--no-undo]",
     "cut stretches (seconds) out of a recording, from the key frame at or after each mark; --edl: every stretch an "
     "EDL file lists; --dry-run says what would be replaced, --by-byte-rate places one stretch by the average byte "
     "rate", RunCut},
    {"media", "put FILE...|get NAME... DIR|list mp3|image|delete NAME... [--receiver DIR] [--json]",
     "MP3 files and pictures on the receiver", RunMedia},
    {"convert", "FILE... --dest DIR [--prefix P] [--audio-dump] [--yes] [--json]",
     "convert video files to AVI (or dump their audio to MP3)", RunConvert},
};

void PrintUsage(FILE* out)
{
    std::fprintf(out, "usage: velmorix-cli COMMAND ARGS...\n       velmorix-cli --version\n\ncommands:\n");
    for (const auto& c : kCommands)
        std::fprintf(out, "  %s %s\n      %s\n", c.name, c.usage, c.summary);
    std::fprintf(out, "\nWith --json a command that changes something prints one JSON object on stdout: what it\n"
                      "wrote and removed (paths), how long it took (seconds), warnings and messages.\n"
                      "\nExit status: 0 done, 1 the operation failed, 2 bad usage.\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? kExitUsage : kExitOk;
    }
    if (!std::strcmp(argv[1], "--version")) {
        std::printf("velmorix-cli %s\n", VELMORIX_VERSION);
        return kExitOk;
    }
    const std::string name = argv[1];
    for (const auto& c : kCommands) {
        if (name != c.name)
            continue;
        Args args(argv + 2, argv + argc);
        try {
            return c.run(args);
        } catch (const UsageError& e) {
            std::fprintf(stderr, "velmorix-cli %s: %s\nusage: velmorix-cli %s %s\n", c.name,
                         e.text.c_str(), c.name, c.usage);
            return kExitUsage;
        } catch (const Failure& e) {
            std::fprintf(stderr, "velmorix-cli %s: %s\n", c.name, e.text.c_str());
            return kExitFailed;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "velmorix-cli %s: %s\n", c.name, e.what());
            return kExitFailed;
        }
    }
    std::fprintf(stderr, "velmorix-cli: unknown command \"%s\"\n", name.c_str());
    PrintUsage(stderr);
    return kExitUsage;
}
