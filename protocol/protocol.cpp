#include "protocol/protocol.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "app/perfttools.h"
#include "board/fen.h"
#include "eval/eval.h"
#include "protocol/linewriter.h"
#include "search/engine.h"

// Runs the line, the lines held back behind it and the searches they ask
// for, one after another, so that no search ever starts inside another.
bool Protocol::handleLine(const char* line) {
  if (engine->searching) return handleDuringSearch(line);
  bool go = dispatch(line);
  for (;;) {
    while (go && !context->quit && deferred.pop(waitingLine)) go = dispatch(waitingLine);
    if (!go || context->quit || !runQueuedSearch()) break;
  }
  return go;
}

// The output reports for the engine from now on.
void Protocol::attachOutput(SearchOutput& output) {
  engine->currentOutput = &output;
  output.engine = engine;
}

// Reads a waiting line unless the queue of waiting lines is full.
void Protocol::pollDuringSearch() {
  if (deferred.full()) {
    endSearchForWaitingLines();
    return;
  }
  pollProtocolInput(context, false);
}

// Prints the position as the debug command asks.
bool Protocol::printCommand(const char* line) {
  Engine* e = engine;
  if (lineStartsWith(line, "printBoard")) {
    printBoard(e->board, [](const char* text) { sendLine("%s", text); });
  } else if (lineStartsWith(line, "eval")) {
    sendLine("eval = %.2f", evaluateLazy(e->board, -32000, 32000) * 0.01);
  } else if (lineStartsWith(line, "printHashKey")) {
    sendLine("%016llx", (unsigned long long)e->board.key);
  } else if (lineStartsWith(line, "printFEN")) {
    char fen[FEN_BUFFER_SIZE];
    e->getFEN(fen, sizeof fen);
    sendLine("%s", fen);
  } else {
    return false;
  }
  return true;
}

// Runs the move counter the line names, when it gives a depth. A counter
// that runs out of memory has said so; the session goes on without it.
bool Protocol::counterCommand(const char* line, bool blankAfterName) {
  static const char* const names[3] = {"perftd", "perft", "divide"};
  static bool (*const counters[3])(MainContext*, int) = {perftd, perft, divide};
  for (int i = 0; i < 3; ++i) {
    size_t length = strlen(names[i]);
    if (strncmp(line, names[i], length) != 0 || (blankAfterName && line[length] != ' ')) continue;
    long long depth = 0;
    if (numberAfterBlank(line, &depth)) counters[i](context, (int)depth);
    return true;
  }
  return false;
}

// The strength limit from a clamped Elo.
void setStrength(u32 elo) {
  elo = elo < 1000 ? 1000 : (elo > 2600 ? 2600 : elo);
  strengthElo = elo;
  strengthLimited = elo < 2600 ? 1 : 0;
}

// Number after the first blank, saturated to int.
bool numberAfterBlank(const char* line, long long* value) {
  const char* blank = strchr(line, ' ');
  if (!blank) return false;
  long long n = parseInteger(blank + 1);
  if (n > 2147483647LL) n = 2147483647LL;
  if (n < -2147483647LL) n = -2147483647LL;
  *value = n;
  return true;
}

// The debug commands that print the position.
bool isDebugCommand(const char* line) {
  return lineStartsWith(line, "printBoard") || lineStartsWith(line, "eval") || lineStartsWith(line, "printHashKey") ||
         lineStartsWith(line, "printFEN");
}

// Appends a bounded copy of line; false when the queue is full.
bool LineQueue::push(const char* line) {
  if (count == CAPACITY) return false;
  int slot = (head + count) % CAPACITY;
  snprintf(lines[slot], LINE_BUFFER_SIZE, "%s", line);
  ++count;
  return true;
}

// Takes the oldest line; false when the queue is empty. Only its text is
// copied: most lines are short, the slots are 64 KiB.
bool LineQueue::pop(char* out) {
  if (count == 0) return false;
  memcpy(out, lines[head], strlen(lines[head]) + 1);
  head = (head + 1) % CAPACITY;
  --count;
  return true;
}

// Reads one line byte by byte (standard input is unbuffered, so that the
// search's poll, a select on descriptor 0, never misses a line held in a
// stdio buffer). Its length is the count of bytes read, so a zero byte in
// it cannot make an over-long line pass for a short one. A CR just before
// the LF (or the end of input) ends the line with it, for clients that end
// lines with CR LF.
int readInputLine(char* buffer) {
  int c = getchar();
  if (c == EOF) return 0;
  int length = 0;
  bool tooLong = false;
  bool carriageReturn = false;
  auto keep = [&](int byte) {
    if (length < LINE_TEXT_LIMIT)
      buffer[length++] = (char)byte;
    else
      tooLong = true;
  };
  for (; c != '\n' && c != EOF; c = getchar()) {
    // A CR is kept only once a byte other than the line end follows it.
    if (carriageReturn) keep('\r');
    carriageReturn = c == '\r';
    if (!carriageReturn) keep(c);
  }
  // An over-long line is thrown away whole: no part of it may run as a command.
  buffer[tooLong ? 0 : length] = 0;
  return 1;
}

// Reads a waiting line during a search and hands it to the current protocol.
void pollProtocolInput(MainContext* context, bool holdInput) {
  if (!context || !context->lineBuffer || holdInput || context->quit) return;
  Protocol* protocol = context->protocol;
  if (!protocol) return;

  // The GUI is gone: end like "quit" so the search stops and the program
  // shuts down instead of polling a closed input for ever.
  if (!readInputLine(context->lineBuffer)) {
    if (!protocol->handleLine("quit")) context->quit = 1;
    return;
  }
  if (context->lineBuffer[0] && !protocol->handleLine(context->lineBuffer)) context->quit = 1;
}

// Reads a saturated base-10 integer.
long long parseInteger(const char* text) {
  const char* p = text;
  while (*p == ' ') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  long long n = 0;
  while (*p >= '0' && *p <= '9') {
    if (n <= (LLONG_MAX - 9) / 10) n = n * 10 + (*p - '0');
    ++p;
  }
  return negative ? -n : n;
}

// Copies one blank-delimited word, bounded by size.
void copyWord(const char* text, char* out, int size) {
  int n = 0;
  while (text[n] && text[n] != ' ' && n < size - 1) {
    out[n] = text[n];
    ++n;
  }
  out[n] = 0;
}

// The search looks at the clock only every few thousand nodes and then has
// to unwind and print; this much of a fixed move time is kept in reserve.
static constexpr long long FIXED_TIME_MARGIN_US = 50000;

// Fixed move time in microseconds with the safety margin taken off.
u32 fixedMoveTime(long long milliseconds) {
  if (milliseconds <= 0) return 1000;
  if (milliseconds > 4000000LL) milliseconds = 4000000LL;
  long long us = milliseconds * 1000;
  long long margin = us / 4 < FIXED_TIME_MARGIN_US ? us / 4 : FIXED_TIME_MARGIN_US;
  return (u32)(us - margin);
}

// Clock value in milliseconds, with an expired clock as 0.
u32 clockMilliseconds(long long milliseconds) {
  if (milliseconds < 0) return 0;
  if (milliseconds > 4294967295LL) return 4294967295U;
  return (u32)milliseconds;
}
