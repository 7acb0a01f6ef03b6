// Program entry: start-up, the processor test and the command-line tools.
#include <cpuid.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <csignal>

#include "app/config.h"
#include "app/context.h"
#include "app/evalsuite.h"
#include "app/fencheck.h"
#include "app/perfttools.h"
#include "app/seetest.h"
#include "app/testsuite.h"
#include "app/toolcommon.h"
#include "eval/eval.h"
#include "protocol/console.h"
#include "protocol/linewriter.h"
#include "search/engine.h"

namespace {

// True when the processor has the POPCNT instruction (CPUID leaf 1, ECX bit 23).
[[maybe_unused]] bool cpuHasPopcount() {
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx) || eax == 0) return false;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (ecx >> 23) & 1;
}

// The help text of "-help".
void printHelp(const MainContext& ctx) {
  sendLine("Tarvok %s (%s) by Merrowin", "1.8", ctx.buildKind);
  sendLine("Built on %s at %s", __DATE__, __TIME__);
  if (ctx.hasPopcount) sendLine("Popcount instruction enable");
  sendLine("%s", "");
  sendLine("Tarvok -testsuite <filename.epd> <time>");
  sendLine("Tarvok -perftsuite <filename.epd> <depth>");
  sendLine("Tarvok -perft <depth>");
  sendLine("Tarvok -perft <depth> -fen \"<fen-string>\"");
  sendLine("Tarvok -perftd <depth>");
  sendLine("Tarvok -perftd <depth> -fen \"<fen-string>\"");
  sendLine("Tarvok -divide <depth>");
  sendLine("Tarvok -divide <depth> -fen \"<fen-string>\"");
  sendLine("Tarvok -buildbook <file.pgn> <file.bin> <depth> <count>");
}

// Releases what the entry owns; the exit status of a normal run.
int shutdown(MainContext& ctx) {
  ctx.ponderOption = 0;
  if (ctx.engine != nullptr) {
    Engine* e = ctx.engine;
    e->ponderEnabled = 0;
    e->pondering = 0;
    e->ponderMove = MOVE_NONE;
    if (e->searching) e->stopRequest = StopAbort;
    e->releaseTables();
  }
  delete ctx.protocol;
  ctx.protocol = nullptr;
  free(ctx.lineBuffer);
  ctx.lineBuffer = nullptr;
  delete ctx.engine;
  ctx.engine = nullptr;
  return 0;
}

// Releases what the entry owns after a failure; the failure status.
int fail(MainContext& ctx) {
  shutdown(ctx);
  return 1;
}

// Base-10 integer of an argument (0 for text without digits).
int argumentInt(const char* text) { return int(strtol(text, nullptr, 10)); }

// Reads standard input line by line and hands every line to the current
// protocol until one answers "quit" or the input ends; then shuts down.
int runInputLoop(MainContext& ctx) {
  // 1. The one line buffer.
  // From malloc for the reason the engine and the protocols are (board/heap.h).
  ctx.lineBuffer = static_cast<char*>(malloc(LINE_BUFFER_SIZE));
  if (ctx.lineBuffer == nullptr) {
    fputs("out of memory\n", stderr);
    return 1;
  }
  memset(ctx.lineBuffer, 0, LINE_BUFFER_SIZE);
  // 2. Unbuffered streams, so every reply leaves at once and the input poll
  //    of a running search sees exactly what is waiting. A GUI that closes
  //    its end must not kill the program in the middle of a write.
  setvbuf(stdin, nullptr, _IONBF, 0);
  setvbuf(stdout, nullptr, _IONBF, 0);
  signal(SIGPIPE, SIG_IGN);
  // 3. Banner.
  sendLine("Tarvok %s (%s) by Merrowin", "1.8", ctx.buildKind);
  // 4. Lines; the end of input ends the loop as "quit" would.
  while (!ctx.quit) {
    if (!readInputLine(ctx.lineBuffer)) break;
    if (ctx.lineBuffer[0] == 0) continue;
    if (!ctx.protocol->handleLine(ctx.lineBuffer)) ctx.quit = 1;
  }
  // 5. Shutdown.
  return ctx.outOfMemory ? fail(ctx) : shutdown(ctx);
}

typedef bool (*PerftTool)(MainContext*, int);

// "-perft", "-perftd", "-divide": depth and optional "-fen" position.
// Returns -1 when the arguments do not fit (the program goes on without a tool).
int runPerftTool(MainContext& ctx, int argc, char** argv, PerftTool tool) {
  if (argc == 5 && strcmp(argv[3], "-fen") != 0) return -1;
  const int depth = argumentInt(argv[2]);
  Engine* e = ctx.engine;
  e->init(ctx.Hash);
  e->newGame();
  ctx.infinite = 0;
  if (argc == 5 && !e->setFEN(argv[4])) {
    sendLine("Bad FEN string !");
    return fail(ctx);
  }
  // A count that could not be made must not pass for a finished one.
  if (!tool(&ctx, depth)) return fail(ctx);
  e->releaseTables();
  return shutdown(ctx);
}

// "-buildbook": PGN file, book file, depth and count. The builder's tables
// are fixed at 32 MB whatever the settings say.
int runBuildBook(MainContext& ctx, char** argv) {
  const int count = argumentInt(argv[5]);
  const int depth = argumentInt(argv[4]);
  Engine* e = ctx.engine;
  e->init(32);
  e->newGame();
  ctx.infinite = 0;
  if (!e->buildBook(argv[2], argv[3], depth, count)) return fail(ctx);
  return shutdown(ctx);
}

// Everything after the context: settings, engine, tools, input loop.
int runProgram(MainContext& ctx, int argc, char** argv) {
  // 2. Settings file: each key found replaces its default.
  readSettingsFile(&ctx);
  // 3. Engine, at full strength.
  ctx.engine = new (std::nothrow) Engine();
  if (ctx.engine == nullptr) {
    fputs("out of memory\n", stderr);
    return 1;
  }
  strengthElo = 2600;
  strengthLimited = 0;
  // 4. The start-up protocol; searches of the tools report through it.
  ctx.protocol = new (std::nothrow) ConsoleProtocol(ctx.engine, &ctx);
  if (ctx.protocol == nullptr) {
    fputs("out of memory\n", stderr);
    return fail(ctx);
  }
  ctx.protocol->attach();
  // 5. Flags.
  ctx.quit = 0;
  ctx.hasPopcount = 0;
  // 6. Processor test.
#if TARVOK_POPCNT
  if (!cpuHasPopcount()) {
    sendLine("Hardware popcount not supported : use tarvok-%d%d-linux-64", 1, 8);
    return fail(ctx);
  }
  ctx.hasPopcount = 1;
#endif
  // 7. Command-line tools.
  if (argc >= 2) {
    const char* sw = argv[1];
    if (strcmp(sw, "-help") == 0) {
      printHelp(ctx);
      return shutdown(ctx);
    }
    if (strcmp(sw, "-testsuite") == 0 && (argc == 3 || argc == 4)) {
      const float seconds = argc == 4 ? static_cast<float>(strtod(argv[3], nullptr)) : 5.0f;
      if (!runTestSuite(&ctx, argv[2], seconds)) return fail(ctx);
      return shutdown(ctx);
    }
    if (strcmp(sw, "-perftsuite") == 0 && (argc == 3 || argc == 4)) {
      const int depth = argc == 4 ? argumentInt(argv[3]) : 1;
      if (!runPerftSuite(&ctx, argv[2], depth)) return fail(ctx);
      return shutdown(ctx);
    }
    // The list tools release the tables themselves, also after a file that does not open.
    ListTool listTool = nullptr;
    if (strcmp(sw, "-evalsuite") == 0) listTool = evalSuite;
    if (strcmp(sw, "-checkfensuite") == 0) listTool = [](Engine&, const char* file) { return checkFenSuite(file); };
    if (strcmp(sw, "-testsee") == 0) listTool = seeTest;
    if (listTool != nullptr && argc == 3) return runListTool(&ctx, argv[2], listTool) ? shutdown(ctx) : fail(ctx);
    if (strcmp(sw, "-buildbook") == 0 && argc == 6) return runBuildBook(ctx, argv);
    PerftTool tool = nullptr;
    if (strcmp(sw, "-perftd") == 0) tool = perftd;
    if (strcmp(sw, "-perft") == 0) tool = perft;
    if (strcmp(sw, "-divide") == 0) tool = divide;
    if (tool != nullptr && (argc == 3 || argc == 5)) {
      const int status = runPerftTool(ctx, argc, argv, tool);
      if (status >= 0) return status;
    }
  }
  // 8. The input loop.
  return runInputLoop(ctx);
}

}  // namespace

int main(int argc, char** argv) {
  // 1. Context.
  MainContext ctx;
  memset(&ctx, 0, sizeof ctx);
  ctx.Hash = 32;
  ctx.StrengthELO = 2600;
  snprintf(ctx.buildKind, sizeof ctx.buildKind, "%s", "64 bits");
  snprintf(ctx.bookFile, sizeof ctx.bookFile, "%s", "tarvokbook-11.bin");
  // The growth of the book store, the book builder's game lines and the
  // test suite's list of bad lines can only throw. Each output line leaves
  // in one write, so ending here never leaves a line half written.
  try {
    return runProgram(ctx, argc, argv);
  } catch (const std::bad_alloc&) {
    fputs("out of memory\n", stderr);
    return fail(ctx);
  }
}
