// Properties over positions from random legal games: colour symmetry, the
// pawn hash against fresh computation, and the lazy evaluation's full window.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "board/makemove.h"
#include "board/movegen.h"
#include "eval/eval.h"
#include "test_support.h"

namespace {

// The FEN of the same position with colours exchanged (board turned over,
// letters' case swapped, the other side to move).
std::string mirrorFen(const std::string& fen) {
  char placement[100] = "", side[4] = "", castle[8] = "", ep[4] = "";
  int half = 0, full = 1;
  sscanf(fen.c_str(), "%99s %3s %7s %3s %d %d", placement, side, castle, ep, &half, &full);
  std::vector<std::string> ranks;
  std::string cur;
  for (const char* p = placement; *p; p++) {
    if (*p == '/') {
      ranks.push_back(cur);
      cur.clear();
    } else {
      cur += char(isupper((unsigned char)*p) ? tolower(*p) : toupper(*p));
    }
  }
  ranks.push_back(cur);
  std::string out;
  for (size_t i = ranks.size(); i-- > 0;) out += ranks[i] + (i ? "/" : "");
  out += side[0] == 'w' ? " b " : " w ";
  std::string upper, lower;
  if (castle[0] != '-') {
    for (const char* p = castle; *p; p++) {
      if (isupper((unsigned char)*p))
        lower += char(tolower(*p));
      else
        upper += char(toupper(*p));
    }
  }
  out += (upper + lower).empty() ? "-" : upper + lower;
  std::string epText = ep;
  if (epText.size() == 2) epText[1] = epText[1] == '3' ? '6' : '3';
  out += " " + epText + " " + std::to_string(half) + " " + std::to_string(full);
  return out;
}

// Positions (as FEN) from random games that like to capture, so that many
// reach the endings the special rules cover.
std::vector<std::string> randomGamePositions(int games, int maxPlies) {
  std::vector<std::string> fens;
  std::mt19937 rng(20261209);
  std::unique_ptr<Board> board(new Board());
  Board& b = *board;
  MoveSlot list[MAX_MOVES], legal[MAX_MOVES];
  char fen[FEN_BUFFER_SIZE];
  for (int g = 0; g < games; g++) {
    boardSetFEN(b, START_FEN);
    for (int ply = 0; ply < maxPlies; ply++) {
      u32 n = generateMoves(b, list, boardInCheck(b));
      u32 count = 0, captures = 0;
      for (u32 i = 0; i < n; i++) {
        makeMove(b, list[i].move);
        bool ok = !isSquareAttacked(b, b.kingSquare[b.opponent], b.side);
        unmakeMove(b, list[i].move);
        if (!ok) continue;
        // Captures first in the kept list.
        if (moveCaptured(list[i].move)) {
          legal[count] = legal[captures];
          legal[captures++] = list[i];
          count++;
        } else {
          legal[count++] = list[i];
        }
      }
      if (count == 0 || b.halfmove >= 100) break;
      u32 pick = (captures && rng() % 2) ? rng() % captures : rng() % count;
      makeMove(b, legal[pick].move);
      // Restart the stacks from every position so long games never fill them.
      boardGetFEN(b, fen, sizeof fen);
      boardSetFEN(b, fen);
      fens.push_back(fen);
    }
  }
  return fens;
}

const std::vector<std::string>& samplePositions() {
  static std::vector<std::string> fens = (evalTestInit(), randomGamePositions(300, 300));
  return fens;
}

}  // namespace

TEST(EvalSymmetry, MirroredPositionScoresTheSame) {
  ASSERT_EQ(strengthLimited, 0);
  const auto& fens = samplePositions();
  ASSERT_GT(fens.size(), 20000u);
  int failures = 0, ruled = 0;
  for (const std::string& fen : fens) {
    std::string mirrored = mirrorFen(fen);
    auto a = boardFromFen(fen.c_str());
    auto m = boardFromFen(mirrored.c_str());
    ASSERT_TRUE(a && m) << fen << " / " << mirrored;
    ruled += a->stage >= 2;
    int ea = evaluate(*a), em = evaluate(*m);
    if (ea != em && ++failures <= 5) ADD_FAILURE() << fen << " = " << ea << ", " << mirrored << " = " << em;
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(ruled, 1000);  // the sample reaches the small endings
}

TEST(EvalSymmetry, PawnHashHitsEqualFreshComputation) {
  const auto& fens = samplePositions();
  int failures = 0;
  for (const std::string& fen : fens) {
    auto b = boardFromFen(fen.c_str());
    ASSERT_TRUE(b != nullptr);
    // The pawn terms through the table (a miss or a hit), surely a hit, and
    // without any table.
    i32 sums[3][2] = {};
    u64 attacked[3][2];
    evaluatePawns(*b, sums[0][0], sums[0][1], attacked[0]);
    evaluatePawns(*b, sums[1][0], sums[1][1], attacked[1]);
    int scored = evaluate(*b);
    PawnHashEntry* saved = pawnHashTable.entries;
    pawnHashTable.entries = nullptr;
    evaluatePawns(*b, sums[2][0], sums[2][1], attacked[2]);
    int fresh = evaluate(*b);
    pawnHashTable.entries = saved;
    bool same = scored == fresh;
    for (int k = 1; k < 3; k++)
      same = same && sums[k][0] == sums[0][0] && sums[k][1] == sums[0][1] && attacked[k][0] == attacked[0][0] &&
             attacked[k][1] == attacked[0][1];
    if (b->pawnKey) {
      PawnHashEntry want;
      pawnEntryCompute(*b, want);
      const PawnHashEntry& got = pawnHashTable.entries[pawnHashSlot(b->pawnKey, pawnHashTable.count)];
      same = same && got.key == want.key && got.mg == want.mg && got.eg == want.eg && got.passed[0] == want.passed[0] &&
             got.passed[1] == want.passed[1] && got.pawnAttacked[0] == want.pawnAttacked[0] &&
             got.pawnAttacked[1] == want.pawnAttacked[1];
    }
    if (!same && ++failures <= 5) ADD_FAILURE() << fen << ": " << scored << " " << fresh;
  }
  EXPECT_EQ(failures, 0);
}

TEST(EvalSymmetry, LazyWithTheWidestWindowIsTheFullScore) {
  const auto& fens = samplePositions();
  for (const std::string& fen : fens) {
    auto b = boardFromFen(fen.c_str());
    ASSERT_TRUE(b != nullptr);
    ASSERT_EQ(evaluateLazy(*b, -32000, 32000), evaluate(*b)) << fen;
  }
}

TEST(EvalSymmetry, MirrorOfTheMirrorIsTheSamePosition) {
  EXPECT_EQ(mirrorFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"),
            "r3k2r/pppbbppp/2n2q1P/1P2p3/3pn3/BN2PNP1/P1PPQPB1/R3K2R b KQkq - 0 1");
  EXPECT_EQ(mirrorFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 3"), "4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 3");
}
