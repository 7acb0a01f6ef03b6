#pragma once

#include "protocol/protocol.h"
#include "search/output.h"

class UciProtocol;

// Writes move in coordinate text (e2e4, e7e8q) into out (at least 6 bytes).
// Castling is stored king-to-own-rook; without chess960 a corner rook is
// written as the king's destination (e1g1), with it as the rook's square.
void moveToCoordinate(u32 move, u32 chess960, char* out);

// Writes the moves of line into out (size bytes) in coordinate text,
// separated by single blanks, without a trailing blank.
void pvToString(MainContext* context, const PVLine* line, char* out, int size);

// Output of the UCI protocol: info lines, the bestmove line, and the read of
// waiting input during a search.
class UciOutput : public ProtocolOutput<UciProtocol> {
 public:
  void searchDone(int stop) override;
  void sendPV(double elapsed, int depth, PVLine* line, u64 nodes, int selDepth, int bound) override;
  void sendMultiPV(double elapsed, int index, int depth, PVLine* line, u64 nodes, int selDepth, int bound) override;
  void sendHashFull(int value) override;
  void sendDepth(int depth) override;
  void sendCurrMove(Move move, int number) override;

  // Writes "bestmove" with best ("0000" for none) and the ponder move if any.
  void writeBestMove(u32 best, u32 ponder);

 private:
  void sendInfo(double elapsed, int index, int depth, const PVLine* line, u64 nodes, int selDepth, int bound);
};

// The UCI line handler.
class UciProtocol : public Protocol {
 public:
  UciProtocol(Engine* engineIn, MainContext* contextIn);
  void attach() override;

  UciOutput output;
  u32 debug = 0;

  // A ponder or infinite search that ended by itself (or had no legal
  // move to search) keeps its result here until "ponderhit" or "stop".
  u32 ponderResultWaiting = 0;
  u32 ponderResultBest = 0;
  u32 ponderResultPonder = 0;
  // "stop" reached the running ponder search: its bestmove is due at once.
  u32 ponderStopped = 0;
  // The running search is "go infinite": its bestmove waits for "stop",
  // which stopReceived records.
  u32 waitForStop = 0;
  u32 stopReceived = 0;
  // A ponder search was ended by a full queue of waiting lines: its best
  // move so far waits for "ponderhit" or "stop".
  u32 ponderHeld = 0;
  // UCI_LimitStrength: -1 never set (UCI_Elo alone decides), 0 off, 1 on.
  int limitStrength = -1;
  u32 uciElo = 2600;

 private:
  bool dispatch(const char* line) override;
  bool handleDuringSearch(const char* line) override;
  void endSearchForWaitingLines() override;
  void go(const char* line);
  void position(const char* line);
  void setOption(const char* line);
  void identify();
  void loadBook();
  void applyStrength();
  void startSearch();
};
