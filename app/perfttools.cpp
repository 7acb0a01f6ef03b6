// The perft tools: perft, perftd, divide and the perft suite.
#include "app/perfttools.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/toolcommon.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "protocol/linewriter.h"
#include "search/engine.h"
#include "search/tt.h"

namespace {

// Speed as the tools print it: the product unsigned, the quotient in double,
// then single precision, then truncated.
int speedFigure(u64 count, u64 scale, double microseconds) {
  if (microseconds == 0) microseconds = 16000;
  return int(float(double(count * scale) / microseconds));
}

// Replaces the context's move buffer by a fresh zeroed one.
bool allocateMoveBuffer(PerftContext* pc) {
  free(pc->moveBuffer);
  pc->moveBuffer = static_cast<SearchPly*>(calloc(MAX_PLY, sizeof(SearchPly)));
  return pc->moveBuffer != nullptr;
}

// Frees the context's move buffer.
void freeMoveBuffer(PerftContext* pc) {
  free(pc->moveBuffer);
  pc->moveBuffer = nullptr;
}

// Depths the move buffer can serve.
int clampDepth(int depth) { return depth < 1 ? 1 : depth > PERFT_MAX_DEPTH ? PERFT_MAX_DEPTH : depth; }

// The perft context bound to the engine's board.
PerftContext* boundContext(MainContext* ctx) {
  PerftContext* pc = &ctx->engine->perftContext;
  pc->engine = ctx->engine;
  pc->board = &ctx->engine->board;
  return pc;
}

// The time line (format with one %s) and the speed line.
void printTimeAndSpeed(const char* timeFormat, double microseconds, int speed) {
  char timeText[32];
  formatTime(microseconds, timeText, sizeof timeText);
  sendLine(timeFormat, timeText);
  sendLine("Speed = %d", speed);
}

// Runs counter on a fresh move buffer with every count zeroed; the buffer is
// allocated before the clock starts. The time taken goes to *us; false when
// out of memory.
bool timedCount(PerftContext* pc, int depth, void (*counter)(PerftContext*, int), double* us) {
  if (!allocateMoveBuffer(pc)) {
    fputs("out of memory\n", stderr);
    return false;
  }
  const double start = wallClockMicroseconds();
  pc->nodes = pc->captures = pc->enPassant = pc->promotions = pc->castles = pc->checks = pc->mates = 0;
  counter(pc, depth);
  *us = wallClockMicroseconds() - start;
  freeMoveBuffer(pc);
  sendLine("Depth %d", depth);
  sendLine("Nodes = %llu", (unsigned long long)pc->nodes);
  return true;
}

}  // namespace

// Speed in nodes per second.
bool perft(MainContext* ctx, int depth) {
  PerftContext* pc = boundContext(ctx);
  double us = 0;
  if (!timedCount(pc, clampDepth(depth), perftCount, &us)) return false;
  printTimeAndSpeed("Time = %s", us, speedFigure(pc->nodes, 1000000, us));
  return true;
}

// Speed in thousands of nodes per second.
bool perftd(MainContext* ctx, int depth) {
  PerftContext* pc = boundContext(ctx);
  double us = 0;
  if (!timedCount(pc, clampDepth(depth), perftdCount, &us)) return false;
  sendLine("Nodes captures = %llu", (unsigned long long)pc->captures);
  sendLine("Nodes e.p = %llu", (unsigned long long)pc->enPassant);
  sendLine("Nodes check = %llu", (unsigned long long)pc->checks);
  sendLine("Nodes mate = %llu", (unsigned long long)pc->mates);
  sendLine("Nodes promotion = %llu", (unsigned long long)pc->promotions);
  sendLine("Nodes castle = %llu", (unsigned long long)pc->castles);
  printTimeAndSpeed("Time = %s", us, speedFigure(pc->nodes, 1000, us));
  return true;
}

// The allocations are inside the timed span.
bool divide(MainContext* ctx, int depth) {
  PerftContext* pc = boundContext(ctx);
  Board& b = *pc->board;
  depth = clampDepth(depth);
  // 1. Clock, 2. buffers.
  const double start = wallClockMicroseconds();
  free(pc->rootEntries);
  pc->rootEntries = static_cast<DivideEntry*>(calloc(MAX_MOVES, sizeof(DivideEntry)));
  if (pc->rootEntries == nullptr || !allocateMoveBuffer(pc)) {
    free(pc->rootEntries);
    pc->rootEntries = nullptr;
    fputs("out of memory\n", stderr);
    return false;
  }
  // 3. Root moves, 4. one entry per legal move.
  MoveSlot* list = pc->moveBuffer[depth].moves;
  const u32 n = generateMoves(b, list, boardInCheck(b));
  u32 count = 0;
  for (u32 i = 0; i < n; i++) {
    const Move m = list[i].move;
    makeMove(b, m);
    if (!isSquareAttacked(b, b.kingSquare[b.opponent], b.side)) {
      DivideEntry& entry = pc->rootEntries[count++];
      entry.count = depth < 2 ? 1 : divideCount(pc, depth - 1);
      moveToText(list[i], entry.text);
    }
    unmakeMove(b, m);
  }
  // 5. Stop the clock, 6. print.
  pc->rootCount = count;
  const double us = wallClockMicroseconds() - start;
  u64 total = 0;
  for (u32 i = 0; i < count; i++) {
    sendLine("%10s : %16llu", pc->rootEntries[i].text, (unsigned long long)pc->rootEntries[i].count);
    total += pc->rootEntries[i].count;
  }
  sendLine("%s", "");
  sendLine("     total : %16llu", (unsigned long long)total);
  sendLine("%s", "");
  printTimeAndSpeed("Time = %s", us, speedFigure(total, 1000000, us));
  // 7. Release.
  freeMoveBuffer(pc);
  free(pc->rootEntries);
  pc->rootEntries = nullptr;
  return true;
}

namespace {

constexpr int SUITE_FIELDS = 16;
constexpr int FIELD_SIZE = 256;

// Collects the ";D<depth> <count>" fields of a line, at most 16.
int collectDepthFields(const char* line, char fields[SUITE_FIELDS][FIELD_SIZE]) {
  int count = 0, state = 0, length = 0;
  char* field = nullptr;
  const size_t lineLength = strlen(line);
  auto store = [&](char ch) {
    if (field != nullptr && length < FIELD_SIZE - 1) field[length++] = ch, field[length] = '\0';
  };
  auto finish = [&]() {
    if (field != nullptr) count++;
    field = nullptr;
    length = 0;
  };
  for (size_t i = 0; i < lineLength; i++) {
    const char c = line[i];
    const bool digit = c >= '0' && c <= '9';
    switch (state) {
      case 0:
        if (c == ';') state = 1;
        break;
      case 1:
        if (c == 'D' || c == 'd') {
          field = count < SUITE_FIELDS ? fields[count] : nullptr;
          if (field != nullptr) field[0] = '\0';
          length = 0;
          store(c);
          state = 2;
        }
        break;
      case 2:
        if (digit) store(c);
        if (c == ' ') store(c), state = 3;
        break;
      case 3:
        if (digit) store(c);
        if (c == ' ' || c == ';') {
          finish();
          state = c == ';' ? 1 : 0;
        } else if (i + 1 == lineLength) {
          finish();
          state = 0;
        }
        break;
    }
  }
  if (state == 3) finish();
  return count < SUITE_FIELDS ? count : SUITE_FIELDS;
}

// True when a field names the depth and its count equals `nodes`.
bool fieldMatches(const char* field, int depth, u64 nodes) {
  const char* p = field + 1;
  int fieldDepth = 0;
  // Digits beyond any depth are read but no longer added: a long number
  // must not overflow, and it names no depth anyway.
  while (*p >= '0' && *p <= '9') {
    if (fieldDepth < 100000) fieldDepth = fieldDepth * 10 + (*p - '0');
    ++p;
  }
  if (fieldDepth != depth || *p != ' ') return false;
  char text[32];
  snprintf(text, sizeof text, "%llu", (unsigned long long)nodes);
  return strcmp(p + 1, text) == 0;
}

}  // namespace

// Lines of up to 255 characters; every non-empty line is scored. Running
// out of memory fails the whole run: a score of the lines before it would
// pass for the suite's.
bool perftSuite(PerftContext* pc, const char* fileName, int depth) {
  FILE* file = openToolFile(fileName);
  if (file == nullptr) return false;
  depth = clampDepth(depth);
  Engine* engine = pc->engine;
  int passed = 0, total = 0;
  char line[TOOL_LINE_SIZE];
  static char fields[SUITE_FIELDS][FIELD_SIZE];
  size_t length = 0;
  // The rest of an overlong line is skipped, not read as a line of its own.
  while (readToolLine(file, line, &length)) {
    // 1. Empty lines are skipped.
    if (length <= 1) continue;
    // 2. Control characters and bytes above 127 become blanks.
    for (size_t i = 0; i < length; i++)
      if ((unsigned char)line[i] < 32 || (unsigned char)line[i] > 127) line[i] = ' ';
    // 3. Depth fields.
    const int fieldCount = collectDepthFields(line, fields);
    // 4. Position, 5. count. A refused FEN fails its line: counting the
    //    position the line before left could pass a line that is no position.
    hashClear();
    if (!engine->setFEN(line)) {
      total++;
      continue;
    }
    if (!allocateMoveBuffer(pc)) {
      fclose(file);
      fputs("out of memory\n", stderr);
      return false;
    }
    pc->nodes = 0;
    perftCount(pc, depth);
    freeMoveBuffer(pc);
    // 6. Compare with the field of the same depth.
    for (int i = 0; i < fieldCount; i++) {
      if (fieldMatches(fields[i], depth, pc->nodes)) {
        passed++;
        break;
      }
    }
    // 7. Every line counts.
    total++;
  }
  if (!closeToolFile(file)) return false;
  sendLine("score = %d / %d", passed, total);
  return true;
}

// A negative depth means 5.
bool runPerftSuite(MainContext* ctx, const char* fileName, int depth) {
  if (depth < 0) depth = 5;
  startToolEngine(ctx);
  const bool ok = perftSuite(&ctx->engine->perftContext, fileName, depth);
  ctx->engine->releaseTables();
  return ok;
}
