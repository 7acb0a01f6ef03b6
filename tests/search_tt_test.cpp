// Transposition table: sizes, replacement and mate-score conversion.
#include <gtest/gtest.h>

#include "search/tt.h"

namespace {

struct TtTest : ::testing::Test {
  void TearDown() override { releaseHash(); }
};

// A key of the same bucket as `base`, different in the high bits.
u64 sameBucket(u64 base, int n) { return base + (u64(n + 1) << 40); }

TEST_F(TtTest, Sizes) {
  for (u32 request : {0u, 1u, 40000u}) {
    ASSERT_EQ(allocateHash(request), 1);
    EXPECT_EQ(hashTable.entryCount, 65536u);
    EXPECT_EQ(hashTable.mask, 65532u);
  }
  ASSERT_EQ(allocateHash(3), 1);
  EXPECT_EQ(hashTable.entryCount, 4u * 65536u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(hashTable.entries) % 64, 0u);
}

TEST_F(TtTest, StoreProbeAndReplacement) {
  ASSERT_EQ(allocateHash(1), 1);
  const u64 key = 0x123456789abcdef0ull;
  hashStore(key, 77, 15, 8, 0, 0);
  HashEntry* e = hashProbe(key);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->move, 77u);
  EXPECT_EQ(hashDataScore(e->data), 15);
  EXPECT_EQ(hashDataDepth(e->data), 8u);
  // Same key, move 0: the stored move stays.
  hashStore(key, 0, -20, 12, 0, 2);
  EXPECT_EQ(e->move, 77u);
  EXPECT_EQ(hashDataScore(e->data), -20);
  EXPECT_EQ(hashDataBound(e->data), 2u);
  // Four keys of the current age: a fifth replaces the shallowest, the first on ties.
  hashStore(sameBucket(key, 0), 1, 0, 8, 0, 0);
  hashStore(sameBucket(key, 1), 2, 0, 4, 0, 0);
  hashStore(sameBucket(key, 2), 3, 0, 4, 0, 0);
  hashStore(sameBucket(key, 3), 4, 0, 16, 0, 0);
  EXPECT_EQ(hashProbe(sameBucket(key, 1)), nullptr);
  EXPECT_NE(hashProbe(sameBucket(key, 2)), nullptr);
  // An older entry goes before any current one, even a shallower one.
  hashTable.age = 1;
  hashStore(sameBucket(key, 4), 5, 0, 4, 0, 0);
  hashStore(sameBucket(key, 5), 6, 0, 400, 0, 0);
  EXPECT_NE(hashProbe(sameBucket(key, 4)), nullptr);
  EXPECT_NE(hashProbe(sameBucket(key, 5)), nullptr);
  hashClear();
  EXPECT_EQ(hashProbe(key), nullptr);
  EXPECT_EQ(hashTable.age, 0u);
}

}  // namespace
