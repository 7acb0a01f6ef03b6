#include "app/seetest.h"

#include <cstdio>
#include <cstring>

#include "app/toolcommon.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/see.h"
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
  FILE* file = openToolFile(fileName);
  if (!file) return false;
  static SearchPly ply;
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
      if (engine.setFEN(fen)) seePosition(engine.board, ply);
    }
    counted += 1;
  }
  const double elapsed = wallClockMicroseconds() - start;
  if (!closeToolFile(file)) return false;
  printToolTiming("Time = ", elapsed, counted, "SEE");
  return true;
}
