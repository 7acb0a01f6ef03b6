// King and pawn against king: the exact win/draw table used by the evaluation.
#pragma once

#include "board/types.h"

// Layout of one bit: index = pawnSideToMove * 131072 + (rank * 4 + file) * 4096
// + strongKing * 64 + weakKing, with the position turned so that the pawn is
// white-moving (toward rank 8) and stands on files a-d. Bit i is bit (i % 32)
// of word i / 32. A set bit means the pawn side wins.
constexpr int KPK_WORDS = 8192;

extern u32 kpkBitbase[KPK_WORDS];

// Bit index of a normalised position (pawn on files a-d, moving up).
constexpr int kpkIndex(int pawnSideToMove, int pawn, int strongKing, int weakKing) {
  return pawnSideToMove * 131072 + ((pawn >> 3) * 4 + (pawn & 7)) * 4096 + strongKing * 64 + weakKing;
}

// True when the normalised position is a win for the pawn side.
inline bool kpkIsWin(int pawnSideToMove, int pawn, int strongKing, int weakKing) {
  int i = kpkIndex(pawnSideToMove, pawn, strongKing, weakKing);
  return (kpkBitbase[i >> 5] >> (i & 31)) & 1;
}

// Fills out[KPK_WORDS] by retrograde analysis; the result is the same on every call.
void kpkGenerate(u32* out);
