#include "recdb/Trace.h"

#include <gtest/gtest.h>

#include <string>

TEST(Trace, KeepsOnlyTheLastMessageTruncatedToTheBuffer)
{
    DBMTrace("debug: first %d.", 1);
    DBMTrace("infor: second %s.", "x");
    EXPECT_STREQ(DBMLastTrace(), "infor: second x.");
    const std::string longText(5000, 'a');
    DBMTrace("%s", longText.c_str());
    EXPECT_EQ(std::string(DBMLastTrace()).size(), kDBMTraceSize - 1);
}
