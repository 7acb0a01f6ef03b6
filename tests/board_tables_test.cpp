// Geometry, attack and magic tables.
#include <gtest/gtest.h>

#include "board/bitboard.h"

namespace {

constexpr int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

// Ray walk for comparison with the magic lookups.
u64 slowAttacks(int s, u64 occ, bool rook) {
  static const int rookDirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  static const int bishopDirs[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
  const int(*dirs)[2] = rook ? rookDirs : bishopDirs;
  u64 result = 0;
  for (int d = 0; d < 4; d++) {
    for (int r = s / 8 + dirs[d][0], f = s % 8 + dirs[d][1]; r >= 0 && r < 8 && f >= 0 && f < 8;
         r += dirs[d][0], f += dirs[d][1]) {
      result |= 1ull << (r * 8 + f);
      if (occ & (1ull << (r * 8 + f))) break;
    }
  }
  return result;
}

struct TablesTest : ::testing::Test {
  static void SetUpTestSuite() { initTables(); }
};

TEST_F(TablesTest, SliderLookupsMatchRayWalksOnRandomOccupancies) {
  u64 seed = 0x1234567887654321ull;
  for (int i = 0; i < 20000; i++) {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    const u64 occ = seed & (seed >> 3);
    const int s = int(seed >> 58);
    ASSERT_EQ(rookAttacks(s, occ), slowAttacks(s, occ, true)) << s;
    ASSERT_EQ(bishopAttacks(s, occ), slowAttacks(s, occ, false)) << s;
  }
  EXPECT_EQ(popCount(rookAttacks(sq("a1"), 0)), 14);
  EXPECT_EQ(popCount(bishopAttacks(sq("d4"), 0)), 13);
  // A blocker is included and nothing behind it.
  const u64 blocked = rookAttacks(sq("a1"), squareMask[sq("a4")]);
  EXPECT_TRUE(blocked & squareMask[sq("a4")]);
  EXPECT_FALSE(blocked & squareMask[sq("a5")]);
}

TEST_F(TablesTest, MagicShiftsAndStorageAreExact) {
  size_t rookEntries = 0, bishopEntries = 0;
  for (int s = 0; s < 64; s++) {
    rookEntries += size_t(1) << (64 - rookMagic[s].shift);
    bishopEntries += size_t(1) << (64 - bishopMagic[s].shift);
  }
  EXPECT_EQ(rookEntries, size_t(ROOK_STORAGE_SIZE));
  EXPECT_EQ(bishopEntries, size_t(BISHOP_STORAGE_SIZE));
  EXPECT_EQ(rookMagic[sq("a1")].shift, 52);
  EXPECT_EQ(rookMagic[sq("b1")].shift, 53);
  EXPECT_EQ(rookMagic[sq("d4")].shift, 54);
  EXPECT_EQ(bishopMagic[sq("a1")].shift, 58);
  EXPECT_EQ(bishopMagic[sq("e5")].shift, 55);
  EXPECT_EQ(bishopMagic[sq("c3")].shift, 57);
  EXPECT_EQ(bishopMagic[sq("b1")].shift, 59);
  EXPECT_EQ(rookMultipliers[0], 0x0180001420804001ull);
  EXPECT_EQ(rookMultipliers[1], 0x2040200010004000ull);
  EXPECT_EQ(bishopMultipliers[0], 0x0da0200a428908b0ull);
  EXPECT_EQ(bishopMultipliers[1], 0x0203100c01007003ull);
}

TEST_F(TablesTest, BetweenLineTypeAndSteps) {
  u64 diagonal = 0;
  for (const char* s : {"b2", "c3", "d4", "e5", "f6", "g7"}) diagonal |= squareMask[sq(s)];
  EXPECT_EQ(between[sq("a1")][sq("h8")], diagonal);
  EXPECT_EQ(between[sq("a1")][sq("b3")], 0u);
  EXPECT_EQ(between[sq("e4")][sq("e5")], 0u);
  EXPECT_EQ(between[sq("e4")][sq("e4")], 0u);
  EXPECT_EQ(lineType[sq("e1")][sq("e8")], 1);
  EXPECT_EQ(lineType[sq("a1")][sq("h1")], 2);
  EXPECT_EQ(lineType[sq("a1")][sq("h8")], 3);
  EXPECT_EQ(lineType[sq("h1")][sq("a8")], 4);
  EXPECT_EQ(lineType[sq("a1")][sq("b3")], 0);
  EXPECT_EQ(lineType[sq("c3")][sq("c3")], 0);
  EXPECT_EQ(pawnAttacks[WHITE][sq("a2")], squareMask[sq("b3")]);
  EXPECT_EQ(pawnAttacks[BLACK][sq("h7")], squareMask[sq("g6")]);
  EXPECT_EQ(pawnAttacks[WHITE][sq("e8")], 0u);
  EXPECT_EQ(pawnAttacks[BLACK][sq("e1")], 0u);
  EXPECT_EQ(popCount(knightAttacks[sq("a1")]), 2);
  EXPECT_EQ(popCount(knightAttacks[sq("d4")]), 8);
  EXPECT_EQ(popCount(kingAttacks[sq("h8")]), 3);
  EXPECT_EQ(popCount(diagonalMask[sq("a1")]), 8);
  EXPECT_EQ(antiDiagonalMask[sq("h1")] & squareMask[sq("a8")], squareMask[sq("a8")]);
  for (int s = 0; s < 64; s++) EXPECT_EQ(squareMask[s] | clearMask[s], ~0ull);
}

TEST_F(TablesTest, PopCountOfBothKinds) {
  EXPECT_EQ(popCount(0), 0);
  EXPECT_EQ(popCount(~0ull), 64);
  EXPECT_EQ(popCount(0x8000000000000001ull), 2);
  EXPECT_EQ(lsb(0x100ull), 8);
}

}  // namespace
