// Fuzzed FEN lists through the evaluation suite ("-evalsuite"), the FEN
// check ("-checkfensuite") and the exchange test ("-testsee").
#include <cstring>
#include <string>

#include "app/evalsuite.h"
#include "app/fencheck.h"
#include "app/seetest.h"
#include "app/toolcommon.h"
#include "fuzz/fuzz_common.h"
#include "search/engine.h"

// Once per process before the first input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzSilenceStdout();
  return 0;
}

// One input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzFile* file = new FuzzFile;
  if (size > 8192) return 0;
  Engine& e = fuzzEngine();
  // The checker's state machine on each line's raw text.
  const std::string text = fuzzText(data, size, size);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    std::string blanked = line;
    blankControlCharacters(&blanked[0]);
    int failAt = -1;
    if (!fenTextIsPlausible(blanked.c_str(), &failAt) && (failAt < 0 || failAt > int(line.size())))
      fuzzFail("failure index outside the line", line.c_str());
    start = end + 1;
  }
  file->write(data, size);
  if (!evalSuite(e, file->path())) fuzzFail("evaluation suite file did not open", "");
  if (!checkFenSuite(file->path())) fuzzFail("FEN check file did not open", "");
  if (!seeTest(e, file->path())) fuzzFail("exchange test file did not open", "");
  return 0;
}
