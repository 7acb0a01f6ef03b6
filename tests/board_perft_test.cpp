// Perft counts of well-known positions against the rules of chess.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

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

// Every line of a suite at its deepest listed depth with at most `budget`
// leaves (else its shallowest); returns the number of lines checked.
int checkSuite(PerftFixture& f, const char* path, u64 budget) {
  std::ifstream file(path);
  EXPECT_TRUE(file.good()) << path;
  std::string line;
  int checked = 0;
  while (std::getline(file, line)) {
    if (line.size() < 2) continue;
    int bestDepth = 0, shallowDepth = 99;
    u64 bestCount = 0, shallowCount = 0;
    for (size_t at = line.find(";D"); at != std::string::npos; at = line.find(";D", at + 1)) {
      std::istringstream field(line.substr(at + 2));
      int depth = 0;
      u64 count = 0;
      if (!(field >> depth >> count)) continue;
      if (count <= budget && depth > bestDepth) bestDepth = depth, bestCount = count;
      if (depth < shallowDepth) shallowDepth = depth, shallowCount = count;
    }
    if (bestDepth == 0 && shallowDepth < 99) bestDepth = shallowDepth, bestCount = shallowCount;
    if (bestDepth == 0) continue;
    EXPECT_EQ(f.count(line.c_str(), bestDepth), bestCount) << line;
    checked++;
  }
  return checked;
}

TEST_F(PerftFixture, SuiteLinesAtTheirDeepestCheapDepth) {
  EXPECT_EQ(checkSuite(*this, TARVOK_TEST_DATA "/perftsuite.epd", 3000000), 128);
  EXPECT_EQ(checkSuite(*this, TARVOK_TEST_DATA "/chess960-sample.epd", 3000000), 24);
}

TEST_F(PerftFixture, StatisticsAndDivide) {
  ASSERT_TRUE(engine->setFEN("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"));
  PerftContext& pc = engine->perftContext;
  pc.nodes = pc.captures = pc.enPassant = pc.promotions = pc.castles = pc.checks = pc.mates = 0;
  perftdCount(&pc, 3);
  EXPECT_EQ(pc.nodes, 97862u);
  EXPECT_EQ(pc.captures, 17102u);
  EXPECT_EQ(pc.enPassant, 45u);
  EXPECT_EQ(pc.castles, 3162u);
  EXPECT_EQ(pc.promotions, 0u);
  EXPECT_EQ(pc.checks, 993u);
  EXPECT_EQ(pc.mates, 1u);
  // Promotions and mates of "position 5".
  ASSERT_TRUE(engine->setFEN("rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8"));
  pc.nodes = pc.captures = pc.enPassant = pc.promotions = pc.castles = pc.checks = pc.mates = 0;
  perftdCount(&pc, 1);
  EXPECT_EQ(pc.nodes, 44u);
  EXPECT_EQ(pc.promotions, 4u);
  EXPECT_EQ(divideCount(&pc, 3), 62379u);
  // A mated side counts nothing.
  ASSERT_TRUE(engine->setFEN("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1"));
  pc.nodes = 0;
  perftCount(&pc, 1);
  EXPECT_EQ(pc.nodes, 0u);
  EXPECT_EQ(divideCount(&pc, 1), 0u);
}

}  // namespace
