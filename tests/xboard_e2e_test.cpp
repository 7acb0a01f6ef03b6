// xboard sessions driven through pipes, as xboard drives the engine.
#include "e2e_driver.h"

namespace {

using namespace e2e;

const char* FEATURES =
    "feature setboard=1 myname=\"Tarvok 1.8 64 bits\" analyze=1 ping=1 draw=0 sigint=0 "
    "variants=\"normal,fischerandom\" done=1 colors=0";

// Starts the program and completes the handshake and a new game.
void startXboard(E2eDriver& d, const char* program = TARVOK_BIN_POPCNT) {
  ASSERT_TRUE(d.start(program));
  d.sendAll({"xboard", "protover 2"});
  ASSERT_TRUE(d.waitFor("feature", LONG_WAIT)) << d.transcript();
  d.send("new");
}

// Sends ping n and collects every line up to the pong.
std::vector<std::string> sync(E2eDriver& d, int n = 1, int timeoutMs = LONG_WAIT) {
  std::vector<std::string> seen;
  d.send("ping " + std::to_string(n));
  if (!d.waitFor("pong " + std::to_string(n), timeoutMs, &seen)) seen.push_back("<no pong>");
  return seen;
}

// The engine's FEN of its position, and a check on its beginning.
std::string fenOf(E2eDriver& d) { return currentFen(d, true); }
testing::AssertionResult fenBegins(E2eDriver& d, const std::string& prefix) { return fenStartsWith(d, prefix, true); }

long long nowMs() { return E2eDriver::nowMs(); }

}  // namespace

// xboard and protover 2 give the feature line; ping is answered.
TEST(XboardE2e, HandshakeAndPing) {
  for (const char* program : {TARVOK_BIN_POPCNT, TARVOK_BIN_GENERIC}) {
    E2eDriver d;
    ASSERT_TRUE(d.start(program));
    d.sendAll({"xboard", "protover 2"});
    std::vector<std::string> seen;
    ASSERT_TRUE(d.waitFor("feature", LONG_WAIT, &seen)) << d.transcript();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "Tarvok 1.8 (64 bits) by Merrowin");
    EXPECT_EQ(seen[1], FEATURES);
    d.sendAll({"accepted setboard", "ping 7"});
    EXPECT_TRUE(d.waitFor("pong 7", LONG_WAIT)) << d.transcript();
    EXPECT_EQ(d.quit(), 0);
  }
}

// new, force, moves, go: the engine moves for the side to move, thinks
// with post and keeps quiet with nopost, and answers the opponent's moves.
TEST(XboardE2e, ForceMovesGoAndPosting) {
  E2eDriver d;
  startXboard(d);
  d.sendAll({"sd 3", "force", "e2e4", "e7e5"});
  EXPECT_TRUE(fenBegins(d, "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w"));
  d.sendAll({"post", "go"});
  std::vector<std::string> seen;
  std::string move;
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT, &seen, &move)) << d.transcript();
  EXPECT_TRUE(e2e::isXboardMoveLine(move)) << move;
  int thinking = 0;
  for (size_t i = 0; i + 1 < seen.size(); ++i)
    if (e2e::isThinkingLine(seen[i])) ++thinking;
  EXPECT_EQ(thinking, 3) << d.transcript();
  EXPECT_TRUE(fenBegins(d, "rnbqkbnr/pppp1ppp/8/4p3/4P3/"));  // the engine's move was played
  EXPECT_NE(fenOf(d).find(" b KQkq"), std::string::npos);

  d.sendAll({"nopost", "a7a6"});
  seen.clear();
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT, &seen, &move)) << d.transcript();
  EXPECT_EQ(seen.size(), 1u) << d.transcript();
  EXPECT_TRUE(e2e::isXboardMoveLine(move)) << move;

  // Force mode: moves are played, no reply; an illegal move changes nothing.
  d.sendAll({"force", "b7b6", "e1e5"});
  std::vector<std::string> quiet = sync(d, 3);
  EXPECT_EQ(countPrefix(quiet, "move"), 0) << d.transcript();
  EXPECT_NE(fenOf(d).find(" w KQkq"), std::string::npos);
  EXPECT_EQ(d.quit(), 0);
}

// st keeps inside the time per move; level, time and otim set the clocks,
// and no clock budget reaches the clock.
TEST(XboardE2e, TimeControls) {
  E2eDriver d;
  startXboard(d);
  d.send("st 1");
  long long start = nowMs();
  d.send("go");
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
  long long used = nowMs() - start;
  EXPECT_LT(used, 1000 + SLACK_MS) << "st 1 overrun";
  EXPECT_GT(used, 600);

  d.sendAll({"new", "level 40 0:30 0"});
  d.send("time 150");  // 1.5 s on the engine's clock
  d.send("otim 3000");
  start = nowMs();
  d.send("go");
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
  EXPECT_LT(nowMs() - start, 500 + SLACK_MS) << "ignores its own clock";

  // One move to the control on the first search of a game: the doubled
  // share would plan on the whole clock, and the hard stop sat there.
  d.sendAll({"new", "level 1 0:03 0", "time 300", "otim 300"});
  sync(d, 2);
  start = nowMs();
  d.send("c2c4");
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
  EXPECT_LT(nowMs() - start, 3000 * 9 / 10) << "planned on the whole clock";

  // "sd" is no time control: before or after "level" it only caps the
  // search, and "new" removes it.
  for (const char* first : {"level 0 0:03 0", "sd 40"}) {
    const bool levelFirst = first[0] == 'l';
    d.sendAll({"new", first, levelFirst ? "sd 40" : "level 0 0:03 0", "time 300", "otim 300"});
    sync(d, 3);
    start = nowMs();
    d.send("go");
    ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
    EXPECT_LT(nowMs() - start, 3000 * 9 / 10) << "sd after " << first;
  }
  auto deepest = [](const std::vector<std::string>& lines) {
    int most = 0;
    for (const std::string& line : lines)
      if (!line.empty() && isdigit((unsigned char)line[0])) most = std::max(most, std::atoi(line.c_str()));
    return most;
  };
  std::vector<std::string> seen;
  d.sendAll({"new", "post", "sd 3", "level 0 10 0", "go"});
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT, &seen)) << d.transcript();
  EXPECT_EQ(deepest(seen), 3) << d.transcript();
  seen.clear();
  d.sendAll({"new", "level 0 0:20 0", "go"});
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT, &seen)) << d.transcript();
  EXPECT_GT(deepest(seen), 3) << d.transcript();
  d.send("nopost");

  d.send("new");
  d.send("level 0 1 0");  // 1 minute for the game
  d.send("time -40");     // flag fell: still a move, at once
  d.send("otim 6000");
  start = nowMs();
  d.send("go");
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
  EXPECT_LT(nowMs() - start, 1000);
  EXPECT_EQ(d.quit(), 0);
}

// hard: a "Hint:" after each move and a ponder search on it; a hit and a
// miss both get a legal reply; easy stops pondering.
TEST(XboardE2e, PonderingHitAndMiss) {
  E2eDriver d;
  startXboard(d);
  d.sendAll({"hard", "st 1", "go"});
  std::vector<std::string> seen;
  std::string hint;
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT, &seen)) << d.transcript();
  ASSERT_TRUE(d.waitFor("Hint: ", LONG_WAIT, &seen, &hint)) << d.transcript();
  std::string predicted = hint.substr(6);
  d.drain(300);  // pondering
  long long start = nowMs();
  d.send(predicted);  // hit: the ponder search becomes the real one, with "st 1" from now
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
  EXPECT_LT(nowMs() - start, 1000 + SLACK_MS);
  ASSERT_TRUE(d.waitFor("Hint: ", LONG_WAIT, nullptr, &hint)) << d.transcript();
  predicted = hint.substr(6);
  d.drain(200);

  // Miss: any other legal move of the side to move.
  d.send("easy");
  std::vector<std::string> afterEasy = sync(d, 4);
  EXPECT_EQ(countPrefix(afterEasy, "move"), 0);
  std::string fen = fenOf(d);
  ASSERT_NE(fen.find(" b "), std::string::npos) << fen;  // predicted reply taken back
  d.sendAll({"hard", "a7a6"});
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
  ASSERT_TRUE(d.waitFor("Hint: ", LONG_WAIT, nullptr, &hint)) << d.transcript();
  predicted = hint.substr(6);
  d.drain(200);
  // A legal move other than the prediction.
  const char* candidates[] = {"h7h6", "h7h5", "b7b6", "g7g6"};
  std::string miss;
  for (const char* c : candidates) {
    if (predicted != c) {
      miss = c;
      break;
    }
  }
  d.send(miss);
  std::string move;
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT, nullptr, &move)) << d.transcript();
  EXPECT_TRUE(e2e::isXboardMoveLine(move)) << move;
  d.send("easy");
  sync(d, 5);
  fen = fenOf(d);
  EXPECT_NE(fen.find(" b "), std::string::npos) << fen;

  // "new" leaves "hard" and "easy" as they stand: eboard sends "hard" first.
  d.sendAll({"hard", "new", "st 1", "go"});
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
  EXPECT_TRUE(d.waitFor("Hint: ", LONG_WAIT)) << d.transcript();
  d.sendAll({"easy", "new", "st 1", "go"});
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
  EXPECT_EQ(countPrefix(sync(d, 6), "Hint: "), 0) << d.transcript();
  EXPECT_EQ(d.quit(), 0);
}

// undo and remove take moves back; setboard sets any position.
TEST(XboardE2e, UndoRemoveAndSetboard) {
  E2eDriver d;
  startXboard(d);
  d.send("force");
  for (const char* m : {"e2e4", "e7e5", "g1f3", "b8c6"}) d.send(m);
  // The debug counters need the blank after their name.
  d.sendAll({"perftd1 2", "perftd 1"});
  std::vector<std::string> seen = sync(d, 8);
  EXPECT_EQ(countPrefix(seen, "Depth "), 1) << d.transcript();
  EXPECT_EQ(countPrefix(seen, "Depth 1"), 1) << d.transcript();
  EXPECT_EQ(countPrefix(seen, "Nodes castle = 0"), 1) << d.transcript();
  d.send("undo");
  EXPECT_TRUE(fenBegins(d, "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b"));
  d.send("remove");
  EXPECT_TRUE(fenBegins(d, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b"));
  d.send("setboard 8/8/8/4k3/8/8/4P3/4K3 w - - 0 1");
  EXPECT_TRUE(fenBegins(d, "8/8/8/4k3/8/8/4P3/4K3 w - - 0"));
  d.send("setboard this is no fen");
  EXPECT_TRUE(fenBegins(d, "8/8/8/4k3/8/8/4P3/4K3 w - - 0"));
  d.send("undo");  // nothing left to take back
  d.sendAll({"sd 2", "go"});
  std::string move;
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT, nullptr, &move)) << d.transcript();
  EXPECT_TRUE(e2e::isXboardMoveLine(move)) << move;
  EXPECT_EQ(d.quit(), 0);
}

// analyze: thinking lines, no move; a move during the analysis is played
// and analysed; exit ends it without a move.
TEST(XboardE2e, AnalyzeFollowsMovesAndExits) {
  E2eDriver d;
  startXboard(d);
  d.sendAll({"post", "force", "e2e4", "analyze"});
  std::vector<std::string> first = d.drain(400);
  EXPECT_GE(first.size(), 1u) << "no thinking output";
  EXPECT_EQ(countPrefix(first, "move"), 0);
  d.send("e7e5");
  std::vector<std::string> second = d.drain(400);
  EXPECT_GE(second.size(), 1u) << d.transcript();
  EXPECT_EQ(countPrefix(second, "move"), 0);
  // The analysis now runs on the position after e7e5: white to move.
  bool whiteMoves = false;
  for (const std::string& l : second) {
    std::vector<std::string> w = e2e::words(l);
    if (e2e::isThinkingLine(l) && w.size() >= 5) whiteMoves = w[4][1] == '1' || w[4][1] == '2';
  }
  EXPECT_TRUE(whiteMoves) << d.transcript();
  d.send("undo");
  d.drain(200);
  d.send("exit");
  std::vector<std::string> after = sync(d, 2);
  EXPECT_EQ(countPrefix(after, "move"), 0) << d.transcript();
  EXPECT_TRUE(fenBegins(d, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b"));
  // After the analysis the game's own limits apply again.
  d.sendAll({"st 1", "go"});
  EXPECT_TRUE(d.waitFor("move ", 5000)) << d.transcript();
  EXPECT_EQ(d.quit(), 0);
}

// result ends a thinking search without a move; quit during a search and
// the end of input end the program.
TEST(XboardE2e, ResultQuitAndEndOfInput) {
  {
    E2eDriver d;
    startXboard(d);
    d.sendAll({"st 30", "go"});
    d.drain(200);
    d.send("result 1-0 {White resigns}");
    std::vector<std::string> after = sync(d, 1, 5000);
    EXPECT_EQ(countPrefix(after, "move"), 0) << d.transcript();
    EXPECT_EQ(countPrefix(after, "pong 1"), 1) << d.transcript();
    d.send("go");
    d.drain(200);
    long long start = nowMs();
    d.send("quit");
    EXPECT_EQ(d.waitExit(5000), 0);
    EXPECT_LT(nowMs() - start, 3000);
  }
  {
    E2eDriver d;
    startXboard(d);
    d.send("analyze");
    d.drain(200);
    d.closeInput();
    EXPECT_EQ(d.waitExit(5000), 0) << d.transcript();
  }
}

// Fischer random: castling letters in setboard, the opponent's "O-O" and
// "O-O-O", and the engine's castling written king square then rook square.
TEST(XboardE2e, FischerRandomCastling) {
  E2eDriver d;
  startXboard(d);
  d.sendAll({"variant fischerandom", "setboard r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w HAha - 0 1", "force", "O-O"});
  EXPECT_TRUE(fenBegins(d, "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R4RK1 b"));
  d.send("O-O-O");
  EXPECT_TRUE(fenBegins(d, "2kr3r/pppppppp/8/8/8/8/PPPPPPPP/R4RK1 w"));
  // Castling is white's only legal move here (king g1, rook h1).
  d.sendAll({"setboard k4r2/8/8/8/8/7p/r6P/6KR w H - 0 1", "sd 2", "go"});
  std::string move;
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT, nullptr, &move)) << d.transcript();
  EXPECT_EQ(move, "move g1h1");
  // Back to standard chess with "new": castling as the king's two steps.
  d.sendAll({"new", "setboard 4k3/8/8/8/8/8/8/4K2R w K - 0 1", "force", "e1g1"});
  EXPECT_TRUE(fenBegins(d, "4k3/8/8/8/8/8/8/5RK1 b"));
  EXPECT_EQ(d.quit(), 0);
}
