// The line writer and the clock text.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "protocol/linewriter.h"

namespace {

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

}  // namespace
