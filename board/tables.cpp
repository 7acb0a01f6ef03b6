// Geometry, attack and magic tables, built once at start.
#include <cstring>

#include "board/bitboard.h"

u64 squareMask[64];
u64 clearMask[64];
u64 pawnAttacks[2][64];
u64 knightAttacks[64];
u64 kingAttacks[64];
u64 diagonalMask[64];
u64 antiDiagonalMask[64];
u8 lineType[64][64];
u64 between[64][64];
Magic rookMagic[64];
Magic bishopMagic[64];
u64 rookAttackStorage[ROOK_STORAGE_SIZE];
u64 bishopAttackStorage[BISHOP_STORAGE_SIZE];

// Found once by a random search for sparse numbers that map every subset of
// the mask without a harmful collision at shift 64 - (mask bits).
// clang-format off
const u64 rookMultipliers[64] = {
    0x0180001420804001ull, 0x2040200010004000ull, 0x0280200008100080ull, 0x8180048008011000ull,
    0x0100080010050002ull, 0x020008a110120004ull, 0x9100010004288200ull, 0x2100010000218052ull,
    0x0000800080b44004ull, 0x2a09002302400184ull, 0x0009001102a00040ull, 0x0001002090040900ull,
    0x0008800400880080ull, 0x080a001014884200ull, 0x0424001a30040948ull, 0x040100008061000aull,
    0x1040018000204880ull, 0xd005404000201000ull, 0x0007050040200050ull, 0x000122000a001040ull,
    0x0806020010201804ull, 0xc102808042001400ull, 0x02401c0002080110ull, 0x0020020021004484ull,
    0x4009c00080008020ull, 0x0011008500400960ull, 0x004500c300102000ull, 0x8490008080280050ull,
    0x0050840080800800ull, 0x0004040080800200ull, 0x2000888400021001ull, 0x2018848200004421ull,
    0x0000804000800832ull, 0x0030042018400040ull, 0x8024423202002382ull, 0x3051100081802800ull,
    0x4006640080804800ull, 0x000d802a00802400ull, 0x0041080224008910ull, 0x0812440082003041ull,
    0x0100884016608000ull, 0x4060004000828028ull, 0x08a0030210410020ull, 0x0000080010008080ull,
    0x8108048801010010ull, 0x008a001804220010ull, 0x0020c81e41340050ull, 0x9000040040920001ull,
    0x60800420014011c0ull, 0x0200c30208208200ull, 0x2604116005410100ull, 0x0880300080080080ull,
    0x8200040058008180ull, 0x01000400803a0080ull, 0x100801104208a400ull, 0x0001000140820300ull,
    0x2108104900800061ull, 0x000420c002110289ull, 0x04ca9a0280401022ull, 0x0200890430010021ull,
    0x0342000448112062ull, 0x0021002400181601ull, 0x3000104091020804ull, 0x0801002043040082ull,
};
const u64 bishopMultipliers[64] = {
    0x0da0200a428908b0ull, 0x0203100c01007003ull, 0x8008080040880000ull, 0x0044440380020800ull,
    0x0819104008610100ull, 0x0001012050022008ull, 0x02020a0120180400ull, 0x0022011402024202ull,
    0x0004501010008080ull, 0x0054020c4802014cull, 0x0400100410822100ull, 0x0000080859004010ull,
    0x0080011040000008ull, 0x0040011008040c02ull, 0x000002020a200400ull, 0x8000420080841011ull,
    0x0c0a000420040400ull, 0x100a000418024405ull, 0xc002001000220c20ull, 0x8038080304110084ull,
    0x0a020084030c0010ull, 0x0000200202900801ull, 0x0042181108110428ull, 0x200a020080410800ull,
    0x8020492821420401ull, 0x0010080004080080ull, 0x8252024028028408ull, 0x00c8048008020004ull,
    0x002084000b812000ull, 0x6808420009010120ull, 0x080a140002012104ull, 0x1006202214440208ull,
    0x00084b3000c00410ull, 0x0810900420910400ull, 0x0088109008080042ull, 0x0000220082080080ull,
    0x0c08504040440100ull, 0x1022018204410800ull, 0x5541840400008a00ull, 0x4028008480130842ull,
    0x0200c42020e00800ull, 0x0504010802080800ull, 0x01a0201048001008ull, 0x0102102013010800ull,
    0x08a1108200900200ull, 0x0004040802000030ull, 0x4290041084120080ull, 0x144408504c410300ull,
    0x1004010490840100ull, 0x4501240208140808ull, 0x0127010086900000ull, 0x0200000020880032ull,
    0xa000105002020010ull, 0x2040e0a002848000ull, 0x8a84080808008000ull, 0x4050870114008808ull,
    0x000040c800982020ull, 0x1092020047080800ull, 0x20060a010861100aull, 0x0000802421840402ull,
    0x0024880040429200ull, 0x0020820408108100ull, 0x0800842006020621ull, 0x005002080104ba00ull,
};
// clang-format on

namespace {

const int rookDirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
const int bishopDirs[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

bool onBoard(int rank, int file) { return rank >= 0 && rank < 8 && file >= 0 && file < 8; }

// Squares along the four rays up to and including the first one in occ.
u64 slidingAttacks(int s, u64 occ, const int dirs[4][2]) {
  u64 attacks = 0;
  for (int d = 0; d < 4; d++) {
    int r = squareRank(s) + dirs[d][0], f = squareFile(s) + dirs[d][1];
    while (onBoard(r, f)) {
      int t = makeSquare(f, r);
      attacks |= 1ull << t;
      if (occ & (1ull << t)) break;
      r += dirs[d][0];
      f += dirs[d][1];
    }
  }
  return attacks;
}

// Ray squares without s and without the last square of each ray.
u64 slidingMask(int s, const int dirs[4][2]) {
  u64 mask = 0;
  for (int d = 0; d < 4; d++) {
    int r = squareRank(s) + dirs[d][0], f = squareFile(s) + dirs[d][1];
    while (onBoard(r + dirs[d][0], f + dirs[d][1])) {
      mask |= 1ull << makeSquare(f, r);
      r += dirs[d][0];
      f += dirs[d][1];
    }
  }
  return mask;
}

// Fills one kind of magic table, squares taking their blocks in order.
void initMagics(Magic* magics, u64* storage, const u64* multipliers, const int dirs[4][2]) {
  size_t offset = 0;
  for (int s = 0; s < 64; s++) {
    Magic& m = magics[s];
    m.mask = slidingMask(s, dirs);
    m.multiplier = multipliers[s];
    m.shift = 64 - popCount(m.mask);
    m.pointer = storage + offset;
    u64 subset = 0;
    do {
      m.pointer[(subset * m.multiplier) >> m.shift] = slidingAttacks(s, subset, dirs);
      subset = (subset - m.mask) & m.mask;
    } while (subset);
    offset += size_t(1) << (64 - m.shift);
  }
}

}  // namespace

// Steps in dependency order; running it again rebuilds the same tables.
void initTables() {
  // 1. Single squares.
  for (int s = 0; s < 64; s++) {
    squareMask[s] = 1ull << s;
    clearMask[s] = ~squareMask[s];
  }
  // 2. Pawn, knight and king steps.
  const int knightSteps[8][2] = {{2, -1}, {2, 1}, {-2, -1}, {-2, 1}, {-1, 2}, {1, 2}, {-1, -2}, {1, -2}};
  for (int s = 0; s < 64; s++) {
    int r = squareRank(s), f = squareFile(s);
    pawnAttacks[WHITE][s] = pawnAttacks[BLACK][s] = knightAttacks[s] = kingAttacks[s] = 0;
    if (r < 7) {
      if (f > 0) pawnAttacks[WHITE][s] |= squareMask[s + 7];
      if (f < 7) pawnAttacks[WHITE][s] |= squareMask[s + 9];
    }
    if (r > 0) {
      if (f > 0) pawnAttacks[BLACK][s] |= squareMask[s - 9];
      if (f < 7) pawnAttacks[BLACK][s] |= squareMask[s - 7];
    }
    for (int i = 0; i < 8; i++)
      if (onBoard(r + knightSteps[i][0], f + knightSteps[i][1]))
        knightAttacks[s] |= squareMask[makeSquare(f + knightSteps[i][1], r + knightSteps[i][0])];
    for (int dr = -1; dr <= 1; dr++)
      for (int df = -1; df <= 1; df++)
        if ((dr || df) && onBoard(r + dr, f + df)) kingAttacks[s] |= squareMask[makeSquare(f + df, r + dr)];
  }
  // 3. Whole diagonals through each square.
  for (int s = 0; s < 64; s++) {
    int r = squareRank(s), f = squareFile(s);
    diagonalMask[s] = antiDiagonalMask[s] = squareMask[s];
    for (int i = 1; i < 8; i++) {
      if (onBoard(r + i, f + i)) diagonalMask[s] |= squareMask[makeSquare(f + i, r + i)];
      if (onBoard(r - i, f - i)) diagonalMask[s] |= squareMask[makeSquare(f - i, r - i)];
      if (onBoard(r - i, f + i)) antiDiagonalMask[s] |= squareMask[makeSquare(f + i, r - i)];
      if (onBoard(r + i, f - i)) antiDiagonalMask[s] |= squareMask[makeSquare(f - i, r + i)];
    }
  }
  // 4. Line kinds and 5. squares between.
  for (int a = 0; a < 64; a++) {
    for (int b = 0; b < 64; b++) {
      int dr = squareRank(b) - squareRank(a), df = squareFile(b) - squareFile(a);
      int kind = 0;
      if (df == 0 && dr != 0)
        kind = 1;
      else if (dr == 0 && df != 0)
        kind = 2;
      else if (dr != 0 && (dr == df || dr == -df))
        kind = (dr > 0) == (df > 0) ? 3 : 4;
      lineType[a][b] = u8(kind);
      between[a][b] = 0;
      if (kind) {
        int sr = (dr > 0) - (dr < 0), sf = (df > 0) - (df < 0);
        for (int r = squareRank(a) + sr, f = squareFile(a) + sf; makeSquare(f, r) != b; r += sr, f += sf)
          between[a][b] |= squareMask[makeSquare(f, r)];
      }
    }
  }
  // 6. Empty storages, 7. bishops, 8. rooks.
  memset(bishopAttackStorage, 0, sizeof bishopAttackStorage);
  memset(rookAttackStorage, 0, sizeof rookAttackStorage);
  initMagics(bishopMagic, bishopAttackStorage, bishopMultipliers, bishopDirs);
  initMagics(rookMagic, rookAttackStorage, rookMultipliers, rookDirs);
}
