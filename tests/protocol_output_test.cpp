// The protocols' output formats byte for byte (UCI info lines, xboard
// thinking lines, console lines, the clock text and the line writer) and the
// UCI options, checked in-process.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "app/context.h"
#include "e2e_driver.h"
#include "protocol/console.h"
#include "protocol/linewriter.h"
#include "protocol/uci.h"
#include "protocol/xboard.h"
#include "test_support.h"

namespace {

// A protocol object wired to its own engine and context, as after its first line.
template <class P>
struct Rig {
  Rig() {
    memset(&context, 0, sizeof context);
    context.engine = &engine;
    snprintf(context.buildKind, sizeof context.buildKind, "%s", "64 bits");
    protocol = new P(&engine, &context);
    context.protocol = protocol;
    protocol->attach();
  }
  ~Rig() { delete protocol; }
  // What the output prints for a line e2e4 e7e5 (index 0: a single-line search).
  std::string report(double elapsed, int index, int score, int bound, int moves = 1, int depth = 7,
                     u64 nodes = 123456) {
    PVLine line = {};
    line.count = moves;
    line.moves[0].move = makeMoveValue(12, 28, 1, 0, 0, MOVE_DOUBLE);  // e2e4
    line.moves[0].score = score;
    line.moves[1].move = makeMoveValue(52, 36, 1, 0, 0, MOVE_DOUBLE);  // e7e5
    testing::internal::CaptureStdout();
    if (index == 0)
      protocol->output.sendPV(elapsed, depth, &line, nodes, 12, bound);
    else
      protocol->output.sendMultiPV(elapsed, index, depth, &line, nodes, 12, bound);
    return testing::internal::GetCapturedStdout();
  }
  Engine engine;
  MainContext context;
  P* protocol;
};
using UciRig = Rig<UciProtocol>;

std::string consoleLine(double elapsed, int index, int score, int bound, int moves) {
  PVLine line = {};
  line.count = moves;
  line.moves[0].move = makeMoveValue(12, 28, 1, 0, 0, MOVE_DOUBLE);  // e2-e4
  line.moves[0].score = score;
  line.moves[1].move = makeMoveValue(52, 36, 1, 0, 0, MOVE_DOUBLE);  // e7-e5
  char out[4096];
  formatConsoleLine(out, sizeof out, elapsed, index, 7, &line, 123456, 12, bound);
  return out;
}

std::string clock(double us) {
  char text[16];
  formatTime(us, text);
  return text;
}

TEST(LineWriterTest, TimeFormat) {
  EXPECT_EQ(clock(0), "00:00:00.000");
  EXPECT_EQ(clock(999.9), "00:00:00.000");
  EXPECT_EQ(clock(59999000), "00:00:59.999");
  EXPECT_EQ(clock(3600000000.0), "01:00:00.000");
  EXPECT_EQ(clock(360000000000.0), "100:00:00.000");
}

TEST(LineWriterTest, LinesAreWholeAndBounded) {
  fflush(stdout);
  testing::internal::CaptureStdout();
  sendLine("readyok");
  sendLine("%s %d", "depth", 3);
  sendLine("%s", std::string(6000, 'x').c_str());
  fflush(stdout);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "readyok\ndepth 3\n" + std::string(4095, 'x') + "\n");
}

// Runs the program in dir with args, writes input to it and collects its
// writes to standard output: that is a packet socket, where each write
// arrives as one record. The input stays open until a record begins with
// endPrefix (the end of input would end a search as "quit" does).
std::vector<std::string> outputWrites(const std::vector<std::string>& args, const std::string& input,
                                      const std::string& endPrefix, const std::string& dir) {
  std::vector<std::string> records;
  signal(SIGPIPE, SIG_IGN);
  int out[2], in[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, out) != 0) return records;
  if (pipe(in) != 0) return records;
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    execGenericProgram(args, dir, in[0], out[1], null, {null, in[0], in[1], out[0], out[1]});
  }
  close(in[0]);
  close(out[1]);
  if (write(in[1], input.data(), input.size()) != ssize_t(input.size())) ADD_FAILURE() << "input not written";
  bool inputOpen = !endPrefix.empty();
  if (!inputOpen) close(in[1]);
  static char record[65536];
  for (;;) {
    pollfd ready = {out[0], POLLIN, 0};
    if (poll(&ready, 1, 30000) <= 0) {
      ADD_FAILURE() << "no end of output";
      break;
    }
    const ssize_t n = recv(out[0], record, sizeof record, 0);
    if (n <= 0) break;
    records.emplace_back(record, size_t(n));
    if (inputOpen && records.back().compare(0, endPrefix.size(), endPrefix) == 0) {
      close(in[1]);
      inputOpen = false;
    }
  }
  if (inputOpen) close(in[1]);
  close(out[0]);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return records;
}

// Each output line leaves in one write, text and newline together: a reader
// that reads whatever has arrived never sees half a line. Protocol sessions
// and the tools, the debug commands of the protocols included.
TEST(LineWriterTest, EachLineLeavesInOneWrite) {
  ScratchDir scratch;
  const std::string start(START_FEN);
  const std::string suite = scratch.write("suite.epd", start + " ;D1 20\n");
  const std::string epd = scratch.write("bm.epd", "6k1/5ppp/8/8/8/8/8/R5K1 w - - bm Ra8#; id \"mate\";\n");
  const struct {
    std::vector<std::string> args;
    std::string input;
    std::string endPrefix;
    std::string record;  // one write expected as it stands
  } runs[] = {
      {{},
       "uci\nsetoption name OwnBook value true\nisready\nposition startpos moves e2e4\nprintBoard\nprintFEN\n"
       "eval\nperft 2\ndivide 2\ngo depth 3\nposition fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1\ngo depth 1\n",
       "bestmove 0000",
       "info string book file not found\n"},
      {{}, "xboard\nprotover 2\nping 1\nnew\nhard\npost\nsd 3\ngo\n", "move ", "pong 1\n"},
      {{"-perft", "2"}, "", "", "Nodes = 400\n"},
      {{"-perftd", "2"}, "", "", "Nodes captures = 0\n"},
      {{"-divide", "2"}, "", "", "\n"},
      {{"-perftsuite", suite, "1"}, "", "", "score = 1 / 1\n"},
      {{"-evalsuite", suite}, "", "", "\n"},
      {{"-checkfensuite", suite}, "", "", "Checked 1 / 1 valid FEN string\n"},
      {{"-testsuite", epd, "0.2"}, "", "", "Tarvok version 1.8\n"},
      {{"-help"}, "", "", "Tarvok -perft <depth>\n"},
  };
  for (const auto& run : runs) {
    const std::vector<std::string> records = outputWrites(run.args, run.input, run.endPrefix, scratch.dir);
    const std::string name = run.args.empty() ? run.input.substr(0, run.input.find('\n')) : run.args[0];
    EXPECT_TRUE(std::find(records.begin(), records.end(), run.record) != records.end()) << name << ": " << run.record;
    for (const std::string& r : records)
      EXPECT_TRUE(r.find('\n') == r.size() - 1) << name << ": one write of '" << r << "'";
  }
}

std::string coordinate(Move m, u32 chess960) {
  char text[8];
  moveToCoordinate(m, chess960, text);
  return text;
}

// Castling is stored king-to-rook; standard chess writes the king's target
// for corner rooks, Chess960 writes the rook's square; promotions get a letter.
TEST(UciOutput, CoordinateText) {
  const Move whiteShort = makeMoveValue(4, 7, 6, 0, 0, MOVE_CASTLE);
  const Move whiteLong = makeMoveValue(4, 0, 6, 0, 0, MOVE_CASTLE);
  const Move blackShort = makeMoveValue(60, 63, 6, 0, 0, MOVE_CASTLE);
  const Move blackLong = makeMoveValue(60, 56, 6, 0, 0, MOVE_CASTLE);
  const Move innerRook = makeMoveValue(1, 3, 6, 0, 0, MOVE_CASTLE);  // Chess960: king b1, rook d1
  EXPECT_EQ(coordinate(whiteShort, 0), "e1g1");
  EXPECT_EQ(coordinate(whiteLong, 0), "e1c1");
  EXPECT_EQ(coordinate(blackShort, 0), "e8g8");
  EXPECT_EQ(coordinate(blackLong, 0), "e8c8");
  EXPECT_EQ(coordinate(innerRook, 0), "b1d1");
  EXPECT_EQ(coordinate(whiteShort, 1), "e1h1");
  EXPECT_EQ(coordinate(blackLong, 1), "e8a8");
  EXPECT_EQ(coordinate(makeMoveValue(52, 60, 1, 0, 2), 0), "e7e8n");
  EXPECT_EQ(coordinate(makeMoveValue(9, 0, 1, 4, 5), 0), "b2a1q");
  EXPECT_EQ(coordinate(0, 0), "a1a1");
}

// Scores, bounds, time and speed of the info lines, byte for byte.
TEST(UciOutput, InfoLines) {
  UciRig rig;
  EXPECT_EQ(rig.report(1500000.0, 0, 25, 0, 2),
            "info depth 7 seldepth 12 score cp 25 time 1500 nodes 123456 nps 82304 pv e2e4 e7e5\n");
  EXPECT_EQ(rig.report(1500000.0, 0, 31999, 0),
            "info depth 7 seldepth 12 score mate 1 time 1500 nodes 123456 nps 82304 pv e2e4\n");
  EXPECT_EQ(rig.report(1500000.0, 0, 31997, 0).substr(0, 40), "info depth 7 seldepth 12 score mate 2 ti");
  EXPECT_EQ(rig.report(1500000.0, 0, -31998, 0).substr(0, 41), "info depth 7 seldepth 12 score mate -1 ti");
  EXPECT_EQ(rig.report(1500000.0, 0, -32000, 0).substr(0, 40), "info depth 7 seldepth 12 score mate 0 ti");
  EXPECT_EQ(rig.report(1500000.0, 0, 31743, 0).substr(0, 44), "info depth 7 seldepth 12 score cp 31743 time");
  EXPECT_EQ(rig.report(1500000.0, 0, 35, 2).substr(0, 52), "info depth 7 seldepth 12 score cp 35 lowerbound time");
  EXPECT_EQ(rig.report(1500000.0, 0, 35, 1).substr(0, 52), "info depth 7 seldepth 12 score cp 35 upperbound time");
  // No time yet: 16 ms shown and used for the speed.
  EXPECT_EQ(rig.report(0.0, 0, 0, 0), "info depth 7 seldepth 12 score cp 0 time 16 nodes 123456 nps 7716000 pv e2e4\n");
  EXPECT_EQ(rig.report(1500000.0, 0, 0, 0, 0),
            "info depth 7 seldepth 12 score cp 0 time 1500 nodes 123456 nps 82304 pv \n");
  EXPECT_EQ(rig.report(1500000.0, 3, -40, 0),
            "info multipv 3 depth 7 seldepth 12 score cp -40 time 1500 nodes 123456 nps 82304 pv e2e4\n");
}

// Option values are clamped and parsed as the protocol says.
TEST(UciOutput, OptionValues) {
  UciRig rig;
  UciProtocol& p = *rig.protocol;
  p.handleLine("setoption name MultiPV value 0");
  EXPECT_EQ(rig.engine.multiPV, 1);
  p.handleLine("setoption name MultiPV value 100");
  EXPECT_EQ(rig.engine.multiPV, 32);
  p.handleLine("setoption name UCI_Elo value 999");
  EXPECT_EQ(strengthElo, 1000u);
  EXPECT_EQ(strengthLimited, 1);
  p.handleLine("setoption name UCI_Elo value -5");
  EXPECT_EQ(strengthElo, 2600u);
  EXPECT_EQ(strengthLimited, 0);
  p.handleLine("setoption name UCI_Elo value 1800");
  EXPECT_EQ(strengthLimited, 1);
  p.handleLine("setoption name UCI_LimitStrength value false");  // off, Elo remembered
  EXPECT_EQ(strengthLimited, 0);
  EXPECT_EQ(strengthElo, 2600u);
  p.handleLine("setoption name UCI_LimitStrength value true");
  EXPECT_EQ(strengthElo, 1800u);
  EXPECT_EQ(strengthLimited, 1);
  p.handleLine("setoption name UCI_Elo value 2600");
  EXPECT_EQ(strengthLimited, 0);
  p.handleLine("setoption name UCI_Chess960 value true");
  EXPECT_EQ(rig.engine.chess960, 1u);
  p.handleLine("setoption name UCI_Chess960 value trueish");  // only "true", in any case, is true
  EXPECT_EQ(rig.engine.chess960, 0u);
  p.handleLine("setoption name Ponder value true");
  EXPECT_EQ(rig.context.ponderOption, 1u);
  EXPECT_EQ(rig.engine.ponderEnabled, 1u);
  p.handleLine("setoption name Ponder value false");
  EXPECT_EQ(rig.context.ponderOption, 0u);
  EXPECT_EQ(rig.engine.ponderEnabled, 0u);
  std::string longName(3000, 'x');
  p.handleLine(("setoption name Book File value my book " + longName).c_str());
  EXPECT_EQ(std::string(rig.context.bookFile).substr(0, 8), "my book ");
  EXPECT_EQ(strlen(rig.context.bookFile), sizeof rig.context.bookFile - 1);
  p.handleLine("setoption name MultiPV 3");  // no "value": ignored
  EXPECT_EQ(rig.engine.multiPV, 32);
  // GUIs spell names and check values in their own case (Scid: "MultiPv");
  // the words "name" and "value" and a book's file name stand as they are.
  p.handleLine("setoption name MultiPv value 5");
  EXPECT_EQ(rig.engine.multiPV, 5);
  p.handleLine("setoption name multipv VALUE 3");
  EXPECT_EQ(rig.engine.multiPV, 5);
  p.handleLine("setoption NAME MultiPV value 3");
  EXPECT_EQ(rig.engine.multiPV, 5);
  p.handleLine("setoption name uci_chess960 value TRUE");
  EXPECT_EQ(rig.engine.chess960, 1u);
  p.handleLine("setoption name PONDER value True");
  EXPECT_EQ(rig.context.ponderOption, 1u);
  p.handleLine("setoption name uci_elo value 1500");
  p.handleLine("setoption name Uci_LimitStrength value tRUE");
  EXPECT_EQ(strengthElo, 1500u);
  EXPECT_EQ(strengthLimited, 1);
  p.handleLine("setoption name UCI_LimitStrength value false");  // full strength for the tests after
  EXPECT_EQ(strengthLimited, 0);
  p.handleLine("setoption name book file value My Book.BIN");
  EXPECT_STREQ(rig.context.bookFile, "My Book.BIN");
}

// Fixed time per move keeps a reserve for starting, stopping and writing
// the move; an expired clock counts as no time at all.
TEST(UciOutput, TimeReserveAndExpiredClocks) {
  EXPECT_EQ(fixedMoveTime(1000), 950000u);
  EXPECT_EQ(fixedMoveTime(400), 350000u);
  EXPECT_EQ(fixedMoveTime(100), 75000u);  // short times keep three quarters
  EXPECT_GT(fixedMoveTime(0), 0u);
  EXPECT_GT(fixedMoveTime(-5), 0u);
  EXPECT_EQ(fixedMoveTime(1LL << 40), 4000000000u - 50000u);
  EXPECT_EQ(clockMilliseconds(-500), 0u);
  EXPECT_EQ(clockMilliseconds(12345), 12345u);
  EXPECT_EQ(clockMilliseconds(1LL << 40), 4294967295u);
}

TEST(ConsoleOutput, IterationLines) {
  EXPECT_EQ(consoleLine(1500000.0, 1, 25, 0, 2), " 7/12  00:00:01.500       123456     82   +0.25 e2-e4 e7-e5 ");
  EXPECT_EQ(consoleLine(1500000.0, 2, -40, 0, 2), "       00:00:01.500       123456     82   -0.40 e2-e4 e7-e5 ");
  EXPECT_EQ(consoleLine(1500000.0, 1, 31995, 2, 1), " 7/12+ 00:00:01.500       123456     82     +M3 e2-e4 ");
  EXPECT_EQ(consoleLine(1500000.0, 1, 25, 1, 1).substr(0, 6), " 7/12-");
  EXPECT_EQ(consoleLine(1500000.0, 1, 31999, 0, 1).substr(39, 8), "     +M1");
  EXPECT_EQ(consoleLine(1500000.0, 1, 31744, 0, 1).substr(39, 8), "   +M129");
  EXPECT_EQ(consoleLine(1500000.0, 1, 31743, 0, 1).substr(39, 8), " +317.43");
  EXPECT_EQ(consoleLine(1500000.0, 1, -32000, 0, 1).substr(39, 8), "     -M0");
  EXPECT_EQ(consoleLine(1500000.0, 1, -31744, 0, 1).substr(39, 8), "   -M128");
  EXPECT_EQ(consoleLine(1500000.0, 1, -31743, 0, 1).substr(39, 8), " -317.43");
  EXPECT_EQ(consoleLine(1500000.0, 1, 0, 0, 0), " 7/12  00:00:01.500       123456     82   +0.00 ");
  // No time yet: the rate is taken over 16 ms.
  EXPECT_EQ(consoleLine(0.0, 1, 0, 0, 0), " 7/12  00:00:00.000       123456   7716   +0.00 ");
}

TEST(XboardOutput, ThinkingLines) {
  Rig<XboardProtocol> rig;
  // Off until "post": a protocol 1 GUI that never sends it would read the
  // lines as moves.
  EXPECT_EQ(rig.report(1500000.0, 0, 25, 0, 2, 6, 10000), "");
  rig.protocol->handleLine("post");
  EXPECT_EQ(rig.report(1500000.0, 0, 25, 0, 2, 7, 10000), "7 25 150 10000 e2e4 e7e5\n");
  EXPECT_EQ(rig.report(999.0, 2, 31999, 0, 2, 3, 5), "3 31999 0 5 e2e4 e7e5\n");
  rig.protocol->handleLine("nopost");
  EXPECT_EQ(rig.report(1500000.0, 0, 25, 0, 2, 8, 10000), "");
}

}  // namespace
