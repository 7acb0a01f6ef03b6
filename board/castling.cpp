// Castling set-up: one rule for standard chess and Chess960.
#include "board/castling.h"

#include "board/bitboard.h"

namespace {

// Squares from min(a, b) to max(a, b), both included.
u64 squaresFromTo(int a, int b) {
  u64 mask = 0;
  for (int s = a < b ? a : b, end = a < b ? b : a; s <= end; s++) mask |= 1ull << s;
  return mask;
}

// Squares the king and rook pass over or land on, without their own squares.
u64 castlePath(int king, int kingTo, int rook, int rookTo) {
  return (squaresFromTo(king, kingTo) | squaresFromTo(rook, rookTo)) & ~(1ull << king) & ~(1ull << rook);
}

}  // namespace

// The outermost rook of each wing is the castling rook.
void setupCastling(Board& b) {
  // 1. Kings' start squares.
  b.kingStart[BLACK] = b.kingSquare[BLACK];
  b.kingStart[WHITE] = b.kingSquare[WHITE];
  // 2. A king off its back rank cannot castle.
  if (squareRank(b.kingSquare[WHITE]) != 0) b.castling &= u8(~(CASTLE_WK | CASTLE_WQ));
  if (squareRank(b.kingSquare[BLACK]) != 7) b.castling &= u8(~(CASTLE_BK | CASTLE_BQ));
  // 3. Defaults.
  b.rookStartKingSide[BLACK] = 63;
  b.rookStartKingSide[WHITE] = 7;
  b.rookStartQueenSide[BLACK] = 56;
  b.rookStartQueenSide[WHITE] = 0;
  // 4. Rook choice in the order k, q, K, Q.
  const int colours[4] = {BLACK, BLACK, WHITE, WHITE};
  const u8 rights[4] = {CASTLE_BK, CASTLE_BQ, CASTLE_WK, CASTLE_WQ};
  for (int i = 0; i < 4; i++) {
    if (!(b.castling & rights[i])) continue;
    int c = colours[i];
    int kf = squareFile(b.kingSquare[c]);
    int base = c == WHITE ? 0 : 56;
    u64 rooks = b.pieces[c][ROOK];
    bool found = false;
    if (i % 2 == 0) {
      for (int s = base + kf + 1; kf < 7 && s <= base + 7; s++)
        if (rooks & (1ull << s)) b.rookStartKingSide[c] = s, found = true;
    } else {
      for (int s = base + kf - 1; kf > 0 && s >= base; s--)
        if (rooks & (1ull << s)) b.rookStartQueenSide[c] = s, found = true;
    }
    if (!found) b.castling &= u8(~rights[i]);
  }
  // 5. Paths.
  b.castlePathKingSide[0] = b.castlePathKingSide[1] = 0;
  b.castlePathQueenSide[0] = b.castlePathQueenSide[1] = 0;
  if (b.castling & CASTLE_WK)
    b.castlePathKingSide[WHITE] = castlePath(b.kingSquare[WHITE], 6, b.rookStartKingSide[WHITE], 5);
  if (b.castling & CASTLE_WQ)
    b.castlePathQueenSide[WHITE] = castlePath(b.kingSquare[WHITE], 2, b.rookStartQueenSide[WHITE], 3);
  if (b.castling & CASTLE_BK)
    b.castlePathKingSide[BLACK] = castlePath(b.kingSquare[BLACK], 62, b.rookStartKingSide[BLACK], 61);
  if (b.castling & CASTLE_BQ)
    b.castlePathQueenSide[BLACK] = castlePath(b.kingSquare[BLACK], 58, b.rookStartQueenSide[BLACK], 59);
}
