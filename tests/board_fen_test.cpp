// FEN and X-FEN input, FEN output and the board diagram.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "board/bitboard.h"
#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/zobrist.h"
#include "search/engine.h"

namespace {

constexpr int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

struct FenTest : ::testing::Test {
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
  const Board& board() { return engine->board; }
  std::string fen() {
    char text[FEN_BUFFER_SIZE];
    engine->getFEN(text);
    return text;
  }
};
Engine* FenTest::engine = nullptr;

TEST_F(FenTest, StartPositionRoundTrip) {
  ASSERT_TRUE(engine->setFEN(START_FEN));
  EXPECT_EQ(fen(), START_FEN);
  EXPECT_EQ(board().castling, 15);
  EXPECT_TRUE(boardIsConsistent(board()));
  const u64 key = board().key;
  engine->newGame();
  EXPECT_EQ(board().key, key);
  ASSERT_TRUE(engine->setFEN("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -"));
  EXPECT_EQ(board().key, key);
  EXPECT_EQ(fen(), START_FEN);
  ASSERT_TRUE(engine->setFEN("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w"));
  EXPECT_EQ(board().castling, 0);
}

TEST_F(FenTest, MoveNumberAdvancesWithMovesPlayed) {
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/8/8/4P3/4K3 b - - 3 41"));
  EXPECT_EQ(fen(), "4k3/8/8/8/8/8/4P3/4K3 b - - 3 41");
  ASSERT_TRUE(engine->playMoveString("e8d8"));
  EXPECT_EQ(fen(), "3k4/8/8/8/8/8/4P3/4K3 w - - 4 42");
  ASSERT_TRUE(engine->playMoveString("e2e4"));
  EXPECT_EQ(fen(), "3k4/8/8/8/4P3/8/8/4K3 b - e3 0 42");
  ASSERT_TRUE(engine->takeBack());
  EXPECT_EQ(fen(), "3k4/8/8/8/8/8/4P3/4K3 w - - 4 42");
}

TEST_F(FenTest, CastlingLettersAndXFen) {
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/8/8/8/4K2R w H - 0 1"));
  EXPECT_EQ(board().castling, CASTLE_WK);
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/8/8/8/R3K3 w A - 0 1"));
  EXPECT_EQ(board().castling, CASTLE_WQ);
  // Shredder-FEN of a Chess960 start: rooks b1/g1 with the king on f1.
  ASSERT_TRUE(engine->setFEN("qrbbnkrn/pppppppp/8/8/8/8/PPPPPPPP/QRBBNKRN w GBgb - 0 1"));
  EXPECT_EQ(board().castling, 15);
  EXPECT_EQ(board().rookStartKingSide[WHITE], sq("g1"));
  EXPECT_EQ(board().rookStartQueenSide[WHITE], sq("b1"));
  EXPECT_EQ(board().rookStartQueenSide[BLACK], sq("b8"));
  EXPECT_EQ(board().castlePathKingSide[WHITE], 0u);  // f1-g1 and g1-f1 only
  // KQkq followed by another letter: rights kept, the rest ignored.
  ASSERT_TRUE(engine->setFEN("r3k2r/8/8/8/8/8/8/R3K2R w KQkqX e6 5"));
  EXPECT_EQ(board().castling, 15);
  EXPECT_EQ(board().epFile, 0);
  EXPECT_EQ(board().halfmove, 0);
  EXPECT_FALSE(engine->setFEN("r3k2r/8/8/8/8/8/8/R3K2R w KX - 0 1"));
}

TEST_F(FenTest, CastlingSetUpChoosesRooksAndPaths) {
  ASSERT_TRUE(engine->setFEN(START_FEN));
  const Board& b = board();
  EXPECT_EQ(b.castlePathKingSide[WHITE], squareMask[sq("f1")] | squareMask[sq("g1")]);
  EXPECT_EQ(b.castlePathQueenSide[WHITE], squareMask[sq("b1")] | squareMask[sq("c1")] | squareMask[sq("d1")]);
  EXPECT_EQ(b.castlePathKingSide[BLACK], squareMask[sq("f8")] | squareMask[sq("g8")]);
  // Rooks on f1 and h1: the outer one castles.
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/8/8/8/4KR1R w K - 0 1"));
  EXPECT_EQ(b.rookStartKingSide[WHITE], sq("h1"));
  // King b1 with rook a1: path c1 d1.
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/8/8/8/RK6 w Q - 0 1"));
  EXPECT_EQ(b.castlePathQueenSide[WHITE], squareMask[sq("c1")] | squareMask[sq("d1")]);
  // Rights without a rook, or with the king off its rank, are dropped.
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1"));
  EXPECT_EQ(b.castling, 0);
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/8/8/4K3/R6R w KQ - 0 1"));
  EXPECT_EQ(b.castling, 0);
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/8/8/8/6RK w K - 0 1"));
  EXPECT_EQ(b.castling, 0);
}

TEST_F(FenTest, EnPassantAndCounters) {
  EXPECT_FALSE(engine->setFEN("4k3/8/8/3pP3/8/8/8/4K3 w - e3 0 1"));
  ASSERT_TRUE(engine->setFEN("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"));
  EXPECT_EQ(board().epFile, 4);
  EXPECT_EQ(board().key, boardComputeKey(board()));
  // The file stays without a capturer, but not without the pushed pawn.
  ASSERT_TRUE(engine->setFEN("4k3/8/8/3p4/8/8/8/4K3 w - d6 0 1"));
  EXPECT_EQ(board().epFile, 4);
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/8/8/8/4K3 w - d6 0 1"));
  EXPECT_EQ(board().epFile, 0);
  const struct {
    const char* field;
    int clock;
  } clocks[] = {{"7", 7}, {"37", 37}, {"100", 100}, {"300", 255}, {"-", 0}, {"x", 0}};
  for (const auto& c : clocks) {
    const std::string text = std::string("4k3/8/8/8/8/8/8/4K3 w - - ") + c.field + " 1";
    ASSERT_TRUE(engine->setFEN(text.c_str())) << text;
    EXPECT_EQ(board().halfmove, c.clock) << text;
  }
}

TEST_F(FenTest, MalformedTextIsRejectedWithoutChange) {
  ASSERT_TRUE(engine->setFEN("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"));
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
      "8/8/8/8/8/8/8/8 w",                                          // no kings
      "4k3/8/8/8/8/8/8/4KK2 w - - 0 1",                            // two white kings
      "4k2P/8/8/8/8/8/8/4K3 w - - 0 1",                            // pawn on rank 8
      "4k3/8/8/8/8/8/8/p3K3 w - - 0 1",                            // pawn on rank 1
      "4k2R/8/8/8/8/8/8/4K3 w - - 0 1",                            // side not to move in check
      "4k3/pppppppp/p7/8/8/8/8/4K3 w - - 0 1",                     // nine pawns
      "QQQQk3/QQQQ4/QQ6/8/8/8/8/4K3 w - - 0 1",                    // ten queens
      "4k3/8/8/8/8/8/PPPPPPPP/QQ2K3 w - - 0 1",                    // promoted pieces with all pawns
  };
  for (const char* text : bad) {
    EXPECT_FALSE(engine->setFEN(text)) << text;
    EXPECT_EQ(board().key, key) << text;
  }
  EXPECT_FALSE(engine->setFEN(nullptr));
  // A long line of digits and letters never writes outside the grid.
  std::string longText(5000, '1');
  EXPECT_FALSE(engine->setFEN(longText.c_str()));
  std::string letters(5000, 'p');
  EXPECT_FALSE(engine->setFEN(letters.c_str()));
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
    const int edits = 1 + int(next() % 3);
    for (int e = 0; e < edits; e++) {
      const size_t at = next() % (text.size() + 1);
      const char c = alphabet[next() % (sizeof alphabet - 1)];
      switch (next() % 3) {
        case 0: text.insert(at, 1, c); break;
        case 1: if (at < text.size()) text.erase(at, 1); break;
        default: if (at < text.size()) text[at] = c; break;
      }
    }
    if (!engine->setFEN(text.c_str())) continue;
    accepted++;
    ASSERT_TRUE(boardIsConsistent(board())) << text;
    ASSERT_FALSE(isSquareAttacked(board(), board().kingSquare[board().opponent], board().side)) << text;
    // Every generated move can be made and unmade.
    MoveSlot list[MAX_MOVES];
    const u32 n = generateMoves(board(), list, boardInCheck(board()));
    for (u32 m = 0; m < n; m++) {
      makeMove(engine->board, list[m].move);
      ASSERT_TRUE(boardIsConsistent(board())) << text << " " << std::hex << list[m].move;
      unmakeMove(engine->board, list[m].move);
    }
    char out[FEN_BUFFER_SIZE];
    engine->getFEN(out);
    ASSERT_TRUE(engine->setFEN(out)) << out;
  }
  EXPECT_GT(accepted, 1000);
}

TEST_F(FenTest, PrintBoardDiagram) {
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/8/8/8/4K3 b - - 0 1"));
  fflush(stdout);
  testing::internal::CaptureStdout();
  printBoard(board());
  fflush(stdout);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string sep = "|---|---|---|---|---|---|---|---|\n";
  const std::string empty = "|   |   |   |   |   |   |   |   |\n";
  std::string expected = sep + "|   |   |   |   | k |   |   |   |\n" + sep;
  for (int i = 0; i < 6; i++) expected += empty + sep;
  expected += "|   |   |   |   | K |   |   |   |\n" + sep + "Black to play\n";
  EXPECT_EQ(out, expected);
}

}  // namespace
