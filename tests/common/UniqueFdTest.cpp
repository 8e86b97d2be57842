#include "common/UniqueFd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <utility>

namespace {

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

}  // namespace

TEST(UniqueFd, OwnsExactlyOneDescriptor)
{
    int raw = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    {
        vmx::UniqueFd a(raw);
        vmx::UniqueFd b(std::move(a));
        EXPECT_FALSE(a.ok());
        EXPECT_EQ(b.get(), raw);
        vmx::UniqueFd c;
        c = std::move(b);
        EXPECT_TRUE(isOpen(raw));
    }
    EXPECT_FALSE(isOpen(raw)) << "closed once its owner went";

    vmx::UniqueFd released(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    raw = released.release();
    EXPECT_FALSE(released.ok());
    EXPECT_TRUE(isOpen(raw));
    ::close(raw);

    vmx::UniqueFd closing(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    EXPECT_TRUE(closing.close());
    EXPECT_FALSE(closing.ok());
    EXPECT_TRUE(closing.close()) << "closing nothing succeeds";
}
