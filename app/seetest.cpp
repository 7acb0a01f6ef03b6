#include "app/seetest.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/context.h"
#include "app/toolcommon.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/see.h"
#include "protocol/linewriter.h"
#include "search/engine.h"
#include "search/tt.h"

namespace {

// Generates the moves of the position into `ply` and scores each by its exchange value.
void seePosition(const Board& board, SearchPly& ply) {
  const bool inCheck = boardInCheck(board);
  u32 count = 0;
  if (inCheck) {
    count = generateEvasions(board, ply.moves, MAX_MOVES);
  } else {
    count = generateCaptures(board, ply.moves, MAX_MOVES);
    count += generateQuiets(board, ply.moves + count, MAX_MOVES - count);
  }
  ply.count = count;
  for (u32 i = 0; i < count; ++i) ply.moves[i].score = see(board, ply.moves[i].move);
}

}  // namespace

// Sets up every "bm" position of the file and runs the exchange evaluation on its moves.
bool seeTest(Engine& engine, const char* fileName) {
  FILE* file = fopen(fileName, "r");
  if (!file) return false;
  PerftContext& perft = engine.perftContext;
  free(perft.moveBuffer);
  perft.moveBuffer = static_cast<SearchPly*>(calloc(MAX_PLY, sizeof(SearchPly)));
  if (!perft.moveBuffer) {
    fclose(file);
    fprintf(stderr, "out of memory\n");
    return false;
  }
  const double start = wallClockMicroseconds();
  char line[TOOL_LINE_SIZE];
  char fen[TOOL_LINE_SIZE];
  unsigned long long counted = 0;
  while (readToolLine(file, line)) {
    const size_t length = strlen(line);
    if (length < 2) continue;
    for (size_t i = 0; i + 1 < length; ++i) {
      if (line[i] != 'b' || line[i + 1] != 'm') continue;
      memcpy(fen, line, i);
      fen[i] = '\0';
      hashClear();
      if (engine.setFEN(fen)) seePosition(engine.board, perft.moveBuffer[0]);
    }
    counted += 1;
  }
  const double elapsed = wallClockMicroseconds() - start;
  fclose(file);
  char timeText[32];
  formatTime(elapsed, timeText, sizeof(timeText));
  printf("Time = %s\n", timeText);
  printf("Speed : %d SEE/s\n", ratePerSecond(counted, elapsed));
  free(perft.moveBuffer);
  perft.moveBuffer = nullptr;
  return true;
}

// Set-up, test, release; the tables are released also when the file fails.
bool runSeeTest(MainContext* context, const char* fileName) {
  startToolEngine(context);
  const bool opened = seeTest(*context->engine, fileName);
  context->engine->releaseTables();
  return opened;
}
