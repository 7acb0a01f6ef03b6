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
  EXPECT_FALSE(f.avoid);
  EXPECT_STREQ(f.fen, "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - ");
  EXPECT_STREQ(f.moves, "Qg6");
  EXPECT_STREQ(f.id, "WAC.001");
  EXPECT_EQ(f.next, static_cast<int>(wac.find("\";")) + 1);
  // Nothing follows the identifier.
  cut(wac, f.next, &found);
  EXPECT_FALSE(found);

  f = cut("4k3/8/8/8/8/8/8/4K2R w K - am Kd1 Kd2; id \"x\";");
  EXPECT_TRUE(f.avoid);
  EXPECT_STREQ(f.moves, "Kd1 Kd2");
  // Castling written with zeros reads as letters O.
  f = cut("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - bm 0-0 0-0-0; id \"castle\";");
  EXPECT_STREQ(f.moves, "O-O O-O-O");
}

TEST(ToolsEpd, OddLinesGiveShortTexts) {
  bool found = false;
  // The name at the very end: no moves, no identifier.
  EpdField f = cut("8/8 w - - bm", 0, &found);
  ASSERT_TRUE(found);
  EXPECT_STREQ(f.moves, "");
  EXPECT_STREQ(f.id, "");
  f = cut("8/8 w - - bm Qg6", 0, &found);
  EXPECT_STREQ(f.moves, "Qg6");
  EXPECT_STREQ(f.id, "");
  // A ";" too close to the end for an identifier.
  f = cut("x bm e4; i", 0, &found);
  EXPECT_STREQ(f.moves, "e4");
  EXPECT_STREQ(f.id, "");
  // An identifier without its closing quote runs to the line end.
  f = cut("x bm e4; id \"open", 0, &found);
  EXPECT_STREQ(f.id, "open");
  // A lone "m" or "b" is no field.
  cut("m", 0, &found);
  EXPECT_FALSE(found);
  cut("b", 0, &found);
  EXPECT_FALSE(found);
  // Two fields on one line: the second FEN is the text before its name.
  const std::string two = "x bm e4; id \"one\"; am d4; id \"two\";";
  f = cut(two, 0, &found);
  f = cut(two, f.next, &found);
  ASSERT_TRUE(found);
  EXPECT_TRUE(f.avoid);
  EXPECT_STREQ(f.moves, "d4");
  EXPECT_STREQ(f.id, "two");
}

TEST(ToolsEpd, ScoresPlayedMoveBySubstring) {
  EpdField f = cut("x bm Nf3 Nc3; id \"k\";");
  EXPECT_TRUE(epdFieldAccepts(f, "Nf3", "Ng1-f3"));
  EXPECT_TRUE(epdFieldAccepts(f, "Nc3", "Nb1-c3"));
  EXPECT_FALSE(epdFieldAccepts(f, "e4", "e2-e4"));
  // A field that names the long text also counts.
  f = cut("x bm Ng1-f3; id \"k\";");
  EXPECT_TRUE(epdFieldAccepts(f, "Nf3", "Ng1-f3"));
  // Zeros read as O; O-O is a substring of O-O-O.
  f = cut("x bm 0-0; id \"c\";");
  EXPECT_TRUE(epdFieldAccepts(f, "O-O", "O-O"));
  f = cut("x bm O-O-O; id \"c\";");
  EXPECT_TRUE(epdFieldAccepts(f, "O-O", "O-O"));
  // Avoid-move fields invert the answer.
  f = cut("x am Qxh7; id \"a\";");
  EXPECT_FALSE(epdFieldAccepts(f, "Qxh7", "Qd3xh7"));
  EXPECT_TRUE(epdFieldAccepts(f, "Qd2", "Qd3-d2"));
  // A check mark in the field matches a played move with the same mark.
  f = cut("x bm Qxh7+; id \"c\";");
  EXPECT_TRUE(epdFieldAccepts(f, "Qxh7+", "Qh5xh7+"));
  // En passant is written plainly in EPD files.
  f = cut("x bm exd6; id \"ep\";");
  EXPECT_TRUE(epdFieldAccepts(f, "exd6e.p", "e5xd6e.p"));
  EXPECT_FALSE(epdFieldAccepts(f, "exf6e.p", "e5xf6e.p"));
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
  // A 300-character line is cut, its rest skipped; the next line is whole.
  FILE* file = fileWith(std::string(300, 'a') + "\nsecond\nlast");
  ASSERT_TRUE(readToolLine(file, line));
  EXPECT_EQ(std::string(line), std::string(TOOL_LINE_SIZE - 2, 'a') + "\n");
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
