// Static exchange evaluation.
#include <gtest/gtest.h>

#include "board/see.h"
#include "search/engine.h"

namespace {

constexpr int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

struct SeeTest : ::testing::Test {
  static Engine* engine;
  static void SetUpTestSuite() {
    engine = new Engine();
    engine->init(1);
  }
  static void TearDownTestSuite() {
    engine->releaseTables();
    delete engine;
  }
  // SEE of a move given by squares; piece and captured type come from the board.
  i32 seeOf(const char* fen, const char* from, const char* to, u32 flags = 0, int promotion = 0) {
    EXPECT_TRUE(engine->setFEN(fen)) << fen;
    const Board& b = engine->board;
    const int captured = (flags & MOVE_EP) ? int(PAWN) : int(b.squares[sq(to)]);
    return see(b, makeMoveValue(sq(from), sq(to), b.squares[sq(from)], captured, promotion, flags));
  }
};
Engine* SeeTest::engine = nullptr;

TEST_F(SeeTest, ExchangeExamples) {
  // Pawn takes an undefended knight.
  EXPECT_EQ(seeOf("4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", "e4", "d5"), 325);
  // Queen takes a pawn defended by a pawn.
  EXPECT_EQ(seeOf("4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1", "d1", "d5"), -875);
  // Rook takes a rook defended once, with a second own rook behind (x-ray).
  EXPECT_EQ(seeOf("3r3k/3r4/8/8/8/8/3R4/3RK3 w - - 0 1", "d2", "d7"), 500);
  // King takes a knight defended by a pawn.
  EXPECT_EQ(seeOf("4k3/8/8/8/8/2p5/3n4/4K3 w - - 0 1", "e1", "d2"), -4675);
  // Queen takes a knight defended only by the king while a rook also attacks.
  EXPECT_EQ(seeOf("8/8/8/8/8/4k3/R2n4/3Q3K w - - 0 1", "d1", "d2"), 325);
}

TEST_F(SeeTest, SpecialMoves) {
  // En passant: the captured pawn's square is emptied first.
  EXPECT_EQ(seeOf("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5", "d6", MOVE_EP), 100);
  // Promotion capture: the captured piece only; the promoted piece counts as a pawn.
  EXPECT_EQ(seeOf("1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7", "b8", 0, QUEEN), 500);
  EXPECT_EQ(seeOf("rr2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7", "b8", 0, QUEEN), 400);
  // Quiet moves.
  EXPECT_EQ(seeOf("4k3/8/8/8/8/8/8/1N2K3 w - - 0 1", "b1", "c3"), 0);
  EXPECT_EQ(seeOf("4k3/8/8/1p6/8/8/8/1N2K3 w - - 0 1", "b1", "c3"), 0);
  EXPECT_EQ(seeOf("4k3/8/8/8/3p4/8/8/1N2K3 w - - 0 1", "b1", "c3"), -325);
}

}  // namespace
