// The line writer of all protocol and tool output, and the clock text.
#pragma once

#include <cstddef>

// Formats one line (at most 4095 characters, longer text is cut) and writes
// it with its newline in one write to standard output, so that a reader
// never sees half a line (and stdio buffering plays no part).
void sendLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes text exactly as given (its own newlines included) in one write to
// standard output; for the few texts that do not end in one newline.
void sendText(const char* text);

// Writes a duration in microseconds as "%02u:%02u:%02u.%03u" (hours not
// limited); 16 bytes always suffice.
void formatTime(double microseconds, char* out, size_t size = 16);
