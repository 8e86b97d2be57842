// The blocks of advertising proposed from measured signals, and the EDL files they travel in.
#include "recording/AdStretches.h"
#include "recording/EdlFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

using vmx::AdSettings;
using vmx::AdSignals;
using vmx::EdlEntry;
using vmx::TimeSpan;

namespace {

using Spans = std::vector<std::pair<double, double>>;

// A recording of `duration` seconds whose pictures turn black and sound falls silent for half a
// second around each of `at`.
AdSignals Separated(double duration, const std::vector<double>& at)
{
    AdSignals s;
    s.duration = duration;
    for (const double t : at) {
        s.black.push_back({t - 0.25, t + 0.25});
        s.silence.push_back({t - 0.3, t + 0.2});
    }
    return s;
}

// Adds a logo looked at twice a second that is gone during `gaps`.
AdSignals WithLogo(AdSignals s, const Spans& gaps)
{
    s.logoFound = true;
    for (double t = 0; t <= s.duration; t += 0.5) {
        bool gone = false;
        for (const auto& [from, to] : gaps)
            gone = gone || (t >= from && t < to);
        s.logo.push_back({t, !gone});
    }
    return s;
}

}  // namespace

TEST(AdStretchesTest, SignalsBecomeBlocks)
{
    AdSignals silentOnly = Separated(120, {30, 50});
    silentOnly.black.clear();
    AdSignals noAudio = Separated(120, {30, 50});
    noAudio.hasAudio = false;
    noAudio.silence.clear();
    AdSignals formats;
    formats.duration = 120;
    formats.formats = {{0, "1.78 / mp2 2ch 48000"}, {40, "1.33 / mp2 2ch 48000"}, {60, "1.78 / mp2 2ch 48000"}};
    AdSignals logoStays = WithLogo(Separated(300, {30, 50}), {{200, 240}});
    AdSignals flicker = WithLogo(Separated(120, {}), {{40, 60}});
    flicker.logo[90].present = true;  // a spot's own corner picture for one look
    AdSettings longer;
    longer.minBlock = 25;
    struct Case {
        const char* name;
        AdSignals signals;
        AdSettings settings;
        Spans expected;
    } cases[] = {
        {"two separators frame a block", Separated(120, {30, 50}), {}, {{30, 50}}},
        {"separators of spots chain into one block", Separated(400, {100, 130, 145, 175}), {}, {{100, 175}}},
        {"a lone separator is programme", Separated(120, {30}), {}, {}},
        {"silence without black separates nothing", silentOnly, {}, {}},
        {"without sound black alone separates", noAudio, {}, {{30, 50}}},
        {"a block shorter than the least is dropped", Separated(120, {30, 38}), {}, {}},
        {"the least block is a setting", Separated(120, {30, 50}), longer, {}},
        {"the logo gone is a block", WithLogo(Separated(120, {}), {{40, 60}}), {}, {{40, 60}}},
        {"one look with the logo inside a block is ignored", flicker, {}, {{40, 60}}},
        {"its ends move to separators close by", WithLogo(Separated(120, {38.5, 62}), {{40, 60}}), {}, {{38.5, 62}}},
        {"separators while the logo shows are programme", logoStays, {}, {{200, 240}}},
        {"the logo parts separators into blocks", WithLogo(Separated(300, {30, 50, 110, 130}), {{30, 50}, {110, 130}}), {},
         {{30, 50}, {110, 130}}},
        {"a block longer than the most is dropped", WithLogo(Separated(1000, {}), {{100, 750}}), {}, {}},
        {"blocks with little programme between are one", WithLogo(Separated(200, {}), {{30, 45}, {55, 70}}), {}, {{30, 70}}},
        {"blocks with enough programme between stay two", WithLogo(Separated(200, {}), {{30, 45}, {70, 85}}), {}, {{30, 45}, {70, 85}}},
        {"another picture shape is a block", formats, {}, {{40, 60}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<vmx::AdStretch> got = vmx::ProposeAdStretches(c.signals, c.settings);
        ASSERT_EQ(got.size(), c.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_NEAR(got[i].start, c.expected[i].first, 0.5);
            EXPECT_NEAR(got[i].end, c.expected[i].second, 0.5);
            EXPECT_GE(got[i].score, 0.5);
            EXPECT_LE(got[i].score, 1.0);
        }
    }
}

TEST(AdStretchesTest, EdlTextsReadAsOtherToolsWriteThem)
{
    struct Case {
        const char* name;
        const char* text;
        std::vector<EdlEntry> expected;
        const char* error;  // the start of the error, or empty
    } cases[] = {
        {"three columns", "10.5 20 3\n30 40.25 0\n", {{10.5, 20, 3}, {30, 40.25, 0}}, ""},
        {"two columns, tabs, CRLF, no last newline", "1\t2\r\n3 4", {{1, 2, 0}, {3, 4, 0}}, ""},
        {"comments, blank lines, byte order mark", "\xEF\xBB\xBF# made by hand\n\n  \n5 6 3 # the first block\n",
         {{5, 6, 3}}, ""},
        {"empty", "", {}, ""},
        {"garbage", "1 2 3\nhello world\n", {}, "line 2: \"hello\" is not a number of seconds."},
        {"one column", "1 2 3\n\n7\n", {}, "line 3: expected START END [ACTION], found \"7\" alone."},
        {"four columns", "1 2 3 4\n", {}, "line 1: expected START END [ACTION], found 4 fields."},
        {"end before start", "20 10 3\n", {}, "line 1: the end 10 does not lie after the start 20."},
        {"empty stretch", "10 10 3\n", {}, "line 1: the end 10 does not lie after the start 10."},
        {"negative", "-1 10 3\n", {}, "line 1: the time -1 is negative."},
        {"not a number", "nan 10 3\n", {}, "line 1: \"nan\" is not a number of seconds."},
        {"infinite", "1 inf 3\n", {}, "line 1: \"inf\" is not a number of seconds."},
        {"a decimal comma", "1,5 3 3\n", {}, "line 1: \"1,5\" is not a number of seconds."},
        {"a bad action", "1 2 x\n", {}, "line 1: the action \"x\" is not a whole number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const vmx::EdlParse parse = vmx::ParseEdl(c.text);
        EXPECT_EQ(parse.error.substr(0, std::string(c.error).size()), c.error);
        EXPECT_EQ(parse.error.empty(), std::string(c.error).empty());
        ASSERT_EQ(parse.entries.size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(parse.entries[i].start, c.expected[i].start);
            EXPECT_EQ(parse.entries[i].end, c.expected[i].end);
            EXPECT_EQ(parse.entries[i].action, c.expected[i].action);
        }
    }
    // What is written reads back, to the millisecond.
    const std::vector<EdlEntry> written = {{12.3456, 40.5, 3}, {3600.25, 3620, 0}};
    const std::string text = vmx::FormatEdl(written);
    EXPECT_EQ(text, "12.346 40.500 3\n3600.250 3620.000 0\n");
    const vmx::EdlParse back = vmx::ParseEdl(text);
    ASSERT_EQ(back.entries.size(), 2u);
    EXPECT_NEAR(back.entries[0].start, 12.3456, 0.0005);
    EXPECT_EQ(back.entries[1].end, 3620);
}
