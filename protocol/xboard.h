#pragma once

#include "protocol/protocol.h"
#include "search/output.h"

class XboardProtocol;

// Output of the xboard protocol: thinking lines, the "move" and "Hint:"
// lines, and the start of pondering on the predicted reply.
class XboardOutput : public ProtocolOutput<XboardProtocol> {
 public:
  void searchDone(int stop) override;
  void sendPV(double elapsed, int depth, PVLine* line, u64 nodes, int selDepth, int bound) override;
  void sendMultiPV(double elapsed, int index, int depth, PVLine* line, u64 nodes, int selDepth, int bound) override;

  // Thinking line: depth, score, centiseconds, nodes, moves (the same for
  // each line of a MultiPV search).
  void sendThinking(double elapsed, int depth, const PVLine* line, u64 nodes);
};

// Searches the xboard handler starts; they run one after another from the
// handler that received the line, never inside a running search.
enum XboardSearchKind : u32 { SearchThink = 0, SearchPonder = 1, SearchAnalysis = 2 };

// The xboard line handler.
class XboardProtocol : public Protocol {
 public:
  XboardProtocol(Engine* engineIn, MainContext* contextIn);
  void attach() override;

  XboardOutput output;
  u32 protover = 0;
  u32 force = 0;
  u32 firstGoSeen = 0;
  char lastMove[8] = {0};
  u32 post = 0;  // thinking lines only once "post" asks for them
  u32 movesReceived = 0;
  u32 timeControlSet = 0;  // "level" or "st" since the game began

  u32 analyzing = 0;         // analyze mode, from "analyze" to "exit"
  u32 savedLimitMode = 0;    // the game's limit mode while analysing
  u32 missPending = 0;       // lastMove is the opponent's move after a ponder miss
  u32 ponderMovePlayed = 0;  // the predicted reply stands on the board
  u32 searchQueued = 0;      // a search is due once the current line is done
  u32 queuedKind = SearchThink;
  u32 doneCalled = 0;    // the last search reported its end
  Board rootBoard = {};  // the position the running search started from
  // The last "time" and "otim" values in milliseconds; -1 until received.
  long long engineTime = -1;
  long long opponentTime = -1;

  // Asks for a search of the given kind once the current work is done.
  void queueSearch(u32 kind) {
    searchQueued = 1;
    queuedKind = kind;
  }

  // The start position and the clocks of a fresh time control.
  void startNewGame();

  // Puts the last "time"/"otim" values on the side to move's clocks.
  void setClocksForSideToMove();
  // Puts them on engineSide's clock and on the other.
  void setClocks(int engineSide);
  // Asks for the engine's reply to the opponent's move just played.
  void queueReply();

 private:
  bool dispatch(const char* line) override;
  bool handleDuringSearch(const char* line) override;
  void endSearchForWaitingLines() override;
  bool runQueuedSearch() override;
  void opponentMove(const char* line);
  void opponentMoveDuringPonder(const char* line);
  void dropPonder();
  void moveNow();
  bool playPredictedReply();
  bool moveIsLegalAtRoot(const char* line);
  void afterPositionChange();
  void initialise();
  void newGameReset();
  void level(const char* line);
  int engineColour() const;
};

// True when the line's first four characters are a coordinate move, or the
// line is a castling word.
bool isXboardMove(const char* line);
