// The per-node poll of the search: node and time limits, and input lines
// that reach a running search on the engine's single thread.
#include <sys/select.h>

#include "search/engine.h"
#include "search/searchutil.h"

// Lines read at most in one poll, so that a flood of input cannot hold up
// the search for ever.
static constexpr int MAX_LINES_PER_POLL = 16;

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
        if (capNodes && nodes >= nodeLimit) {
          stopRequest = StopNow;
          return false;
        }
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

  // 3. Waiting lines may stop the search, end pondering or change limits.
  //    Every line already there is taken now: xboard sends "time" and
  //    "otim" just before the opponent's move, and with one line a poll the
  //    move would wait two more polls, on the engine's clock.
  for (int lines = 0; lines < MAX_LINES_PER_POLL && stopRequest == StopNone && inputWaiting(); lines++)
    currentOutput->pollInput();
  return stopRequest == StopNone;
}
