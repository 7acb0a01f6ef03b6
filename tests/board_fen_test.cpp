// FEN and X-FEN input, FEN output, the board diagram and move text.
#include "board/movetext.h"
#include "board/zobrist.h"
#include "test_support.h"

namespace {

struct FenTest : EngineTest {};

TEST_F(FenTest, StartPositionRoundTripAndMoveNumbers) {
  set(START_FEN);
  EXPECT_EQ(fen(), START_FEN);
  EXPECT_EQ(board().castling, 15);
  const u64 key = board().key;
  engine->newGame();
  EXPECT_EQ(board().key, key);
  set("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");  // clocks are optional
  EXPECT_EQ(board().key, key);
  EXPECT_EQ(fen(), START_FEN);
  set("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w");
  EXPECT_EQ(board().castling, 0);
  // The move number advances with black's moves; a take-back restores it.
  set("4k3/8/8/8/8/8/4P3/4K3 b - - 3 41");
  EXPECT_EQ(fen(), "4k3/8/8/8/8/8/4P3/4K3 b - - 3 41");
  ASSERT_TRUE(engine->playMoveString("e8d8"));
  ASSERT_TRUE(engine->playMoveString("e2e4"));
  EXPECT_EQ(fen(), "3k4/8/8/8/4P3/8/8/4K3 b - e3 0 42");
  ASSERT_TRUE(engine->takeBack());
  EXPECT_EQ(fen(), "3k4/8/8/8/8/8/4P3/4K3 w - - 4 42");
}

TEST_F(FenTest, CastlingLettersRooksAndPaths) {
  const u64 f1g1 = squareMask[sq("f1")] | squareMask[sq("g1")];
  const struct {
    const char* fen;
    int castling;
    u64 kingPath, queenPath;  // white's, when given
  } cases[] = {
      {START_FEN, 15, f1g1, squareMask[sq("b1")] | squareMask[sq("c1")] | squareMask[sq("d1")]},
      {"4k3/8/8/8/8/8/8/4K2R w H - 0 1", CASTLE_WK, f1g1, 0},
      {"4k3/8/8/8/8/8/8/R3K3 w A - 0 1", CASTLE_WQ, 0, 0},
      {"4k3/8/8/8/8/8/8/RK6 w Q - 0 1", CASTLE_WQ, 0, squareMask[sq("c1")] | squareMask[sq("d1")]},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkqX e6 5", 15, 0, 0},  // a letter after KQkq is ignored
      // Rights without a rook, or with the king off its rank, are dropped.
      {"4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1", 0, 0, 0},
      {"4k3/8/8/8/8/8/4K3/R6R w KQ - 0 1", 0, 0, 0},
      {"4k3/8/8/8/8/8/8/6RK w K - 0 1", 0, 0, 0},
  };
  for (const auto& c : cases) {
    set(c.fen);
    EXPECT_EQ(board().castling, c.castling) << c.fen;
    if (c.kingPath) {
      EXPECT_EQ(board().castlePathKingSide[WHITE], c.kingPath) << c.fen;
    }
    if (c.queenPath) {
      EXPECT_EQ(board().castlePathQueenSide[WHITE], c.queenPath) << c.fen;
    }
  }
  // The junk behind KQkq also spoils the e.p. square and the clock.
  set("r3k2r/8/8/8/8/8/8/R3K2R w KQkqX e6 5");
  EXPECT_EQ(board().epFile, 0);
  EXPECT_EQ(board().halfmove, 0);
  // Shredder-FEN of a Chess960 start: rooks b1/g1 with the king on f1.
  set("qrbbnkrn/pppppppp/8/8/8/8/PPPPPPPP/QRBBNKRN w GBgb - 0 1");
  EXPECT_EQ(board().castling, 15);
  EXPECT_EQ(board().rookStartKingSide[WHITE], sq("g1"));
  EXPECT_EQ(board().rookStartQueenSide[BLACK], sq("b8"));
  EXPECT_EQ(board().castlePathKingSide[WHITE], 0u);  // f1-g1 and g1-f1 only
  // Rooks on f1 and h1: the outer one castles.
  set("4k3/8/8/8/8/8/8/4KR1R w K - 0 1");
  EXPECT_EQ(board().rookStartKingSide[WHITE], sq("h1"));
  EXPECT_FALSE(engine->setFEN("r3k2r/8/8/8/8/8/8/R3K2R w KX - 0 1"));
}

TEST_F(FenTest, EnPassantAndCounters) {
  EXPECT_FALSE(engine->setFEN("4k3/8/8/3pP3/8/8/8/4K3 w - e3 0 1"));
  set("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
  EXPECT_EQ(board().epFile, 4);
  EXPECT_EQ(board().key, boardComputeKey(board()));
  // The file stays without a capturer, but not without the pushed pawn.
  set("4k3/8/8/3p4/8/8/8/4K3 w - d6 0 1");
  EXPECT_EQ(board().epFile, 4);
  set("4k3/8/8/8/8/8/8/4K3 w - d6 0 1");
  EXPECT_EQ(board().epFile, 0);
  const struct {
    const char* field;
    int clock;
  } clocks[] = {{"37", 37}, {"100", 100}, {"300", 255}, {"-", 0}, {"x", 0}};
  for (const auto& c : clocks) {
    const std::string text = std::string("4k3/8/8/8/8/8/8/4K3 w - - ") + c.field + " 1";
    set(text.c_str());
    EXPECT_EQ(board().halfmove, c.clock) << text;
  }
}

TEST_F(FenTest, MalformedTextIsRejectedWithoutChange) {
  set("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
  const u64 key = board().key;
  const char* bad[] = {
      "",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",
      "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1",
      "rnbqkbnr/pppppppp/0/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1",
      "rnbqkbnrr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1",   // nine squares on a rank
      "rnbqkbnr/pppppppp/44p/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1",  // nine squares again
      "8/8/8/8/8/8/8/8/4k2K w - - 0 1",                           // nine ranks
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/ w - - 0 1",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq e5 0 1",
      "8/8/8/8/8/8/8/8 w",                       // no kings
      "4k3/8/8/8/8/8/8/4KK2 w - - 0 1",          // two white kings
      "4k2P/8/8/8/8/8/8/4K3 w - - 0 1",          // pawn on rank 8
      "4k3/8/8/8/8/8/8/p3K3 w - - 0 1",          // pawn on rank 1
      "4k2R/8/8/8/8/8/8/4K3 w - - 0 1",          // side not to move in check
      "4k3/pppppppp/p7/8/8/8/8/4K3 w - - 0 1",   // nine pawns
      "QQQQk3/QQQQ4/QQ6/8/8/8/8/4K3 w - - 0 1",  // ten queens
      "4k3/8/8/8/8/8/PPPPPPPP/QQ2K3 w - - 0 1",  // promoted pieces with all pawns
  };
  for (const char* text : bad) {
    EXPECT_FALSE(engine->setFEN(text)) << text;
    EXPECT_EQ(board().key, key) << text;
  }
  EXPECT_FALSE(engine->setFEN(nullptr));
  // A long line of digits or letters never writes outside the grid.
  EXPECT_FALSE(engine->setFEN(std::string(5000, '1').c_str()));
  EXPECT_FALSE(engine->setFEN(std::string(5000, 'p').c_str()));
  EXPECT_TRUE(boardIsConsistent(board()));
}

TEST_F(FenTest, MutatedTextNeverBreaksTheBoard) {
  const char* seeds[] = {
      START_FEN,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1",
  };
  const char alphabet[] = "pnbrqkPNBRQK12345678/ wb-KQkqABCDEFGHabcdefgh036x";
  u64 seed = 0x5eed5eed5eedull;
  auto next = [&seed]() {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    return seed;
  };
  int accepted = 0;
  for (int i = 0; i < 20000; i++) {
    std::string text = seeds[next() % 5];
    for (int e = 1 + int(next() % 3); e > 0; e--) {
      const size_t at = next() % (text.size() + 1);
      const char c = alphabet[next() % (sizeof alphabet - 1)];
      const int edit = int(next() % 3);
      if (edit == 0)
        text.insert(at, 1, c);
      else if (at < text.size() && edit == 1)
        text.erase(at, 1);
      else if (at < text.size())
        text[at] = c;
    }
    if (!engine->setFEN(text.c_str())) continue;
    accepted++;
    ASSERT_TRUE(boardIsConsistent(board())) << text;
    ASSERT_FALSE(isSquareAttacked(board(), board().kingSquare[board().opponent], board().side)) << text;
    // Every generated move can be made and unmade.
    MoveSlot list[MAX_MOVES];
    const u32 n = generateMoves(board(), list, boardInCheck(board()));
    for (u32 m = 0; m < n; m++) {
      makeMove(board(), list[m].move);
      ASSERT_TRUE(boardIsConsistent(board())) << text << " " << std::hex << list[m].move;
      unmakeMove(board(), list[m].move);
    }
    const std::string out = fen();
    ASSERT_TRUE(engine->setFEN(out.c_str())) << out;
  }
  EXPECT_GT(accepted, 1000);
}

TEST_F(FenTest, PrintBoardDiagram) {
  set("4k3/8/8/8/8/8/8/4K3 b - - 0 1");
  static std::string drawn;
  drawn.clear();
  printBoard(board(), [](const char* text) { drawn += std::string(text) + "\n"; });
  const std::string sep = "|---|---|---|---|---|---|---|---|\n";
  std::string expected = sep + "|   |   |   |   | k |   |   |   |\n" + sep;
  for (int i = 0; i < 6; i++) expected += "|   |   |   |   |   |   |   |   |\n" + sep;
  expected += "|   |   |   |   | K |   |   |   |\n" + sep + "Black to play\n";
  EXPECT_EQ(drawn, expected);
}

std::string text(Move m) {
  char out[16];
  moveToText(MoveSlot{m, 0}, out);
  return out;
}

TEST(MoveText, LongAlgebraicTexts) {
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

TEST_F(FenTest, CastlingFromText) {
  set("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  ASSERT_TRUE(engine->playMoveString("e1g1"));
  EXPECT_EQ(fen(), "r3k2r/8/8/8/8/8/8/R4RK1 b kq - 1 1");
  ASSERT_TRUE(engine->playMoveString("O-O-O"));
  EXPECT_EQ(fen(), "2kr3r/8/8/8/8/8/8/R4RK1 w - - 2 2");
  // Chess960 notation: the king moves onto its own rook; e1g1 is a king move.
  engine->chess960 = 1;
  set("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  EXPECT_FALSE(engine->playMoveString("e1g1"));
  ASSERT_TRUE(engine->playMoveString("e1h1"));
  EXPECT_EQ(fen(), "r3k2r/8/8/8/8/8/8/R4RK1 b kq - 1 1");
  EXPECT_FALSE(engine->playMoveString("O-O"));  // f8 is attacked
  ASSERT_TRUE(engine->playMoveString("O-O-O"));
  EXPECT_EQ(engine->gameMoveCount, 2u);
  // An inner rook named by its file: e1c1 is the king onto it,
  // in both notations; the king on c1 is then only a king.
  for (int chess960 : {1, 0}) {
    engine->chess960 = u32(chess960);
    set("4k3/8/8/8/8/8/8/R1R1K3 w C - 0 1");
    ASSERT_TRUE(engine->playMoveString("e1c1")) << chess960;
    EXPECT_EQ(fen(), "4k3/8/8/8/8/8/8/R1KR4 b - - 1 1");
  }
}

TEST_F(FenTest, PromotionsAndIllegalMoveTexts) {
  set("4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_FALSE(engine->playMoveString("a7a8x"));
  ASSERT_TRUE(engine->playMoveString("a7a8n"));
  EXPECT_EQ(fen(), "N3k3/8/8/8/8/8/8/4K3 b - - 0 1");
  // Four characters onto the last rank promote to a queen.
  set("4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  ASSERT_TRUE(engine->playMoveString("a7a8"));
  EXPECT_EQ(fen(), "Q3k3/8/8/8/8/8/8/4K3 b - - 0 1");
  // A move into check, castling in check, a king jump, a missing piece, junk.
  set("4k3/8/8/8/8/8/8/r3K2R w K - 0 1");
  const std::string before = fen();
  for (const char* bad : {"e1d1", "e1g1", "e1e3", "d2d4", "e1", "Oxx", ""})
    EXPECT_FALSE(engine->playMoveString(bad)) << bad;
  EXPECT_EQ(fen(), before);
  EXPECT_EQ(engine->gameMoveCount, 0u);
  // Rights lost: e1g1 is neither castling nor a king move.
  set("4k3/8/8/8/8/8/8/4K2R w - - 0 1");
  EXPECT_FALSE(engine->playMoveString("e1g1"));
}

TEST_F(FenTest, MoveLists) {
  engine->newGame();
  EXPECT_TRUE(engine->playMoveList("e2e4  e7e5 "));
  EXPECT_EQ(engine->gameMoveCount, 2u);
  EXPECT_EQ(engine->lastBestMove, makeMoveValue(sq("e7"), sq("e5"), PAWN, 0, 0, MOVE_DOUBLE));
  EXPECT_FALSE(engine->playMoveList(" g1f3"));
  EXPECT_TRUE(engine->playMoveList(""));
  EXPECT_FALSE(engine->playMoveList("g1f3 b8c6 f1c"));  // cut in the middle of a move
  EXPECT_EQ(engine->gameMoveCount, 4u);
  EXPECT_FALSE(engine->playMoveList("f1b5x"));
  set("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_TRUE(engine->playMoveList("b7b8r e8d7 b8b1"));
  EXPECT_EQ(fen(), "8/3k4/8/8/8/8/8/1R2K3 b - - 2 2");
  // A diagonal pawn move onto an empty square with any e.p. file is built as
  // en passant and must pass the pseudo-legal test.
  set("4k3/8/8/2pP4/8/8/8/4K3 w - c6 0 1");
  EXPECT_FALSE(engine->playMoveString("d5e6"));
  EXPECT_TRUE(engine->playMoveString("d5c6"));
  EXPECT_EQ(fen(), "4k3/8/2P5/8/8/8/8/4K3 b - - 0 1");
  EXPECT_TRUE(engine->takeBack());
  EXPECT_EQ(fen(), "4k3/8/8/2pP4/8/8/8/4K3 w - c6 0 1");
  EXPECT_FALSE(engine->takeBack());
}

}  // namespace
