#pragma once

#include "recording/LoadedPane.h"
#include "recording/PaneRefresh.h"
#include "recording/UserInterface.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vmx {

inline constexpr std::uint32_t kPacketSize = 188;

// The packet written in place of every removed packet: the null packet identifier, an
// adaptation field of 170 bytes and a 13-byte payload that begins a video PES header.
extern const std::array<std::uint8_t, kPacketSize> kFillerPacket;

inline constexpr const char* kNoMarksMessage = "Can't open file or You don't mark  point";
// The first line of the question a cut asks before it changes anything (CutQuestionText).
inline constexpr const char* kCutQuestion = "Do you really processing?";
inline constexpr const char* kCutQuestionCaption = "information";
inline constexpr const char* kCutDoneMessage = "Processing Complete";
inline constexpr const char* kMultiCutDoneMessage = "Processing Complete!";
inline constexpr const char* kTrimFailedMessage = "파일없음2.";
inline constexpr const char* kDeleteFailedMessage = "DeleteFile error!";

// Packets [first, last] of a part (inclusive; empty when first > last) that a trim replaces.
struct PacketRange {
    std::int64_t first = 0;
    std::int64_t last = -1;
    bool empty() const { return first > last; }
};

// Where a cut falls, computed from the marks and the recording's timing entry.
struct CutPlan {
    enum class Kind { SinglePart, TwoPart, MultiPart };
    Kind kind = Kind::SinglePart;
    std::uint32_t start = 0;          // start mark in whole seconds
    std::uint32_t end = 0;            // end mark in whole seconds
    std::uint32_t partSeconds = 0;    // seconds per full part
    int startIndex = 0;
    int endIndex = 0;
    int wholePartsRemoved = 0;
    float rateQuotient = 0;           // full part size / part seconds, single precision
    std::int32_t byteRate = 0;        // the same quotient rounded up
    std::int64_t startByte = 0;       // start mark's byte position in the start part
    std::int64_t endByte = 0;         // end mark's byte position in the end part
    std::int64_t firstSecondPackets = 0;  // packets at a part's start that fall in its first second

    // The packets each rewrite replaces by filler.
    PacketRange startTrim() const;   // keeps the part's beginning up to the start mark
    PacketRange endTrim() const;     // removes up to the end mark, keeping the first second
    PacketRange singlePart() const;  // between both marks, keeping the first second
};

// Plans a cut of a recording of `partCount` parts between the marks (seconds, truncated). Returns
// an empty string, or the sentence that refuses it before any file changes.
std::string PlanCut(const TimingEntry& timing, int partCount, double startMark, double endMark, CutPlan& plan);

// The question a planned cut asks: kCutQuestion, and under it the recording's name and the
// stretch the cut takes out, "NAME: START – END" in whole seconds as m:ss, or as h:mm:ss when
// the stretch ends an hour or more into the recording; so that a wrong mark is seen in time.
std::string CutQuestionText(const std::string& recordingName, const CutPlan& plan);

// Writes the filler packet over the packets of `range` of the open part (of `size` bytes), in
// place; a final packet shorter than 188 bytes gets the filler's first bytes. Only those bytes
// are written. Returns 0 or an errno value.
int FillPackets(int fd, std::uint64_t size, PacketRange range);

// A stretch of a recording to cut, in seconds from its first picture.
struct CutStretch {
    double start = 0;
    double end = 0;
};

// How marks become byte positions in the part files.
enum class CutPositioning {
    StreamClock,  // at the key frames at or after the marks, found by the stream's timestamps
    ByteRate,     // by the recording's average byte rate (seconds per full part), as before
};

struct CutRequest {
    std::vector<CutStretch> stretches;  // overlapping ones are merged; empty: nothing is marked
    CutPositioning positioning = CutPositioning::StreamClock;
    bool dryRun = false;  // plan only: say what would be replaced, change nothing, ask nothing
    bool keepForUndo = false;  // keep what the cut replaces and removes in an undo entry (UndoStore)
    unsigned undoSeq = 0;      // 0: a new entry; else the entry of an undone cut being done again
};

// Where one stretch of a cut lands.
struct PlannedStretch {
    CutStretch marks;   // as asked
    CutStretch cut;     // where the cut lands: the key frames at or after the marks (seconds)
    bool startExact = true;  // false: no usable timestamps there, the byte rate placed that mark
    bool endExact = true;
    struct Bytes {
        std::string part;  // part file path
        std::uint64_t first = 0;  // byte range [first, end) of it that the cut replaces or removes
        std::uint64_t end = 0;
        bool removed = false;     // the whole part goes
    };
    std::vector<Bytes> bytes;
};

enum class CutOutcome {
    Refused,   // nothing was changed (the user was told why)
    Declined,  // the user answered No
    Done,
    Failed,    // stopped part way (the user was told what is on disk)
    Planned,   // a dry run: `stretches` says what the cut would do; nothing was changed
};

struct CutResult {
    CutOutcome outcome = CutOutcome::Refused;
    bool resetMarks = false;  // the mark bar's marks no longer apply
    CutPlan::Kind kind = CutPlan::Kind::SinglePart;  // once planned
    std::vector<std::string> rewritten;  // part files whose packets were replaced by filler
    std::vector<std::string> removed;    // part files deleted
    std::vector<std::pair<std::string, std::string>> renamed;  // (old path, new path), in order
    PaneRefresh refresh;
    std::vector<PlannedStretch> stretches;  // where each stretch landed (also for a dry run)
    std::vector<std::string> notes;         // marks the byte rate placed instead of the stream's clock
    std::uint64_t clockBytesRead = 0;       // what finding the key frames read of the part files
    std::string keptIn;                     // the undo entry that keeps what the cut replaced, or empty
};

// Removes the stretch between the marks from the recording at `row` of the pane, in place on
// disk, and writes the database through `writeDb`; a cut that is not done leaves the pane's store
// as the database file still has it. `markCount` is the number of marks set on the mark bar.
CutResult CutRecording(LoadedPane& pane, int row, int markCount, double startMark, double endMark,
                       const WritePaneDb& writeDb, UserInterface& ui);

// The question of a cut placed by the stream's clock: kCutQuestion, the recording's name, and for
// each stretch where the cut lands, "m:ss.s – m:ss.s" (h:mm:ss.s past an hour), with the marks
// as set where they moved to key frames; then the notes on marks the byte rate placed.
std::string CutQuestionText(const std::string& recordingName, const std::vector<PlannedStretch>& stretches,
                            const std::vector<std::string>& notes);

// Removes every stretch of the request from the recording at `row` in one operation: one
// question, one plan on the disk, one database write. With CutPositioning::StreamClock each
// stretch runs from the key frame at or after its start to the key frame at or after its end;
// before the question the user interface is shown where the marks moved (showCutMarks).
CutResult CutRecording(LoadedPane& pane, int row, const CutRequest& request, const WritePaneDb& writeDb,
                       UserInterface& ui);

}  // namespace vmx
