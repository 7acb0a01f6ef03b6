// Make/unmake: every field restored, incremental values equal to their
// from-scratch values, over random games of standard chess and Chess960.
#include <cstring>
#include <fstream>

#include "board/zobrist.h"
#include "test_support.h"

namespace {

struct MakeMoveTest : EngineTest {};

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

// Plays random games from the position, checking after every move and
// every take-back; returns the number of moves played.
int playRandomGames(Board& b, u64& seed, int games, int plies) {
  int played = 0;
  static Board before, prior;
  for (int g = 0; g < games; g++) {
    memcpy(&before, &b, sizeof(Board));
    std::vector<Move> line;
    for (int ply = 0; ply < plies; ply++) {
      MoveSlot moves[MAX_MOVES];
      const u32 n = legalMoves(b, moves);
      if (n == 0) break;
      seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
      const Move m = moves[seed % n].move;
      memcpy(&prior, &b, sizeof(Board));
      makeMove(b, m);
      EXPECT_TRUE(boardIsConsistent(b)) << std::hex << m;
      unmakeMove(b, m);
      EXPECT_TRUE(sameBoard(b, prior)) << std::hex << m;
      makeMove(b, m);
      line.push_back(m);
      played++;
    }
    for (; !line.empty(); line.pop_back()) unmakeMove(b, line.back());
    EXPECT_TRUE(sameBoard(b, before));
  }
  return played;
}

TEST_F(MakeMoveTest, RandomGamesRestoreEverything) {
  u64 seed = 0x9e3779b97f4a7c15ull;
  set(START_FEN);
  EXPECT_GT(playRandomGames(board(), seed, 40, 160), 2000);
  set("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
  playRandomGames(board(), seed, 40, 120);
  set("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1");
  playRandomGames(board(), seed, 20, 200);
  // Chess960 starts.
  std::ifstream file(TARVOK_TEST_DATA "/chess960-sample.epd");
  std::string line;
  int positions = 0;
  for (; positions < 24 && std::getline(file, line); positions++) {
    set(line.c_str());
    playRandomGames(board(), seed, 4, 100);
  }
  EXPECT_EQ(positions, 24);
}

TEST_F(MakeMoveTest, StartPositionValuesAndKeys) {
  set(START_FEN);
  const Board& b = board();
  EXPECT_EQ(b.phase[0], 12);
  EXPECT_EQ(b.stage, 0);
  EXPECT_EQ(b.material[0], 4075);
  u64 pieces = 0;
  for (int s = 0; s < 64; s++)
    if (b.squares[s]) pieces ^= pieceKeys[b.squares[s] * 2 + ((b.byColour[WHITE] >> s) & 1)][s];
  EXPECT_EQ(b.key, pieces ^ castleKeys[15]);
  const u64 whiteKey = b.key;
  set("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
  EXPECT_EQ(board().key, whiteKey ^ sideKey);
  set("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 37 1");
  EXPECT_EQ(board().key, whiteKey);
  set("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(board().stage, 3);
  // A double step keys its e.p. file even without a capturer.
  set(START_FEN);
  const Move m = makeMoveValue(sq("a2"), sq("a4"), PAWN, 0, 0, MOVE_DOUBLE);
  makeMove(board(), m);
  EXPECT_EQ(b.epFile, 1);
  EXPECT_EQ(b.key, boardComputeKey(b));
  EXPECT_NE(b.key, whiteKey ^ sideKey);
  unmakeMove(board(), m);
  EXPECT_EQ(b.key, whiteKey);
}

TEST_F(MakeMoveTest, CastlingRightsFollowKingsAndRooks) {
  Board& b = board();
  // A rook captured on its start square removes the owner's right.
  set("r3k2r/8/8/8/8/8/6b1/R3K2R b KQkq - 0 1");
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
    const char *fen, *king, *rook, *kingTo, *rookTo;
  } cases[] = {
      {"1r4kr/8/8/8/8/8/8/1R4KR w KQ - 0 1", "g1", "h1", "g1", "f1"},  // king stays
      {"rk6/8/8/8/8/8/8/RK5R w Q - 0 1", "b1", "a1", "c1", "d1"},      // king and rook cross
      {"4k3/8/8/8/8/8/8/3RK3 w Q - 0 1", "e1", "d1", "c1", "d1"},      // rook stays
      {"4k3/8/8/8/8/8/8/5KR1 w K - 0 1", "f1", "g1", "g1", "f1"},      // swap
      {"4k3/8/8/8/8/8/8/2RK4 w Q - 0 1", "d1", "c1", "c1", "d1"},      // swap queen side
  };
  static Board before;
  for (const Case& c : cases) {
    set(c.fen);
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

TEST_F(MakeMoveTest, LongGamesKeepRoomAndRepetitionWindow) {
  set(START_FEN);
  const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (int i = 0; i < 1200; i++) ASSERT_TRUE(engine->playMoveString(cycle[i % 4])) << i;
  const Board& b = board();
  EXPECT_LE(b.undoCount + STACK_RESERVE, u32(HISTORY_SIZE));
  EXPECT_LT(engine->gameMoveCount, u32(GAME_MOVES_SIZE));
  // The current position (the start) occurs again 4 and 8 plies back.
  EXPECT_EQ(b.keyHistory[b.keyCount - 4], b.key);
  EXPECT_EQ(b.keyHistory[b.keyCount - 8], b.key);
  EXPECT_TRUE(boardIsConsistent(b));
  EXPECT_EQ(fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 255 601");
  // Take-backs work down to what is kept, then are refused.
  int taken = 0;
  while (engine->takeBack()) taken++;
  EXPECT_GT(taken, 255);
  EXPECT_TRUE(boardIsConsistent(b));
}

}  // namespace
