#include "app/toolcommon.h"

#include <sys/time.h>

#include "app/context.h"
#include "protocol/linewriter.h"
#include "search/engine.h"

// Reads one line, bounded, skipping the rest of an overlong line.
bool readToolLine(FILE* file, char* buffer, size_t* kept) {
  size_t length = 0;
  int c = fgetc(file);
  if (c == EOF) {
    buffer[0] = '\0';
    if (kept != nullptr) *kept = 0;
    return false;
  }
  while (c != EOF && c != '\n') {
    if (length < TOOL_LINE_TEXT) buffer[length++] = static_cast<char>(c);
    c = fgetc(file);
  }
  buffer[length++] = '\n';
  buffer[length] = '\0';
  if (kept != nullptr) *kept = length;
  return true;
}

// One character read ahead and given back, so a failing file is known before
// anything is printed.
FILE* openToolFile(const char* fileName) {
  FILE* file = fopen(fileName, "r");
  if (file == nullptr) return nullptr;
  const int c = fgetc(file);
  if (c == EOF && ferror(file)) {
    fclose(file);
    return nullptr;
  }
  if (c != EOF) ungetc(c, file);
  return file;
}

// A read error and the end of the file both end the reading loops; only the
// error flag tells them apart.
bool closeToolFile(FILE* file) {
  const bool whole = !ferror(file);
  fclose(file);
  return whole;
}

// Blanks out control characters and bytes outside 7-bit ASCII in place.
void blankControlCharacters(char* text) {
  for (; *text; ++text) {
    const unsigned char c = static_cast<unsigned char>(*text);
    if (c < 32 || c > 127) *text = ' ';
  }
}

// Current wall-clock time in microseconds.
double wallClockMicroseconds() {
  timeval now;
  gettimeofday(&now, nullptr);
  return static_cast<double>(now.tv_sec) * 1000000.0 + static_cast<double>(now.tv_usec);
}

// count * 1e6 / elapsed, through single precision as the perft speed lines do.
int ratePerSecond(unsigned long long count, double elapsed) {
  if (elapsed <= 0.0) elapsed = 16000.0;
  const double rate = static_cast<double>(count * 1000000ULL) / elapsed;
  const float narrowed = static_cast<float>(rate);
  // Out-of-range conversions to int are undefined; clamp instead.
  if (!(narrowed < 2147483647.0f)) return 2147483647;
  return static_cast<int>(narrowed);
}

// The time and speed lines of a tool.
void printToolTiming(const char* timeLabel, double elapsed, unsigned long long count, const char* unit) {
  char timeText[32];
  formatTime(elapsed, timeText, sizeof(timeText));
  sendLine("%s%s", timeLabel, timeText);
  sendLine("Speed : %d %s/s", ratePerSecond(count, elapsed), unit);
}

// Builds the tables and a fresh game for a tool.
void startToolEngine(MainContext* context, unsigned moveTime) {
  Engine& engine = *context->engine;
  engine.init(context->Hash);
  engine.newGame();
  context->infinite = 0;
  engine.limitMode = LimitMoveTime;
  engine.moveTime = moveTime;
}

// Set-up, tool, release.
bool runListTool(MainContext* context, const char* fileName, ListTool tool) {
  startToolEngine(context);
  const bool opened = tool(*context->engine, fileName);
  context->engine->releaseTables();
  return opened;
}
