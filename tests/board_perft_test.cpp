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

// An X-FEN file letter names its rook, an inner one too; K/Q/k/q
// the outermost. Counts from Debian's stockfish 15.1 with UCI_Chess960; the
// written FEN names the same rooks and counts the same.
TEST_F(PerftTest, InnerCastlingRooksNamedByFileLetters) {
  const struct {
    const char* fen;
    const char* rights;  // castling field getFEN writes
    int depth;
    u64 nodes;
  } cases[] = {
      {"4k3/8/8/8/8/8/8/R1R1K3 w C - 0 1", "C", 4, 14230},
      {"4k3/8/8/8/8/8/8/RKR4R w AC - 0 1", "CQ", 4, 23507},
      {"r1r1k2r/ppppppp1/8/8/8/8/PPPPPPP1/R1R1K2R w CHch - 0 1", "KCkc", 4, 641123},
      {"rk1r3r/1ppppppp/8/8/8/8/1PPPPPPP/RK1R3R w DAda - 0 1", "DQdq", 4, 702081},
      {"1r2k1rr/pbpp1ppb/1pn1pn2/8/8/1PN1PN2/PBPP1PPB/1R2K1RR w GBgb - 0 1", "GQgq", 3, 43428},
      {"rrk5/8/8/8/8/8/8/4K3 b b - 0 1", "b", 4, 12199},    // the rook passes the king
      {"5krr/8/8/8/8/8/8/4K3 b g - 0 1", "g", 4, 10943},    // king and rook swap
      {"4k3/8/8/8/8/8/8/R3K1R1 w H - 0 1", "-", 4, 14871},  // no rook on h1: ignored
  };
  for (const auto& c : cases) {
    EXPECT_EQ(count(c.fen, c.depth), c.nodes) << c.fen;
    const std::string written = fen();
    EXPECT_NE(written.find(std::string(" ") + c.rights + " - "), std::string::npos) << written;
    EXPECT_EQ(count(written.c_str(), c.depth), c.nodes) << written;
  }
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
