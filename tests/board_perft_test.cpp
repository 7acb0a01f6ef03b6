// Perft counts of well-known positions against the rules of chess.
#include <gtest/gtest.h>

#include <cstdlib>

#include "board/fen.h"
#include "board/perft.h"
#include "search/engine.h"

namespace {

// An engine with its tables and a move buffer for the counters.
struct PerftFixture : ::testing::Test {
  Engine* engine = nullptr;
  void SetUp() override {
    engine = new Engine();
    engine->init(1);
    engine->newGame();
    engine->perftContext.moveBuffer = static_cast<SearchPly*>(calloc(MAX_PLY, sizeof(SearchPly)));
  }
  void TearDown() override {
    free(engine->perftContext.moveBuffer);
    engine->perftContext.moveBuffer = nullptr;
    engine->releaseTables();
    delete engine;
  }
  u64 count(const char* fen, int depth) {
    EXPECT_TRUE(engine->setFEN(fen)) << fen;
    engine->perftContext.nodes = 0;
    perftCount(&engine->perftContext, depth);
    EXPECT_TRUE(boardIsConsistent(engine->board));
    return engine->perftContext.nodes;
  }
};

TEST_F(PerftFixture, StartPosition) {
  EXPECT_EQ(count(START_FEN, 1), 20u);
  EXPECT_EQ(count(START_FEN, 2), 400u);
  EXPECT_EQ(count(START_FEN, 3), 8902u);
  EXPECT_EQ(count(START_FEN, 5), 4865609u);
}

TEST_F(PerftFixture, Kiwipete) {
  EXPECT_EQ(count("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 4), 4085603u);
}

}  // namespace
