// Root search: mates and draws found with the right scores, limits, time
// budgets, MultiPV, pondering end steps, reports and their order.
#include <gtest/gtest.h>

#include "book/book.h"
#include "search/root.h"
#include "search_testutil.h"

namespace {

const char* KIWIPETE_FEN = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

TEST(SearchRoot, MatesAndDrawsWithTheirScores) {
  const struct {
    const char* fen;
    int depth, score;
    const char* move;
  } cases[] = {
      {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 2, 31999, "a1a8"},
      {"k7/8/2K5/8/8/8/8/7R w - - 0 1", 4, 31997, nullptr},  // Kb6 or Kc7
      {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1", 6, 31995, "f6a6"},
      {"8/8/8/4k3/8/8/8/4KN2 w - - 0 1", 5, 0, nullptr},          // a knight alone cannot mate
      {"8/8/8/4k3/8/8/8/R3K3 w - - 99 80", 4, 0, nullptr},        // every quiet move reaches move fifty
      {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 99 80", 3, 31999, "a1a8"},  // but a mate given then is a mate
  };
  for (const auto& c : cases) {
    TestEngine t(c.fen);
    t.searchDepth(c.depth);
    EXPECT_EQ(t.score(), c.score) << c.fen;
    if (c.move) {
      EXPECT_EQ(squaresText(t->lastBestMove), c.move) << c.fen;
    }
  }
}

TEST(SearchRoot, NodeLimitStopsOnTheCallThatReachesIt) {
  const char* fens[] = {START_FEN, KIWIPETE_FEN, "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
                        "rnbqkb1r/pp1p1ppp/5n2/2pPp3/8/8/PPP1PPPP/RNBQKBNR w KQkq e6 0 4"};
  for (const char* fen : fens)
    for (u64 limit : {1ull, 57ull, 3000ull, 25000ull}) {
      TestEngine t(fen);
      Board before = t->board;
      t.searchNodes(limit);
      // The start position's root ordering finds no capture, so every node counts.
      if (fen == fens[0]) {
        EXPECT_EQ(t->nodes, limit);
      }
      // Even a search stopped at once plays a legal move, and only that move.
      ASSERT_NE(t->lastBestMove, 0u) << limit;
      ASSERT_EQ(t->gamePly, 1u) << fen << " " << limit;
      EXPECT_EQ(t->searching, 0u);
      EXPECT_TRUE(t->takeBack());
      EXPECT_TRUE(boardSamePosition(before, t->board)) << fen << " " << limit;
    }
}

TEST(SearchRoot, DepthZeroRunsNoIteration) {
  TestEngine t;
  Board before = t->board;
  t.searchDepth(0);
  ASSERT_EQ(t.output.calls.size(), 1u);
  EXPECT_EQ(t.output.calls[0].what, "done");
  EXPECT_EQ(t.output.calls[0].value, 1);
  EXPECT_EQ(t->depthReached, 0u);
  EXPECT_EQ(t->gamePly, 0u);
  EXPECT_TRUE(boardSamePosition(before, t->board));
}

TEST(SearchRoot, NoLegalMoveReturnsWithoutReport) {
  TestEngine t("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");  // stalemate
  t.search(LimitDepth);
  EXPECT_TRUE(t.output.calls.empty());
  TestEngine m("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");  // mate
  m.searchDepth(3);
  EXPECT_TRUE(m.output.calls.empty());
}

TEST(SearchRoot, ReportsEachIterationThenDone) {
  TestEngine t;
  t.searchDepth(4);
  const auto& c = t.output.calls;
  ASSERT_EQ(c.size(), 5u);
  for (int d = 1; d <= 4; d++) {
    EXPECT_EQ(c[d - 1].what, "pv");
    EXPECT_EQ(c[d - 1].value, d);
    EXPECT_EQ(c[d - 1].bound, 0);
  }
  EXPECT_EQ(c[4].what, "done");
  EXPECT_EQ(c[4].value, 1);
  EXPECT_EQ(t->depthReached, 4u);
  EXPECT_EQ(t->gamePly, 1u);
  EXPECT_EQ(t->lastBestMove, t->gameMoves[0].move);
  EXPECT_EQ(t->board.side, BLACK);
  // The best move leads the ordered root list, with the ponder move behind it.
  EXPECT_EQ(t->searchPlies[0].moves[0].move, t->lastBestMove);
  EXPECT_EQ(t->searchPlies[0].count, 20u);
  EXPECT_EQ(t->ponderMove, t->rootLines[0].pv.moves[1].move);
}

TEST(SearchRoot, BoundLinesOnlyFromAspirationPasses) {
  TestEngine t(KIWIPETE_FEN);
  t->testSuiteMode = 1;
  t.searchDepth(9);
  int exact = 0, bounds = 0, expectDepth = 1;
  for (const OutputCall& c : t.output.calls) {
    if (c.what != "pv") continue;
    if (c.bound == BOUND_EXACT) {
      EXPECT_EQ(c.value, expectDepth);
      exact++;
      expectDepth++;
    } else {
      // The window is full below iteration 6, so nothing can fail there; a
      // pass that failed low without a line reports the previous iteration's.
      EXPECT_GE(expectDepth, 6);
      EXPECT_TRUE(c.value == expectDepth || (c.bound == BOUND_UPPER && c.value == expectDepth - 1));
      bounds++;
    }
  }
  EXPECT_EQ(exact, 9);
  EXPECT_EQ(t.output.count("pv"), exact + bounds);
}

TEST(SearchRoot, SingleLegalMoveUnderClockStopsAfterFirstIteration) {
  TestEngine t("7k/8/8/8/8/8/6r1/7K w - - 0 1");
  t->movesToGo = 4;
  t->clock[WHITE] = 1000;
  t.search(LimitClock);
  EXPECT_EQ(t->timeBudget, 500000u);  // the first clock search of a game gets twice the share
  EXPECT_EQ(t->searchCount, 1u);
  ASSERT_EQ(t.output.count("pv"), 1);
  EXPECT_EQ(t.output.calls[0].value, 1);
  EXPECT_EQ(squaresText(t->lastBestMove), "h1g2");
  EXPECT_EQ(t->gamePly, 1u);
  EXPECT_EQ(t->rootState, 1u);
}

TEST(SearchRoot, MateFoundUnderClockEndsTheSearch) {
  TestEngine t("r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1");
  t->clock[WHITE] = t->clock[BLACK] = 600000;
  t.search(LimitClock);
  EXPECT_EQ(t.output.calls.back().what, "done");
  EXPECT_EQ(t.output.calls[t.output.calls.size() - 2].value, 6);
  EXPECT_EQ(squaresText(t->lastBestMove), "f6a6");
}

TEST(SearchRoot, MultiPVSearchesNoMoreLinesThanMoves) {
  TestEngine t("6rk/8/8/p7/8/P7/8/7K w - - 0 1");  // Kh2 and a4 only
  t->multiPV = 3;
  t.searchDepth(3);
  int maxIndex = 0;
  for (const OutputCall& c : t.output.calls)
    if (c.what == "multipv") maxIndex = std::max(maxIndex, c.index);
  EXPECT_EQ(maxIndex, 2);
  EXPECT_EQ(t.output.count("multipv"), 6);
  EXPECT_EQ(t.output.count("pv"), 0);
}

TEST(SearchRoot, MultiPVReportsAllLinesOncePerIterationInOrder) {
  TestEngine t;
  t->multiPV = 3;
  t.searchDepth(5);
  const auto& c = t.output.calls;
  ASSERT_EQ(c.size(), 16u);
  for (int d = 1; d <= 5; d++) {
    Move seen[3];
    for (int i = 0; i < 3; i++) {
      const OutputCall& call = c[(d - 1) * 3 + i];
      EXPECT_EQ(call.what, "multipv");
      EXPECT_EQ(call.index, i + 1);
      EXPECT_EQ(call.value, d);
      seen[i] = call.move;
      if (i > 0) {
        EXPECT_GE(c[(d - 1) * 3 + i - 1].score, call.score);
      }
    }
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_NE(seen[1], seen[2]);
    EXPECT_NE(seen[0], seen[2]);
  }
  EXPECT_EQ(c[15].what, "done");
  EXPECT_EQ(t->lastBestMove, c[12].move);
}

// Every batch of MultiPV lines names as many distinct moves as the batch
// before it, also while an iteration is only part done: the bound lines of
// a failed pass, the lines reported after each finished one and the last
// ones written on a stop.
TEST(SearchRoot, MultiPVBatchesNameDistinctMoves) {
  for (const char* fen : {START_FEN, KIWIPETE_FEN, "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3"})
    for (u64 limit : {20000ull, 60000ull, 150000ull, 400000ull, 1000000ull}) {
      TestEngine t(fen);
      t->multiPV = 4;
      t->testSuiteMode = 1;
      t.output.verboseAfterFirstReport = true;
      t.searchNodes(limit);
      std::vector<Move> batch;
      size_t lastSize = 0;
      auto check = [&]() {
        for (size_t i = 0; i < batch.size(); i++)
          for (size_t j = i + 1; j < batch.size(); j++)
            EXPECT_NE(batch[i], batch[j]) << fen << " " << limit << " line " << j + 1;
        EXPECT_GE(batch.size(), lastSize) << fen << " " << limit;
        lastSize = batch.size();
        batch.clear();
      };
      for (const OutputCall& c : t.output.calls) {
        if (c.what != "multipv") continue;
        if (c.index == 1 && !batch.empty()) check();
        ASSERT_EQ(c.index, int(batch.size()) + 1);
        if (c.move) batch.push_back(c.move);
      }
      check();
      EXPECT_EQ(lastSize, 4u) << fen << " " << limit;
    }
}

TEST(SearchRoot, TimeBudgetFormulas) {
  TestEngine t;
  Engine& e = *t.engine;
  const struct {
    u32 mode, searchCount, movesToGo, side;
    float clock;
    i32 increment;
    u32 budget;
  } cases[] = {
      // The first searches of a game get a larger share, but no plan may
      // reach the clock: the poll's hard stop sits at the budget itself.
      {LimitClock, 0, 1, WHITE, 1000, 0, 800000},
      {LimitClock, 1, 1, WHITE, 1000, 0, 800000},
      {LimitClock, 9, 1, WHITE, 1000, 0, 549999},
      {LimitClock, 10, 1, WHITE, 1000, 0, 500000},
      {LimitClock, 0, 2, WHITE, 3000, 0, 2400000},
      {LimitClock, 1, 2, WHITE, 3000, 0, 2400000},
      {LimitClock, 9, 2, WHITE, 3000, 0, 1649999},
      {LimitClock, 0, 1, WHITE, 3, 0, 2400},        // a clock of a few milliseconds
      {LimitClock, 0, 0, WHITE, 5, 100, 4000},      // an increment larger than the clock
      {LimitClock, 0, 0, WHITE, 10000, 0, 500000},  // sudden death well under the cap is untouched
      {LimitClock, 30, 40, WHITE, 60000, 0, 1500000},
      {LimitClock, 30, 0, WHITE, 60000, 0, 1500000},
      {LimitClock, 30, 0, WHITE, 60000, 2000, 4000000},
      {LimitClock, 30, 0, WHITE, 1000, 2000, 800000},  // the increment alone would overrun this clock
      {LimitClock, 30, 0, WHITE, 0, 2000, 0},
      {LimitClock, 30, 0, BLACK, 0, 0, 0},     // the side to move's clock is the one read
      {LimitClock, 30, 0, BLACK, -500, 0, 0},  // a clock past zero gives no time, not garbage
      {LimitInfinite, 30, 0, WHITE, 0, 0, 4294967295u},
  };
  for (const auto& c : cases) {
    e.limitMode = c.mode;
    e.searchCount = c.searchCount;
    e.movesToGo = c.movesToGo;
    e.board.side = c.side;
    e.clock[c.side] = c.clock;
    e.increment[c.side] = c.increment;
    e.clock[c.side ^ 1] = 60000;  // the other side's clock is never read
    e.increment[c.side ^ 1] = 2000;
    EXPECT_EQ(searchTimeBudget(e), c.budget) << c.searchCount << " " << c.clock << " " << c.increment;
  }
  e.limitMode = LimitMoveTime;
  e.moveTime = 1234567;
  EXPECT_EQ(searchTimeBudget(e), 1234567u);
}

TEST(SearchRoot, InfiniteRemembersButDoesNotPlay) {
  TestEngine t;
  Board before = t->board;
  t.output.stopDepth = 3;
  t.search(LimitInfinite);
  EXPECT_NE(t->lastBestMove, 0u);
  EXPECT_EQ(t->gamePly, 0u);
  EXPECT_TRUE(boardSamePosition(before, t->board));
  EXPECT_EQ(t.output.calls.back().value, 1);
  EXPECT_EQ(t->depthReached, 2u);
}

TEST(SearchRoot, PonderSearchTakesTheGuessedMoveBack) {
  // Ended by its own limit.
  {
    TestEngine t;
    Board before = t->board;
    ASSERT_TRUE(t->playMoveString("e2e4"));
    ASSERT_EQ(t->gamePly, 1u);
    t->pondering = 1;
    t.searchDepth(3);
    EXPECT_EQ(t.output.calls.back().what, "done");
    EXPECT_EQ(t.output.calls.back().value, 2);
    EXPECT_EQ(t->pondering, 0u);
    EXPECT_EQ(t->gamePly, 0u);
    EXPECT_NE(t->lastBestMove, 0u);
    EXPECT_TRUE(boardSamePosition(before, t->board));
  }
  // Stopped while pondering.
  {
    TestEngine t;
    Board before = t->board;
    ASSERT_TRUE(t->playMoveString("d2d4"));
    t->pondering = 1;
    t.output.stopDepth = 2;
    t.output.stopValue = StopPonder;
    t.search(LimitInfinite);
    EXPECT_EQ(t.output.calls.back().value, 2);
    EXPECT_EQ(t->gamePly, 0u);
    EXPECT_TRUE(boardSamePosition(before, t->board));
  }
}

TEST(SearchRoot, AbortPlaysNothing) {
  TestEngine t;
  Board before = t->board;
  t.output.stopDepth = 2;
  t.output.stopValue = StopAbort;
  t->depthReached = 77;  // the previous search's, which an abort keeps
  t.searchDepth(6);
  EXPECT_EQ(t.output.calls.back().what, "done");
  EXPECT_EQ(t.output.calls.back().value, 3);
  EXPECT_EQ(t->depthReached, 77u);
  EXPECT_EQ(t->gamePly, 0u);
  EXPECT_EQ(t->searching, 0u);
  EXPECT_TRUE(boardSamePosition(before, t->board));
}

TEST(SearchRoot, StrengthLimitKeepsFullStrengthAt2600) {
  TestEngine full(KIWIPETE_FEN);
  full.searchDepth(5);
  TestEngine limited(KIWIPETE_FEN);
  strengthElo = 2600;
  strengthLimited = 1;
  limited.searchDepth(5);
  EXPECT_EQ(full->nodes, limited->nodes);
  EXPECT_EQ(full->lastBestMove, limited->lastBestMove);
  strengthLimited = 0;
}

TEST(SearchRoot, NodeCountSignature) {
  // The nodes of fixed-depth searches from a fresh 4 MB table. The total
  // changes whenever the search, the move order or the evaluation changes:
  // update it only for a change meant to alter the search, never to make a
  // refactoring pass. It must not change from run to run.
  struct Case {
    const char* fen;
    int depth;
  } cases[] = {{START_FEN, 8}, {KIWIPETE_FEN, 7}, {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 10}};
  u64 total[2] = {0, 0};
  for (int run = 0; run < 2; run++)
    for (const Case& c : cases) {
      TestEngine t(c.fen);
      t.searchDepth(c.depth);
      total[run] += t->nodes;
    }
  EXPECT_EQ(total[0], total[1]);
  EXPECT_EQ(total[0], 41987u + 373910u + 97551u) << "search signature changed: " << total[0];
}

TEST(SearchRoot, BookMoveIsPlayedWithoutSearch) {
  TestEngine t;
  Board before = t->board;
  Move e4 = makeMoveValue(12, 28, PAWN, 0, 0, MOVE_DOUBLE);
  bookClear();
  bookAddMove(t->board.key, e4, 5, 0, 0);
  bookSort();
  t->bookOn = 1;
  t->bookPlyLimit = 20;
  // Even after an aborted search the book move is played and reported normally.
  t->stopRequest = StopAbort;
  t->nodes = 12345;
  t.searchDepth(6);
  ASSERT_EQ(t.output.calls.size(), 1u);
  EXPECT_EQ(t.output.calls[0].what, "done");
  EXPECT_EQ(t.output.calls[0].value, 1);
  EXPECT_EQ(t->lastBestMove, e4);
  EXPECT_EQ(t->nodes, 0u);
  EXPECT_EQ(t->depthReached, 1u);
  EXPECT_EQ(t->gamePly, 1u);
  // Past the ply limit the search runs.
  t->takeBack();
  EXPECT_TRUE(boardSamePosition(before, t->board));
  t->gamePly = 20;
  t.searchDepth(2);
  EXPECT_GT(t->nodes, 0u);
  bookClear();
}

}  // namespace
