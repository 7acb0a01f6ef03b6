// Helpers of the search tests: an engine on the heap, a SearchOutput that
// records every call, and a board comparison.
#pragma once

#include <cstring>

#include "search/output.h"
#include "search/tt.h"
#include "test_support.h"

// One recorded call of the search output.
struct OutputCall {
  std::string what;  // "done", "pv", "multipv", "depth", "currmove"
  int value;         // stop request, depth, or move number
  int index;         // multipv index
  int bound;
  int score;
  Move move;  // first move of the line, or the current move
  u64 nodes;
};

// Records every call; an optional hook may act on the engine after each report.
class RecordingOutput : public SearchOutput {
 public:
  std::vector<OutputCall> calls;
  // Sets stopRequest to stopValue once a finished line of stopDepth is reported.
  int stopDepth = 0;
  u32 stopValue = StopNow;
  // Turns on the verbose reports (a line batch after each finished line) at
  // the first report, as two seconds of searching would.
  bool verboseAfterFirstReport = false;

  void searchDone(int stop) override { calls.push_back({"done", stop, 0, 0, 0, 0, 0}); }
  void sendPV(double, int depth, PVLine* line, u64 nodes, int, int bound) override {
    calls.push_back({"pv", depth, 1, bound, line->moves[0].score, line->count ? line->moves[0].move : 0, nodes});
    maybeStop(depth, bound);
  }
  void sendMultiPV(double, int index, int depth, PVLine* line, u64 nodes, int, int bound) override {
    calls.push_back(
        {"multipv", depth, index, bound, line->moves[0].score, line->count ? line->moves[0].move : 0, nodes});
    maybeStop(depth, bound);
  }
  void sendHashFull(int value) override { calls.push_back({"hashfull", value, 0, 0, 0, 0, 0}); }
  void sendDepth(int depth) override { calls.push_back({"depth", depth, 0, 0, 0, 0, 0}); }
  void sendCurrMove(Move move, int number) override { calls.push_back({"currmove", number, 0, 0, 0, move, 0}); }

  // Number of calls of one kind.
  int count(const std::string& what) const {
    int n = 0;
    for (const OutputCall& c : calls) n += c.what == what;
    return n;
  }

 private:
  void maybeStop(int depth, int bound) {
    if (verboseAfterFirstReport) engine->verboseInfo = 1;
    if (stopDepth && depth >= stopDepth && bound == BOUND_EXACT && engine->stopRequest == StopNone)
      engine->stopRequest = stopValue;
  }
};

// An initialised engine with a small table and its own recording output.
struct TestEngine {
  std::unique_ptr<Engine> engine;
  RecordingOutput output;

  explicit TestEngine(const char* fen = nullptr) : engine(new Engine()) {
    engine->init(4);
    engine->newGame();
    output.engine = engine.get();
    engine->currentOutput = &output;
    strengthElo = 2600;
    strengthLimited = 0;
    if (fen) {
      EXPECT_TRUE(engine->setFEN(fen)) << fen;
    }
  }
  ~TestEngine() { engine->releaseTables(); }

  Engine* operator->() { return engine.get(); }

  // Runs a search under the limit mode set up.
  void search(u32 mode) {
    engine->limitMode = mode;
    engine->searching = 1;
    engine->searchRoot();
  }
  // Runs a fixed-depth search.
  void searchDepth(int depth) {
    engine->maxDepth = depth;
    search(LimitDepth);
  }
  // Runs a search limited to a node count.
  void searchNodes(u64 limit) {
    engine->nodeLimit = limit;
    search(LimitNodes);
  }
  // Score of the first root line.
  int score() const { return engine->rootLines[0].pv.moves[0].score; }
};

// The position fields of a board (not the stack contents above the counts).
inline bool boardSamePosition(const Board& a, const Board& b) {
  return a.occupied == b.occupied && memcmp(a.byColour, b.byColour, sizeof a.byColour) == 0 &&
         memcmp(a.pieces, b.pieces, sizeof a.pieces) == 0 && a.key == b.key && a.pawnKey == b.pawnKey &&
         memcmp(a.material, b.material, sizeof a.material) == 0 && a.side == b.side && a.opponent == b.opponent &&
         a.stage == b.stage && memcmp(a.phase, b.phase, sizeof a.phase) == 0 &&
         a.materialSignature == b.materialSignature && a.castling == b.castling && a.epFile == b.epFile &&
         a.halfmove == b.halfmove && memcmp(a.kingSquare, b.kingSquare, sizeof a.kingSquare) == 0 &&
         memcmp(a.squares, b.squares, sizeof a.squares) == 0 && a.undoCount == b.undoCount &&
         a.keyCount == b.keyCount && memcmp(a.keyHistory, b.keyHistory, sizeof(u64) * a.keyCount) == 0;
}
