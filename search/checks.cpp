// Quiet checking moves: discovered checks by a piece leaving the line of an
// own slider, direct checks by pieces and pawn pushes. No captures,
// promotions, castling or en-passant moves.
#include "search/checks.h"

#include "board/bitboard.h"

namespace {

// Bounded writer into a move list.
struct MoveSink {
  MoveSlot* list;
  u32 count;
  u32 capacity;
  void add(Move m) {
    if (count < capacity) list[count++].move = m;
  }
};

// Writes one move from `from` to every square of targets.
inline void addTargets(MoveSink& out, int from, int piece, u64 targets) {
  while (targets) out.add(makeMoveValue(from, popLsb(targets), piece));
}

}  // namespace

// Writes the quiet checking moves of the side to move; returns their number.
u32 generateQuietChecks(const Board& b, MoveSlot* list, u32 capacity) {
  MoveSink out = {list, 0, capacity};
  const int us = b.side, them = b.opponent;
  const int k = b.kingSquare[them];
  const u64 occ = b.occupied;
  const u64 empty = ~occ;
  const u64 own = b.byColour[us];
  const u64* mine = b.pieces[us];
  const int up = us == WHITE ? 8 : -8;
  const u64 seventh = us == WHITE ? RANK_7 : RANK_2;
  const u64 second = us == WHITE ? RANK_2 : RANK_7;

  // 1. Discovered checks: an own piece alone between an own slider and the king.
  u64 diagonals = diagonalMask[k] | antiDiagonalMask[k];
  u64 lines = rookAttacks(k, 0);
  u64 candidates = ((mine[BISHOP] | mine[QUEEN]) & diagonals) | ((mine[ROOK] | mine[QUEEN]) & lines);
  u64 blockers = 0;
  while (candidates) {
    int s = popLsb(candidates);
    u64 line = between[s][k];
    u64 inLine = line & occ;
    if (inLine == 0 || moreThanOne(inLine) || !(inLine & own)) continue;
    int from = lsb(inLine);
    blockers |= inLine;
    u64 away = empty & ~line;
    int piece = b.squares[from];
    switch (piece) {
      case PAWN:
        // Single and double step; a pawn on its seventh rank would promote.
        if (!(squareMask[from] & seventh)) {
          int to = from + up;
          if (squareMask[to] & away) out.add(makeMoveValue(from, to, PAWN));
          if ((squareMask[from] & second) && (squareMask[to] & empty) && (squareMask[to + up] & away))
            out.add(makeMoveValue(from, to + up, PAWN, 0, 0, MOVE_DOUBLE));
        }
        break;
      case KNIGHT:
        addTargets(out, from, KNIGHT, knightAttacks[from] & away);
        break;
      case BISHOP:
        addTargets(out, from, BISHOP, bishopAttacks(from, occ) & away);
        break;
      case ROOK:
        addTargets(out, from, ROOK, rookAttacks(from, occ) & away);
        break;
      case QUEEN:
        addTargets(out, from, QUEEN, queenAttacks(from, occ) & away);
        break;
      case KING:
        addTargets(out, from, KING, kingAttacks[from] & away);
        break;
      default:
        break;
    }
  }

  // 2. Direct checks by pieces that are not discovering.
  u64 knightChecks = knightAttacks[k] & empty;
  u64 bishopChecks = bishopAttacks(k, occ) & empty;
  u64 rookChecks = rookAttacks(k, occ) & empty;
  u64 pieces = mine[KNIGHT] & ~blockers;
  while (pieces) {
    int from = popLsb(pieces);
    addTargets(out, from, KNIGHT, knightAttacks[from] & knightChecks);
  }
  pieces = mine[BISHOP] & ~blockers;
  while (pieces) {
    int from = popLsb(pieces);
    addTargets(out, from, BISHOP, bishopAttacks(from, occ) & bishopChecks);
  }
  pieces = mine[ROOK] & ~blockers;
  while (pieces) {
    int from = popLsb(pieces);
    addTargets(out, from, ROOK, rookAttacks(from, occ) & rookChecks);
  }
  pieces = mine[QUEEN] & ~blockers;
  while (pieces) {
    int from = popLsb(pieces);
    addTargets(out, from, QUEEN, queenAttacks(from, occ) & (bishopChecks | rookChecks));
  }

  // 3. Pawn pushes onto the squares from which a pawn attacks the king.
  u64 pawnChecks = pawnAttacks[them][k] & empty;
  u64 pawns = mine[PAWN] & ~blockers & ~seventh;
  u64 targets = pawnChecks;
  while (targets) {
    int to = popLsb(targets);
    int from = to - up;
    if (from >= 0 && from < 64 && (squareMask[from] & pawns)) out.add(makeMoveValue(from, to, PAWN));
  }
  targets = pawnChecks;
  while (targets) {
    int to = popLsb(targets);
    int mid = to - up, from = to - 2 * up;
    if (from >= 0 && from < 64 && (squareMask[from] & pawns & second) && (squareMask[mid] & empty))
      out.add(makeMoveValue(from, to, PAWN, 0, 0, MOVE_DOUBLE));
  }
  return out.count;
}
