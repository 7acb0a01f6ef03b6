#include "protocol/console.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "board/movetext.h"
#include "protocol/linewriter.h"
#include "protocol/uci.h"
#include "protocol/xboard.h"
#include "search/engine.h"

namespace {

// Score as the console shows it: mates as +Mn / -Mn, else pawns.
void formatConsoleScore(char* out, int size, int v) {
  if (v <= -31744)
    snprintf(out, size, "-M%d", (v + 32000) / 2);
  else if (v >= 31744)
    snprintf(out, size, "+M%d", (32000 - v) / 2 + 1);
  else if (v >= 0)
    snprintf(out, size, "+%.2f", (float)v * 0.01f);
  else
    snprintf(out, size, "%.2f", (float)v * 0.01f);
}

}  // namespace

// Builds the iteration line from its five texts.
void formatConsoleLine(char* out, int size, double elapsed, int index, int depth, const PVLine* line, u64 nodes,
                       int selDepth, int bound) {
  // 1. Principal variation: long algebraic moves, each followed by a blank.
  char pv[4096];
  int used = 0;
  pv[0] = 0;
  int count = line->count < 0 ? 0 : (line->count > 127 ? 127 : line->count);
  for (int i = 0; i < count; ++i) {
    char text[16];
    moveToText(line->moves[i], text);
    int n = snprintf(pv + used, sizeof pv - used, "%s ", text);
    if (n < 0 || n >= (int)sizeof pv - used) break;
    used += n;
  }

  // 2. Time, 3. rate in nodes per millisecond, 4. score, 5. bound mark.
  char time[32];
  formatTime(elapsed, time);
  double divisor = elapsed == 0.0 ? 16000.0 : elapsed;
  int rate = (int)(float)((double)(nodes * 1000ULL) / divisor);
  char score[32];
  formatConsoleScore(score, sizeof score, line->moves[0].score);
  char boundMark = " -+"[(bound >= 0 && bound <= 2) ? bound : 0];

  if (index <= 1)
    snprintf(out, size, "%2d/%-2u%c %s %12llu %6d %7s %s", depth, (unsigned)selDepth, boundMark, time,
             (unsigned long long)nodes, rate, score, pv);
  else
    snprintf(out, size, "       %s %12llu %6d %7s %s", time, (unsigned long long)nodes, rate, score, pv);
}

// Prints the iteration line of a single-line search.
void ConsoleOutput::sendPV(double elapsed, int depth, PVLine* line, u64 nodes, int selDepth, int bound) {
  sendMultiPV(elapsed, 1, depth, line, nodes, selDepth, bound);
}

// Prints the iteration line for line 1, continuation lines for the others.
void ConsoleOutput::sendMultiPV(double elapsed, int index, int depth, PVLine* line, u64 nodes, int selDepth,
                                int bound) {
  char text[4096];
  formatConsoleLine(text, sizeof text, elapsed, index, depth, line, nodes, selDepth, bound);
  sendLine("%s", text);
}

// Makes the console output the engine's current output.
void ConsoleProtocol::attach() { attachOutput(output); }

// Chooses the protocol from the first line; any other line ends the run.
bool ConsoleProtocol::handleLine(const char* line) {
  bool uci = strcmp(line, "uci") == 0;
  bool xboard = strcmp(line, "xboard") == 0;
  if (uci || xboard) {
    // This object is deleted here: from now on only the context is used.
    // It goes before the next one is made, so both never need memory at once.
    MainContext* ctx = context;
    if (ctx->protocol) delete ctx->protocol;
    ctx->protocol = nullptr;
    Protocol* next;
    if (uci)
      next = new (std::nothrow) UciProtocol(ctx->engine, ctx);
    else
      next = new (std::nothrow) XboardProtocol(ctx->engine, ctx);
    if (next == nullptr) {
      fputs("out of memory\n", stderr);
      ctx->outOfMemory = 1;
      return false;
    }
    ctx->protocol = next;
    next->attach();
    next->handleLine(uci ? "uci" : "xboard");
    return true;
  }
  if (lineStartsWith(line, "setvalue ")) return true;
  return false;
}
