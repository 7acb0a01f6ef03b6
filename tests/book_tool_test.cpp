// "-buildbook" run through both programs, as a user runs it.
#include "e2e_driver.h"
#include "test_support.h"

namespace {

TEST(BookTool, BothProgramsBuildTheSameBookAndReportFailures) {
  ScratchDir scratch;
  const std::string pgn = TARVOK_TEST_DATA "/games.pgn";
  const std::string popcntBook = scratch.path("popcnt.bin"), genericBook = scratch.path("generic.bin");
  EXPECT_EQ(runTool(TARVOK_BIN_POPCNT, {"-buildbook", pgn, popcntBook, "16", "2"}, 60000).status, 0);
  EXPECT_EQ(runTool(TARVOK_BIN_GENERIC, {"-buildbook", pgn, genericBook, "16", "2"}, 60000).status, 0);
  const std::string bytes = readFile(popcntBook);
  ASSERT_GT(bytes.size(), 12u);
  EXPECT_EQ(bytes.substr(0, 4), "BOOK");
  EXPECT_EQ(bytes, readFile(genericBook));
  // A PGN file that does not open: failure status and no book.
  const std::string missingBook = scratch.path("missing.bin");
  EXPECT_EQ(runTool(TARVOK_BIN_POPCNT, {"-buildbook", scratch.dir + "/none.pgn", missingBook, "16", "2"}, 60000).status,
            1);
  EXPECT_TRUE(readFile(missingBook).empty());
}

}  // namespace
