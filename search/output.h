// The interface through which the search reports. The search never prints;
// each protocol owns one implementation and makes it current on attach.
#pragma once

#include "board/types.h"

class Engine;
struct PVLine;

// Bound of a reported score.
enum ScoreBound : int { BOUND_EXACT = 0, BOUND_UPPER = 1, BOUND_LOWER = 2 };

class SearchOutput {
 public:
  Engine* engine = nullptr;

  virtual ~SearchOutput() {}
  // End of a search; stopRequest 1 normal end, 2 ponder ended, 3 aborted.
  virtual void searchDone(int stopRequest) { (void)stopRequest; }
  // Single-line result; elapsed in microseconds since the search started.
  virtual void sendPV(double elapsed, int depth, PVLine* line, u64 nodes, int selDepth, int bound) {
    (void)elapsed, (void)depth, (void)line, (void)nodes, (void)selDepth, (void)bound;
  }
  // One of several root lines; index counts from 1.
  virtual void sendMultiPV(double elapsed, int index, int depth, PVLine* line, u64 nodes, int selDepth, int bound) {
    (void)elapsed, (void)index, (void)depth, (void)line, (void)nodes, (void)selDepth, (void)bound;
  }
  // Hash fill in permille (never sent by the search).
  virtual void sendHashFull(int value) { (void)value; }
  // Start of a root pass of iteration depth.
  virtual void sendDepth(int depth) { (void)depth; }
  // A line waits on standard input: read it and hand it to the protocol.
  virtual void pollInput() {}
  // Root move about to be searched, numbered from 1 in this pass.
  virtual void sendCurrMove(Move move, int number) { (void)move, (void)number; }
};

// The engine's own output before any protocol attaches: reports nothing.
class NullSearchOutput : public SearchOutput {};
