// The line writer and the clock text.
#include "protocol/linewriter.h"

#include <cstdarg>
#include <cstdio>

#include "board/types.h"

// Formats into a stack buffer and writes the line in one call.
void sendLine(const char* format, ...) {
  char buffer[4096];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  puts(buffer);
}

// Milliseconds are truncated and taken as an unsigned 32-bit count.
void formatTime(double microseconds, char* out, size_t size) {
  if (out == nullptr || size == 0) return;
  u32 ms = u32(u64(i64(microseconds * 0.001)));
  snprintf(out, size, "%02u:%02u:%02u.%03u", ms / 3600000u, (ms % 3600000u) / 60000u, (ms % 60000u) / 1000u,
           ms % 1000u);
}
