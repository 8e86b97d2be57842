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
