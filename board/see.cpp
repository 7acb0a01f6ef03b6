// Static exchange evaluation by the swap-list method.
#include "board/see.h"

#include "board/bitboard.h"

namespace {

// Adds the sliders that a capture on `to` from `through` uncovers.
inline u64 xrayThrough(int to, int through, u64 occ, u64 straight, u64 diagonal) {
  const int kind = lineType[to][through];
  if (kind == 1 || kind == 2) return occ & straight & rookAttacks(to, occ);
  if (kind == 3 || kind == 4) return occ & diagonal & bishopAttacks(to, occ);
  return 0;
}

}  // namespace

// Each side recaptures with its least valuable attacker and may stop.
i32 see(const Board& b, Move m) {
  const int from = moveFrom(m), to = moveTo(m);
  i32 swapList[34];
  // 1. First gain; the piece on `to` is valued as the piece that moved.
  swapList[0] = seeValue[moveCaptured(m)];
  i32 value = seeValue[movePiece(m)];
  // 2. Occupancy without the mover (and the pawn taken en passant).
  u64 occ = b.occupied & ~(1ull << from);
  if (moveIsEnPassant(m)) occ &= ~(1ull << (to + epCaptureOffset[b.side]));
  // 3. Attackers of both colours over the full occupancy.
  const u64 diagonal = b.pieces[0][BISHOP] | b.pieces[1][BISHOP] | b.pieces[0][QUEEN] | b.pieces[1][QUEEN];
  const u64 straight = b.pieces[0][ROOK] | b.pieces[1][ROOK] | b.pieces[0][QUEEN] | b.pieces[1][QUEEN];
  u64 attackers = (pawnAttacks[BLACK][to] & b.pieces[WHITE][PAWN]) | (pawnAttacks[WHITE][to] & b.pieces[BLACK][PAWN]) |
                  ((b.pieces[0][KNIGHT] | b.pieces[1][KNIGHT]) & knightAttacks[to]) |
                  ((b.pieces[0][KING] | b.pieces[1][KING]) & kingAttacks[to]) |
                  (diagonal & bishopAttacks(to, b.occupied)) | (straight & rookAttacks(to, b.occupied));
  attackers &= ~(1ull << from);
  // 4. X-ray through the from-square.
  attackers |= xrayThrough(to, from, occ, straight, diagonal);
  // 5. Alternate least valuable captures.
  if (!attackers) return swapList[0];
  int colour = b.opponent, sign = -1, n = 1;
  while (attackers && n < 32) {
    const u64 mine = attackers & b.byColour[colour];
    int type = 0;
    u64 found = 0;
    for (int t = PAWN; t <= KING; t++) {
      found = mine & b.pieces[colour][t];
      if (found) {
        type = t;
        break;
      }
    }
    if (!type) break;
    const int a = lsb(found);
    swapList[n] = swapList[n - 1] + sign * value;
    n++;
    if (type == KING) {
      if ((attackers & ~(1ull << a)) & b.byColour[colour ^ 1]) {
        swapList[n] = swapList[n - 1] - sign * seeValue[KING];
        n++;
      }
      break;
    }
    value = seeValue[type];
    attackers &= ~(1ull << a);
    occ &= ~(1ull << a);
    attackers |= xrayThrough(to, a, occ, straight, diagonal);
    sign = -sign;
    colour ^= 1;
  }
  // 6. Minimax back to the front.
  int last = n - 1;
  if (last & 1) {
    if (swapList[last] < swapList[last - 1]) swapList[last - 1] = swapList[last];
    last--;
  }
  for (int i = last; i >= 2; i -= 2) {
    if (swapList[i] > swapList[i - 1]) swapList[i - 1] = swapList[i];
    if (swapList[i - 1] < swapList[i - 2]) swapList[i - 2] = swapList[i - 1];
  }
  return swapList[0];
}
