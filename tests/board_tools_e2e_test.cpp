// The perft switches of both programs, driven through pipes with a time-out.
#include "e2e_driver.h"
#include "test_support.h"

namespace {

// A run of the generic program in dir with its address space capped at
// limit bytes and the input text on standard input: exit status, standard
// output, standard error.
struct LimitedRun {
  int status = -1;
  std::string out, err;
};

LimitedRun runWithAddressLimit(const std::vector<std::string>& args, rlim_t limit, const std::string& dir,
                               const std::string& input = "") {
  LimitedRun result;
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return result;
  // The input is a few lines: the pipe holds them all before the program starts.
  if (write(in[1], input.data(), input.size()) != ssize_t(input.size())) return result;
  close(in[1]);
  const pid_t pid = fork();
  if (pid == 0) execGenericProgram(args, dir, in[0], out[1], err[1], {in[0], out[0], out[1], err[0], err[1]}, limit);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // The outputs are a few lines: the pipes hold them until the end.
  int status = 0;
  waitpid(pid, &status, 0);
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) result.out.append(buffer, size_t(n));
  for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) > 0;) result.err.append(buffer, size_t(n));
  close(out[0]);
  close(err[0]);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Runs a program with its arguments, standard input at its end.
ToolRun run(const std::string& program, const std::vector<std::string>& args) { return runTool(program, args, 60000); }

// Output without the lines that hold timings.
std::string withoutTimes(const std::string& out) {
  std::string kept, line;
  for (char c : out) {
    if (c != '\n') {
      line += c;
      continue;
    }
    if (line.rfind("Time = ", 0) != 0 && line.rfind("Speed = ", 0) != 0) kept += line + "\n";
    line.clear();
  }
  return kept;
}

const std::vector<std::string> programs = {TARVOK_BIN_POPCNT, TARVOK_BIN_GENERIC};
const std::string kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
const std::string mated = "7k/6Q1/6K1/8/8/8/8/8 b - - 0 1";

TEST(ToolsE2E, PerftAndPerftd) {
  for (const std::string& p : programs) {
    ToolRun r = run(p, {"-perft", "4"});
    EXPECT_EQ(r.status, 0) << p;
    EXPECT_EQ(withoutTimes(r.out), "Depth 4\nNodes = 197281\n") << p;
    EXPECT_NE(r.out.find("\nTime = 00:00:"), std::string::npos) << r.out;
    r = run(p, {"-perftd", "3", "-fen", kiwipete});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(withoutTimes(r.out),
              "Depth 3\nNodes = 97862\nNodes captures = 17102\nNodes e.p = 45\nNodes check = 993\n"
              "Nodes mate = 1\nNodes promotion = 0\nNodes castle = 3162\n")
        << p;
  }
  ToolRun r = run(programs[0], {"-perftd", "4"});
  EXPECT_NE(r.out.find("Nodes captures = 1576\nNodes e.p = 0\nNodes check = 469\nNodes mate = 8\n"), std::string::npos);
  // Out-of-range depths are clamped, never written past the buffers.
  r = run(programs[0], {"-perft", "0"});
  EXPECT_EQ(withoutTimes(r.out), "Depth 1\nNodes = 20\n");
  r = run(programs[0], {"-perft", "500", "-fen", mated});
  EXPECT_EQ(withoutTimes(r.out), "Depth 127\nNodes = 0\n");
}

TEST(ToolsE2E, Divide) {
  ToolRun r = run(programs[1], {"-divide", "2"});
  EXPECT_EQ(r.status, 0);
  const std::string lines = withoutTimes(r.out);
  EXPECT_EQ(lines.substr(0, 70), "    Nb1-a3 :               20\n    Nb1-c3 :               20\n    Ng1-f3");
  EXPECT_NE(lines.find("     h2-h4 :               20\n\n     total :              400\n\n"), std::string::npos)
      << lines;
  // A mated side has no root line and a total of 0.
  r = run(programs[0], {"-divide", "3", "-fen", mated});
  EXPECT_EQ(withoutTimes(r.out), "\n     total :                0\n\n");
}

TEST(ToolsE2E, BadFenAndArguments) {
  ToolRun r = run(programs[0], {"-perft", "2", "-fen", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Bad FEN string !\n");
  r = run(programs[0], {"-perftsuite", "/nonexistent/suite.epd", "2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
}

TEST(ToolsE2E, PerftSuites) {
  ToolRun r = run(programs[0], {"-perftsuite", TARVOK_TEST_DATA "/perftsuite.epd", "4"});
  // Every line is scored; one line has no D4 field and cannot pass.
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "score = 127 / 128\n");
  r = run(programs[1], {"-perftsuite", TARVOK_TEST_DATA "/chess960-sample.epd", "4"});
  EXPECT_EQ(r.out, "score = 24 / 24\n");
  r = run(programs[0], {"-perftsuite", TARVOK_TEST_DATA "/perftsuite.epd"});
  EXPECT_EQ(r.out, "score = 126 / 128\n");
  // A line whose FEN is refused fails, whatever the position before it would
  // count; the line after it is counted on its own position.
  ScratchDir scratch;
  r = run(programs[1], {"-perftsuite", scratch.write("nofen.epd", "this is no fen ;D1 20\n")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "score = 0 / 1\n");
  const std::string start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  r = run(programs[1], {"-perftsuite", scratch.write("mixed.epd", start + " ;D1 20\nnot a position at all ;D1 20\n" +
                                                                      kiwipete + " ;D1 48\n")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "score = 2 / 3\n");
  // A zero byte early in an overlong line does not make it short: the line
  // is one line (no position), its tail no line of its own.
  r = run(programs[1], {"-perftsuite",
                        scratch.write("zero.epd", std::string(1, '\0') + std::string(254, 'x') + start + " ;D1 20\n")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "score = 0 / 1\n");
}

// The least address-space cap, to 16 KiB, between 1 MiB and 1 GiB at which
// holds is true (second), and the cap just below it found false (first).
template <typename Holds>
std::pair<rlim_t, rlim_t> leastCap(Holds holds) {
  rlim_t low = rlim_t(1) << 20, high = rlim_t(1) << 30;
  while (high - low > 16 * 1024) {
    const rlim_t middle = low + (high - low) / 2;
    (holds(middle) ? high : low) = middle;
  }
  return {low, high};
}

// A perft suite or count that runs out of memory fails with status 1 and
// prints no score or count: a score of the lines before, or status 0 with
// nothing at all, would pass for a finished run. For each tool the least
// address space a run needs is found first (to 16 KiB); the cap found just
// below it, which fails, is then looked at.
TEST(ToolsE2E, PerftToolsFailWhenMemoryRunsOut) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's shadow memory does not fit under an address-space cap";
#endif
  ScratchDir scratch;
  const std::string suite =
      scratch.write("suite.epd", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 ;D1 20\n");
  const std::pair<std::vector<std::string>, std::string> tools[] = {
      {{"-perftsuite", suite, "1"}, "score = 1 / 1\n"},
      {{"-perft", "1"}, "\nNodes = 20\n"},
      {{"-perftd", "1"}, "\nNodes = 20\n"},
      {{"-divide", "1"}, "     total : " + std::string(14, ' ') + "20\n"}};
  for (const auto& [args, count] : tools) {
    auto passes = [&](rlim_t limit) {
      const LimitedRun r = runWithAddressLimit(args, limit, scratch.dir);
      return r.status == 0 && r.out.find(count) != std::string::npos;
    };
    ASSERT_FALSE(passes(rlim_t(1) << 20)) << args[0];
    ASSERT_TRUE(passes(rlim_t(1) << 30)) << args[0];
    const rlim_t low = leastCap(passes).first;
    const LimitedRun r = runWithAddressLimit(args, low, scratch.dir);
    EXPECT_EQ(r.status, 1) << args[0] << " under " << low / 1024 << " KiB\n" << r.out << r.err;
    EXPECT_EQ(r.out, "") << args[0];
    EXPECT_NE(r.err.find("out of memory\n"), std::string::npos) << args[0] << ": " << r.err;
  }
}

// Under any cap, an engine session either runs to its end or fails with
// status 1 and "out of memory": no allocation of start-up or of a command
// may abort the program. The caps run in steps from the least at which the
// program loads (the dynamic loader fails with status 127 below it) to a
// little above the least at which a UCI session runs whole, so the steps
// cross every allocation of the start-up and of the protocol objects.
TEST(ToolsE2E, SessionsFailCleanlyWhenMemoryRunsOut) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's shadow memory does not fit under an address-space cap";
#endif
  ScratchDir scratch;
  const std::string uci = "uci\nisready\nposition startpos\ngo depth 1\nquit\n";
  const std::string xboard = "xboard\nprotover 2\nnew\nsd 1\ngo\nquit\n";
  auto session = [&](const std::string& input, rlim_t limit) {
    return runWithAddressLimit({}, limit, scratch.dir, input);
  };
  auto loads = [&](rlim_t limit) { return session(uci, limit).status != 127; };
  auto completes = [&](rlim_t limit) {
    const LimitedRun r = session(uci, limit);
    return r.status == 0 && r.out.find("\nbestmove ") != std::string::npos;
  };
  const rlim_t first = leastCap(loads).second, last = leastCap(completes).second + 256 * 1024;
  ASSERT_LT(first, last);
  const std::pair<const std::string*, const char*> sessions[] = {{&uci, "\nbestmove "}, {&xboard, "\nmove "}};
  for (rlim_t limit = first; limit <= last; limit += 32 * 1024) {
    for (const auto& [input, reply] : sessions) {
      const LimitedRun r = session(*input, limit);
      const bool ended = r.status == 0 && r.out.find(reply) != std::string::npos;
      const bool failed = r.status == 1 && r.err.find("out of memory\n") != std::string::npos;
      EXPECT_TRUE(ended || failed) << "cap " << limit / 1024 << " KiB, " << input->substr(0, input->find('\n'))
                                   << ": status " << r.status << "\n"
                                   << r.out << r.err;
    }
  }
}

TEST(ToolsE2E, Help) {
  ToolRun r = run(programs[0], {"-help", "extra", "words"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Tarvok 1.8 (64 bits) by Merrowin\nBuilt on ", 0), 0u) << r.out;
  EXPECT_NE(r.out.find(" at "), std::string::npos);
  EXPECT_NE(r.out.find("\nPopcount instruction enable\n\nTarvok -testsuite <filename.epd> <time>\n"
                       "Tarvok -perftsuite <filename.epd> <depth>\nTarvok -perft <depth>\n"
                       "Tarvok -perft <depth> -fen \"<fen-string>\"\nTarvok -perftd <depth>\n"
                       "Tarvok -perftd <depth> -fen \"<fen-string>\"\nTarvok -divide <depth>\n"
                       "Tarvok -divide <depth> -fen \"<fen-string>\"\n"
                       "Tarvok -buildbook <file.pgn> <file.bin> <depth> <count>\n"),
            std::string::npos)
      << r.out;
  r = run(programs[1], {"-help"});
  EXPECT_EQ(r.out.find("Popcount"), std::string::npos);
}

}  // namespace
