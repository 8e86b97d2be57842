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
namespace fs = std::filesystem;

namespace {

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(UserFolders, DataFolderFollowsXdgThenHome)
{
    EnvScope data("XDG_DATA_HOME", nullptr);
    EnvScope homeScope("HOME", "/h");
    EXPECT_EQ(vmx::UserDataFolder(), "/h/.local/share/velmorix/");
    EnvScope dataScope("XDG_DATA_HOME", "/d/");
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
        SCOPED_TRACE("a folder of another user is refused");
        fs::create_directories(root / "rt/velmorix");
        ASSERT_EQ(chown((root / "rt/velmorix").c_str(), 65534, 65534), 0);
        EnvScope runtime("XDG_RUNTIME_DIR", (root / "rt").c_str());
        std::string folder;
        EXPECT_TRUE(vmx::PrivateRuntimeFolder(folder).ends_with("it belongs to another user."));
    }
}

TEST(RunFolder, EachRunHasItsOwnFolderRemovedAtTheEnd)
{
    ProgramFolderScope scope;
    std::string first;
    {
        vmx::RunFolder a;
        vmx::RunFolder b;
        EXPECT_EQ(a.Path(), "");
        ASSERT_EQ(a.Create(), "");
        ASSERT_EQ(b.Create(), "");
        first = a.Path();
        EXPECT_TRUE(first.starts_with(scope.runtimeFolder() + "run-"));
        EXPECT_NE(a.Path(), b.Path());
        EXPECT_EQ(modeOf(a.Path()), 0700u);
        ASSERT_EQ(a.Create(), "");  // already made: kept
        EXPECT_EQ(a.Path(), first);
        writeText(a.Path() + "convert.bat", "x");
    }
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::is_empty(scope.runtimeFolder()));
}

}  // namespace
