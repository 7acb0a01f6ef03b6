// Book store and book file: layout, loading (also of damaged files), sorting,
// lookup and the weighted choice of a move.
#include <cstdlib>

#include "book/book.h"
#include "test_support.h"

namespace {

// Little-endian field bytes.
std::string le(u64 value, int size) {
  std::string bytes;
  for (int i = 0; i < size; i++) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}

// Writes the store into a file.
void writeStore(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(bookWrite(file));
  std::fclose(file);
}

// A clean store, an engine in the start position and a scratch directory.
struct BookStore : EngineTest {
  void SetUp() override {
    bookClear();
    engine->newGame();
    engine->bookOn = 1;  // as in a fresh engine
    engine->bookPlyLimit = 0;
  }
  void TearDown() override { bookClear(); }
  ScratchDir scratch;
  std::string path(const char* name) { return scratch.path(name); }
};

TEST_F(BookStore, AddingKeepsTheFirstWeightAndSixteenMoves) {
  bookAddMove(7, 100, 5, 1, 2);
  bookAddMove(3, 200, 1, 0, 0);
  bookAddMove(7, 100, 9, 9, 9);  // repeated move: the first weight stays
  for (u32 m = 0; m < 20; m++) bookAddMove(7, 1000 + m, m, 0, 0);
  ASSERT_EQ(bookEntries.size(), 2u);
  EXPECT_EQ(bookEntries[0].key, 7u);  // order of first arrival
  EXPECT_EQ(bookEntries[0].moveCount, 16u);
  EXPECT_EQ(bookEntries[0].moves[0].weight, 5u);
  EXPECT_EQ(bookEntries[0].moves[0].pctB, 2);
  EXPECT_EQ(bookEntries[0].moves[15].move, 1014u);
}

TEST_F(BookStore, FileLayoutIsLittleEndianFieldByField) {
  bookAddMove(0x0102030405060708ull, 0x00a0b0c0, 0x11223344, 50, 25);
  bookAddMove(0x0102030405060708ull, 0x00000042, 7, 0, 100);
  std::string file = path("layout.bin");
  writeStore(file);
  std::string expected = std::string("BOOK") + le(65537, 4) + le(1, 4) + le(0x0102030405060708ull, 8) + le(2, 4) +
                         le(0x00a0b0c0, 4) + le(0x11223344, 4) + le(50, 1) + le(25, 1) + le(0x42, 4) + le(7, 4) +
                         le(0, 1) + le(100, 1);
  EXPECT_EQ(readFile(file), expected);
}

TEST_F(BookStore, RoundTripAndRepeatedKeysMerge) {
  for (u64 key = 1; key <= 300; key++)
    for (u32 m = 0; m < key % 5 + 1; m++) bookAddMove(key * 0x9e3779b97f4a7c15ull, m + 1, m * 3, 10, 20);
  bookSort();
  std::vector<BookEntry> before = bookEntries;
  std::string file = path("round.bin");
  writeStore(file);
  ASSERT_TRUE(engine->loadBook(file.c_str()));
  ASSERT_EQ(bookEntries.size(), before.size());
  for (size_t i = 0; i < before.size(); i++) {
    ASSERT_EQ(bookEntries[i].key, before[i].key);
    ASSERT_EQ(bookEntries[i].moveCount, before[i].moveCount);
    for (u32 m = 0; m < before[i].moveCount; m++) {
      EXPECT_EQ(bookEntries[i].moves[m].move, before[i].moves[m].move);
      EXPECT_EQ(bookEntries[i].moves[m].weight, before[i].moves[m].weight);
    }
  }
  EXPECT_EQ(engine->bookOn, 1u);
  EXPECT_EQ(engine->bookPlyLimit, 20u);
  // Loading again leaves one copy of each entry.
  ASSERT_TRUE(engine->loadBook(file.c_str()));
  EXPECT_EQ(bookEntries.size(), before.size());
  // A key in two entries of a file gives one entry with the moves of both, in file order.
  std::string twice = path("twice.bin");
  writeFile(twice, std::string("BOOK") + le(65537, 4) + le(2, 4) + le(9, 8) + le(1, 4) + le(11, 4) + le(1, 4) +
                       le(0, 2) + le(9, 8) + le(2, 4) + le(12, 4) + le(2, 4) + le(0, 2) + le(11, 4) + le(5, 4) +
                       le(0, 2));
  ASSERT_TRUE(engine->loadBook(twice.c_str()));
  ASSERT_EQ(bookEntries.size(), 1u);
  ASSERT_EQ(bookEntries[0].moveCount, 2u);
  EXPECT_EQ(bookEntries[0].moves[0].move, 11u);
  EXPECT_EQ(bookEntries[0].moves[0].weight, 1u);
  EXPECT_EQ(bookEntries[0].moves[1].move, 12u);
  // No entries at all is a valid book.
  std::string empty = path("empty.bin");
  writeFile(empty, std::string("BOOK") + le(65537, 4) + le(0, 4));
  EXPECT_TRUE(engine->loadBook(empty.c_str()));
  EXPECT_TRUE(bookEntries.empty());
}

TEST_F(BookStore, DamagedFilesAreRejectedWhole) {
  for (u64 key = 1; key <= 3; key++)
    for (u32 m = 1; m <= 2; m++) bookAddMove(key, m, m, 0, 0);
  std::string good = path("good.bin");
  writeStore(good);
  const std::string bytes = readFile(good);
  std::string bad = path("bad.bin");
  // Every cut of the file, also in the middle of a field.
  for (size_t size = 0; size < bytes.size(); size++) {
    writeFile(bad, bytes.substr(0, size));
    engine->bookOn = 0;
    EXPECT_FALSE(engine->loadBook(bad.c_str())) << size;
    EXPECT_TRUE(bookEntries.empty()) << size;
    EXPECT_EQ(engine->bookPlyLimit, 20u);
  }
  // A count larger than the file, a wrong magic, no file.
  writeFile(bad, bytes.substr(0, 8) + le(4000000000u, 4) + bytes.substr(12));
  EXPECT_FALSE(engine->loadBook(bad.c_str()));
  writeFile(bad, "KOOB" + bytes.substr(4));
  EXPECT_FALSE(engine->loadBook(bad.c_str()));
  EXPECT_FALSE(engine->loadBook((scratch.dir + "/missing.bin").c_str()));
  EXPECT_TRUE(bookEntries.empty());
  EXPECT_TRUE(engine->loadBook(good.c_str()));
  EXPECT_EQ(bookEntries.size(), 3u);
  // Bytes after the counted entries are ignored; a count below the number
  // of entries in the file loads only the counted ones.
  for (const std::string& padded :
       {bytes + "x", bytes + std::string(100, '\0'), bytes.substr(0, 8) + le(2, 4) + bytes.substr(12)}) {
    writeFile(bad, padded);
    bookClear();
    EXPECT_TRUE(engine->loadBook(bad.c_str())) << padded.size();
    EXPECT_EQ(bookEntries.size(), padded.size() == bytes.size() ? 2u : 3u);
  }
}

TEST_F(BookStore, SortingGivesAscendingKeysAndTheExchangeOrderOfWeights) {
  bookAddMove(50, 1, 1, 0, 0);
  bookAddMove(50, 2, 3, 0, 0);
  bookAddMove(50, 3, 1, 0, 0);
  bookAddMove(50, 4, 3, 0, 0);
  bookAddMove(0xffffffffffffffffull, 9, 1, 0, 0);
  bookAddMove(10, 9, 1, 0, 0);
  bookAddMove(0x8000000000000000ull, 9, 1, 0, 0);
  bookSort();
  ASSERT_EQ(bookEntries.size(), 4u);
  EXPECT_EQ(bookEntries[0].key, 10u);
  EXPECT_EQ(bookEntries[1].key, 50u);
  EXPECT_EQ(bookEntries[2].key, 0x8000000000000000ull);  // unsigned order
  EXPECT_EQ(bookEntries[3].key, 0xffffffffffffffffull);
  // Weights 1 3 1 3: the exchange sort ends 3 3 1 1 with the last two reversed.
  const BookEntry& e = bookEntries[1];
  EXPECT_EQ(e.moves[0].move, 2u);
  EXPECT_EQ(e.moves[1].move, 4u);
  EXPECT_EQ(e.moves[2].move, 3u);
  EXPECT_EQ(e.moves[3].move, 1u);
  // Lookup by bisection finds the first, the last and every other entry.
  for (long i = 0; i < 4; i++) EXPECT_EQ(bookFindEntry(bookEntries[i].key), i);
  EXPECT_EQ(bookFindEntry(11), -1);
  EXPECT_EQ(bookFindEntry(0), -1);
  // Moves added after sorting still reach their entry.
  bookAddMove(50, 5, 1, 0, 0);
  EXPECT_EQ(bookEntries[1].moveCount, 5u);
  bookClear();
  bookAddMove(42, 1, 1, 0, 0);
  EXPECT_EQ(bookFindEntry(42), 0);
  EXPECT_EQ(bookFindEntry(43), -1);
}

TEST_F(BookStore, ChoiceFollowsTheWeights) {
  BookEntry entry{};
  entry.moveCount = 2;
  entry.moves[0].weight = 1;
  entry.moves[1].weight = 3;
  std::srand(12345);
  int second = 0;
  const int draws = 40000;
  for (int i = 0; i < draws; i++) second += bookChooseMove(entry) == 1;
  EXPECT_NEAR(second / double(draws), 0.75, 0.015);
  // Weights 0 never divide by zero; a move of weight 0 after others is never chosen.
  entry.moves[0].weight = 0;
  for (int i = 0; i < 100; i++) EXPECT_EQ(bookChooseMove(entry), 1u);
  entry.moves[1].weight = 0;
  EXPECT_EQ(bookChooseMove(entry), 0u);
  entry.moveCount = 3;
  entry.moves[0].weight = 4;
  entry.moves[2].weight = 0;
  for (int i = 0; i < 100; i++) EXPECT_EQ(bookChooseMove(entry), 0u);
}

// Fills the engine's root moves as the root search does.
void generateRoot(Engine* e) { e->rootMoveCount = generateMoves(e->board, e->rootMoves, boardInCheck(e->board)); }

TEST_F(BookStore, PickPlaysOnlyLegalRootMovesWhileTheGameIsYoung) {
  generateRoot(engine);
  const Move e2e4 = makeMoveValue(12, 28, PAWN, 0, 0, MOVE_DOUBLE);
  bookAddMove(engine->board.key, e2e4, 1, 0, 0);
  bookSort();
  // A fresh engine never asks: no book was loaded.
  EXPECT_EQ(pickBookMove(*engine), MOVE_NONE);
  engine->bookPlyLimit = 20;
  EXPECT_EQ(pickBookMove(*engine), e2e4);
  engine->gamePly = 19;
  EXPECT_EQ(pickBookMove(*engine), e2e4);
  engine->gamePly = 20;
  EXPECT_EQ(pickBookMove(*engine), MOVE_NONE);
  engine->gamePly = 0;
  engine->bookOn = 0;
  EXPECT_EQ(pickBookMove(*engine), MOVE_NONE);
  engine->bookOn = 1;
  // A move that is not a root move here (another position with this key) is ignored.
  bookClear();
  bookAddMove(engine->board.key, makeMoveValue(12, 36, PAWN), 1, 0, 0);
  EXPECT_EQ(pickBookMove(*engine), MOVE_NONE);
  // A generated move that leaves the own king attacked is ignored too.
  ASSERT_TRUE(engine->setFEN("k3r3/8/8/8/8/8/4N3/4K3 w - - 0 1"));
  generateRoot(engine);
  const Move pinned = makeMoveValue(12, 18, KNIGHT);
  const Move kingStep = makeMoveValue(4, 3, KING);
  bookClear();
  bookAddMove(engine->board.key, pinned, 1, 0, 0);
  EXPECT_EQ(pickBookMove(*engine), MOVE_NONE);
  bookClear();
  bookAddMove(engine->board.key, kingStep, 1, 0, 0);
  EXPECT_EQ(pickBookMove(*engine), kingStep);
  EXPECT_TRUE(boardIsConsistent(engine->board));
}

}  // namespace
