// Worked values of the evaluation terms: endgame rules, pawn structure,
// passed pawns, piece terms, king shield, the frame and the lazy margin.
#include <gtest/gtest.h>

#include "eval/eval.h"
#include "eval/pieces.h"
#include "test_support.h"

namespace {

// Adjusted material as the frame computes it (bishop pair, pawnless side).
void adjustedMaterial(const Board& b, i32 adjusted[2]) {
  for (int c = BLACK; c <= WHITE; c++) {
    adjusted[c] = b.material[c];
    if (popCount(b.pieces[c][BISHOP]) >= 2) adjusted[c] += 50;
    if (b.pieces[c][PAWN] == 0) adjusted[c] -= 50;
  }
}

struct Sums {
  i32 mg, eg;
};

// Piece, king and king-safety terms of a position (white's view).
Sums pieceTerms(const Board& b) {
  PawnHashEntry entry;
  pawnEntryCompute(b, entry);
  i32 adjusted[2];
  adjustedMaterial(b, adjusted);
  Sums s = {0, 0};
  evaluatePieces(b, entry.pawnAttacked, adjusted, s.mg, s.eg);
  return s;
}

// Score built from the parts with the given pattern term, for positions
// that no endgame rule touches and with the strength limit off.
int composedScore(const Board& b, int patterns) {
  i32 adjusted[2];
  adjustedMaterial(b, adjusted);
  i32 base = adjusted[WHITE] - adjusted[BLACK] + (b.side == WHITE ? 5 : -5);
  i32 mg = base + patterns, eg = base;
  u64 attacked[2];
  evaluatePawns(b, mg, eg, attacked);
  evaluatePieces(b, attacked, adjusted, mg, eg);
  i32 p = b.phase[WHITE] + b.phase[BLACK];
  i32 score = (eg * (24 - p) + mg * p) / 24;
  return b.side == WHITE ? score : -score;
}

}  // namespace

TEST(EvalFrame, StartPositionIsTheTempoForEitherSide) {
  EXPECT_EQ(evalFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"), 5);
  EXPECT_EQ(evalFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"), 5);
}

TEST(EvalFrame, PatternTermsEnterTheMiddleGameSum) {
  struct Case {
    const char* fen;
    int patterns;
  } cases[] = {
      {"r2qk2r/8/8/8/8/8/8/R2QK2R w - - 0 1", 0},
      {"r2qk2r/B7/1p6/8/8/8/8/R2QK2R w - - 0 1", -100},  // bishop a7 shut in by b6
      {"r2qk2r/8/8/8/8/1P6/b7/R2QK2R b - - 0 1", 100},   // black bishop a2, white b3
      {"r2qk2r/N7/p7/8/8/8/8/R2QK2R w - - 0 1", 0},      // knight a7 needs b7 and a6
      {"r2qk2r/Np6/p7/8/8/8/8/R2QK2R w - - 0 1", -100},  // knight a7 with b7 and a6
      {"r2qk2r/8/8/8/8/3N4/3P4/R2QK2R w - - 0 1", -20},  // d2 behind a piece on d3
      {"r2qk2r/8/8/8/8/4n3/4P3/R2QK2R w - - 0 1", -20},  // e2 behind an enemy piece
      {"r2qk2r/4p3/4N3/8/8/8/8/R2QK2R w - - 0 1", 20},   // black e7 behind e6
      {"r2qk2r/8/8/8/8/8/8/R2Q2KR w - - 0 1", -50},      // king g1, rook h1
      {"r2qk2r/8/8/8/8/8/8/RK1Q3R w - - 0 1", -50},      // king b1, rook a1
      {"r2qk2r/8/8/8/8/8/8/R2QK2R w - - 0 1", 0},        // king e1 never
      {"rk1q3r/8/8/8/8/8/8/R2QK2R b - - 0 1", 50},       // black king b8, rook a8
  };
  for (const Case& c : cases) {
    auto b = boardFromFen(c.fen);
    ASSERT_TRUE(b != nullptr) << c.fen;
    ASSERT_LT(b->stage, 2) << c.fen;
    EXPECT_EQ(evaluate(*b), composedScore(*b, c.patterns)) << c.fen;
  }
}

TEST(EvalFrame, TaperIsNotClampedWithPromotedPieces) {
  // Phase 40: the end-game sum gets weight -16.
  auto c = boardFromFen("qqqrrbbk/nnpppppp/8/8/8/8/NNPPPPPP/QQQRRBBK w - - 0 1");
  ASSERT_TRUE(c != nullptr);
  ASSERT_EQ(c->phase[WHITE] + c->phase[BLACK], 40);
  EXPECT_EQ(evaluate(*c), composedScore(*c, 0));
}

TEST(EvalEndgame, BareMinorsAndEqualMinorsAreDraws) {
  const char* fens[] = {
      "8/8/8/4k3/8/8/8/4K3 w - - 0 1",     "8/8/8/4k3/8/8/8/4K3 b - - 0 1",     "8/8/8/4k3/8/8/3N4/4K3 b - - 0 1",
      "8/8/8/4k3/8/8/3b4/4K3 w - - 0 1",   "8/8/8/4k3/8/8/2NN4/4K3 w - - 0 1",  "8/8/3n4/4k3/8/8/3N4/4K3 w - - 0 1",
      "8/8/3b4/4k3/8/8/3N4/4K3 w - - 0 1", "8/8/3b4/4k3/8/8/3B4/4K3 b - - 0 1",
  };
  for (const char* fen : fens) EXPECT_EQ(evalFen(fen), 0) << fen;
}

TEST(EvalEndgame, LoneQueenOrRookIsDrivenToTheEdge) {
  // Edge value 0 on e4, kings two apart (25), plus the piece.
  EXPECT_EQ(evalFen("8/8/8/8/4k3/8/4K3/Q7 w - - 0 1"), 1000);
  EXPECT_EQ(evalFen("8/8/8/8/4k3/8/4K3/Q7 b - - 0 1"), -1000);
  EXPECT_EQ(evalFen("8/8/8/8/4k3/8/4K3/R7 w - - 0 1"), 525);
  // Black rook, white king in the corner (80), kings six apart (5).
  EXPECT_EQ(evalFen("7r/5k2/8/8/8/8/8/K7 b - - 0 1"), 585);
  EXPECT_EQ(evalFen("7r/5k2/8/8/8/8/8/K7 w - - 0 1"), -585);
}

TEST(EvalEndgame, ScaledEndingsKeepTheirFullScoreShape) {
  struct Case {
    const char* fen;
    int scale;
  } cases[] = {
      {"8/8/3nk3/8/8/2N5/3NK3/8 w - - 0 1", 2},  // two knights against a knight
      {"8/8/3nk3/8/8/2N5/3BK3/8 b - - 0 1", 2},  // knight and bishop against a knight
      {"8/8/3nk3/8/8/2B5/3BK3/8 w - - 0 1", 4},  // bishop pair against a knight
      {"8/8/4k3/8/8/2p5/3BK3/8 w - - 0 1", 8},   // bishop against a pawn
      {"8/8/3bk3/8/8/8/3RK3/8 b - - 0 1", 8},    // rook against a bishop
      {"8/8/3bk3/8/8/8/2RRK3/8 b - - 0 1", 32},  // no rule
  };
  for (const Case& c : cases) {
    auto b = boardFromFen(c.fen);
    ASSERT_TRUE(b != nullptr) << c.fen;
    int full = composedScore(*b, 0);
    int white = b->side == WHITE ? full : -full;
    int scaled = white * c.scale / 32;
    EXPECT_EQ(evaluate(*b), b->side == WHITE ? scaled : -scaled) << c.fen;
  }
}

TEST(EvalPawns, StructureTermsOfDoubledIsolatedBackwardAndPassed) {
  PawnHashEntry e;
  // e2 and e4: both isolated, e2 doubled, only e4 passed.
  auto b = boardFromFen("4k3/8/8/8/4P3/8/4P3/4K3 w - - 0 1");
  ASSERT_TRUE(b != nullptr);
  pawnEntryCompute(*b, e);
  EXPECT_EQ(e.mg, 20 - 10 - 40);
  EXPECT_EQ(e.eg, -10 - 40);
  EXPECT_EQ(e.passed[WHITE], squareMask[28]);
  EXPECT_EQ(e.pawnAttacked[WHITE], squareMask[19] | squareMask[21] | squareMask[35] | squareMask[37]);
  EXPECT_EQ(e.key, b->pawnKey);

  // d3 is backward (c4 ahead of it, e5 holds d4); c4 is passed; e5 isolated.
  b = boardFromFen("4k3/8/8/4p3/2P5/3P4/8/4K3 w - - 0 1");
  ASSERT_TRUE(b != nullptr);
  pawnEntryCompute(*b, e);
  EXPECT_EQ(e.mg, (-2 + 10 - 10) - (20 - 20));
  EXPECT_EQ(e.eg, (-10) - (-20));
  EXPECT_EQ(e.passed[WHITE], squareMask[26]);
  EXPECT_EQ(e.passed[BLACK], 0u);

  // A pawn beside an enemy pawn on the same rank is still passed.
  b = boardFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1");
  ASSERT_TRUE(b != nullptr);
  pawnEntryCompute(*b, e);
  EXPECT_EQ(e.passed[WHITE], squareMask[36]);
  EXPECT_EQ(e.passed[BLACK], squareMask[35]);
}

TEST(EvalPawns, PassedPawnWithBlockadeSupportAndKingDistances) {
  // e7 blocked by the king on e8 and defended from d6; d6 passed too.
  auto b = boardFromFen("4k3/4P3/3P4/8/8/8/8/K7 w - - 0 1");
  ASSERT_TRUE(b != nullptr);
  PawnHashEntry e;
  pawnEntryCompute(*b, e);
  i32 mg = 0, eg = 0;
  u64 attacked[2];
  evaluatePawns(*b, mg, eg, attacked);
  EXPECT_EQ(mg - e.mg, (95 - 47 + 47) + 45);
  EXPECT_EQ(eg - e.eg, (191 - 95 + 95 + 1 + 1 - 6) + (90 + 2 + 1 - 5));
  EXPECT_EQ(attacked[WHITE], e.pawnAttacked[WHITE]);
}

TEST(EvalPawns, NoPawnsMeansNoTermsAndNoAttacks) {
  auto b = boardFromFen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  ASSERT_TRUE(b != nullptr);
  ASSERT_EQ(b->pawnKey, 0u);
  i32 mg = 7, eg = 9;
  u64 attacked[2] = {1, 1};
  evaluatePawns(*b, mg, eg, attacked);
  EXPECT_EQ(mg, 7);
  EXPECT_EQ(eg, 9);
  EXPECT_EQ(attacked[BLACK] | attacked[WHITE], 0u);
}

TEST(EvalPawns, SlotsStayInTheTable) {
  EXPECT_EQ(pawnHashSlot(0, PAWN_HASH_COUNT), 0u);
  EXPECT_EQ(pawnHashSlot(0xffffffffull, PAWN_HASH_COUNT), PAWN_HASH_COUNT - 1);
  EXPECT_EQ(pawnHashSlot(0xffffffff00000000ull, PAWN_HASH_COUNT), 0u);  // only the low half counts
}

TEST(EvalPieces, RookFilesAndCentralKings) {
  const struct {
    const char* fen;
    int mg, eg;
  } cases[] = {
      // Rook e4 alone: 14 squares (48), open file (+20); kings' safety +1 and -(-11).
      {"7k/8/8/8/4R3/8/8/K7 w - - 0 1", 48 + 20 + 1 + 11, 48 + 20},
      // A black pawn on e7: 13 squares (44), half-open (+10), white safety now -2.
      {"7k/4p3/8/8/4R3/8/8/K7 w - - 0 1", 44 + 10 - 2 + 11, 44 + 10},
      // An own pawn on e2: 12 squares (40), no file bonus, black safety -14.
      {"7k/8/8/8/4R3/8/4P3/K7 w - - 0 1", 40 + 1 + 14, 40},
      // Kings only: white e1 (pst 0, shield -150, centre -20), black g8 (pst 32).
      {"6k1/8/8/8/8/8/8/4K3 w - - 0 1", (0 - 32) + (1 - 20) - 1, -30 - (-30)},
  };
  for (const auto& c : cases) {
    auto b = boardFromFen(c.fen);
    ASSERT_TRUE(b != nullptr) << c.fen;
    Sums s = pieceTerms(*b);
    EXPECT_EQ(s.mg, c.mg) << c.fen;
    EXPECT_EQ(s.eg, c.eg) << c.fen;
  }
}

TEST(EvalPieces, RookAndQueenOnTheSeventh) {
  // An enemy pawn on the seventh rank: +20 for a rook, +10 for a queen, with
  // the same mobility either way (h7 is the end of the ray).
  struct Case {
    const char* with;
    const char* without;
    int bonus;
  } cases[] = {
      {"8/R6p/7k/8/8/8/8/K7 w - - 0 1", "8/R7/7k/8/8/8/8/K7 w - - 0 1", 20},
      {"8/Q6p/7k/8/8/8/8/K7 w - - 0 1", "8/Q7/7k/8/8/8/8/K7 w - - 0 1", 10},
      {"k7/8/8/8/8/6K1/P6r/8 b - - 0 1", "k7/8/8/8/8/6K1/7r/8 b - - 0 1", -20},
  };
  for (const Case& c : cases) {
    auto a = boardFromFen(c.with), b = boardFromFen(c.without);
    ASSERT_TRUE(a && b) << c.with;
    EXPECT_EQ(pieceTerms(*a).eg - pieceTerms(*b).eg, c.bonus) << c.with;
  }
  // The enemy king on its first rank is reason enough.
  auto k = boardFromFen("7k/R7/8/8/8/8/8/K7 w - - 0 1");
  ASSERT_TRUE(k != nullptr);
  EXPECT_EQ(pieceTerms(*k).eg, (4 * 13 - 8) + 20 + 20 + 50 - 50);
}

TEST(EvalPieces, KnightOutpostNeedsOwnPawnSupport) {
  auto held = boardFromFen("k7/8/8/4N3/3P4/8/8/7K w - - 0 1");
  auto loose = boardFromFen("k7/8/8/4N3/1P6/8/8/7K w - - 0 1");
  auto hit = boardFromFen("k7/8/5p2/4N3/3P4/8/8/7K w - - 0 1");
  auto hitLoose = boardFromFen("k7/8/5p2/4N3/1P6/8/8/7K w - - 0 1");
  ASSERT_TRUE(held && loose && hit && hitLoose);
  Sums a = pieceTerms(*held), b = pieceTerms(*loose);
  EXPECT_EQ(a.mg - b.mg, 32);
  EXPECT_EQ(a.eg - b.eg, 32);
  Sums c = pieceTerms(*hit), d = pieceTerms(*hitLoose);
  EXPECT_EQ(c.mg - d.mg, 0);  // an enemy pawn attacks e5
}

TEST(EvalPieces, KingShieldByFileAndRank) {
  struct Case {
    const char* fen;
    int colour;
    int shield;
  } cases[] = {
      {"4k3/8/8/8/8/8/5PPP/6K1 w - - 0 1", WHITE, 0},
      {"4k3/8/8/8/8/6P1/5P1P/6K1 w - - 0 1", WHITE, -10},
      {"4k3/8/8/8/8/8/5PP1/6K1 w - - 0 1", WHITE, -50},
      {"4k3/8/8/8/8/6K1/5PPP/8 w - - 0 1", WHITE, 0},  // off the first two ranks
      {"4k3/8/8/8/1P6/P7/8/K7 w - - 0 1", WHITE, -10 - 20},
      {"6k1/5p1p/6p1/8/8/8/8/4K3 b - - 0 1", BLACK, -10},
      {"8/5p1p/6k1/6p1/8/8/8/4K3 b - - 0 1", BLACK, 0},
  };
  for (const Case& c : cases) {
    auto b = boardFromFen(c.fen);
    ASSERT_TRUE(b != nullptr) << c.fen;
    EXPECT_EQ(kingShield(*b, c.colour), c.shield) << c.fen;
  }
}

TEST(EvalLazy, MaterialAnswerOnlyBeyondTheMargin) {
  auto b = boardFromFen("r1bqkbnr/pppp1ppp/2n5/4p3/3PP3/5N2/PPP2PPP/RNBQKB1R b KQkq - 0 3");
  ASSERT_TRUE(b != nullptr);
  int full = evaluate(*b);
  int v = b->material[BLACK] - b->material[WHITE];
  ASSERT_NE(full, v);
  EXPECT_EQ(evaluateLazy(*b, v + 325, v + 400), v);
  EXPECT_EQ(evaluateLazy(*b, v + 324, v + 400), full);
  EXPECT_EQ(evaluateLazy(*b, v - 400, v - 325), v);
  EXPECT_EQ(evaluateLazy(*b, v - 400, v - 324), full);
  EXPECT_EQ(evaluateLazy(*b, -32000, 32000), full);
}

TEST(EvalStrength, NoiseReplacesTheScoreAtTheBottomElo) {
  auto b = boardFromFen("r1bqkbnr/pppp1ppp/2n5/4p3/3PP3/5N2/PPP2PPP/RNBQKB1R w KQkq - 0 3");
  ASSERT_TRUE(b != nullptr);
  int full = evaluate(*b);
  strengthLimited = 1;
  strengthElo = 1000;
  int noise = int(b->key % 200) - 100;
  EXPECT_EQ(evaluate(*b), noise);
  strengthElo = 2600;  // x = 100: the score itself
  EXPECT_EQ(evaluate(*b), full);
  strengthElo = 1800;  // x = 50
  EXPECT_EQ(evaluate(*b), (full * 50 + noise * 50) / 100);
  strengthLimited = 0;
  strengthElo = 2600;
}

TEST(EvalTables, WhiteTablesAreBlackOnesTurnedOver) {
  evalTestInit();
  EXPECT_EQ(pstMg[WHITE][KING][6], 32);  // castled king on g1
  EXPECT_EQ(pstMg[WHITE][PAWN][27], 20);
  for (int s = 0; s < 64; s++)
    for (int t = 0; t < 8; t++) {
      ASSERT_EQ(pstMg[WHITE][t][s], pstMg[BLACK][t][s ^ 56]);
      ASSERT_EQ(pstEg[WHITE][t][s], pstEg[BLACK][t][s ^ 56]);
    }
}
