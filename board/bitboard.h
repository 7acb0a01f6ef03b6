// Bit counting, bit scans and the geometry and attack tables. The tables
// are built once by initTables(); slider attacks are one magic lookup.
#pragma once

#include "board/types.h"

#ifndef TARVOK_POPCNT
#define TARVOK_POPCNT 0
#endif

// Number of set bits: the processor instruction in the POPCNT program,
// a branch-free software count in the generic one.
inline int popCount(u64 b) {
#if TARVOK_POPCNT
  return __builtin_popcountll(b);
#else
  b = b - ((b >> 1) & 0x5555555555555555ull);
  b = (b & 0x3333333333333333ull) + ((b >> 2) & 0x3333333333333333ull);
  b = (b + (b >> 4)) & 0x0f0f0f0f0f0f0f0full;
  return int((b * 0x0101010101010101ull) >> 56);
#endif
}

// Index of the lowest set bit; b must not be 0.
inline int lsb(u64 b) { return __builtin_ctzll(b); }

// Index of the lowest set bit, which is cleared; b must not be 0.
inline int popLsb(u64& b) {
  int s = __builtin_ctzll(b);
  b &= b - 1;
  return s;
}

// True when more than one bit is set.
inline bool moreThanOne(u64 b) { return (b & (b - 1)) != 0; }

// One square's magic: attacks = pointer[((occ & mask) * multiplier) >> shift].
struct Magic {
  u64 mask;
  u64 multiplier;
  i32 shift;
  u64* pointer;
};

constexpr int ROOK_STORAGE_SIZE = 102400;
constexpr int BISHOP_STORAGE_SIZE = 5248;

extern u64 squareMask[64];
extern u64 clearMask[64];
extern u64 pawnAttacks[2][64];
extern u64 knightAttacks[64];
extern u64 kingAttacks[64];
extern u64 diagonalMask[64];
extern u64 antiDiagonalMask[64];
extern u8 lineType[64][64];  // 0 none, 1 file, 2 rank, 3 a1-h8 diagonal, 4 h1-a8 diagonal
extern u64 between[64][64];
extern Magic rookMagic[64];
extern Magic bishopMagic[64];
extern u64 rookAttackStorage[ROOK_STORAGE_SIZE];
extern u64 bishopAttackStorage[BISHOP_STORAGE_SIZE];

// The stored per-square magic multipliers (rook, bishop).
extern const u64 rookMultipliers[64];
extern const u64 bishopMultipliers[64];

// Builds every table above (idempotent).
void initTables();

// Squares a rook on s attacks with the squares of occ occupied.
inline u64 rookAttacks(int s, u64 occ) {
  const Magic& m = rookMagic[s];
  return m.pointer[((occ & m.mask) * m.multiplier) >> m.shift];
}

// Squares a bishop on s attacks with the squares of occ occupied.
inline u64 bishopAttacks(int s, u64 occ) {
  const Magic& m = bishopMagic[s];
  return m.pointer[((occ & m.mask) * m.multiplier) >> m.shift];
}

// Squares a queen on s attacks with the squares of occ occupied.
inline u64 queenAttacks(int s, u64 occ) { return rookAttacks(s, occ) | bishopAttacks(s, occ); }

constexpr u64 FILE_A = 0x0101010101010101ull;
constexpr u64 FILE_H = 0x8080808080808080ull;
constexpr u64 RANK_1 = 0xffull;
constexpr u64 RANK_2 = 0xff00ull;
constexpr u64 RANK_3 = 0xff0000ull;
constexpr u64 RANK_4 = 0xff000000ull;
constexpr u64 RANK_5 = 0xff00000000ull;
constexpr u64 RANK_6 = 0xff0000000000ull;
constexpr u64 RANK_7 = 0xff000000000000ull;
constexpr u64 RANK_8 = 0xff00000000000000ull;
