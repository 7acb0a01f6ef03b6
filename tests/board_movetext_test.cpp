// Move text output and coordinate input.
#include <gtest/gtest.h>

#include <string>

#include "board/fen.h"
#include "board/movetext.h"
#include "search/engine.h"

namespace {

constexpr int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

std::string text(Move m) {
  char out[16];
  moveToText(MoveSlot{m, 0}, out);
  return out;
}

struct MoveTextTest : ::testing::Test {
  static Engine* engine;
  static void SetUpTestSuite() {
    engine = new Engine();
    engine->init(1);
    engine->newGame();
  }
  static void TearDownTestSuite() {
    engine->releaseTables();
    delete engine;
  }
  void SetUp() override { engine->chess960 = 0; }
  std::string fen() {
    char out[FEN_BUFFER_SIZE];
    engine->getFEN(out);
    return out;
  }
};
Engine* MoveTextTest::engine = nullptr;

TEST_F(MoveTextTest, LongAlgebraicTexts) {
  EXPECT_EQ(text(MOVE_NONE), "");
  EXPECT_EQ(text(makeMoveValue(sq("b1"), sq("c3"), KNIGHT)), "Nb1-c3");
  EXPECT_EQ(text(makeMoveValue(sq("d4"), sq("e5"), PAWN, PAWN)), "d4xe5");
  EXPECT_EQ(text(makeMoveValue(sq("d1"), sq("h5"), QUEEN, PAWN)), "Qd1xh5");
  EXPECT_EQ(text(makeMoveValue(sq("e5"), sq("d6"), PAWN, PAWN, 0, MOVE_EP)), "e5xd6e.p");
  EXPECT_EQ(text(makeMoveValue(sq("e7"), sq("e8"), PAWN, 0, QUEEN) | MOVE_MARK_CHECK), "e7-e8=Q+");
  EXPECT_EQ(text(makeMoveValue(sq("e7"), sq("d8"), PAWN, ROOK, KNIGHT) | MOVE_MARK_MATE), "e7xd8=N#");
  EXPECT_EQ(text(makeMoveValue(sq("e1"), sq("h1"), KING, 0, 0, MOVE_CASTLE)), "O-O");
  EXPECT_EQ(text(makeMoveValue(sq("e1"), sq("a1"), KING, 0, 0, MOVE_CASTLE)), "O-O-O");
  EXPECT_EQ(makeMoveValue(52, 60, PAWN, 0, QUEEN), u32(52 | 60 << 6 | 1 << 12 | 5 << 18));
}

TEST_F(MoveTextTest, CastlingFromText) {
  ASSERT_TRUE(engine->setFEN("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"));
  ASSERT_TRUE(engine->playMoveString("e1g1"));
  EXPECT_EQ(fen(), "r3k2r/8/8/8/8/8/8/R4RK1 b kq - 1 1");
  ASSERT_TRUE(engine->playMoveString("O-O-O"));
  EXPECT_EQ(fen(), "2kr3r/8/8/8/8/8/8/R4RK1 w - - 2 2");
  // Chess960 notation: the king moves onto its own rook; e1g1 is a king move.
  engine->chess960 = 1;
  ASSERT_TRUE(engine->setFEN("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"));
  EXPECT_FALSE(engine->playMoveString("e1g1"));
  ASSERT_TRUE(engine->playMoveString("e1h1"));
  EXPECT_EQ(fen(), "r3k2r/8/8/8/8/8/8/R4RK1 b kq - 1 1");
  EXPECT_FALSE(engine->playMoveString("O-O"));  // f8 is attacked
  ASSERT_TRUE(engine->playMoveString("O-O-O"));
  EXPECT_EQ(engine->gameMoveCount, 2u);
}

TEST_F(MoveTextTest, PromotionsAndIllegalMoves) {
  ASSERT_TRUE(engine->setFEN("4k3/P7/8/8/8/8/8/4K3 w - - 0 1"));
  EXPECT_FALSE(engine->playMoveString("a7a8x"));
  ASSERT_TRUE(engine->playMoveString("a7a8n"));
  EXPECT_EQ(fen(), "N3k3/8/8/8/8/8/8/4K3 b - - 0 1");
  // Four characters onto the last rank promote to a queen.
  ASSERT_TRUE(engine->setFEN("4k3/P7/8/8/8/8/8/4K3 w - - 0 1"));
  ASSERT_TRUE(engine->playMoveString("a7a8"));
  EXPECT_EQ(fen(), "Q3k3/8/8/8/8/8/8/4K3 b - - 0 1");
  // A move into check, a king jump and a piece that is not there are refused.
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/8/8/8/r3K2R w K - 0 1"));
  const std::string before = fen();
  EXPECT_FALSE(engine->playMoveString("e1d1"));
  EXPECT_FALSE(engine->playMoveString("e1g1"));  // castling through nothing but in check
  EXPECT_FALSE(engine->playMoveString("e1e3"));
  EXPECT_FALSE(engine->playMoveString("d2d4"));
  EXPECT_FALSE(engine->playMoveString("e1"));
  EXPECT_FALSE(engine->playMoveString("Oxx"));
  EXPECT_FALSE(engine->playMoveString(""));
  EXPECT_EQ(fen(), before);
  EXPECT_EQ(engine->gameMoveCount, 0u);
  // Rights lost: e1g1 is neither castling nor a king move.
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/8/8/8/4K2R w - - 0 1"));
  EXPECT_FALSE(engine->playMoveString("e1g1"));
}

TEST_F(MoveTextTest, MoveLists) {
  engine->newGame();
  EXPECT_TRUE(engine->playMoveList("e2e4  e7e5 "));
  EXPECT_EQ(engine->gameMoveCount, 2u);
  EXPECT_EQ(engine->lastBestMove, makeMoveValue(sq("e7"), sq("e5"), PAWN, 0, 0, MOVE_DOUBLE));
  EXPECT_FALSE(engine->playMoveList(" g1f3"));
  EXPECT_TRUE(engine->playMoveList(""));
  EXPECT_FALSE(engine->playMoveList("g1f3 b8c6 f1c"));  // cut in the middle of a move
  EXPECT_EQ(engine->gameMoveCount, 4u);
  EXPECT_FALSE(engine->playMoveList("f1b5x"));
  ASSERT_TRUE(engine->setFEN("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1"));
  EXPECT_TRUE(engine->playMoveList("b7b8r e8d7 b8b1"));
  EXPECT_EQ(fen(), "8/3k4/8/8/8/8/8/1R2K3 b - - 2 2");
  // A diagonal pawn move onto an empty square with any e.p. file is built as
  // en passant and must pass the pseudo-legal test.
  ASSERT_TRUE(engine->setFEN("4k3/8/8/2pP4/8/8/8/4K3 w - c6 0 1"));
  EXPECT_FALSE(engine->playMoveString("d5e6"));
  EXPECT_TRUE(engine->playMoveString("d5c6"));
  EXPECT_EQ(fen(), "4k3/8/2P5/8/8/8/8/4K3 b - - 0 1");
  EXPECT_TRUE(engine->takeBack());
  EXPECT_EQ(fen(), "4k3/8/8/2pP4/8/8/8/4K3 w - c6 0 1");
  EXPECT_FALSE(engine->takeBack());
}

}  // namespace
