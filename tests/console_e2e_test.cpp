// The start-up protocol: the first line chooses UCI or xboard or ends the run.
#include "e2e_driver.h"

namespace {
const int WAIT = 10000;
const char* BANNER = "Tarvok 1.8 (64 bits) by Merrowin";
}  // namespace

// Any other first line ends the program after the banner.
TEST(ConsoleE2e, OtherFirstLinesEndTheProgram) {
    for (const char* first : {"UCI", "uci ", "xboard ", "setvalue", "hello", "quit\r"}) {
        E2eDriver d;
        ASSERT_TRUE(d.start(TARVOK_BIN_POPCNT));
        d.send(first);
        EXPECT_EQ(d.waitExit(WAIT), 0) << "first line '" << first << "'";
        std::string line;
        EXPECT_TRUE(d.readLine(line, 100));
        EXPECT_EQ(line, BANNER);
        EXPECT_FALSE(d.readLine(line, 100)) << "unexpected output: " << line;
    }
}

// Empty lines and "setvalue ..." lines are passed over; then uci works.
TEST(ConsoleE2e, EmptyAndSetvalueLinesKeepWaiting) {
    E2eDriver d;
    ASSERT_TRUE(d.start(TARVOK_BIN_GENERIC));
    d.sendRaw("\n\n");
    d.sendAll({"setvalue Hash 64", "uci"});
    std::vector<std::string> seen;
    ASSERT_TRUE(d.waitFor("uciok", WAIT, &seen)) << d.transcript();
    EXPECT_EQ(seen.front(), BANNER);
    EXPECT_EQ(seen[1], "id name Tarvok 1.8 64 bits");
    d.send("quit");
    EXPECT_EQ(d.waitExit(WAIT), 0);
}

// An idle end of input, before any protocol, ends the program quietly.
TEST(ConsoleE2e, EndOfInputBeforeAnyProtocol) {
    E2eDriver d;
    ASSERT_TRUE(d.start(TARVOK_BIN_POPCNT));
    d.closeInput();
    EXPECT_EQ(d.waitExit(WAIT), 0);
}

// A line longer than the buffer arrives in pieces and is never taken as a
// command; the engine stays usable.
TEST(ConsoleE2e, OverlongLinesArriveInPieces) {
    E2eDriver d;
    ASSERT_TRUE(d.start(TARVOK_BIN_POPCNT));
    d.send("uci");
    ASSERT_TRUE(d.waitFor("uciok", WAIT)) << d.transcript();
    std::string longLine = "position startpos moves";
    while (longLine.size() < 10000) longLine += " e2e4";
    d.send(longLine);
    d.send(std::string(4095, 'x') + "isready");  // the second piece is "isready"
    EXPECT_TRUE(d.waitFor("readyok", WAIT)) << d.transcript();
    d.send("isready");
    EXPECT_TRUE(d.waitFor("readyok", WAIT)) << d.transcript();
    d.send("quit");
    EXPECT_EQ(d.waitExit(WAIT), 0);
}
