// The engine plays from its book under UCI and xboard, as a GUI sees it.
#include <cctype>
#include <set>

#include "book/book.h"
#include "e2e_driver.h"
#include "test_support.h"

namespace {

const int LONG_WAIT = e2e::LONG_WAIT;

// A temporary directory with a book built from the game collection, and the
// book's moves for the start position.
struct BookE2e : EngineTest {
  void SetUp() override {
    bookPath = scratch.path("my book.bin");  // a name with a blank is taken whole
    scratch.path("tarvok.ini");
    scratch.path("bad.bin");
    bookClear();
    engine->newGame();
    ASSERT_EQ(engine->buildBook(TARVOK_TEST_DATA "/games.pgn", bookPath.c_str(), 16, 2), 1);
    ASSERT_TRUE(engine->loadBook(bookPath.c_str()));
    engine->newGame();
    long index = bookFindEntry(engine->board.key);
    ASSERT_GE(index, 0);
    for (u32 i = 0; i < bookEntries[index].moveCount; i++)
      startMoves.insert(squaresText(bookEntries[index].moves[i].move));
    bookClear();
  }
  ScratchDir scratch;
  const std::string& dir = scratch.dir;
  std::string bookPath;
  std::set<std::string> startMoves;
};

// True when no search report came before the book move.
bool noSearchLines(const std::vector<std::string>& seen) {
  for (const std::string& line : seen)
    if (line.compare(0, 11, "info depth ") == 0 || (!line.empty() && isdigit((unsigned char)line[0]))) return false;
  return true;
}

TEST_F(BookE2e, UciPlaysBookMovesWithOwnBookAndSearchesWithout) {
  ASSERT_GE(startMoves.size(), 2u);
  E2eDriver d;
  ASSERT_TRUE(d.start(TARVOK_BIN_POPCNT));
  d.send("uci");
  ASSERT_TRUE(d.waitFor("uciok", LONG_WAIT)) << d.transcript();
  d.send("setoption name Book File value " + bookPath);
  d.send("setoption name OwnBook value true");
  for (int i = 0; i < 12; i++) {
    d.sendAll({"position startpos", "go wtime 60000 btime 60000"});
    std::vector<std::string> seen;
    std::string line;
    ASSERT_TRUE(d.waitFor("bestmove ", LONG_WAIT, &seen, &line)) << d.transcript();
    std::string move = line.substr(9, line.find(' ', 9) - 9);
    EXPECT_EQ(startMoves.count(move), 1u) << line;
    EXPECT_TRUE(noSearchLines(seen)) << d.transcript();
  }
  // An analysis is searched, never answered from the book.
  d.sendAll({"position startpos", "go infinite"});
  EXPECT_TRUE(d.waitFor("info depth ", 5000)) << d.transcript();
  d.send("stop");
  ASSERT_TRUE(d.waitFor("bestmove ", LONG_WAIT)) << d.transcript();
  // Switched off, the engine searches again.
  d.sendAll({"setoption name OwnBook value false", "position startpos", "go depth 2"});
  std::vector<std::string> seen;
  ASSERT_TRUE(d.waitFor("bestmove ", LONG_WAIT, &seen)) << d.transcript();
  EXPECT_FALSE(noSearchLines(seen)) << d.transcript();
  // A damaged book is refused whole and reported.
  writeFile(dir + "/bad.bin", "BOOK\x01\x00\x01\x00\x05\x00\x00\x00" + std::string(20, '\x07'));
  d.send("setoption name Book File value " + dir + "/bad.bin");
  d.send("setoption name OwnBook value true");
  EXPECT_TRUE(d.waitFor("info string book file not found", LONG_WAIT)) << d.transcript();
  EXPECT_EQ(d.quit(), 0);
}

TEST_F(BookE2e, XboardPlaysBookMovesWhenTheSettingsFileSaysSo) {
  writeFile(dir + "/tarvok.ini", "[Engine]\nBook=1\nBookFile=" + bookPath + "\n");
  E2eDriver d;
  ASSERT_TRUE(d.start(TARVOK_BIN_GENERIC, {}, dir));
  d.sendAll({"xboard", "protover 2"});
  ASSERT_TRUE(d.waitFor("feature ", LONG_WAIT)) << d.transcript();
  d.sendAll({"new", "post", "go"});
  std::vector<std::string> seen;
  std::string line;
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT, &seen, &line)) << d.transcript();
  EXPECT_EQ(startMoves.count(line.substr(5)), 1u) << line;
  EXPECT_TRUE(noSearchLines(seen)) << d.transcript();
  // An analysis of a book position shows its thinking.
  d.sendAll({"new", "analyze"});
  EXPECT_TRUE(d.waitFor("1 ", 5000)) << d.transcript();
  d.send("exit");
  EXPECT_EQ(d.quit(), 0);
}

}  // namespace
