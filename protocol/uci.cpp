#include "protocol/uci.h"

#include <cstdio>
#include <cstring>

#include "app/perfttools.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/types.h"
#include "book/book.h"
#include "eval/eval.h"
#include "protocol/linewriter.h"
#include "search/engine.h"
#include "search/tt.h"

// UCI commands, matched case-sensitively in this order, first match wins.
//
//  command        match    reply / effect                                   during a search
//  "go "          prefix   limits, search, info + bestmove                  ignored (queued behind waiting lines)
//  "isready"      whole    "readyok"                                        answered at once
//  "position "    prefix   startpos / fen, then moves                       waits for the search
//  "ponderhit"    whole    ponder search becomes a normal one               at once
//  "quit"         whole    aborts, ends the program                         at once
//  "uci"          whole    id, options, tables, "uciok"                     waits
//  "ucinewgame"   whole    new game (after the search when one runs)        at once (aborts, no bestmove)
//  "stop"         whole    ends the search, bestmove                        at once
//  "perftd"/"perft"/"divide" prefix (depth after a blank)                   waits
//  "debug "       prefix   accepted, no effect                              at once
//  "setoption "   prefix   Hash, Ponder, OwnBook, Book File, Clear Hash,    waits
//                          MultiPV, UCI_Elo, UCI_Chess960, UCI_LimitStrength
//  "printBoard", "eval", "printHashKey", "printFEN"  prefix, debug output   waits
// Anything else is ignored without a reply.

namespace {

constexpr const char* DEFAULT_BOOK_FILE = "tarvokbook-11.bin";

}  // namespace

// Coordinate text of a move, with the castling notation chosen by chess960.
void moveToCoordinate(u32 move, u32 chess960, char* out) {
  int from = (int)moveFrom(move);
  int to = (int)moveTo(move);
  if (moveIsCastling(move) && !chess960) {
    if (to == 7)
      to = 6;  // h1 -> g1
    else if (to == 0)
      to = 2;  // a1 -> c1
    else if (to == 63)
      to = 62;  // h8 -> g8
    else if (to == 56)
      to = 58;  // a8 -> c8
  }
  out[0] = (char)('a' + (from & 7));
  out[1] = (char)('1' + (from >> 3));
  out[2] = (char)('a' + (to & 7));
  out[3] = (char)('1' + (to >> 3));
  int promotion = (int)movePromotion(move);
  if (promotion != 0 && promotion < 7) {
    out[4] = "0pnbrqk"[promotion];
    out[5] = 0;
  } else {
    out[4] = 0;
  }
}

// Principal variation in coordinate text, blank-separated.
void pvToString(MainContext* context, const PVLine* line, char* out, int size) {
  out[0] = 0;
  if (size <= 0) return;
  u32 chess960 = context && context->engine ? context->engine->chess960 : 0;
  int used = 0;
  int count = line->count > 127 ? 127 : line->count;
  for (int i = 0; i < count; ++i) {
    char text[8];
    moveToCoordinate(line->moves[i].move, chess960, text);
    int n = snprintf(out + used, size - used, i == 0 ? "%s" : " %s", text);
    if (n < 0 || n >= size - used) break;
    used += n;
  }
}

// ---------------------------------------------------------------- output

// Writes one info line with the score, bound, time, speed and moves.
void UciOutput::sendInfo(double elapsed, int index, int depth, const PVLine* line, u64 nodes, int selDepth, int bound) {
  int v = line->moves[0].score;
  const char* kind = "cp";
  int shown = v;
  if (v > 31743) {
    kind = "mate";
    shown = (32000 - v) / 2 + 1;
  } else if (v < -31743) {
    kind = "mate";
    shown = -((v + 32000) / 2);
  }
  const char* boundText = bound == 1 ? "upperbound " : (bound == 2 ? "lowerbound " : "");
  int timeMs;
  if (elapsed == 0.0) {
    timeMs = 16;
    elapsed = 16000.0;
  } else {
    timeMs = (int)(elapsed * 0.001);
  }
  int nps = (int)((double)(nodes * 1000000ULL) / elapsed);
  char pv[4096];
  pvToString(context, line, pv, sizeof pv);
  if (index == 0)
    sendLine("info depth %d seldepth %d score %s %d %stime %d nodes %llu nps %d pv %s", depth, selDepth, kind, shown,
             boundText, timeMs, (unsigned long long)nodes, nps, pv);
  else
    sendLine("info multipv %d depth %d seldepth %d score %s %d %stime %d nodes %llu nps %d pv %s", index, depth,
             selDepth, kind, shown, boundText, timeMs, (unsigned long long)nodes, nps, pv);
}

// Info line of a single-line search.
void UciOutput::sendPV(double elapsed, int depth, PVLine* line, u64 nodes, int selDepth, int bound) {
  sendInfo(elapsed, 0, depth, line, nodes, selDepth, bound);
}

// Info line of one MultiPV line.
void UciOutput::sendMultiPV(double elapsed, int index, int depth, PVLine* line, u64 nodes, int selDepth, int bound) {
  sendInfo(elapsed, index < 1 ? 1 : index, depth, line, nodes, selDepth, bound);
}

// Reports the table fill in permille.
void UciOutput::sendHashFull(int value) { sendLine("info hashfull %d", value); }

// Announces the iteration about to be searched.
void UciOutput::sendDepth(int depth) { sendLine("info depth %d", depth); }

// Announces the root move about to be searched.
void UciOutput::sendCurrMove(Move move, int number) {
  char text[8];
  moveToCoordinate(move, engine->chess960, text);
  sendLine("info currmove %s currmovenumber %d", text, number);
}

// Writes "bestmove" with the move and, when given, the move to ponder on.
void UciOutput::writeBestMove(u32 best, u32 ponder) {
  char line[32];
  char bestText[8];
  char ponderText[8];
  if (best)
    moveToCoordinate(best, engine->chess960, bestText);
  else
    snprintf(bestText, sizeof bestText, "0000");
  if (ponder) {
    moveToCoordinate(ponder, engine->chess960, ponderText);
    snprintf(line, sizeof line, "bestmove %s ponder %s", bestText, ponderText);
  } else {
    snprintf(line, sizeof line, "bestmove %s", bestText);
  }
  sendLine("%s", line);
}

// Best move of the search that has just been stopped or aborted: the first
// move of its principal line, else its first root move.
static u32 bestSoFar(const Engine* engine) {
  if (engine->rootLines[0].pv.count > 0 && engine->rootLines[0].pv.moves[0].move)
    return engine->rootLines[0].pv.moves[0].move;
  if (engine->searchPlies[0].count > 0) return engine->searchPlies[0].moves[0].move;
  return engine->lastBestMove;
}

// Final report of a search: the bestmove line, or nothing for an aborted
// search that starts a new game or a ponder search that waits for the GUI.
void UciOutput::searchDone(int stop) {
  // 1. Aborted: a new game asked for during the search starts now.
  if (stop == StopAbort) {
    if (context->newGamePending) {
      context->newGamePending = 0;
      engine->newGame();
      context->infinite = 0;
      context->movesLeft = 40;
      context->movesPerPeriod = 40;
      engine->movesToGo = 40;
      return;
    }
    // "quit": the search played nothing, so its best line so far is
    // given (lastBestMove may still be the opponent's move).
    context->infinite = 0;
    writeBestMove(bestSoFar(engine), 0);
    return;
  }

  // 2. A ponder search: after "stop" its move is due at once; one that
  //    ended by itself keeps its result until "ponderhit" or "stop".
  if (stop == StopPonder) {
    if (owner->ponderStopped) {
      owner->ponderStopped = 0;
      context->ponderPending = 0;
      writeBestMove(bestSoFar(engine), 0);
      return;
    }
    // One ended by a full queue of waiting lines keeps its best so far.
    owner->ponderResultWaiting = 1;
    if (owner->ponderHeld) {
      owner->ponderHeld = 0;
      owner->ponderResultBest = bestSoFar(engine);
      owner->ponderResultPonder = 0;
      return;
    }
    owner->ponderResultBest = engine->lastBestMove;
    owner->ponderResultPonder = context->ponderOption ? engine->ponderMove : 0;
    return;
  }

  // 3. An infinite search that ended by itself (its depth ran out, or the
  //    book answered) keeps its move until "stop", as it must not end first.
  if (owner->waitForStop && !owner->stopReceived) {
    owner->ponderResultWaiting = 1;
    owner->ponderResultBest = engine->lastBestMove;
    owner->ponderResultPonder = 0;
    return;
  }

  // 4. A normal end (or a book move): the move, and the reply to ponder on.
  if (!context->ponderOption) {
    context->ponderMove = 0;
    writeBestMove(engine->lastBestMove, 0);
    return;
  }
  context->ponderMove = engine->ponderMove;
  writeBestMove(engine->lastBestMove, engine->ponderMove);
}

// ---------------------------------------------------------------- protocol

// A UCI handler on the one engine and context.
UciProtocol::UciProtocol(Engine* engineIn, MainContext* contextIn) : Protocol(engineIn, contextIn) {}

// Makes the UCI output the engine's current output.
void UciProtocol::attach() { attachOutput(output, this); }

// A line that arrives while a search runs: the commands that steer the
// search act at once; those that would change the position, the tables or
// the settings under it wait in arrival order.
bool UciProtocol::handleDuringSearch(const char* line) {
  if (strcmp(line, "quit") == 0 || strcmp(line, "stop") == 0 || strcmp(line, "isready") == 0 ||
      strcmp(line, "ponderhit") == 0 || strcmp(line, "ucinewgame") == 0 || lineStartsWith(line, "debug "))
    return dispatch(line);
  if (lineStartsWith(line, "go ")) {
    // No second search inside this one; a "go" behind waiting lines
    // belongs to the position they set up.
    if (!deferred.empty()) deferred.push(line);
    return true;
  }
  if (lineStartsWith(line, "position ") || lineStartsWith(line, "setoption ") || strcmp(line, "uci") == 0 ||
      lineStartsWith(line, "perft") || lineStartsWith(line, "divide") || isDebugCommand(line))
    deferred.push(line);
  return true;
}

// The search stops with its best move so far. Its bestmove still waits for
// what the GUI will send: a ponder search keeps it for "ponderhit" or
// "stop", an infinite one for "stop".
void UciProtocol::endSearchForWaitingLines() {
  Engine* e = engine;
  if (!e->searching || e->stopRequest != StopNone) return;
  ponderHeld = e->pondering ? 1 : 0;
  e->stopRequest = e->pondering ? StopPonder : StopNow;
}

// Runs one command with no search running (or one of the at-once commands).
bool UciProtocol::dispatch(const char* line) {
  Engine* e = engine;
  if (lineStartsWith(line, "go ")) {
    if (!e->searching) go(line);
    return true;
  }
  if (strcmp(line, "isready") == 0) {
    sendLine("readyok");
    return true;
  }
  if (lineStartsWith(line, "position ")) {
    if (!e->searching) position(line);
    return true;
  }
  if (strcmp(line, "ponderhit") == 0) {
    if (e->searching) {
      if (e->pondering) context->ponderPending = 0;
      e->pondering = 0;
      e->pollCounter = e->pollInterval;
      if (e->stopRequest == StopNone) e->pollSearch();
    } else if (ponderResultWaiting) {
      ponderResultWaiting = 0;
      context->ponderPending = 0;
      context->ponderMove = ponderResultPonder;
      output.writeBestMove(ponderResultBest, ponderResultPonder);
    }
    return true;
  }
  if (strcmp(line, "quit") == 0) {
    context->ponderOption = 0;
    context->ponderMove = 0;
    if (e->searching) e->stopRequest = StopAbort;
    return false;
  }
  if (strcmp(line, "uci") == 0) {
    identify();
    return true;
  }
  if (strcmp(line, "ucinewgame") == 0) {
    context->ponderMove = 0;
    ponderResultWaiting = 0;
    if (e->searching) {
      e->stopRequest = StopAbort;
      context->newGamePending = 1;
    } else {
      e->newGame();
      context->infinite = 0;
    }
    return true;
  }
  if (strcmp(line, "stop") == 0) {
    if (e->searching) {
      stopReceived = 1;
      if (e->pondering) {
        ponderStopped = 1;
        e->stopRequest = StopPonder;
      } else {
        e->stopRequest = StopNow;
      }
    } else if (ponderResultWaiting) {
      // A ponder search that ended by itself: its move is given once.
      ponderResultWaiting = 0;
      context->ponderPending = 0;
      output.writeBestMove(ponderResultBest, 0);
    }
    return true;
  }
  if (counterCommand(line, false)) return true;
  if (lineStartsWith(line, "debug ")) return true;
  if (lineStartsWith(line, "setoption ")) {
    if (!e->searching) setOption(line);
    return true;
  }
  printCommand(line);
  return true;
}

// Value text after "value " at p, or null when the form is broken.
static const char* optionValue(const char* p) { return lineStartsWith(p, "value ") ? p + 6 : nullptr; }

// ASCII lower case; the locale has no say in a protocol word.
static char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// True when name begins with prefix, letters compared in any case.
static bool nameStartsWith(const char* name, const char* prefix) {
  for (; *prefix; ++name, ++prefix)
    if (lowerAscii(*name) != lowerAscii(*prefix)) return false;
  return true;
}

// A check option's value: "true" in any case; anything else is false.
static bool isTrue(const char* value) { return nameStartsWith(value, "true") && value[4] == 0; }

// Reads the parameters of a "go " line into the limits and searches.
void UciProtocol::go(const char* line) {
  Engine* e = engine;
  context->ponderPending = 0;
  e->movesToGo = 0;
  // GUIs leave out a zero increment, so one from an earlier go must not count.
  e->increment[0] = e->increment[1] = 0;
  ponderResultWaiting = 0;
  ponderStopped = 0;

  // 1. Words one by one; the last keyword that sets a limit mode wins,
  //    except that a depth or node limit beside a clock or a move time
  //    only caps that timed search (a GUI's depth limit is no time control).
  u32 timeMode = LimitInfinite;  // the last clock or move-time word's mode, if any
  bool depthWord = false, nodesWord = false, infiniteWord = false;
  const char* p = line + 3;
  for (;;) {
    char word[256];
    long long n = 0;
    auto valueOf = [&](const char* keyword) {
      if (!lineStartsWith(p, keyword)) return false;
      copyWord(p + strlen(keyword), word, sizeof word);
      n = parseInteger(word);
      return true;
    };
    if (lineStartsWith(p, "ponder")) {
      context->ponderPending = 1;
    } else if (valueOf("wtime ")) {
      e->limitMode = timeMode = LimitClock;
      e->clock[1] = (float)clockMilliseconds(n);
    } else if (valueOf("btime ")) {
      e->limitMode = timeMode = LimitClock;
      e->clock[0] = (float)clockMilliseconds(n);
    } else if (valueOf("winc ")) {
      e->increment[1] = (i32)(n > 2147483647LL ? 2147483647LL : (n < 0 ? 0 : n));
    } else if (valueOf("binc ")) {
      e->increment[0] = (i32)(n > 2147483647LL ? 2147483647LL : (n < 0 ? 0 : n));
    } else if (valueOf("movetime ")) {
      e->limitMode = timeMode = LimitMoveTime;
      e->moveTime = fixedMoveTime(n);
    } else if (valueOf("movestogo ")) {
      e->movesToGo = (u32)(n < 0 ? 0 : (n > 100000 ? 100000 : n));
      e->limitMode = timeMode = LimitClock;
    } else if (lineStartsWith(p, "infinite")) {
      context->infinite = 1;
      e->limitMode = LimitInfinite;
      infiniteWord = true;
    } else if (valueOf("depth ")) {
      // At least one iteration, so that the bestmove is a real move.
      e->limitMode = LimitDepth;
      depthWord = true;
      e->maxDepth = (i32)(n < 1 ? 1 : (n > 127 ? 127 : n));
    } else if (valueOf("nodes ")) {
      e->limitMode = LimitNodes;
      nodesWord = true;
      e->nodeLimit = (u64)(i64)(i32)n;
    }
    const char* blank = strchr(p, ' ');
    if (!blank) break;
    p = blank + 1;
  }
  e->capDepth = e->capNodes = 0;
  if (timedSearch(timeMode) && !infiniteWord && (depthWord || nodesWord)) {
    e->limitMode = timeMode;
    e->capDepth = depthWord ? 1 : 0;
    e->capNodes = nodesWord ? 1 : 0;
  }

  waitForStop = e->limitMode == LimitInfinite ? 1 : 0;
  stopReceived = 0;
  ponderHeld = 0;

  // 2. "ponder" on the line always means a ponder search: the Ponder
  //    option only tells the engine that the GUI may ask for one.
  e->pondering = context->ponderPending ? 1 : 0;

  // 3. Mate or stalemate: nothing to search, the null move answers; after
  //    "go ponder" or "go infinite" it waits for the GUI like any result.
  if (countLegalMoves(e->board) == 0) {
    e->searching = 0;
    if (context->ponderPending || waitForStop) {
      ponderResultWaiting = 1;
      ponderResultBest = ponderResultPonder = 0;
      return;
    }
    sendLine("bestmove 0000");
    return;
  }
  startSearch();
}

// Runs one search on the current position with the limits set.
void UciProtocol::startSearch() {
  Engine* e = engine;
  // The book path reports the stop value it finds; start from a clean one.
  e->stopRequest = StopNone;
  e->searching = 1;
  e->searchRoot();
  e->searching = 0;
}

// Sets up the position of a "position " line.
void UciProtocol::position(const char* line) {
  Engine* e = engine;
  const char* rest = line + 9;
  if (lineStartsWith(rest, "startpos") && (rest[8] == 0 || rest[8] == ' ')) {
    e->setFEN(START_FEN);
    if (rest[8] == ' ' && lineStartsWith(rest + 9, "moves ")) e->playMoveList(rest + 15);
    return;
  }
  if (!lineStartsWith(rest, "fen ")) return;
  const char* fen = rest + 4;
  const char* moves = strstr(fen, "moves ");
  if (!moves) {
    e->setFEN(fen);
    return;
  }
  char part[256];
  size_t n = (size_t)(moves - fen);
  if (n > sizeof part - 1) n = sizeof part - 1;
  memcpy(part, fen, n);
  part[n] = 0;
  if (e->setFEN(part)) e->playMoveList(moves + 6);
}

// Sets the effective strength limit from UCI_Elo and UCI_LimitStrength.
void UciProtocol::applyStrength() { setStrength(limitStrength == 0 ? 2600 : uciElo); }

// Loads the book file; a failure is reported and switches the book off.
void UciProtocol::loadBook() {
  if (!engine->loadBook(context->bookFile)) {
    sendLine("info string book file not found");
    context->Book = 0;
  }
}

// Handles "setoption name <name> [value <value>]". GUIs spell option names
// and check values in their own case (Scid sends "MultiPv"), so both are
// read in any case; the words "name" and "value" and a book's file name are
// taken as they stand.
void UciProtocol::setOption(const char* line) {
  Engine* e = engine;
  const char* p = line + 10;
  if (!lineStartsWith(p, "name ")) return;
  p += 5;
  const char* value = nullptr;
  if (nameStartsWith(p, "Hash ")) {
    if (!(value = optionValue(p + 5))) return;
    long long n = parseInteger(value);
    e->hashSizeMB = (u32)n;
    allocateHash((u32)n);
  } else if (nameStartsWith(p, "Ponder ")) {
    if (!(value = optionValue(p + 7))) return;
    if (isTrue(value)) {
      e->ponderEnabled = 1;
      context->ponderOption = 1;
    } else {
      e->ponderEnabled = 0;
      e->pondering = 0;
      e->ponderMove = 0;
      context->ponderOption = 0;
    }
  } else if (nameStartsWith(p, "OwnBook ")) {
    if (!(value = optionValue(p + 8))) return;
    if (isTrue(value)) {
      context->Book = 1;
      loadBook();
    } else {
      context->Book = 0;
      e->bookOn = 0;
      bookClear();
    }
  } else if (nameStartsWith(p, "Book ")) {
    if (!nameStartsWith(p + 5, "File ") || !(value = optionValue(p + 10))) return;
    snprintf(context->bookFile, sizeof context->bookFile, "%s", value);
    if (context->Book == 1) loadBook();
  } else if (nameStartsWith(p, "Clear ")) {
    if (nameStartsWith(p + 6, "Hash")) hashClear();
  } else if (nameStartsWith(p, "MultiPV ")) {
    if (!(value = optionValue(p + 8))) return;
    long long n = parseInteger(value);
    e->multiPV = (i32)(n > 32 ? 32 : (n < 1 ? 1 : n));
  } else if (nameStartsWith(p, "UCI_Elo ")) {
    if (!(value = optionValue(p + 8))) return;
    long long n = parseInteger(value);
    u32 elo = (n < 0 || n > 2600) ? 2600 : (u32)n;
    uciElo = elo < 1000 ? 1000 : elo;
    applyStrength();
  } else if (nameStartsWith(p, "UCI_Chess960 ")) {
    if (!(value = optionValue(p + 13))) return;
    e->chess960 = isTrue(value) ? 1 : 0;
  } else if (nameStartsWith(p, "UCI_LimitStrength ")) {
    if (!(value = optionValue(p + 18))) return;
    limitStrength = isTrue(value) ? 1 : 0;
    applyStrength();
  }
}

// Answers "uci": identification, options, fresh tables, "uciok".
void UciProtocol::identify() {
  Engine* e = engine;
  sendLine("id name Tarvok %s %s", TARVOK_VERSION, context->buildKind);
  sendLine("id author Merrowin");
  sendLine("option name Hash type spin default %d min %d max %d", 32, 1, 8192);
  sendLine("option name Ponder type check default false");
  sendLine("option name OwnBook type check default false");
  sendLine("option name Book File type string default tarvokbook-11.bin");
  sendLine("option name Clear Hash type button");
  sendLine("option name UCI_Chess960 type check default false");
  sendLine("option name MultiPV type spin default 1 min 1 max %d", 32);
  sendLine("option name UCI_LimitStrength type check default false");
  sendLine("option name UCI_Elo type spin default %d min %d max %d", 2600, 1000, 2600);
  e->init(32);
  e->newGame();
  context->Book = 0;
  snprintf(context->bookFile, sizeof context->bookFile, "%s", DEFAULT_BOOK_FILE);
  context->infinite = 0;
  sendLine("uciok");
}
