// King and pawn against king, solved once at start-up by retrograde analysis.
//
// The solver works on whole sets at once: for a fixed pawn square and strong
// king square, the weak king squares of all won positions form one bitboard.
// It owns its geometry, because it runs from a static initialiser before the
// engine has built its attack tables.
#include "eval/kpk.h"

namespace {

constexpr u64 FILE_A = 0x0101010101010101ULL;
constexpr u64 FILE_H = FILE_A << 7;

// Squares next to any square of set (a king's reach from each of them).
u64 neighbours(u64 set) {
  u64 east = (set << 1) & ~FILE_A;
  u64 west = (set >> 1) & ~FILE_H;
  u64 row = set | east | west;
  return east | west | (row << 8) | (row >> 8);
}

u64 bit(int sq) { return 1ULL << sq; }

// Squares a white pawn on sq attacks.
u64 whitePawnAttacks(int sq) {
  u64 b = bit(sq);
  return ((b << 7) & ~FILE_H) | ((b << 9) & ~FILE_A);
}

// Squares a rook (or a queen when diagonal is set) on sq attacks, blocked by occ.
u64 sliderAttacks(int sq, u64 occ, bool diagonal) {
  static const int dirs[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
  u64 attacks = 0;
  int count = diagonal ? 8 : 4;
  for (int d = 0; d < count; d++) {
    int f = (sq & 7) + dirs[d][0];
    int r = (sq >> 3) + dirs[d][1];
    while (f >= 0 && f < 8 && r >= 0 && r < 8) {
      attacks |= bit(r * 8 + f);
      if (occ & bit(r * 8 + f)) break;
      f += dirs[d][0];
      r += dirs[d][1];
    }
  }
  return attacks;
}

// True when promoting on q (weak side then to move) leaves a won queen or rook
// ending: the new piece cannot be taken and the weak king is not stalemated.
bool promotionWins(int q, int s, int w, bool queen) {
  u64 strongReach = neighbours(bit(s));
  if ((neighbours(bit(w)) & bit(q)) && !(strongReach & bit(q))) return false;
  // The weak king's own square is left out of the blockers: it cannot hide
  // behind itself along the checking line.
  u64 attacked = strongReach | sliderAttacks(q, bit(s), queen);
  bool inCheck = (attacked & bit(w)) != 0;
  u64 moves = neighbours(bit(w)) & ~attacked;
  return inCheck || moves != 0;
}

// Won sets for one pawn square: index [strong king] gives the weak king squares.
struct Slice {
  u64 strongToMove[64];
  u64 weakToMove[64];
};

// Solves the slice of pawn square p, given the solved slices of the squares ahead.
void solveSlice(int p, Slice* slices) {
  Slice& out = slices[p];
  u64 pawnAtt = whitePawnAttacks(p);
  u64 legalStrong[64], legalWeak[64], weakDest[64], fixedWins[64];
  int rank = p >> 3;

  // 1. Legal positions, weak king destinations and the wins by a pawn move.
  for (int s = 0; s < 64; s++) {
    out.strongToMove[s] = 0;
    out.weakToMove[s] = 0;
    if (s == p) {
      legalStrong[s] = legalWeak[s] = weakDest[s] = fixedWins[s] = 0;
      continue;
    }
    u64 nearStrong = bit(s) | neighbours(bit(s));
    legalWeak[s] = ~(nearStrong | bit(p));
    legalStrong[s] = legalWeak[s] & ~pawnAtt;
    weakDest[s] = ~(nearStrong | pawnAtt);
    u64 wins = 0;
    int stop = p + 8;
    if (rank == 6) {
      if (s != stop) {
        for (int w = 0; w < 64; w++) {
          if (!(legalStrong[s] & bit(w)) || w == stop) continue;
          if (promotionWins(stop, s, w, true) || promotionWins(stop, s, w, false)) wins |= bit(w);
        }
      }
    } else {
      wins |= slices[stop].weakToMove[s];
      if (rank == 1 && s != stop) wins |= slices[p + 16].weakToMove[s] & ~bit(stop);
    }
    fixedWins[s] = legalStrong[s] & wins;
  }

  // 2. Grow the won sets until nothing changes: the strong side needs one
  // winning move, the weak side loses when every legal move loses (or when
  // it is mated).
  bool changed = true;
  while (changed) {
    changed = false;
    for (int s = 0; s < 64; s++) {
      if (s == p) continue;
      u64 reach = fixedWins[s];
      u64 kingMoves = neighbours(bit(s)) & ~bit(p);
      while (kingMoves) {
        int t = __builtin_ctzll(kingMoves);
        kingMoves &= kingMoves - 1;
        reach |= out.weakToMove[t];
      }
      u64 ws = legalStrong[s] & reach;
      u64 escapes = weakDest[s] & ~ws;
      u64 ww = legalWeak[s] & ~neighbours(escapes) & (neighbours(weakDest[s]) | pawnAtt);
      if (ws != out.strongToMove[s] || ww != out.weakToMove[s]) {
        out.strongToMove[s] = ws;
        out.weakToMove[s] = ww;
        changed = true;
      }
    }
  }
}

}  // namespace

u32 kpkBitbase[KPK_WORDS];

void kpkGenerate(u32* out) {
  static Slice slices[64];
  for (int i = 0; i < KPK_WORDS; i++) out[i] = 0;
  // Pawns further up first: a pawn move only leads to squares already solved.
  for (int rank = 6; rank >= 1; rank--) {
    for (int file = 0; file < 4; file++) {
      int p = rank * 8 + file;
      solveSlice(p, slices);
      for (int s = 0; s < 64; s++) {
        for (int side = 0; side < 2; side++) {
          u64 won = side ? slices[p].strongToMove[s] : slices[p].weakToMove[s];
          int word = kpkIndex(side, p, s, 0) >> 5;
          out[word] = (u32)won;
          out[word + 1] = (u32)(won >> 32);
        }
      }
    }
  }
}

namespace {
// Filled before main so that every evaluation finds the table ready.
struct KpkStartup {
  KpkStartup() { kpkGenerate(kpkBitbase); }
} kpkStartup;
}  // namespace
