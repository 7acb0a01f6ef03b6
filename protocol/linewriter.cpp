// The line writer and the clock text.
#include "protocol/linewriter.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "board/types.h"

namespace {

// Hands the bytes to standard output in one write; only a write cut short
// (a signal, a full pipe) needs another for the rest. Output to a closed
// pipe is dropped.
void writeOut(const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t written = write(STDOUT_FILENO, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes += written;
    size -= size_t(written);
  }
}

}  // namespace

// Formats into a stack buffer with room for the newline and writes the line in one call.
void sendLine(const char* format, ...) {
  char buffer[4097];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, 4096, format, args);
  va_end(args);
  // The text ends at its first zero byte, as it did when puts wrote it.
  const size_t length = strlen(buffer);
  buffer[length] = '\n';
  writeOut(buffer, length + 1);
}

void sendText(const char* text) { writeOut(text, strlen(text)); }

// Milliseconds are truncated and taken as an unsigned 32-bit count.
void formatTime(double microseconds, char* out, size_t size) {
  if (out == nullptr || size == 0) return;
  u32 ms = u32(u64(i64(microseconds * 0.001)));
  snprintf(out, size, "%02u:%02u:%02u.%03u", ms / 3600000u, (ms % 3600000u) / 60000u, (ms % 60000u) / 1000u,
           ms % 1000u);
}
