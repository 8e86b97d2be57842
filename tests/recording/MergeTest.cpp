#include "recording/Merge.h"

#include "FakeUi.h"
#include "RecordingFixture.h"
#include "recording/RecordingFiles.h"

#include <cstring>

#include <filesystem>
#include <gtest/gtest.h>

using namespace vmx;
using namespace vmxtest;

namespace {

class MergeTest : public SessionTest {
protected:
    TempDir dir;
    TempDir out;
    const LoadedPane& pane = makeDb(session, 0, dir.str());
};

}  // namespace

TEST_F(MergeTest, OutputIsTheConcatenationOfTheParts)
{
    addRecording(session, pane, "NEWS 9", 60, {524288, 524289, 0, 1000});
    const MergeResult result = session.merge(0, 0, out.str(), ui);
    EXPECT_EQ(result.outcome, MergeOutcome::Done);
    const std::string merged = result.path;
    EXPECT_EQ(merged, out.str() + "/[m]NEWS 9.trp");
    EXPECT_EQ(ui.lastMessage(), "Merge complete!");
    EXPECT_EQ(ui.waitDepth, 0);
    std::vector<std::uint8_t> expected;
    for (const char* name : {"RF0001AA.TRP", "RF0001AB.TRP", "RF0001AC.TRP", "RF0001AD.TRP"}) {
        const auto bytes = readBytes(dir / name);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(readBytes(merged), expected);
    EXPECT_EQ(result.bytes, expected.size());
    // A second merge replaces the file without asking. The folder is the user's: what a killed
    // program left there stays.
    const std::string leftover = abandonedTemporaryFor(merged);
    EXPECT_EQ(session.merge(0, 0, out.str(), ui).outcome, MergeOutcome::Done);
    EXPECT_EQ(readBytes(merged).size(), expected.size());
    EXPECT_TRUE(std::filesystem::exists(leftover));
}

TEST_F(MergeTest, MissingPartRemovesTheIncompleteOutput)
{
    addRecording(session, pane, "FILM", 60, {5000, 5000, 100});
    writeText(out / "[m]FILM.trp", "an older merge");
    std::filesystem::remove(dir / "RF0001AB.TRP");
    EXPECT_EQ(session.merge(0, 0, out.str(), ui).outcome, MergeOutcome::Failed);
    EXPECT_NE(ui.lastMessage().find("RF0001AB.TRP"), std::string::npos) << ui.lastMessage();
    EXPECT_EQ(readText(out / "[m]FILM.trp"), "an older merge");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), std::filesystem::directory_iterator()), 1);
    EXPECT_EQ(ui.waitDepth, 0);
}

TEST_F(MergeTest, FolderChoiceAndRefusals)
{
    addRecording(session, pane, "A/B", 60, {376});
    EXPECT_EQ(session.merge(0, -1, out.str(), ui).outcome, MergeOutcome::Refused);
    EXPECT_EQ(ui.lastMessage(), "Please select the item first.");
    ui.folderAnswer = "";
    EXPECT_EQ(session.merge(0, 0, "", ui).outcome, MergeOutcome::Cancelled);
    EXPECT_EQ(ui.events.back(), "choose folder: Please select a folder what you want to save output file");
    EXPECT_EQ(session.merge(0, 0, out.str() + "/Vid\xC3\xA9os", ui).outcome, MergeOutcome::Refused);
    EXPECT_EQ(ui.lastMessage(), "please make sure that the folder path should be in English.\r\nex)c:pvr\\pvrconver");
    ui.folderAnswer = out.str();
    EXPECT_EQ(session.merge(0, 0, "", ui).outcome, MergeOutcome::Done);
    EXPECT_TRUE(std::filesystem::exists(out / "[m]A_B.trp"));
}

TEST(MergedFilePathTest, BuiltFromTheNameBytes)
{
    // Control bytes and '/' cannot stand in a file name and become '_', and so do the characters
    // FAT, exFAT and NTFS refuse; every other byte stays as the receiver stored it, unless the
    // name is to be ASCII only. Messages show the same name with its control bytes escaped.
    const struct {
        const char* name;
        const char* file;
        const char* asciiFile;
    } cases[] = {
        {"NEWS 9", "/out/[m]NEWS 9.trp", "/out/[m]NEWS 9.trp"},
        {"A\x01" "B", "/out/[m]A_B.trp", "/out/[m]A_B.trp"},
        {"A/B\x7F", "/out/[m]A_B_.trp", "/out/[m]A_B_.trp"},
        {"Q: \"A\\B\" <*?|>", "/out/[m]Q_ _A_B_ _____.trp", "/out/[m]Q_ _A_B_ _____.trp"},
        {"\xB4\xBA\xBD\xBA", "/out/[m]\xB4\xBA\xBD\xBA.trp", "/out/[m]____.trp"},
        {"", "/out/[m].trp", "/out/[m].trp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        AVMRec record{};
        record.name[0] = 0x05;
        std::memcpy(record.name + 1, c.name, std::strlen(c.name));
        EXPECT_EQ(MergedFilePath("/out/", record), c.file);
        EXPECT_EQ(MergedFilePath("/out/", record, true), c.asciiFile);
    }
    AVMRec record{};
    std::memcpy(record.name, "\x05" "A\x01" "B", 4);
    EXPECT_EQ(RecordDisplayName(record), "A\\x01B");
}
