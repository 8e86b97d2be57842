#include "viewmodel/CutList.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace vmx;

namespace {

using Pairs = std::vector<std::pair<double, double>>;

Pairs PairsOf(const CutList& list)
{
    Pairs pairs;
    for (const CutStretch& stretch : list.stretches())
        pairs.emplace_back(stretch.start, stretch.end);
    return pairs;
}

}  // namespace

// Stretches added in any order come out sorted; overlapping or touching ones merge; a stretch of
// no length is refused; removing takes one stretch off (an index past the end changes nothing).
TEST(CutListTest, AddMergeRemove)
{
    const struct {
        const char* name;
        Pairs added;
        std::vector<std::size_t> removed;
        Pairs expected;
    } cases[] = {
        {"sorted", {{30, 40}, {10, 20}}, {}, {{10, 20}, {30, 40}}},
        {"marks in either order", {{20, 10}}, {}, {{10, 20}}},
        {"overlap merges", {{10, 20}, {15, 30}}, {}, {{10, 30}}},
        {"touching merges", {{10, 20}, {20, 25}}, {}, {{10, 25}}},
        {"one bridges two", {{10, 20}, {30, 40}, {50, 60}, {18, 32}}, {}, {{10, 40}, {50, 60}}},
        {"inside another", {{10, 40}, {20, 30}}, {}, {{10, 40}}},
        {"no length", {{10, 10}}, {}, {}},
        {"remove", {{10, 20}, {30, 40}, {50, 60}}, {1}, {{10, 20}, {50, 60}}},
        {"remove past the end", {{10, 20}}, {3}, {{10, 20}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CutList list;
        for (const auto& [from, to] : c.added)
            EXPECT_EQ(list.add(from, to), from != to);
        for (const std::size_t index : c.removed)
            list.remove(index);
        EXPECT_EQ(PairsOf(list), c.expected);
    }
    EXPECT_EQ(CutStretchText({12.34, 80}), "0:12.3 \u2013 1:20.0");
    EXPECT_EQ(CutStretchText({59.96, 3700}), "0:01:00.0 \u2013 1:01:40.0");
}

// Proposals stay proposals only while nothing the user marked or moved touches them; they go to
// an EDL file as commercial breaks and the user's stretches as cuts, and come back the same, cut
// to the recording's length.
TEST(CutListTest, ProposalsMovesAndEdlFiles)
{
    CutList list;
    list.propose({{10, 20, 0.9}, {40, 50, 0.7}, {60, 70, 0.8}});
    list.propose({{18, 25, 0.6}});  // meets the first: still a proposal, scored as the surer one
    ASSERT_EQ(list.size(), 3u);
    EXPECT_TRUE(list.entries()[0].proposed);
    EXPECT_EQ(list.entries()[0].end, 25);
    EXPECT_EQ(list.entries()[0].score, 0.9);
    EXPECT_EQ(ListedStretchText(list.entries()[0]), "0:10.0 \u2013 0:25.0  advertising? 90 %");
    EXPECT_TRUE(list.add(45, 48));  // a marked stretch inside the second takes it over
    EXPECT_FALSE(list.entries()[1].proposed);
    EXPECT_EQ(list.move(2, 59, 75), 2);  // moved, the third is the user's
    EXPECT_FALSE(list.entries()[2].proposed);
    EXPECT_EQ(list.move(2, 5, 12), 0);  // moved onto the first, they are one
    EXPECT_EQ(list.size(), 2u);
    EXPECT_FALSE(list.entries()[0].proposed);
    EXPECT_EQ(list.move(7, 1, 2), -1);
    EXPECT_EQ(list.move(0, 3, 3), -1);
    EXPECT_EQ(PairsOf(list), (Pairs{{5, 25}, {40, 50}}));

    list.clear();
    list.propose({{10, 20, 0.9}});
    list.add(30, 40);
    const std::vector<EdlEntry> edl = list.edl();
    ASSERT_EQ(edl.size(), 2u);
    EXPECT_EQ(edl[0].action, EdlEntry::kEdlCommercial);
    EXPECT_EQ(edl[1].action, 0);
    CutList loaded;
    EXPECT_EQ(loaded.load({edl[0], edl[1], {35, 90, 0}, {95, 99, 3}}, 80), 3u);
    EXPECT_EQ(PairsOf(loaded), (Pairs{{10, 20}, {30, 80}}));
    EXPECT_TRUE(loaded.entries()[0].proposed);
    EXPECT_FALSE(loaded.entries()[1].proposed);
    EXPECT_EQ(ListedStretchText(loaded.entries()[0]), "0:10.0 \u2013 0:20.0  advertising?");
}
