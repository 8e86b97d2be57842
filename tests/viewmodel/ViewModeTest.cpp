#include "viewmodel/FileFilters.h"
#include "viewmodel/ViewMode.h"

#include "recording/LoadedPane.h"

#include <gtest/gtest.h>

using namespace vmx;

TEST(ViewModeTest, ButtonsOfEachMode)
{
    const struct {
        ViewMode mode;
        bool load, jpeg, mp3, convert, merge;
    } cases[] = {
        {ViewMode::Record, true, false, false, true, true},
        {ViewMode::Mp3, false, false, true, false, false},
        {ViewMode::Jpeg, false, true, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.mode));
        const auto buttons = ButtonsForMode(c.mode);
        ASSERT_TRUE(buttons);
        EXPECT_EQ(buttons->load, c.load);
        EXPECT_EQ(buttons->chooseJpeg, c.jpeg);
        EXPECT_EQ(buttons->chooseMp3, c.mp3);
        EXPECT_EQ(buttons->convert, c.convert);
        EXPECT_EQ(buttons->merge, c.merge);
    }
    EXPECT_FALSE(ButtonsForMode(ViewMode::None)) << "any other value changes nothing";
    EXPECT_EQ(ModeOfIndex(2), ViewMode::Jpeg);
    EXPECT_EQ(ModeOfIndex(-1), ViewMode::None);
    EXPECT_EQ(MediaKindOfMode(ViewMode::Jpeg), MediaKind::Image);
    EXPECT_FALSE(MediaKindOfMode(ViewMode::Record));
}

TEST(ViewModeTest, ColumnsAndCaptionsOfEachMode)
{
    const PaneSetup records = PaneSetupFor(ViewMode::Record);
    for (const auto& columns : records.columns) {
        ASSERT_EQ(columns.size(), 3u);
        EXPECT_STREQ(columns[1].title, "CHANNEL NAME");
        EXPECT_EQ(columns[1].width, 180);
        EXPECT_STREQ(columns[2].title, "DURATION");
        EXPECT_EQ(columns[2].width, 112);
    }
    EXPECT_EQ(records.captions[0], "");
    EXPECT_FALSE(records.detailsLines);

    const PaneSetup music = PaneSetupFor(ViewMode::Mp3);
    ASSERT_EQ(music.columns[kLeftSide].size(), 2u);
    EXPECT_STREQ(music.columns[kLeftSide][1].title, "File Name");
    EXPECT_EQ(music.columns[kLeftSide][1].width, 250);
    EXPECT_STREQ(music.columns[kRightSide][2].title, "Size(Kbyte)");
    EXPECT_EQ(music.captions[kLeftSide], "PC");
    EXPECT_EQ(music.captions[kRightSide], "PVR USB MP3");
    ASSERT_TRUE(music.detailsLines);
    EXPECT_EQ((*music.detailsLines)[1], "MP3 JPEG MODE");
    EXPECT_EQ(PaneSetupFor(ViewMode::Jpeg).captions[kRightSide], "PVR USB IMAGE");
}

TEST(ViewModeTest, RowClicks)
{
    const struct {
        const char* what;
        int side, row;
        ViewMode mode;
        bool loaded;
        bool details;
        std::optional<bool> al, ar;
    } cases[] = {
        {"left record row", kLeftSide, 1, ViewMode::Record, true, true, true, false},
        {"left blank area still switches AL on", kLeftSide, -1, ViewMode::Record, true, false, true, false},
        {"left pane not loaded", kLeftSide, 0, ViewMode::Record, false, false, true, false},
        {"left pane in MP3 mode", kLeftSide, 0, ViewMode::Mp3, false, false, true, false},
        {"right record row", kRightSide, 0, ViewMode::Record, true, true, false, true},
        {"right blank area changes nothing", kRightSide, -1, ViewMode::Record, true, false, {}, {}},
        {"right pane not loaded changes nothing", kRightSide, 0, ViewMode::Record, false, false, {}, {}},
        {"right pane in JPEG mode", kRightSide, -1, ViewMode::Jpeg, false, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RowClickEffect effect = RowClick(c.side, c.row, c.mode, c.loaded);
        EXPECT_EQ(effect.showDetails, c.details);
        EXPECT_EQ(effect.transferLeftToRight, c.al);
        EXPECT_EQ(effect.transferRightToLeft, c.ar);
    }
}

TEST(FileFiltersTest, DialogFiltersKeepTheirTextsAndPatterns)
{
    using Filters = std::vector<std::string>;
    EXPECT_EQ(FileDialogFilters("PVR DB file(*.DB)|*.DB||"), Filters{"PVR DB file(*.DB)"});
    EXPECT_EQ(FileDialogFilters("mp3 file(*.mp3) | *.mp3||"), Filters{"mp3 file(*.mp3)"});
    // The second description names a pattern it does not filter by: the real one is added.
    EXPECT_EQ(FileDialogFilters("JPEG file(*.jpg)|*.jpg|JPEG file(*.jepg)|*.jpeg ||"),
              (Filters{"JPEG file(*.jpg)", "JPEG file(*.jepg) (*.jpeg)"}));
    EXPECT_EQ(FileDialogFilters("Pictures|*.jpg;*.png||"), Filters{"Pictures (*.jpg *.png)"});
    EXPECT_EQ(FileDialogFilters(""), Filters{});
    EXPECT_EQ(FileDialogFilters("no patterns||"), Filters{});
}
