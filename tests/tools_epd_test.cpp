// Reading EPD test-suite lines: the bounded line reader, the field cutter and
// the scoring of a played move against "bm" and "am" fields.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/testsuite.h"
#include "app/toolcommon.h"

namespace {

// A line as the tool holds it: its text followed by the line end.
EpdField cut(const std::string& text, int start = 0, bool* found = nullptr) {
  const std::string line = text + "\n";
  EpdField field;
  const bool hit = findEpdField(line.c_str(), start, &field);
  if (found) *found = hit;
  return field;
}

TEST(ToolsEpd, CutsBestAndAvoidFields) {
  const std::string wac = "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - bm Qg6; id \"WAC.001\";";
  bool found = false;
  EpdField f = cut(wac, 0, &found);
  ASSERT_TRUE(found);
  EXPECT_STREQ(f.fen, "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - ");
  EXPECT_EQ(f.next, static_cast<int>(wac.find("\";")) + 1);
  cut(wac, f.next, &found);  // nothing follows the identifier
  EXPECT_FALSE(found);
  const struct {
    const char* line;
    bool avoid;
    const char *moves, *id;
  } cases[] = {
      {"2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - bm Qg6; id \"WAC.001\";", false, "Qg6", "WAC.001"},
      {"4k3/8/8/8/8/8/8/4K2R w K - am Kd1 Kd2; id \"x\";", true, "Kd1 Kd2", "x"},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - bm 0-0 0-0-0; id \"c\";", false, "O-O O-O-O", "c"},  // zeros as O
      {"8/8 w - - bm", false, "", ""},  // the name at the very end
      {"8/8 w - - bm Qg6", false, "Qg6", ""},
      {"x bm e4; i", false, "e4", ""},              // a ";" too close to the end for an identifier
      {"x bm e4; id \"open", false, "e4", "open"},  // no closing quote: to the line end
  };
  for (const auto& c : cases) {
    f = cut(c.line, 0, &found);
    ASSERT_TRUE(found) << c.line;
    EXPECT_EQ(f.avoid, c.avoid) << c.line;
    EXPECT_STREQ(f.moves, c.moves) << c.line;
    EXPECT_STREQ(f.id, c.id) << c.line;
  }
  // A lone "m" or "b" is no field.
  cut("m", 0, &found);
  EXPECT_FALSE(found);
  cut("b", 0, &found);
  EXPECT_FALSE(found);
  // Two fields on one line: the second FEN is the text before its name.
  const std::string two = "x bm e4; id \"one\"; am d4; id \"two\";";
  f = cut(two, cut(two).next, &found);
  ASSERT_TRUE(found);
  EXPECT_TRUE(f.avoid);
  EXPECT_STREQ(f.moves, "d4");
  EXPECT_STREQ(f.id, "two");
}

TEST(ToolsEpd, ScoresPlayedMoveBySubstring) {
  const struct {
    const char *field, *san, *text;
    bool accepted;
  } cases[] = {
      {"x bm Nf3 Nc3; id \"k\";", "Nf3", "Ng1-f3", true},
      {"x bm Nf3 Nc3; id \"k\";", "Nc3", "Nb1-c3", true},
      {"x bm Nf3 Nc3; id \"k\";", "e4", "e2-e4", false},
      {"x bm Ng1-f3; id \"k\";", "Nf3", "Ng1-f3", true},  // the long text counts too
      {"x bm 0-0; id \"c\";", "O-O", "O-O", true},        // zeros read as O
      {"x bm O-O-O; id \"c\";", "O-O", "O-O", true},      // O-O is a substring of O-O-O
      {"x am Qxh7; id \"a\";", "Qxh7", "Qd3xh7", false},  // avoid-move fields invert the answer
      {"x am Qxh7; id \"a\";", "Qd2", "Qd3-d2", true},
      {"x bm Qxh7+; id \"c\";", "Qxh7+", "Qh5xh7+", true},
      // Check and mate marks as the file writes them, or not at all.
      {"x bm Rd8; id \"m\";", "Rd8#", "Rd1-d8#", true},
      {"x bm Rd8+; id \"m\";", "Rd8#", "Rd1-d8#", true},
      {"x bm Qxh7#; id \"c\";", "Qxh7+", "Qh5xh7+", true},
      {"x am Rd8; id \"m\";", "Rd8#", "Rd1-d8#", false},
      {"x am Rd8+; id \"m\";", "Rd8", "Rd1-d8", false},
      {"x bm exd6; id \"ep\";", "exd6e.p", "e5xd6e.p", true},  // en passant written plainly
      {"x bm exd6; id \"ep\";", "exf6e.p", "e5xf6e.p", false},
  };
  for (const auto& c : cases) EXPECT_EQ(epdFieldAccepts(cut(c.field), c.san, c.text), c.accepted) << c.field << c.san;
}

// Writes `text` to a fresh temporary file and returns it opened for reading.
FILE* fileWith(const std::string& text) {
  FILE* file = tmpfile();
  fwrite(text.data(), 1, text.size(), file);
  rewind(file);
  return file;
}

TEST(ToolsEpd, LineReaderIsBounded) {
  char line[TOOL_LINE_SIZE];
  // A line of 255 characters is whole; a 300-character line is cut after
  // 255, its rest skipped; the next line is whole.
  FILE* file = fileWith(std::string(254, 'a') + "x\n" + std::string(300, 'a') + "\nsecond\nlast");
  ASSERT_TRUE(readToolLine(file, line));
  EXPECT_EQ(std::string(line), std::string(254, 'a') + "x\n");
  ASSERT_TRUE(readToolLine(file, line));
  EXPECT_EQ(std::string(line), std::string(255, 'a') + "\n");
  ASSERT_TRUE(readToolLine(file, line));
  EXPECT_STREQ(line, "second\n");
  // The last line gets its line end even without one in the file.
  ASSERT_TRUE(readToolLine(file, line));
  EXPECT_STREQ(line, "last\n");
  EXPECT_FALSE(readToolLine(file, line));
  fclose(file);

  file = fileWith("");
  EXPECT_FALSE(readToolLine(file, line));
  fclose(file);

  file = fileWith("\n\n");
  ASSERT_TRUE(readToolLine(file, line));
  EXPECT_STREQ(line, "\n");
  fclose(file);
}

TEST(ToolsEpd, RatesAndBlanks) {
  char text[] = "a\tb\x80\x01z\n";
  blankControlCharacters(text);
  EXPECT_STREQ(text, "a b  z ");
  EXPECT_EQ(ratePerSecond(1000, 1000000.0), 1000);
  // No time at all counts as 16 ms rather than a division by zero.
  EXPECT_EQ(ratePerSecond(16, 0.0), 1000);
}

}  // namespace
