// The encoder settings dialog's decisions, without a window: the edits' texts, which edits can
// be used, the two previews, the INI files read at construction, the source list and its text,
// both Browse checks, the start checks and what the end of a run tells the user.
#include "convert/SettingDlgModel.h"

#include "convert/FileHelpers.h"

#include "ConvertTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace vmxtest;
using vmx::EncodeRun;
using vmx::JobOutcome;
using vmx::RunKind;
using vmx::RunOutcome;
using vmx::SettingDlgModel;

namespace {

TEST(SettingTexts, ShownAsTheDialogShowsThem)
{
    const vmx::SettingTexts texts = vmx::TextsOfSettings(EncodeSettings());
    EXPECT_EQ(texts, (vmx::SettingTexts{"15.000", "320", "240", "0", "1.6", "150", "64", "0", "7", "1", "3", "44100"}));
}

TEST(SettingTexts, IntegersAreWholeSignedNumbers)
{
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"42", 42}, {" 42 ", 42}, {"-1", -1}, {"+5", 5},       {"", 0},
        {"abc", 0}, {"12abc", 0}, {"1 2", 0}, {"99999999999", 0}, {"-2147483648", -2147483648},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(vmx::EditInteger(c.text), c.value);
    }
}

TEST(SettingTexts, ReadBackIntoTheSettings)
{
    const struct {
        const char* encoder;
        int selector;
    } encoders[] = {{"9", 0}, {"7", 0}, {"6", 6}, {"0", 0}, {"-1", -1}, {"x", 0}};
    EncodeSettings base;
    base.bBlackBox = 0;
    base.bFullRatio = 1;
    base.nSubPos = 50;
    base.sAddionalOption = "-extra";
    for (const auto& e : encoders) {
        SCOPED_TRACE(e.encoder);
        vmx::SettingTexts texts = vmx::TextsOfSettings(base);
        texts.encoder = e.encoder;
        texts.frameRate = "23.976";
        texts.width = "640";
        texts.cropRatio = "1.2";
        texts.sampleRate = "48000";
        const EncodeSettings s = vmx::SettingsWithTexts(base, texts);
        EXPECT_EQ(s.nVidEncoder, e.selector);
        EXPECT_DOUBLE_EQ(s.fVidFps, 23.976);
        EXPECT_EQ(s.nVidW, 640);
        EXPECT_EQ(s.ratio, "1.2");
        EXPECT_EQ(s.nAudSrate, 48000);
        // Settings without an edit keep their values.
        EXPECT_EQ(s.bBlackBox, 0);
        EXPECT_EQ(s.bFullRatio, 1);
        EXPECT_EQ(s.nSubPos, 50);
        EXPECT_EQ(s.sAddionalOption, "-extra");
    }
    vmx::SettingTexts texts = vmx::TextsOfSettings(base);
    texts.frameRate = "abc";
    EXPECT_EQ(vmx::SettingsWithTexts(base, texts).fVidFps, 0.0);
}

TEST(SettingTexts, EditsFollowTheSwitches)
{
    const struct {
        const char* name;
        int EncodeSettings::*flag;
        int value;
        vmx::EditsEnabled enabled;
    } cases[] = {
        {"defaults", &EncodeSettings::bUseFps, 1, {true, true, true, true}},
        {"no frame rate", &EncodeSettings::bUseFps, 0, {false, true, true, true}},
        {"no resize", &EncodeSettings::bUseResize, 0, {true, false, true, true}},
        {"no sample rate", &EncodeSettings::bUseSRate, 0, {true, true, false, true}},
        {"index rebuild", &EncodeSettings::bIndexRebuild, 1, {true, false, false, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EncodeSettings s;
        s.*c.flag = c.value;
        EXPECT_EQ(vmx::EnabledEdits(s), c.enabled);
    }
}

class SettingDlgModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::copy_file(std::string(VELMORIX_SOURCE_DIR) + "/res/tamsel.ini", scope.dir() / "tamsel.ini");
        std::filesystem::create_directories(config());
        vmx::CurrentEncodeSettings() = EncodeSettings();
    }
    void TearDown() override { vmx::CurrentEncodeSettings() = EncodeSettings(); }
    std::string config() const { return scope.folder() + "config/velmorix/"; }

    ProgramFolderScope scope;
};

TEST_F(SettingDlgModelTest, PreviewsOfTheEditsAndOfTheCurrentSettings)
{
    EncodeSettings current;
    current.sAddionalOption = "-from-the-ini";
    current.nVidW = 480;
    vmx::SettingTexts texts = vmx::TextsOfSettings(current);
    texts.width = "640";
    const std::string fromEdits = vmx::PreviewOfTexts(texts);
    EXPECT_TRUE(fromEdits.starts_with(
        "\"Source video file format(.trp) what you want to convert\" -o \"Result file(.avi)\" -of avi -ofps 15.000"))
        << fromEdits;
    EXPECT_NE(fromEdits.find("scale=640:240"), std::string::npos) << fromEdits;
    // A setting without an edit shows its default, not the current value.
    EXPECT_EQ(fromEdits.find("-from-the-ini"), std::string::npos) << fromEdits;

    const std::string fromSettings = vmx::PreviewOfSettings(current);
    EXPECT_TRUE(fromSettings.starts_with("\"Video.trp\" -o \"RESULT.avi\" -of avi")) << fromSettings;
    EXPECT_NE(fromSettings.find("scale=480:240"), std::string::npos) << fromSettings;
    EXPECT_TRUE(fromSettings.ends_with(" -from-the-ini")) << fromSettings;
}

TEST_F(SettingDlgModelTest, ConstructionReadsSettingIniAndReloadsEncodingCustomIni)
{
    {
        vmx::CurrentEncodeSettings().nVidBitrate = 777;
        vmx::CurrentEncodeSettings().ratio = "2.0";
        SettingDlgModel plain;
        EXPECT_EQ(plain.destPath(), "");
        EXPECT_EQ(plain.fileHeader(), "[P]");
        EXPECT_EQ(plain.isFirst(), 1);
        EXPECT_EQ(plain.settings(), EncodeSettings());
        // No encoding-custom.ini: the values stay, except the ratio's fixed default.
        EXPECT_EQ(vmx::CurrentEncodeSettings().nVidBitrate, 777);
        EXPECT_EQ(vmx::CurrentEncodeSettings().ratio, "1.6");
    }
    writeText(config() + "setting.ini",
              "[GENERAL]\nDESTPATH=/videos\nFILEHEADER=[Q]\nISFIRST=0\nLANGFILENAME=kor.lng\n");
    writeText(config() + "encoding-custom.ini", "[VIDEO]\nnVidW=640\n");
    SettingDlgModel model;
    EXPECT_EQ(model.destPath(), "/videos");
    EXPECT_EQ(model.fileHeader(), "[Q]");
    EXPECT_EQ(model.isFirst(), 0);
    EXPECT_EQ(model.langFileName(), "kor.lng");
    EXPECT_EQ(vmx::CurrentEncodeSettings().nVidW, 640);
    EXPECT_EQ(vmx::CurrentEncodeSettings().nVidBitrate, 777);
    EXPECT_FALSE(model.isRunning());
}

TEST_F(SettingDlgModelTest, SourceListAndSourceText)
{
    SettingDlgModel model;
    // An empty hand-over (no merge ever reached its output name) lists nothing.
    EXPECT_EQ(model.handOverMergedFile(""), EncodeRun::AddResult::IgnoredExtension);
    EXPECT_EQ(model.handOverMergedFile("/rec/[m]News.trp"), EncodeRun::AddResult::Added);
    EXPECT_EQ(model.sourceText(), "/rec/[m]News.trp");
    EXPECT_EQ(model.addSourceFile("/rec/b.TS"), EncodeRun::AddResult::Added);
    EXPECT_EQ(model.sourceText(), "/rec/b.TS");
    EXPECT_EQ(model.addSourceFile("/rec/notes.txt"), EncodeRun::AddResult::IgnoredExtension);
    EXPECT_EQ(model.addSourceFile("/rec/a?.ts"), EncodeRun::AddResult::UnicodeProblem);
    EXPECT_EQ(model.sourceText(), "/rec/b.TS");
    const auto jobs = model.jobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].sourcePath, "/rec/[m]News.trp");
    EXPECT_EQ(jobs[0].size, -1);
}

TEST_F(SettingDlgModelTest, BrowseChecks)
{
    const struct {
        std::vector<std::string> files;
        std::string text;
        bool plain;
    } selections[] = {
        {{"/rec/a.ts"}, "/rec/a.ts", true},
        {{"/rec/\xC3\xA9t\xC3\xA9.ts"}, "/rec/\xC3\xA9t\xC3\xA9.ts", false},
        {{"/rec/\xC3\xA9.ts", "/rec/b.ts"}, "/rec/", true},  // several: only their folder counts
        {{"/Vid\xC3\xA9os/a.ts", "/Vid\xC3\xA9os/b.ts"}, "/Vid\xC3\xA9os/", false},
        {{"/rec/\x01.ts"}, "/rec/\x01.ts", false},
    };
    for (const auto& s : selections) {
        SCOPED_TRACE(s.text);
        EXPECT_EQ(SettingDlgModel::selectionPathText(s.files), s.text);
        EXPECT_EQ(SettingDlgModel::selectionIsPlain(s.files), s.plain);
    }

    SettingDlgModel model;
    EXPECT_EQ(model.chooseDestination("/out"), SettingDlgModel::FolderChoice::Changed);
    EXPECT_EQ(model.chooseDestination(""), SettingDlgModel::FolderChoice::Unchanged);
    EXPECT_EQ(model.chooseDestination("/Vid\xC3\xA9os"), SettingDlgModel::FolderChoice::NotEnglish);
    EXPECT_EQ(model.destPath(), "/out");
}

TEST_F(SettingDlgModelTest, StartChecksAndTheSettingsARunTakes)
{
    SettingDlgModel model;
    vmx::SettingTexts texts = vmx::TextsOfSettings(model.settings());
    texts.encoder = "9";
    texts.videoBitrate = "900";
    // No file listed: that is said first, even without an output folder.
    SettingDlgModel::StartRequest request = model.beginStart(texts);
    EXPECT_EQ(request.check, EncodeRun::StartCheck::NoSources);
    EXPECT_EQ(request.preview, vmx::PreviewOfSettings(vmx::CurrentEncodeSettings()));
    EXPECT_TRUE(request.preview.starts_with("\"Video.trp\"")) << request.preview;
    EXPECT_EQ(vmx::CurrentEncodeSettings().nVidEncoder, 0);
    EXPECT_EQ(vmx::CurrentEncodeSettings().nVidBitrate, 900);
    EXPECT_EQ(model.settings(), vmx::CurrentEncodeSettings());

    writeText(scope.dir() / "a.trp", "x");
    ASSERT_EQ(model.addSourceFile(scope.folder() + "a.trp"), EncodeRun::AddResult::Added);
    EXPECT_EQ(model.beginStart(texts).check, EncodeRun::StartCheck::InvalidFolder);
    ASSERT_EQ(model.chooseDestination(scope.folder() + "out"), SettingDlgModel::FolderChoice::Changed);
    EXPECT_EQ(model.beginStart(texts).check, EncodeRun::StartCheck::InvalidFolder);
    std::filesystem::create_directory(scope.dir() / "out");
    EXPECT_EQ(model.beginStart(texts).check, EncodeRun::StartCheck::Ok);
    writeText(scope.dir() / "out/[P]a.avi", "old");
    request = model.beginStart(texts);
    EXPECT_EQ(request.check, EncodeRun::StartCheck::AskOverwrite);
    EXPECT_EQ(request.question, scope.folder() + "out/[P]a.avi exists. Overwrite it?");
    // An audio dump writes (and asks about) the MP3.
    model.setLastLoadedDbKind(1);
    EXPECT_EQ(model.kind(), RunKind::AudioDump);
    EXPECT_EQ(model.beginStart(texts).check, EncodeRun::StartCheck::Ok);
}

// An export choice: Start checks only for something to export and an existing folder; a handed-
// over recording is exported from its part files, else each listed file; the exports carry the
// container, the encoder, its quality and the size, and the choice stays in the current settings
// (and through Initialize).
TEST_F(SettingDlgModelTest, AnExportChoiceHandsOutExports)
{
    SettingDlgModel model;
    const vmx::SettingTexts texts = vmx::TextsOfSettings(model.settings());
    model.setOutput(vmx::OutputChoice::Mp4H264, -1, 2);
    SettingDlgModel::StartRequest request = model.beginStart(texts);
    EXPECT_TRUE(request.exporting);
    EXPECT_EQ(request.check, EncodeRun::StartCheck::NoSources);
    EXPECT_EQ(request.preview, "MP4 file, video encoded as H.264 (CRF 23, 1280x720), sound as AAC, through the export queue");
    EXPECT_EQ(vmx::CurrentEncodeSettings().nOutputFormat, int(vmx::OutputChoice::Mp4H264));

    writeText(scope.dir() / "[m]News.trp", "x");
    ASSERT_EQ(model.addSourceFile(scope.folder() + "[m]News.trp"), EncodeRun::AddResult::Added);
    EXPECT_EQ(model.beginStart(texts).check, EncodeRun::StartCheck::InvalidFolder);
    std::filesystem::create_directory(scope.dir() / "out");
    ASSERT_EQ(model.chooseDestination(scope.folder() + "out"), SettingDlgModel::FolderChoice::Changed);
    writeText(scope.dir() / "out/News.mp4", "an older export: no question, the export takes a free name");
    EXPECT_EQ(model.beginStart(texts).check, EncodeRun::StartCheck::Ok);
    std::vector<vmx::ExportJobOrder> jobs = model.exportJobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].title, "[m]News");
    EXPECT_EQ(jobs[0].baseName, "News");
    EXPECT_EQ(jobs[0].partPaths, std::vector<std::string>{scope.folder() + "[m]News.trp"});
    EXPECT_EQ(jobs[0].outputFolder, scope.folder() + "out");
    EXPECT_EQ(jobs[0].format, vmx::ExportFormat::Mp4);
    EXPECT_EQ(jobs[0].encode.video, vmx::ExportVideo::H264);
    EXPECT_EQ(jobs[0].encode.quality, 23);
    EXPECT_EQ(jobs[0].encode.width, 1280);

    vmx::RecordDetails details;
    details.displayName = "Sports HD";
    const char name[] = "\x05Sports: HD";
    std::copy(std::begin(name), std::end(name) - 1, details.nameField.begin());
    details.folder = "/disk/RECORD/";
    details.partNames = {"RF0002AA.TRP", "RF0002AB.TRP"};
    model.handOverRecording(details);
    EXPECT_EQ(model.sourceText(), "/disk/RECORD/RF0002AA.TRP + 1 more part files");
    model.setOutput(vmx::OutputChoice::MkvCopy, -1, 0);
    jobs = model.exportJobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].title, "Sports HD");
    EXPECT_EQ(jobs[0].baseName, "Sports_ HD");
    EXPECT_EQ(jobs[0].partPaths, (std::vector<std::string>{"/disk/RECORD/RF0002AA.TRP", "/disk/RECORD/RF0002AB.TRP"}));
    EXPECT_EQ(jobs[0].format, vmx::ExportFormat::Mkv);
    EXPECT_EQ(jobs[0].encode.video, vmx::ExportVideo::Copy);
    // A part name that is not a plain part name exports nothing.
    details.partNames[1] = "../../etc/pw";
    model.handOverRecording(details);
    EXPECT_EQ(model.beginStart(texts).check, EncodeRun::StartCheck::NoSources);

    model.initialize();
    EXPECT_EQ(model.outputChoice(), vmx::OutputChoice::MkvCopy);
}

TEST(SettingDlgReport, WhatTheEndOfARunSays)
{
    const auto job = [](const char* source, JobOutcome::Status status, const char* message) {
        JobOutcome j;
        j.sourcePath = source;
        j.status = status;
        j.message = message;
        return j;
    };
    const JobOutcome done = job("/a.trp", JobOutcome::Status::Done, "");
    const JobOutcome failed = job("/b.trp", JobOutcome::Status::Failed, "the encoder wrote no output");
    const JobOutcome stopped = job("/c.trp", JobOutcome::Status::Cancelled, "");
    const struct {
        const char* name;
        RunOutcome outcome;
        vmx::RunEndReport::Kind kind;
        std::string text;
        bool fillBar;
    } cases[] = {
        {"all done", {false, "", {done, done}}, vmx::RunEndReport::Kind::Complete, "Encoding complete!", true},
        {"one failed", {false, "", {done, failed}}, vmx::RunEndReport::Kind::Failures,
         "1 of 2 conversions failed:\n/b.trp: the encoder wrote no output", true},
        {"stopped", {true, "", {done, stopped}}, vmx::RunEndReport::Kind::None, "", false},
        {"could not go on", {false, "Cannot write the job script /r/convert.bat: No space left on device", {done}},
         vmx::RunEndReport::Kind::Error, "Cannot write the job script /r/convert.bat: No space left on device", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const vmx::RunEndReport report = vmx::ReportRunEnd(c.outcome);
        EXPECT_EQ(report.kind, c.kind);
        EXPECT_EQ(report.text, c.text);
        EXPECT_EQ(report.fillBar, c.fillBar);
    }
}

}  // namespace
