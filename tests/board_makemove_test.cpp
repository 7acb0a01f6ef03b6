// Make/unmake: every field restored, incremental values equal to their
// from-scratch values, over random games of standard chess and Chess960.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/zobrist.h"
#include "search/engine.h"

namespace {

constexpr int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

struct MakeMoveTest : ::testing::Test {
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
  Board& board() { return engine->board; }
};
Engine* MakeMoveTest::engine = nullptr;

// The part of the record before the stacks, and the stacks in use.
bool sameBoard(const Board& a, const Board& b) {
  if (memcmp(&a, &b, offsetof(Board, undoCount)) != 0) return false;
  if (a.undoCount != b.undoCount || a.keyCount != b.keyCount) return false;
  for (u32 i = 0; i < a.undoCount; i++) {
    const UndoRecord &x = a.undo[i], &y = b.undo[i];
    if (x.key != y.key || x.pawnKey != y.pawnKey || x.move != y.move || x.castling != y.castling ||
        x.epFile != y.epFile || x.halfmove != y.halfmove)
      return false;
  }
  return memcmp(a.keyHistory, b.keyHistory, a.keyCount * sizeof(u64)) == 0;
}

// Legal moves of the side to move.
std::vector<Move> legalMoves(Board& b) {
  MoveSlot list[MAX_MOVES];
  const u32 n = generateMoves(b, list, boardInCheck(b));
  std::vector<Move> result;
  for (u32 i = 0; i < n; i++) {
    makeMove(b, list[i].move);
    if (!isSquareAttacked(b, b.kingSquare[b.opponent], b.side)) result.push_back(list[i].move);
    unmakeMove(b, list[i].move);
  }
  return result;
}

// Plays random games from the position, checking after every move and
// every take-back; returns the number of moves played.
int playRandomGames(Board& b, u64& seed, int games, int plies) {
  int played = 0;
  static Board before;
  for (int g = 0; g < games; g++) {
    memcpy(&before, &b, sizeof(Board));
    std::vector<Move> line;
    for (int ply = 0; ply < plies; ply++) {
      std::vector<Move> moves = legalMoves(b);
      if (moves.empty()) break;
      seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
      const Move m = moves[seed % moves.size()];
      static Board prior;
      memcpy(&prior, &b, sizeof(Board));
      makeMove(b, m);
      EXPECT_TRUE(boardIsConsistent(b)) << std::hex << m;
      unmakeMove(b, m);
      EXPECT_TRUE(sameBoard(b, prior)) << std::hex << m;
      makeMove(b, m);
      line.push_back(m);
      played++;
    }
    while (!line.empty()) {
      unmakeMove(b, line.back());
      line.pop_back();
    }
    EXPECT_TRUE(sameBoard(b, before));
  }
  return played;
}

TEST_F(MakeMoveTest, RandomGamesRestoreEverything) {
  u64 seed = 0x9e3779b97f4a7c15ull;
  ASSERT_TRUE(engine->setFEN(START_FEN));
  EXPECT_GT(playRandomGames(board(), seed, 40, 160), 2000);
  ASSERT_TRUE(engine->setFEN("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"));
  playRandomGames(board(), seed, 40, 120);
  ASSERT_TRUE(engine->setFEN("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"));
  playRandomGames(board(), seed, 20, 200);
}

TEST_F(MakeMoveTest, RandomChess960GamesRestoreEverything) {
  std::ifstream file(TARVOK_TEST_DATA "/chess960-sample.epd");
  ASSERT_TRUE(file.good());
  u64 seed = 0x2545f4914f6cdd1dull;
  std::string line;
  int positions = 0;
  while (std::getline(file, line) && positions < 24) {
    ASSERT_TRUE(engine->setFEN(line.c_str())) << line;
    playRandomGames(board(), seed, 4, 100);
    positions++;
  }
  EXPECT_EQ(positions, 24);
}

TEST_F(MakeMoveTest, StartPositionValuesAndKeys) {
  ASSERT_TRUE(engine->setFEN(START_FEN));
  const Board& b = board();
  EXPECT_EQ(b.phase[0], 12);
  EXPECT_EQ(b.phase[1], 12);
  EXPECT_EQ(b.stage, 0);
  EXPECT_EQ(b.material[0], 4075);
  EXPECT_EQ(b.castling, 15);
  EXPECT_EQ(castleKeys[15], 0x1dcd312055710b91ull);
  u64 pieces = 0;
  for (int s = 0; s < 64; s++)
    if (b.squares[s]) pieces ^= pieceKeys[b.squares[s] * 2 + ((b.byColour[WHITE] >> s) & 1)][s];
  EXPECT_EQ(b.key, pieces ^ castleKeys[15]);
  const u64 whiteKey = b.key;
  ASSERT_TRUE(engine->setFEN("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"));
  EXPECT_EQ(board().key, whiteKey ^ sideKey);
  ASSERT_TRUE(engine->setFEN("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 37 1"));
  EXPECT_EQ(board().key, whiteKey);
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
  EXPECT_EQ(board().stage, 3);
}

TEST_F(MakeMoveTest, DoubleStepSetsEnPassantKeyEvenWithoutCapturer) {
  ASSERT_TRUE(engine->setFEN(START_FEN));
  Board& b = board();
  const u64 before = b.key;
  const Move m = makeMoveValue(sq("a2"), sq("a4"), PAWN, 0, 0, MOVE_DOUBLE);
  makeMove(b, m);
  EXPECT_EQ(b.epFile, 1);
  EXPECT_EQ(b.key, boardComputeKey(b));
  EXPECT_NE(b.key, before ^ sideKey);
  const Move reply = makeMoveValue(sq("g8"), sq("f6"), KNIGHT);
  makeMove(b, reply);
  EXPECT_EQ(b.epFile, 0);
  EXPECT_EQ(b.key, boardComputeKey(b));
  unmakeMove(b, reply);
  unmakeMove(b, m);
  EXPECT_EQ(b.key, before);
}

TEST_F(MakeMoveTest, CastlingRightsFollowKingsAndRooks) {
  Board& b = board();
  // A rook captured on its start square removes the owner's right.
  ASSERT_TRUE(engine->setFEN("r3k2r/8/8/8/8/8/6b1/R3K2R b KQkq - 0 1"));
  makeMove(b, makeMoveValue(sq("g2"), sq("h1"), BISHOP, ROOK));
  EXPECT_EQ(b.castling, CASTLE_WQ | CASTLE_BK | CASTLE_BQ);
  EXPECT_EQ(b.halfmove, 0);
  // A rook leaving its square removes its own right.
  makeMove(b, makeMoveValue(sq("a1"), sq("a5"), ROOK));
  EXPECT_EQ(b.castling, CASTLE_BK | CASTLE_BQ);
  // Castling counts as a quiet move and removes both rights.
  makeMove(b, makeMoveValue(sq("e8"), sq("h8"), KING, 0, 0, MOVE_CASTLE));
  EXPECT_EQ(b.castling, 0);
  EXPECT_EQ(b.squares[sq("g8")], KING);
  EXPECT_EQ(b.squares[sq("f8")], ROOK);
  EXPECT_EQ(b.halfmove, 2);
  EXPECT_TRUE(boardIsConsistent(b));
}

TEST_F(MakeMoveTest, Chess960CastlingWithOverlappingSquares) {
  Board& b = board();
  struct Case {
    const char* fen;
    const char* king;
    const char* rook;
    const char* kingTo;
    const char* rookTo;
  } cases[] = {
      {"1r4kr/8/8/8/8/8/8/1R4KR w KQ - 0 1", "g1", "h1", "g1", "f1"},   // king stays
      {"rk6/8/8/8/8/8/8/RK5R w Q - 0 1", "b1", "a1", "c1", "d1"},       // king and rook cross
      {"4k3/8/8/8/8/8/8/3RK3 w Q - 0 1", "e1", "d1", "c1", "d1"},       // rook stays
      {"4k3/8/8/8/8/8/8/5KR1 w K - 0 1", "f1", "g1", "g1", "f1"},       // swap
      {"4k3/8/8/8/8/8/8/2RK4 w Q - 0 1", "d1", "c1", "c1", "d1"},       // swap queen side
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(engine->setFEN(c.fen)) << c.fen;
    static Board before;
    memcpy(&before, &b, sizeof b);
    const Move m = makeMoveValue(sq(c.king), sq(c.rook), KING, 0, 0, MOVE_CASTLE);
    ASSERT_TRUE(isPseudoLegal(b, m)) << c.fen;
    makeMove(b, m);
    EXPECT_EQ(b.squares[sq(c.kingTo)], KING) << c.fen;
    EXPECT_EQ(b.squares[sq(c.rookTo)], ROOK) << c.fen;
    EXPECT_TRUE(boardIsConsistent(b)) << c.fen;
    unmakeMove(b, m);
    EXPECT_TRUE(sameBoard(b, before)) << c.fen;
  }
}

TEST_F(MakeMoveTest, PromotionChangesMaterialPhaseAndPawnKey) {
  Board& b = board();
  ASSERT_TRUE(engine->setFEN("1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1"));
  const i32 material = b.material[WHITE], phase = b.phase[WHITE];
  makeMove(b, makeMoveValue(sq("a7"), sq("b8"), PAWN, ROOK, KNIGHT));
  EXPECT_EQ(b.material[WHITE], material + 225);
  EXPECT_EQ(b.phase[WHITE], phase + 1);
  EXPECT_EQ(b.material[BLACK], 0);
  EXPECT_EQ(b.pawnKey, 0u);
  EXPECT_TRUE(boardIsConsistent(b));
}

TEST_F(MakeMoveTest, AttackTestUsesCurrentOccupancy) {
  ASSERT_TRUE(engine->setFEN("4k3/8/8/8/r3N3/8/8/4K3 w - - 0 1"));
  const Board& b = board();
  EXPECT_TRUE(isSquareAttacked(b, sq("d4"), BLACK));
  EXPECT_TRUE(isSquareAttacked(b, sq("e4"), BLACK));   // the piece on the square blocks nothing
  EXPECT_FALSE(isSquareAttacked(b, sq("f4"), BLACK));  // behind the knight
  EXPECT_TRUE(isSquareAttacked(b, sq("d2"), WHITE));
}

TEST_F(MakeMoveTest, LongGamesKeepRoomAndRepetitionWindow) {
  ASSERT_TRUE(engine->setFEN(START_FEN));
  const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (int i = 0; i < 1200; i++) ASSERT_TRUE(engine->playMoveString(cycle[i % 4])) << i;
  const Board& b = board();
  EXPECT_LE(b.undoCount + STACK_RESERVE, u32(HISTORY_SIZE));
  EXPECT_LT(engine->gameMoveCount, u32(GAME_MOVES_SIZE));
  EXPECT_EQ(b.halfmove, 255);
  // The current position (the start) occurs again 4 and 8 plies back.
  EXPECT_EQ(b.keyHistory[b.keyCount - 4], b.key);
  EXPECT_EQ(b.keyHistory[b.keyCount - 8], b.key);
  EXPECT_TRUE(boardIsConsistent(b));
  char fen[FEN_BUFFER_SIZE];
  engine->getFEN(fen);
  EXPECT_STREQ(fen, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 255 601");
  // Take-backs work down to what is kept, then are refused.
  int taken = 0;
  while (engine->takeBack()) taken++;
  EXPECT_GT(taken, 255);
  EXPECT_TRUE(boardIsConsistent(b));
}

}  // namespace
