#include "recording/Cut.h"

#include "FakeUi.h"
#include "RecordingFixture.h"
#include "recdb/DbReader.h"
#include "recdb/DiskNaming.h"
#include "recdb/RecordStore.h"
#include "recording/RecordingFiles.h"
#include "support/ResourceLimits.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace vmx;
using namespace vmxtest;

namespace {

constexpr std::uint64_t kFull = kFullPartSize;

// The rewrite decisions as the receiver tool's trims make them, packet after packet, from the
// written count: true where the filler packet replaces the packet.
enum class TrimKind { Single, Start, End };

bool referenceFiller(TrimKind kind, std::int32_t written, const CutPlan& plan)
{
    const auto startByte = static_cast<std::int32_t>(plan.startByte);
    const auto endByte = static_cast<std::int32_t>(plan.endByte);
    switch (kind) {
    case TrimKind::Single:
        return !(static_cast<float>(written) <= plan.rateQuotient || written < startByte || written > endByte);
    case TrimKind::Start:
        return !(startByte > written);
    case TrimKind::End:
        return !(static_cast<float>(written) <= plan.rateQuotient) && endByte >= written;
    }
    return false;
}

// Checks every byte of a part: filler where the reference says so (cut to the part's length),
// else the original content (the fixture's pattern for filled parts, zeros for sparse ones).
void expectPart(const std::string& path, std::uint64_t size, int partIndex, bool patterned, TrimKind kind,
                const CutPlan& plan, bool trimmed = true)
{
    SCOPED_TRACE(path);
    ASSERT_EQ(std::filesystem::file_size(path), size);
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(188 * 4096);
    std::uint64_t offset = 0;
    std::uint64_t mismatches = 0;
    while (offset < size && mismatches < 3) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - offset));
        in.read(buffer.data(), static_cast<std::streamsize>(want));
        ASSERT_EQ(static_cast<std::size_t>(in.gcount()), want);
        for (std::size_t at = 0; at < want && mismatches < 3; at += 188) {
            const std::size_t len = std::min<std::size_t>(188, want - at);
            const std::uint64_t packetOffset = offset + at;
            const bool filler = trimmed && referenceFiller(kind, static_cast<std::int32_t>(packetOffset), plan);
            for (std::size_t b = 0; b < len; ++b) {
                const auto got = static_cast<std::uint8_t>(buffer[at + b]);
                const std::uint8_t expected = filler ? kFillerPacket[b]
                                            : patterned ? patternByte(partIndex, packetOffset + b)
                                                        : 0;
                if (got != expected) {
                    ADD_FAILURE() << "byte " << packetOffset + b << " is " << int(got) << ", expected "
                                  << int(expected) << (filler ? " (filler)" : " (original)");
                    ++mismatches;
                    break;
                }
            }
        }
        offset += want;
    }
}

std::uint16_t be16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

std::uint64_t beN(const std::vector<std::uint8_t>& b, std::size_t at, int n)
{
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i)
        v = v << 8 | b[at + static_cast<std::size_t>(i)];
    return v;
}

// The first record section of the database as written: id, partCount, duration, extA, names.
void expectFirstSection(const std::string& dbPath, std::uint32_t duration, std::uint64_t extA,
                        const std::vector<std::string>& names)
{
    const auto bytes = readBytes(dbPath);
    ASSERT_GE(bytes.size(), 512u + 145 + 12 * names.size());
    EXPECT_EQ(be16(bytes, 0), 5);
    EXPECT_EQ(be16(bytes, 4), 1);  // count
    EXPECT_EQ(be16(bytes, 512), 1);  // id
    EXPECT_EQ(be16(bytes, 512 + 18), names.size());
    EXPECT_EQ(beN(bytes, 512 + 24, 4), duration);
    EXPECT_EQ(beN(bytes, 512 + 96, 8), extA);
    unsigned sum = 0;
    for (std::size_t i = 0; i < 144; ++i)
        sum += bytes[512 + i];
    EXPECT_EQ(bytes[512 + 144], sum & 0xFF);
    for (std::size_t k = 0; k < names.size(); ++k)
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[512 + 145 + 12 * k]), 12), names[k]);
}

class CutTest : public SessionTest {
protected:
    TempDir dir;
    const LoadedPane& pane = makeDb(session, 0, dir.str());

    std::string part(const std::string& letters) const { return dir.str() + "/RF0001" + letters + ".TRP"; }
};

}  // namespace

TEST(CutPlanTest, FillerPacketBytes)
{
    EXPECT_EQ(kFillerPacket[0], 0x47);
    EXPECT_EQ(kFillerPacket[4], 0xAA);
    for (int i = 5; i <= 176; ++i)
        ASSERT_EQ(kFillerPacket[static_cast<std::size_t>(i)], 0) << i;
    const std::uint8_t tail[11] = {0x01, 0xE0, 0x00, 0x00, 0x80, 0x00, 0x04, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(kFillerPacket.data() + 177, tail, 11), 0);
}

TEST(CutPlanTest, IndexesKindsAndRefusals)
{
    // Three parts, 60 seconds per full part, 30 in the last.
    const TimingEntry three{static_cast<std::uint32_t>(kFull / 2), 150, kFull * 5 / 2, 60, 30};
    // Two full parts: the last part is exactly one part duration long.
    const TimingEntry exact{static_cast<std::uint32_t>(kFull), 120, kFull * 2, 60, 60};
    struct Case {
        const char* what;
        TimingEntry timing;
        int parts;
        double start, end;
        bool refused;
        CutPlan::Kind kind;
        int startIndex, endIndex, removed;
    };
    const Case cases[] = {
        {"inside one part", three, 3, 10.7, 20.2, false, CutPlan::Kind::SinglePart, 0, 0, 0},
        {"across a boundary", three, 3, 40, 70, false, CutPlan::Kind::TwoPart, 0, 1, 0},
        {"from the start", three, 3, 0, 70, false, CutPlan::Kind::MultiPart, 0, 1, 1},
        {"to the end", three, 3, 70, 150, false, CutPlan::Kind::MultiPart, 1, 2, 1},
        {"middle parts", three, 3, 30, 130, false, CutPlan::Kind::MultiPart, 0, 2, 1},
        {"mark in a last part of exactly P seconds", exact, 2, 70, 90, false, CutPlan::Kind::SinglePart, 1, 1, 0},
        {"to the end of a last part of exactly P seconds", exact, 2, 30, 120, false, CutPlan::Kind::MultiPart, 0, 1, 1},
        {"whole recording", three, 3, 0, 150, true, {}, 0, 0, 0},
        {"end after the recording", three, 3, 10, 151, true, {}, 0, 0, 0},
        {"seconds per part of 0", TimingEntry{100, 0, 100, 0, 0}, 1, 0, 0.5, true, {}, 0, 0, 0},
        {"unmeasured", TimingEntry{UINT32_MAX, 60, UINT64_MAX, UINT32_MAX, UINT32_MAX}, 1, 1, 2, true, {}, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CutPlan plan;
        const std::string refusal = PlanCut(c.timing, c.parts, c.start, c.end, plan);
        EXPECT_EQ(!refusal.empty(), c.refused) << refusal;
        if (c.refused)
            continue;
        EXPECT_EQ(plan.kind, c.kind);
        EXPECT_EQ(plan.startIndex, c.startIndex);
        EXPECT_EQ(plan.endIndex, c.endIndex);
        EXPECT_EQ(plan.wholePartsRemoved, c.removed);
    }
}

TEST(CutPlanTest, ByteRateAndFirstSecond)
{
    CutPlan plan;
    ASSERT_EQ(PlanCut(TimingEntry{static_cast<std::uint32_t>(kFull / 2), 150, kFull * 5 / 2, 60, 30}, 3, 40, 70, plan), "");
    EXPECT_EQ(plan.byteRate, 2229931);  // 133,795,840 / 60 = 2,229,930.67, rounded up
    EXPECT_FLOAT_EQ(plan.rateQuotient, 2229930.67f);
    EXPECT_EQ(plan.startByte, 40LL * 2229931);
    EXPECT_EQ(plan.endByte, 10LL * 2229931);
    EXPECT_EQ(plan.firstSecondPackets, 11862);  // 188 * 11861 <= quotient < 188 * 11862
}

TEST_F(CutTest, SinglePartCutsAreByteExact)
{
    // One part of 1,000,100 bytes (its last packet 128 bytes long), 60 seconds: about 16.7 kB a second
    // (an hour and more: some 250 bytes a second). The question names the recording and the stretch.
    const std::uint64_t size = 1000100;
    struct Case {
        const char* what;
        std::uint32_t duration;
        double start, end;
        const char* question;
    };
    const Case cases[] = {
        {"middle", 60, 10, 20, "Do you really processing?\nNEWS: 0:10 \u2013 0:20"},
        {"up to the end, short last packet gets the filler's first bytes", 60, 50, 60,
         "Do you really processing?\nNEWS: 0:50 \u2013 1:00"},
        {"from 0 keeps the first second", 60, 0, 5, "Do you really processing?\nNEWS: 0:00 \u2013 0:05"},
        {"past the hour", 4000, 3599.5, 3725, "Do you really processing?\nNEWS: 0:59:59 \u2013 1:02:05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir caseDir;
        const LoadedPane& p = makeDb(session, 0, caseDir.str());
        addRecording(session, p, "NEWS", c.duration, {size});
        FakeUi caseUi;
        const CutResult result = session.cut(p.side, 0, 2, c.start, c.end, caseUi);
        EXPECT_EQ(result.outcome, CutOutcome::Done);
        EXPECT_TRUE(result.resetMarks);
        EXPECT_EQ(caseUi.lastMessage(), "Processing Complete");
        EXPECT_EQ(caseUi.events.front(), std::string("ask: ") + c.question + " [information]");
        CutPlan plan;
        ASSERT_EQ(PlanCut(p.timingAt(0), 1, c.start, c.end, plan), "");
        expectPart(caseDir.str() + "/RF0001AA.TRP", size, 0, true, TrimKind::Single, plan);
        const AVMRec record = recordAt(p, 0);
        EXPECT_EQ(record.duration, c.duration);
        EXPECT_EQ(record.partCount, 1);
        EXPECT_EQ(caseUi.waitDepth, 0);
    }
}

TEST_F(CutTest, TwoPartCutTrimsBothParts)
{
    addRecording(session, pane, "FILM", 90, {kFull, kFull / 2});
    const CutResult result = session.cut(pane.side, 0, 2, 40, 70, ui);
    ASSERT_EQ(result.outcome, CutOutcome::Done);
    EXPECT_EQ(ui.lastMessage(), "Processing Complete");
    CutPlan plan;
    ASSERT_EQ(PlanCut(pane.timingAt(0), 2, 40, 70, plan), "");
    expectPart(part("AA"), kFull, 0, false, TrimKind::Start, plan);
    expectPart(part("AB"), kFull / 2, 1, false, TrimKind::End, plan);
    EXPECT_EQ(recordAt(pane, 0).duration, 90u);
    expectFirstSection(pane.dbPath, 90, kFull * 3 / 2, {"RF0001AA.TRP", "RF0001AB.TRP"});
}

TEST_F(CutTest, WhereTheCutLandsReachesThePortBeforeTheQuestion)
{
    // Through the session's own port, as the window's mark bar gets it while the question is open.
    addRecording(session, pane, "FILM", 90, {kFull, kFull / 2});
    ui.answers.push_back(false);
    CutRequest request;
    request.stretches = {{10, 20}, {40, 50}};
    EXPECT_EQ(session.cut(pane.side, 0, request, ui).outcome, CutOutcome::Declined);
    const auto marks = std::find(ui.events.begin(), ui.events.end(), "cut marks: 2");
    ASSERT_NE(marks, ui.events.end());
    EXPECT_EQ((marks + 1)->rfind("ask: ", 0), 0u);
}

TEST_F(CutTest, MultiPartCutFromTheStart)
{
    addRecording(session, pane, "FILM", 150, {kFull, kFull, kFull / 2});
    CutPlan plan;
    ASSERT_EQ(PlanCut(pane.timingAt(0), 3, 0, 70, plan), "");
    const CutResult result = session.cut(pane.side, 0, 2, 0, 70, ui);
    ASSERT_EQ(result.outcome, CutOutcome::Done);
    EXPECT_EQ(ui.lastMessage(), "Processing Complete!");
    // The old AB (trimmed) is now AA, the old AC (the short last part) AB.
    expectPart(part("AA"), kFull, 1, false, TrimKind::End, plan);
    EXPECT_EQ(std::filesystem::file_size(part("AB")), kFull / 2);
    EXPECT_FALSE(std::filesystem::exists(part("AC")));
    const AVMRec record = recordAt(pane, 0);
    EXPECT_EQ(record.duration, 60u * 1 + 30);
    EXPECT_EQ(record.extA, kFull + kFull / 2);
    EXPECT_EQ(partNames(record), (std::vector<std::string>{"RF0001AA.TRP", "RF0001AB.TRP"}));
    expectFirstSection(pane.dbPath, 90, kFull + kFull / 2, {"RF0001AA.TRP", "RF0001AB.TRP"});
    EXPECT_EQ(pane.timingAt(0).totalSize, kFull + kFull / 2);
}

TEST_F(CutTest, MultiPartCutToTheEnd)
{
    addRecording(session, pane, "FILM", 150, {kFull, kFull, kFull / 2});
    CutPlan plan;
    ASSERT_EQ(PlanCut(pane.timingAt(0), 3, 70, 150, plan), "");
    ASSERT_EQ(session.cut(pane.side, 0, 2, 70, 150, ui).outcome, CutOutcome::Done);
    expectPart(part("AB"), kFull, 1, false, TrimKind::Start, plan);
    EXPECT_FALSE(std::filesystem::exists(part("AC")));
    struct stat st {};
    ASSERT_EQ(::stat(part("AA").c_str(), &st), 0);
    EXPECT_EQ(st.st_blocks, 0) << "a part outside the marks is not written";
    expectFirstSection(pane.dbPath, 120, 2 * kFull, {"RF0001AA.TRP", "RF0001AB.TRP"});
}

TEST_F(CutTest, MultiPartCutInTheMiddle)
{
    addRecording(session, pane, "FILM", 210, {kFull, kFull, kFull, kFull / 2});
    CutPlan plan;
    ASSERT_EQ(PlanCut(pane.timingAt(0), 4, 30, 150, plan), "");
    ASSERT_EQ(session.cut(pane.side, 0, 2, 30, 150, ui).outcome, CutOutcome::Done);
    expectPart(part("AA"), kFull, 0, false, TrimKind::Start, plan);
    expectPart(part("AB"), kFull, 2, false, TrimKind::End, plan);  // the old AC
    EXPECT_EQ(std::filesystem::file_size(part("AC")), kFull / 2);    // the old AD
    EXPECT_FALSE(std::filesystem::exists(part("AD")));
    expectFirstSection(pane.dbPath, 150, 2 * kFull + kFull / 2, {"RF0001AA.TRP", "RF0001AB.TRP", "RF0001AC.TRP"});
}

TEST_F(CutTest, LastPartOfExactlyOnePartDurationIsTheOneCut)
{
    addRecording(session, pane, "FILM", 120, {kFull, kFull});
    ASSERT_EQ(session.cut(pane.side, 0, 2, 70, 90, ui).outcome, CutOutcome::Done);
    struct stat st {};
    ASSERT_EQ(::stat(part("AA").c_str(), &st), 0);
    EXPECT_EQ(st.st_blocks, 0);
    CutPlan plan;
    ASSERT_EQ(PlanCut(pane.timingAt(0), 2, 70, 90, plan), "");
    expectPart(part("AB"), kFull, 1, false, TrimKind::Single, plan);
}

TEST_F(CutTest, RenamingRunsPastAZToBA)
{
    std::vector<std::uint64_t> sizes(29, kFull);
    sizes.push_back(1000000);
    addRecording(session, pane, "LONG", 291, sizes);
    ASSERT_EQ(pane.secondsPerPartAt(0), 10u);
    ASSERT_EQ(session.cut(pane.side, 0, 2, 0, 10, ui).outcome, CutOutcome::Done);
    const AVMRec record = recordAt(pane, 0);
    ASSERT_EQ(record.partCount, 29);
    EXPECT_EQ(PartName(record, 25), "RF0001AZ.TRP");
    EXPECT_EQ(PartName(record, 26), "RF0001BA.TRP");
    EXPECT_EQ(PartName(record, 28), "RF0001BC.TRP");
    EXPECT_EQ(std::filesystem::file_size(part("BC")), 1000000u);
    EXPECT_FALSE(std::filesystem::exists(part("BD")));
    EXPECT_EQ(record.duration, 10u * 28 + 1);  // 291 - 10 * 29 seconds in the last part
}

TEST_F(CutTest, RefusalsChangeNothing)
{
    addRecording(session, pane, "FILM", 150, {kFull, kFull, kFull / 2});
    const auto before = readBytes(pane.dbPath);
    struct Case {
        const char* what;
        int marks;
        double start, end;
        const char* message;
    };
    const Case cases[] = {
        {"one mark", 1, 10, 20, "Can't open file or You don't mark  point"},
        {"whole recording", 2, 0, 150, "The marks span the whole recording"},
        {"end after the recording", 2, 10, 200, "The end mark lies after"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeUi caseUi;
        const CutResult result = session.cut(pane.side, 0, c.marks, c.start, c.end, caseUi);
        EXPECT_EQ(result.outcome, CutOutcome::Refused);
        EXPECT_FALSE(result.resetMarks);
        ASSERT_EQ(caseUi.messages.size(), 1u);
        EXPECT_NE(caseUi.messages[0].find(c.message), std::string::npos) << caseUi.messages[0];
        EXPECT_EQ(readBytes(pane.dbPath), before);
        EXPECT_TRUE(std::filesystem::exists(part("AA")) && std::filesystem::exists(part("AC")));
    }
}

TEST_F(CutTest, ZeroSecondsPerPartIsRefused)
{
    addRecording(session, pane, "SHORT", 0, {1000});
    const CutResult result = session.cut(pane.side, 0, 2, 0, 0.5, ui);
    EXPECT_EQ(result.outcome, CutOutcome::Refused);
    EXPECT_EQ(readBytes(part("AA")).size(), 1000u);
    EXPECT_EQ(readBytes(part("AA"))[5], patternByte(0, 5));
}

TEST_F(CutTest, AnsweringNoChangesNothing)
{
    addRecording(session, pane, "NEWS", 60, {1000100});
    const auto before = readBytes(part("AA"));
    ui.answers = {false};
    const CutResult result = session.cut(pane.side, 0, 2, 10, 20, ui);
    EXPECT_EQ(result.outcome, CutOutcome::Declined);
    EXPECT_TRUE(result.resetMarks);  // a single-part cut clears the marks either way
    EXPECT_EQ(readBytes(part("AA")), before);
}

TEST_F(CutTest, MissingPartOrNameClashStopsBeforeAnyChange)
{
    addRecording(session, pane, "FILM", 150, {kFull, kFull, kFull / 2});
    // The removed first part carries another prefix, so the new names would be RF0099AA, RF0099AB;
    // a stray RF0099AB.TRP that belongs to no recording is in the way.
    AVMRec record = recordAt(pane, 0);
    std::filesystem::rename(part("AA"), dir.str() + "/RF0099AA.TRP");
    std::memcpy(record.parts[0].name, "RF0099AA.TRP", 12);
    replaceRecord(session, pane, 0, record);
    writeText(dir / "RF0099AB.TRP", "not a part");
    CutResult result = session.cut(pane.side, 0, 2, 0, 70, ui);
    EXPECT_EQ(result.outcome, CutOutcome::Refused);
    EXPECT_NE(ui.lastMessage().find("RF0099AB.TRP already exists"), std::string::npos) << ui.lastMessage();
    EXPECT_NE(ui.lastMessage().rfind(kTrimFailedMessage, 0), 0u) << "no part is missing: " << ui.lastMessage();
    EXPECT_TRUE(std::filesystem::exists(dir / "RF0099AA.TRP"));
    EXPECT_EQ(readText(dir / "RF0099AB.TRP"), "not a part");

    std::filesystem::remove(dir / "RF0099AB.TRP");
    std::filesystem::remove(part("AB"));
    result = session.cut(pane.side, 0, 2, 0, 70, ui);
    EXPECT_EQ(result.outcome, CutOutcome::Refused);
    EXPECT_NE(ui.lastMessage().find("RF0001AB.TRP"), std::string::npos) << ui.lastMessage();
    EXPECT_EQ(ui.lastMessage().rfind(kTrimFailedMessage, 0), 0u) << "a missing part: " << ui.lastMessage();
    EXPECT_TRUE(std::filesystem::exists(dir / "RF0099AA.TRP"));
}

TEST_F(CutTest, PartFilesListedTwiceOrSharedAreLeftAlone)
{
    // Damaged databases: a recording naming one of its part files twice, or a part file of
    // another recording. A cut to the end would delete that file while something still plays it.
    // On the receiver's FAT disk names that differ in letter case only are one file.
    struct Case {
        const char* what;
        int row;        // the record whose part list is changed
        int part;       // the part replaced
        const char* name;
        const char* message;
    };
    const Case cases[] = {
        {"listed twice", 0, 2, "RF0001AA.TRP", "lists the part file \"RF0001AA.TRP\" twice"},
        {"listed twice in other letter case", 0, 2, "rf0001aa.trp", "lists the part file \"rf0001aa.trp\" twice"},
        {"another recording's part", 0, 2, "RF0002AA.TRP", "also belongs to the recording \"NEWS\""},
        {"another recording's part in other letter case", 1, 0, "rf0001ac.trp",
         "also belongs to the recording \"NEWS\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir caseDir;
        const LoadedPane& p = makeDb(session, 0, caseDir.str());
        addRecording(session, p, "FILM", 150, {kFull, kFull, kFull});
        addRecording(session, p, "NEWS", 60, {kFull});
        // On this test's disk the other spelling is a file of its own; make it one on FAT's terms.
        if (!std::filesystem::exists(caseDir / c.name))
            std::filesystem::copy_file(caseDir / "RF0001AA.TRP", caseDir / c.name);
        AVMRec record = recordAt(p, c.row);
        std::memcpy(record.parts[c.part].name, c.name, 12);
        replaceRecord(session, p, c.row, record);
        FakeUi caseUi;
        // Cutting FILM to its end would delete its last part.
        const CutResult result = session.cut(p.side, 0, 2, 70, 150, caseUi);
        EXPECT_EQ(result.outcome, CutOutcome::Refused);
        ASSERT_EQ(caseUi.messages.size(), 1u);
        EXPECT_NE(caseUi.messages[0].find(c.message), std::string::npos) << caseUi.messages[0];
        for (const char* name : {"RF0001AA.TRP", "RF0001AB.TRP", "RF0001AC.TRP", "RF0002AA.TRP"})
            EXPECT_TRUE(std::filesystem::exists(caseDir / name)) << name;
    }
}

TEST_F(CutTest, DatabaseThatCannotBeWrittenStopsEveryCutBeforeAnyChange)
{
    // The final write of the database is checked before the question: a cut that changed parts
    // and then could not register them would leave the record naming files that are gone.
    struct Kind {
        const char* what;
        double start, end;
    };
    const Kind kinds[] = {
        {"single part", 10, 20}, {"two parts", 40, 70}, {"multi-part from the start", 0, 70},
        {"multi-part to the end", 70, 150}, {"multi-part in the middle", 30, 130},
    };
    for (const bool fullDisk : {false, true}) {
        for (const Kind& k : kinds) {
            SCOPED_TRACE(std::string(k.what) + (fullDisk ? ", full disk" : ", read-only database"));
            TempDir caseDir;
            const LoadedPane& p = makeDb(session, 0, caseDir.str());
            addRecording(session, p, "FILM", 150, {kFull, kFull, kFull / 2});
            const auto before = readBytes(p.dbPath);
            if (!fullDisk)
                std::filesystem::permissions(p.dbPath, std::filesystem::perms::owner_read);
            FakeUi caseUi;
            CutResult result;
            {
                std::unique_ptr<FileSizeLimit> limit;
                if (fullDisk)
                    limit = std::make_unique<FileSizeLimit>(4096);
                result = session.cut(p.side, 0, 2, k.start, k.end, caseUi);
            }
            EXPECT_EQ(result.outcome, CutOutcome::Refused);
            ASSERT_EQ(caseUi.events.size(), 1u) << "nothing is asked";
            EXPECT_NE(caseUi.lastMessage().find(p.dbPath), std::string::npos) << caseUi.lastMessage();
            EXPECT_NE(caseUi.lastMessage().find(fullDisk ? "File too large" : "is read-only"), std::string::npos)
                << caseUi.lastMessage();
            EXPECT_NE(caseUi.lastMessage().rfind(kTrimFailedMessage, 0), 0u) << "no part is missing";
            EXPECT_EQ(readBytes(p.dbPath), before);
            EXPECT_EQ(partNames(recordAt(p, 0)), (std::vector<std::string>{"RF0001AA.TRP", "RF0001AB.TRP", "RF0001AC.TRP"}));
            for (const char* name : {"RF0001AA.TRP", "RF0001AB.TRP", "RF0001AC.TRP"}) {
                struct stat st {};
                ASSERT_EQ(::stat((caseDir / name).c_str(), &st), 0) << name;
                EXPECT_EQ(st.st_blocks, 0) << name << " was written";
            }
        }
    }
}

namespace {

// A second program makes the database read-only after the question, while the cut works.
class ReadOnlyWhileCuttingUi : public FakeUi {
public:
    std::string dbPath;
    void showWait(const std::string& text) override
    {
        FakeUi::showWait(text);
        std::filesystem::permissions(dbPath, std::filesystem::perms::owner_read);
    }
};

}  // namespace

TEST_F(CutTest, DatabaseLostDuringTheCutIsReportedWithItsReason)
{
    addRecording(session, pane, "FILM", 90, {kFull, kFull / 2});
    ReadOnlyWhileCuttingUi lateUi;
    lateUi.dbPath = pane.dbPath;
    const CutResult result = session.cut(pane.side, 0, 2, 40, 70, lateUi);
    EXPECT_EQ(result.outcome, CutOutcome::Failed);
    EXPECT_EQ(lateUi.lastMessage(), "The parts were cut, but the database could not be written: the database " +
                                        pane.dbPath + " is read-only, so it cannot be written. The cut will be "
                                        "finished when the database is loaded again.");
    EXPECT_TRUE(result.refresh.reloads[static_cast<std::size_t>(pane.side)]);
}
