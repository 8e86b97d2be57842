#include "convert/EncodeSettings.h"
#include "convert/FileHelpers.h"
#include "convert/Profile.h"
#include "convert/RunFolder.h"
#include "convert/UserFolders.h"

#include "ConvertTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vmxtest;
using vmx::LoadEncodeSettings;
using vmx::SetProgramFolder;
namespace fs = std::filesystem;

namespace {

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// An installed tree (root/usr/bin, root/usr/share/velmorix) and two places for user settings.
class UserFoldersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* folder : {"usr/bin", "usr/share/velmorix", "cfg/velmorix", "home/.config/velmorix"})
            fs::create_directories(root / folder);
        SetProgramFolder((root / "usr/bin").string());
    }
    void TearDown() override { SetProgramFolder(saved); }
    std::string at(const std::string& relative) const { return (root / relative).string(); }

    TempDir root;
    std::string saved = GetProgramFolder();
    EnvScope noConfig{"XDG_CONFIG_HOME", nullptr};
    EnvScope noHome{"HOME", nullptr};
};

TEST_F(UserFoldersTest, IniFilesComeFromTheUserFirstThenTheShippedCopy)
{
    const struct {
        const char* name;
        const char* xdgConfig;  // relative to the root; nullptr = unset; "~" = a relative value
        std::vector<const char*> files;
        const char* found;
    } cases[] = {
        {"user copy through XDG_CONFIG_HOME", "cfg", {"cfg/velmorix/x.ini", "usr/share/velmorix/x.ini"},
         "cfg/velmorix/x.ini"},
        {"shipped copy when the user has none", "cfg", {"usr/share/velmorix/x.ini"}, "usr/share/velmorix/x.ini"},
        {"user copy in ~/.config", nullptr, {"home/.config/velmorix/x.ini", "usr/share/velmorix/x.ini"},
         "home/.config/velmorix/x.ini"},
        {"a relative XDG_CONFIG_HOME is ignored", "~", {"home/.config/velmorix/x.ini"}, "home/.config/velmorix/x.ini"},
        {"build folder: the copy beside the binary", "cfg", {"usr/bin/x.ini", "usr/share/velmorix/x.ini"},
         "usr/bin/x.ini"},
        {"a folder in the user's place does not count", "cfg", {"usr/share/velmorix/x.ini"},
         "usr/share/velmorix/x.ini"},
        {"none at all: the name beside the binary", "cfg", {}, "usr/bin/x.ini"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* folder : {"cfg/velmorix", "home/.config/velmorix", "usr/bin", "usr/share/velmorix"})
            fs::remove_all(root / folder / "x.ini");
        if (std::string(c.name).starts_with("a folder"))
            fs::create_directory(root / "cfg/velmorix/x.ini");
        for (const char* file : c.files)
            writeText(root / file, std::string("[S]\nfrom=") + file + "\n");
        const std::string xdg = !c.xdgConfig ? "" : *c.xdgConfig == '~' ? "cfg" : at(c.xdgConfig);
        EnvScope configScope("XDG_CONFIG_HOME", c.xdgConfig ? xdg.c_str() : nullptr);
        EnvScope homeScope("HOME", at("home").c_str());
        EXPECT_EQ(vmx::FindIniFile("x.ini"), at(c.found));
        EXPECT_EQ(ReadProfileString("S", "from", "none", "x.ini"), c.files.empty() ? "none" : c.found);
    }
    EXPECT_EQ(vmx::FindIniFile(at("cfg/velmorix/x.ini")), at("cfg/velmorix/x.ini"));  // absolute: as it is
}

// The encoder settings a user keeps in their own encoding-custom.ini are the ones loaded.
TEST_F(UserFoldersTest, EncoderSettingsOfTheUser)
{
    writeText(root / "usr/share/velmorix/encoding-custom.ini", "[VIDEO]\nnVidW=640\nnVidH=480\n");
    EnvScope configScope("XDG_CONFIG_HOME", at("cfg").c_str());
    EncodeSettings shipped;
    LoadEncodeSettings(shipped, "encoding-custom.ini");
    EXPECT_EQ(shipped.nVidW, 640);
    writeText(root / "cfg/velmorix/encoding-custom.ini", "[VIDEO]\nnVidW=800\n");
    EncodeSettings own;
    LoadEncodeSettings(own, "encoding-custom.ini");
    EXPECT_EQ(own.nVidW, 800);
    EXPECT_EQ(own.nVidH, 240);  // the user's file replaces the shipped one as a whole
}

TEST_F(UserFoldersTest, UserFoldersFollowXdgThenHome)
{
    EnvScope data("XDG_DATA_HOME", nullptr);
    EnvScope homeScope("HOME", "/h");
    EXPECT_EQ(vmx::UserConfigFolder(), "/h/.config/velmorix/");
    EXPECT_EQ(vmx::UserDataFolder(), "/h/.local/share/velmorix/");
    EnvScope configScope("XDG_CONFIG_HOME", "/c");
    EnvScope dataScope("XDG_DATA_HOME", "/d/");
    EXPECT_EQ(vmx::UserConfigFolder(), "/c/velmorix/");
    EXPECT_EQ(vmx::UserDataFolder(), "/d/velmorix/");
    // Without HOME the home folder comes from the user's account, never from /tmp.
    EnvScope homeUnset("HOME", nullptr);
    const std::string home = vmx::HomeFolder();
    EXPECT_TRUE(home.starts_with("/")) << home;
    EXPECT_FALSE(home.starts_with("/tmp")) << home;
}

TEST(PrivateRuntimeFolder, IsTheUsersOwnClosedFolder)
{
    TempDir root;
    EnvScope data("XDG_DATA_HOME", (root / "data").c_str());
    const struct {
        const char* name;
        const char* runtime;  // XDG_RUNTIME_DIR below the root; nullptr = unset
        std::function<void()> prepare;
        const char* folder;    // expected, below the root
        const char* problem;   // expected end of the refusal
    } cases[] = {
        {"session runtime folder", "rt", [&] { fs::create_directory(root / "rt"); }, "rt/velmorix/", ""},
        {"an existing open folder is closed", "rt",
         [&] { fs::create_directories(root / "rt/velmorix"); chmod((root / "rt/velmorix").c_str(), 0755); },
         "rt/velmorix/", ""},
        {"no runtime folder: below the data folder", nullptr, [] {}, "data/velmorix/run/", ""},
        {"a runtime folder that does not exist is passed over", "gone", [] {}, "data/velmorix/run/", ""},
        {"a link is refused", "rt",
         [&] {
             fs::create_directories(root / "rt");
             fs::create_directory(root / "other");
             fs::create_directory_symlink(root / "other", root / "rt/velmorix");
         },
         nullptr, "it is a link, not a folder."},
        {"a file is refused", "rt", [&] { fs::create_directories(root / "rt"); writeText(root / "rt/velmorix", ""); },
         nullptr, "it is not a folder."},
        {"a parent others can write into is refused", "open",
         [&] { fs::create_directory(root / "open"); chmod((root / "open").c_str(), 0777); }, nullptr,
         "/open can be written by other users."},
        {"unless it is sticky like /tmp", "open",
         [&] { fs::create_directory(root / "open"); chmod((root / "open").c_str(), 01777); }, "open/velmorix/", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* folder : {"rt", "open", "other", "data"})
            fs::remove_all(root / folder);
        c.prepare();
        EnvScope runtime("XDG_RUNTIME_DIR", c.runtime ? (root / c.runtime).c_str() : nullptr);
        std::string folder;
        const std::string problem = vmx::PrivateRuntimeFolder(folder);
        if (c.folder) {
            EXPECT_EQ(problem, "");
            EXPECT_EQ(folder, (root / c.folder).string());
            EXPECT_EQ(modeOf(folder), 0700u);
        } else {
            EXPECT_TRUE(problem.ends_with(c.problem)) << problem;
            EXPECT_TRUE(problem.starts_with("The folder " + root.str())) << problem;
            EXPECT_EQ(folder, "");
        }
    }
    if (geteuid() == 0) {
        SCOPED_TRACE("folders of another user");
        fs::create_directories(root / "rt/velmorix");
        ASSERT_EQ(chown((root / "rt/velmorix").c_str(), 65534, 65534), 0);
        EnvScope runtime("XDG_RUNTIME_DIR", (root / "rt").c_str());
        std::string folder;
        EXPECT_TRUE(vmx::PrivateRuntimeFolder(folder).ends_with("it belongs to another user."));
        // Another user's session runtime folder is passed over for the data folder.
        ASSERT_EQ(chown((root / "rt").c_str(), 65534, 65534), 0);
        EXPECT_EQ(vmx::PrivateRuntimeFolder(folder), "");
        EXPECT_EQ(folder, (root / "data/velmorix/run/").string());
    }
}

TEST(RunFolder, EachRunHasItsOwnFolderRemovedAtTheEnd)
{
    ProgramFolderScope scope;
    std::string first;
    {
        vmx::RunFolder a;
        vmx::RunFolder b;
        EXPECT_EQ(a.path(), "");
        ASSERT_EQ(a.create(), "");
        ASSERT_EQ(b.create(), "");
        first = a.path();
        EXPECT_TRUE(first.starts_with(scope.runtimeFolder() + "run-"));
        EXPECT_NE(a.path(), b.path());
        EXPECT_EQ(modeOf(a.path()), 0700u);
        ASSERT_EQ(a.create(), "");  // already made: kept
        EXPECT_EQ(a.path(), first);
        // Live runs, of this program too, are no dead runs.
        EXPECT_TRUE(vmx::RemoveDeadRuns().empty());
        EXPECT_TRUE(fs::exists(a.path()));
        EXPECT_TRUE(fs::exists(b.path()));
        writeText(a.path() + "convert.bat", "x");
    }
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::is_empty(scope.runtimeFolder()));
}

}  // namespace
