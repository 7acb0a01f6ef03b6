// PGN reader of the book builder: which move texts each game contributes and
// how the opening lines are counted.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "book/pgn.h"

namespace {

// Reads PGN text held in memory.
LineRecords readText(const std::string& text, int depth) {
  LineRecords records;
  FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  EXPECT_NE(file, nullptr);
  if (file) {
    pgnReadGames(file, depth, records);
    std::fclose(file);
  }
  return records;
}

// The texts of a record joined by blanks.
std::string lineText(const LineRecord& line) {
  std::string text;
  for (uint32_t i = 0; i < line.count; i++) {
    if (i) text += ' ';
    text += line.san[i];
  }
  return text;
}

// All records as "texts games white black" strings, in their order.
std::vector<std::string> summary(const LineRecords& records) {
  std::vector<std::string> out;
  for (const LineRecord& line : records.lines)
    out.push_back(lineText(line) + " " + std::to_string(line.games) + " " + std::to_string(line.whiteWins) + " " +
                  std::to_string(line.blackWins));
  return out;
}

// The longest line collected (the whole opening of a one-game file).
std::string longest(const LineRecords& records) {
  std::string best;
  uint32_t count = 0;
  for (const LineRecord& line : records.lines)
    if (line.count > count) count = line.count, best = lineText(line);
  return best;
}

const char* TWO_GAMES =
    "[Event \"a\"]\n[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 Nc6 1-0\n\n"
    "[Event \"b\"]\n[Result \"0-1\"]\n\n1. e4 c5 0-1\n";

TEST(BookPgn, TwoGamesGiveEveryPrefixWithCountsAndResults) {
  LineRecords records = readText(TWO_GAMES, 2);
  std::vector<std::string> expected = {"e4 2 1 1", "e4 e5 1 1 0", "e4 c5 1 0 1"};
  EXPECT_EQ(summary(records), expected);
  // CRLF line ends read the same.
  std::string crlf;
  for (const char* c = TWO_GAMES; *c; c++) {
    if (*c == '\n') crlf += '\r';
    crlf += *c;
  }
  EXPECT_EQ(summary(readText(crlf, 2)), expected);
}

TEST(BookPgn, DepthBoundsTheCollectedPlies) {
  EXPECT_TRUE(readText(TWO_GAMES, 0).lines.empty());
  EXPECT_TRUE(readText(TWO_GAMES, -3).lines.empty());
  // A game shorter than the depth adds nothing and leaves no trace in the next game.
  std::vector<std::string> expected = {"e4 1 1 0", "e4 e5 1 1 0", "e4 e5 Nf3 1 1 0", "e4 e5 Nf3 Nc6 1 1 0"};
  EXPECT_EQ(summary(readText(TWO_GAMES, 4)), expected);
  // A depth past what a line holds is bounded to it.
  std::string moves = "1. e4 e5";
  for (int n = 2; n <= 40; n++) moves += " " + std::to_string(n) + ". Nf3 Nf6 " + std::to_string(n) + "... Ng1 Ng8";
  LineRecords deep = readText(moves + " *\n", 100);
  EXPECT_EQ(deep.lines.size(), static_cast<size_t>(LINE_MAX_PLIES));
}

TEST(BookPgn, GlyphsCommentsAndVariationsKeepThePairing) {
  EXPECT_EQ(longest(readText("1. e4 $1 1... e5 2. Nf3 *\n", 3)), "e4 e5 Nf3");
  // A glyph after the first move drops the text after it: the next number leads
  // to the second move, and the pair then ends with it.
  EXPECT_EQ(longest(readText("1. e4 $1 e5 2. Nf3 Nc6 3. d4 *\n", 3)), "e4 Nf3 d4");
  EXPECT_EQ(longest(readText("1. e4 {good} e5 2. Nf3 *\n", 3)), "e4 e5 Nf3");
  EXPECT_EQ(longest(readText("1. e4 (1. d4 d5 (1... Nf6)) 1... e5 2. Nf3 *\n", 3)), "e4 e5 Nf3");
  EXPECT_EQ(longest(readText("{intro} 1. e4 e5 2. Nf3 *\n", 3)), "e4 e5 Nf3");
  // Inside a comment only braces count: its "(" opens nothing.
  EXPECT_EQ(longest(readText("1. e4 {see (2. d4} e5 2. Nf3 *\n", 3)), "e4 e5 Nf3");
  // Inside a variation only parentheses count: a ")" in its comment closes it.
  EXPECT_EQ(longest(readText("1. e4 (1. d4 {no) e5 2. Nf3 *\n", 3)), "e4 e5 Nf3");
  // A token goes on collecting after a comment.
  EXPECT_EQ(longest(readText("1. e{x}4 e5 *\n", 2)), "e4 e5");
  // Comments and variations run across lines.
  EXPECT_EQ(longest(readText("1. e4 {a\nlong (comment}\ne5 (1... c5\n2. Nf3) 2. Nf3 *\n", 3)), "e4 e5 Nf3");
}

TEST(BookPgn, ResultTagsCountOnlyDecisiveExactValues) {
  // Two blanks make the name empty, so the value counts nothing.
  LineRecords twoBlanks = readText("[Result  \"1-0\"]\n1. e4 *\n", 1);
  ASSERT_EQ(twoBlanks.lines.size(), 1u);
  EXPECT_EQ(twoBlanks.lines[0].whiteWins, 0u);
  LineRecords drawn = readText("[Result \"1/2-1/2\"]\n1. d4 *\n[Result \"*\"]\n1. d4 *\n", 1);
  EXPECT_EQ(summary(drawn), std::vector<std::string>{"d4 2 0 0"});
  // An over-long tag name is cut, never overflows.
  std::string name(600, 'x');
  LineRecords longName = readText("[" + name + " \"v\"]\n[Result \"0-1\"]\n1. c4 *\n", 1);
  EXPECT_EQ(summary(longName), std::vector<std::string>{"c4 1 0 1"});
}

TEST(BookPgn, GamesWithoutResultTokensRunIntoTheNextGame) {
  // No moves and "0-1": the "1" starts move text, and the next game's tags
  // are read as dropped move text, so its moves carry the first game's result.
  LineRecords noMoves = readText(
      "[Result \"1-0\"]\n0-1\n\n[Result \"0-1\"]\n1. e4 e5 0-1\n[Result \"0-1\"]\n"
      "1. d4 *\n",
      1);
  EXPECT_EQ(summary(noMoves), (std::vector<std::string>{"e4 1 1 0", "d4 1 0 1"}));
  // Without a game-end token the next game's tag line is read as move text.
  LineRecords noEnd = readText("[Result \"1-0\"]\n1. e4\n\n[Result \"0-1\"]\n1. d4 d5 *\n", 2);
  EXPECT_EQ(longest(noEnd), "e4 [Result");
  // Without tag lines, nothing ends the skip after the first game's depth.
  LineRecords noTags = readText("1. e4 e5 *\n1. d4 d5 *\n", 1);
  EXPECT_EQ(summary(noTags), std::vector<std::string>{"e4 1 0 0"});
}

TEST(BookPgn, OnlyBlanksAndLineEndsSeparateMoves) {
  // A tab joins two moves into one text.
  EXPECT_EQ(longest(readText("1. e4\te5 2. Nf3 *\n", 2)), "e4\te5 Nf3");
  // Over-long texts are cut to nine characters.
  EXPECT_EQ(longest(readText("1. Nf3!!!!!!!!!!!!!!!!!!!!!!! e5 *\n", 2)), "Nf3!!!!!! e5");
  // A line longer than the line buffer arrives in pieces; nothing overflows.
  std::string longLine = "1. e4 {" + std::string(9000, 'z') + "} e5 *\n";
  EXPECT_EQ(longest(readText(longLine, 2)), "e4 e5");
}

TEST(BookPgn, IndexedLinesEqualAScanOverManyGames) {
  FILE* file = std::fopen(TARVOK_TEST_DATA "/games.pgn", "rb");
  ASSERT_NE(file, nullptr);
  LineRecords records;
  pgnReadGames(file, 16, records);
  std::fclose(file);
  // Every game that reached the depth left one full-length line: count
  // its prefixes again in a plain map and compare every record.
  std::map<std::string, std::array<uint32_t, 3>> naive;
  for (const LineRecord& r : records.lines) {
    if (r.count != 16) continue;
    LineRecord prefix = r;
    for (prefix.count = 1; prefix.count <= 16; prefix.count++) {
      auto& sums = naive[lineText(prefix)];
      sums[0] += r.games, sums[1] += r.whiteWins, sums[2] += r.blackWins;
    }
  }
  EXPECT_GT(naive.size(), 5000u);
  ASSERT_EQ(naive.size(), records.lines.size());
  for (size_t i = 0; i < records.lines.size(); i++) {
    const LineRecord& r = records.lines[i];
    const std::array<uint32_t, 3> sums = {r.games, r.whiteWins, r.blackWins};
    EXPECT_EQ(naive[lineText(r)], sums) << lineText(r);
    EXPECT_EQ(lineRecordFind(records, r, r.count), &r);
    // Prefixes come before their longer lines.
    if (r.count >= 2) {
      EXPECT_LT(lineRecordFind(records, r, r.count - 1), &r);
    }
  }
}

}  // namespace
