#include "convert/ComposeParameters.h"
#include "convert/FileHelpers.h"
#include "convert/JobScript.h"
#include "convert/TextConvert.h"

#include "ConvertTestSupport.h"

#include <clocale>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <gtest/gtest.h>

using namespace vmxtest;
using vmx::ComposeParameters;
using vmx::ComposeArguments;
using vmx::SplitTemplateWords;
using vmx::Geometry;
using vmx::ComputeGeometry;
using vmx::CodePageCharset;
using vmx::IsValidUtf8;
using vmx::ConvertTextToUtf8;
using vmx::PreparedJob;
using vmx::OutputPathFor;
using vmx::SubtitleCandidate;
using vmx::PrepareEncodingJob;
using vmx::PrepareAudioDumpJob;

namespace {

const std::string kGoldenDir = std::string(VELMORIX_SOURCE_DIR) + "/tests/convert/golden/";

// A job script with the temporary folder written as @DIR@/ and the partial output's random
// name as .vmx-@@@@@@@@, so that it can be compared with a golden file.
std::string withoutPartialName(const std::string& script, const PreparedJob& job, const std::string& dir)
{
    const std::string name = job.partialPath.substr(job.partialPath.rfind('/') + 1);
    return replaced(replaced(script, name.substr(0, 13), ".vmx-@@@@@@@@"), dir, "@DIR@/");
}

// The text form and the argument form of one composition, with the temporary folder written
// as @DIR@ so the result does not depend on where the test runs.
std::string describe(const EncodeSettings& s, const std::string& video, const std::string& sub,
                     const std::string& out, const std::string& dir)
{
    std::string text = "text: [" + ComposeParameters(s, video, sub, out) + "]\n";
    for (const auto& arg : ComposeArguments(s, video, sub, out, dir + "/"))
        text += "arg: [" + arg + "]\n";
    return replaced(text, dir, "@DIR@");
}

struct ComposeCase {
    const char* golden;
    std::function<void(EncodeSettings&)> change;
    const char* video;  // a name inside the temporary folder; "*" prefix = create the file
    const char* sub;
};

TEST(ComposeParameters, MatchesGoldenFiles)
{
    ProgramFolderScope scope;
    std::filesystem::copy_file(kGoldenDir + "tamsel-test.ini", scope.dir() / "tamsel.ini");
    const std::string dir = scope.dir().str();
    writeText(scope.dir() / "video.trp", "x");
    writeText(scope.dir() / "news.sub", "sub");
    writeText(scope.dir() / "100% net.trp", "x");
    const auto keep = [](EncodeSettings&) {};
    const ComposeCase cases[] = {
        {"default-missing-video.txt", keep, "Video.trp", "Subtitle.smi"},
        {"default-existing-video.txt", keep, "video.trp", ""},
        {"index-rebuild.txt", [](EncodeSettings& s) { s.bIndexRebuild = 1; }, "video.trp", "news.sub"},
        {"codec-8.txt", [](EncodeSettings& s) { s.nVidEncoder = 8; }, "video.trp", ""},
        {"codec-7.txt", [](EncodeSettings& s) { s.nVidEncoder = 7; }, "video.trp", ""},
        {"ratio-1.2.txt",
         [](EncodeSettings& s) { s.ratio = "1.2"; s.bBlackBox = 0; s.bFullRatio = 0; }, "video.trp", ""},
        {"ratio-1.2-black-box.txt", [](EncodeSettings& s) { s.ratio = "1.2"; }, "video.trp", ""},
        {"full-ratio.txt", [](EncodeSettings& s) { s.ratio = "1.2"; s.bFullRatio = 1; }, "video.trp", ""},
        {"keep-ratio.txt", [](EncodeSettings& s) { s.ratio = "1.2"; s.bChangeRatio = 0; }, "video.trp", ""},
        {"sub-file.txt", [](EncodeSettings& s) { s.sPathFont = "/fonts/a b.ttf"; }, "video.trp", "news.sub"},
        {"copy-streams.txt",
         [](EncodeSettings& s) { s.bNoVideoEncoding = 1; s.bNoAudioEncoding = 1; s.bUseVolNorm = 0; },
         "video.trp", "news.sub"},
        {"options-off.txt",
         [](EncodeSettings& s) {
             s.bUseFps = 0; s.bUseResize = 0; s.bUseSRate = 0; s.bUseSub = 0;
             s.sAddionalOption = "-endpos 5 -info \"name=a b\" $VID_W$";
         },
         "video.trp", "news.sub"},
        {"percent-and-network-paths.txt", keep, "100% net.trp", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.golden);
        EncodeSettings s;
        s.sPathFont = "/fonts/pil.ttf";
        c.change(s);
        const std::string video = dir + "/" + c.video;
        const std::string sub = *c.sub ? dir + "/" + c.sub : "";
        const std::string out = std::string(c.golden) == "percent-and-network-paths.txt"
                                    ? "//server/share/100%/[P]out.avi"
                                    : dir + "/out.avi";
        expectGolden(c.golden, describe(s, video, sub, out, dir));
    }
}

TEST(ComposeParameters, ConvertsSamiSubtitlesToUtf8)
{
    ProgramFolderScope scope;
    std::filesystem::copy_file(kGoldenDir + "tamsel-test.ini", scope.dir() / "tamsel.ini");
    // "자막" in CP949.
    writeBytes(scope.dir() / "news.SMI", {0xC0, 0xDA, 0xB8, 0xB7, '\n'});
    EncodeSettings s;
    s.nSubCodePage = 949;
    const std::string sub = (scope.dir() / "news.SMI").string();
    // Without a run's folder the copy goes into the private runtime folder.
    const std::string text = ComposeParameters(s, "missing.trp", sub, "out.avi");
    EXPECT_NE(text.find("SUB \"" + scope.runtimeFolder() + "temp.smi\""), std::string::npos) << text;
    EXPECT_EQ(readText(scope.runtimeFolder() + "temp.smi"), "\xEC\x9E\x90\xEB\xA7\x89\n");
    // A run's composition writes it into the run's own folder.
    const auto runArgs = ComposeArguments(s, "missing.trp", sub, "out.avi", scope.folder());
    EXPECT_NE(std::find(runArgs.begin(), runArgs.end(), scope.folder() + "temp.smi"), runArgs.end());
    EXPECT_EQ(readText(scope.dir() / "temp.smi"), "\xEC\x9E\x90\xEB\xA7\x89\n");

    // A lower-case .sub file is used as it stands.
    writeText(scope.dir() / "other.sub", "x");
    const auto args = ComposeArguments(s, "missing.trp", (scope.dir() / "other.sub").string(), "out.avi",
                                       scope.folder());
    EXPECT_NE(std::find(args.begin(), args.end(), (scope.dir() / "other.sub").string()), args.end());
}

TEST(ComposeParameters, Geometry)
{
    const struct {
        const char* name;
        const char* ratio;
        int changeRatio, blackBox, fullRatio;
        bool exists;
        Geometry expected;
    } cases[] = {
        {"defaults", "1.6", 1, 1, 0, true, {240, 256, 0, 0}},
        {"ratio 1.2 plain", "1.2", 1, 0, 0, true, {266, 266, 691, 576}},
        {"ratio 1.2 black box", "1.2", 1, 1, 0, true, {240, 266, 691, 576}},
        {"ratio 1.2 full", "1.2", 1, 0, 1, true, {240, 240, 691, 576}},
        {"keep source ratio", "1.2", 0, 0, 0, true, {256, 256, 0, 0}},
        {"no source", "1.2", 1, 0, 0, false, {240, 240, 0, 0}},
        {"ratio zero", "0", 1, 0, 0, true, {2147483647, 2147483647, 0, 576}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EncodeSettings s;
        s.ratio = c.ratio;
        s.bChangeRatio = c.changeRatio;
        s.bBlackBox = c.blackBox;
        s.bFullRatio = c.fullRatio;
        EXPECT_EQ(ComputeGeometry(s, c.exists), c.expected);
    }
}

// Only double quotes group words; an apostrophe is part of the word it stands in.
TEST(ComposeParameters, SplitsTemplateWords)
{
    const struct {
        const char* text;
        std::vector<std::string> words;
    } cases[] = {
        {"  a \"b c\"d \"\" ", {"a", "b cd", ""}},
        {"-info name=Rock'n'Roll -o x", {"-info", "name=Rock'n'Roll", "-o", "x"}},
        {"'a b'", {"'a", "b'"}},
        {"\"it's here\" 'x", {"it's here", "'x"}},
        {"\ta\r\nb\"", {"a", "b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SplitTemplateWords(c.text), c.words);
    }
}

TEST(JobScript, OutputPaths)
{
    const struct {
        const char* source;
        const char* folder;
        const char* expected;
    } cases[] = {
        {"/rec/[m]News.trp", "/video", "/video/[P][m]News.avi"},
        {"/rec/[m]News.trp", "/video/", "/video/[P][m]News.avi"},
        {"/rec.d/noext", "/out.d", "/out.d/[P]noext.avi"},
        {"/rec/a.b.ts", "//server/share", "//server/share/[P]a.b.avi"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(OutputPathFor(c.source, c.folder, "[P]", ".avi"), c.expected);
    }
    TempDir dir;
    EXPECT_EQ(SubtitleCandidate((dir / "a.trp").string()), (dir / "a.sub").string());
    writeText(dir / "a.smi", "");
    EXPECT_EQ(SubtitleCandidate((dir / "a.trp").string()), (dir / "a.smi").string());
    EXPECT_EQ(SubtitleCandidate("/x.d/noext"), "");
}

// Every hostile path reaches the encoder as one unchanged argument, and nothing else runs.
TEST(JobScript, HostilePathsReachTheEncoderUnchanged)
{
    ProgramFolderScope scope;
    std::filesystem::copy_file(kGoldenDir + "tamsel-test.ini", scope.dir() / "tamsel.ini");
    const std::string log = scope.folder() + "argv.log";
    writeArgvRecorder(scope.folder() + "mencoder", log);
    writeArgvRecorder(scope.folder() + "mplayer", log);
    const std::string hostile = "a b'c\"d$(touch pwned)`touch pwned2`;touch pwned3 %x% \\\\y $VID_W$ \xC3\xBC\nz";
    const std::string folder = scope.folder() + "out $HOME '\"";
    std::filesystem::create_directory(folder);
    const std::string source = scope.folder() + hostile + ".trp";
    writeText(source, "x");

    EncodeSettings settings;
    settings.sPathFont = "/fonts/pil.ttf";
    const PreparedJob job = PrepareEncodingJob(source, folder, "[P]'%", scope.folder(), settings);
    ASSERT_TRUE(job.ok()) << job.error;
    EXPECT_EQ(job.scriptPath, scope.folder() + "convert.bat");
    EXPECT_EQ(job.outputPath, folder + "/[P]'%" + hostile + ".avi");
    ASSERT_EQ(std::system(("cd '" + scope.folder() + "' && /bin/sh convert.bat").c_str()), 0);
    auto args = readRecordedArgs(log);
    ASSERT_GE(args.size(), 4u);
    EXPECT_EQ(args[0], "GEN");
    EXPECT_EQ(args[1], source);
    EXPECT_EQ(args[2], "-o");
    EXPECT_EQ(args[3], job.partialPath);  // the output is written beside its place, then renamed
    expectGolden("convert-bat.txt", withoutPartialName(readText(job.scriptPath), job, scope.folder()));

    std::filesystem::remove(log);
    const PreparedJob dump = PrepareAudioDumpJob(source, folder, "[P]", scope.folder());
    ASSERT_TRUE(dump.ok()) << dump.error;
    EXPECT_EQ(dump.outputPath, folder + "/[P]" + hostile + ".mp3");
    ASSERT_EQ(std::system(("cd '" + scope.folder() + "' && /bin/sh convert2.bat").c_str()), 0);
    EXPECT_EQ(readRecordedArgs(log),
              (std::vector<std::string>{"-vo", "null", "-dumpaudio", source, "-dumpfile", dump.partialPath}));
    expectGolden("convert2-bat.txt", withoutPartialName(readText(dump.scriptPath), dump, scope.folder()));
    for (const char* name : {"pwned", "pwned2", "pwned3"})
        EXPECT_FALSE(std::filesystem::exists(scope.dir() / name)) << name;
}

// The partial output is a new file beside the output, under a short hidden name of its own.
TEST(JobScript, PartialOutputIsANewShortNameBesideTheOutput)
{
    TempDir dir;
    const std::string target = (dir / (std::string(251, 'n') + ".avi")).string();  // the longest name
    std::set<std::string> made;
    for (int i = 0; i < 20; ++i) {
        std::string partial;
        ASSERT_EQ(vmx::CreatePartialOutput(target, ".avi", partial), "");
        EXPECT_TRUE(std::regex_match(partial, std::regex(dir.str() + "/\\.vmx-[a-z0-9]{8}\\.avi"))) << partial;
        EXPECT_EQ(std::filesystem::file_size(partial), 0u);
        made.insert(partial);
    }
    EXPECT_EQ(made.size(), 20u);
    EXPECT_FALSE(std::filesystem::exists(target));

    writeText(target, "old");
    const std::string partial = *made.begin();
    writeText(partial, "new");
    EXPECT_EQ(vmx::PutOutputInPlace(partial, target), "");
    EXPECT_EQ(readText(target), "new");
    EXPECT_FALSE(std::filesystem::exists(partial));
    std::string none;
    EXPECT_EQ(vmx::CreatePartialOutput((dir / "missing/x.avi").string(), ".avi", none), "No such file or directory");
    EXPECT_EQ(none, "");
}

TEST(JobScript, UnwritableScriptIsReportedAndLeavesNothing)
{
    ProgramFolderScope scope;
    std::filesystem::create_directory(scope.dir() / "convert2.bat");  // a folder where the script goes
    std::filesystem::create_directory(scope.dir() / "out");
    const PreparedJob job = PrepareAudioDumpJob("/rec/a.trp", scope.folder() + "out", "[P]", scope.folder());
    EXPECT_FALSE(job.ok());
    EXPECT_NE(job.error.find("convert2.bat"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(scope.dir() / "out"));

    const PreparedJob noFolder = PrepareAudioDumpJob("/rec/a.trp", scope.folder() + "gone", "[P]", scope.folder());
    EXPECT_EQ(noFolder.error, "Cannot create the output file in " + scope.folder() + "gone/: No such file or directory");
}

TEST(TextConvert, Charsets)
{
    EXPECT_EQ(CodePageCharset(949), "CP949");
    EXPECT_EQ(CodePageCharset(65001), "UTF-8");
    TempDir dir;
    writeBytes(dir / "in", {'a', 0, 'b'});
    EXPECT_TRUE(ConvertTextToUtf8((dir / "in").string(), (dir / "out").string(), 1252));
    EXPECT_EQ(readText(dir / "out"), "a");  // a zero byte ends the text
    EXPECT_FALSE(ConvertTextToUtf8((dir / "missing").string(), (dir / "out").string(), 949));
    EXPECT_EQ(readText(dir / "out"), "");

    // A byte the code page does not know costs that character only, not the whole file.
    const struct {
        const char* name;
        int codePage;
        std::vector<unsigned char> bytes;
        const char* expected;
    } damaged[] = {
        {"stray byte in CP949", 949, {0xC0, 0xDA, 0xFF, ' ', 0xB8, 0xB7, '\n'}, "\xEC\x9E\x90\xEF\xBF\xBD \xEB\xA7\x89\n"},
        {"cut at the end", 949, {'a', 0xC0}, "a\xEF\xBF\xBD"},
        {"Latin-1 byte in UTF-8", 65001, {'c', 'a', 'f', 0xE9, ' ', 'o', 'k'}, "caf\xEF\xBF\xBD ok"},
    };
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.name);
        writeBytes(dir / "in", d.bytes);
        EXPECT_TRUE(ConvertTextToUtf8((dir / "in").string(), (dir / "out").string(), d.codePage));
        EXPECT_EQ(readText(dir / "out"), d.expected);
    }
}

// Code page 0 keeps a UTF-8 subtitle as it is and reads any other in the subtitle code page of
// the settings (CP949 unless set otherwise), whatever the locale: under the C locale too.
TEST(TextConvert, AnsiPageIsUtf8OrTheSubtitleCodePage)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    TempDir dir;
    const struct {
        const char* name;
        int codePage, ansiCodePage;
        std::vector<unsigned char> bytes;
        const char* expected;
    } cases[] = {
        {"CP949 file", 0, 949, {0xC0, 0xDA, 0xB8, 0xB7, '\n'}, "\xEC\x9E\x90\xEB\xA7\x89\n"},
        {"UTF-8 file unchanged", 0, 949, {0xEC, 0x9E, 0x90, 0xEB, 0xA7, 0x89, '\n'}, "\xEC\x9E\x90\xEB\xA7\x89\n"},
        {"plain ASCII", 0, 949, {'<', 'S', 'A', 'M', 'I', '>'}, "<SAMI>"},
        {"UTF-8 loses its byte-order mark", 0, 949, {0xEF, 0xBB, 0xBF, 'o', 'k'}, "ok"},
        {"another subtitle code page", 0, 1252, {'c', 'a', 'f', 0xE9}, "caf\xC3\xA9"},
        {"0 as subtitle code page means 949", 0, 0, {0xC0, 0xDA}, "\xEC\x9E\x90"},
        {"overlong UTF-8 is not UTF-8", 0, 1252, {0xC0, 0xAF}, "\xC3\x80\xC2\xAF"},
        {"949 always means CP949, even for UTF-8", 949, 949, {0xEC, 0x9E, 0x90}, "\xEF\xBF\xBD\xEC\x98\x84"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(dir / "in", c.bytes);
        EXPECT_TRUE(ConvertTextToUtf8((dir / "in").string(), (dir / "out").string(), c.codePage, c.ansiCodePage));
        EXPECT_EQ(readText(dir / "out"), c.expected);
    }
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(TextConvert, RecognisesUtf8)
{
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"", true}, {"abc", true}, {"\xC3\xA9", true}, {"\xF0\x9F\x98\x80", true}, {"\xF4\x8F\xBF\xBF", true},
        {"\xC3", false}, {"\xC0\x80", false}, {"\xE0\x80\x80", false}, {"\xED\xA0\x80", false},
        {"\xF4\x90\x80\x80", false}, {"\xB0\xA1", false}, {"\xC3\xC3", false}, {"\xFF", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IsValidUtf8(c.text), c.valid);
    }
}

}  // namespace
