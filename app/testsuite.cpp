#include "app/testsuite.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/context.h"
#include "app/san.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "protocol/linewriter.h"
#include "search/engine.h"
#include "search/tt.h"

namespace {

// True at the end of the line's text (its terminator or line end).
bool atLineEnd(char c) { return c == '\0' || c == '\n' || c == '\r'; }

// Copies line[from..] up to (not including) a `stop` character or the line
// end into `out`; returns the index where the copy stopped.
int copyUntil(const char* line, int from, char stop, char* out) {
  size_t length = 0;
  int i = from;
  while (!atLineEnd(line[i]) && line[i] != stop) {
    if (length + 1 < TOOL_LINE_SIZE) out[length++] = line[i];
    ++i;
  }
  out[length] = '\0';
  return i;
}

// Index just past the line's text, before its line end.
int lineTextEnd(const char* line) {
  int i = 0;
  while (!atLineEnd(line[i])) ++i;
  return i;
}

// Copies `text` into `out` (`size` bytes) without check and mate marks.
void copyWithoutMarks(const char* text, char* out, size_t size) {
  size_t length = 0;
  for (; *text && length + 1 < size; ++text)
    if (*text != '+' && *text != '#') out[length++] = *text;
  out[length] = '\0';
}

}  // namespace

// Substring test of the played move's texts against the field's moves. Files
// differ in how they mark checks and mates (or whether they do), so the
// marks take no part in it.
bool epdFieldAccepts(const EpdField& field, const char* markedSan, const char* markedLongText) {
  char moves[TOOL_LINE_SIZE], san[TOOL_LINE_SIZE], longText[TOOL_LINE_SIZE];
  copyWithoutMarks(field.moves, moves, sizeof(moves));
  copyWithoutMarks(markedSan, san, sizeof(san));
  copyWithoutMarks(markedLongText, longText, sizeof(longText));
  bool named = strstr(moves, san) != nullptr || (longText[0] && strstr(moves, longText) != nullptr);
  // EPD files write an en-passant capture as a plain capture (exd6), without "e.p".
  const char* ep = strstr(san, "e.p");
  if (!named && ep) {
    char plain[TOOL_LINE_SIZE];
    snprintf(plain, sizeof(plain), "%.*s%s", static_cast<int>(ep - san), san, ep + 3);
    named = strstr(moves, plain) != nullptr;
  }
  return field.avoid ? !named : named;
}

// Locates "bm"/"am" and cuts the FEN, the move list and the identifier out of the line.
bool findEpdField(const char* line, int start, EpdField* field) {
  const int end = lineTextEnd(line);
  // 1. The field name: "a" or "b" followed by "m" within the line's text. A
  //    name found past a carriage return would have no text of its own and
  //    the next scan would find it again and again.
  int at = -1;
  for (int i = start; i >= 0 && i + 1 < end; ++i) {
    if ((line[i] == 'a' || line[i] == 'b') && line[i + 1] == 'm') {
      at = i;
      break;
    }
  }
  if (at < 0) return false;
  field->avoid = line[at] == 'a';

  // 2. The FEN is everything before the name.
  const int fenLength = at < static_cast<int>(TOOL_LINE_SIZE) - 1 ? at : static_cast<int>(TOOL_LINE_SIZE) - 1;
  memcpy(field->fen, line, static_cast<size_t>(fenLength));
  field->fen[fenLength] = '\0';

  // 3. The moves start three characters after the name, unless the line ends before.
  int i = at + 3 <= end ? at + 3 : end;
  i = copyUntil(line, i, ';', field->moves);
  for (char* c = field->moves; *c; ++c) {
    if (*c == '0') *c = 'O';
  }

  // 4. The identifier starts six characters after the ";" ("; id \"").
  field->id[0] = '\0';
  if (line[i] != ';') {
    field->next = i;
    return true;
  }
  i = i + 6 <= end ? i + 6 : end;
  i = copyUntil(line, i, '"', field->id);
  field->next = line[i] == '"' ? i + 1 : i;
  return true;
}

namespace {

// Running totals of one suite.
struct SuiteTotals {
  int counted = 0;
  int good = 0;
  u64 nodes = 0;
  u32 minDepth = 1024;
  u32 maxDepth = 0;
  u32 depthSum = 0;
  u32 searched = 0;
  std::vector<std::array<char, TOOL_LINE_SIZE>> failed;
};

// Keeps a copy of the line for the report of bad results.
void addFailed(SuiteTotals& totals, const char* line) {
  std::array<char, TOOL_LINE_SIZE> copy;
  snprintf(copy.data(), copy.size(), "%s", line);
  totals.failed.push_back(copy);
}

// The legal moves of the position, for telling twin pieces apart in SAN.
u32 legalMoves(Board& board, const MoveSlot* moves, u32 count, MoveSlot* legal) {
  u32 n = 0;
  for (u32 i = 0; i < count; ++i) {
    makeMove(board, moves[i].move);
    if (!isSquareAttacked(board, board.kingSquare[board.opponent], board.side)) legal[n++] = moves[i];
    unmakeMove(board, moves[i].move);
  }
  return n;
}

// The played move with its check or mate mark, read from the position after it.
Move markedMove(Board& board, Move move) {
  if (!boardInCheck(board)) return move;
  return move | (countLegalMoves(board) == 0 ? MOVE_MARK_MATE : MOVE_MARK_CHECK);
}

// Sets up, searches and scores one field of a line.
void runField(Engine& engine, const EpdField& field, const char* line, SuiteTotals& totals) {
  // 1. The position.
  hashClear();
  if (!engine.setFEN(field.fen)) {
    sendLine("ERROR : bad FEN !");
    addFailed(totals, line);
    return;
  }
  Board& board = engine.board;
  MoveSlot moves[MAX_MOVES];
  const u32 count = generateMoves(board, moves, boardInCheck(board));
  if (count == 0) {
    sendText("no result !");  // no line end: the next text follows on this line
    addFailed(totals, line);
    return;
  }
  MoveSlot legal[MAX_MOVES];
  const u32 legalCount = legalMoves(board, moves, count, legal);

  // 2. The search, with the limits runTestSuite set.
  engine.pondering = 0;
  engine.searching = 1;
  engine.searchRoot();
  // Without a legal move the search returns at once and leaves the flag to us.
  engine.searching = 0;
  if (engine.gamePly == 0) {
    sendLine("no result !");
    addFailed(totals, line);
    return;
  }

  // 3. Score the played move by its SAN text, else its long text.
  GameMove& played = engine.gameMoves[engine.gamePly - 1];
  totals.nodes += engine.nodes;
  const MoveSlot slot = {markedMove(board, played.move), 0};
  char san[SAN_BUFFER_SIZE];
  moveToSan(slot.move, legal, legalCount, san);
  // The record keeps what fits of the text; the printout and the test use all of it.
  const size_t kept = strnlen(san, sizeof(played.san) - 1);
  memcpy(played.san, san, kept);
  played.san[kept] = '\0';
  char longText[16];
  moveToText(slot, longText);
  const bool good = epdFieldAccepts(field, san, longText);
  if (good) {
    sendLine("result => '%s' : ok", san);
    totals.good += 1;
  } else {
    sendLine("result => '%s' : bad", san);
    addFailed(totals, line);
  }

  // 4. Depth statistics.
  const u32 depth = engine.depthReached;
  totals.depthSum += depth;
  totals.searched += 1;
  if (depth < totals.minDepth) totals.minDepth = depth;
  if (depth > totals.maxDepth) totals.maxDepth = depth;
}

// Prints the closing report.
void printReport(const SuiteTotals& totals, double elapsed) {
  char timeText[32];
  formatTime(elapsed, timeText, sizeof(timeText));
  sendLine("%s", "");
  sendLine("Time : %s", timeText);
  sendLine("%s", "");
  sendLine("Total nodes = %8llu, Speed %d", static_cast<unsigned long long>(totals.nodes),
           ratePerSecond(totals.nodes, elapsed));
  // An empty suite has no depths: print zeros rather than 1024 or a division by zero.
  const u32 minDepth = totals.searched ? totals.minDepth : 0;
  const u32 average = totals.counted ? totals.depthSum / static_cast<u32>(totals.counted) : 0;
  sendLine("%s", "");
  sendLine("Depth min = %u, max = %u, average = %u", minDepth, totals.maxDepth, average);
  sendLine("%s", "");
  sendLine("Score = %d / %d", totals.good, totals.counted);
  sendLine("%s", "");
  sendLine("Bad results : ");
  // Each kept line ends in its own newline.
  for (const auto& failed : totals.failed) sendText(failed.data());
}

}  // namespace

// Reads the suite line by line, searching every best-move and avoid-move field.
bool testSuite(PerftContext* context, const char* fileName) {
  FILE* file = openToolFile(fileName);
  if (!file) return false;
  Engine& engine = *context->engine;
  engine.testSuiteMode = 1;
  sendLine("Tarvok version %s", "1.8");
  sendLine("%s", "");
  sendLine("Test suite : %s", fileName);
  sendLine("%s", "");
  const double start = wallClockMicroseconds();

  SuiteTotals totals;
  char line[TOOL_LINE_SIZE];
  EpdField field;
  while (readToolLine(file, line)) {
    if (strlen(line) < 2) continue;
    int scan = 0;
    while (findEpdField(line, scan, &field)) {
      sendLine("-------------------------------------------------------------------------------");
      sendLine(field.avoid ? "%s am %s; id %s;" : "%s bm %s; id %s;", field.fen, field.moves, field.id);
      sendLine("%s", "");
      runField(engine, field, line, totals);
      scan = field.next;
    }
    totals.counted += 1;
  }

  const double elapsed = wallClockMicroseconds() - start;
  const bool whole = closeToolFile(file);
  if (whole) printReport(totals, elapsed);
  engine.testSuiteMode = 0;
  return whole;
}

// Prepares the engine for fixed time per position and runs the suite.
bool runTestSuite(MainContext* context, const char* fileName, float seconds) {
  if (!(seconds >= 0.0f)) seconds = 5.0f;
  // The time is kept in microseconds in 32 bits: about 35 minutes at most.
  if (seconds > 2147.0f) seconds = 2147.0f;
  startToolEngine(context, static_cast<u32>(static_cast<int>(seconds * 1000000.0f)));
  Engine& engine = *context->engine;
  const bool opened = testSuite(&engine.perftContext, fileName);
  engine.releaseTables();
  return opened;
}
