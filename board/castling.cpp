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

// Square of the colour's rook on its back rank farthest from the king on
// that wing (nearest the h-file king side, the a-file queen side), or -1.
int castlingOutermostRook(const Board& b, int colour, bool kingSide) {
  const int kf = squareFile(b.kingSquare[colour]), base = colour == WHITE ? 0 : 56;
  const u64 rooks = b.pieces[colour][ROOK];
  if (kingSide) {
    for (int f = 7; f > kf; f--)
      if (rooks & (1ull << (base + f))) return base + f;
  } else {
    for (int f = 0; f < kf; f++)
      if (rooks & (1ull << (base + f))) return base + f;
  }
  return -1;
}

// The rook a file letter named, else the outermost rook of each wing.
void setupCastling(Board& b, const i8* rookFile) {
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
  // 4. Rook choice in the order k, q, K, Q: the named file (a rook of the
  //    colour must stand there, on that wing), else the outermost rook.
  const int colours[4] = {BLACK, BLACK, WHITE, WHITE};
  const u8 rights[4] = {CASTLE_BK, CASTLE_BQ, CASTLE_WK, CASTLE_WQ};
  const int rightIndex[4] = {2, 3, 0, 1};
  for (int i = 0; i < 4; i++) {
    if (!(b.castling & rights[i])) continue;
    const int c = colours[i], kf = squareFile(b.kingSquare[c]), base = c == WHITE ? 0 : 56;
    const bool kingSide = i % 2 == 0;
    const int named = rookFile ? rookFile[rightIndex[i]] : -1;
    int rook = castlingOutermostRook(b, c, kingSide);
    if (named >= 0) {
      const bool onWing = kingSide ? named > kf : named < kf;
      rook = onWing && (b.pieces[c][ROOK] & (1ull << (base + named))) ? base + named : -1;
    }
    if (rook < 0)
      b.castling &= u8(~rights[i]);
    else
      (kingSide ? b.rookStartKingSide[c] : b.rookStartQueenSide[c]) = rook;
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
