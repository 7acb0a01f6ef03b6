// The start-up protocol: the first line chooses UCI or xboard or ends the run.
#include "e2e_driver.h"

namespace {
const int WAIT = 10000;
const char* BANNER = "Tarvok 1.8 (64 bits) by Merrowin";
}  // namespace

// Any other first line ends the program after the banner. Only the CR just
// before the LF goes with it: "uci\r\r" is no protocol name; "quit\r" is
// "quit", which is none either.
TEST(ConsoleE2e, OtherFirstLinesEndTheProgram) {
  for (const char* first : {"UCI", "uci ", "xboard ", "setvalue", "hello", "uci\r\r", "quit\r"}) {
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

// A line longer than 65536 characters is one line that is too long: it is
// thrown away whole, and no tail of it runs as a command, neither between
// searches nor while one runs; a zero byte in it changes nothing. A line
// that just fits is still read as it stands, a zero byte ends its command.
TEST(ConsoleE2e, OverlongLinesAreDroppedWhole) {
  const std::string fill(65536, 'x');
  const std::string zero(1, '\0');
  E2eDriver d;
  ASSERT_TRUE(d.start(TARVOK_BIN_POPCNT));
  d.send("uci");
  ASSERT_TRUE(d.waitFor("uciok", WAIT)) << d.transcript();
  std::string longLine = "position startpos moves";
  while (longLine.size() < 70000) longLine += " e2e4";
  d.send(longLine);
  d.send(fill + "isready");
  d.send("go infinite");
  d.send(fill + "stop");
  d.send("isready");
  std::vector<std::string> seen;
  EXPECT_TRUE(d.waitFor("readyok", WAIT, &seen)) << d.transcript();
  d.send("isready");
  EXPECT_TRUE(d.waitFor("readyok", WAIT, &seen)) << d.transcript();
  for (const std::string& line : d.drain(200)) seen.push_back(line);
  EXPECT_EQ(e2e::countPrefix(seen, "readyok"), 2) << d.transcript();
  EXPECT_EQ(e2e::countPrefix(seen, "bestmove"), 0) << d.transcript();
  d.send("stop");
  EXPECT_TRUE(d.waitFor("bestmove", WAIT)) << d.transcript();
  d.send("quit");
  EXPECT_EQ(d.waitExit(WAIT), 0);

  E2eDriver x;
  ASSERT_TRUE(x.start(TARVOK_BIN_POPCNT));
  x.sendAll({"xboard", "protover 2", "new", "force"});
  seen.clear();
  x.send(fill + "ping 77");
  x.send(fill + "e2e4");
  x.send(zero + fill + "ping 79");
  x.send(zero + std::string(4094, 'x') + "ping 80");
  std::string fits = "ping 78";
  fits.resize(65536, ' ');
  x.send(fits + "\r");
  x.send("printFEN");
  std::string fen;
  ASSERT_TRUE(x.waitFor("rnbqkbnr/", WAIT, &seen, &fen)) << x.transcript();
  EXPECT_EQ(e2e::countPrefix(seen, "pong 77"), 0) << x.transcript();
  EXPECT_EQ(e2e::countPrefix(seen, "pong 78"), 1) << x.transcript();
  EXPECT_EQ(e2e::countPrefix(seen, "pong 79"), 0) << x.transcript();
  EXPECT_EQ(e2e::countPrefix(seen, "pong 80"), 0) << x.transcript();
  EXPECT_EQ(fen.find("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w"), 0u) << fen;
  x.send("quit");
  EXPECT_EQ(x.waitExit(WAIT), 0);
}

// A client that ends its lines with CR LF is understood in full, from the
// first line on, in both protocols and during a search.
TEST(ConsoleE2e, CrLfLineEnds) {
  E2eDriver d;
  ASSERT_TRUE(d.start(TARVOK_BIN_POPCNT));
  d.sendRaw("uci\r\nisready\r\nposition startpos moves e2e4\r\nprintFEN\r\ngo depth 2\r\n");
  std::vector<std::string> seen;
  ASSERT_TRUE(d.waitFor("bestmove", WAIT, &seen)) << d.transcript();
  EXPECT_EQ(e2e::countPrefix(seen, "uciok"), 1) << d.transcript();
  EXPECT_EQ(e2e::countPrefix(seen, "readyok"), 1) << d.transcript();
  EXPECT_EQ(e2e::countPrefix(seen, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b "), 1) << d.transcript();
  EXPECT_TRUE(e2e::isBestMoveLine(seen.back())) << seen.back();
  d.sendRaw("go infinite\r\nisready\r\n");
  EXPECT_TRUE(d.waitFor("readyok", WAIT)) << d.transcript();
  d.sendRaw("stop\r\n");
  EXPECT_TRUE(d.waitFor("bestmove", WAIT)) << d.transcript();
  d.sendRaw("quit\r\n");
  EXPECT_EQ(d.waitExit(WAIT), 0);

  E2eDriver x;
  ASSERT_TRUE(x.start(TARVOK_BIN_POPCNT));
  x.sendRaw("xboard\r\nprotover 2\r\nping 5\r\n");
  EXPECT_TRUE(x.waitFor("pong 5", WAIT)) << x.transcript();
  x.sendRaw("quit\r\n");
  EXPECT_EQ(x.waitExit(WAIT), 0);
}
