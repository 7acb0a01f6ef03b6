// Regression tests for faults that fuzzing found in the readers of files and
// text: each input here once crashed, hung or broke a promise of its reader.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/testsuite.h"
#include "board/fen.h"
#include "e2e_driver.h"
#include "search/engine.h"

namespace {

// Writes `text` to a fresh temporary file and returns its path.
std::string writeTempFile(const char* stem, const std::string& text) {
  char path[128];
  snprintf(path, sizeof path, "/tmp/tarvok-harden-%s-%d", stem, int(getpid()));
  FILE* f = fopen(path, "wb");
  if (f) {
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }
  return path;
}

}  // namespace

// A carriage return before "bm" once made the field scan find the same field
// forever, so "-testsuite" never ended.
TEST(HardenInputs, EpdFieldAfterCarriageReturnIsNotFoundAgain) {
  const char* line = "8/8/8/8/8/5k2/8/5K2 w\r - - bm Kg1; id \"x\";\n";
  EpdField field;
  int scan = 0, found = 0;
  while (found < 10 && findEpdField(line, scan, &field)) {
    ASSERT_GT(field.next, scan);
    scan = field.next;
    ++found;
  }
  EXPECT_LE(found, 1);

  const std::string path = writeTempFile("cr", std::string(line) + "8/8/8/8/8/5k2/8/5K2 w - - bm Kg1; id \"y\";\n");
  const ToolRun run = runTool(TARVOK_BIN_POPCNT, {"-testsuite", path, "0.01"}, 20000);
  remove(path.c_str());
  EXPECT_FALSE(run.timedOut);
  EXPECT_NE(run.out.find(" / 2\n"), std::string::npos) << run.out;
}

// A FEN without castling rights makes the king's square its start square;
// a one-step king move from there to the g or c file was then read as
// castling onto the rook's square and refused, so a legal GUI move was lost.
TEST(HardenInputs, KingStepToCastlingFileIsAnOrdinaryMove) {
  std::unique_ptr<Engine> e(new Engine());
  e->init(1);
  e->newGame();
  ASSERT_TRUE(e->setFEN("rn2kb1r/1p3ppp/2p2q1n/p2pP3/1P2P3/N4N2/P1P2KPP/R1BQ1B1R b kq - 1 12"));
  ASSERT_TRUE(e->playMoveString("h6g4"));
  EXPECT_TRUE(e->playMoveString("f2g1"));
  ASSERT_TRUE(e->setFEN("4k3/8/8/8/8/8/3K4/R6R w - - 0 1"));
  EXPECT_TRUE(e->playMoveList("d2c1 e8d8 c1d2 d8e8 d2e1 e8d8 e1f1"));
  // A Chess960 position read as standard chess: "b1c1" of a king on b1 is a
  // king step, not castling with the rook on a1.
  ASSERT_TRUE(e->setFEN("rk2r3/8/8/8/8/8/8/RK2R3 w AEae - 0 1"));
  EXPECT_TRUE(e->playMoveString("b1c1"));
  char after[FEN_BUFFER_SIZE];
  e->getFEN(after, sizeof after);
  EXPECT_EQ(std::string(after).substr(0, std::string(after).find(' ')), "rk2r3/8/8/8/8/8/8/R1K1R3");
  // With the right, the same text is still castling.
  ASSERT_TRUE(e->setFEN("4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1"));
  EXPECT_TRUE(e->playMoveString("e1g1"));
  char fen[FEN_BUFFER_SIZE];
  e->getFEN(fen, sizeof fen);
  const std::string text = fen;
  EXPECT_EQ(text.substr(0, text.find(' ')), "4k3/8/8/8/8/8/8/R4RK1");
}

// A perft suite field with a depth of many digits overflowed the depth
// count (undefined behaviour; the sanitizer build of this test catches it).
TEST(HardenInputs, PerftSuiteLongDepthFieldIsNoDepth) {
  const std::string path = writeTempFile("perftsuite",
                                         "4k3/8/8/8/8/8/8/4K2R w K - 0 1 ;D99999999999999999999 15 ;D1 15\n"
                                         "4k3/8/8/8/8/8/8/4K2R w K - 0 1 ;D4294967297 15\n");
  const ToolRun run = runTool(TARVOK_BIN_POPCNT, {"-perftsuite", path, "1"}, 20000);
  remove(path.c_str());
  EXPECT_FALSE(run.timedOut);
  EXPECT_NE(run.out.find("score = 1 / 2"), std::string::npos) << run.out;
}
