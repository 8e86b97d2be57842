#pragma once

#include <cstddef>

// The recording database module's diagnostics: every text is formatted into one last-message
// buffer of kDBMTraceSize bytes and goes nowhere else. Each thread has a buffer of its own.
inline constexpr std::size_t kDBMTraceSize = 2048;

void DBMTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The last message DBMTrace formatted on this thread (empty before the first one).
const char* DBMLastTrace();
