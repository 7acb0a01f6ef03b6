#include "app/evalsuite.h"

#include <cstdio>
#include <cstring>

#include "app/context.h"
#include "app/toolcommon.h"
#include "eval/eval.h"
#include "protocol/linewriter.h"
#include "search/engine.h"
#include "search/tt.h"

// Evaluates every accepted line; rejected lines are counted silently.
bool evalSuite(Engine& engine, const char* fileName) {
  FILE* file = fopen(fileName, "r");
  if (!file) return false;
  const double start = wallClockMicroseconds();
  char line[TOOL_LINE_SIZE];
  unsigned long long counted = 0;
  while (readToolLine(file, line)) {
    if (strlen(line) < 2) continue;
    // The line end becomes a trailing blank of the printed text.
    blankControlCharacters(line);
    hashClear();
    if (engine.setFEN(line)) printf("%s ; eval %d\n", line, evaluateLazy(engine.board, -32000, 32000));
    counted += 1;
  }
  const double elapsed = wallClockMicroseconds() - start;
  fclose(file);
  char timeText[32];
  formatTime(elapsed, timeText, sizeof(timeText));
  printf("\nTime : %s\n", timeText);
  printf("Speed : %d eval/s\n", ratePerSecond(counted, elapsed));
  return true;
}

// Set-up, suite, release; the tables are released also when the file fails.
bool runEvalSuite(MainContext* context, const char* fileName) {
  startToolEngine(context);
  const bool opened = evalSuite(*context->engine, fileName);
  context->engine->releaseTables();
  return opened;
}
