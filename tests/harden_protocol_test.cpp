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

// A line that waits for the search (a depth or clock setting, a print)
// held every later line behind it, the opponent's move to a ponder search
// included; the ponder search has no limit, so the engine never moved.
// What ends or redirects a ponder search acts when it arrives; the waiting
// lines run after it. HIT and MISS stand for the predicted reply and
// another move.
TEST(HardenProtocol, PonderSearchActsOnLinesBehindWaitingOnes) {
  struct Case {
    const char* name;
    bool xboard;
    std::vector<std::string> setup;   // up to the start of the ponder search
    std::vector<std::string> during;  // sent while it runs
    const char* expect;               // reply due ("": the program ends)
    const char* forbid;               // reply that must not come first, or null
    int lastDepth;                    // depth of the thinking line before it, or 0
  };
  const std::vector<std::string> xboardPonder = {"hard", "level 40 0:30 0", "time 300", "otim 300", "e2e4"};
  const std::vector<std::string> uciPonder = {"setoption name Ponder value true", "position startpos moves e2e4",
                                              "go ponder wtime 300 btime 300"};
  const Case cases[] = {
      {"hit", true, xboardPonder, {"sd 4", "time 280", "otim 290", "HIT"}, "move ", nullptr, 0},
      // The depth limit waits for the position and applies to the reply.
      {"miss", true, xboardPonder, {"sd 4", "printHashKey", "MISS"}, "move ", nullptr, 4},
      {"easy", true, xboardPonder, {"level 40 5 0", "easy", "ping 5"}, "pong 5", "move", 0},
      {"force", true, xboardPonder, {"sd 4", "force", "HIT", "ping 6"}, "pong 6", "move", 0},
      {"quit", true, xboardPonder, {"st 2", "quit"}, "", nullptr, 0},
      {"analysis", true, {"force", "e2e4", "analyze"}, {"sd 4", "e7e5", "exit", "ping 7"}, "pong 7", "move", 0},
      {"ponderhit",
       false,
       uciPonder,
       {"setoption name MultiPV value 1", "position startpos", "ponderhit"},
       "bestmove",
       nullptr,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    E2eDriver d;
    ASSERT_TRUE(d.start(TARVOK_BIN_POPCNT));
    d.send(c.xboard ? "xboard" : "uci");
    ASSERT_TRUE(d.waitFor(c.xboard ? "feature" : "uciok", 10000));
    if (c.xboard) d.sendAll({"new", "post"});
    for (const std::string& line : c.setup) d.send(line);
    std::string hint = "Hint: ";
    if (c.xboard && c.setup.back() == "e2e4") {
      ASSERT_TRUE(d.waitFor("Hint: ", 10000, nullptr, &hint)) << d.transcript();
    }
    const std::string hit = hint.substr(6);
    d.drain(100);
    for (const std::string& line : c.during)
      d.send(line == "HIT" ? hit : line == "MISS" ? (hit == "d2d4" ? "g1f3" : "d2d4") : line);
    if (!*c.expect) {
      EXPECT_NE(d.waitExit(10000), -1) << d.transcript();
      continue;
    }
    std::vector<std::string> seen;
    if (!d.waitFor(c.expect, 5000, &seen)) {
      ADD_FAILURE() << "no " << c.expect << "\n" << d.transcript();
      continue;
    }
    if (c.forbid) {
      EXPECT_EQ(e2e::countPrefix(seen, c.forbid), 0) << d.transcript();
    }
    if (c.lastDepth) {
      ASSERT_GE(seen.size(), 2u) << d.transcript();
      EXPECT_EQ(seen[seen.size() - 2].compare(0, 2, std::to_string(c.lastDepth) + " "), 0) << d.transcript();
    }
    d.send("quit");
    EXPECT_NE(d.waitExit(10000), -1);
  }
}
