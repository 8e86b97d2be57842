#include "common/RegularFile.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vmxtest;
namespace fs = std::filesystem;

TEST(RegularFile, OnlyARegularFileOpensAndNothingBlocks)
{
    TempDir dir;
    writeText(dir / "plain", "12345");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    fs::create_directory(dir / "folder");
    fs::create_symlink(dir / "plain", dir / "link");
    const struct {
        const char* name;
        int flags;
        const char* error;  // part of the refusal; null when the file opens
    } cases[] = {
        {"plain", O_RDONLY, nullptr},
        {"plain", O_RDWR | O_NOFOLLOW, nullptr},
        {"link", O_RDONLY, nullptr},
        {"link", O_RDONLY | O_NOFOLLOW, "is a symbolic link, not a regular file"},
        {"pipe", O_RDONLY, "is a named pipe, not a regular file"},
        {"pipe", O_RDWR, "is a named pipe, not a regular file"},
        {"folder", O_RDONLY, "is a folder, not a regular file"},
        {"folder", O_RDWR, "Is a directory"},
        {"missing", O_RDONLY, "No such file or directory"},
        {"/dev/null", O_RDWR, "is a device, not a regular file"},
        {"/dev/zero", O_RDONLY, "is a device, not a regular file"},
    };
    ::alarm(30);  // a blocking open ends the test instead of hanging it
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.flags));
        vmx::UniqueFd fd;
        std::uint64_t size = 0;
        const std::string path = c.name[0] == '/' ? std::string(c.name) : (dir / c.name).string();
        const std::string error = vmx::OpenRegularFile(path, c.flags, fd, size);
        if (!c.error) {
            EXPECT_EQ(error, "");
            EXPECT_TRUE(fd.ok());
            EXPECT_EQ(size, 5u);
            EXPECT_EQ(::fcntl(fd.get(), F_GETFL) & O_NONBLOCK, 0);
            continue;
        }
        EXPECT_FALSE(fd.ok());
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    ::alarm(0);
}

TEST(RegularFile, ReadsAWholeFile)
{
    TempDir dir;
    std::string big(200000, 'x');
    big[150000] = '\0';
    writeText(dir / "f", big);
    std::string content;
    EXPECT_EQ(vmx::ReadRegularFile((dir / "f").string(), content), "");
    EXPECT_EQ(content, big);
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    ::alarm(30);
    const std::string error = vmx::ReadRegularFile((dir / "pipe").string(), content);
    ::alarm(0);
    EXPECT_EQ(error, (dir / "pipe").string() + " is a named pipe, not a regular file; it was left alone.");
    EXPECT_EQ(content, "");
}
