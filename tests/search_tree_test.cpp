// Alpha-beta and quiescence nodes: draws, mates, the table's use, move
// ordering, quiet checks and the strength limit's move skipping.
#include <gtest/gtest.h>

#include <algorithm>

#include "board/makemove.h"
#include "search/checks.h"
#include "search/movepick.h"
#include "search/searchutil.h"
#include "search_testutil.h"

namespace {

// Marks the engine's current position as a node and searches it.
i32 searchNode(TestEngine& t, int depth, i32 alpha = -32001, i32 beta = 32001, int ply = 1, u8 pv = 0) {
  Engine& e = *t.engine;
  e.limitMode = LimitDepth;
  e.stopRequest = StopNone;
  UndoRecord& node = e.board.undo[e.board.undoCount];
  node.inCheck = boardInCheck(e.board);
  node.searchFlag = pv ? 0 : 1;
  return e.alphaBeta(alpha, beta, depth, ply, 1);
}

TEST(SearchTree, MatesAndDrawsAtTheNode) {
  const struct {
    const char *fen, *moves;
    i32 alpha;
    int ply;
    i32 score;
    bool noNodes;
  } cases[] = {
      {"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", "", -32001, 3, 3 - 32000, false},        // mated
      {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "", -32001, 1, 0, false},                // stalemate
      {"8/8/8/4k3/8/8/8/R3K3 w - - 100 80", "", -32001, 1, 0, true},              // fifty-move rule
      {"R5k1/5ppp/8/8/8/8/8/6K1 b - - 100 80", "", -32001, 1, 1 - 32000, false},  // but mate on the last move
      // A repetition scores zero after one earlier occurrence.
      {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a2 e8d8 a2a1 d8e8", -32001, 1, 0, true},
      {"8/8/8/4k3/8/2n5/8/4K3 w - - 0 1", "", -32001, 1, 0, false},  // insufficient material
      // Nothing beats mate given at this ply: the window is empty.
      {START_FEN, "", 32000 - 3, 3, 32000 - 3, false},
  };
  for (const auto& c : cases) {
    TestEngine t(c.fen);
    ASSERT_TRUE(t->playMoveList(c.moves));
    EXPECT_EQ(searchNode(t, 12, c.alpha, 32001, c.ply), c.score) << c.fen;
    if (c.noNodes) {
      EXPECT_EQ(t->nodes, 0u) << c.fen;
    }
  }
  // Without the repetition a rook up is worth a lot.
  TestEngine fresh("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  EXPECT_GT(searchNode(fresh, 12), 300);
  // The quiescence search knows mate (but not stalemate) and material draws.
  TestEngine mated("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");
  mated->board.undo[mated->board.undoCount].inCheck = 1;
  EXPECT_EQ(mated->quiesce(-32001, 32001, 0, 5, 1), 5 - 32000);
  TestEngine knight("8/8/8/4k3/8/2n5/8/4K3 w - - 0 1");
  EXPECT_EQ(knight->quiesce(-32001, 32001, 0, 1, 1), 0);
}

TEST(SearchTree, TableProbeMatchesTheSearch) {
  TestEngine t;
  hashClear();
  const u64 key = 0x123456789abcdef0ull;
  Move m;
  i32 s;
  EXPECT_FALSE(hashProbeNode(key, 4, 0, -100, 100, &m, &s));
  EXPECT_EQ(m, 0u);
  // Mate scores travel as distances from the storing node.
  hashStore(key, 77, 31990, 8, 5, BOUND_EXACT);
  EXPECT_TRUE(hashProbeNode(key, 8, 7, -100, 100, &m, &s));
  EXPECT_EQ(s, 31988);
  EXPECT_EQ(m, 77u);
  hashStore(key, 0, -31990, 8, 5, BOUND_EXACT);
  EXPECT_TRUE(hashProbeNode(key, 8, 7, -100, 100, &m, &s));
  EXPECT_EQ(s, -31988);
  EXPECT_EQ(m, 77u);  // a store without a move keeps the stored one
  // Too shallow: the move, but no cut.
  EXPECT_FALSE(hashProbeNode(key, 12, 7, -100, 100, &m, &s));
  EXPECT_EQ(m, 77u);
  // Bounds cut on equality with the window's edge.
  hashStore(key, 5, 40, 8, 0, BOUND_UPPER);
  EXPECT_TRUE(hashProbeNode(key, 8, 0, 40, 100, &m, &s));
  EXPECT_FALSE(hashProbeNode(key, 8, 0, 39, 100, &m, &s));
  hashStore(key, 5, 40, 8, 0, BOUND_LOWER);
  EXPECT_TRUE(hashProbeNode(key, 8, 0, -100, 40, &m, &s));
  EXPECT_FALSE(hashProbeNode(key, 8, 0, -100, 41, &m, &s));
  // A cut renews the entry's age.
  hashTable.age = 9;
  EXPECT_TRUE(hashProbeNode(key, 8, 0, -100, 40, &m, &s));
  EXPECT_EQ(hashDataAge(hashProbe(key)->data), 9u);
  // Without a block every probe misses and nothing is stored.
  t->releaseTables();
  hashStore(key, 5, 40, 8, 0, BOUND_EXACT);
  EXPECT_FALSE(hashProbeNode(key, 8, 0, -100, 100, &m, &s));
  EXPECT_EQ(m, 0u);
  t->init(4);
  t->newGame();
  t.searchDepth(3);
  EXPECT_NE(t->lastBestMove, 0u);
}

// Every move the picker hands out at the root of the engine's position.
std::vector<std::pair<Move, i32>> pickAll(Engine& e, Move hashMove) {
  std::vector<std::pair<Move, i32>> out;
  pickerStart(e, 2, hashMove, boardInCheck(e.board));
  i32 score;
  Move m;
  while ((m = pickNextMove(e, 2, &score)) != 0) out.push_back({m, score});
  return out;
}

TEST(SearchOrder, StagesHandOutEveryMoveOnceInOrder) {
  // White: Qd1xd5? loses the queen to ...exd5 (pawn e6); b4xc5 wins a knight.
  TestEngine t("4k3/8/4p3/2np4/1P6/8/8/3QK3 w - - 0 1");
  Engine& e = *t.engine;
  Move quietHash = makeMoveValue(4, 12, KING);    // Ke1-e2
  e.killers[2][0] = makeMoveValue(3, 24, QUEEN);  // Qd1-a4
  e.killers[2][1] = makeMoveValue(4, 12, KING);   // same as the hash move
  e.history[WHITE][KING][5] = 50;                 // Ke1-f1 before the other king steps
  auto picked = pickAll(e, quietHash);
  // 1. hash move, 2. winning capture, 3. first killer, 4. quiet moves, 5. losing capture.
  ASSERT_GE(picked.size(), 5u);
  EXPECT_EQ(picked[0].first, quietHash);
  EXPECT_EQ(picked[0].second, 100000);
  EXPECT_EQ(squaresText(picked[1].first), "b4c5");
  EXPECT_EQ(picked[1].second, 50000 + 16 * 325 - 100);
  EXPECT_EQ(squaresText(picked[2].first), "d1a4");
  EXPECT_EQ(picked[2].second, 45010);
  EXPECT_EQ(squaresText(picked[3].first), "e1f1");
  EXPECT_EQ(picked[3].second, 4050);
  EXPECT_EQ(squaresText(picked.back().first), "d1d5");
  // All pseudo-legal moves, none twice.
  MoveSlot all[MAX_MOVES];
  u32 n = generateMoves(e.board, all, false);
  EXPECT_EQ(picked.size(), n);
  std::vector<Move> seen;
  for (auto& p : picked) seen.push_back(p.first);
  std::sort(seen.begin(), seen.end());
  EXPECT_TRUE(std::adjacent_find(seen.begin(), seen.end()) == seen.end());
  // Quiet moves of equal history keep the generation order.
  std::vector<Move> quiets;
  for (size_t i = 4; i + 1 < picked.size(); i++) quiets.push_back(picked[i].first);
  std::vector<Move> generated;
  for (u32 i = 0; i < n; i++) {
    Move m = all[i].move;
    if (moveIsQuiet(m) && m != quietHash && m != e.killers[2][0] && m != makeMoveValue(4, 5, KING))
      generated.push_back(m);
  }
  EXPECT_EQ(quiets, generated);
}

TEST(SearchOrder, ForeignHashMoveIsDropped) {
  TestEngine t;
  Move foreign = makeMoveValue(3, 39, QUEEN);  // Qd1-h5 through the own pawn
  auto picked = pickAll(*t.engine, foreign);
  EXPECT_EQ(picked.size(), 20u);
  for (auto& p : picked) EXPECT_NE(p.first, foreign);
}

TEST(SearchOrder, EvasionsHashFirstThenCapturesKillersHistory) {
  // White in check from the rook on e4: king steps, blocks, and Bxe4.
  TestEngine t("4k3/8/8/8/4r3/8/3B4/1B2K3 w - - 0 1");
  Engine& e = *t.engine;
  Move hash = makeMoveValue(4, 3, KING);  // Ke1-d1
  e.killers[2][0] = makeMoveValue(4, 5, KING);
  auto picked = pickAll(e, hash);
  ASSERT_GE(picked.size(), 3u);
  EXPECT_EQ(picked[0].first, hash);
  EXPECT_GT(picked[1].second, 50000);
  EXPECT_EQ(moveCaptured(picked[1].first), ROOK);
  for (size_t i = 1; i < picked.size(); i++) {
    EXPECT_NE(picked[i].first, hash);
    EXPECT_LE(picked[i].second, picked[i - 1].second);
  }
}

TEST(SearchOrder, KillersAndHistoryUpdates) {
  TestEngine t;
  Engine& e = *t.engine;
  Move a = makeMoveValue(6, 21, KNIGHT), b = makeMoveValue(1, 18, KNIGHT);
  updateKillersAndHistory(e, 4, a, 12);
  updateKillersAndHistory(e, 4, a, 12);
  EXPECT_EQ(e.killers[4][0], a);
  EXPECT_EQ(e.killers[4][1], 0u);
  updateKillersAndHistory(e, 4, b, 7);
  EXPECT_EQ(e.killers[4][0], b);
  EXPECT_EQ(e.killers[4][1], a);
  EXPECT_EQ(e.history[WHITE][KNIGHT][21], 18);
  EXPECT_EQ(e.history[WHITE][KNIGHT][18], 1);
  // History never reaches 10000.
  e.history[WHITE][KNIGHT][21] = 9990;
  updateKillersAndHistory(e, 4, a, 12);
  EXPECT_EQ(e.history[WHITE][KNIGHT][21], 9999);
  updateKillersAndHistory(e, 4, a, 4);
  EXPECT_EQ(e.history[WHITE][KNIGHT][21], 9999);
}

TEST(SearchOrder, ScoreAndSortMovesIsStable) {
  TestEngine t("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
  Engine& e = *t.engine;
  MoveSlot list[MAX_MOVES];
  u32 n = generateMoves(e.board, list, false);
  e.scoreAndSortMoves(list, n);
  EXPECT_EQ(movePromotion(list[0].move), QUEEN);
  EXPECT_EQ(list[0].score, 50000 - 100 + 16 * 975);
  // King moves keep their generation order; under-promotions sink with -1.
  EXPECT_EQ(list[n - 1].score, -1);
  EXPECT_EQ(list[n - 3].score, -1);
  for (u32 i = 2; i < n - 3; i++)
    if (movePiece(list[i].move) == KING && movePiece(list[i - 1].move) == KING) {
      EXPECT_LT(moveTo(list[i - 1].move), moveTo(list[i].move));
    }
}

// All quiet moves of the position that give check, found by trying them.
std::vector<Move> quietChecksByTrial(Board& b) {
  MoveSlot list[MAX_MOVES];
  u32 n = generateMoves(b, list, false);
  std::vector<Move> out;
  for (u32 i = 0; i < n; i++) {
    Move m = list[i].move;
    if (!moveIsQuiet(m) || moveIsCastling(m)) continue;
    makeMove(b, m);
    if (boardInCheck(b)) out.push_back(m);
    unmakeMove(b, m);
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(SearchChecks, QuietChecksAreExactlyTheCheckingQuietMoves) {
  const char* fens[] = {
      "4k3/8/8/8/8/8/4N3/4R1K1 w - - 0 1",  // knight discovers the rook
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "4k3/8/8/2B5/8/8/3P4/4K3 w - - 0 1",  // pawn blocks a bishop
      "4k3/8/8/8/8/8/5PPP/2Q1K2R w K - 0 1",
      "8/8/8/3k4/8/Q7/4P3/4K3 w - - 0 1",
      "3qk3/8/8/8/8/8/8/3QK3 b - - 0 1",
  };
  for (const char* fen : fens) {
    TestEngine t(fen);
    MoveSlot list[MAX_MOVES];
    u32 n = generateQuietChecks(t->board, list);
    std::vector<Move> got;
    for (u32 i = 0; i < n; i++) got.push_back(list[i].move);
    std::sort(got.begin(), got.end());
    EXPECT_TRUE(std::adjacent_find(got.begin(), got.end()) == got.end()) << fen;
    // Pseudo-legal checks: the trial keeps moves that leave the own king attacked too.
    EXPECT_EQ(got, quietChecksByTrial(t->board)) << fen;
  }
}

TEST(SearchStrength, LimitSkipsTheSecondAndThirdMove) {
  // Five quiet moves, no checks for the reply: every searched move is one node.
  const char* fen = "7k/8/8/8/8/8/4P3/K7 w - - 0 1";
  TestEngine full(fen);
  searchNode(full, 4, -32001, 32001, 1, 1);
  EXPECT_EQ(full->nodes, 5u);
  TestEngine weak(fen);
  strengthElo = 1000;
  strengthLimited = 1;
  searchNode(weak, 4, -32001, 32001, 1, 1);
  EXPECT_EQ(weak->nodes, 3u);
  strengthElo = 2600;
  strengthLimited = 0;
}

TEST(SearchPoll, LimitsByModeAndCadence) {
  TestEngine t;
  Engine& e = *t.engine;
  e.stopRequest = StopNone;
  e.pollCounter = 0;
  e.startTime = {0, 0};  // long ago: any time budget is used up
  e.timeBudget = 1000;
  // Node limit: on the very call, not only when the poll is due.
  e.limitMode = LimitNodes;
  e.nodeLimit = 100;
  e.nodes = 99;
  EXPECT_TRUE(e.pollSearch());
  e.nodes = 100;
  e.pondering = 1;  // no limit while pondering
  EXPECT_TRUE(e.pollSearch());
  e.pondering = 0;
  EXPECT_FALSE(e.pollSearch());
  EXPECT_EQ(e.stopRequest, u32(StopNow));
  // Depth and infinite searches never stop by themselves.
  for (u32 mode : {u32(LimitDepth), u32(LimitInfinite)}) {
    e.stopRequest = StopNone;
    e.limitMode = mode;
    e.pollCounter = e.pollInterval - 1;
    EXPECT_TRUE(e.pollSearch());
    EXPECT_EQ(e.stopRequest, u32(StopNone));
  }
  // Time: read only when the poll is due, every pollInterval calls.
  e.limitMode = LimitMoveTime;
  e.pollCounter = 0;
  for (u32 i = 1; i < e.pollInterval; i++) ASSERT_TRUE(e.pollSearch()) << i;
  EXPECT_FALSE(e.pollSearch());
  EXPECT_EQ(e.pollCounter, 0u);
  EXPECT_EQ(e.stopRequest, u32(StopNow));
}

}  // namespace
