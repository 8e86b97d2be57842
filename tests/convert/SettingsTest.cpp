#include "convert/EncodeSettings.h"
#include "convert/FileHelpers.h"
#include "convert/Profile.h"
#include "convert/TextConvert.h"

#include "common/FilePaths.h"
#include "common/RegularFile.h"

#include "ConvertTestSupport.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>

using namespace vmxtest;
using vmx::ConvertTextToUtf8;
using vmx::LookupText;
using vmx::DefaultFontPath;
using vmx::ResetEncodeSettings;
using vmx::LoadEncodeSettings;
using vmx::PathExtension;
using vmx::ReplaceChar;
using vmx::LeadingDouble;
using vmx::FormatFixed3;
using vmx::kProfileValueLimit;

namespace {

TEST(Profile, ReadsWithPrivateProfileSemantics)
{
    ProgramFolderScope scope;
    writeText(scope.dir() / "t.ini",
              "; comment\n"
              "[Video]\n"
              "  Width =  640  \r\n"
              "quoted=\"a b\"\n"
              "single=' x '\n"
              "half=\"open\n"
              "inner=a\"b\"\n"
              "num=12abc\n"
              "neg=  -5\n"
              "word=abc\n"
              "empty=\n"
              "semi=a;b\n"
              "dup=first\n"
              "dup=second\n"
              "[AUDIO]\n"
              "rate=1\n"
              "[video]\n"
              "late=1\n");
    const struct {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"VIDEO", "width", "640"},  {"video", "QUOTED", "a b"},  {"VIDEO", "single", " x "},
        {"VIDEO", "half", "\"open"}, {"VIDEO", "inner", "a\"b\""}, {"VIDEO", "empty", ""},
        {"VIDEO", "semi", "a;b"},    {"VIDEO", "dup", "first"},   {"VIDEO", "rate", "DEF"},
        {"VIDEO", "late", "DEF"},    {"NONE", "width", "DEF"},    {"AUDIO", "rate", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ReadProfileString(c.section, c.key, "DEF", "t.ini"), c.expected);
    }
    EXPECT_EQ(ReadProfileInt("VIDEO", "num", 7, "t.ini"), 12);
    EXPECT_EQ(ReadProfileInt("VIDEO", "neg", 7, "t.ini"), -5);
    EXPECT_EQ(ReadProfileInt("VIDEO", "word", 7, "t.ini"), 0);
    EXPECT_EQ(ReadProfileInt("VIDEO", "missing", 7, "t.ini"), 7);
    EXPECT_EQ(ReadProfileInt("VIDEO", "width", 7, "missing.ini"), 7);
    // An absolute name is used as it stands.
    EXPECT_EQ(ReadProfileString("VIDEO", "width", "", (scope.dir() / "t.ini").string()), "640");
}

TEST(Profile, CutsLongValues)
{
    ProgramFolderScope scope;
    writeText(scope.dir() / "t.ini", "[S]\nk=" + std::string(12000, 'x') + "\n");
    EXPECT_EQ(ReadProfileString("S", "k", "", "t.ini").size(), kProfileValueLimit);
}

TEST(EncodeSettings, LoadOverlaysOnlyPresentKeys)
{
    ProgramFolderScope scope;
    EncodeSettings s;
    s.ratio = "2.0";
    s.fVidFps = 29.97;
    s.nAudSrate = 22050;
    writeText(scope.dir() / "encoding-custom.ini", "[VIDEO]\nnVidW=640\n");
    EncodeSettings expected = s;
    expected.nVidW = 640;
    expected.ratio = "1.6";  // absent ratio always falls back to 1.6
    LoadEncodeSettings(s, "encoding-custom.ini");
    EXPECT_EQ(s, expected);

    s.fVidFps = 23.9761;
    LoadEncodeSettings(s, "encoding-custom.ini");
    EXPECT_DOUBLE_EQ(s.fVidFps, 23.976);

    writeText(scope.dir() / "encoding-custom.ini", "[VIDEO]\nfVidFps=abc\n");
    LoadEncodeSettings(s, "encoding-custom.ini");
    EXPECT_EQ(s.fVidFps, 0.0);
}

TEST(EncodeSettings, LoadsEveryKeyFromItsSection)
{
    ProgramFolderScope scope;
    writeText(scope.dir() / "encoding-custom.ini",
              "[VIDEO]\nbThreadPriorityNorm=1\nbUseVolNorm=0\nbUseReport=1\nbLoadSettingAfterInit=0\n"
              "bUseFps=0\nbUseResize=0\nbChangeRatio=0\nbUseSRate=0\nbIndexRebuild=1\nbNoVideoEncoding=1\n"
              "bNoAudioEncoding=1\nfVidFps=25\nnVidW=720\nnVidH=576\nnVidBitrate=900\nratio=1.33\n"
              "bBlackBox=0\nbFullRatio=1\nnVidEncoder=7\n"
              "[AUDIO]\nnAudBitrate=128\nnAudVolume=3\nnAlgorithm=2\nnAudMode=3\nnAudVBR=0\nnAudSrate=48000\n"
              "[SUB]\nnSubPos=90\nnSubBlur=1\nnSubOutline=3\nnSubSize=5\nbUseSub=0\nsPathFont=/f/font.ttf\n"
              "nSubAnsiCodePage=1252\n"
              "[ETC]\nsAddionalOption=-endpos 5\n"
              // Keys in the wrong section are not found.
              "[AUDIO]\nnVidW=1\n");
    EncodeSettings s;
    LoadEncodeSettings(s, "encoding-custom.ini");
    EncodeSettings e;
    e.bThreadPriorityNorm = 1; e.bUseVolNorm = 0; e.bUseReport = 1; e.bLoadSettingAfterInit = 0;
    e.bUseFps = 0; e.bUseResize = 0; e.bChangeRatio = 0; e.bUseSRate = 0; e.bIndexRebuild = 1;
    e.bNoVideoEncoding = 1; e.bNoAudioEncoding = 1; e.fVidFps = 25; e.nVidW = 720; e.nVidH = 576;
    e.nVidBitrate = 900; e.ratio = "1.33"; e.bBlackBox = 0; e.bFullRatio = 1; e.nVidEncoder = 7;
    e.nAudBitrate = 128; e.nAudVolume = 3; e.nAlgorithm = 2; e.nAudMode = 3; e.nAudVBR = 0;
    e.nAudSrate = 48000; e.nSubPos = 90; e.nSubBlur = 1; e.nSubOutline = 3; e.nSubSize = 5;
    e.bUseSub = 0; e.sPathFont = "/f/font.ttf"; e.sAddionalOption = "-endpos 5"; e.nSubAnsiCodePage = 1252;
    EXPECT_EQ(s, e);

    // Reset keeps exactly the five fields it does not own.
    ResetEncodeSettings(s);
    EncodeSettings reset;
    reset.bThreadPriorityNorm = 1; reset.bUseVolNorm = 0; reset.bUseReport = 1; reset.bLoadSettingAfterInit = 0;
    EXPECT_EQ(s, reset);
}

TEST(EncodeSettings, FontDefaultsToProgramFolder)
{
    if (DefaultFontPath().ends_with("gulim.ttc"))
        GTEST_SKIP() << "this machine has gulim.ttc";
    EXPECT_EQ(EncodeSettings().sPathFont, GetProgramFolder() + "pil.ttf");
}

TEST(FileHelpers, Paths)
{
    const struct {
        const char* folder;
        const char* name;
        const char* joined;
    } joins[] = {
        {"/out", "[P]a.avi", "/out/[P]a.avi"}, {"/out/", "/[P]a.avi", "/out/[P]a.avi"},
        {"", "a", "/a"}, {"/out", "/", "/out/"}, {"/out", "", "/out/"},
    };
    for (const auto& j : joins) {
        SCOPED_TRACE(std::string(j.folder) + " + " + j.name);
        EXPECT_EQ(JoinPath(j.folder, j.name, '/'), j.joined);
    }
    EXPECT_EQ(JoinPath("C:\\out\\", "\\[P]a.avi", '\\'), "C:\\out\\[P]a.avi");
    EXPECT_EQ(vmx::FileNameOfPath("/a.b/c.d.trp"), "c.d.trp");
    EXPECT_EQ(PathExtension("/a.b/c.d.TRP"), ".TRP");
    EXPECT_EQ(PathExtension("/a.b/noext"), "");
    std::string text = "a.b.c";
    EXPECT_EQ(ReplaceChar(text, '.', '_'), 2);
    EXPECT_EQ(text, "a_b_c");
    EXPECT_EQ(ReplaceChar(text, '_', '_'), 0);
    // Every key the program shows has a text of its own; none reaches the user as a key.
    for (const char* key : {"TXT_APP_NAME", "TXT_OVERWRITE_ASK", "TXT_OPEN_DLG_TITLE", "TXT_OPEN_DLG_VIDEO_FILE",
                            "TXT_OPEN_DLG_ALL_FILES", "TXT_UNICODE_PROBLEM"}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(LookupText(key).find("TXT_"), std::string::npos);
    }
    EXPECT_EQ(LookupText("TXT_OVERWRITE_ASK", "/out/[P]a.avi"), "/out/[P]a.avi exists. Overwrite it?");
    EXPECT_EQ(LeadingDouble(" 1.25x"), 1.25);
    EXPECT_EQ(FormatFixed3(29.97), "29.970");
}

TEST(FileHelpers, FilesAndFolders)
{
    TempDir dir;
    writeText(dir / "f", "12345");
    EXPECT_EQ(FileSizeOf((dir / "f").string()), 5);
    EXPECT_EQ(FileSizeOf(dir.str()), -1);
    EXPECT_EQ(FileSizeOf((dir / "missing").string()), -1);
    EXPECT_TRUE(FileExists((dir / "f").string()));
    EXPECT_FALSE(FileExists(dir.str()));
    EXPECT_TRUE(FolderExists(dir.str()));
    EXPECT_FALSE(FolderExists((dir / "f").string()));
}

// Nothing that reads a file waits on a named pipe: it is refused as not a regular file.
TEST(FileHelpers, NamedPipesAreRefusedWithoutWaiting)
{
    ProgramFolderScope scope;
    const std::string fifo = (scope.dir() / "pipe.ini").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(FileSizeOf(fifo), -1);
    vmx::UniqueFd fd;
    std::uint64_t size = 0;
    EXPECT_EQ(vmx::OpenRegularFile(fifo, O_RDONLY, fd, size), fifo + " is a named pipe, not a regular file; it was left alone.");
    EXPECT_FALSE(fd.ok());
    EXPECT_EQ(ReadProfileString("S", "k", "DEF", "pipe.ini"), "DEF");
    EXPECT_FALSE(ConvertTextToUtf8(fifo, (scope.dir() / "out").string(), 949));
    const std::string missing = (scope.dir() / "missing").string();
    EXPECT_EQ(vmx::OpenRegularFile(missing, O_RDONLY, fd, size), "cannot open " + missing + ": No such file or directory.");
    std::string content;
    writeText(scope.dir() / "f", "abc");
    EXPECT_EQ(vmx::ReadRegularFile((scope.dir() / "f").string(), content), "");
    EXPECT_EQ(content, "abc");
}

}  // namespace
