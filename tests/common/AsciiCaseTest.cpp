#include "common/AsciiCase.h"

#include <gtest/gtest.h>

TEST(AsciiCase, OnlyAsciiLettersChange)
{
    EXPECT_EQ(vmx::AsciiUpper("rf0001ab.trp"), "RF0001AB.TRP");
    // Bytes of other alphabets stay as they are, whatever the locale says.
    EXPECT_EQ(vmx::AsciiUpper("caf\xC3\xA9 \xE9z"), "CAF\xC3\xA9 \xE9Z");
    EXPECT_TRUE(vmx::EqualsIgnoringAsciiCase("Rf0001aB.tRp", "RF0001AB.TRP"));
    EXPECT_FALSE(vmx::EqualsIgnoringAsciiCase("\xE9", "\xC9"));
    EXPECT_FALSE(vmx::EqualsIgnoringAsciiCase("RF0001AB.TRP", "RF0001AB.TRP "));
}
