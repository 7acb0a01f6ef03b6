#pragma once

#include "app/context.h"
#include "board/heap.h"
#include "search/output.h"

class Engine;

// Version text shown in the banner, the help and the protocol names.
constexpr const char* TARVOK_VERSION = "1.8";

// Lines that arrive during a search but must wait until it has ended
// (they would change the position, the tables or the search limits under
// the running search). Kept in arrival order; bounded.
struct LineQueue {
  static constexpr int CAPACITY = 8;

  // Appends a copy of line (cut to the buffer); false when full.
  bool push(const char* line);
  // Copies the oldest line into out (LINE_BUFFER_SIZE bytes); false when empty.
  bool pop(char* out);
  bool empty() const { return count == 0; }
  bool full() const { return count == CAPACITY; }
  void clear() { head = count = 0; }

  char lines[CAPACITY][LINE_BUFFER_SIZE];
  int head = 0;
  int count = 0;
};

// Base of the three protocol classes: turns input lines into actions on the
// engine. Exactly one protocol object is current (MainContext::protocol).
class Protocol : public MallocAllocated {
 public:
  Protocol(Engine* engineIn, MainContext* contextIn) : engine(engineIn), context(contextIn) {}
  virtual ~Protocol() {}

  // Makes this protocol's output object the engine's current output.
  virtual void attach() {}
  void attachOutput(SearchOutput& output);
  template <class Output, class Owner>
  void attachOutput(Output& output, Owner* owner) {
    attachOutput(static_cast<SearchOutput&>(output));
    output.owner = owner;
    output.context = context;
  }

  // Handles one input line (without its newline); false means "quit".
  // During a search the line goes to handleDuringSearch; otherwise it runs,
  // then the lines held back during the search, then any search now due.
  virtual bool handleLine(const char* line);

  // The read of waiting input during a search. Once the waiting lines fill
  // their queue the next line stays in the pipe and the search ends (see
  // endSearchForWaitingLines): an infinite, ponder or analysis search would
  // otherwise never see the "stop", "exit" or move behind them.
  void pollDuringSearch();

  Engine* engine;
  MainContext* context;

  // Lines that wait for the running search to end.
  LineQueue deferred;

 private:
  // The waiting line being run. Waiting lines are only taken while no
  // search runs (a search's poll goes to handleDuringSearch), so one buffer
  // serves; it is too large for the stack.
  char waitingLine[LINE_BUFFER_SIZE];

 protected:
  // Runs one command with no search running (or one of the at-once commands).
  virtual bool dispatch(const char*) { return true; }
  // A line that arrives while a search runs.
  virtual bool handleDuringSearch(const char* line) { return dispatch(line); }
  // Ends the running search because the waiting lines fill their queue.
  virtual void endSearchForWaitingLines() {}
  // Runs a search that a line asked for; false when none was due.
  virtual bool runQueuedSearch() { return false; }

  // The debug commands that print the position ("printBoard", "eval",
  // "printHashKey", "printFEN"); false when line is none of them.
  bool printCommand(const char* line);
  // The move counters "perftd", "perft" and "divide" with the depth after
  // a blank (the name must end at that blank when blankAfterName); false
  // when line names none of them.
  bool counterCommand(const char* line, bool blankAfterName);
};

// Output of a line protocol (UCI, xboard): the protocol object that owns it
// and the context, and the read of waiting input during a search.
template <class Owner>
class ProtocolOutput : public SearchOutput {
 public:
  void pollInput() override { owner->pollDuringSearch(); }

  Owner* owner = nullptr;
  MainContext* context = nullptr;
};

// Sets the strength limit for a playing strength of elo (1000 to 2600; 2600
// is full strength).
void setStrength(u32 elo);

// Reads one line of at most LINE_TEXT_LIMIT characters from standard input
// into buffer (LINE_BUFFER_SIZE bytes), without its LF or CR LF; a longer
// line is read to its end and thrown away (buffer empty). 0 at end of input
// or on error.
int readInputLine(char* buffer);

// The poll of a running search: when standard input has a line, reads it
// into the context's line buffer and hands it to the current protocol.
// The end of input counts as "quit". Nothing is read while holdInput is set.
void pollProtocolInput(MainContext* context, bool holdInput);

// True when line begins with prefix.
inline bool lineStartsWith(const char* line, const char* prefix) {
  while (*prefix)
    if (*line++ != *prefix++) return false;
  return true;
}

// Reads the number after the first blank of line, saturated to int; false
// when there is no blank.
bool numberAfterBlank(const char* line, long long* value);

// True when line is one of the debug commands that print the position.
bool isDebugCommand(const char* line);

// Reads a base-10 integer from text (leading blanks skipped, optional sign,
// stops at the first non-digit, no digits give 0), saturated to 64 bits.
long long parseInteger(const char* text);

// Copies the word starting at text (up to the next blank or the end) into
// out, cut to size - 1 characters.
void copyWord(const char* text, char* out, int size);

// Microseconds for a fixed time per move of the given milliseconds, less a
// small margin so that starting, stopping and writing the move fit inside it.
u32 fixedMoveTime(long long milliseconds);

// Milliseconds left on a clock as the GUI sent them; a clock that has run
// out (negative) counts as 0, huge values saturate.
u32 clockMilliseconds(long long milliseconds);
