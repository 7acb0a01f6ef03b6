#include "fuzz/fuzz_session.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/context.h"
#include "book/book.h"
#include "eval/eval.h"
#include "fuzz/fuzz_common.h"
#include "protocol/console.h"
#include "protocol/uci.h"
#include "search/engine.h"

namespace {

// Opening lines the prepared book is built from.
const char* const BOOK_GAMES =
    "[Event \"a\"]\n\n1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Ba4 Nf6 5. O-O Be7 1-0\n\n"
    "[Event \"b\"]\n\n1. e4 c5 2. Nf3 d6 3. d4 cxd4 4. Nxd4 Nf6 5. Nc3 a6 0-1\n\n"
    "[Event \"c\"]\n\n1. d4 d5 2. c4 e6 3. Nc3 Nf6 4. Bg5 Be7 5. e3 O-O 1/2-1/2\n\n"
    "[Event \"d\"]\n\n1. e4 e5 2. Nf3 Nc6 3. Bc4 Bc5 4. c3 Nf6 5. d4 exd4 1-0\n";

// Number of the text at p (digits with an optional sign), or `fallback`.
long long numberAt(const char* p, long long fallback) {
  while (*p == ' ') ++p;
  char* end = nullptr;
  const long long n = strtoll(p, &end, 10);
  return end == p ? fallback : n;
}

// True when s begins with prefix.
bool startsWith(const std::string& s, const char* prefix) { return s.compare(0, strlen(prefix), prefix) == 0; }

// One line with its costly values clamped.
std::string clampLine(const std::string& line) {
  // Perft depths: "perft N", "perftd N", "divide N".
  if (startsWith(line, "perft") || startsWith(line, "divide")) {
    const size_t blank = line.find(' ');
    if (blank != std::string::npos && numberAt(line.c_str() + blank + 1, 0) > 3) return line.substr(0, blank) + " 3";
    return line;
  }
  if (startsWith(line, "setoption name Hash value ")) {
    if (numberAt(line.c_str() + 26, 0) > 4) return "setoption name Hash value 4";
    return line;
  }
  if (startsWith(line, "setoption name Book File value ")) {
    const size_t at = 31;
    const bool good = line.size() > at && (static_cast<unsigned char>(line[at]) & 1) == 0;
    return std::string("setoption name Book File value ") + (good ? "book.bin" : "missing.bin");
  }
  return line;
}

// Writes all of `text` into a fresh pipe, closes its write end and puts
// its read end in the place of standard input.
void pipeToStdin(const std::string& text) {
  int fds[2];
  if (pipe(fds) != 0) fuzzFail("pipe", strerror(errno));
  // All of the text goes in before the session reads any of it, so a text
  // the pipe cannot hold would block here for ever.
  const int capacity = fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
  if (capacity < 0 || size_t(capacity) < text.size()) fuzzFail("input pipe", "cannot hold the session text");
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fds[1], text.data() + done, text.size() - done);
    if (n <= 0) fuzzFail("write to the input pipe", strerror(errno));
    done += size_t(n);
  }
  close(fds[1]);
  dup2(fds[0], 0);
  close(fds[0]);
  clearerr(stdin);
}

}  // namespace

// The session targets' working directory, removed at exit.
static char workDir[] = "/tmp/tarvok-fuzz-XXXXXX";

// Removes the working directory and what the targets left in it.
static void removeWorkDir() {
  for (const char* name : {"games.pgn", "book.bin", "tarvok.ini"}) {
    const std::string path = std::string(workDir) + "/" + name;
    remove(path.c_str());
  }
  rmdir(workDir);
}

// Working directory with the prepared book; silent standard output.
void sessionInitialize() {
  if (!mkdtemp(workDir) || chdir(workDir) != 0) fuzzFail("working directory", strerror(errno));
  atexit(removeWorkDir);
  FILE* games = fopen("games.pgn", "w");
  if (!games) fuzzFail("games.pgn", strerror(errno));
  fputs(BOOK_GAMES, games);
  fclose(games);
  Engine builder;
  builder.init(1);
  if (builder.buildBook("games.pgn", "book.bin", 10, 1) != 1) fuzzFail("book.bin", "not built");
  builder.releaseTables();
  bookClear();
  fuzzSilenceStdout();
  setvbuf(stdin, nullptr, _IONBF, 0);
  setvbuf(stdout, nullptr, _IONBF, 0);
}

// Every line with its costly values clamped.
std::string clampSession(const std::string& text) {
  std::string out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out += clampLine(text.substr(start, end - start));
    out += '\n';
    start = end + 1;
  }
  return out;
}

// Start-up, the input loop and shutdown on the session text.
void runSession(const std::string& text, const SessionSettings& settings) {
  pipeToStdin(text);
  // 1. Start-up as the entry does it.
  MainContext ctx;
  memset(&ctx, 0, sizeof ctx);
  ctx.Hash = settings.hashMB;
  ctx.Book = settings.book;
  ctx.UseStrength = settings.useStrength;
  ctx.StrengthELO = settings.strengthElo;
  snprintf(ctx.buildKind, sizeof ctx.buildKind, "%s", "64 bits");
  snprintf(ctx.bookFile, sizeof ctx.bookFile, "%s", settings.bookFile.c_str());
  strengthElo = 2600;
  strengthLimited = 0;
  bookClear();
  ctx.engine = new Engine();
  if (settings.startInUci) {
    ctx.protocol = new UciProtocol(ctx.engine, &ctx);
    ctx.engine->init(ctx.Hash);
    ctx.engine->newGame();
  } else {
    ctx.protocol = new ConsoleProtocol(ctx.engine, &ctx);
  }
  ctx.protocol->attach();
  ctx.hasPopcount = 1;
  ctx.lineBuffer = new char[LINE_BUFFER_SIZE];
  memset(ctx.lineBuffer, 0, LINE_BUFFER_SIZE);

  // 2. The input loop. Searches look at the input every POLL_INTERVAL
  //    nodes, 256 in the fuzz build rather than 30000, so that a session of
  //    many lines stays quick.
  while (!ctx.quit) {
    if (!readInputLine(ctx.lineBuffer)) break;
    if (ctx.lineBuffer[0] == 0) continue;
    if (!ctx.protocol->handleLine(ctx.lineBuffer)) ctx.quit = 1;
  }
  if (ctx.engine->searching) fuzzFail("input loop ended inside a search", "");

  // 3. Shutdown.
  ctx.ponderOption = 0;
  Engine* e = ctx.engine;
  e->ponderEnabled = 0;
  e->pondering = 0;
  e->ponderMove = MOVE_NONE;
  e->releaseTables();
  delete ctx.protocol;
  delete[] ctx.lineBuffer;
  delete ctx.engine;
  bookClear();
}
