// Book builder: SAN replay, the book a set of games gives, and the book built
// from a real game collection.
#include "book/book.h"
#include "book/builder.h"
#include "test_support.h"

namespace {

// Size of a file in bytes, -1 when it does not exist.
long fileSize(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return -1;
  std::fseek(file, 0, SEEK_END);
  long size = std::ftell(file);
  std::fclose(file);
  return size;
}

struct BookBuilder : EngineTest {
  void SetUp() override {
    bookClear();
    engine->newGame();
  }
  void TearDown() override { bookClear(); }
  ScratchDir scratch;
  std::string path(const char* name) { return scratch.path(name); }
  // Builds a book from PGN text and loads it back into the store.
  i32 build(const std::string& pgn, i32 depth, i32 minCount) {
    std::string pgnPath = path("games.pgn"), bookPath = path("book.bin");
    writeFile(pgnPath, pgn);
    bookClear();  // the builder adds to the store as it finds it
    i32 result = engine->buildBook(pgnPath.c_str(), bookPath.c_str(), depth, minCount);
    EXPECT_TRUE(engine->loadBook(bookPath.c_str()));
    return result;
  }
  // The SAN text's move in the engine's position.
  Move san(const char* text) { return sanToMove(engine->board, text); }
  // The store entry of the position after these coordinate moves, or null.
  const BookEntry* entryAfter(const char* moves) {
    engine->newGame();
    if (*moves) {
      EXPECT_TRUE(engine->playMoveList(moves));
    }
    long index = bookFindEntry(engine->board.key);
    return index < 0 ? nullptr : &bookEntries[index];
  }
};

const char* TWO_GAMES =
    "[Event \"a\"]\n[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 Nc6 1-0\n\n"
    "[Event \"b\"]\n[Result \"0-1\"]\n\n1. e4 c5 0-1\n";

TEST_F(BookBuilder, TwoGamesGiveTheirPositionsCountsAndPercentages) {
  EXPECT_EQ(build(TWO_GAMES, 2, 1), 1);
  ASSERT_EQ(bookEntries.size(), 2u);
  const Move e4 = makeMoveValue(sq("e2"), sq("e4"), PAWN, 0, 0, MOVE_DOUBLE);
  const Move e5 = makeMoveValue(sq("e7"), sq("e5"), PAWN, 0, 0, MOVE_DOUBLE);
  const Move c5 = makeMoveValue(sq("c7"), sq("c5"), PAWN, 0, 0, MOVE_DOUBLE);
  const BookEntry* start = entryAfter("");
  ASSERT_NE(start, nullptr);
  ASSERT_EQ(start->moveCount, 1u);
  EXPECT_EQ(start->moves[0].move, e4);
  EXPECT_EQ(start->moves[0].weight, 2u);
  EXPECT_EQ(start->moves[0].pctA, 50);
  EXPECT_EQ(start->moves[0].pctB, 50);
  const BookEntry* afterE4 = entryAfter("e2e4");
  ASSERT_NE(afterE4, nullptr);
  ASSERT_EQ(afterE4->moveCount, 2u);
  EXPECT_EQ(afterE4->moves[0].move, e5);  // the tie stays in the order of arrival
  EXPECT_EQ(afterE4->moves[0].pctA, 100);
  EXPECT_EQ(afterE4->moves[0].pctB, 0);
  EXPECT_EQ(afterE4->moves[1].move, c5);
  EXPECT_EQ(afterE4->moves[1].weight, 1u);
  EXPECT_EQ(afterE4->moves[1].pctB, 100);
  EXPECT_LT(bookEntries[0].key, bookEntries[1].key);
  // Only the line of two games passes a count of 2.
  EXPECT_EQ(build(TWO_GAMES, 2, 2), 1);
  ASSERT_EQ(bookEntries.size(), 1u);
  EXPECT_EQ(bookEntries[0].moves[0].move, e4);
  // Depth 0 collects nothing: a book of no entries.
  bookClear();
  std::string pgnPath = path("zero.pgn"), bookPath = path("zero.bin");
  writeFile(pgnPath, TWO_GAMES);
  EXPECT_EQ(engine->buildBook(pgnPath.c_str(), bookPath.c_str(), 0, 1), 1);
  EXPECT_EQ(fileSize(bookPath), 12);
  // The engine is left in the start position.
  std::unique_ptr<Board> initial(new Board);
  boardSetStart(*initial);
  EXPECT_EQ(engine->board.key, initial->key);
  EXPECT_EQ(engine->gamePly, 0u);
}

TEST_F(BookBuilder, SanTextsNameTheirLegalMove) {
  const char* castling = "4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1";
  const char* rooks = "4k3/8/8/8/8/R7/8/R3K3 w Q - 0 1";
  const char* knights = "4k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1";
  const char* promotion = "3r3k/4P3/8/8/8/8/8/4K3 w - - 0 1";
  const struct {
    const char *fen, *text, *move;  // the legal move named ("" for none)
  } cases[] = {
      {castling, "O-O", "e1h1"},
      {castling, "O-O-O+", "e1a1"},
      {castling, "0-0", ""},
      {castling, "O-O-O-O", ""},
      {rooks, "O-O", ""},  // no such castling move here
      {rooks, "R1a2", "a1a2"},
      {rooks, "R3a2", "a3a2"},
      {rooks, "Ra2", "a1a2"},  // first in generation order
      {knights, "Nbd2", "b1d2"},
      {knights, "Nd2", "b1d2"},
      {knights, "Ngf3!?", "g1f3"},
      {knights, "Nxf3", "g1f3"},
      {knights, "Ng1f3", ""},  // a full from-square is read as the target
      {knights, "Zf3", ""},
      {knights, "Nf9", ""},
      {knights, "", ""},
      {knights, "Nc4", ""},
      // A pinned knight never fits, though it comes first: the other knight is the move.
      {"4r1k1/8/8/1N6/8/8/4N3/4K3 w - - 0 1", "Nd4", "b5d4"},
      {"4r1k1/8/8/1N6/8/8/4N3/4K3 w - - 0 1", "Ned4", ""},
      {START_FEN, "e4", "e2e4"},
      {START_FEN, "e3", "e2e3"},
      {START_FEN, "e5", ""},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2", "exd6", "e5d6"},
      {promotion, "e8=N", "e7e8n"},
      {promotion, "exd8=Q+", "e7d8q"},
      {promotion, "e8R", "e7e8r"},  // without "=" the letter behind the square names the piece
      // A pawn never reaches the last rank unpromoted, nor promotes to a king.
      {promotion, "e8", ""},
      {promotion, "e8+", ""},
      {promotion, "e8=K", ""},
      {promotion, "e8=x", ""},
      {"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", "e3=Q", ""},
  };
  for (const auto& c : cases) {
    set(c.fen);
    MoveSlot legal[MAX_MOVES];
    Move expected = MOVE_NONE;
    for (u32 i = 0, n = legalMoves(board(), legal); i < n; i++)
      if (squaresText(legal[i].move) == c.move) expected = legal[i].move;
    EXPECT_EQ(san(c.text), expected) << c.fen << " " << c.text;
    EXPECT_TRUE(boardIsConsistent(board()));
  }
}

TEST_F(BookBuilder, ReplayStopsAtATextThatNamesNoMove) {
  // Promotions with and without "=".
  const char* promotions =
      "[Result \"1-0\"]\n1. e4 d5 2. exd5 c6 3. dxc6 Nf6 4. cxb7 Nbd7 5. bxa8=Q Nb6 1-0\n"
      "[Result \"1-0\"]\n1. e4 d5 2. exd5 c6 3. dxc6 Nf6 4. cxb7 Nbd7 5. bxa8N Nb6 1-0\n";
  EXPECT_EQ(build(promotions, 10, 1), 1);
  const BookEntry* before = entryAfter("e2e4 d7d5 e4d5 c7c6 d5c6 g8f6 c6b7 b8d7");
  ASSERT_NE(before, nullptr);
  ASSERT_EQ(before->moveCount, 2u);
  EXPECT_EQ(before->moves[0].move, makeMoveValue(sq("b7"), sq("a8"), PAWN, ROOK, QUEEN));
  EXPECT_EQ(before->moves[1].move, makeMoveValue(sq("b7"), sq("a8"), PAWN, ROOK, KNIGHT));
  ASSERT_NE(entryAfter("e2e4 d7d5 e4d5 c7c6 d5c6 g8f6 c6b7 b8d7 b7a8q"), nullptr);
  // A broken text ends its line; en passant is stored as the en-passant capture.
  const char* games =
      "[Result \"0-1\"]\n1. d4 Nf6 2. Qq4 e6 3. c4 0-1\n"
      "[Result \"0-1\"]\n1. e4 Nf6 2. e5 d5 3. exd6 e6 0-1\n";
  bookClear();
  EXPECT_EQ(build(games, 5, 1), 1);
  ASSERT_NE(entryAfter("d2d4"), nullptr);
  EXPECT_EQ(entryAfter("d2d4 g8f6"), nullptr);
  const BookEntry* epEntry = entryAfter("e2e4 g8f6 e4e5 d7d5");
  ASSERT_NE(epEntry, nullptr);
  EXPECT_TRUE(moveIsEnPassant(epEntry->moves[0].move));
  EXPECT_TRUE(boardIsConsistent(engine->board));
}

TEST_F(BookBuilder, FailuresAreReported) {
  std::string pgnPath = path("fail.pgn");
  writeFile(pgnPath, TWO_GAMES);
  EXPECT_EQ(engine->buildBook((scratch.dir + "/missing.pgn").c_str(), path("x.bin").c_str(), 2, 1), 0);
  // A read error is no end of file: a directory opens but cannot be read.
  EXPECT_EQ(engine->buildBook("/tmp", path("dir.bin").c_str(), 2, 1), 0);
  EXPECT_EQ(fileSize(scratch.dir + "/dir.bin"), -1);
  // A book file that cannot be created is a failed build.
  EXPECT_EQ(engine->buildBook(pgnPath.c_str(), "/nonexistent-dir/book.bin", 2, 1), 0);
  // So is one that cannot be written to its end.
  if (access("/dev/full", W_OK) == 0) {
    EXPECT_EQ(engine->buildBook(pgnPath.c_str(), "/dev/full", 2, 1), 0);
  }
}

TEST_F(BookBuilder, BookFromAGameCollectionHoldsLegalMoves) {
  std::string bookPath = path("games.bin");
  ASSERT_EQ(engine->buildBook(TARVOK_TEST_DATA "/games.pgn", bookPath.c_str(), 16, 2), 1);
  ASSERT_TRUE(engine->loadBook(bookPath.c_str()));
  EXPECT_GT(bookEntries.size(), 500u);
  for (size_t i = 1; i < bookEntries.size(); i++) ASSERT_LT(bookEntries[i - 1].key, bookEntries[i].key);
  // Every stored move is a legal move of the position the replay reached:
  // follow the heaviest move from the start as deep as the book goes (not
  // a weighted draw, which could leave the book early by chance).
  engine->newGame();
  int plies = 0;
  while (plies < 20) {
    const long index = bookFindEntry(engine->board.key);
    if (index < 0 || bookEntries[index].moveCount == 0) break;
    const BookEntry& entry = bookEntries[index];
    MoveSlot moves[MAX_MOVES];
    const u32 count = generateMoves(engine->board, moves, boardInCheck(engine->board));
    for (u32 m = 0; m < entry.moveCount; m++) {
      bool legal = false;
      for (u32 i = 0; i < count && !legal; i++) {
        if (moves[i].move != entry.moves[m].move) continue;
        makeMove(engine->board, moves[i].move);
        legal = !isSquareAttacked(engine->board, engine->board.kingSquare[engine->board.opponent], engine->board.side);
        unmakeMove(engine->board, moves[i].move);
      }
      ASSERT_TRUE(legal) << "ply " << plies << " move " << m;
    }
    makeMove(engine->board, entry.moves[0].move);
    plies++;
  }
  EXPECT_GE(plies, 4);
  EXPECT_TRUE(boardIsConsistent(engine->board));
}

}  // namespace
