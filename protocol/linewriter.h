// The line writer of all protocol and tool output, and the clock text.
#pragma once

#include <cstddef>

// Formats one line (at most 4095 characters, longer text is cut) and writes
// it with a newline in one call.
void sendLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes a duration in microseconds as "%02u:%02u:%02u.%03u" (hours not
// limited); 16 bytes always suffice.
void formatTime(double microseconds, char* out, size_t size = 16);
