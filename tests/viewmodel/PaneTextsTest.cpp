#include "viewmodel/PaneTexts.h"

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
}
