#include "recording/Cut.h"

#include "recdb/DbWriter.h"
#include "recdb/RecordStore.h"
#include "recording/RecordingFiles.h"
#include "common/RegularFile.h"
#include "common/UniqueFd.h"
#include "common/WriteAll.h"
#include "recording/WaitScope.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vmx {

const std::array<std::uint8_t, kPacketSize> kFillerPacket = [] {
    std::array<std::uint8_t, kPacketSize> packet{};
    const std::uint8_t head[5] = {0x47, 0x5F, 0xFF, 0x30, 0xAA};
    const std::uint8_t pes[7] = {0x01, 0xE0, 0x00, 0x00, 0x80, 0x00, 0x04};
    std::copy(std::begin(head), std::end(head), packet.begin());
    std::copy(std::begin(pes), std::end(pes), packet.begin() + 177);
    std::fill(packet.begin() + 184, packet.end(), 0xFF);
    return packet;
}();

namespace {

// Packets of filler written by one call.
constexpr std::size_t kFillerRun = 4096;

const std::vector<std::uint8_t>& fillerRun()
{
    static const std::vector<std::uint8_t> run = [] {
        std::vector<std::uint8_t> bytes(kFillerRun * kPacketSize);
        for (std::size_t k = 0; k < kFillerRun; ++k)
            std::copy(kFillerPacket.begin(), kFillerPacket.end(), bytes.begin() + static_cast<std::ptrdiff_t>(k * kPacketSize));
        return bytes;
    }();
    return run;
}

std::int64_t ceilDiv(std::int64_t value, std::int64_t by)
{
    return value <= 0 ? 0 : (value + by - 1) / by;
}

// A part opened for its rewrite, with its size.
struct OpenPart {
    std::string path;
    UniqueFd fd;
    std::uint64_t size = 0;
};

std::string openForTrim(const std::string& path, OpenPart& part)
{
    // A link would let the rewrite reach a file outside the folder.
    part.path = path;
    return OpenRegularFile(path, O_RDWR | O_NOFOLLOW, part.fd, part.size);
}

std::string trim(OpenPart& part, PacketRange range)
{
    if (const int error = FillPackets(part.fd.get(), part.size, range); error != 0)
        return "cannot rewrite " + part.path + ": " + std::strerror(error) + ".";
    return {};
}

// Refuses a cut of a recording whose part files are not its own alone: a damaged database can
// name one file twice in a recording, or a file of another recording (listed, or deleted and
// waiting for the next write). Deleting, trimming or renaming such a file would damage the
// other user of it. Empty when every part file belongs to this recording once.
std::string sharedPartsMessage(const AVMRec& record, unsigned id)
{
    const SharedPart shared = FindSharedPart(id);
    switch (shared.kind) {
    case SharedPart::Kind::None:
        return {};
    case SharedPart::Kind::ListedTwice:
        return "the recording \"" + RecordDisplayName(record) + "\" lists the part file \"" + shared.name +
               "\" twice; its files are left alone.";
    case SharedPart::Kind::OtherRecording:
        return "the part file \"" + shared.name + "\" of the recording \"" + RecordDisplayName(record) +
               "\" also belongs to the recording \"" + RecordDisplayName(shared.other) + "\"; its files are left alone.";
    }
    return {};
}

// The multi-part cut's name plan: kept parts (record order) and their new names.
struct Renumbering {
    std::vector<int> kept;
    std::vector<int> removed;
    std::vector<std::string> newNames;
};

Renumbering planRenumbering(const AVMRec& record, const CutPlan& plan, std::uint32_t duration)
{
    Renumbering r;
    for (int i = 0; i < record.partCount; ++i) {
        const bool keep = (i <= plan.startIndex && plan.start != 0) || (i >= plan.endIndex && plan.end != duration);
        (keep ? r.kept : r.removed).push_back(i);
    }
    const std::string prefix = r.removed.empty() ? std::string() : PartName(record, r.removed.back()).substr(0, 6);
    for (std::size_t k = 0; k < r.kept.size(); ++k) {
        std::string name = prefix;
        name += static_cast<char>('A' + k / 26);
        name += static_cast<char>('A' + k % 26);
        name += ".TRP";
        r.newNames.push_back(name);
    }
    return r;
}

// Empty when the part is a regular file of the folder (not a link, folder or pipe, which a
// deletion or renaming would fail on or reach through).
std::string partFileProblem(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return "the part " + path + " is missing: " + std::strerror(errno) + ".";
    if (!S_ISREG(st.st_mode))
        return "the part " + path + " is not a regular file; it was left alone.";
    return {};
}

// Refuses a renumbering whose parts to delete or rename are not all there as regular files.
std::string checkRenumberedParts(const std::string& folder, const AVMRec& record, const Renumbering& r)
{
    for (const std::vector<int>* parts : {&r.removed, &r.kept}) {
        for (const int i : *parts) {
            if (std::string problem = partFileProblem(PartPath(folder, record, i)); !problem.empty())
                return problem;
        }
    }
    return {};
}

// Refuses a renumbering that would need a file name already taken by something else.
std::string checkNewNames(const std::string& folder, const AVMRec& record, const Renumbering& r)
{
    std::set<std::string> own;
    for (int i = 0; i < record.partCount; ++i)
        own.insert(PartName(record, i));
    for (std::size_t k = 0; k < r.kept.size(); ++k) {
        const std::string oldName = PartName(record, r.kept[k]);
        const std::string& newName = r.newNames[k];
        struct stat st {};
        if (newName == oldName)
            continue;
        if (!own.count(newName) && ::lstat((folder + newName).c_str(), &st) == 0)
            return folder + newName + " already exists and belongs to no part of this recording; the parts "
                   "cannot be renumbered.";
        for (std::size_t j = k + 1; j < r.kept.size(); ++j) {
            if (PartName(record, r.kept[j]) == newName)
                return "the part " + oldName + " cannot be renamed to " + newName +
                       ", which a later part of the recording still uses.";
        }
    }
    return {};
}

// The record after a multi-part cut that left `names` as its parts.
void updateRecord(AVMRec& record, const std::vector<std::string>& names, const CutPlan& plan, const TimingEntry& timing)
{
    const auto count = static_cast<std::uint32_t>(names.size());
    for (std::size_t k = 0; k < names.size(); ++k) {
        std::memset(record.parts[k].name, 0, sizeof record.parts[k].name);
        std::memcpy(record.parts[k].name, names[k].data(), kAVMPartNameLen);
    }
    if (plan.end == record.duration) {
        record.duration = plan.partSeconds * count;
        record.extA = static_cast<std::uint64_t>(count) * kFullPartSize;
    } else if (count > 0) {
        record.duration = plan.partSeconds * (count - 1) + timing.secondsInLastPart;
        record.extA = static_cast<std::uint64_t>(count - 1) * kFullPartSize + timing.lastPartSize;
    }
    record.partCount = static_cast<std::uint16_t>(count);
}

CutResult ended(CutOutcome outcome, bool resetMarks, CutPlan::Kind kind)
{
    CutResult result;
    result.outcome = outcome;
    result.resetMarks = resetMarks;
    result.kind = kind;
    return result;
}

// Writes the pane's database; empty, or the sentence that says the cut parts are not registered.
std::string writePaneDb(const WritePaneDb& writeDb)
{
    if (std::string error = writeDb(); !error.empty())
        return "the database could not be written: " + error;
    return {};
}

CutResult runMultiPartCut(LoadedPane& pane, int row, AVMRec record, const CutPlan& plan, const TimingEntry& timing,
                          const Renumbering& plan2, OpenPart* startPart, OpenPart* endPart,
                          const WritePaneDb& writeDb, UserInterface& ui)
{
    CutResult result = ended(CutOutcome::Failed, true, plan.kind);
    const std::string& folder = pane.folder;
    std::string failure;
    bool changedNames = false;
    // What the record must name when the cut stops: every part file still on disk, in order.
    std::vector<std::string> names;

    for (OpenPart* part : {startPart, endPart}) {
        if (!part || !failure.empty())
            continue;
        failure = trim(*part, part == startPart ? plan.startTrim() : plan.endTrim());
        result.rewritten.push_back(part->path);
    }
    if (!failure.empty()) {
        ui.showMessage(std::string(kTrimFailedMessage) + "\n" + failure + " No part was deleted or renamed.");
        return result;
    }

    std::set<int> deleted;
    for (const int i : plan2.removed) {
        const std::string path = PartPath(folder, record, i);
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            failure = std::string(kDeleteFailedMessage) + "\ncannot delete " + path + ": " + std::strerror(errno) +
                      ". The cut stopped; the recording keeps the parts that are still on disk.";
            break;
        }
        deleted.insert(i);
        result.removed.push_back(path);
        changedNames = true;
    }

    std::size_t renamed = 0;
    if (failure.empty()) {
        for (; renamed < plan2.kept.size(); ++renamed) {
            const std::string oldName = PartName(record, plan2.kept[renamed]);
            const std::string& newName = plan2.newNames[renamed];
            if (oldName == newName)
                continue;
            if (const int error = RenameNoReplace(folder + oldName, folder + newName); error != 0) {
                failure = "cannot rename " + folder + oldName + " to " + newName + ": " + std::strerror(error) +
                          ". The cut stopped; the recording names its parts as they are on disk.";
                break;
            }
            result.renamed.emplace_back(folder + oldName, folder + newName);
        }
    }
    for (int i = 0, k = 0; i < record.partCount; ++i) {
        if (deleted.count(i))
            continue;
        const bool isKept = k < static_cast<int>(plan2.kept.size()) && plan2.kept[static_cast<std::size_t>(k)] == i;
        if (isKept && static_cast<std::size_t>(k) < renamed)
            names.push_back(plan2.newNames[static_cast<std::size_t>(k)]);
        else
            names.push_back(PartName(record, i));
        if (isKept)
            ++k;
    }
    // A trimmed part that was renamed afterwards lies under its new name.
    for (std::string& path : result.rewritten) {
        for (const auto& [from, to] : result.renamed) {
            if (path == from) {
                path = to;
                break;
            }
        }
    }
    if (changedNames) {
        updateRecord(record, names, plan, timing);
        DBMSetRecord(kDBMTypeRecord, static_cast<unsigned>(row + 1), &record);
        RefreshTimingEntry(pane, row);
    }
    const std::string dbError = writePaneDb(writeDb);
    if (!failure.empty()) {
        ui.showMessage(failure + (dbError.empty() ? "" : " Besides, " + dbError));
        return result;
    }
    if (!dbError.empty()) {
        ui.showMessage("The parts were cut, but " + dbError);
        return result;
    }
    ui.showMessage(kMultiCutDoneMessage);
    result.outcome = CutOutcome::Done;
    return result;
}

}  // namespace

PacketRange CutPlan::startTrim() const
{
    return {ceilDiv(startByte, kPacketSize), INT64_MAX};
}

PacketRange CutPlan::endTrim() const
{
    return {firstSecondPackets, endByte < 0 ? -1 : endByte / kPacketSize};
}

PacketRange CutPlan::singlePart() const
{
    return {std::max(firstSecondPackets, ceilDiv(startByte, kPacketSize)), endByte < 0 ? -1 : endByte / kPacketSize};
}

std::string PlanCut(const TimingEntry& timing, int partCount, double startMark, double endMark, CutPlan& plan)
{
    if (!timing.measured())
        return kNoMarksMessage;
    if (partCount < 1)
        return "This recording has no part files to cut.";
    if (timing.secondsPerPart == 0)
        return "This recording cannot be cut: its duration is too short for the size of its part files.";
    if (!(startMark >= 0) || !(endMark >= startMark))
        return "The start mark must lie before the end mark.";
    if (endMark >= static_cast<double>(timing.duration) + 1)
        return "The end mark lies after the end of the recording.";
    plan = CutPlan{};
    plan.start = static_cast<std::uint32_t>(startMark);
    plan.end = static_cast<std::uint32_t>(endMark);
    if (plan.start == 0 && plan.end == timing.duration)
        return "The marks span the whole recording, so nothing would be left; delete the recording instead.";
    const std::uint32_t p = timing.secondsPerPart;
    const auto last = static_cast<std::uint32_t>(partCount - 1);
    plan.partSeconds = p;
    plan.startIndex = static_cast<int>(std::min(plan.start / p, last));
    plan.endIndex = static_cast<int>(std::min(plan.end / p, last));
    if (plan.startIndex == plan.endIndex)
        plan.wholePartsRemoved = 0;
    else if (plan.end != timing.duration && plan.start != 0)
        plan.wholePartsRemoved = plan.endIndex - plan.startIndex - 1;
    else
        plan.wholePartsRemoved = plan.endIndex - plan.startIndex;
    plan.kind = plan.startIndex == plan.endIndex ? CutPlan::Kind::SinglePart
              : plan.wholePartsRemoved == 0      ? CutPlan::Kind::TwoPart
                                                 : CutPlan::Kind::MultiPart;

    const double quotient = static_cast<double>(kFullPartSize) / p;
    plan.rateQuotient = static_cast<float>(quotient);
    plan.byteRate = static_cast<std::int32_t>(std::ceil(quotient));
    plan.startByte = static_cast<std::int64_t>(plan.start - static_cast<std::uint32_t>(plan.startIndex) * p) * plan.byteRate;
    plan.endByte = static_cast<std::int64_t>(plan.end - static_cast<std::uint32_t>(plan.endIndex) * p) * plan.byteRate;
    // Packets whose position, as a float, is not greater than the rate quotient are the first
    // second of a part.
    std::int64_t k = std::max<std::int64_t>(0, static_cast<std::int64_t>(quotient / kPacketSize) - 2);
    while (static_cast<float>(static_cast<std::int32_t>(k * kPacketSize)) <= plan.rateQuotient)
        ++k;
    plan.firstSecondPackets = k;
    return {};
}

int FillPackets(int fd, std::uint64_t size, PacketRange range)
{
    const auto packets = static_cast<std::int64_t>((size + kPacketSize - 1) / kPacketSize);
    const std::int64_t first = std::max<std::int64_t>(range.first, 0);
    const std::int64_t last = std::min(range.last, packets - 1);
    if (first > last)
        return 0;
    const std::uint64_t begin = static_cast<std::uint64_t>(first) * kPacketSize;
    const std::uint64_t end = std::min(size, static_cast<std::uint64_t>(last + 1) * kPacketSize);
    const std::vector<std::uint8_t>& run = fillerRun();
    for (std::uint64_t position = begin; position < end;) {
        // Every run starts on a packet boundary, so a shorter final packet receives the filler's
        // first bytes.
        const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(end - position, run.size()));
        if (const int error = WriteAllAt(fd, run.data(), length, position); error != 0)
            return error;
        position += length;
    }
    return ::fdatasync(fd) == 0 ? 0 : errno;
}

CutResult CutRecording(LoadedPane& pane, int row, int markCount, double startMark, double endMark,
                       const WritePaneDb& writeDb, UserInterface& ui)
{
    const TimingEntry timing = pane.timingAt(row);
    if (markCount != 2 || !timing.measured()) {
        ui.showMessage(kNoMarksMessage);
        return {};
    }
    AVMRec record{};
    if (!DBMGetRecord(kDBMTypeRecord, static_cast<unsigned>(row + 1), &record))
        return {};
    if (std::string unsafe = UnsafePartsMessage(record, pane.dbPath); !unsafe.empty() ||
        !(unsafe = sharedPartsMessage(record, static_cast<unsigned>(row + 1))).empty()) {
        ui.showMessage("Cannot cut: " + unsafe);
        return {};
    }
    CutPlan plan;
    if (const std::string refusal = PlanCut(timing, record.partCount, startMark, endMark, plan); !refusal.empty()) {
        ui.showMessage(refusal);
        return {};
    }

    // Everything that could stop the cut half way is checked before the question.
    const bool single = plan.kind == CutPlan::Kind::SinglePart;
    const bool multi = plan.kind == CutPlan::Kind::MultiPart;
    Renumbering renumbering;
    OpenPart startPart;
    OpenPart endPart;
    bool trimStart = !single && (!multi || plan.start != 0);
    bool trimEnd = !single && (!multi || plan.end != timing.duration);
    // A part that cannot be opened is the receiver tool's "파일없음2." case; any other refusal is
    // said without it.
    std::string unopened;
    if (single)
        unopened = openForTrim(PartPath(pane.folder, record, plan.startIndex), startPart);
    if (unopened.empty() && trimStart)
        unopened = openForTrim(PartPath(pane.folder, record, plan.startIndex), startPart);
    if (unopened.empty() && trimEnd)
        unopened = openForTrim(PartPath(pane.folder, record, plan.endIndex), endPart);
    if (unopened.empty() && multi) {
        renumbering = planRenumbering(record, plan, timing.duration);
        unopened = checkRenumberedParts(pane.folder, record, renumbering);
    }
    if (!unopened.empty()) {
        ui.showMessage(std::string(kTrimFailedMessage) + "\n" + unopened + " Nothing was changed.");
        return ended(CutOutcome::Refused, false, plan.kind);
    }
    // The cut ends with a write of the database; one that cannot be written must stop it now,
    // before a part changes.
    std::string problem = multi ? checkNewNames(pane.folder, record, renumbering) : std::string();
    if (problem.empty())
        problem = CheckDbWritable(pane.dbPath);
    if (!problem.empty()) {
        ui.showMessage("Cannot cut: " + problem + " Nothing was changed.");
        return ended(CutOutcome::Refused, false, plan.kind);
    }

    if (!ui.askYesNo(kCutQuestion, kCutQuestionCaption))
        return ended(CutOutcome::Declined, single, plan.kind);

    WaitScope wait(ui);
    if (multi)
        return runMultiPartCut(pane, row, record, plan, timing, renumbering, trimStart ? &startPart : nullptr,
                               trimEnd ? &endPart : nullptr, writeDb, ui);

    CutResult result = ended(CutOutcome::Failed, true, plan.kind);
    std::string failure = single ? trim(startPart, plan.singlePart()) : trim(startPart, plan.startTrim());
    result.rewritten.push_back(startPart.path);
    if (!single) {
        const std::string second = trim(endPart, plan.endTrim());
        result.rewritten.push_back(endPart.path);
        if (failure.empty())
            failure = second;
    }
    if (!failure.empty()) {
        ui.showMessage(std::string(kTrimFailedMessage) + "\n" + failure);
        return result;
    }
    if (const std::string dbError = writePaneDb(writeDb); !dbError.empty()) {
        ui.showMessage("The parts were cut, but " + dbError);
        return result;
    }
    ui.showMessage(kCutDoneMessage);
    result.outcome = CutOutcome::Done;
    return result;
}

}  // namespace vmx
