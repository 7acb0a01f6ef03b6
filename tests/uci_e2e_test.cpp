// UCI sessions driven through pipes, as a GUI drives the engine.
#include "e2e_driver.h"

namespace {

using namespace e2e;

// Starts the program and completes the UCI handshake.
void startUci(E2eDriver& d, const char* program = TARVOK_BIN_POPCNT) {
  ASSERT_TRUE(d.start(program));
  ASSERT_TRUE(d.send("uci"));
  ASSERT_TRUE(d.waitFor("uciok", LONG_WAIT)) << d.transcript();
}

// Waits for the bestmove line and returns it ("" on time-out).
std::string bestMove(E2eDriver& d, std::vector<std::string>* seen = nullptr, int timeoutMs = LONG_WAIT) {
  std::string line;
  if (!d.waitFor("bestmove", timeoutMs, seen, &line)) return "";
  return line;
}

}  // namespace

// Banner first, then identification, the nine options in order and uciok.
TEST(UciE2e, HandshakeListsIdentityAndOptions) {
  for (const char* program : {TARVOK_BIN_POPCNT, TARVOK_BIN_GENERIC}) {
    E2eDriver d;
    ASSERT_TRUE(d.start(program));
    d.send("uci");
    std::vector<std::string> seen;
    ASSERT_TRUE(d.waitFor("uciok", LONG_WAIT, &seen)) << d.transcript();
    const std::vector<std::string> expected = {
        "Tarvok 1.8 (64 bits) by Merrowin",
        "id name Tarvok 1.8 64 bits",
        "id author Merrowin",
        "option name Hash type spin default 32 min 1 max 8192",
        "option name Ponder type check default false",
        "option name OwnBook type check default false",
        "option name Book File type string default tarvokbook-11.bin",
        "option name Clear Hash type button",
        "option name UCI_Chess960 type check default false",
        "option name MultiPV type spin default 1 min 1 max 32",
        "option name UCI_LimitStrength type check default false",
        "option name UCI_Elo type spin default 2600 min 1000 max 2600",
        "uciok",
    };
    EXPECT_EQ(seen, expected);
    d.send("isready");
    EXPECT_TRUE(d.waitFor("readyok", LONG_WAIT)) << d.transcript();
    EXPECT_EQ(d.quit(), 0);
  }
}

// position startpos / fen with moves set the board; a later bare startpos resets it.
TEST(UciE2e, PositionCommandsSetTheBoard) {
  E2eDriver d;
  startUci(d);
  // The debug counters run on the position; a counter without a depth does nothing.
  d.sendAll({"position startpos moves e2e4", "perft", "perft 2", "eval", "isready"});
  std::vector<std::string> seen;
  ASSERT_TRUE(d.waitFor("readyok", LONG_WAIT, &seen)) << d.transcript();
  EXPECT_EQ(countPrefix(seen, "Depth "), 1) << d.transcript();
  EXPECT_EQ(countPrefix(seen, "Nodes = 600"), 1) << d.transcript();
  EXPECT_EQ(countPrefix(seen, "eval = "), 1) << d.transcript();
  d.send("position startpos moves e2e4 e7e5 g1f3");
  EXPECT_TRUE(fenStartsWith(d, "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1"));
  d.send("position startpos");
  EXPECT_TRUE(fenStartsWith(d, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0"));
  d.send("position fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1 moves e1g1 e8d8");
  EXPECT_TRUE(fenStartsWith(d, "3k4/8/8/8/8/8/8/5RK1 w - -"));
  // A bad move stops the list; the moves before it stay played.
  d.send("position startpos moves e2e4 e7e6 e1e3 d2d4");
  EXPECT_TRUE(fenStartsWith(d, "rnbqkbnr/pppp1ppp/4p3/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0"));
  // A rejected FEN leaves the position alone; garbage is ignored.
  d.sendAll({"position fen 9/8 w - - 0 1", "position nonsense", "go"});
  EXPECT_TRUE(fenStartsWith(d, "rnbqkbnr/pppp1ppp/4p3/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0"));
  EXPECT_EQ(d.quit(), 0);
}

// A GUI sends the whole game on every position line: 821 plies (over 4 KiB)
// and 10,001 plies (some 50 KB) set the game's position, also when the line
// waits behind a search, and the answer is a move of the side to move.
TEST(UciE2e, WholeGamePositionLines) {
  E2eDriver d;
  startUci(d);
  for (int cycles : {205, 2500}) {
    std::string line = "position startpos moves";
    for (int i = 0; i < cycles; ++i) line += " g1f3 g8f6 f3g1 f6g8";
    line += " e2e4";
    const std::string fen =
        "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 " + std::to_string(cycles * 2 + 1);
    d.send(line);
    EXPECT_EQ(currentFen(d, false), fen) << cycles;
    d.send("go depth 2");
    std::string best = bestMove(d);
    ASSERT_TRUE(isBestMoveLine(best)) << best;
    EXPECT_TRUE(best[10] == '7' || best[10] == '8') << best << " is no move of Black";
    // The same line behind an infinite search waits for it to end.
    d.send("position startpos");
    d.send("go infinite");
    d.send(line);
    d.send("stop");
    EXPECT_NE(bestMove(d), "") << d.transcript();
    EXPECT_EQ(currentFen(d, false), fen) << cycles;
  }
  EXPECT_EQ(d.quit(), 0);
}

// Every limit kind ends in one well-formed bestmove after well-formed info lines.
TEST(UciE2e, GoWithEachLimitAnswersBestmove) {
  E2eDriver d;
  startUci(d);
  const char* cases[][2] = {
      {"position startpos moves e2e4", "go depth 3"},
      {"position fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3 moves f1b5", "go movetime 150"},
      {"position startpos", "go wtime 3000 btime 3000 winc 100 binc 100"},
      {"position startpos moves d2d4", "go btime 2000 wtime 2000 movestogo 5"},
      {"position startpos", "go nodes 20000"},
  };
  for (auto& c : cases) {
    d.send("ucinewgame");
    d.send(c[0]);
    long long start = E2eDriver::nowMs();
    d.send(c[1]);
    std::vector<std::string> seen;
    std::string best = bestMove(d, &seen);
    ASSERT_TRUE(isBestMoveLine(best)) << c[1] << "\n" << d.transcript();
    for (size_t i = 0; i + 1 < seen.size(); ++i) {
      if (seen[i].compare(0, 11, "info depth ") == 0 && seen[i].find(" pv") != std::string::npos) {
        EXPECT_TRUE(e2e::isInfoPvLine(seen[i])) << seen[i];
      }
    }
    if (std::string(c[1]) == "go movetime 150") {
      EXPECT_LT(E2eDriver::nowMs() - start, 1500) << "movetime overrun";
    }
  }
  EXPECT_EQ(d.quit(), 0);
}

// Fixed time per move finishes inside the time, with room to spare; no
// clock budget reaches the clock; a clock that has run out still gets a
// legal move, at once.
TEST(UciE2e, MovetimeIsKeptAndExpiredClocksMoveAtOnce) {
  E2eDriver d;
  startUci(d);
  d.send("position startpos moves e2e4 c7c5 g1f3");
  long long start = E2eDriver::nowMs();
  d.send("go movetime 400");
  ASSERT_FALSE(bestMove(d).empty()) << d.transcript();
  long long used = E2eDriver::nowMs() - start;
  EXPECT_LT(used, 400 + SLACK_MS);
  EXPECT_GT(used, 200);
  // One or two moves to the control on the first search of a game: the
  // doubled share would plan on the whole clock, where the hard stop sits.
  for (const char* go : {"go wtime 3000 btime 3000 movestogo 1", "go wtime 3000 btime 3000 movestogo 2"}) {
    d.sendAll({"ucinewgame", "position startpos moves e2e4 e7e5", "isready"});
    ASSERT_TRUE(d.waitFor("readyok", LONG_WAIT)) << d.transcript();
    start = E2eDriver::nowMs();
    d.send(go);
    ASSERT_TRUE(isBestMoveLine(bestMove(d))) << d.transcript();
    EXPECT_LT(E2eDriver::nowMs() - start, 3000 * 9 / 10) << go;
  }
  d.send("position startpos moves e2e4");
  start = E2eDriver::nowMs();
  d.send("go wtime -500 btime -20 winc 0 binc 0");
  EXPECT_TRUE(isBestMoveLine(bestMove(d))) << d.transcript();
  EXPECT_LT(E2eDriver::nowMs() - start, 1500);
  d.quit();
}

// Each clock go names its own increments: GUIs leave out a zero one, and an
// increment kept from an earlier go planned on time the clock no longer had.
TEST(UciE2e, ClockGoWithoutIncrementsHasNone) {
  E2eDriver d;
  startUci(d);
  d.sendAll({"position startpos", "go depth 1 wtime 60000 btime 60000 winc 5000 binc 5000"});
  ASSERT_TRUE(isBestMoveLine(bestMove(d))) << d.transcript();
  d.sendAll({"position startpos moves e2e4 e7e5", "isready"});
  ASSERT_TRUE(d.waitFor("readyok", LONG_WAIT)) << d.transcript();
  long long start = E2eDriver::nowMs();
  d.send("go wtime 2000 btime 2000");
  ASSERT_TRUE(isBestMoveLine(bestMove(d))) << d.transcript();
  EXPECT_LT(E2eDriver::nowMs() - start, 2000 * 3 / 10);
  d.quit();
}

// A depth or node limit beside a clock or a move time caps that search and
// the time still counts, whatever the order of the words: polyglot sends
// xboard's depth limit this way, and the engine lost on time with it.
TEST(UciE2e, DepthAndNodeLimitsBesideAClockKeepTheClock) {
  E2eDriver d;
  startUci(d);
  for (const char* go : {"go wtime 3000 btime 3000 depth 40", "go depth 40 wtime 3000 btime 3000",
                         "go wtime 3000 btime 3000 nodes 500000000", "go movetime 1000 depth 40"}) {
    d.sendAll({"ucinewgame", "position startpos moves e2e4 e7e5", "isready"});
    ASSERT_TRUE(d.waitFor("readyok", LONG_WAIT)) << d.transcript();
    long long start = E2eDriver::nowMs();
    d.send(go);
    ASSERT_TRUE(isBestMoveLine(bestMove(d))) << go << "\n" << d.transcript();
    EXPECT_LT(E2eDriver::nowMs() - start, 3000 * 9 / 10) << go;
  }
  // Under a long clock the cap ends the search.
  auto largest = [](const std::vector<std::string>& lines, const std::string& key) {
    long long most = -1;
    for (const std::string& line : lines) {
      size_t at = line.find(key);
      if (line.rfind("info ", 0) == 0 && at != std::string::npos)
        most = std::max(most, std::atoll(line.c_str() + at + key.size()));
    }
    return most;
  };
  std::vector<std::string> seen;
  d.sendAll({"position startpos", "go wtime 600000 btime 600000 depth 3"});
  ASSERT_TRUE(isBestMoveLine(bestMove(d, &seen))) << d.transcript();
  EXPECT_EQ(largest(seen, "info depth "), 3) << d.transcript();
  seen.clear();
  d.send("go nodes 20000 winc 0 wtime 600000 btime 600000");
  ASSERT_TRUE(isBestMoveLine(bestMove(d, &seen))) << d.transcript();
  EXPECT_LE(largest(seen, " nodes "), 20000) << d.transcript();
  d.quit();
}

// Mate or stalemate on the board: "bestmove 0000", and the engine goes on working.
TEST(UciE2e, NoLegalMoveAnswersNullMove) {
  E2eDriver d;
  startUci(d);
  d.send("position startpos moves f2f3 e7e5 g2g4 d8h4");  // fool's mate
  d.send("go depth 4");
  EXPECT_EQ(bestMove(d), "bestmove 0000") << d.transcript();
  d.send("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");  // stalemate
  d.send("go wtime 1000 btime 1000");
  EXPECT_EQ(bestMove(d), "bestmove 0000") << d.transcript();
  d.sendAll({"position startpos", "go depth 2"});
  EXPECT_TRUE(isBestMoveLine(bestMove(d))) << d.transcript();
  d.quit();
}

// go infinite runs until stop; isready is answered during the search.
TEST(UciE2e, InfiniteUntilStopWithIsreadyDuring) {
  E2eDriver d;
  startUci(d);
  d.sendAll({"position startpos moves e2e4 e7e5", "go infinite"});
  EXPECT_EQ(countPrefix(d.drain(400), "bestmove"), 0) << "bestmove before stop";
  d.send("isready");
  std::vector<std::string> seen;
  ASSERT_TRUE(d.waitFor("readyok", 3000, &seen)) << d.transcript();
  EXPECT_EQ(countPrefix(seen, "bestmove"), 0);
  d.send("stop");
  EXPECT_TRUE(isBestMoveLine(bestMove(d, nullptr, 3000))) << d.transcript();
  // The position is unchanged by an infinite search.
  EXPECT_TRUE(fenStartsWith(d, "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w"));
  EXPECT_EQ(d.quit(), 0);
}

// Pondering: ponderhit turns the ponder search into the real one; stop
// after a miss gives one bestmove; a ponder search that ends by itself
// waits for ponderhit; an idle stop does nothing.
TEST(UciE2e, PonderHitMissAndEarlyEnd) {
  E2eDriver d;
  startUci(d);
  d.sendAll({"setoption name Ponder value true", "position startpos moves e2e4 e7e5 g1f3 b8c6",
             "go ponder wtime 2000 btime 2000"});
  EXPECT_EQ(countPrefix(d.drain(400), "bestmove"), 0) << "bestmove while pondering";
  d.send("ponderhit");
  EXPECT_TRUE(isBestMoveLine(bestMove(d, nullptr, 5000))) << d.transcript();

  // Miss: the GUI stops the ponder search and asks for the real position.
  d.sendAll({"position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6", "go ponder wtime 2000 btime 2000"});
  d.drain(200);
  d.send("stop");
  EXPECT_TRUE(isBestMoveLine(bestMove(d, nullptr, 3000))) << d.transcript();
  EXPECT_EQ(countPrefix(d.drain(200), "bestmove"), 0) << "second bestmove";

  // A ponder search limited to depth 2 ends by itself: nothing until ponderhit.
  d.sendAll({"position startpos moves d2d4 d7d5", "go ponder depth 2"});
  EXPECT_EQ(countPrefix(d.drain(500), "bestmove"), 0) << "bestmove before ponderhit";
  d.send("ponderhit");
  EXPECT_TRUE(isBestMoveLine(bestMove(d, nullptr, 3000))) << d.transcript();
  d.send("stop");  // idle, nothing waiting: no second answer
  d.send("isready");
  std::vector<std::string> seen;
  ASSERT_TRUE(d.waitFor("readyok", 3000, &seen));
  EXPECT_EQ(seen.size(), 1u) << d.transcript();
  EXPECT_EQ(d.quit(), 0);
}

// "go ponder" and "go infinite" answer once, on "ponderhit" or "stop": also
// with no legal move, and "go ponder" also with the Ponder option off (its
// bestmove then names no reply to ponder on).
TEST(UciE2e, PonderAndInfiniteAnswerOnlyWhenReleased) {
  struct Case {
    const char* position;
    const char* go;
    const char* release;
    const char* answer;  // the bestmove line, or null for a legal one
  };
  const Case cases[] = {
      {"position startpos moves f2f3 e7e5 g2g4 d8h4", "go infinite", "stop", "bestmove 0000"},
      {"position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "go ponder wtime 1000 btime 1000", "ponderhit", "bestmove 0000"},
      {"position startpos moves e2e4", "go ponder wtime 100 btime 100", "ponderhit", nullptr},
  };
  E2eDriver d;
  startUci(d);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.go);
    d.sendAll({c.position, c.go});
    EXPECT_EQ(countPrefix(d.drain(300), "bestmove"), 0) << d.transcript();
    d.send(c.release);
    const std::string best = bestMove(d, nullptr, 5000);
    if (c.answer)
      EXPECT_EQ(best, c.answer) << d.transcript();
    else
      EXPECT_TRUE(isBestMoveLine(best) && best.find(" ponder ") == std::string::npos) << d.transcript();
    d.sendAll({"stop", "ponderhit", "isready"});
    std::vector<std::string> seen;
    ASSERT_TRUE(d.waitFor("readyok", LONG_WAIT, &seen)) << d.transcript();
    EXPECT_EQ(seen.size(), 1u) << d.transcript();
  }
  EXPECT_EQ(d.quit(), 0);
}

// quit during a search ends the program promptly.
TEST(UciE2e, QuitDuringSearch) {
  E2eDriver d;
  startUci(d);
  d.sendAll({"position startpos", "go infinite"});
  d.drain(200);
  long long start = E2eDriver::nowMs();
  d.send("quit");
  EXPECT_EQ(d.waitExit(5000), 0) << d.transcript();
  EXPECT_LT(E2eDriver::nowMs() - start, 3000);
}

// The end of input ends the program, idle or searching.
TEST(UciE2e, EndOfInputEndsTheProgram) {
  {
    E2eDriver d;
    startUci(d);
    d.closeInput();
    EXPECT_EQ(d.waitExit(5000), 0);
  }
  {
    E2eDriver d;
    startUci(d);
    d.send("go infinite");
    d.drain(200);
    d.closeInput();
    EXPECT_EQ(d.waitExit(5000), 0) << d.transcript();
  }
}

// ucinewgame during a search aborts it without a bestmove and starts a new game.
TEST(UciE2e, NewGameDuringSearch) {
  E2eDriver d;
  startUci(d);
  d.sendAll({"position startpos moves e2e4 e7e5", "go infinite"});
  d.drain(200);
  d.sendAll({"ucinewgame", "isready"});
  std::vector<std::string> seen;
  ASSERT_TRUE(d.waitFor("readyok", 5000, &seen)) << d.transcript();
  EXPECT_EQ(countPrefix(seen, "bestmove"), 0);
  EXPECT_EQ(countPrefix(d.drain(300), "bestmove"), 0);
  EXPECT_TRUE(fenStartsWith(d, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0"));
  // A "go" during a search starts nothing; "position" waits for the search.
  d.send("go infinite");
  d.drain(100);
  d.sendAll({"go depth 1", "position startpos moves g1f3", "stop"});
  std::string best = bestMove(d, nullptr, 3000);
  EXPECT_TRUE(isBestMoveLine(best)) << d.transcript();
  EXPECT_EQ(countPrefix(d.drain(300), "bestmove"), 0) << "second search";
  EXPECT_TRUE(fenStartsWith(d, "rnbqkbnr"));
  EXPECT_NE(currentFen(d, false).find(" b KQkq"), std::string::npos);
  d.quit();
}

// MultiPV 3 reports three numbered lines per iteration, best first.
TEST(UciE2e, MultiPvReportsNumberedLines) {
  E2eDriver d;
  startUci(d);
  d.sendAll({"setoption name MultiPV value 3", "position startpos", "go depth 3"});
  std::vector<std::string> seen;
  ASSERT_FALSE(bestMove(d, &seen).empty()) << d.transcript();
  const int first = countPrefix(seen, "info multipv 1 ");
  EXPECT_GE(first, 1);
  EXPECT_EQ(countPrefix(seen, "info multipv 2 "), first);
  EXPECT_EQ(countPrefix(seen, "info multipv 3 "), first);
  d.quit();
}

// Castling is written king-to-destination in standard chess and
// king-to-rook with UCI_Chess960; both forms are read back.
TEST(UciE2e, Chess960CastlingNotation) {
  E2eDriver d;
  startUci(d);
  d.send("setoption name MultiPV value 32");
  // The castling line of a depth-1 search, in the form the setting asks for.
  auto sawLine = [&](const std::string& moves, const std::string& castling,
                     const std::string& fen = "r3k3/8/8/8/8/8/8/4K2R w Kq - 0 1") {
    d.send("position fen " + fen + moves);
    d.send("go depth 1");
    std::vector<std::string> seen;
    if (bestMove(d, &seen).empty()) return false;
    for (const std::string& l : seen)
      if (l.find(" pv " + castling) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(sawLine("", "e1g1")) << d.transcript();
  EXPECT_TRUE(sawLine(" moves e1g1", "e8c8")) << d.transcript();
  EXPECT_FALSE(sawLine("", "e1h1")) << d.transcript();
  d.send("position fen r3k3/8/8/8/8/8/8/4K2R w Kq - 0 1 moves e1g1 e8c8");
  EXPECT_TRUE(fenStartsWith(d, "2kr4/8/8/8/8/8/8/5RK1 w"));
  d.send("setoption name UCI_Chess960 value true");
  EXPECT_TRUE(sawLine("", "e1h1")) << d.transcript();
  EXPECT_TRUE(sawLine(" moves e1h1", "e8a8")) << d.transcript();
  EXPECT_FALSE(sawLine("", "e1g1")) << d.transcript();
  d.send("position fen r3k3/8/8/8/8/8/8/4K2R w Kq - 0 1 moves e1h1 e8a8");
  EXPECT_TRUE(fenStartsWith(d, "2kr4/8/8/8/8/8/8/5RK1 w"));
  // Chess960 start position with castling rights named by rook files.
  d.send("position fen bqnbrkrn/pppppppp/8/8/8/8/PPPPPPPP/BQNBRKRN w GEge - 0 1 moves h1g3");
  EXPECT_TRUE(fenStartsWith(d, "bqnbrkrn/pppppppp/8/8/8/6N1/PPPPPPPP/BQNBRKR1 b"));
  // An inner rook named by its file castles, written and read as e1c1.
  EXPECT_TRUE(sawLine("", "e1c1", "4k3/8/8/8/8/8/8/R1R1K3 w C - 0 1")) << d.transcript();
  d.send("position fen 4k3/8/8/8/8/8/8/R1R1K3 w C - 0 1 moves e1c1");
  EXPECT_TRUE(fenStartsWith(d, "4k3/8/8/8/8/8/8/R1KR4 b - -"));
  d.quit();
}

// Strength options are accepted and searches still answer; unknown or
// malformed options and commands are ignored without a reply.
TEST(UciE2e, StrengthAndMalformedOptions) {
  E2eDriver d;
  startUci(d);
  for (const char* line : {"setoption name UCI_LimitStrength value true", "setoption name UCI_Elo value 999",
                           "setoption name Hash value 16", "setoption name Clear Hash",
                           "setoption name Nonsense value 3", "setoption name MultiPV 3", "setoption Hash value 8",
                           "debug on", "unknowncommand", "position startpos", "go depth 2"})
    d.send(line);
  std::vector<std::string> seen;
  EXPECT_TRUE(isBestMoveLine(bestMove(d, &seen))) << d.transcript();
  EXPECT_EQ(countPrefix(seen, "info multipv "), 0) << "malformed MultiPV taken\n" << d.transcript();
  d.send("setoption name OwnBook value true");  // no book file here
  EXPECT_TRUE(d.waitFor("info string book file not found", 3000)) << d.transcript();
  d.quit();
}
