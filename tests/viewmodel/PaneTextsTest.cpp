#include "viewmodel/PaneTexts.h"

#include "recording/RecordingFiles.h"

#include <cstring>

#include <gtest/gtest.h>

using namespace vmx;

TEST(PaneTextsTest, RowsOfEachPane)
{
    RecordRow row;
    row.row = 1;
    row.id = 2;
    row.readable = true;
    row.name = "Sports HD";
    row.duration = 100 * 3600;
    EXPECT_EQ(RecordRowTexts(row), (std::vector<std::string>{"2", "Sports HD", "100:00:00"}));
    row.duration = 59;
    EXPECT_EQ(RecordRowTexts(row)[2], "00:00:59");
    RecordRow unreadable;
    unreadable.id = 7;
    EXPECT_EQ(RecordRowTexts(unreadable), (std::vector<std::string>{"7", "", ""}));

    EXPECT_EQ(MediaRowTexts(MediaFileEntry{3, "Tone C5.mp3", 94}), (std::vector<std::string>{"3", "Tone C5.mp3", "94"}));
    EXPECT_EQ(PendingRowTexts(0, "a.jpg"), (std::vector<std::string>{"1", "a.jpg"}));
}

TEST(PaneTextsTest, DetailsAndTime)
{
    RecordDetails details;
    details.displayName = "News 24";
    details.startTime = 0;
    details.streams = {512, 650, 8190, 0, 17, 0};
    const auto lines = DetailsLines(details);
    EXPECT_EQ(lines[0], "Channel Name : News 24");
    EXPECT_EQ(lines[1], "TIME: " + StartTimeText(0));
    EXPECT_EQ(lines[2], "VID: 512 | AID: 650 | PID: 8190 | ecmPID: 17");

    const struct {
        std::uint32_t position;
        const char* text;
    } times[] = {{0, "Time:00:00:00 | 000000"}, {3661, "Time:01:01:01 | 003661"}, {75, "Time:00:01:15 | 000075"}};
    for (const auto& t : times)
        EXPECT_EQ(TimeLabelText(t.position), t.text);
}

TEST(PaneTextsTest, NamesKeepTheirBytes)
{
    EXPECT_EQ(NameForDisplay("Sport"), "Sport");
    EXPECT_EQ(NameForDisplay("T\xC3\xA9l\xC3\xA9"), "T\xC3\xA9l\xC3\xA9") << "UTF-8 stays";
    EXPECT_EQ(NameForDisplay("T\xE9l\xE9"), "T\xC3\xA9l\xC3\xA9") << "other bytes are Latin-1";

    const struct {
        const char* what;
        std::string edit;
        std::string stored;
        std::string written;
    } renames[] = {
        {"a new name", "ABC", "Sports HD", "ABC"},
        {"the shown name gives the stored bytes back", "T\xC3\xA9l\xC3\xA9", "T\xE9l\xE9", "T\xE9l\xE9"},
        {"cut at 15 bytes", "0123456789ABCDEFGH", "x", "0123456789ABCDE"},
        {"a character is not split", "ABCDEFGHIJKLMN\xC3\xA9", "x", "ABCDEFGHIJKLMN"},
        {"an empty name", "", "x", ""},
    };
    for (const auto& r : renames) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(NameBytesForRename(r.edit, r.stored), r.written);
    }

    // Control bytes and the characters that turn the text around them are shown escaped, in the
    // window as by velmorix-cli; the name shown still renames to the stored bytes.
    const struct {
        std::string stored;
        std::string shown;
    } escaped[] = {
        {"A\x01" "B\x7F", "A\\x01B\\x7F"},
        {"\xE2\x80\xAE" "gpj.exe", "\\xE2\\x80\\xAEgpj.exe"},  // U+202E RIGHT-TO-LEFT OVERRIDE
        {"a\xE2\x80\xAA" "b\xE2\x80\xAB" "c\xE2\x80\xAC",
         "a\\xE2\\x80\\xAAb\\xE2\\x80\\xABc\\xE2\\x80\\xAC"},  // U+202A..U+202C
        {"\xE2\x80\xAD" "\xE2\x81\xA6", "\\xE2\\x80\\xAD\\xE2\\x81\\xA6"},  // U+202D, U+2066
        {"\xE2\x81\xA7" "\xE2\x81\xA8" "\xE2\x81\xA9",
         "\\xE2\\x81\\xA7\\xE2\\x81\\xA8\\xE2\\x81\\xA9"},  // U+2067..U+2069
        {"T\xC3\xA9l\xE2\x80\x8E" "x\xE2\x80\x8F" "y\xD8\x9C",
         "T\xC3\xA9l\\xE2\\x80\\x8Ex\\xE2\\x80\\x8Fy\\xD8\\x9C"},  // U+200E, U+200F, U+061C
        {"a\xE2\x80\x90" "b\xE2\x81\xA5", "a\xE2\x80\x90" "b\xE2\x81\xA5"},  // U+2010 and U+2065 stay
        {"\xE9\xE2\x80\xAE", "\xC3\xA9\\xE2\\x80\\xAE"},  // no UTF-8 elsewhere: the rest is Latin-1
    };
    for (const auto& e : escaped) {
        SCOPED_TRACE(e.shown);
        AVMRec record{};
        record.name[0] = 0x05;
        std::memcpy(record.name + 1, e.stored.data(), e.stored.size());
        EXPECT_EQ(NameForDisplay(e.stored), e.shown);
        const std::string cli = RecordDisplayName(record);
        EXPECT_EQ(EscapedNameBytes(cli), cli) << "nothing is left to escape";
        EXPECT_EQ(NameForDisplay(cli), e.shown);
        EXPECT_EQ(NameBytesForRename(NameForDisplay(e.stored), e.stored), e.stored);
    }
}
