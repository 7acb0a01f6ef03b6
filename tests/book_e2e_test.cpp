// The engine plays from its book under UCI and xboard, as a GUI sees it.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "board/types.h"
#include "book/book.h"
#include "search/engine.h"
#include "tests/e2e_driver.h"

namespace {

const int LONG_WAIT = 20000;

// Coordinate text of a book move (no castling can come from these positions).
std::string moveText(Move move) {
    std::string text;
    text += char('a' + squareFile(moveFrom(move)));
    text += char('1' + squareRank(moveFrom(move)));
    text += char('a' + squareFile(moveTo(move)));
    text += char('1' + squareRank(moveTo(move)));
    if (movePromotion(move)) text += " nbrq"[movePromotion(move) - 1];
    return text;
}

// A temporary directory with a book built from the game collection, and the
// book's moves for the start position.
class BookE2e : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarvok_book_e2e_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        bookPath = dir + "/my book.bin";  // a name with a blank is taken whole
        std::unique_ptr<Engine> engine(new Engine);
        engine->init(1);
        engine->newGame();
        bookClear();
        ASSERT_EQ(engine->buildBook(TARVOK_TEST_DATA "/games.pgn", bookPath.c_str(), 16, 2), 1);
        ASSERT_TRUE(engine->loadBook(bookPath.c_str()));
        engine->newGame();
        long index = bookFindEntry(engine->board.key);
        ASSERT_GE(index, 0);
        for (u32 i = 0; i < bookEntries[index].moveCount; i++)
            startMoves.insert(moveText(bookEntries[index].moves[i].move));
        bookClear();
    }
    void TearDown() override {
        std::remove(bookPath.c_str());
        std::remove((dir + "/tarvok.ini").c_str());
        std::remove((dir + "/bad.bin").c_str());
        rmdir(dir.c_str());
    }
    void writeFile(const std::string& path, const std::string& text) {
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    std::string dir, bookPath;
    std::set<std::string> startMoves;
};

// True when no search report came before the book move.
bool noSearchLines(const std::vector<std::string>& seen) {
    for (const std::string& line : seen)
        if (line.compare(0, 11, "info depth ") == 0 || (!line.empty() && isdigit((unsigned char)line[0])))
            return false;
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
        d.send("position startpos");
        d.send("go wtime 60000 btime 60000");
        std::vector<std::string> seen;
        std::string line;
        ASSERT_TRUE(d.waitFor("bestmove ", LONG_WAIT, &seen, &line)) << d.transcript();
        std::string move = line.substr(9, line.find(' ', 9) - 9);
        EXPECT_EQ(startMoves.count(move), 1u) << line;
        EXPECT_TRUE(noSearchLines(seen)) << d.transcript();
    }
    // Switched off, the engine searches again.
    d.send("setoption name OwnBook value false");
    d.send("position startpos");
    d.send("go depth 2");
    std::vector<std::string> seen;
    ASSERT_TRUE(d.waitFor("bestmove ", LONG_WAIT, &seen)) << d.transcript();
    EXPECT_FALSE(noSearchLines(seen)) << d.transcript();
    // A damaged book is refused whole and reported.
    writeFile(dir + "/bad.bin", "BOOK\x01\x00\x01\x00\x05\x00\x00\x00" + std::string(20, '\x07'));
    d.send("setoption name Book File value " + dir + "/bad.bin");
    d.send("setoption name OwnBook value true");
    EXPECT_TRUE(d.waitFor("info string book file not found", LONG_WAIT)) << d.transcript();
    d.send("quit");
    EXPECT_EQ(d.waitExit(LONG_WAIT), 0);
}

TEST_F(BookE2e, XboardPlaysBookMovesWhenTheSettingsFileSaysSo) {
    writeFile(dir + "/tarvok.ini", "[Engine]\nBook=1\nBookFile=" + bookPath + "\n");
    E2eDriver d;
    ASSERT_TRUE(d.start(TARVOK_BIN_GENERIC, {}, dir));
    d.send("xboard");
    d.send("protover 2");
    ASSERT_TRUE(d.waitFor("feature ", LONG_WAIT)) << d.transcript();
    d.send("new");
    d.send("post");
    d.send("go");
    std::vector<std::string> seen;
    std::string line;
    ASSERT_TRUE(d.waitFor("move ", LONG_WAIT, &seen, &line)) << d.transcript();
    EXPECT_EQ(startMoves.count(line.substr(5)), 1u) << line;
    EXPECT_TRUE(noSearchLines(seen)) << d.transcript();
    d.send("quit");
    EXPECT_EQ(d.waitExit(LONG_WAIT), 0);
}

}  // namespace
