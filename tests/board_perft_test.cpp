// Perft counts of well-known positions against the rules of chess.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "board/perft.h"
#include "test_support.h"

namespace {

// The shared engine with a move buffer for the counters.
struct PerftTest : EngineTest {
  PerftContext& pc = engine->perftContext;
  void SetUp() override { pc.moveBuffer = static_cast<SearchPly*>(calloc(MAX_PLY, sizeof(SearchPly))); }
  void TearDown() override {
    free(pc.moveBuffer);
    pc.moveBuffer = nullptr;
  }
  u64 count(const char* fen, int depth) {
    EXPECT_TRUE(engine->setFEN(fen)) << fen;
    pc.nodes = 0;
    perftCount(&pc, depth);
    EXPECT_TRUE(boardIsConsistent(board()));
    return pc.nodes;
  }
  // Every line of a suite at its deepest listed depth with at most `budget`
  // leaves (else its shallowest); returns the number of lines checked.
  int checkSuite(const char* path, u64 budget) {
    std::ifstream file(path);
    EXPECT_TRUE(file.good()) << path;
    std::string line;
    int checked = 0;
    while (std::getline(file, line)) {
      int bestDepth = 0, shallowDepth = 99;
      u64 bestCount = 0, shallowCount = 0;
      for (size_t at = line.find(";D"); at != std::string::npos; at = line.find(";D", at + 1)) {
        std::istringstream field(line.substr(at + 2));
        int depth = 0;
        u64 n = 0;
        if (!(field >> depth >> n)) continue;
        if (n <= budget && depth > bestDepth) bestDepth = depth, bestCount = n;
        if (depth < shallowDepth) shallowDepth = depth, shallowCount = n;
      }
      if (bestDepth == 0 && shallowDepth < 99) bestDepth = shallowDepth, bestCount = shallowCount;
      if (bestDepth == 0) continue;
      EXPECT_EQ(count(line.c_str(), bestDepth), bestCount) << line;
      checked++;
    }
    return checked;
  }
};

TEST_F(PerftTest, StartPositionAndKiwipete) {
  EXPECT_EQ(count(START_FEN, 3), 8902u);
  EXPECT_EQ(count(START_FEN, 5), 4865609u);
  EXPECT_EQ(count("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 4), 4085603u);
}

TEST_F(PerftTest, SuiteLinesAtTheirDeepestCheapDepth) {
  EXPECT_EQ(checkSuite(TARVOK_TEST_DATA "/perftsuite.epd", 3000000), 128);
  EXPECT_EQ(checkSuite(TARVOK_TEST_DATA "/chess960-sample.epd", 3000000), 24);
}

TEST_F(PerftTest, StatisticsAndDivide) {
  // Promotions of "position 5" (the program's tool test checks Kiwipete's other figures).
  set("rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8");
  pc.nodes = pc.captures = pc.enPassant = pc.promotions = pc.castles = pc.checks = pc.mates = 0;
  perftdCount(&pc, 1);
  EXPECT_EQ(pc.nodes, 44u);
  EXPECT_EQ(pc.promotions, 4u);
  EXPECT_EQ(divideCount(&pc, 3), 62379u);
  // A mated side counts nothing.
  EXPECT_EQ(count("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", 1), 0u);
  EXPECT_EQ(divideCount(&pc, 1), 0u);
}

}  // namespace
