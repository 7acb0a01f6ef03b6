#include "app/evalsuite.h"

#include <cstdio>
#include <cstring>

#include "app/toolcommon.h"
#include "eval/eval.h"
#include "protocol/linewriter.h"
#include "search/engine.h"
#include "search/tt.h"

// Evaluates every accepted line; rejected lines are counted silently.
bool evalSuite(Engine& engine, const char* fileName) {
  FILE* file = openToolFile(fileName);
  if (!file) return false;
  const double start = wallClockMicroseconds();
  char line[TOOL_LINE_SIZE];
  unsigned long long counted = 0;
  while (readToolLine(file, line)) {
    if (strlen(line) < 2) continue;
    // The line end becomes a trailing blank of the printed text.
    blankControlCharacters(line);
    hashClear();
    if (engine.setFEN(line)) sendLine("%s ; eval %d", line, evaluateLazy(engine.board, -32000, 32000));
    counted += 1;
  }
  const double elapsed = wallClockMicroseconds() - start;
  if (!closeToolFile(file)) return false;
  sendLine("%s", "");
  printToolTiming("Time : ", elapsed, counted, "eval");
  return true;
}
