// Stress test of the interactive program: random but well-formed GUI
// sessions in UCI and xboard against the built programs. The test plays
// the GUI: it keeps its own copy of the game, sends positions from random
// legal games, every form of search request with small limits, stops,
// ponder hits and misses, readiness checks, new games and option changes,
// and checks every reply: each search request gets exactly one best move,
// every move the program writes (and every move of its principal lines) is
// legal in the position the GUI holds, and nothing hangs. Now and then an
// xboard game is pondered under uneven clocks, where every reply must also
// fit the engine's own clock as the GUI keeps it.
//
// Each test runs for TARVOK_STRESS_SECONDS (default 20) seconds; set it
// higher for a long run by hand. TARVOK_STRESS_SEED fixes the random seed
// (printed on failure).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "e2e_driver.h"
#include "protocol/uci.h"
#include "search/engine.h"

namespace {

// Longest wait for any reply; searches here are limited to well under it.
constexpr int REPLY_MS = 20000;

// xorshift64*: small, seedable, the same sequence everywhere.
struct Rng {
  u64 state;
  explicit Rng(u64 seed) : state(seed ? seed : 0x9E3779B97F4A7C15ull) {}
  // The next 64 random bits.
  u64 next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
  }
  // Uniform in [lo, hi].
  int range(int lo, int hi) { return lo + int(next() % u64(hi - lo + 1)); }
  bool chance(int percent) { return range(1, 100) <= percent; }
};

// Milliseconds on the wall clock.
long long stressNowMs() {
  timeval tv;
  gettimeofday(&tv, nullptr);
  return (long long)tv.tv_sec * 1000 + tv.tv_usec / 1000;
}

// Seconds each stress test runs.
int stressSeconds() {
  const char* text = getenv("TARVOK_STRESS_SECONDS");
  const int seconds = text ? atoi(text) : 20;
  return seconds > 0 ? seconds : 20;
}

// The run's seed: TARVOK_STRESS_SEED, else the clock; each test mixes in its own number.
u64 stressSeed() {
  static const u64 seed = getenv("TARVOK_STRESS_SEED") ? strtoull(getenv("TARVOK_STRESS_SEED"), nullptr, 10)
                                                       : u64(stressNowMs());
  return seed;
}

// The GUI's copy of the game, kept with the engine's own rules.
class GuiGame {
 public:
  // Tables and the start position.
  GuiGame() : engine_(new Engine()) {
    engine_->init(1);
    engine_->newGame();
  }

  // Starts from a FEN (standard or Chess960).
  bool setup(const std::string& fen, bool chess960) {
    engine_->chess960 = chess960 ? 1 : 0;
    moves_.clear();
    startFen_ = fen;
    remember();
    return engine_->setFEN(fen.c_str());
  }

  // Every legal move in coordinate text.
  std::vector<std::string> legalMoves() {
    std::vector<std::string> out;
    Board& b = engine_->board;
    MoveSlot list[MAX_MOVES];
    const u32 n = generateMoves(b, list, boardInCheck(b));
    for (u32 i = 0; i < n; i++) {
      makeMove(b, list[i].move);
      const bool legal = !isSquareAttacked(b, b.kingSquare[b.opponent], b.side);
      unmakeMove(b, list[i].move);
      if (!legal) continue;
      char text[8];
      moveToCoordinate(list[i].move, engine_->chess960, text);
      out.push_back(text);
    }
    return out;
  }

  // Plays a move text when it is legal here.
  bool play(const std::string& text) {
    if (!isLegal(text)) return false;
    remember();
    if (!engine_->playMoveString(text.c_str())) return false;
    moves_.push_back(text);
    return true;
  }

  // Takes the last move back.
  bool undo() {
    remember();
    if (moves_.empty() || !engine_->takeBack()) return false;
    moves_.pop_back();
    return true;
  }

  // The positions before the last changes (the last 256), each with its
  // Chess960 flag.
  const std::vector<std::pair<std::string, bool>>& recentFens() const { return recent_; }
  // Adds a position the program may think about (a ponder position).
  void rememberFen(const std::string& fen) {
    recent_.emplace_back(fen, engine_->chess960 != 0);
    if (recent_.size() > 256) recent_.erase(recent_.begin());
  }

  // Legal here: one of the generated legal moves (the parser alone would
  // also take a castling word or a default promotion).
  bool isLegal(const std::string& text) {
    for (const std::string& m : legalMoves())
      if (m == text) return true;
    return false;
  }

  // Moves of a line all legal one after another from here.
  bool lineIsLegal(const std::vector<std::string>& line) {
    const bool wasRecording = recording;
    recording = false;
    size_t played = 0;
    bool ok = true;
    for (const std::string& m : line) {
      if (!play(m)) {
        ok = false;
        break;
      }
      played++;
    }
    while (played-- > 0) undo();
    recording = wasRecording;
    return ok;
  }

  // Whether changes are recorded for recentFens (not while testing lines).
  bool recording = true;

  // The position as FEN.
  std::string fen() {
    char text[FEN_BUFFER_SIZE];
    engine_->getFEN(text, sizeof text);
    return text;
  }

  bool whiteToMove() const { return engine_->board.side == 1; }
  const std::string& startFen() const { return startFen_; }
  const std::vector<std::string>& moves() const { return moves_; }

 private:
  // Keeps the position about to change (only while recording).
  void remember() {
    if (!recording) return;
    rememberFen(fen());
  }

  std::unique_ptr<Engine> engine_;
  std::vector<std::pair<std::string, bool>> recent_;
  std::string startFen_;
  std::vector<std::string> moves_;
};

// A Chess960 start position, by the usual numbering 0..959.
std::string chess960Fen(int n) {
  char rank[9] = "........";
  // The square of the k-th still empty file.
  auto freeSquare = [&](int k) {
    for (int i = 0; i < 8; i++)
      if (rank[i] == '.' && k-- == 0) return i;
    return -1;
  };
  rank[(n % 4) * 2 + 1] = 'B';
  n /= 4;
  rank[(n % 4) * 2] = 'B';
  n /= 4;
  rank[freeSquare(n % 6)] = 'Q';
  n /= 6;
  static const int knights[10][2] = {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
  rank[freeSquare(knights[n][0])] = 'N';
  rank[freeSquare(knights[n][1] - 1)] = 'N';
  rank[freeSquare(0)] = 'R';
  rank[freeSquare(0)] = 'K';
  rank[freeSquare(0)] = 'R';
  std::string white = rank, black = rank;
  for (char& c : black) c = char(c - 'A' + 'a');
  return black + "/pppppppp/8/8/8/8/PPPPPPPP/" + white + " w KQkq - 0 1";
}

// Words of a line.
std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  std::string w;
  while (in >> w) out.push_back(w);
  return out;
}

// What went on, for the failure message.
struct Trail {
  std::vector<std::string> lines;
  // Keeps one exchanged line, dropping the oldest.
  void add(const std::string& prefix, const std::string& line) {
    lines.push_back(prefix + line);
    if (lines.size() > 80) lines.erase(lines.begin());
  }
  // The kept lines, one per line.
  std::string text() const {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
  }
};

// A program under test with the lines it exchanged.
class Session {
 public:
  explicit Session(const std::string& program, const std::string& workDir) : program_(program), workDir_(workDir) {}
  // Ends the program and removes the scratch directory.
  ~Session() {
    driver_.reset();
    if (workDir_.compare(0, 19, "/tmp/tarvok-stress-") != 0) return;
    remove((workDir_ + "/book.bin").c_str());
    rmdir(workDir_.c_str());
  }

  // Starts the program; false when it could not be started.
  bool start() {
    driver_.reset(new E2eDriver());
    return driver_->start(program_, {}, workDir_);
  }
  // Writes one command line.
  void send(const std::string& line) {
    trail.add("> ", line);
    driver_->send(line);
  }
  // Next line, or false at a time-out.
  bool read(std::string& line, int ms = REPLY_MS) {
    if (!driver_->readLine(line, ms)) return false;
    trail.add("< ", line);
    return true;
  }
  // Lines that arrive within ms.
  std::vector<std::string> drain(int ms) {
    std::vector<std::string> out;
    std::string line;
    const long long end = stressNowMs() + ms;
    for (;;) {
      const long long left = end - stressNowMs();
      if (left <= 0 || !read(line, int(left))) break;
      out.push_back(line);
    }
    return out;
  }
  int stop(int ms) { return driver_->waitExit(ms); }

  Trail trail;

 private:
  std::string program_, workDir_;
  std::unique_ptr<E2eDriver> driver_;
};

// A scratch directory with a small opening book built by the program.
std::string prepareWorkDir(const char* program) {
  char dir[] = "/tmp/tarvok-stress-XXXXXX";
  if (!mkdtemp(dir)) return "/tmp";
  const std::string games = std::string(TARVOK_TEST_DATA) + "/games.pgn";
  const std::string command = std::string(program) + " -buildbook " + games + " " + dir + "/book.bin 10 2 >/dev/null";
  if (system(command.c_str()) == -1) return dir;
  return dir;
}

// ------------------------------------------------------------------ UCI

// The sequence loop of both protocols: a fresh program every 250 sequences,
// "quit" at the end.
template <class Stress>
class StressLoop {
 public:
  // Runs sequences until the time is up; the count done.
  int run(int seconds) {
    Stress& self = static_cast<Stress&>(*this);
    if (!self.startProgram()) return -1;
    end_ = stressNowMs() + seconds * 1000LL;
    int done = 0;
    while (stressNowMs() < end_ && !::testing::Test::HasFailure()) {
      self.oneSequence();
      done++;
      if (done % 250 == 0 && !self.restartProgram()) break;
    }
    if (!::testing::Test::HasFailure()) {
      self.session_.send("quit");
      EXPECT_NE(self.session_.stop(REPLY_MS), -1) << "no exit after quit\n" << self.session_.trail.text();
    }
    return done;
  }

 protected:
  // When the run is over; a long sequence stops early past it.
  long long end_ = 0;

  // Ends the program with "quit" and starts it again.
  bool restartProgram() {
    Stress& self = static_cast<Stress&>(*this);
    self.session_.send("quit");
    if (self.session_.stop(REPLY_MS) == -1) {
      ADD_FAILURE() << "no exit after quit\n" << self.session_.trail.text();
      return false;
    }
    return self.startProgram();
  }

  // Reads until a line starting with prefix; fails on the protocol's move
  // reply (Stress::STRAY) when nobody asked for it.
  bool waitFor(const std::string& prefix) {
    Stress& self = static_cast<Stress&>(*this);
    const std::string stray = Stress::STRAY;
    std::string line;
    for (;;) {
      if (!self.session_.read(line)) {
        ADD_FAILURE() << "no \"" << prefix << "\" in time\n" << self.session_.trail.text();
        return false;
      }
      if (line.compare(0, prefix.size(), prefix) == 0) return true;
      if (line.compare(0, stray.size(), stray) == 0) {
        ADD_FAILURE() << "\"" << stray << "\" nobody asked for\n" << self.session_.trail.text();
        return false;
      }
      self.checkOtherLine(line);
    }
  }
};

class UciStress : public StressLoop<UciStress> {
  friend class StressLoop<UciStress>;

 public:
  // A session of the program in a scratch directory.
  UciStress(const char* program, u64 seed) : rng_(seed), session_(program, prepareWorkDir(program)) {}

 private:
  // Starts the program in UCI.
  bool startProgram() {
    if (!session_.start()) {
      ADD_FAILURE() << "program did not start";
      return false;
    }
    session_.send("uci");
    if (!waitFor("uciok")) return false;
    chess960_ = false;
    return true;
  }

  // The reply that must not come unasked, and what else a read line is checked for.
  static constexpr const char* STRAY = "bestmove";
  void checkOtherLine(const std::string&) {}

  // isready / readyok, which also proves no bestmove is left over.
  bool sync() {
    session_.send("isready");
    return waitFor("readyok");
  }

  // Sends one random option change.
  void changeOption() {
    switch (rng_.range(0, 8)) {
      case 0:
        session_.send("setoption name MultiPV value " + std::to_string(rng_.range(1, 4)));
        break;
      case 1:
        session_.send("setoption name Hash value " + std::to_string(1 << rng_.range(0, 4)));
        break;
      case 2:
        session_.send("setoption name Clear Hash");
        break;
      case 3:
        session_.send(std::string("setoption name Ponder value ") + (rng_.chance(60) ? "true" : "false"));
        break;
      case 4:
        session_.send(std::string("setoption name UCI_LimitStrength value ") + (rng_.chance(50) ? "true" : "false"));
        break;
      case 5:
        session_.send("setoption name UCI_Elo value " + std::to_string(rng_.range(1000, 2600)));
        break;
      case 6:
        chess960_ = rng_.chance(40);
        session_.send(std::string("setoption name UCI_Chess960 value ") + (chess960_ ? "true" : "false"));
        break;
      case 7: {
        const bool on = rng_.chance(50);
        session_.send("setoption name Book File value " + std::string(rng_.chance(80) ? "book.bin" : "missing.bin"));
        session_.send(std::string("setoption name OwnBook value ") + (on ? "true" : "false"));
        break;
      }
      default:
        session_.send("debug off");
        break;
    }
  }

  // A position from a random legal game, sent in one of the forms.
  void sendPosition() {
    const bool standardStart = !chess960_ || rng_.chance(20);
    const std::string start = standardStart ? START_FEN : chess960Fen(rng_.range(0, 959));
    if (!game_.setup(start, chess960_)) {
      ADD_FAILURE() << "start position refused: " << start;
      return;
    }
    const int plies = rng_.chance(15) ? rng_.range(60, 160) : rng_.range(0, 40);
    // The FEN of a position along the game, and the moves played after it.
    std::string fenAt = start;
    size_t fenPly = size_t(rng_.range(0, plies));
    for (int i = 0; i < plies; i++) {
      if (size_t(i) == fenPly) fenAt = game_.fen();
      const std::vector<std::string> legal = game_.legalMoves();
      if (legal.empty()) break;
      game_.play(legal[size_t(rng_.range(0, int(legal.size()) - 1))]);
    }
    if (fenPly >= game_.moves().size()) {
      fenPly = game_.moves().size();
      fenAt = game_.fen();
    }
    // The form: startpos with moves, a FEN with the later moves, or the FEN alone.
    std::string line;
    const int form = rng_.range(0, 2);
    if (form == 0 && start == START_FEN) {
      line = "position startpos";
      if (!game_.moves().empty()) line += " moves";
      for (const std::string& m : game_.moves()) line += " " + m;
    } else if (form == 1) {
      line = "position fen " + fenAt;
      if (fenPly < game_.moves().size()) line += " moves";
      for (size_t i = fenPly; i < game_.moves().size(); i++) line += " " + game_.moves()[i];
    } else {
      const std::string fen = game_.fen();
      game_.setup(fen, chess960_);
      line = "position fen " + fen;
    }
    session_.send(line);
  }

  // Checks the info lines and the bestmove of one search; true when the
  // bestmove came.
  bool collectBestMove(std::string* best, std::string* ponderMove) {
    std::string line;
    for (;;) {
      if (!session_.read(line)) {
        ADD_FAILURE() << "no bestmove in time\n" << session_.trail.text();
        return false;
      }
      if (line.compare(0, 5, "info ") == 0) {
        const size_t pv = line.find(" pv ");
        if (pv != std::string::npos) {
          const std::vector<std::string> moves = words(line.substr(pv + 4));
          if (!game_.lineIsLegal(moves)) {
            ADD_FAILURE() << "illegal principal line in " << game_.fen() << ": " << line << "\n"
                          << session_.trail.text();
            return false;
          }
        }
        continue;
      }
      if (line == "readyok" && pendingReady_ > 0) {
        pendingReady_--;
        continue;
      }
      if (line.compare(0, 9, "bestmove ") != 0) continue;
      const std::vector<std::string> w = words(line);
      *best = w.size() > 1 ? w[1] : "";
      *ponderMove = w.size() > 3 && w[2] == "ponder" ? w[3] : "";
      return true;
    }
  }

  // The bestmove is legal here (or the null move when there is none), and
  // the move to ponder on is legal after it.
  void checkBestMove(const std::string& best, const std::string& ponderMove) {
    const bool noMoves = game_.legalMoves().empty();
    if (noMoves) {
      EXPECT_EQ(best, "0000") << game_.fen() << "\n" << session_.trail.text();
      return;
    }
    if (!game_.isLegal(best)) {
      ADD_FAILURE() << "illegal bestmove " << best << " in " << game_.fen() << "\n" << session_.trail.text();
      return;
    }
    if (!ponderMove.empty()) {
      game_.play(best);
      EXPECT_TRUE(game_.isLegal(ponderMove)) << "illegal ponder move " << ponderMove << " in " << game_.fen() << "\n"
                                             << session_.trail.text();
      game_.undo();
    }
  }

  // Fails when a bestmove arrives within ms (the search must wait for the GUI).
  bool quietFor(int ms) {
    for (const std::string& line : session_.drain(ms)) {
      if (line.compare(0, 8, "bestmove") == 0) {
        ADD_FAILURE() << "bestmove before stop or ponderhit\n" << session_.trail.text();
        return false;
      }
    }
    return true;
  }

  // Now and then more lines that must wait for the search than it keeps.
  void waitingBurst() {
    if (!rng_.chance(10)) return;
    const int n = rng_.range(5, 12);
    for (int i = 0; i < n; i++) session_.send("setoption name Clear Hash");
  }

  // Random clock words of a "go" line.
  std::string clockWords() {
    std::string line =
        " wtime " + std::to_string(rng_.range(10, 1500)) + " btime " + std::to_string(rng_.range(10, 1500));
    if (rng_.chance(50))
      line += " winc " + std::to_string(rng_.range(0, 100)) + " binc " + std::to_string(rng_.range(0, 100));
    if (rng_.chance(30)) line += " movestogo " + std::to_string(rng_.range(1, 40));
    return line;
  }

  // One random sequence: options, a position, a search and its checks.
  void oneSequence() {
    if (rng_.chance(25)) {
      const int changes = rng_.range(1, 3);
      for (int i = 0; i < changes; i++) changeOption();
      if (!sync()) return;
    }
    if (rng_.chance(10)) {
      session_.send("ucinewgame");
      if (rng_.chance(50) && !sync()) return;
    }
    sendPosition();
    if (rng_.chance(30) && !sync()) return;

    const int form = rng_.range(0, 8);
    std::string best, ponderMove;
    if (form == 7) {
      // Ponder (the option on or off): no bestmove until "ponderhit" or "stop".
      session_.send("go ponder" + clockWords());
      waitingBurst();
      if (!quietFor(rng_.range(0, 15))) return;
      session_.send(rng_.chance(60) ? "ponderhit" : "stop");
    } else if (form == 6) {
      // Infinite: no bestmove until "stop".
      session_.send("go infinite");
      waitingBurst();
      if (!quietFor(rng_.range(0, 15))) return;
      if (rng_.chance(30)) {
        session_.send("isready");
        pendingReady_++;
      }
      session_.send("stop");
    } else {
      switch (form) {
        case 0:
          session_.send("go depth " + std::to_string(rng_.range(1, 4)));
          break;
        case 1:
          session_.send("go nodes " + std::to_string(rng_.range(50, 5000)));
          break;
        case 2:
          session_.send("go movetime " + std::to_string(rng_.range(1, 30)));
          break;
        case 3:
          // A stop while the search runs (or just after it ended).
          session_.send("go" + clockWords());
          usleep(useconds_t(rng_.range(0, 5000)));
          session_.send("stop");
          break;
        case 4:
          session_.send("go" + clockWords());
          session_.send("isready");
          pendingReady_++;
          break;
        default:
          session_.send("go" + clockWords());
          break;
      }
    }
    if (!collectBestMove(&best, &ponderMove)) return;
    checkBestMove(best, ponderMove);
    // Readiness asked during the search and answered after it.
    for (; pendingReady_ > 0; pendingReady_--)
      if (!waitFor("readyok")) return;
    // Exactly one: nothing more may follow before readyok.
    sync();
  }

  Rng rng_;
  Session session_;
  GuiGame game_;
  bool chess960_ = false;
  int pendingReady_ = 0;
};

// ---------------------------------------------------------------- xboard

class XboardStress : public StressLoop<XboardStress> {
  friend class StressLoop<XboardStress>;

 public:
  // A session of the program in a scratch directory.
  XboardStress(const char* program, u64 seed) : rng_(seed), session_(program, prepareWorkDir(program)) {
    checker_.recording = false;
  }

 private:
  // Starts the program in xboard.
  bool startProgram() {
    if (!session_.start()) {
      ADD_FAILURE() << "program did not start";
      return false;
    }
    session_.send("xboard");
    session_.send("protover 2");
    return waitFor("feature");
  }

  // The reply that must not come unasked; other lines are thinking lines.
  static constexpr const char* STRAY = "move ";
  void checkOtherLine(const std::string& line) { checkThinking(line); }

  // A thinking line's moves must be legal from a position of the game: the
  // GUI's, or one it or a ponder search held a little earlier. Thinking
  // lines cross the GUI's commands: an analysis or a ponder search goes on
  // printing while the GUI's next move, "ping" or "new" is on its way.
  void checkThinking(const std::string& line) {
    if (line.compare(0, 6, "Hint: ") == 0) {
      // The hint follows the engine's move; the GUI may have answered already.
      hint_ = line.substr(6);
      checker_.setup(afterEngineMove_, game_chess960_);
      if (checker_.play(line.substr(6))) game_.rememberFen(checker_.fen());
      return;
    }
    const std::vector<std::string> w = words(line);
    if (w.size() < 5 || !isdigit(static_cast<unsigned char>(line[0]))) return;
    std::vector<std::string> pv(w.begin() + 4, w.end());
    if (game_.lineIsLegal(pv)) return;
    for (size_t i = game_.recentFens().size(); i-- > 0;) {
      checker_.setup(game_.recentFens()[i].first, game_.recentFens()[i].second);
      if (checker_.lineIsLegal(pv)) return;
    }
    ADD_FAILURE() << "illegal thinking line in " << game_.fen() << ": " << line << "\n" << session_.trail.text();
  }

  // "ping"/"pong": everything before it has been handled, no move pending.
  bool sync() {
    const int n = ++pings_;
    session_.send("ping " + std::to_string(n));
    return waitFor("pong " + std::to_string(n));
  }

  // Waits for the engine's move and plays it on the GUI's board.
  bool engineMove() {
    std::string line;
    for (;;) {
      if (!session_.read(line)) {
        ADD_FAILURE() << "no move in time\n" << session_.trail.text();
        return false;
      }
      if (line.compare(0, 5, "move ") == 0) break;
      checkThinking(line);
    }
    const std::string move = line.substr(5);
    if (!game_.play(move)) {
      ADD_FAILURE() << "illegal move " << move << " in " << game_.fen() << "\n" << session_.trail.text();
      return false;
    }
    afterEngineMove_ = game_.fen();
    return true;
  }

  // Sends random search limits: a depth or a time control.
  void setLimits() {
    switch (rng_.range(0, 2)) {
      case 0:
        session_.send("sd " + std::to_string(rng_.range(1, 4)));
        break;
      case 1:
        session_.send("level " + std::to_string(rng_.chance(30) ? 0 : rng_.range(20, 40)) + " 0:0" +
                      std::to_string(rng_.range(1, 5)) + " 0");
        clocks_ = true;
        break;
      default:
        session_.send(std::string("level 0 0:02 ") + (rng_.chance(50) ? "0" : "0.02"));
        clocks_ = true;
        break;
    }
  }

  // Sends both clocks under a time control.
  void sendClocks() {
    if (!clocks_) return;
    session_.send("time " + std::to_string(rng_.range(5, 40)));
    session_.send("otim " + std::to_string(rng_.range(5, 40)));
  }

  // Plays random legal moves in force mode, now and then taking one back.
  void forcedMoves(int plies) {
    for (int i = 0; i < plies; i++) {
      const std::vector<std::string> legal = game_.legalMoves();
      if (legal.empty()) break;
      const std::string m = legal[size_t(rng_.range(0, int(legal.size()) - 1))];
      game_.play(m);
      session_.send(m);
      if (rng_.chance(5) && game_.undo()) session_.send("undo");
    }
  }

  // A new game, a random opening in force mode, then a few moves of play.
  void oneSequence() {
    if (rng_.chance(2)) {
      ponderGame();
      return;
    }
    clocks_ = false;
    session_.send("new");
    const bool chess960 = rng_.chance(15);
    game_chess960_ = chess960;
    if (chess960) {
      const std::string fen = chess960Fen(rng_.range(0, 959));
      session_.send("variant fischerandom");
      session_.send("setboard " + fen);
      if (!game_.setup(fen, true)) {
        ADD_FAILURE() << "start position refused: " << fen;
        return;
      }
    } else {
      game_.setup(START_FEN, false);
    }
    session_.send(rng_.chance(40) ? "hard" : "easy");
    session_.send(rng_.chance(70) ? "post" : "nopost");
    setLimits();
    session_.send("force");
    forcedMoves(rng_.range(0, 40));
    if (rng_.chance(15) && !chess960) {
      // The same position again, set from its FEN.
      const std::string fen = game_.fen();
      game_.setup(fen, false);
      session_.send("setboard " + fen);
    }
    if (!sync()) return;

    if (rng_.chance(15)) {
      analyse();
      return;
    }
    // Play: "go", then replies of the GUI that the engine answers.
    if (game_.legalMoves().empty()) return;
    sendClocks();
    session_.send("go");
    if (rng_.chance(10)) session_.send("?");
    if (!engineMove()) return;
    const int rounds = rng_.range(0, 4);
    for (int i = 0; i < rounds; i++) {
      const std::vector<std::string> legal = game_.legalMoves();
      if (legal.empty()) break;
      if (rng_.chance(10)) setLimits();  // waits behind a ponder search
      sendClocks();
      const std::string m = legal[size_t(rng_.range(0, int(legal.size()) - 1))];
      game_.play(m);
      session_.send(m);
      if (game_.legalMoves().empty()) break;
      if (!engineMove()) return;
    }
    if (rng_.chance(20)) session_.send("result 1/2-1/2 {stress}");
    sync();
  }

  // A pondering game under a short time control with one clock far shorter
  // than the other. The GUI keeps both clocks, sends them before each of its
  // moves and answers at once, mostly with the hint (a ponder hit). Every
  // reply must fit the engine's own clock: a hit continues a search begun
  // before the clocks were sent, so a budget taken from a stale clock or
  // from the opponent's shows up here as a flag.
  void ponderGame() {
    session_.send("new");
    game_chess960_ = false;
    game_.setup(START_FEN, false);
    session_.send("hard");
    session_.send(rng_.chance(70) ? "post" : "nopost");
    const bool forty = rng_.chance(50);
    const long long baseMs = forty ? 5000 : 3000;
    const size_t period = forty ? 40 : 0;
    session_.send(forty ? "level 40 0:05 0" : "level 0 0:03 0");
    const bool engineShort = rng_.chance(75);
    long long engineMs = engineShort ? rng_.range(2000, 4000) : rng_.range(20000, 40000);
    long long opponentMs = engineShort ? rng_.range(20000, 40000) : rng_.range(2000, 4000);
    session_.send("force");
    forcedMoves(rng_.range(0, 9));
    if (!sync() || game_.legalMoves().empty()) return;

    // Wall time off the clock of the side that just moved, and the base
    // back on it when that side completed a period of moves.
    auto spend = [&](long long& clock, long long used) {
      clock -= used;
      if (period != 0 && (game_.moves().size() + 1) / 2 % period == 0) clock += baseMs;
    };
    // Sends the clocks, then `command`; the engine's reply must fit its clock.
    auto engineReply = [&](const std::string& command, const char* kind) {
      session_.send("time " + std::to_string(engineMs / 10));
      session_.send("otim " + std::to_string(opponentMs / 10));
      const long long sent = stressNowMs();
      session_.send(command);
      hint_.clear();
      if (!engineMove()) return false;
      const long long used = stressNowMs() - sent;
      if (used >= engineMs || used > engineMs / 2 + 150) {
        ADD_FAILURE() << "reply after " << kind << " took " << used << " ms of the engine's " << engineMs
                      << " ms (opponent " << opponentMs << " ms)\n"
                      << session_.trail.text();
        return false;
      }
      spend(engineMs, used);
      return true;
    };

    if (!engineReply("go", "go")) return;
    const int rounds = engineShort ? rng_.range(3, 7) : rng_.range(1, 2);
    for (int i = 0; i < rounds && stressNowMs() < end_; i++) {
      // The hint is written right after the move, so it comes before the pong.
      const long long moved = stressNowMs();
      if (!sync()) return;
      const std::vector<std::string> legal = game_.legalMoves();
      if (legal.empty()) break;
      const bool hit = !hint_.empty() && rng_.chance(80) && game_.isLegal(hint_);
      std::string reply = hit ? hint_ : "";
      while (reply.empty() || (!hit && reply == hint_ && legal.size() > 1))
        reply = legal[size_t(rng_.range(0, int(legal.size()) - 1))];
      game_.play(reply);
      spend(opponentMs, stressNowMs() - moved);
      if (game_.legalMoves().empty()) break;
      if (!engineReply(reply, hit ? "a ponder hit" : "a ponder miss")) return;
    }
    session_.send(rng_.chance(50) ? "result 1/2-1/2 {stress}" : "new");
    sync();
  }

  // Analyze mode: moves and take-backs, then "exit"; no move is written.
  void analyse() {
    session_.send("post");
    session_.send("analyze");
    const int steps = rng_.range(0, 3);
    for (int i = 0; i < steps; i++) {
      usleep(useconds_t(rng_.range(0, 5000)));
      const std::vector<std::string> legal = game_.legalMoves();
      if (!legal.empty() && rng_.chance(70)) {
        const std::string m = legal[size_t(rng_.range(0, int(legal.size()) - 1))];
        game_.play(m);
        session_.send(m);
      } else if (game_.undo()) {
        session_.send("undo");
      }
      if (rng_.chance(30)) session_.send(".");
    }
    session_.send("exit");
    sync();
  }

  Rng rng_;
  Session session_;
  GuiGame game_;
  GuiGame checker_;
  bool game_chess960_ = false;
  std::string afterEngineMove_;
  std::string hint_;  // the last "Hint:" move
  bool clocks_ = false;
  int pings_ = 0;
};

// Runs one stress session against a program for the configured time.
template <class Stress>
void runStress(const char* program, u64 mul, u64 add, const char* label) {
  const u64 seed = stressSeed();  // the value TARVOK_STRESS_SEED repeats
  Stress stress(program, seed * mul + add);
  const int done = stress.run(stressSeconds());
  EXPECT_GT(done, 0) << "seed " << seed;
  if (::testing::Test::HasFailure()) ADD_FAILURE() << "seed " << seed;
  printf("%s sequences: %d\n", label, done);
}

}  // namespace

TEST(HardenStress, UciPopcnt) { runStress<UciStress>(TARVOK_BIN_POPCNT, 3, 1, "UCI"); }
TEST(HardenStress, UciGeneric) { runStress<UciStress>(TARVOK_BIN_GENERIC, 5, 2, "UCI"); }
TEST(HardenStress, XboardPopcnt) { runStress<XboardStress>(TARVOK_BIN_POPCNT, 7, 3, "xboard"); }
TEST(HardenStress, XboardGeneric) { runStress<XboardStress>(TARVOK_BIN_GENERIC, 11, 4, "xboard"); }
