// Regression tests for faults that fuzzing found in the readers of files and
// text: each input here once crashed, hung or broke a promise of its reader.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/testsuite.h"
#include "tools_process.h"

namespace {

// Writes `text` to a fresh temporary file and returns its path.
std::string writeTempFile(const char* stem, const std::string& text) {
  char path[128];
  snprintf(path, sizeof path, "/tmp/tarvok-harden-%s-%d", stem, int(getpid()));
  FILE* f = fopen(path, "wb");
  if (f) {
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }
  return path;
}

}  // namespace

// A carriage return before "bm" once made the field scan find the same field
// forever, so "-testsuite" never ended.
TEST(HardenInputs, EpdFieldAfterCarriageReturnIsNotFoundAgain) {
  const char* line = "8/8/8/8/8/5k2/8/5K2 w\r - - bm Kg1; id \"x\";\n";
  EpdField field;
  int scan = 0, found = 0;
  while (found < 10 && findEpdField(line, scan, &field)) {
    ASSERT_GT(field.next, scan);
    scan = field.next;
    ++found;
  }
  EXPECT_LE(found, 1);

  const std::string path = writeTempFile("cr", std::string(line) + "8/8/8/8/8/5k2/8/5K2 w - - bm Kg1; id \"y\";\n");
  const ToolRun run = runTool(TARVOK_BIN_POPCNT, {"-testsuite", path, "0.01"}, 20000);
  remove(path.c_str());
  EXPECT_FALSE(run.timedOut);
  EXPECT_NE(run.out.find(" / 2\n"), std::string::npos) << run.out;
}
