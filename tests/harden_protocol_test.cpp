// Regression tests for hangs that fuzzing found in the protocols: each
// session here once left the program deaf to the GUI.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_driver.h"

// Nine lines that must wait for the search filled the queue of waiting
// lines; input was then held until the search ended, and an infinite
// search never ends, so "stop" was never read.
TEST(HardenProtocol, UciWaitingLinesDoNotBlockStop) {
  E2eDriver d;
  ASSERT_TRUE(d.start(TARVOK_BIN_POPCNT));
  d.send("uci");
  ASSERT_TRUE(d.waitFor("uciok", 10000));
  d.send("go infinite");
  for (int i = 0; i < 9; i++) d.send("setoption name MultiPV value 1");
  d.send("isready");
  // The bestmove still waits for "stop".
  std::vector<std::string> seen;
  ASSERT_TRUE(d.waitFor("readyok", 10000, &seen));
  for (const std::string& line : seen) EXPECT_NE(line.compare(0, 8, "bestmove"), 0) << line;
  d.send("stop");
  ASSERT_TRUE(d.waitFor("bestmove", 10000));
  // The same with a ponder search and "ponderhit" behind the lines.
  d.send("setoption name Ponder value true");
  d.send("position startpos moves e2e4");
  d.send("go ponder wtime 100000 btime 100000");
  for (int i = 0; i < 9; i++) d.send("setoption name UCI_Elo value 2600");
  d.send("ponderhit");
  ASSERT_TRUE(d.waitFor("bestmove", 10000));
  d.send("quit");
  EXPECT_NE(d.waitExit(10000), -1);
}

// The same in xboard: lines that wait during an analysis kept "exit" and
// "ping" in the pipe for ever.
TEST(HardenProtocol, XboardWaitingLinesDoNotBlockExit) {
  E2eDriver d;
  ASSERT_TRUE(d.start(TARVOK_BIN_POPCNT));
  d.send("xboard");
  d.send("protover 2");
  ASSERT_TRUE(d.waitFor("feature", 10000));
  d.send("new");
  d.send("analyze");
  for (int i = 0; i < 10; i++) d.send("sd 30");
  d.send("exit");
  d.send("ping 7");
  ASSERT_TRUE(d.waitFor("pong 7", 10000));
  d.send("quit");
  EXPECT_NE(d.waitExit(10000), -1);
}

// An infinite search that runs out of depth (two bare kings reach the last
// iteration in a moment) wrote its bestmove before the GUI sent "stop".
TEST(HardenProtocol, UciInfiniteSearchWaitsForStop) {
  E2eDriver d;
  ASSERT_TRUE(d.start(TARVOK_BIN_POPCNT));
  d.send("uci");
  ASSERT_TRUE(d.waitFor("uciok", 10000));
  d.send("position fen 7k/8/8/8/8/8/8/K7 w - - 0 1");
  d.send("go infinite");
  d.send("isready");
  std::vector<std::string> seen;
  ASSERT_TRUE(d.waitFor("readyok", 10000, &seen));
  for (const std::string& line : d.drain(500)) seen.push_back(line);
  for (const std::string& line : seen) EXPECT_NE(line.compare(0, 8, "bestmove"), 0) << line;
  d.send("stop");
  std::string best;
  ASSERT_TRUE(d.waitFor("bestmove", 10000, nullptr, &best));
  EXPECT_EQ(best.compare(0, 11, "bestmove a1"), 0) << best;
  // Exactly one.
  d.send("isready");
  seen.clear();
  ASSERT_TRUE(d.waitFor("readyok", 10000, &seen));
  EXPECT_EQ(seen.size(), 1u);
  d.send("quit");
  EXPECT_NE(d.waitExit(10000), -1);
}
