// A whole UCI session as one input: the fuzzed lines after the start of UCI.
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
  if (size > MAX_SESSION_INPUT) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  SessionSettings settings;
  settings.startInUci = true;
  runSession(clampSession(text), settings);
  return 0;
}
