// Fuzzed EPD files through the test suite ("-testsuite"): the line reader,
// the best-move and avoid-move fields, the positions they set and a search
// of each (a node limit stands in for the time per position); then through
// the perft suite ("-perftsuite") at depth 1, or 2 for a short file.
#include <cstring>
#include <string>

#include "app/perfttools.h"
#include "app/testsuite.h"
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
  if (size > 4096) return 0;
  Engine& e = fuzzEngine();
  // The field finder on the raw text of every line, then the whole suite.
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    line.resize(strnlen(line.c_str(), line.size()));
    EpdField field;
    int scan = 0, guard = 0;
    while (findEpdField(line.c_str(), scan, &field)) {
      if (field.next <= scan || field.next > int(line.size())) fuzzFail("field scan does not advance", line.c_str());
      scan = field.next;
      if (++guard > 4096) fuzzFail("field scan does not end", line.c_str());
    }
    start = end + 1;
  }
  file->write(data, size);
  e.limitMode = LimitNodes;
  e.nodeLimit = 100;
  if (!testSuite(&e.perftContext, file->path())) fuzzFail("suite file did not open", "");
  e.newGame();
  if (!perftSuite(&e.perftContext, file->path(), size < 512 ? 2 : 1)) fuzzFail("perft suite file did not open", "");
  return 0;
}
