// The engine object: construction, start of work, new game, release, and
// the game record operations (positions and moves from text, take-back).
#include "search/engine.h"

#include <cstring>

#include "board/bitboard.h"
#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "eval/pawns.h"
#include "eval/psqt.h"
#include "search/tt.h"

Engine::Engine() { boardClear(board); }

Engine::~Engine() {}

// Tables, board stacks, both hash tables and the perft binding.
void Engine::init(u32 sizeMB) {
  // 1-8. Geometry, attack and magic tables.
  initTables();
  // 9. White's piece-square tables.
  mirrorPieceSquareTables();
  // 10. Empty stacks (the counts stay).
  memset(board.undo, 0, sizeof board.undo);
  memset(board.keyHistory, 0, sizeof board.keyHistory);
  // 11. Main table, 12. pawn table.
  hashSizeMB = sizeMB;
  allocateHash(hashSizeMB);
  allocatePawnHash();
  // 13. Perft context.
  perftContext.engine = this;
  perftContext.board = &board;
}

// Start position and fresh game state; options stay as they are.
void Engine::newGame() {
  // 1, 3, 5. Start position with its castling set-up and keys.
  boardSetStart(board);
  // 2. Game and search state.
  ponderMove = MOVE_NONE;
  searchCount = 0;
  lastBestMove = 0;
  searching = 0;
  pondering = 0;
  startClock = 300000;
  limitMode = LimitMoveTime;
  maxDepth = 8;
  capDepth = capNodes = 0;
  iterationLimit = 127;
  pollInterval = POLL_INTERVAL;
  pollCounter = 0;
  movesToGo = 40;
  increment[0] = increment[1] = 0;
  timeBudget = 7500;
  nodeLimit = 2000000;
  moveTime = 5000000;
  startTime = {0, 0};
  budgetOffset = 0;
  gamePly = 0;
  gameMoveCount = 0;
  // 4. Empty transposition table.
  hashTable.age = 0;
  hashClear();
  // 6. History, killers, key history.
  memset(history, 0, sizeof history);
  memset(killers, 0, sizeof killers);
  board.keyCount = 0;
  board.undoCount = 0;
  // 7. Clocks.
  clock[0] = clock[1] = float(startClock);
}

// Shutdown or end of a tool: no pondering, an abort for a running search,
// an empty board and no hash blocks.
void Engine::releaseTables() {
  perftContext.engine = nullptr;
  perftContext.board = nullptr;
  pondering = 0;
  ponderEnabled = 0;
  ponderMove = MOVE_NONE;
  if (searching) stopRequest = StopAbort;
  boardClear(board);
  releaseHash();
  releasePawnHash();
}

// A new position starts a new game record.
bool Engine::setFEN(const char* fen) {
  if (!boardSetFEN(board, fen)) return false;
  gamePly = 0;
  gameMoveCount = 0;
  lastBestMove = 0;
  return true;
}

// Always succeeds; the text is cut to size.
bool Engine::getFEN(char* out, size_t size) {
  boardGetFEN(board, out, size);
  return true;
}

namespace {

// Plays a move built from text if it is legal and records it.
bool playBuiltMove(Engine& e, Move m) {
  engineMakeRoom(e);
  if (!moveIsLegal(e.board, m)) return false;
  makeMove(e.board, m);
  engineRecordMove(e, m, e.gameMoveCount);
  return true;
}

}  // namespace

// One coordinate move; a promotion letter only in a text of exactly five.
bool Engine::playMoveString(const char* text) {
  if (text == nullptr) return false;
  const int length = int(strnlen(text, 64));
  return playBuiltMove(*this, moveFromText(board, text, length, chess960 != 0));
}

// Blank-separated moves; false at the first bad one (earlier ones stay).
bool Engine::playMoveList(const char* text) {
  if (text == nullptr) return false;
  if (*text == ' ') return false;
  const char* p = text;
  while (*p) {
    int length = 0;
    while (p[length] && p[length] != ' ') length++;
    const bool castleWord = p[0] == 'O';
    if (!castleWord && length > 5) return false;
    if (!playBuiltMove(*this, moveFromText(board, p, length, chess960 != 0))) return false;
    p += length;
    while (*p == ' ') p++;
  }
  return true;
}

// The last game move off the board and the record.
bool Engine::takeBack() {
  if (gameMoveCount == 0 || board.undoCount == 0) return false;
  gameMoveCount--;
  gamePly = gameMoveCount;
  unmakeMove(board, board.undo[board.undoCount - 1].move);
  lastBestMove = gameMoveCount > 0 ? gameMoves[gameMoveCount - 1].move : 0;
  return true;
}

// Drops the oldest half of a full game record and trims the board stacks.
void engineMakeRoom(Engine& e) {
  boardMakeRoom(e.board);
  if (e.gameMoveCount + 1 < u32(GAME_MOVES_SIZE) && e.gamePly + 1 < u32(GAME_MOVES_SIZE)) return;
  const u32 drop = GAME_MOVES_SIZE / 2;
  const u32 count = e.gameMoveCount > drop ? e.gameMoveCount - drop : 0;
  memmove(e.gameMoves, e.gameMoves + (e.gameMoveCount - count), count * sizeof(GameMove));
  e.gameMoveCount = count;
  e.gamePly = e.gamePly > drop ? e.gamePly - drop : 0;
}

// The index is kept inside the record.
void engineRecordMove(Engine& e, Move move, u32 index) {
  if (index >= u32(GAME_MOVES_SIZE)) index = GAME_MOVES_SIZE - 1;
  e.gameMoves[index].move = move;
  e.lastBestMove = move;
  e.gamePly = (e.gamePly < e.gameMoveCount ? e.gamePly : e.gameMoveCount) + 1;
  if (e.gameMoveCount < u32(GAME_MOVES_SIZE)) e.gameMoveCount++;
}
