// xboard games with pondering on, driven through pipes as xboard drives
// them: the GUI keeps both clocks, sends them before each reply and answers
// at once, mostly with the engine's own hint (a ponder hit).
#include "e2e_driver.h"
#include "protocol/uci.h"
#include "test_support.h"

namespace {

using namespace e2e;

long long nowMs() { return E2eDriver::nowMs(); }

// Clocks of a few seconds keep these games short; instrumented code needs
// longer ones for the same number of nodes per move.
#ifdef __SANITIZE_ADDRESS__
const long long CLOCK_SCALE = 4;
#else
const long long CLOCK_SCALE = 1;
#endif

// Starts the program in xboard with a new game.
void startXboard(E2eDriver& d) {
  ASSERT_TRUE(d.start(TARVOK_BIN_POPCNT));
  d.sendAll({"xboard", "protover 2"});
  ASSERT_TRUE(d.waitFor("feature", LONG_WAIT)) << d.transcript();
  d.send("new");
}

// The GUI's side of a timed game: its copy of the board and both clocks.
class ClockedGame {
 public:
  // periodMoves 0 is sudden death; baseMs is the time of each period.
  ClockedGame(E2eDriver& d, int periodMoves, long long baseMs, long long engineMs, long long opponentMs) : d_(d) {
    engine_.init(1);
    engine_.newGame();
    restartClocks(periodMoves, baseMs, engineMs, opponentMs);
  }

  // "hard" or "easy": with pondering on, a hint follows each move.
  void ponder(bool on) {
    pondering_ = on;
    d_.send(on ? "hard" : "easy");
  }

  // A new time control from here on (the engine is told separately).
  void restartClocks(int periodMoves, long long baseMs, long long engineMs, long long opponentMs) {
    periodMoves_ = periodMoves;
    baseMs_ = baseMs;
    engineMs_ = engineMs;
    opponentMs_ = opponentMs;
    ownMoves_ = 0;
  }

  // "time", "otim" and "go" with the engine to move.
  void go() {
    sendClocks();
    d_.send("go");
    sent_ = nowMs();
  }

  // Waits for the engine's move and checks the time it took against its
  // own clock: within share of what it had (never all of it), and no
  // flag. Sums the time for the caller's own checks.
  bool engineMoves(double share) {
    std::string line;
    if (!d_.waitFor("move ", (int)engineMs_ + LONG_WAIT, nullptr, &line)) {
      ADD_FAILURE() << "no move\n" << d_.transcript();
      return false;
    }
    const long long spent = nowMs() - sent_;
    const long long allowed = std::min(engineMs_, (long long)(share * engineMs_) + SLACK_MS);
    EXPECT_LE(spent, allowed) << "move " << engineMoves_ + 1 << " used " << spent << " ms of " << engineMs_
                              << " ms on its clock\n"
                              << d_.transcript();
    engineMs_ -= spent;
    clockSum_ += engineMs_ + spent;
    spentSum_ += spent;
    if (engineMs_ <= 0) return false;
    engineMoves_ += 1;
    ownMoves_ += 1;
    if (periodMoves_ && ownMoves_ % periodMoves_ == 0) engineMs_ += baseMs_;
    EXPECT_TRUE(engine_.playMoveString(line.c_str() + 5)) << line;
    hint_.clear();
    if (pondering_ && d_.waitFor("Hint: ", 2000, nullptr, &line)) hint_ = line.substr(6);
    return true;
  }

  // Answers at once: the hint (a hit) or another legal move (a miss).
  bool reply(bool hit) {
    std::string move = hint_;
    if (!hit || move.empty()) {
      MoveSlot list[MAX_MOVES];
      const u32 n = legalMoves(engine_.board, list);
      move.clear();
      for (u32 i = 0; i < n && move.empty(); i++) {
        char text[8];
        moveToCoordinate(list[i].move, 0, text);
        if (text != hint_) move = text;
      }
    }
    if (move.empty() || !engine_.playMoveString(move.c_str())) return false;
    sendClocks();
    d_.send(move);
    sent_ = nowMs();
    return countLegalMoves(engine_.board) > 0;
  }

  // Moves the engine still has to make in the current period.
  int movesLeft() const { return periodMoves_ - ownMoves_ % periodMoves_; }

  long long spentSum() const { return spentSum_; }
  long long clockSum() const { return clockSum_; }

 private:
  // Both clocks in centiseconds, just before the engine's turn.
  void sendClocks() {
    d_.send("time " + std::to_string(engineMs_ / 10));
    d_.send("otim " + std::to_string(opponentMs_ / 10));
  }

  E2eDriver& d_;
  Engine engine_;
  int periodMoves_ = 0;
  long long baseMs_ = 0;
  long long engineMs_ = 0;
  long long opponentMs_ = 0;
  int ownMoves_ = 0;  // moves of the engine's colour in this game
  int engineMoves_ = 0;
  long long sent_ = 0;
  long long spentSum_ = 0;
  long long clockSum_ = 0;
  std::string hint_;
  bool pondering_ = true;
};

}  // namespace

// Sudden death with uneven clocks, every reply a ponder hit: each reply is
// timed from the engine's own clock, whichever clock is the longer. The
// opponent's clock once set the budget (and the engine flagged) when a
// "time" line reached a running search.
TEST(XboardPonder, HitsAreTimedFromTheEnginesOwnClock) {
  struct Case {
    long long engineMs, opponentMs;
    int moves;
  };
  for (const Case& c : {Case{2000, 30000, 10}, Case{8000, 800, 6}}) {
    SCOPED_TRACE("engine " + std::to_string(c.engineMs) + " ms, opponent " + std::to_string(c.opponentMs));
    E2eDriver d;
    startXboard(d);
    d.sendAll({"hard", "nopost", "level 0 1 0"});
    ClockedGame game(d, 0, 0, c.engineMs * CLOCK_SCALE, c.opponentMs * CLOCK_SCALE);
    game.go();
    // Sudden death gives each move about a fortieth of the clock, twice
    // that at the start of a game.
    for (int i = 0; i < c.moves; i++) {
      ASSERT_TRUE(game.engineMoves(0.125));
      if (!game.reply(true)) break;
    }
    // Not timed from the opponent's short clock either.
    EXPECT_GE(game.spentSum() * 160, game.clockSum()) << d.transcript();
    EXPECT_EQ(d.quit(), 0);
  }
}

// A GUI writes the clocks and the move together. Each line once waited for
// a poll of its own, so the move reached the ponder search late and the
// reply's own time began only then, while the GUI's clock already ran.
TEST(XboardPonder, LinesSentTogetherReachTheSearchTogether) {
  E2eDriver d;
  startXboard(d);
  d.sendAll({"hard", "nopost", "st 1", "e2e4"});
  std::string hint;
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
  ASSERT_TRUE(d.waitFor("Hint: ", LONG_WAIT, nullptr, &hint)) << d.transcript();
  d.drain(100);
  std::string burst;
  for (int i = 0; i < 120; i++) burst += "otim " + std::to_string(3000 - i) + "\n";
  burst += "time 3000\n" + hint.substr(6) + "\n";
  const long long start = nowMs();
  d.sendRaw(burst);
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
  EXPECT_LT(nowMs() - start, 1000 + SLACK_MS) << "\"st 1\" overrun after a hit";
  EXPECT_EQ(d.quit(), 0);
}

// Repeating periods: a miss on the last move of a period, hits after it.
// A hit once kept the moves-to-go of the search it grew from (1 after a
// period's last move) and spent half the clock on every later move.
TEST(XboardPonder, PeriodsAfterAMissAreTimedAfresh) {
  E2eDriver d;
  startXboard(d);
  // The first ten searches of a game take a larger share of the clock;
  // they run at a fixed depth here, so that the periods see the usual one.
  ClockedGame game(d, 0, 0, LONG_WAIT, LONG_WAIT);
  game.ponder(false);
  d.sendAll({"nopost", "sd 2"});
  game.go();
  for (int i = 0; i < 10; i++) ASSERT_TRUE(game.engineMoves(1.0) && (i == 9 || game.reply(false)));
  const long long baseMs = 3000 * CLOCK_SCALE;
  game.ponder(true);
  d.send("level 10 0:" + std::to_string(baseMs / 1000) + " 0");
  game.restartClocks(10, baseMs, baseMs, baseMs);
  ASSERT_TRUE(game.reply(false));
  for (int i = 0; i < 14; i++) {
    const int left = game.movesLeft();
    ASSERT_TRUE(game.engineMoves(2.0 / left)) << left << " moves left in the period";
    if (!game.reply(game.movesLeft() != 1)) break;
  }
  EXPECT_EQ(d.quit(), 0);
}

// The predicted reply promotes; the opponent promotes to another piece.
// Matching the squares alone once took it for a hit and left a queen on the
// engine's board where the game had a knight.
TEST(XboardPonder, PromotionPieceDecidesTheHit) {
  // The ponder search still runs, or has ended by itself at its depth.
  for (const char* limit : {"level 40 0:30 0", "sd 3"}) {
    SCOPED_TRACE(limit);
    E2eDriver d;
    startXboard(d);
    d.sendAll({"force", "setboard 8/1P6/8/7k/8/8/2P4r/K7 b - - 0 1", "hard", "nopost", limit, "time 3000", "otim 3000",
               "go"});
    std::string hint;
    ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
    ASSERT_TRUE(d.waitFor("Hint: ", LONG_WAIT, nullptr, &hint)) << d.transcript();
    ASSERT_EQ(hint, "Hint: b7b8q") << d.transcript();
    d.drain(200);
    d.send("b7b8n");
    ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
    d.send("easy");  // off the predicted reply, onto the game's position
    const std::string fen = currentFen(d, true);
    EXPECT_EQ(fen.compare(0, 3, "1N6"), 0) << fen << "\n" << d.transcript();
    EXPECT_NE(fen.find(" w "), std::string::npos) << fen;
    EXPECT_EQ(d.quit(), 0);
  }
}

// Lines that waited behind a ponder hit run once the reply is written, on
// the game's position: not on the next predicted reply already played.
TEST(XboardPonder, LinesBehindAHitSeeTheGamesPosition) {
  E2eDriver d;
  startXboard(d);
  d.sendAll({"hard", "nopost", "level 40 0:04 0", "time 400", "otim 400", "e2e4"});
  std::string move, hint;
  ASSERT_TRUE(d.waitFor("move ", LONG_WAIT, nullptr, &move)) << d.transcript();
  ASSERT_TRUE(d.waitFor("Hint: ", LONG_WAIT, nullptr, &hint)) << d.transcript();
  Engine game;
  game.init(1);
  game.newGame();
  ASSERT_TRUE(game.playMoveString("e2e4"));
  ASSERT_TRUE(game.playMoveString(move.c_str() + 5));
  ASSERT_TRUE(game.playMoveString(hint.c_str() + 6));
  d.drain(100);
  d.sendAll({"printFEN", "ping 1", "time 390", "otim 390"});
  d.send(hint.substr(6));
  Lines seen;
  ASSERT_TRUE(d.waitFor("pong 1", LONG_WAIT, &seen)) << d.transcript();
  ASSERT_GE(seen.size(), 2u);
  ASSERT_EQ(countPrefix(seen, "move "), 1) << d.transcript();
  std::string engineReply;
  for (const std::string& l : seen)
    if (l.compare(0, 5, "move ") == 0) engineReply = l.substr(5);
  ASSERT_TRUE(game.playMoveString(engineReply.c_str()));
  char expected[FEN_BUFFER_SIZE];
  game.getFEN(expected, sizeof expected);
  EXPECT_EQ(seen[seen.size() - 2], expected) << d.transcript();
  EXPECT_EQ(d.quit(), 0);
}

// A move line the engine can't play in the position it is searching is
// ignored: the engine's search still answers and an analysis goes on.
// Such a line once ended the search without a move; "?" and "easy" once
// ended an analysis the GUI still waited on.
TEST(XboardPonder, RejectedMoveLinesCostNoMoveAndNoAnalysis) {
  {
    SCOPED_TRACE("during the engine's own search");
    E2eDriver d;
    startXboard(d);
    d.sendAll({"level 40 0:20 0", "time 2000", "otim 2000", "e2e4"});
    d.drain(300);
    d.send("a1a1");
    std::string move;
    EXPECT_TRUE(d.waitFor("move ", LONG_WAIT, nullptr, &move)) << d.transcript();
    EXPECT_TRUE(isXboardMoveLine(move)) << move;
    EXPECT_EQ(d.quit(), 0);
  }
  {
    SCOPED_TRACE("the opponent's move again just after a ponder hit");
    E2eDriver d;
    startXboard(d);
    d.sendAll({"hard", "level 40 0:20 0", "time 2000", "otim 2000", "e2e4"});
    std::string hint;
    ASSERT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
    ASSERT_TRUE(d.waitFor("Hint: ", LONG_WAIT, nullptr, &hint)) << d.transcript();
    d.drain(100);
    d.sendAll({"time 1900", "otim 1900"});
    d.send(hint.substr(6));
    d.send(hint.substr(6));
    EXPECT_TRUE(d.waitFor("move ", LONG_WAIT)) << d.transcript();
    EXPECT_EQ(d.quit(), 0);
  }
  for (const char* line : {"e2e5", "?", "easy"}) {
    SCOPED_TRACE(std::string("analysis, then ") + line);
    E2eDriver d;
    startXboard(d);
    d.sendAll({"post", "analyze"});
    ASSERT_TRUE(d.waitFor("3 ", LONG_WAIT)) << d.transcript();
    d.sendAll({line, "ping 2"});
    ASSERT_TRUE(d.waitFor("pong 2", LONG_WAIT)) << d.transcript();
    // Thinking lines after the answer to the ping: the analysis goes on.
    std::string next;
    EXPECT_TRUE(d.waitFor("", 10000, nullptr, &next)) << d.transcript();
    EXPECT_TRUE(isThinkingLine(next)) << next;
    d.sendAll({"exit", "ping 3"});
    EXPECT_TRUE(d.waitFor("pong 3", LONG_WAIT)) << d.transcript();
    EXPECT_EQ(d.quit(), 0);
  }
}
