#include "common/AsciiCase.h"

#include <gtest/gtest.h>

TEST(AsciiCase, OnlyAsciiLettersChange)
{
    EXPECT_EQ(vmx::AsciiUpper("rf0001ab.trp"), "RF0001AB.TRP");
    EXPECT_EQ(vmx::AsciiLower("RF0001AB.TRP [P]"), "rf0001ab.trp [p]");
    // Bytes of other alphabets stay as they are, whatever the locale says.
    EXPECT_EQ(vmx::AsciiUpper("caf\xC3\xA9 \xE9z"), "CAF\xC3\xA9 \xE9Z");
    EXPECT_EQ(vmx::AsciiLower("\xC9T\xC9"), "\xC9t\xC9");
    EXPECT_TRUE(vmx::EqualsIgnoringAsciiCase("Rf0001aB.tRp", "RF0001AB.TRP"));
    EXPECT_FALSE(vmx::EqualsIgnoringAsciiCase("\xE9", "\xC9"));
    EXPECT_FALSE(vmx::EqualsIgnoringAsciiCase("RF0001AB.TRP", "RF0001AB.TRP "));
}

TEST(AsciiCase, EndsWith)
{
    const struct {
        const char* text;
        const char* tail;
        bool ends;
    } cases[] = {
        {"Tone C5.MP3", ".mp3", true},
        {"song.Mp3", ".mp3", true},
        {"mp3", ".mp3", false},
        {".mp3", ".mp3", true},
        {"picture.jpeg", ".jpg", false},
        {"x.mp3 ", ".mp3", false},
        {"", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.tail);
        EXPECT_EQ(vmx::EndsWithIgnoringAsciiCase(c.text, c.tail), c.ends);
    }
}
