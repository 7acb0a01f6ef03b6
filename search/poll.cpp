// The per-node poll of the search: node and time limits, and input lines
// that reach a running search on the engine's single thread.
#include <sys/select.h>

#include "search/engine.h"
#include "search/searchutil.h"

// True when standard input has data to read (a zero time-out select).
static bool inputWaiting() {
  fd_set readSet;
  FD_ZERO(&readSet);
  FD_SET(0, &readSet);
  timeval timeout = {0, 0};
  return select(16, &readSet, nullptr, nullptr, &timeout) > 0 && FD_ISSET(0, &readSet);
}

// Applies the limits and hands a waiting input line to the protocol; false to stop.
bool Engine::pollSearch() {
  // 1. The clock and the input are looked at once per pollInterval calls.
  bool due = ++pollCounter >= pollInterval;
  if (due) pollCounter -= pollInterval;

  // 2. Limits; a ponder search has none.
  if (!pondering) {
    switch (limitMode) {
      case LimitDepth:
      case LimitInfinite:
        break;
      case LimitNodes:
        if (nodes >= nodeLimit) {
          stopRequest = StopNow;
          return false;
        }
        break;
      default:
        if (!due) return true;
        double elapsed = elapsedSince(startTime) - budgetOffset;
        if ((elapsed > 0 ? u64(elapsed) : 0) >= timeBudget) {
          stopRequest = StopNow;
          return false;
        }
        break;
    }
  }
  if (!due) return true;

  // 3. A waiting line may stop the search, end pondering or change limits.
  if (!inputWaiting()) return true;
  currentOutput->pollInput();
  return stopRequest == StopNone;
}
