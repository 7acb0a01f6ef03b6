// FEN plausibility check of "-checkfensuite": accepted and rejected lines.
#include <gtest/gtest.h>

#include <string>

#include "app/fencheck.h"

namespace {

// Checks a line as the tool sees it: its line end turned into a blank.
bool plausible(const std::string& text, int* failAt = nullptr) {
  const std::string line = text + " ";
  return fenTextIsPlausible(line.c_str(), failAt);
}

TEST(ToolsFenCheck, AcceptsFullAndEpdLines) {
  EXPECT_TRUE(plausible("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));
  EXPECT_TRUE(plausible("2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - bm Qg6; id \"WAC.001\";"));
  EXPECT_TRUE(plausible("rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3"));
  // Only four fields: the clocks are optional.
  EXPECT_TRUE(plausible("8/8/8/8/8/8/8/K6k b - -"));
  // Three full ranks, then the other fields: short boards are accepted.
  EXPECT_TRUE(plausible("8/8/8 w - - 0 1"));
  // Short ranks are padded.
  EXPECT_TRUE(plausible("4k/8/8/8/8/8/8/4K w - - 0 1"));
  // Thirty digits in a clock are still read.
  EXPECT_TRUE(plausible("4k3/8/8/8/8/8/8/4K3 w - - " + std::string(30, '1') + " 1"));
}

TEST(ToolsFenCheck, RejectsImplausibleLines) {
  int failAt = -1;
  // Stops after the castling field.
  const std::string shortLine = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq";
  EXPECT_FALSE(plausible(shortLine, &failAt));
  EXPECT_EQ(failAt, static_cast<int>(shortLine.size()) + 1);
  // A pawn on rank 8, and on rank 1.
  EXPECT_FALSE(plausible("P3k3/8/8/8/8/8/8/4K3 w - - 0 1", &failAt));
  EXPECT_EQ(failAt, 0);
  EXPECT_FALSE(plausible("4k3/8/8/8/8/8/8/p3K3 w - - 0 1"));
  // Two white kings.
  const std::string twoKings = "4k3/8/8/8/8/8/8/3KK3 w - - 0 1";
  EXPECT_FALSE(plausible(twoKings, &failAt));
  EXPECT_EQ(failAt, static_cast<int>(twoKings.find("KK")) + 1);
  // A file letter after the e.p. digit.
  const std::string epLetter = "4k3/8/8/3pP3/8/8/8/4K3 w - d6e 0 1";
  EXPECT_FALSE(plausible(epLetter, &failAt));
  EXPECT_EQ(failAt, static_cast<int>(epLetter.find("d6e")) + 2);
  // An e.p. digit not right after its file letter.
  for (const char* ep : {"e-3", "e;3"}) {
    const std::string line = std::string("4k3/8/8/4pP2/8/8/8/4K3 w - ") + ep + " 0 1";
    EXPECT_FALSE(plausible(line, &failAt)) << ep;
    EXPECT_EQ(failAt, static_cast<int>(line.find(ep)) + 2) << ep;
  }
  // 31 digits in the half-move clock.
  EXPECT_FALSE(plausible("4k3/8/8/8/8/8/8/4K3 w - - " + std::string(31, '1') + " 1"));
  // Nine pawns, ten knights, a rank of nine squares, a ninth rank.
  EXPECT_FALSE(plausible("4k3/pppppppp/p7/8/8/8/8/4K3 w - - 0 1"));
  EXPECT_FALSE(plausible("nnnnknnn/nnn5/8/8/8/8/8/4K3 w - - 0 1"));
  EXPECT_FALSE(plausible("4k3/8/8/8/8/8/8/4K4 w - - 0 1"));
  EXPECT_FALSE(plausible("4k3/8/8/8/8/8/8/4K3/8 w - - 0 1"));
  // Bad side letter, X-FEN castling letters, text that is no FEN.
  EXPECT_FALSE(plausible("4k3/8/8/8/8/8/8/4K3 x - - 0 1"));
  EXPECT_FALSE(plausible("4k3/8/8/8/8/8/8/4K2R w H - 0 1"));
  EXPECT_FALSE(plausible("hello world"));
  EXPECT_FALSE(plausible(""));
}

}  // namespace
