// A whole xboard session as one input: "xboard" and then the fuzzed lines.
// The first byte picks the settings-file values the session starts with
// (book on or off, strength limit on or off).
#include <string>

#include "fuzz/fuzz_common.h"
#include "fuzz/fuzz_session.h"

// Once per process before the first input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  sessionInitialize();
  return 0;
}

// One input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > MAX_SESSION_INPUT) return 0;
  SessionSettings settings;
  settings.book = data[0] & 1;
  settings.useStrength = (data[0] >> 1) & 1;
  settings.strengthElo = 900 + 100 * ((data[0] >> 2) & 31);
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  runSession(clampSession("xboard\n" + text), settings);
  return 0;
}
