// Generation order, evasions, the pseudo-legal test, the legal count, the
// exchange evaluation and the attack tables.
#include "board/movetext.h"
#include "board/see.h"
#include "test_support.h"

namespace {

struct MoveGenTest : EngineTest {};

typedef u32 (*Generator)(const Board&, MoveSlot*, u32);

// The generated moves as one line of long algebraic texts.
std::string texts(const Board& b, Generator generate) {
  MoveSlot list[MAX_MOVES];
  const u32 n = generate(b, list, MAX_MOVES);
  std::string out;
  for (u32 i = 0; i < n; i++) {
    char text[16];
    moveToText(list[i], text);
    out += (i ? " " : "") + std::string(text);
  }
  return out;
}

TEST_F(MoveGenTest, StartPositionOrder) {
  set(START_FEN);
  EXPECT_EQ(texts(board(), generateCaptures), "");
  EXPECT_EQ(texts(board(), generateQuiets),
            "Nb1-a3 Nb1-c3 Ng1-f3 Ng1-h3 a2-a3 b2-b3 c2-c3 d2-d3 e2-e3 f2-f3 g2-g3 h2-h3 "
            "a2-a4 b2-b4 c2-c4 d2-d4 e2-e4 f2-f4 g2-g4 h2-h4");
  set("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
  EXPECT_EQ(texts(board(), generateQuiets),
            "Nb8-a6 Nb8-c6 Ng8-f6 Ng8-h6 a7-a6 b7-b6 c7-c6 d7-d6 e7-e6 f7-f6 g7-g6 h7-h6 "
            "a7-a5 b7-b5 c7-c5 d7-d5 e7-e5 f7-f5 g7-g5 h7-h5");
  EXPECT_EQ(countLegalMoves(board()), 20u);
}

TEST_F(MoveGenTest, CaptureOrderAndPromotions) {
  set("r1n1k3/1P6/8/3pP3/8/8/8/4K3 w - d6 0 1");
  EXPECT_EQ(texts(board(), generateCaptures),
            "b7-b8=Q b7-b8=R b7-b8=N b7-b8=B b7xa8=Q b7xa8=R b7xa8=N b7xa8=B "
            "b7xc8=Q b7xc8=R b7xc8=N b7xc8=B e5xd6e.p");
  set("4k3/8/8/2PpP3/8/8/8/4K3 w - d6 0 1");
  EXPECT_EQ(texts(board(), generateCaptures), "c5xd6e.p e5xd6e.p");
  set("4k3/8/8/8/8/8/6p1/4K2R b K - 0 1");
  EXPECT_EQ(texts(board(), generateCaptures), "g2-g1=Q g2-g1=R g2-g1=N g2-g1=B g2xh1=Q g2xh1=R g2xh1=N g2xh1=B");
  // The king of the side not to move is an ordinary target, and the
  // pseudo-legal test refuses its capture.
  set("Q3k3/8/8/8/8/8/8/4K3 b - - 0 1");
  engine->board.side = WHITE, engine->board.opponent = BLACK;
  EXPECT_EQ(texts(board(), generateCaptures), "Qa8xe8");
  EXPECT_FALSE(isPseudoLegal(board(), makeMoveValue(sq("a8"), sq("e8"), QUEEN, KING)));
  engine->board.side = BLACK, engine->board.opponent = WHITE;
}

TEST_F(MoveGenTest, CastlingConditions) {
  set("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  std::string quiets = texts(board(), generateQuiets);
  EXPECT_EQ(quiets.substr(0, 10), "O-O O-O-O ");
  // An attack on b1 does not stop queen-side castling; one on f1 stops king-side.
  set("1r2k1r1/8/8/8/8/8/8/R3K2R w KQ - 0 1");
  quiets = texts(board(), generateQuiets);
  EXPECT_EQ(quiets.substr(0, 4), "O-O-");
  set("4kr2/8/8/8/8/8/8/R3K2R w KQ - 0 1");
  quiets = texts(board(), generateQuiets);
  EXPECT_EQ(quiets.substr(0, 6), "O-O-O ");
  // Chess960: king on c1, own rook b1, enemy rook a1 behind it: written,
  // then rejected by the king test after making it.
  set("4k3/8/8/8/8/8/8/rRK5 w Q - 0 1");
  EXPECT_EQ(texts(board(), generateQuiets).substr(0, 6), "O-O-O ");
  const Move castle = makeMoveValue(sq("c1"), sq("b1"), KING, 0, 0, MOVE_CASTLE);
  EXPECT_TRUE(isPseudoLegal(board(), castle));
  makeMove(board(), castle);
  EXPECT_TRUE(isSquareAttacked(board(), board().kingSquare[WHITE], BLACK));
  unmakeMove(board(), castle);
  // Chess960 king on g1 and rook h1: only g1 is tested.
  set("4k3/8/8/8/8/8/8/6KR w K - 0 1");
  EXPECT_EQ(texts(board(), generateQuiets).substr(0, 4), "O-O ");
}

TEST_F(MoveGenTest, EvasionsOrder) {
  const char* cases[][2] = {
      // Double check: king steps only, ascending.
      {"4k3/8/8/8/8/5n2/8/r3K3 w - - 0 1", "Ke1-e2 Ke1-f2"},
      // A slider check: king steps, pawn blocks (single, promotion, double),
      // piece blocks, then captures of the checker.
      {"4k3/8/8/8/7b/8/6P1/4K3 w - - 0 1", "Ke1-d1 Ke1-f1 Ke1-d2 Ke1-e2 g2-g3"},
      {"4k3/8/8/b7/8/8/1P6/4K3 w - - 0 1", "Ke1-d1 Ke1-f1 Ke1-e2 Ke1-f2 b2-b4"},
      {"r6K/4P3/8/8/8/8/8/k7 w - - 0 1", "Kh8-g7 Kh8-h7 e7-e8=Q e7-e8=R e7-e8=N e7-e8=B"},
      {"1r2k3/P7/8/8/8/8/8/1K6 w - - 0 1", "Kb1-a1 Kb1-c1 Kb1-a2 Kb1-c2 a7xb8=Q a7xb8=R a7xb8=N a7xb8=B"},
      {"4k3/8/8/8/8/1N6/8/r3K3 w - - 0 1", "Ke1-d2 Ke1-e2 Ke1-f2 Nb3-c1 Nb3xa1"},
      // A queen next to the king: no blocks; the king and others may take it.
      {"4k3/8/8/8/8/8/3q4/3RK3 w - - 0 1", "Ke1-f1 Ke1xd2 Rd1xd2"},
      // En passant of the checking pawn comes after the ordinary pawn captures.
      {"8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1", "Kc5-b4 Kc5-c4 Kc5xd4 Kc5-b5 Kc5-d5 Kc5-b6 Kc5-c6 Kc5-d6 e4xd3e.p"},
      // A king step away from a checking slider along its line is not written.
      {"4k3/8/8/8/8/8/8/r3K3 w - - 0 1", "Ke1-d2 Ke1-e2 Ke1-f2"},
  };
  for (const auto& c : cases) {
    set(c[0]);
    EXPECT_EQ(texts(board(), generateEvasions), c[1]) << c[0];
  }
}

TEST_F(MoveGenTest, PseudoLegalTest) {
  const Move castleShort = makeMoveValue(sq("e1"), sq("h1"), KING, 0, 0, MOVE_CASTLE);
  const Move castleLong = makeMoveValue(sq("e1"), sq("a1"), KING, 0, 0, MOVE_CASTLE);
  const char* both = "r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 0 1";
  const struct {
    const char* fen;
    Move move;
    bool pseudoLegal;
  } cases[] = {
      {both, MOVE_NONE, false},
      {both, makeMoveValue(sq("e5"), sq("d6"), PAWN, PAWN, 0, MOVE_EP), true},
      {both, makeMoveValue(sq("e5"), sq("f6"), PAWN, PAWN, 0, MOVE_EP), false},
      {both, makeMoveValue(sq("a1"), sq("a7"), ROOK), true},
      {both, makeMoveValue(sq("a1"), sq("a8"), ROOK, QUEEN), false},  // wrong captured type
      {both, makeMoveValue(sq("a1"), sq("a8"), ROOK, ROOK), true},
      {both, makeMoveValue(sq("a1"), sq("a8"), ROOK), false},  // occupied, not a capture
      {both, makeMoveValue(sq("a1"), sq("h1"), ROOK), false},  // blocked by the king
      {both, castleShort, true},
      {both, castleLong, true},
      {both, makeMoveValue(sq("e1"), sq("c4"), KING), true},  // shape not tested
      {"r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1", castleShort, false},
      {"r3k2r/8/8/8/8/8/8/R3KB1R w KQ - 0 1", castleShort, false},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQ - 0 1", castleLong, true},
      {"r3k1r1/8/8/8/8/8/8/R3K2R w KQ - 0 1", castleShort, false},
      {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", makeMoveValue(sq("e1"), sq("e8"), KING, KING), false},
  };
  for (const auto& c : cases) {
    set(c.fen);
    EXPECT_EQ(isPseudoLegal(board(), c.move), c.pseudoLegal) << c.fen << " " << std::hex << c.move;
  }
}

TEST_F(MoveGenTest, LegalCountsAndBoardUnchanged) {
  set("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");  // stalemate
  EXPECT_EQ(countLegalMoves(board()), 0u);
  set("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");  // mate
  EXPECT_EQ(countLegalMoves(board()), 0u);
  set("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
  const u64 key = board().key;
  EXPECT_EQ(countLegalMoves(board()), 48u);
  EXPECT_EQ(board().key, key);
  EXPECT_EQ(board().undoCount, 0u);
  EXPECT_TRUE(boardIsConsistent(board()));
}

TEST_F(MoveGenTest, ListWritesStayWithinCapacity) {
  // 218 legal moves: the most known; small capacities cut the list.
  set("R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1");
  MoveSlot list[MAX_MOVES + 8];
  for (auto& slot : list) slot.move = 0xdeadbeef;
  const u32 captures = generateCaptures(board(), list, MAX_MOVES);
  const u32 quiets = generateQuiets(board(), list + captures, MAX_MOVES - captures);
  EXPECT_EQ(countLegalMoves(board()), 218u);
  EXPECT_LE(captures + quiets, u32(MAX_MOVES));
  EXPECT_EQ(generateQuiets(board(), list, 10), 10u);
  EXPECT_EQ(list[MAX_MOVES].move, 0xdeadbeefu);
}

TEST_F(MoveGenTest, StaticExchangeValues) {
  const struct {
    const char *fen, *from, *to;
    u32 flags;
    int promotion;
    i32 see;
  } cases[] = {
      {"4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", "e4", "d5", 0, 0, 325},        // pawn takes a free knight
      {"4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1", "d1", "d5", 0, 0, -875},      // queen takes a defended pawn
      {"3r3k/3r4/8/8/8/8/3R4/3RK3 w - - 0 1", "d2", "d7", 0, 0, 500},      // x-ray behind the rook
      {"4k3/8/8/8/8/2p5/3n4/4K3 w - - 0 1", "e1", "d2", 0, 0, -4675},      // king takes a defended knight
      {"8/8/8/8/8/4k3/R2n4/3Q3K w - - 0 1", "d1", "d2", 0, 0, 325},        // defended by the king alone
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5", "d6", MOVE_EP, 0, 100},  // the e.p. pawn goes first
      // Promotion captures count the captured piece; the new piece as a pawn.
      {"1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7", "b8", 0, QUEEN, 500},
      {"rr2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7", "b8", 0, QUEEN, 400},
      // Quiet moves.
      {"4k3/8/8/1p6/8/8/8/1N2K3 w - - 0 1", "b1", "c3", 0, 0, 0},
      {"4k3/8/8/8/3p4/8/8/1N2K3 w - - 0 1", "b1", "c3", 0, 0, -325},
  };
  for (const auto& c : cases) {
    set(c.fen);
    const int captured = (c.flags & MOVE_EP) ? int(PAWN) : int(board().squares[sq(c.to)]);
    const Move m = makeMoveValue(sq(c.from), sq(c.to), board().squares[sq(c.from)], captured, c.promotion, c.flags);
    EXPECT_EQ(see(board(), m), c.see) << c.fen;
  }
}

// Ray walk for comparison with the magic lookups.
u64 slowAttacks(int s, u64 occ, bool rook) {
  static const int dirs[2][4][2] = {{{1, 1}, {1, -1}, {-1, 1}, {-1, -1}}, {{1, 0}, {-1, 0}, {0, 1}, {0, -1}}};
  u64 result = 0;
  for (const auto& d : dirs[rook]) {
    for (int r = s / 8 + d[0], f = s % 8 + d[1]; r >= 0 && r < 8 && f >= 0 && f < 8; r += d[0], f += d[1]) {
      result |= 1ull << (r * 8 + f);
      if (occ & (1ull << (r * 8 + f))) break;
    }
  }
  return result;
}

TEST_F(MoveGenTest, SliderLookupsMatchRayWalksOnRandomOccupancies) {
  u64 seed = 0x1234567887654321ull;
  for (int i = 0; i < 20000; i++) {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    const u64 occ = seed & (seed >> 3);
    const int s = int(seed >> 58);
    ASSERT_EQ(rookAttacks(s, occ), slowAttacks(s, occ, true)) << s;
    ASSERT_EQ(bishopAttacks(s, occ), slowAttacks(s, occ, false)) << s;
  }
  size_t rookEntries = 0, bishopEntries = 0;
  for (int s = 0; s < 64; s++) {
    rookEntries += size_t(1) << (64 - rookMagic[s].shift);
    bishopEntries += size_t(1) << (64 - bishopMagic[s].shift);
  }
  EXPECT_EQ(rookEntries, size_t(ROOK_STORAGE_SIZE));
  EXPECT_EQ(bishopEntries, size_t(BISHOP_STORAGE_SIZE));
}

TEST_F(MoveGenTest, BetweenAndLineTables) {
  u64 diagonal = 0;
  for (const char* s : {"b2", "c3", "d4", "e5", "f6", "g7"}) diagonal |= squareMask[sq(s)];
  EXPECT_EQ(between[sq("a1")][sq("h8")], diagonal);
  EXPECT_EQ(between[sq("a1")][sq("b3")], 0u);
  EXPECT_EQ(between[sq("e4")][sq("e5")], 0u);
  EXPECT_EQ(lineType[sq("e1")][sq("e8")], 1);
  EXPECT_EQ(lineType[sq("a1")][sq("h1")], 2);
  EXPECT_EQ(lineType[sq("a1")][sq("h8")], 3);
  EXPECT_EQ(lineType[sq("h1")][sq("a8")], 4);
  EXPECT_EQ(lineType[sq("a1")][sq("b3")], 0);
  EXPECT_EQ(lineType[sq("c3")][sq("c3")], 0);
}

}  // namespace
