// Small helpers shared by the root, tree and quiescence searches: draw
// tests, principal-variation lines and the null move.
#pragma once

#include <sys/time.h>

#include "board/types.h"
#include "board/zobrist.h"
#include "search/engine.h"
#include "search/tt.h"

constexpr i32 DRAW_SCORE = 0;
// Deepest ply searched: every per-ply table has MAX_PLY entries and a node
// reads the line of the ply below it.
constexpr i32 MAX_SEARCH_PLY = MAX_PLY - 2;
// Longest line kept in a PVLine.
constexpr i32 MAX_PV_LENGTH = MAX_PLY - 1;
// Window bound beyond any score.
constexpr i32 INFINITE_SCORE = 32001;
// Beyond this a score is a mate for the stop rule and the pruning guards.
constexpr i32 MATE_IN_MAX = 31743;

// Empties a line.
inline void pvLineClear(PVLine& line) {
  line.count = 0;
  line.moves[0].move = MOVE_NONE;
}

// Sets line to move (with its score) followed by child.
inline void pvLineUpdate(PVLine& line, Move move, i32 score, const PVLine& child) {
  i32 n = child.count;
  if (n > MAX_PV_LENGTH - 1) n = MAX_PV_LENGTH - 1;
  if (n < 0) n = 0;
  line.moves[0].move = move;
  line.moves[0].score = score;
  for (i32 i = 0; i < n; i++) line.moves[i + 1] = child.moves[i];
  line.count = n + 1;
}

// True when neither side has a pawn and the pieces cannot mate.
inline bool boardHasInsufficientMaterial(const Board& b) {
  return (b.pieces[BLACK][PAWN] | b.pieces[WHITE][PAWN]) == 0 && b.material[BLACK] + b.material[WHITE] < 326;
}

// True when the position occurred before within the reversible moves.
inline bool boardIsRepetition(const Board& b) {
  int n = (b.halfmove + 1) / 2;
  for (int i = int(b.keyCount) - 2; n > 0 && i >= 0; i -= 2, n--)
    if (b.keyHistory[i] == b.key) return true;
  return false;
}

// True when the side to move has a pawn on its seventh rank.
inline bool boardHasPawnOnSeventh(const Board& b) {
  return (b.pieces[b.side][PAWN] & (b.side == WHITE ? 0x00ff000000000000ull : 0x000000000000ff00ull)) != 0;
}

// True for a pawn move that lands on the seventh rank of either colour.
constexpr bool moveIsPawnToSeventh(Move m) {
  return movePiece(m) == PAWN && (squareRank(moveTo(m)) == 6 || squareRank(moveTo(m)) == 1);
}

// Passes the move: the other side moves next from the same position.
inline void boardMakeNullMove(Board& b) {
  b.keyHistory[b.keyCount++] = b.key;
  UndoRecord& u = b.undo[b.undoCount++];
  u.key = b.key;
  u.pawnKey = b.pawnKey;
  u.move = MOVE_NONE;
  u.castling = b.castling;
  u.epFile = b.epFile;
  u.halfmove = b.halfmove;
  b.halfmove = 0;
  if (b.epFile) {
    b.key ^= epKeys[b.epFile - 1];
    b.epFile = 0;
  }
  int s = b.side;
  b.side = b.opponent;
  b.opponent = s;
  b.key ^= sideKey;
}

// Takes back a null move.
inline void boardUnmakeNullMove(Board& b) {
  b.keyCount--;
  const UndoRecord& u = b.undo[--b.undoCount];
  b.key = u.key;
  b.pawnKey = u.pawnKey;
  b.epFile = u.epFile;
  b.halfmove = u.halfmove;
  int s = b.side;
  b.side = b.opponent;
  b.opponent = s;
}

// Looks the node up in the transposition table: *move gets the stored move
// (0 on a miss); true when the entry is deep enough and its bound cuts the
// window, with the score converted to ply in *score and the entry's age renewed.
inline bool hashProbeNode(u64 key, i32 depth, i32 ply, i32 alpha, i32 beta, Move* move, i32* score) {
  HashEntry* e = hashProbe(key);
  if (!e) {
    *move = MOVE_NONE;
    return false;
  }
  *move = e->move;
  u32 data = e->data;
  if (i32(hashDataDepth(data)) < depth) return false;
  i32 s = hashScoreFromTable(hashDataScore(data), ply);
  u32 bound = hashDataBound(data);
  if (bound == BOUND_EXACT || (bound == BOUND_UPPER && s <= alpha) || (bound == BOUND_LOWER && s >= beta)) {
    e->data = hashDataWithAge(data, hashTable.age);
    *score = s;
    return true;
  }
  return false;
}

// The wall clock now.
inline WallTime wallClockNow() {
  timeval now;
  gettimeofday(&now, nullptr);
  return WallTime{i64(now.tv_sec), i64(now.tv_usec)};
}

// Microseconds from start to now.
inline double elapsedSince(const WallTime& start) {
  WallTime now = wallClockNow();
  return double(now.seconds - start.seconds) * 1000000.0 + double(now.microseconds - start.microseconds);
}
