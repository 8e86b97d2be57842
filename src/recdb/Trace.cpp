#include "recdb/Trace.h"

#include <cstdarg>
#include <cstdio>

namespace {
// One buffer per thread: an operation that runs on a worker thread reads back its own message,
// never half of one that another thread is formatting.
thread_local char g_lastMessage[kDBMTraceSize];
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
