#include "viewmodel/PendingMedia.h"

#include <gtest/gtest.h>

using namespace vmx;

namespace {

std::vector<std::string> Names(const PendingMedia& pending, MediaKind kind)
{
    std::vector<std::string> names;
    for (const PcMediaFile& file : pending.list(kind))
        names.push_back(file.name);
    return names;
}

}  // namespace

TEST(PendingMediaTest, ChosenFilesAreListedByNameWithTheirPaths)
{
    PendingMedia pending;
    pending.replace(MediaKind::Mp3, {"/home/u/Music/a.mp3", "/home/u/b.mp3", "c.mp3"});
    EXPECT_EQ(Names(pending, MediaKind::Mp3), (std::vector<std::string>{"a.mp3", "b.mp3", "c.mp3"}));
    ASSERT_NE(pending.at(MediaKind::Mp3, 1), nullptr);
    EXPECT_EQ(pending.at(MediaKind::Mp3, 1)->path, "/home/u/b.mp3");
    EXPECT_EQ(pending.at(MediaKind::Mp3, 3), nullptr);
    EXPECT_EQ(pending.at(MediaKind::Mp3, -1), nullptr);
    EXPECT_TRUE(pending.list(MediaKind::Image).empty()) << "each kind has its own list";

    pending.replace(MediaKind::Mp3, {"/x/d.mp3"});
    EXPECT_EQ(Names(pending, MediaKind::Mp3), (std::vector<std::string>{"d.mp3"}));
}

TEST(PendingMediaTest, RemovingRowsKeepsTheOthersInOrder)
{
    const struct {
        const char* what;
        std::vector<int> rows;
        std::vector<std::string> left;
    } cases[] = {
        {"two rows", {0, 2}, {"b", "d"}},
        {"rows in any order, twice", {3, 1, 3}, {"a", "c"}},
        {"rows outside the list", {-1, 4, 9}, {"a", "b", "c", "d"}},
        {"every row", {0, 1, 2, 3}, {}},
        {"no row", {}, {"a", "b", "c", "d"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PendingMedia pending;
        pending.replace(MediaKind::Image, {"/p/a", "/p/b", "/p/c", "/p/d"});
        pending.remove(MediaKind::Image, c.rows);
        EXPECT_EQ(Names(pending, MediaKind::Image), c.left);
    }
}

TEST(PendingMediaTest, DroppedFilesOfTheKindJoinTheEndOnce)
{
    PendingMedia pending;
    pending.replace(MediaKind::Mp3, {"/m/a.mp3"});
    EXPECT_EQ(pending.add(MediaKind::Mp3, {"/m/b.MP3", "/m/notes.txt", "/m/a.mp3", "/m/.mp3", "/m/mp3", "/m/c.mp3",
                                           "/m/c.mp3"}),
              2);
    EXPECT_EQ(Names(pending, MediaKind::Mp3), (std::vector<std::string>{"a.mp3", "b.MP3", "c.mp3"}));
    EXPECT_EQ(pending.at(MediaKind::Mp3, 1)->path, "/m/b.MP3");

    EXPECT_EQ(pending.add(MediaKind::Image, {"/p/x.jpg", "/p/y.JPEG", "/p/z.png", "/p/w.mp3"}), 2);
    EXPECT_EQ(Names(pending, MediaKind::Image), (std::vector<std::string>{"x.jpg", "y.JPEG"}));
    EXPECT_EQ(pending.list(MediaKind::Mp3).size(), 3u) << "each kind has its own list";
}
