#include "recording/Cut.h"

#include "common/FileFingerprint.h"
#include "common/FilePaths.h"
#include "common/RegularFile.h"
#include "recdb/DbCheck.h"
#include "recdb/DbCompanions.h"
#include "recdb/DbReader.h"
#include "recdb/DbWriter.h"
#include "recdb/StoreEdit.h"
#include "recording/CutJournal.h"
#include "recording/CutPositions.h"
#include "recording/CutSteps.h"
#include "recording/RecordingFiles.h"
#include "recording/UndoStore.h"
#include "common/Fnv1a.h"
#include "common/ReadAll.h"
#include "common/UniqueFd.h"
#include "common/WriteAll.h"
#include "recording/WaitScope.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
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

// Refuses a cut of a recording whose part files are not its own alone: a damaged database can
// name one file twice in a recording, or a file of another recording (listed, or deleted and
// waiting for the next write). Deleting, trimming or renaming such a file would damage the
// other user of it. Empty when every part file belongs to this recording once.
std::string sharedPartsMessage(const RecordStore& store, const AVMRec& record, unsigned id, const std::string& dbPath,
                               const FolderParts& folderParts)
{
    // The folder's other database shares the space of part names.
    for (int i = 0; i < record.partCount; ++i) {
        const std::string name = PartName(record, i);
        if (folderParts.namedByAnotherDatabase(name, dbPath)) {
            const PartOwner* owner = folderParts.anotherOwner(name, dbPath, record.slot - 1);
            AVMRec other{};
            if (owner)
                std::memcpy(other.name, owner->name.data(), sizeof other.name);
            return "the part file \"" + name + "\" of the recording \"" + RecordDisplayName(record) +
                   "\" also belongs to the recording \"" + RecordDisplayName(other) + "\" of " +
                   (owner ? owner->dbPath : std::string("another database")) + "; its files are left alone.";
        }
    }
    const SharedPart shared = store.findSharedPart(id);
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

// Renumbers the parts that stay: every part not marked removed keeps its place in record order and
// takes the name prefix of the last removed part with the letters AA, AB, ...
Renumbering renumberKept(const AVMRec& record, const std::vector<bool>& removed)
{
    Renumbering r;
    for (int i = 0; i < record.partCount; ++i)
        (removed[static_cast<std::size_t>(i)] ? r.removed : r.kept).push_back(i);
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

Renumbering planRenumbering(const AVMRec& record, const CutPlan& plan, std::uint32_t duration)
{
    std::vector<bool> removed(static_cast<std::size_t>(std::max(0, static_cast<int>(record.partCount))));
    for (int i = 0; i < record.partCount; ++i) {
        const bool keep = (i <= plan.startIndex && plan.start != 0) || (i >= plan.endIndex && plan.end != duration);
        removed[static_cast<std::size_t>(i)] = !keep;
    }
    return renumberKept(record, removed);
}

// Empty when the part is a regular file of the folder (not a link, folder or pipe, which a
// deletion or renaming would fail on or reach through); `seen`, when given, gets what lstat found.
std::string partFileProblem(const std::string& path, struct stat* seen = nullptr)
{
    struct stat own {};
    struct stat& st = seen ? *seen : own;
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

// Refuses a renumbering that would need a file name already taken by something else, or one that a
// recording of the folder's other database names (its file may be missing just now).
std::string checkNewNames(const std::string& folder, const std::string& dbPath, const AVMRec& record,
                          const Renumbering& r, const FolderParts& folderParts)
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
        // A name of another part of the recording is free by the time it is taken: every renamed
        // part first moves to a transit name of its own (see CutJournal).
        if (!own.count(newName) && ::lstat((folder + newName).c_str(), &st) == 0)
            return folder + newName + " already exists and belongs to no part of this recording; the parts "
                   "cannot be renumbered.";
        if (folderParts.namedByAnotherDatabase(newName, dbPath))
            return newName + " is a part name of a recording of another database in " + folder +
                   "; the parts cannot be renumbered.";
    }
    return {};
}

// The record after a cut that removed whole parts and left `names` as its parts: every kept part
// counts `partSeconds`, except a kept last part, which counts what the timing entry measured of it.
void updateRecord(AVMRec& record, const std::vector<std::string>& names, bool lastPartRemoved,
                  std::uint32_t partSeconds, const TimingEntry& timing)
{
    const auto count = static_cast<std::uint32_t>(names.size());
    for (std::size_t k = 0; k < names.size(); ++k) {
        std::memset(record.parts[k].name, 0, sizeof record.parts[k].name);
        std::memcpy(record.parts[k].name, names[k].data(), kAVMPartNameLen);
    }
    if (lastPartRemoved) {
        record.duration = partSeconds * count;
        record.extA = static_cast<std::uint64_t>(count) * kFullPartSize;
    } else if (count > 0) {
        record.duration = partSeconds * (count - 1) + timing.secondsInLastPart;
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

// What a cut does to the recording's part files, however its positions were found: the packet
// ranges replaced by filler (in record order of their parts), and, when whole parts go, the
// renumbering of the parts that stay and the record's new duration.
struct CutEdits {
    CutPlan::Kind kind = CutPlan::Kind::SinglePart;
    std::vector<std::pair<int, PacketRange>> trims;  // part index, packets
    bool renumber = false;
    Renumbering renumbering;
    bool lastPartRemoved = false;
    std::uint32_t partSeconds = 0;
};

// The edits of a cut planned by the average byte rate.
CutEdits editsOfPlan(const AVMRec& record, const CutPlan& plan, const TimingEntry& timing, bool trimStart,
                     bool trimEnd)
{
    CutEdits edits;
    edits.kind = plan.kind;
    edits.partSeconds = plan.partSeconds;
    switch (plan.kind) {
    case CutPlan::Kind::SinglePart:
        edits.trims.emplace_back(plan.startIndex, plan.singlePart());
        break;
    case CutPlan::Kind::TwoPart:
        edits.trims.emplace_back(plan.startIndex, plan.startTrim());
        edits.trims.emplace_back(plan.endIndex, plan.endTrim());
        break;
    case CutPlan::Kind::MultiPart:
        if (trimStart)
            edits.trims.emplace_back(plan.startIndex, plan.startTrim());
        if (trimEnd)
            edits.trims.emplace_back(plan.endIndex, plan.endTrim());
        edits.renumber = true;
        edits.renumbering = planRenumbering(record, plan, timing.duration);
        edits.lastPartRemoved = plan.end == record.duration;
        break;
    }
    return edits;
}

// Everything that could stop a cut half way, checked before its question. `unopened` gets the
// receiver tool's "파일없음2." case (a part that is not there or cannot be opened), `problem`
// every other refusal.
void checkEdits(const LoadedPane& pane, const AVMRec& record, const CutEdits& edits, const FolderParts& folderParts,
                std::string& unopened, std::string& problem)
{
    for (const auto& [part, packets] : edits.trims) {
        OpenPart open;
        if (unopened.empty())
            unopened = openForTrim(PartPath(pane.folder, record, part), open);
    }
    if (unopened.empty() && edits.renumber)
        unopened = checkRenumberedParts(pane.folder, record, edits.renumbering);
    if (!unopened.empty())
        return;
    // The cut ends with a write of the database; one that cannot be written must stop it now,
    // before a part changes.
    if (edits.renumber)
        problem = checkNewNames(pane.folder, pane.dbPath, record, edits.renumbering, folderParts);
    if (problem.empty())
        problem = CheckDbWritable(pane.dbPath);
}

// The cut as a plan of file steps and the database's content after it (see CutJournal). When whole
// parts go, the store's record already holds the record after the cut when this returns (an edit
// of `edit`).
struct PlannedCut {
    CutJournal journal;
    std::vector<std::string> trimmedAs; // paths of the trimmed parts under their final names
};

std::string planSteps(LoadedPane& pane, StoreEdit& edit, int row, const AVMRec& record, const CutEdits& edits,
                      const TimingEntry& timing, PlannedCut& planned)
{
    CutJournal& journal = planned.journal;
    journal.dbName = FileNameOfPath(pane.dbPath);
    FileFingerprint before;
    if (std::string error = TakeFingerprint(pane.dbPath, kMaxDbContentSize, before); !error.empty())
        return error;
    journal.sizeBefore = before.size;
    journal.hashBefore = before.hash;
    for (const auto& [part, packets] : edits.trims) {
        journal.trims.push_back({PartName(record, part), packets});
        const std::string path = pane.folder + journal.trims.back().part;
        if (std::find(planned.trimmedAs.begin(), planned.trimmedAs.end(), path) == planned.trimmedAs.end())
            planned.trimmedAs.push_back(path);
    }
    if (edits.renumber) {
        const Renumbering& renumbering = edits.renumbering;
        for (const int i : renumbering.removed)
            journal.removed.push_back(PartName(record, i));
        for (std::size_t k = 0; k < renumbering.kept.size(); ++k) {
            const std::string from = PartName(record, renumbering.kept[k]);
            const std::string& to = renumbering.newNames[k];
            if (from == to)
                continue;
            journal.renames.push_back({from, to});
            for (std::string& path : planned.trimmedAs) {
                if (path == pane.folder + from)
                    path = pane.folder + to;
            }
        }
        AVMRec after = record;
        updateRecord(after, renumbering.newNames, edits.lastPartRemoved, edits.partSeconds, timing);
        // extA as the pane measures it once the parts carry their new names: the last kept part is
        // measured under the name it has now.
        if (!renumbering.kept.empty()) {
            AVMRec measured = after;
            std::memcpy(measured.parts[after.partCount - 1].name, record.parts[renumbering.kept.back()].name,
                        kAVMPartNameLen);
            const TimingEntry entry = ComputeTimingEntry(pane.folder, measured);
            if (entry.measured())
                after.extA = entry.totalSize;
        }
        edit.set(static_cast<unsigned>(row + 1), after);
    }
    return RenderDb(pane.store, journal.content);
}

// Copies bytes [offset, offset + length) of `from` to the end of `to`, continuing `hash`.
int appendRange(int from, std::uint64_t offset, std::uint64_t length, int to, std::uint64_t at, std::uint64_t& hash)
{
    std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
    for (std::uint64_t done = 0; done < length;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), length - done));
        std::size_t got = 0;
        if (const int error = ReadAllAt(from, buffer.data(), n, offset + done, got); error != 0 || got != n)
            return error != 0 ? error : EIO;
        if (const int error = WriteAllAt(to, buffer.data(), n, at + done); error != 0)
            return error;
        hash = Fnv1a64(buffer.data(), n, hash);
        done += n;
    }
    return 0;
}

// Keeps what the cut will destroy in an undo entry before its plan is written: the packets its
// trims replace (copied; at most the stretch), the record before and after, and the names of the
// parts its removals will move into the entry. Gives the entry, or empty when nothing could be
// kept (the user is told, and the cut goes on as one that cannot be undone).
std::string keepForUndo(const LoadedPane& pane, int row, const AVMRec& before, const CutRequest& request,
                        CutJournal& journal, UserInterface& ui)
{
    UndoManifest kept;
    kept.kind = UndoManifest::Kind::Cut;
    kept.dbName = journal.dbName;
    kept.before.push_back({row, pane.store.indexOf(static_cast<unsigned>(row + 1)), before});
    (void)pane.store.get(static_cast<unsigned>(row + 1), kept.after);
    kept.renames = journal.renames;
    kept.stretches = request.stretches;
    kept.positioning = request.positioning;
    std::uint64_t room = 0;
    for (const CutJournal::Trim& trim : journal.trims)
        room += static_cast<std::uint64_t>(std::max<std::int64_t>(0, trim.packets.last - trim.packets.first + 1)) *
                kPacketSize;
    for (const std::string& note : TakeRoomFromUndo(pane.folder, room + 2 * kMaxDbContentSize + (1u << 20)))
        ui.showMessage(note);
    std::string entry;
    const auto fail = [&](const std::string& why) {
        if (!entry.empty())
            DiscardUndoEntry(entry);
        ui.showMessage("The cut cannot be undone: " + why);
        return std::string();
    };
    if (std::string error = OpenUndoEntry(pane.dbPath, {true, request.undoSeq}, entry); !error.empty())
        return fail(error);
    const std::string packetsPath = entry + kUndoPacketsName;
    UniqueFd out(::open(packetsPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out)
        return fail("cannot make " + packetsPath + ": " + std::strerror(errno) + ".");
    std::uint64_t hash = kFnv1aStart;
    for (const CutJournal::Trim& trim : journal.trims) {
        if (trim.packets.empty())
            continue;
        const std::string path = pane.folder + trim.part;
        UniqueFd in;
        std::uint64_t size = 0;
        if (std::string error = OpenRegularFile(path, O_RDONLY | O_NOFOLLOW, in, size); !error.empty())
            return fail(error);
        const auto first = static_cast<std::uint64_t>(trim.packets.first) * kPacketSize;
        const std::uint64_t end = std::min(size, (static_cast<std::uint64_t>(trim.packets.last) + 1) * kPacketSize);
        if (first >= end)
            continue;
        std::string part = trim.part;
        for (const CutJournal::Rename& rename : journal.renames) {
            if (rename.from == trim.part)
                part = rename.to;
        }
        const std::uint64_t at = kept.packets.empty() ? 0 : kept.packets.back().at + kept.packets.back().length;
        if (const int error = appendRange(in.get(), first, end - first, out.get(), at, hash); error != 0)
            return fail("cannot keep the packets of " + path + " in " + packetsPath + ": " + std::strerror(error) + ".");
        kept.packets.push_back({part, first, end - first, at});
    }
    if (::fsync(out.get()) != 0)
        return fail("cannot flush " + packetsPath + ": " + std::strerror(errno) + ".");
    kept.packetsHash = hash;
    for (const std::string& name : journal.removed) {
        struct stat st {};
        if (::lstat((pane.folder + name).c_str(), &st) != 0)
            return fail("the part " + pane.folder + name + " is missing.");
        kept.parts.push_back({name, static_cast<std::uint64_t>(st.st_size)});
    }
    if (std::string error = WriteUndoManifest(entry, kept); !error.empty())
        return fail(error);
    journal.keepFolder = entry.substr(pane.folder.size());
    return entry;
}

// Carries out a planned cut: its plan goes onto the disk first, then the file steps, then the
// database through `writeDb`; the plan goes last. A cut that stops after its plan is on the disk
// is finished from the plan when the database is next loaded. Unless the cut is done, `edit` puts
// the store back to what the file still says.
CutResult runCut(LoadedPane& pane, StoreEdit& edit, int row, const AVMRec& before, PlannedCut& planned,
                 CutPlan::Kind kind, const CutRequest& request, const WritePaneDb& writeDb, UserInterface& ui,
                 const CutStepProgress& progress = {})
{
    CutResult result = ended(CutOutcome::Failed, true, kind);
    CutJournal& journal = planned.journal;
    const std::string entry = request.keepForUndo ? keepForUndo(pane, row, before, request, journal, ui) : "";
    if (std::string error = WriteCutJournal(CutPlanPath(pane.dbPath), journal); !error.empty()) {
        if (!entry.empty())
            DiscardUndoEntry(entry);
        ui.showMessage("Cannot cut: " + error + " Nothing was changed.");
        return ended(CutOutcome::Refused, false, kind);
    }
    if (CutStepFailure failure = RunCutSteps(journal, pane.dbPath, progress); !failure.text.empty()) {
        // The pane is loaded again, which finishes the cut from its plan where the disk lets it.
        // Only a part that is not there (or cannot be opened) is the receiver tool's "파일없음2.";
        // a full disk or a failing one is said as what it is.
        result.refresh.reload(pane.side);
        ui.showMessage((failure.partMissing ? std::string(kTrimFailedMessage) + "\n" : std::string("The cut stopped: ")) +
                       failure.text + " The cut will be finished when the database is loaded again.");
        return result;
    }
    if (kind == CutPlan::Kind::MultiPart)
        RefreshTimingEntry(pane, row);
    if (std::string error = writeDb(); !error.empty()) {
        result.refresh.reload(pane.side);
        ui.showMessage("The parts were cut, but the database could not be written: " + error +
                       " The cut will be finished when the database is loaded again.");
        return result;
    }
    edit.commit();
    if (!entry.empty())
        ConfirmUndoEntry(entry);
    RemoveCutJournal(pane.dbPath);
    result.keptIn = entry;
    result.rewritten = planned.trimmedAs;
    for (const std::string& name : journal.removed)
        result.removed.push_back(pane.folder + name);
    for (const CutJournal::Rename& rename : journal.renames)
        result.renamed.emplace_back(pane.folder + rename.from, pane.folder + rename.to);
    ui.showMessage(kind == CutPlan::Kind::MultiPart ? kMultiCutDoneMessage : kCutDoneMessage);
    result.outcome = CutOutcome::Done;
    return result;
}

// The checks every cut makes of the recording before it plans anything: its part names are safe,
// and its part files are its own alone. Empty, or the sentence refusing the cut.
std::string refuseForeignParts(const LoadedPane& pane, int row, const AVMRec& record, FolderParts& folderParts)
{
    std::string unsafe = UnsafePartsMessage(record, pane.dbPath);
    if (unsafe.empty())
        unsafe = ReadFolderParts(pane.folder, folderParts);
    if (unsafe.empty())
        unsafe = sharedPartsMessage(pane.store, record, static_cast<unsigned>(row + 1), pane.dbPath, folderParts);
    return unsafe;
}

// The recording at `row` and the part names of its folder, when its files are its own to cut; false
// otherwise (the user was told why, unless the row holds no recording).
bool recordingToCut(const LoadedPane& pane, int row, UserInterface& ui, AVMRec& record, FolderParts& folderParts)
{
    if (!pane.store.get(static_cast<unsigned>(row + 1), record))
        return false;
    if (std::string unsafe = refuseForeignParts(pane, row, record, folderParts); !unsafe.empty()) {
        ui.showMessage("Cannot cut: " + unsafe);
        return false;
    }
    return true;
}

// The part files of the recording with their sizes; empty, or the sentence saying which is missing.
std::string layoutOf(const std::string& folder, const AVMRec& record, PartLayout& layout)
{
    for (int i = 0; i < record.partCount; ++i) {
        const std::string path = PartPath(folder, record, i);
        struct stat st {};
        if (std::string problem = partFileProblem(path, &st); !problem.empty())
            return problem;
        layout.paths.push_back(path);
        layout.sizes.push_back(static_cast<std::uint64_t>(st.st_size));
    }
    return {};
}

std::string clockText(double seconds)
{
    const auto tenths = static_cast<std::uint64_t>(std::llround(std::max(0.0, seconds) * 10));
    const std::uint64_t whole = tenths / 10;
    char text[48];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu.%llu", static_cast<unsigned long long>(whole / 3600),
                      static_cast<unsigned long long>(whole % 3600 / 60), static_cast<unsigned long long>(whole % 60),
                      static_cast<unsigned long long>(tenths % 10));
    else
        std::snprintf(text, sizeof text, "%llu:%02llu.%llu", static_cast<unsigned long long>(whole / 60),
                      static_cast<unsigned long long>(whole % 60), static_cast<unsigned long long>(tenths % 10));
    return text;
}

// A dry run of the cut by the byte rate: the stretch as its plan places it, with the byte ranges
// it fills and the parts it removes. Empty, or the sentence refusing the cut.
std::string planByByteRate(const AVMRec& record, const TimingEntry& timing, const PartLayout& layout,
                           const CutStretch& stretch, PlacedStretches& placed)
{
    CutPlan plan;
    if (std::string refusal = PlanCut(timing, record.partCount, stretch.start, stretch.end, plan); !refusal.empty())
        return refusal;
    const bool single = plan.kind == CutPlan::Kind::SinglePart;
    const bool multi = plan.kind == CutPlan::Kind::MultiPart;
    const CutEdits edits = editsOfPlan(record, plan, timing, !single && (!multi || plan.start != 0),
                                       !single && (!multi || plan.end != timing.duration));
    PlannedStretch planned;
    planned.marks = stretch;
    planned.cut = {double(plan.start), double(plan.end)};
    planned.startExact = planned.endExact = false;
    for (const auto& [part, packets] : edits.trims) {
        const std::uint64_t size = layout.sizes[static_cast<std::size_t>(part)];
        const std::uint64_t first = std::min(size, static_cast<std::uint64_t>(packets.first) * kPacketSize);
        const std::uint64_t end = packets.last == INT64_MAX
                                      ? size
                                      : std::min(size, static_cast<std::uint64_t>(packets.last + 1) * kPacketSize);
        if (first < end)
            planned.bytes.push_back({layout.paths[static_cast<std::size_t>(part)], first, end, false});
    }
    for (const int part : edits.renumbering.removed)
        planned.bytes.push_back(
            {layout.paths[static_cast<std::size_t>(part)], 0, layout.sizes[static_cast<std::size_t>(part)], true});
    placed.planned.push_back(planned);
    return {};
}

// The most stretches one cut takes: each can trim two parts, and the plan holds every trim.
constexpr std::size_t kMaxStretches = 500;

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

std::string CutQuestionText(const std::string& recordingName, const CutPlan& plan)
{
    const bool hours = plan.end >= 3600;
    const auto clock = [hours](std::uint32_t seconds) {
        char text[32];
        if (hours)
            std::snprintf(text, sizeof text, "%u:%02u:%02u", seconds / 3600, seconds % 3600 / 60, seconds % 60);
        else
            std::snprintf(text, sizeof text, "%u:%02u", seconds / 60, seconds % 60);
        return std::string(text);
    };
    return std::string(kCutQuestion) + "\n" + recordingName + ": " + clock(plan.start) + " \u2013 " + clock(plan.end);
}

std::string CutQuestionText(const std::string& recordingName, const std::vector<PlannedStretch>& stretches,
                            const std::vector<std::string>& notes)
{
    std::string text = std::string(kCutQuestion) + "\n" + recordingName + ":";
    for (const PlannedStretch& s : stretches) {
        text += "\n  " + clockText(s.cut.start) + " \u2013 " + clockText(s.cut.end);
        if (clockText(s.cut.start) != clockText(s.marks.start) || clockText(s.cut.end) != clockText(s.marks.end))
            text += "  (marked " + clockText(s.marks.start) + " \u2013 " + clockText(s.marks.end) +
                    "; moved to the key frames)";
    }
    for (const std::string& note : notes)
        text += "\n" + note;
    return text;
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

namespace {

// The cut as the receiver tool made it, placed by the average byte rate; `note`, when not empty,
// goes under its question.
CutResult cutByByteRate(LoadedPane& pane, int row, int markCount, double startMark, double endMark,
                        const WritePaneDb& writeDb, UserInterface& ui, const std::string& note,
                        const CutRequest& request)
{
    const TimingEntry timing = pane.timingAt(row);
    if (markCount != 2 || !timing.measured()) {
        ui.showMessage(kNoMarksMessage);
        return {};
    }
    AVMRec record{};
    FolderParts folderParts;
    if (!recordingToCut(pane, row, ui, record, folderParts))
        return {};
    CutPlan plan;
    if (const std::string refusal = PlanCut(timing, record.partCount, startMark, endMark, plan); !refusal.empty()) {
        ui.showMessage(refusal);
        return {};
    }

    // Everything that could stop the cut half way is checked before the question.
    const bool single = plan.kind == CutPlan::Kind::SinglePart;
    const bool multi = plan.kind == CutPlan::Kind::MultiPart;
    const bool trimStart = !single && (!multi || plan.start != 0);
    const bool trimEnd = !single && (!multi || plan.end != timing.duration);
    const CutEdits edits = editsOfPlan(record, plan, timing, trimStart, trimEnd);
    std::string unopened;
    std::string problem;
    checkEdits(pane, record, edits, folderParts, unopened, problem);
    if (!unopened.empty()) {
        ui.showMessage(std::string(kTrimFailedMessage) + "\n" + unopened + " Nothing was changed.");
        return ended(CutOutcome::Refused, false, plan.kind);
    }
    if (!problem.empty()) {
        ui.showMessage("Cannot cut: " + problem + " Nothing was changed.");
        return ended(CutOutcome::Refused, false, plan.kind);
    }

    const std::string question = CutQuestionText(RecordDisplayName(record), plan) + (note.empty() ? "" : "\n" + note);
    if (!ui.askYesNo(question, kCutQuestionCaption))
        return ended(CutOutcome::Declined, single, plan.kind);

    WaitScope wait(ui);
    PlannedCut planned;
    StoreEdit edit(pane.store);
    if (std::string error = planSteps(pane, edit, row, record, edits, timing, planned); !error.empty()) {
        ui.showMessage("Cannot cut: " + error + " Nothing was changed.");
        return ended(CutOutcome::Refused, false, plan.kind);
    }
    return runCut(pane, edit, row, record, planned, plan.kind, request, writeDb, ui);
}

}  // namespace

CutResult CutRecording(LoadedPane& pane, int row, int markCount, double startMark, double endMark,
                       const WritePaneDb& writeDb, UserInterface& ui)
{
    CutRequest request;
    request.stretches.push_back({startMark, endMark});
    request.positioning = CutPositioning::ByteRate;
    return cutByByteRate(pane, row, markCount, startMark, endMark, writeDb, ui, {}, request);
}

CutResult CutRecording(LoadedPane& pane, int row, const CutRequest& request, const WritePaneDb& writeDb,
                       UserInterface& ui)
{
    const TimingEntry timing = pane.timingAt(row);
    if (request.stretches.empty() || !timing.measured()) {
        ui.showMessage(kNoMarksMessage);
        return {};
    }
    if (request.stretches.size() > kMaxStretches) {
        ui.showMessage("One cut takes at most " + std::to_string(kMaxStretches) + " stretches.");
        return {};
    }
    if (request.positioning == CutPositioning::ByteRate && request.stretches.size() != 1) {
        ui.showMessage("A cut by the average byte rate takes one stretch.");
        return {};
    }
    // By the byte rate, a cut is the one the receiver tool made, byte for byte.
    if (request.positioning == CutPositioning::ByteRate && !request.dryRun)
        return cutByByteRate(pane, row, 2, request.stretches[0].start, request.stretches[0].end, writeDb, ui, {},
                             request);
    AVMRec record{};
    FolderParts folderParts;
    if (!recordingToCut(pane, row, ui, record, folderParts))
        return {};
    if (record.partCount < 1) {
        ui.showMessage("This recording has no part files to cut.");
        return {};
    }
    PartLayout layout;
    if (std::string missing = layoutOf(pane.folder, record, layout); !missing.empty()) {
        ui.showMessage(std::string(kTrimFailedMessage) + "\n" + missing + " Nothing was changed.");
        return {};
    }

    // Finding the key frames reads a little of the parts, which takes a moment on a slow disk; the
    // user may stop it.
    const bool showProgress = !request.dryRun;
    if (showProgress)
        ui.openProgress("Cut");
    std::size_t searched = 0;
    const auto cancelled = [&] {
        if (!showProgress)
            return false;
        CopyProgressView view;
        view.overallPercent = static_cast<int>(searched * 10 / request.stretches.size());
        view.filePercent = view.overallPercent;
        view.status = "Finding the key frames at the marks...";
        ++searched;
        return !ui.updateProgress(view) || ui.stopRequested();
    };
    PlacedStretches placed;
    std::string refusal;
    if (request.positioning == CutPositioning::ByteRate) {
        refusal = planByByteRate(record, timing, layout, request.stretches[0], placed);
    } else {
        refusal = PlaceStretches(layout, timing, request.stretches, request.positioning, cancelled, placed);
        DescribeBytes(layout, placed);
    }
    if (showProgress)
        ui.closeProgress();
    // A stream without any clock (not a transport stream the clock can read) is cut as the receiver
    // tool cut it, byte for byte, and the question says so.
    if (!placed.clockProblem.empty() && request.stretches.size() == 1 && !request.dryRun)
        return cutByByteRate(pane, row, 2, request.stretches[0].start, request.stretches[0].end, writeDb, ui,
                             NoClockNote(placed.clockProblem), request);
    if (!refusal.empty()) {
        ui.showMessage(refusal);
        return {};
    }
    if (request.dryRun) {
        CutResult result;
        result.outcome = CutOutcome::Planned;
        result.stretches = placed.planned;
        result.notes = placed.notes;
        result.clockBytesRead = placed.bytesRead;
        return result;
    }

    CutEdits edits;
    const PartEdits partEdits = EditsOf(layout, placed.bytes);
    for (const PartEdits::Trim& trim : partEdits.trims)
        edits.trims.emplace_back(trim.part, trim.packets);
    edits.renumber = partEdits.anyRemoved();
    edits.partSeconds = timing.secondsPerPart;
    edits.kind = edits.renumber ? CutPlan::Kind::MultiPart
               : placed.bytes.size() == 1 && edits.trims.size() == 1 ? CutPlan::Kind::SinglePart
                                                                      : CutPlan::Kind::TwoPart;
    if (edits.renumber) {
        edits.renumbering = renumberKept(record, partEdits.removed);
        edits.lastPartRemoved = partEdits.removed.back();
        if (edits.renumbering.kept.empty()) {
            ui.showMessage("The stretches span the whole recording, so nothing would be left; delete the recording "
                           "instead.");
            return {};
        }
        if (edits.partSeconds == 0) {
            ui.showMessage("This recording cannot be cut: its duration is too short for the size of its part files.");
            return {};
        }
    }
    std::string unopened;
    std::string problem;
    checkEdits(pane, record, edits, folderParts, unopened, problem);
    CutResult refused = ended(CutOutcome::Refused, false, edits.kind);
    refused.stretches = placed.planned;
    if (!unopened.empty()) {
        ui.showMessage(std::string(kTrimFailedMessage) + "\n" + unopened + " Nothing was changed.");
        return refused;
    }
    if (!problem.empty()) {
        ui.showMessage("Cannot cut: " + problem + " Nothing was changed.");
        return refused;
    }

    std::vector<std::pair<double, double>> moved;
    for (const PlannedStretch& s : placed.planned)
        moved.emplace_back(s.cut.start, s.cut.end);
    ui.showCutMarks(moved);
    if (!ui.askYesNo(CutQuestionText(RecordDisplayName(record), placed.planned, placed.notes), kCutQuestionCaption)) {
        CutResult declined = ended(CutOutcome::Declined, false, edits.kind);
        declined.stretches = placed.planned;
        return declined;
    }

    PlannedCut planned;
    StoreEdit edit(pane.store);
    if (std::string error = planSteps(pane, edit, row, record, edits, timing, planned); !error.empty()) {
        ui.showMessage("Cannot cut: " + error + " Nothing was changed.");
        return refused;
    }
    // From here the cut runs to its end: its plan is on the disk before the first part changes.
    ui.openProgress("Cut");
    const CutStepProgress progress = [&](std::size_t done, std::size_t total) {
        CopyProgressView view;
        view.overallPercent = 10 + static_cast<int>(total ? done * 90 / total : 90);
        view.filePercent = view.overallPercent;
        view.status = "Cutting: step " + std::to_string(done) + " of " + std::to_string(total);
        (void)ui.updateProgress(view);
    };
    CutResult result = runCut(pane, edit, row, record, planned, edits.kind, request, writeDb, ui, progress);
    ui.closeProgress();
    result.stretches = placed.planned;
    result.notes = placed.notes;
    result.clockBytesRead = placed.bytesRead;
    return result;
}

}  // namespace vmx
