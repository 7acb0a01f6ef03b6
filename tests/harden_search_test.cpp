// Regression tests for faults that the stress test of the interactive
// program found in the search's end steps.
#include <gtest/gtest.h>

#include <memory>

#include "board/movetext.h"
#include "book/book.h"
#include "search/engine.h"

// A book move was reported with the previous search's predicted reply as
// the move to ponder on, which is not even legal after the book move.
TEST(HardenSearch, BookMoveOffersNoStalePonderMove) {
  std::unique_ptr<Engine> e(new Engine());
  e->init(1);
  e->newGame();
  // A search first, so that a predicted reply is left behind.
  e->limitMode = LimitDepth;
  e->maxDepth = 3;
  e->searching = 1;
  e->searchRoot();
  e->searching = 0;
  ASSERT_NE(e->ponderMove, MOVE_NONE);

  e->newGame();
  bookClear();
  bookAddMove(e->board.key, moveFromText(e->board, "d2d4", 4, false), 1, 50, 50);
  e->bookOn = 1;
  e->bookPlyLimit = BOOK_PLY_LIMIT;
  e->ponderMove = moveFromText(e->board, "g1f3", 4, false);
  e->searching = 1;
  e->searchRoot();
  e->searching = 0;
  ASSERT_EQ(e->gamePly, 1u);
  EXPECT_EQ(moveFrom(e->gameMoves[0].move), 11u);  // d2
  EXPECT_EQ(moveTo(e->gameMoves[0].move), 27u);    // d4
  EXPECT_EQ(e->ponderMove, MOVE_NONE);
  bookClear();
}
