// Move generators, the pseudo-legality test and the legal move count.
#include "board/movegen.h"

#include <cstring>

#include "board/bitboard.h"
#include "board/makemove.h"

namespace {

// Bounded writer of the move half of list slots.
struct MoveWriter {
  MoveSlot* list;
  u32 n;
  u32 capacity;
  // Writes the move unless the list is full.
  void add(Move m) {
    if (n < capacity) list[n++].move = m;
  }
  // The four promotions in their fixed order: queen, rook, knight, bishop.
  void addPromotions(int from, int to, int captured) {
    add(makeMoveValue(from, to, PAWN, captured, QUEEN));
    add(makeMoveValue(from, to, PAWN, captured, ROOK));
    add(makeMoveValue(from, to, PAWN, captured, KNIGHT));
    add(makeMoveValue(from, to, PAWN, captured, BISHOP));
  }
};

// Moves of every piece of one type to the squares of targets.
template <int Piece>
void addPieceMoves(const Board& b, MoveWriter& w, u64 targets, bool withCaptured) {
  for (u64 pieces = b.pieces[b.side][Piece]; pieces;) {
    const int from = popLsb(pieces);
    u64 attacks;
    if (Piece == KNIGHT)
      attacks = knightAttacks[from];
    else if (Piece == BISHOP)
      attacks = bishopAttacks(from, b.occupied);
    else if (Piece == ROOK)
      attacks = rookAttacks(from, b.occupied);
    else
      attacks = queenAttacks(from, b.occupied);
    for (u64 t = attacks & targets; t;) {
      const int to = popLsb(t);
      w.add(makeMoveValue(from, to, Piece, withCaptured ? b.squares[to] : 0));
    }
  }
}

// Knight, bishop, rook, queen and king moves to targets, in that order.
void addAllPieceMoves(const Board& b, MoveWriter& w, u64 targets, bool withCaptured) {
  addPieceMoves<KNIGHT>(b, w, targets, withCaptured);
  addPieceMoves<BISHOP>(b, w, targets, withCaptured);
  addPieceMoves<ROOK>(b, w, targets, withCaptured);
  addPieceMoves<QUEEN>(b, w, targets, withCaptured);
  const int k = b.kingSquare[b.side];
  for (u64 t = kingAttacks[k] & targets; t;) {
    const int to = popLsb(t);
    w.add(makeMoveValue(k, to, KING, withCaptured ? b.squares[to] : 0));
  }
}

// Pawn captures along one diagonal: to = from + delta.
void addPawnCaptures(const Board& b, MoveWriter& w, u64 targetsSet, int delta) {
  for (u64 t = targetsSet; t;) {
    const int to = popLsb(t);
    const int from = to - delta;
    if (to >= 56 || to < 8)
      w.addPromotions(from, to, b.squares[to]);
    else
      w.add(makeMoveValue(from, to, PAWN, b.squares[to]));
  }
}

// True when the square is attacked by `them`, tested in the fixed order.
inline bool attackedBy(const Board& b, int s, int them, u64 occ) { return isSquareAttackedOcc(b, s, them, occ); }

// One castling move if the right, the empty path and the safe king squares allow it.
void addCastling(const Board& b, MoveWriter& w, u8 right, u64 path, int rookSquare, int kingTo) {
  if (!(b.castling & right) || (path & b.occupied)) return;
  const int k = b.kingStart[b.side];
  const int lo = k < kingTo ? k : kingTo, hi = k < kingTo ? kingTo : k;
  for (int s = lo; s <= hi; s++)
    if (attackedBy(b, s, b.opponent, b.occupied)) return;
  w.add(makeMoveValue(k, rookSquare, KING, 0, 0, MOVE_CASTLE));
}

}  // namespace

// Captures by knights, bishops, rooks, queens, king, then pawn promotions
// by push, both capture diagonals and en passant.
u32 generateCaptures(const Board& b, MoveSlot* list, u32 capacity) {
  MoveWriter w{list, 0, capacity};
  const int us = b.side;
  const u64 targets = b.byColour[b.opponent];
  const u64 empty = ~b.occupied;
  addAllPieceMoves(b, w, targets, true);
  const u64 pawns = b.pieces[us][PAWN];
  if (us == WHITE) {
    for (u64 t = (pawns << 8) & empty & RANK_8; t;) {
      const int to = popLsb(t);
      w.addPromotions(to - 8, to, 0);
    }
    addPawnCaptures(b, w, (pawns << 7) & ~FILE_H & targets, 7);
    addPawnCaptures(b, w, (pawns << 9) & ~FILE_A & targets, 9);
    if (b.epFile) {
      const int e = 40 + b.epFile - 1;
      for (u64 f = pawnAttacks[BLACK][e] & pawns; f;) w.add(makeMoveValue(popLsb(f), e, PAWN, PAWN, 0, MOVE_EP));
    }
  } else {
    for (u64 t = (pawns >> 8) & empty & RANK_1; t;) {
      const int to = popLsb(t);
      w.addPromotions(to + 8, to, 0);
    }
    addPawnCaptures(b, w, (pawns >> 7) & ~FILE_A & targets, -7);
    addPawnCaptures(b, w, (pawns >> 9) & ~FILE_H & targets, -9);
    if (b.epFile) {
      const int e = 16 + b.epFile - 1;
      for (u64 f = pawnAttacks[WHITE][e] & pawns; f;) w.add(makeMoveValue(popLsb(f), e, PAWN, PAWN, 0, MOVE_EP));
    }
  }
  return w.n;
}

// King side, then queen side.
u32 generateCastlings(const Board& b, MoveSlot* list, u32 capacity) {
  MoveWriter w{list, 0, capacity};
  if (b.side == WHITE) {
    addCastling(b, w, CASTLE_WK, b.castlePathKingSide[WHITE], b.rookStartKingSide[WHITE], 6);
    addCastling(b, w, CASTLE_WQ, b.castlePathQueenSide[WHITE], b.rookStartQueenSide[WHITE], 2);
  } else {
    addCastling(b, w, CASTLE_BK, b.castlePathKingSide[BLACK], b.rookStartKingSide[BLACK], 62);
    addCastling(b, w, CASTLE_BQ, b.castlePathQueenSide[BLACK], b.rookStartQueenSide[BLACK], 58);
  }
  return w.n;
}

// Castlings, piece moves to empty squares, single and double pushes.
u32 generateQuiets(const Board& b, MoveSlot* list, u32 capacity) {
  // 1. Castling, king side first.
  MoveWriter w{list, generateCastlings(b, list, capacity), capacity};
  const int us = b.side;
  const u64 empty = ~b.occupied;
  // 2-6. Pieces.
  addAllPieceMoves(b, w, empty, false);
  // 7. Single and 8. double pushes.
  const u64 pawns = b.pieces[us][PAWN];
  if (us == WHITE) {
    const u64 single = (pawns << 8) & empty;
    for (u64 t = single & ~RANK_8; t;) {
      const int to = popLsb(t);
      w.add(makeMoveValue(to - 8, to, PAWN));
    }
    for (u64 t = (single << 8) & empty & RANK_4; t;) {
      const int to = popLsb(t);
      w.add(makeMoveValue(to - 16, to, PAWN, 0, 0, MOVE_DOUBLE));
    }
  } else {
    const u64 single = (pawns >> 8) & empty;
    for (u64 t = single & ~RANK_1; t;) {
      const int to = popLsb(t);
      w.add(makeMoveValue(to + 8, to, PAWN));
    }
    for (u64 t = (single >> 8) & empty & RANK_5; t;) {
      const int to = popLsb(t);
      w.add(makeMoveValue(to + 16, to, PAWN, 0, 0, MOVE_DOUBLE));
    }
  }
  return w.n;
}

// Safe king steps; with a single checker also blocks and captures of it.
u32 generateEvasions(const Board& b, MoveSlot* list, u32 capacity) {
  MoveWriter w{list, 0, capacity};
  const int us = b.side, them = b.opponent;
  const int k = b.kingSquare[us];
  const u64 occ = b.occupied;
  const u64* own = b.pieces[us];
  const u64* enemy = b.pieces[them];
  // 1. Checkers.
  const u64 checkers = (knightAttacks[k] & enemy[KNIGHT]) | (pawnAttacks[us][k] & enemy[PAWN]) |
                       (rookAttacks(k, occ) & (enemy[ROOK] | enemy[QUEEN])) |
                       (bishopAttacks(k, occ) & (enemy[BISHOP] | enemy[QUEEN]));
  // 2. King steps, tested without the king on the board.
  const u64 noKing = occ ^ (1ull << k);
  for (u64 t = kingAttacks[k] & ~b.byColour[us]; t;) {
    const int to = popLsb(t);
    if (!attackedBy(b, to, them, noKing)) w.add(makeMoveValue(k, to, KING, b.squares[to]));
  }
  // 3. Double check: king steps only.
  if (popCount(checkers) != 1) return w.n;
  // 4. Blocks.
  const int c = lsb(checkers);
  const int checker = b.squares[c];
  const u64 pawns = own[PAWN];
  if (checker >= BISHOP && checker <= QUEEN && !(kingAttacks[k] & (1ull << c))) {
    const u64 block = between[c][k];
    const u64 empty = ~occ;
    if (us == WHITE) {
      const u64 single = (pawns << 8) & empty;
      for (u64 t = single & block & ~RANK_8; t;) {
        const int to = popLsb(t);
        w.add(makeMoveValue(to - 8, to, PAWN));
      }
      for (u64 t = single & block & RANK_8; t;) {
        const int to = popLsb(t);
        w.addPromotions(to - 8, to, 0);
      }
      for (u64 t = (single << 8) & empty & RANK_4 & block; t;) {
        const int to = popLsb(t);
        w.add(makeMoveValue(to - 16, to, PAWN, 0, 0, MOVE_DOUBLE));
      }
    } else {
      const u64 single = (pawns >> 8) & empty;
      for (u64 t = single & block & ~RANK_1; t;) {
        const int to = popLsb(t);
        w.add(makeMoveValue(to + 8, to, PAWN));
      }
      for (u64 t = single & block & RANK_1; t;) {
        const int to = popLsb(t);
        w.addPromotions(to + 8, to, 0);
      }
      for (u64 t = (single >> 8) & empty & RANK_5 & block; t;) {
        const int to = popLsb(t);
        w.add(makeMoveValue(to + 16, to, PAWN, 0, 0, MOVE_DOUBLE));
      }
    }
    addPieceMoves<KNIGHT>(b, w, block, false);
    addPieceMoves<BISHOP>(b, w, block, false);
    addPieceMoves<ROOK>(b, w, block, false);
    addPieceMoves<QUEEN>(b, w, block, false);
  }
  // 5. Captures of the checker.
  const bool lastRank = us == WHITE ? c >= 56 : c < 8;
  for (u64 f = pawnAttacks[them][c] & pawns; f;) {
    const int from = popLsb(f);
    if (lastRank)
      w.addPromotions(from, c, checker);
    else
      w.add(makeMoveValue(from, c, PAWN, checker));
  }
  if (b.epFile) {
    const int e = us == WHITE ? 40 + b.epFile - 1 : 16 + b.epFile - 1;
    if (c == (us == WHITE ? e - 8 : e + 8))
      for (u64 f = pawnAttacks[them][e] & pawns; f;) w.add(makeMoveValue(popLsb(f), e, PAWN, PAWN, 0, MOVE_EP));
  }
  for (u64 f = knightAttacks[c] & own[KNIGHT]; f;) w.add(makeMoveValue(popLsb(f), c, KNIGHT, checker));
  for (u64 f = bishopAttacks(c, occ) & (own[BISHOP] | own[QUEEN]); f;) {
    const int from = popLsb(f);
    w.add(makeMoveValue(from, c, b.squares[from], checker));
  }
  for (u64 f = rookAttacks(c, occ) & (own[ROOK] | own[QUEEN]); f;) {
    const int from = popLsb(f);
    w.add(makeMoveValue(from, c, b.squares[from], checker));
  }
  return w.n;
}

// Evasions in check, else captures followed by quiet moves.
u32 generateMoves(const Board& b, MoveSlot* list, bool inCheck) {
  if (inCheck) return generateEvasions(b, list, MAX_MOVES);
  const u32 n = generateCaptures(b, list, MAX_MOVES);
  return n + generateQuiets(b, list + n, MAX_MOVES - n);
}

// Tests what can differ between two positions with the same side to move.
bool isPseudoLegal(const Board& b, Move m) {
  // 1. Not the null move.
  if (m == MOVE_NONE) return false;
  const int us = b.side, them = b.opponent;
  const int from = moveFrom(m), to = moveTo(m), piece = movePiece(m), captured = moveCaptured(m);
  // 2. The piece stands on the from-square.
  if (!(b.pieces[us][piece] & (1ull << from))) return false;
  // 3. The to-square.
  if (captured == 0 || moveIsEnPassant(m)) {
    if (!moveIsCastling(m) && b.squares[to] != 0) return false;
  } else {
    if (captured == KING || !(b.pieces[them][captured] & (1ull << to))) return false;
  }
  // 4. By piece.
  switch (piece) {
    case PAWN:
      if (moveIsEnPassant(m)) {
        const int behind = us == WHITE ? to - 8 : to + 8;
        return b.epFile == squareFile(to) + 1 && behind >= 0 && behind < 64 &&
               (b.pieces[them][PAWN] & (1ull << behind));
      }
      if (moveIsDoubleStep(m)) {
        const int passed = us == WHITE ? to - 8 : to + 8;
        return passed >= 0 && passed < 64 && b.squares[passed] == 0;
      }
      return true;
    case KNIGHT:
      return true;
    case BISHOP:
      return (bishopAttacks(from, b.occupied) >> to) & 1;
    case ROOK:
      return (rookAttacks(from, b.occupied) >> to) & 1;
    case QUEEN:
      return (queenAttacks(from, b.occupied) >> to) & 1;
    default:
      break;
  }
  if (!moveIsCastling(m)) return true;
  // King with the castling flag.
  if (b.squares[b.kingStart[us]] != KING) return false;
  u8 right;
  int kingTo;
  u64 path;
  if (to == b.rookStartKingSide[us]) {
    right = us == WHITE ? CASTLE_WK : CASTLE_BK;
    kingTo = us == WHITE ? 6 : 62;
    path = b.castlePathKingSide[us];
  } else if (to == b.rookStartQueenSide[us]) {
    right = us == WHITE ? CASTLE_WQ : CASTLE_BQ;
    kingTo = us == WHITE ? 2 : 58;
    path = b.castlePathQueenSide[us];
  } else {
    return false;
  }
  if (!(b.castling & right) || !(b.pieces[us][ROOK] & (1ull << to)) || (path & b.occupied)) return false;
  const int k = b.kingStart[us];
  const int lo = k < kingTo ? k : kingTo, hi = k < kingTo ? kingTo : k;
  for (int s = lo; s <= hi; s++)
    if (isSquareAttacked(b, s, them)) return false;
  return true;
}

// Makes m, looks at the mover's king, unmakes m.
bool moveLeavesKingSafe(Board& b, Move m) {
  makeMove(b, m);
  const bool safe = !isSquareAttacked(b, b.kingSquare[b.opponent], b.side);
  unmakeMove(b, m);
  return safe;
}

// Generates, plays and tests every move.
u32 countLegalMoves(Board& b) {
  MoveSlot list[MAX_MOVES];
  memset(list, 0, sizeof list);
  const bool inCheck = boardInCheck(b);
  const u32 n = generateMoves(b, list, inCheck);
  u32 legal = 0;
  for (u32 i = 0; i < n; i++) legal += moveLeavesKingSafe(b, list[i].move);
  return legal;
}

// Generated here and the own king safe after it.
bool moveIsLegal(Board& b, Move m) {
  if (!isPseudoLegal(b, m)) return false;
  MoveSlot list[MAX_MOVES];
  const u32 n = generateMoves(b, list, boardInCheck(b));
  bool generated = false;
  for (u32 i = 0; i < n && !generated; i++) generated = list[i].move == m;
  return generated && moveLeavesKingSafe(b, m);
}
