#include "recdb/Trace.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

TEST(Trace, KeepsOnlyTheLastMessageTruncatedToTheBuffer)
{
    DBMTrace("debug: first %d.", 1);
    DBMTrace("infor: second %s.", "x");
    EXPECT_STREQ(DBMLastTrace(), "infor: second x.");
    const std::string longText(5000, 'a');
    DBMTrace("%s", longText.c_str());
    EXPECT_EQ(std::string(DBMLastTrace()).size(), kDBMTraceSize - 1);
}

TEST(Trace, EachThreadKeepsItsOwnLastMessage)
{
    DBMTrace("infor: here.");
    std::string there;
    std::thread other([&there] {
        DBMTrace("infor: there %d.", 2);
        there = DBMLastTrace();
    });
    other.join();
    EXPECT_EQ(there, "infor: there 2.");
    EXPECT_STREQ(DBMLastTrace(), "infor: here.");
}
