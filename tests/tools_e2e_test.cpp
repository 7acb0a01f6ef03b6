// The list tools run end to end through the built program: "-testsuite",
// "-evalsuite", "-checkfensuite" and "-testsee" with small files made here;
// these and "-perftsuite" given a file that cannot be read.
#include <regex>

#include "app/toolcommon.h"
#include "e2e_driver.h"
#include "test_support.h"

namespace {

const std::string PROGRAM = TARVOK_BIN_GENERIC;
constexpr int TIMEOUT_MS = 60000;

// A scratch directory with the files of one test.
struct ToolsE2e : ::testing::Test {
  ScratchDir scratch;
  const std::string& dir = scratch.dir;
  std::string write(const std::string& name, const std::string& text) { return scratch.write(name, text); }
};

// Counts the occurrences of `needle` in `text`.
int countOf(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

const std::string DASHES(79, '-');

TEST_F(ToolsE2e, TestSuiteScoresBestAndAvoidFields) {
  const std::string longLine =
      "6k1/5ppp/8/8/8/8/8/R5K1 w - - bm Ra8#; id \"long\"; c0 \"" + std::string(300, 'x') + "\";\n";
  const std::string suite = write("suite.epd",
                                  "6k1/5ppp/8/8/8/8/8/R5K1 w - - bm Ra8#; id \"mate.rook\";\n"
                                  "6k1/5ppp/8/8/8/8/8/R5K1 w - - am Ra8#; id \"avoid.mate\";\n"
                                  "6k1/5ppp/8/8/8/8/8/R5K1 w - - am Kh2; id \"avoid.other\";\n"
                                  "this is no fen bm e4; id \"bad.fen\";\n"
                                  "7k/5Q2/6K1/8/8/8/8/8 b - - bm Kg8; id \"stalemate\";\n"
                                  "7k/6Q1/6K1/8/8/8/8/8 b - - bm Kxg7; id \"mated\";\n"
                                  "4k3/8/8/8/8/8/8/4K3 w - - 0 1\n"
                                  "\n"
                                  "4rkr1/4p1p1/8/8/8/8/8/4K2R w K - bm 0-0 Rf1#; id \"zeros\";\n" +
                                      longLine);
  const ToolRun run = runTool(PROGRAM, {"-testsuite", suite, "0.1"}, TIMEOUT_MS);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, 0);
  const std::string& out = run.out;
  EXPECT_EQ(out.rfind("Tarvok version 1.8\n\nTest suite : " + suite + "\n\n" + DASHES + "\n", 0), 0u) << out;
  EXPECT_EQ(countOf(out, DASHES + "\n"), 8);
  // Headers: FEN as cut (with its blank), move text, identifier without quotes.
  EXPECT_NE(out.find("6k1/5ppp/8/8/8/8/8/R5K1 w - -  bm Ra8#; id mate.rook;\n\n"), std::string::npos);
  EXPECT_NE(out.find("6k1/5ppp/8/8/8/8/8/R5K1 w - -  am Ra8#; id avoid.mate;\n\n"), std::string::npos);
  EXPECT_NE(out.find("4rkr1/4p1p1/8/8/8/8/8/4K2R w K -  bm O-O Rf1#; id zeros;\n\n"), std::string::npos);
  EXPECT_NE(out.find(" bm Ra8#; id long;\n\n"), std::string::npos);
  // Results.
  EXPECT_EQ(countOf(out, "result => 'Ra8#' : ok\n"), 3);
  EXPECT_EQ(countOf(out, "result => 'Ra8#' : bad\n"), 1);
  EXPECT_NE(out.find("id avoid.other;\n\n"), std::string::npos);
  EXPECT_TRUE(out.find("result => 'O-O' : ok\n") != std::string::npos ||
              out.find("result => 'Rf1#' : ok\n") != std::string::npos)
      << out;
  EXPECT_NE(out.find("ERROR : bad FEN !\n"), std::string::npos);
  // Stalemate: moves exist but none is legal, so the search plays nothing.
  EXPECT_NE(out.find("id stalemate;\n\n"), std::string::npos);
  // Mate: no move at all; the message has no line end of its own.
  EXPECT_NE(out.find("id mated;\n\nno result !" + DASHES), std::string::npos) << out;
  EXPECT_EQ(countOf(out, "no result !"), 2);
  // Report: nine lines counted (the overlong line is one), four good results.
  EXPECT_NE(out.find("\nScore = 4 / 9\n"), std::string::npos) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex("\nTime : \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d\n")));
  EXPECT_TRUE(std::regex_search(out, std::regex("\nTotal nodes = +\\d+, Speed \\d+\n")));
  EXPECT_TRUE(std::regex_search(out, std::regex("\nDepth min = [1-9]\\d*, max = [1-9]\\d*, average = \\d+\n")));
  const std::string bad =
      "\nBad results : \n"
      "6k1/5ppp/8/8/8/8/8/R5K1 w - - am Ra8#; id \"avoid.mate\";\n"
      "this is no fen bm e4; id \"bad.fen\";\n"
      "7k/5Q2/6K1/8/8/8/8/8 b - - bm Kg8; id \"stalemate\";\n"
      "7k/6Q1/6K1/8/8/8/8/8 b - - bm Kxg7; id \"mated\";\n";
  ASSERT_GE(out.size(), bad.size());
  EXPECT_EQ(out.substr(out.size() - bad.size()), bad);
}

TEST_F(ToolsE2e, TestSuiteEmptyAndMissingFiles) {
  const std::string empty = write("empty.epd", "");
  ToolRun run = runTool(PROGRAM, {"-testsuite", empty, "0.1"}, TIMEOUT_MS);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\nDepth min = 0, max = 0, average = 0\n\nScore = 0 / 0\n\nBad results : \n"),
            std::string::npos)
      << run.out;
  // A file that does not open: nothing printed, failure status.
  run = runTool(PROGRAM, {"-testsuite", dir + "/missing.epd", "0.1"}, TIMEOUT_MS);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
}

TEST_F(ToolsE2e, EvalSuitePrintsLineAndScore) {
  const std::string start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  const std::string list =
      write("eval.fen", start + "\nnot a fen\n\n" + std::string(400, 'k') + "\n" + "4k3/8/8/8/8/8/8/4K3 b - -");
  const ToolRun run = runTool(PROGRAM, {"-evalsuite", list}, TIMEOUT_MS);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, 0);
  // The line end turns into a blank before " ; eval "; the last line gets one too.
  const std::regex expected(
      "^rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1  ; eval -?\\d+\n"
      "4k3/8/8/8/8/8/8/4K3 b - -  ; eval 0\n"
      "\nTime : \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d\nSpeed : \\d+ eval/s\n$");
  EXPECT_TRUE(std::regex_match(run.out, expected)) << run.out;
  // A file that does not open.
  const ToolRun missing = runTool(PROGRAM, {"-evalsuite", dir + "/missing.fen"}, TIMEOUT_MS);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
}

TEST_F(ToolsE2e, CheckFenSuiteReportsEachLine) {
  const std::string list = write("check.fen",
                                 "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\n"
                                 "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - bm Qg6; id \"WAC.001\";\n"
                                 "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq\n"
                                 "4k2P/8/8/8/8/8/8/4K3 w - - 0 1\n"
                                 "\n"
                                 "8/8/8 w - - 0 1\n"
                                 "4k3/8/8/8/8/8/8/2K1K3 w - - 0 1\n" +
                                     std::string(300, '8') + "\n" + "4k3/8/8/8/8/8/8/4K3 w - -");
  const ToolRun run = runTool(PROGRAM, {"-checkfensuite", list}, TIMEOUT_MS);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Check FEN suite : '" + list + "'\n" +
                         "Invalid FEN String : ''\n"
                         "Invalid FEN String : 'P/8/8/8/8/8/8/4K3 w - - 0 1 '\n"
                         "Invalid FEN String : 'K3 w - - 0 1 '\n"
                         "Invalid FEN String : '" +
                         std::string(254, '8') + " '\n" + "Checked 4 / 8 valid FEN string\n");
  const ToolRun missing = runTool(PROGRAM, {"-checkfensuite", dir + "/missing.fen"}, TIMEOUT_MS);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
}

TEST_F(ToolsE2e, SeeTestPrintsTimeAndSpeedOnly) {
  const std::string list = write("see.epd",
                                 "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - bm Qg6; id \"WAC.001\";\n"
                                 "8/7p/5k2/5p2/p1p2P2/Pr1pPK2/1P1R3P/8 b - - bm Rxb2; id \"WAC.002\";\n"
                                 "junk bm x;\n" +
                                     std::string(500, 'b') + "m\n");
  const ToolRun run = runTool(PROGRAM, {"-testsee", list}, TIMEOUT_MS);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(std::regex_match(run.out, std::regex("Time = \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d\nSpeed : \\d+ SEE/s\n")))
      << run.out;
  const ToolRun empty = runTool(PROGRAM, {"-testsee", write("empty.epd", "")}, TIMEOUT_MS);
  EXPECT_EQ(empty.status, 0);
  const ToolRun missing = runTool(PROGRAM, {"-testsee", dir + "/missing.epd"}, TIMEOUT_MS);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
}

// A directory opens on Linux, but its first read fails: an empty report with
// status 0 would pass for a finished run of an empty file.
TEST_F(ToolsE2e, DirectoryFailsLikeMissingFile) {
  for (const char* tool : {"-perftsuite", "-testsuite", "-evalsuite", "-checkfensuite", "-testsee"}) {
    const ToolRun run = runTool(PROGRAM, {tool, dir}, TIMEOUT_MS);
    ASSERT_FALSE(run.timedOut) << tool;
    EXPECT_EQ(run.status, 1) << tool;
    EXPECT_EQ(run.out, "") << tool;
  }
}

}  // namespace
