#include "recdb/Trace.h"

#include <cstdarg>
#include <cstdio>

namespace {
char g_lastMessage[kDBMTraceSize];
}

void DBMTrace(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_lastMessage, sizeof g_lastMessage, format, args);
    va_end(args);
}

const char* DBMLastTrace()
{
    return g_lastMessage;
}
