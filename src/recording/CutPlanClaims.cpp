#include "recording/CutPlanClaims.h"

#include "common/AsciiCase.h"
#include "recdb/DbDecode.h"
#include "recording/RecordingFiles.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace vmx {

namespace {

std::string key(const std::string& name)
{
    return AsciiUpper(name);
}

std::set<std::string> partKeys(const AVMRec& rec)
{
    std::set<std::string> keys;
    for (int j = 0; j < rec.partCount; ++j)
        keys.insert(key(PartName(rec, j)));
    return keys;
}

// Everything of a record but its parts and what a cut changes with them (duration, size).
bool sameApartFromParts(const AVMRec& a, const AVMRec& b)
{
    return a.id == b.id && std::memcmp(a.name, b.name, sizeof a.name) == 0 && a.startTime == b.startTime &&
           a.vid == b.vid && a.aid == b.aid && a.pid == b.pid && a.streamWord4 == b.streamWord4 &&
           a.ecmPid == b.ecmPid && a.streamWord6 == b.streamWord6 && a.attr1 == b.attr1 && a.attr2 == b.attr2 &&
           a.attr3 == b.attr3 && std::memcmp(a.attrBlock, b.attrBlock, sizeof a.attrBlock) == 0 && a.extB == b.extB &&
           std::equal(std::begin(a.extC), std::end(a.extC), std::begin(b.extC)) && a.extD == b.extD;
}

// A record the cut leaves alone: everything as it was, but for its measured size.
bool unchanged(const AVMRec& a, const AVMRec& b)
{
    if (!sameApartFromParts(a, b) || a.duration != b.duration || a.partCount != b.partCount)
        return false;
    for (int j = 0; j < a.partCount; ++j) {
        if (std::memcmp(a.parts[j].name, b.parts[j].name, kAVMPartNameLen) != 0)
            return false;
    }
    return true;
}

CutPlanCheck refused(std::string why)
{
    CutPlanCheck check;
    check.problem = std::move(why);
    return check;
}

}  // namespace

CutPlanCheck CheckCutPlanClaims(const CutJournal& plan, const std::string& dbPath, const FolderParts& folderParts)
{
    DecodedDb before;
    if (std::string error = ReadDecodedDb(dbPath, before); !error.empty())
        return refused(error);
    if (!before.readable() || !before.whole())
        return refused("the database " + dbPath + " cannot be read.");
    const DecodedDb after = DecodeDb(plan.content.data(), plan.content.size());
    if (!after.readable() || !after.whole() || after.header.version != 5)
        return refused("the database it would write is not a recordings database.");
    if (after.header.count != before.header.count)
        return refused("the database it would write lists another number of recordings.");

    // The one recording the cut changes.
    int cut = -1;
    for (std::size_t i = 0; i < before.sections.size(); ++i) {
        const DecodedSection& b = before.sections[i];
        const DecodedSection& a = after.sections[i];
        if (before.listed(b) != after.listed(a))
            return refused("the database it would write lists other recordings.");
        if (!before.listed(b) || unchanged(b.record(), a.record()))
            continue;
        if (!sameApartFromParts(b.record(), a.record()) || cut >= 0)
            return refused("the database it would write changes more than the parts of one recording.");
        cut = static_cast<int>(i);
    }
    // A cut inside one or two parts changes no record: the recording is the one whose parts it
    // rewrites.
    if (cut < 0 && !plan.trims.empty()) {
        for (std::size_t i = 0; i < before.sections.size() && cut < 0; ++i) {
            if (before.listed(before.sections[i]) && partKeys(before.sections[i].record()).count(key(plan.trims[0].part)))
                cut = static_cast<int>(i);
        }
    }
    if (cut < 0)
        return refused("it names no recording of the database.");
    const AVMRec& was = before.sections[static_cast<std::size_t>(cut)].record();
    const AVMRec& will = after.sections[static_cast<std::size_t>(cut)].record();
    const std::set<std::string> old = partKeys(was);
    const std::set<std::string> kept = partKeys(will);
    const std::string whose = " of the recording \"" + RecordDisplayName(was) + "\"";
    if (old.size() != was.partCount || kept.size() != will.partCount)
        return refused("the recording \"" + RecordDisplayName(was) + "\" names one part file twice.");

    for (const CutJournal::Trim& trim : plan.trims) {
        if (!old.count(key(trim.part)))
            return refused("it would rewrite " + trim.part + ", which is not a part" + whose + ".");
    }
    std::set<std::string> expected = old;
    for (const std::string& name : plan.removed) {
        if (!old.count(key(name)) || kept.count(key(name)))
            return refused("it would remove " + name + ", which is not a part" + whose + " that the cut removes.");
        expected.erase(key(name));
    }
    for (const CutJournal::Rename& rename : plan.renames) {
        if (!old.count(key(rename.from)) || !kept.count(key(rename.to)))
            return refused("it would rename " + rename.from + " to " + rename.to + ", which are not parts" + whose +
                           " before and after the cut.");
        expected.erase(key(rename.from));
    }
    for (const CutJournal::Rename& rename : plan.renames)
        expected.insert(key(rename.to));
    if (expected != kept)
        return refused("the parts it leaves are not the parts the database would name" + whose + ".");

    std::set<std::string> touched = old;
    touched.insert(kept.begin(), kept.end());
    for (const std::string& name : touched) {
        if (const PartOwner* owner = folderParts.anotherOwner(name, dbPath, cut)) {
            AVMRec other{};
            std::memcpy(other.name, owner->name.data(), sizeof other.name);
            return refused(name + " belongs to the recording \"" + RecordDisplayName(other) + "\" of " +
                           owner->dbPath + " too.");
        }
    }
    CutPlanCheck check;
    check.recording = was;
    check.recordIndex = cut;
    return check;
}

}  // namespace vmx
