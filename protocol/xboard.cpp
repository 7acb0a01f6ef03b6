#include "protocol/xboard.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/perfttools.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/types.h"
#include "eval/eval.h"
#include "protocol/linewriter.h"
#include "protocol/uci.h"
#include "search/engine.h"
#include "search/root.h"
#include "search/searchutil.h"

// xboard commands, matched case-sensitively in this order, first match wins.
//
//  command           match   effect                                          during a search
//  move (e2e4, O-O)  4 chars opponent move; reply search unless force         ponder: hit or miss; else
//                                                                             stops, then played; one
//                                                                             illegal at the search's
//                                                                             root is ignored
//  "time "/"otim "   prefix  engine's / opponent's clock (centiseconds)       at once
//  "."               whole   nothing                                          at once
//  "go"              whole   engine plays the side to move                    ponder: stops it, then go
//  "quit"            whole   aborts, ends the program                         at once
//  "xboard"          whole   tables, new game, feature line                   ignored
//  "undo"            whole   takes back one move                              stops, then undo
//  "remove"          whole   takes back two moves                             stops, then remove
//  "force"           whole   engine plays neither side                        stops, then force
//  "random"          whole   nothing                                          at once
//  "result"          whole   game over                                        stops (no move)
//  "analyze"         whole   analyse until "exit"                             ponder: stops it, then analyze
//  "exit"            whole   leaves analyze mode                              stops, then exit
//  "setboard"        whole   nothing                                          at once
//  "?"               whole   move now                                         at once; analysis goes on
//  "#"               whole   nothing                                          at once
//  "new"             whole   new game                                         stops, then new
//  "computer"        whole   nothing                                          at once
//  "easy" / "hard"   whole   pondering off / on                               at once; analysis goes on
//  "post" / "nopost" whole   thinking lines on / off                          at once
//  "accepted "       prefix  nothing                                          at once
//  "protover "       prefix  protocol version                                 at once
//  "ping "           prefix  "pong n"                                         at once
//  "st " / "sd "     prefix  seconds per move / depth limit                   after the search
//  "level "          prefix  moves, base, increment                           after the search
//  "setboard "       prefix  position from FEN / X-FEN                        stops, then setboard
//  "variant "        prefix  fischerandom or normal                           after the search
//  "printBoard", "eval", "printHashKey", "printFEN", "perftd ", "perft ", "divide "  after the search
// In analyze mode a move, "undo", "remove", "new" or "setboard" stops the
// analysis, changes the position and analyses again. Once a line waits for
// the search to end, every later line waits behind it, except "quit" and,
// while a ponder search runs on, the move, "easy", "?", "time" and "otim".

namespace {

enum LineClass { ClassIgnore, ClassNow, ClassWait, ClassStopAndWait };

// Commands that only wait for a running search to end.
bool isWaitingCommand(const char* line) {
  return lineStartsWith(line, "st ") || lineStartsWith(line, "sd ") || lineStartsWith(line, "level ") ||
         lineStartsWith(line, "variant ") || isDebugCommand(line) || lineStartsWith(line, "perftd ") ||
         lineStartsWith(line, "perft ") || lineStartsWith(line, "divide ");
}

// Commands that end a running search and then change the game.
bool isPositionCommand(const char* line) {
  return strcmp(line, "undo") == 0 || strcmp(line, "remove") == 0 || strcmp(line, "new") == 0 ||
         lineStartsWith(line, "setboard ") || strcmp(line, "result") == 0 || lineStartsWith(line, "result ") ||
         strcmp(line, "exit") == 0;
}

// True when the opponent's move text names the same move as predicted.
bool lineMatchesMove(const char* line, u32 predicted, u32 chess960) {
  if (!predicted) return false;
  if (lineStartsWith(line, "O-O")) {
    if (!moveIsCastling(predicted)) return false;
    bool queenSide = lineStartsWith(line, "O-O-O");
    bool predictedQueenSide = (moveTo(predicted) & 7) < (moveFrom(predicted) & 7);
    return queenSide == predictedQueenSide;
  }
  char text[8];
  moveToCoordinate(predicted, chess960, text);
  if (strncmp(line, text, 4) != 0) return false;
  // A pawn reaching the last rank must also become the predicted piece:
  // read the letter as the move parser does (only a five-character text
  // names one, else a queen).
  if (movePromotion(predicted) == 0) return true;
  const char promotion = strnlen(line, 6) == 5 ? line[4] : 'q';
  return promotion == text[4];
}

}  // namespace

// A coordinate move in the first four characters, or a castling word.
bool isXboardMove(const char* line) {
  if (lineStartsWith(line, "O-O")) return true;
  return line[0] >= 'a' && line[0] <= 'h' && line[1] >= '1' && line[1] <= '8' && line[2] >= 'a' && line[2] <= 'h' &&
         line[3] >= '1' && line[3] <= '8';
}

// ---------------------------------------------------------------- output

// Writes the thinking line of one iteration.
void XboardOutput::sendThinking(double elapsed, int depth, const PVLine* line, u64 nodes) {
  char pv[4096];
  pvToString(context, line, pv, sizeof pv);
  int centiseconds = (int)(elapsed * 0.0001);
  sendLine("%d %d %d %llu %s", depth, line->moves[0].score, centiseconds, (unsigned long long)nodes, pv);
}

// Thinking line of a single-line search, when posting is on.
void XboardOutput::sendPV(double elapsed, int depth, PVLine* line, u64 nodes, int, int) {
  if (owner->post == 1) sendThinking(elapsed, depth, line, nodes);
}

// Thinking line of each MultiPV line, when posting is on.
void XboardOutput::sendMultiPV(double elapsed, int, int depth, PVLine* line, u64 nodes, int, int) {
  if (owner->post == 1) sendThinking(elapsed, depth, line, nodes);
}

// End of a search: the engine's move with its hint and ponder search, the
// opponent's move after a ponder miss, or nothing after an abort.
void XboardOutput::searchDone(int stop) {
  Engine* e = engine;
  XboardProtocol* p = owner;
  p->doneCalled = 1;

  // 1. Aborted: a new game, a ponder search given up, or a left analysis.
  //    The game has moved on, so no move is written.
  if (stop == StopAbort) {
    if (context->newGamePending) {
      context->newGamePending = 0;
      p->startNewGame();
      p->ponderMovePlayed = 0;
      return;
    }
    if (p->ponderMovePlayed) {
      if (e->gamePly) e->takeBack();
      p->ponderMovePlayed = 0;
      p->missPending = 0;
      e->pondering = 0;
      context->ponderPending = 0;
      context->ponderMove = 0;
      return;
    }
    if (context->infinite) context->infinite = 0;
    return;
  }

  // 2. A ponder search ended; the predicted move has been taken back.
  if (stop == StopPonder) {
    p->ponderMovePlayed = 0;
    if (p->missPending) {
      // The opponent played another move: answer it now.
      p->missPending = 0;
      context->ponderPending = 0;
      e->pondering = 0;
      if (e->playMoveString(p->lastMove)) p->queueReply();
      return;
    }
    if (!context->ponderOption) context->ponderPending = 0;
    // Otherwise it ended by itself (or by "?"): the opponent's move is
    // still to come and takes the idle hit or miss path.
    return;
  }

  // 3. The engine's move.
  if (e->testSuiteMode) return;
  if (p->analyzing) return;  // an analysis that ran out of depth: no move
  char moveText[8];
  moveToCoordinate(e->lastBestMove, e->chess960, moveText);
  context->ponderMove = context->ponderOption == 1 ? e->ponderMove : 0;
  if (context->movesPerPeriod != 0) {
    if (context->movesLeft > 0) context->movesLeft -= 1;
    if (context->movesLeft == 0) context->movesLeft = context->movesPerPeriod;
  }
  sendLine("move %s", moveText);
  if (context->ponderOption == 0) return;
  context->ponderPending = 0;
  if (context->ponderMove == 0) return;

  // 4. Hint and the ponder search on the predicted reply. The reply goes
  //    on the board only when that search starts, so that lines which
  //    waited for this move still run on the game's position.
  char hintText[8];
  moveToCoordinate(context->ponderMove, e->chess960, hintText);
  sendLine("Hint: %s", hintText);
  context->ponderPending = 1;
  p->queueSearch(SearchPonder);
}

// ---------------------------------------------------------------- protocol

// An xboard handler on the one engine and context.
XboardProtocol::XboardProtocol(Engine* engineIn, MainContext* contextIn) : Protocol(engineIn, contextIn) {}

// Makes the xboard output the engine's current output.
void XboardProtocol::attach() { attachOutput(output, this); }

// Colour whose clock "time" sets: the engine's. A running search has the
// engine to move at its root (the board itself is somewhere in the tree);
// while the predicted reply stands on the board the engine is to move too.
int XboardProtocol::engineColour() const {
  if (engine->searching) return rootBoard.side;
  return ponderMovePlayed ? engine->board.side : 1 - engine->board.side;
}

// Puts the last "time" and "otim" values on the clocks of the engine (the
// side to move when it is asked to play) and of its opponent. "time" comes
// before the opponent's move, and also before a "go" with the engine to
// move, so its colour is only known here.
void XboardProtocol::setClocksForSideToMove() { setClocks(engine->board.side); }

// Asks for the engine's reply to the opponent's move just played, timed as
// any reply is: its own clock and the moves left in the period. Nothing in
// force mode or when the game is over.
void XboardProtocol::queueReply() {
  if (force || countLegalMoves(engine->board) == 0) return;
  engine->pondering = 0;
  engine->movesToGo = context->movesLeft;
  setClocksForSideToMove();
  queueSearch(SearchThink);
}

// The last "time" on the engine's clock, the last "otim" on the other.
void XboardProtocol::setClocks(int engineSide) {
  if (engineTime >= 0) engine->clock[engineSide] = (float)engineTime;
  if (opponentTime >= 0) engine->clock[1 - engineSide] = (float)opponentTime;
}

// An analysis is given up and analyses again after the waiting lines; a
// ponder search is given up (its predicted reply is taken back); the
// engine's own search plays its move now, as "?" asks.
void XboardProtocol::endSearchForWaitingLines() {
  Engine* e = engine;
  if (!e->searching || e->stopRequest != StopNone) return;
  if (analyzing) {
    e->stopRequest = StopAbort;
    queueSearch(SearchAnalysis);
  } else if (ponderMovePlayed) {
    e->stopRequest = StopAbort;
  } else {
    e->stopRequest = StopNow;
  }
}

// Runs the queued search, if any, and cleans up when it found no legal move.
bool XboardProtocol::runQueuedSearch() {
  if (!searchQueued) return false;
  Engine* e = engine;
  searchQueued = 0;
  if (queuedKind == SearchAnalysis) {
    context->infinite = 1;
    e->limitMode = LimitInfinite;
    e->pondering = 0;
  } else if (queuedKind == SearchThink) {
    e->pondering = 0;
  } else if (!playPredictedReply()) {
    return true;
  }
  rootBoard = e->board;
  doneCalled = 0;
  e->stopRequest = StopNone;
  e->searching = 1;
  e->searchRoot();
  e->searching = 0;
  if (!doneCalled && ponderMovePlayed) {
    // The predicted reply left no legal move: take it back and let the
    // opponent's real move take the idle path.
    if (e->gamePly) e->takeBack();
    ponderMovePlayed = 0;
    e->pondering = 0;
  }
  return true;
}

// Puts the predicted reply on the board for the ponder search that is due;
// false when pondering was given up meanwhile or the reply is not legal.
bool XboardProtocol::playPredictedReply() {
  Engine* e = engine;
  char text[8];
  if (context->ponderOption && context->ponderPending && context->ponderMove) {
    moveToCoordinate(context->ponderMove, e->chess960, text);
    if (e->playMoveString(text)) {
      ponderMovePlayed = 1;
      e->pondering = e->ponderEnabled ? 1 : 0;
      return true;
    }
  }
  context->ponderPending = 0;
  return false;
}

// True when the move line is legal in the running search's root position.
bool XboardProtocol::moveIsLegalAtRoot(const char* line) {
  const int length = (int)strnlen(line, 64);
  return moveIsLegal(rootBoard, moveFromText(rootBoard, line, length, engine->chess960 != 0));
}

// Ends the engine's own search or a ponder search so that the engine moves
// now ("?", "easy"). An analysis has no move to make and goes on.
void XboardProtocol::moveNow() {
  if (engine->searching && !analyzing) engine->stopRequest = engine->pondering ? StopPonder : StopNow;
}

// Gives up a ponder search that is due or whose result waits, restoring
// the position before the predicted reply.
void XboardProtocol::dropPonder() {
  if (ponderMovePlayed && !engine->searching) {
    if (engine->gamePly) engine->takeBack();
    ponderMovePlayed = 0;
  }
  if (searchQueued && queuedKind == SearchPonder) searchQueued = 0;
  missPending = 0;
  engine->pondering = 0;
  context->ponderPending = 0;
  context->ponderMove = 0;
}

// After the position changed by hand: analyse it again in analyze mode,
// else drop any reply search that was due.
void XboardProtocol::afterPositionChange() {
  if (analyzing)
    queueSearch(SearchAnalysis);
  else
    searchQueued = 0;
}

// A line that arrives during a search: what steers the search acts at
// once; what changes the position, the tables or the limits waits.
bool XboardProtocol::handleDuringSearch(const char* line) {
  Engine* e = engine;
  if (strcmp(line, "quit") == 0) return dispatch(line);
  bool ponderSearch = ponderMovePlayed && e->pondering;

  // 1. Classify the line.
  LineClass kind = ClassIgnore;
  bool move = isXboardMove(line);
  if (move && ponderMovePlayed && context->ponderOption && context->ponderPending && context->ponderMove)
    kind = ClassNow;
  else if (move && !ponderMovePlayed && e->stopRequest != StopAbort && !moveIsLegalAtRoot(line))
    kind = ClassIgnore;  // the engine's move or the analysis goes on
  else if (move)
    kind = ClassStopAndWait;
  else if (lineStartsWith(line, "time ") || lineStartsWith(line, "otim ") || strcmp(line, ".") == 0 ||
           strcmp(line, "random") == 0 || strcmp(line, "setboard") == 0 || strcmp(line, "?") == 0 ||
           strcmp(line, "#") == 0 || strcmp(line, "computer") == 0 || strcmp(line, "easy") == 0 ||
           strcmp(line, "hard") == 0 || strcmp(line, "post") == 0 || strcmp(line, "nopost") == 0 ||
           lineStartsWith(line, "accepted ") || lineStartsWith(line, "protover ") || lineStartsWith(line, "ping "))
    kind = ClassNow;
  else if (strcmp(line, "go") == 0 || strcmp(line, "analyze") == 0)
    kind = ponderSearch ? ClassStopAndWait : ClassIgnore;
  else if (strcmp(line, "force") == 0)
    kind = analyzing ? ClassWait : ClassStopAndWait;
  else if (isPositionCommand(line))
    kind = ClassStopAndWait;
  else if (isWaitingCommand(line))
    kind = ClassWait;

  // 2. Behind a waiting line everything waits, in arrival order, so that
  //    a "ping" or "hard" keeps its place. A ponder search that still runs
  //    has no limit, though: left behind "sd" or "level", the opponent's
  //    move, "easy" or "?" would keep the engine thinking on the
  //    opponent's time until its flag fell. These act now, with the clocks
  //    sent just before them; the waiting lines run once the position is
  //    settled (after a hit, once the search it became has ended).
  bool steersPonder = ponderSearch && e->stopRequest == StopNone && kind == ClassNow &&
                      (move || strcmp(line, "easy") == 0 || strcmp(line, "?") == 0 || lineStartsWith(line, "time ") ||
                       lineStartsWith(line, "otim "));
  if (!deferred.empty() && kind != ClassIgnore && !steersPonder) {
    if (strcmp(line, "?") == 0) dispatch(line);
    if (kind == ClassStopAndWait && e->stopRequest == StopNone) e->stopRequest = StopAbort;
    deferred.push(line);
    return true;
  }

  // 3. Act now, or stop the search and wait for its end.
  switch (kind) {
    case ClassNow:
      return dispatch(line);
    case ClassStopAndWait:
      if (e->stopRequest == StopNone || e->stopRequest == StopNow) e->stopRequest = StopAbort;
      deferred.push(line);
      return true;
    case ClassWait:
      deferred.push(line);
      return true;
    default:
      return true;
  }
}

// An opponent move that arrives while the ponder search runs.
void XboardProtocol::opponentMoveDuringPonder(const char* line) {
  Engine* e = engine;
  if (lineMatchesMove(line, context->ponderMove, e->chess960)) {
    // Hit: the ponder search goes on as the engine's own search, timed
    // from now as a fresh search for this move would be. The time spent
    // pondering was the opponent's.
    context->ponderPending = 0;
    ponderMovePlayed = 0;
    e->pondering = 0;
    e->movesToGo = context->movesLeft;
    setClocks(rootBoard.side);
    e->timeBudget = searchTimeBudget(*e, rootBoard.side);
    e->budgetOffset = elapsedSince(e->startTime);
    e->pollCounter = e->pollInterval;
    if (e->stopRequest == StopNone) e->pollSearch();
    return;
  }
  // Miss: stop; the move is played when the ponder search has ended.
  snprintf(lastMove, sizeof lastMove, "%.7s", line);
  missPending = 1;
  e->stopRequest = e->pondering ? StopPonder : StopNow;
}

// An opponent move with no search running.
void XboardProtocol::opponentMove(const char* line) {
  Engine* e = engine;
  bool ponderInPlay = context->ponderOption && context->ponderPending && context->ponderMove;
  if (ponderInPlay && ponderMovePlayed) {
    // The ponder search has not started yet: give it up.
    dropPonder();
    ponderInPlay = false;
  }
  if (!ponderInPlay) {
    if (!e->playMoveString(line)) return;  // an illegal move changes nothing
    if (analyzing) {
      queueSearch(SearchAnalysis);
      return;
    }
    searchQueued = 0;
    queueReply();
    return;
  }
  // The ponder search has ended by itself (its move was taken back): play
  // the real move, hit or miss, and search the reply.
  context->ponderPending = 0;
  context->ponderMove = 0;
  if (!e->playMoveString(line)) return;
  e->pondering = 0;
  queueReply();
}

// Reads "level <moves> <base> <increment>".
void XboardProtocol::level(const char* line) {
  Engine* e = engine;
  const char* p = line + 6;
  while (*p == ' ') ++p;
  long long moves = parseInteger(p);
  if (moves < 0) moves = 0;
  if (moves > 100000) moves = 100000;
  while (*p && *p != ' ') ++p;
  while (*p == ' ') ++p;
  char base[64];
  copyWord(p, base, sizeof base);
  while (*p && *p != ' ') ++p;
  double incrementSeconds = *p ? strtod(p, nullptr) : 0.0;
  if (!(incrementSeconds >= 0.0) || incrementSeconds > 1.0e6) incrementSeconds = 0.0;

  // The base is minutes, or minutes:seconds; a missing base is no time.
  double minutes = strtod(base, nullptr);
  double seconds = 0.0;
  const char* colon = strchr(base, ':');
  if (colon) seconds = strtod(colon + 1, nullptr);
  if (!(minutes >= 0.0) || minutes > 1.0e6) minutes = 0.0;
  if (!(seconds >= 0.0) || seconds > 1.0e6) seconds = 0.0;
  double ms = (minutes * 60.0 + seconds) * 1000.0;

  context->movesPerPeriod = context->movesLeft = (u32)moves;
  e->movesToGo = (u32)moves;
  e->clock[e->board.side] = (float)clockMilliseconds((long long)ms);
  e->limitMode = LimitClock;
  timeControlSet = 1;
  e->increment[0] = e->increment[1] = (i32)(incrementSeconds * 1000.0);
  engineTime = opponentTime = -1;
  if (analyzing) savedLimitMode = e->limitMode;
}

// Answers "xboard": tables, new game, book and strength settings, features.
void XboardProtocol::initialise() {
  engine->init(context->Hash);
  startNewGame();
  if (context->Book == 1 && !engine->loadBook(context->bookFile)) context->Book = 0;
  if (context->UseStrength != 0) setStrength(context->StrengthELO);
  force = 0;
  sendLine(
      "feature setboard=1 myname=\"Tarvok %s %s\" analyze=1 ping=1 draw=0 sigint=0 "
      "variants=\"normal,fischerandom\" done=1 colors=0",
      TARVOK_VERSION, context->buildKind);
}

// The start position and the clocks of a fresh time control.
void XboardProtocol::startNewGame() {
  engine->newGame();
  context->infinite = 0;
  context->movesLeft = context->movesPerPeriod = 40;
  movesReceived = 0;
  firstGoSeen = 0;
  timeControlSet = 0;
  engine->movesToGo = 40;
}

// "new": the start position, fresh clocks, no depth limit, standard chess.
// Only a ponder search in play is given up: "hard" and "easy" stand.
void XboardProtocol::newGameReset() {
  Engine* e = engine;
  dropPonder();
  e->pondering = 0;
  e->ponderMove = 0;
  context->ponderMove = 0;
  startNewGame();
  force = 0;
  e->chess960 = 0;
  engineTime = opponentTime = -1;
  afterPositionChange();
}

// Runs one command with no search running (or one of the at-once commands).
bool XboardProtocol::dispatch(const char* line) {
  Engine* e = engine;
  long long n = 0;

  // 1. Moves, clocks and the commands of the game.
  if (isXboardMove(line)) {
    movesReceived += 1;
    if (e->searching)
      opponentMoveDuringPonder(line);
    else
      opponentMove(line);
    return true;
  }
  if (lineStartsWith(line, "time ")) {
    if (!numberAfterBlank(line, &n)) return true;
    engineTime = clockMilliseconds(n * 10);
    e->clock[engineColour()] = (float)engineTime;
    return true;
  }
  if (lineStartsWith(line, "otim ")) {
    if (!numberAfterBlank(line, &n)) return true;
    opponentTime = clockMilliseconds(n * 10);
    e->clock[1 - engineColour()] = (float)opponentTime;
    return true;
  }
  if (strcmp(line, ".") == 0) return true;
  if (strcmp(line, "go") == 0) {
    if (e->searching) return true;
    dropPonder();
    if (!firstGoSeen) {
      firstGoSeen = 1;
      if (context->movesLeft != 0) {
        // Moves made before the engine was asked to play count
        // against the current time-control period.
        u32 played = movesReceived / 2;
        if (played >= context->movesLeft) played %= context->movesLeft;
        context->movesLeft -= played;
        e->movesToGo = context->movesLeft;
      }
    }
    force = 0;
    e->pondering = 0;
    setClocksForSideToMove();
    queueSearch(SearchThink);
    return true;
  }
  if (strcmp(line, "quit") == 0) {
    e->ponderEnabled = 0;
    e->ponderMove = 0;
    e->pondering = 0;
    context->ponderOption = 0;
    if (e->searching) e->stopRequest = StopAbort;
    return false;
  }
  if (strcmp(line, "xboard") == 0) {
    if (e->searching) return true;
    dropPonder();
    searchQueued = 0;
    initialise();
    return true;
  }
  if (strcmp(line, "undo") == 0 || strcmp(line, "remove") == 0) {
    if (e->searching) return true;
    dropPonder();
    int count = line[0] == 'u' ? 1 : 2;
    for (int i = 0; i < count; ++i)
      if (e->gamePly != 0) e->takeBack();
    afterPositionChange();
    return true;
  }
  if (strcmp(line, "force") == 0) {
    force = 1;
    if (!e->searching && !analyzing) {
      dropPonder();
      searchQueued = 0;
    }
    return true;
  }
  if (strcmp(line, "random") == 0) return true;
  if (strcmp(line, "result") == 0 || lineStartsWith(line, "result ")) {
    if (e->searching) {
      e->stopRequest = StopAbort;
    } else {
      dropPonder();
      if (!analyzing) searchQueued = 0;
    }
    return true;
  }
  if (strcmp(line, "analyze") == 0) {
    if (e->searching) return true;
    dropPonder();
    if (!analyzing) savedLimitMode = e->limitMode;
    analyzing = 1;
    queueSearch(SearchAnalysis);
    return true;
  }
  if (strcmp(line, "exit") == 0) {
    if (e->searching) {
      e->stopRequest = StopAbort;
      return true;
    }
    if (analyzing) {
      analyzing = 0;
      e->limitMode = savedLimitMode;
      context->infinite = 0;
      if (searchQueued && queuedKind == SearchAnalysis) searchQueued = 0;
    }
    return true;
  }
  if (strcmp(line, "setboard") == 0) return true;
  if (strcmp(line, "?") == 0) {
    moveNow();
    return true;
  }
  if (strcmp(line, "#") == 0) return true;
  if (strcmp(line, "new") == 0) {
    if (e->searching) {
      e->stopRequest = StopAbort;
      context->newGamePending = 1;
      force = 0;
      return true;
    }
    newGameReset();
    return true;
  }
  if (strcmp(line, "computer") == 0) return true;
  if (strcmp(line, "easy") == 0) {
    moveNow();
    context->ponderOption = 0;
    context->ponderMove = 0;
    return true;
  }
  if (strcmp(line, "hard") == 0) {
    e->ponderEnabled = 1;
    context->ponderOption = 1;
    return true;
  }
  if (strcmp(line, "post") == 0) {
    post = 1;
    return true;
  }
  if (strcmp(line, "nopost") == 0) {
    post = 0;
    return true;
  }

  // 2. Commands with a value.
  if (lineStartsWith(line, "accepted ")) return true;
  if (lineStartsWith(line, "protover ")) {
    if (numberAfterBlank(line, &n)) protover = (u32)(n < 0 ? 0 : n);
    return true;
  }
  if (lineStartsWith(line, "ping ")) {
    if (numberAfterBlank(line, &n)) sendLine("pong %d", (int)n);
    return true;
  }
  if (lineStartsWith(line, "st ")) {
    if (!numberAfterBlank(line, &n)) return true;
    e->limitMode = LimitMoveTime;
    timeControlSet = 1;
    e->moveTime = fixedMoveTime(n * 1000);
    if (analyzing) savedLimitMode = e->limitMode;
    return true;
  }
  if (lineStartsWith(line, "sd ")) {
    if (!numberAfterBlank(line, &n)) return true;
    // Not a time control: under a clock or a move time the depth only
    // caps the search; without one, the depth is the limit.
    e->maxDepth = (i32)(n < 1 ? 1 : (n > 127 ? 127 : n));
    e->capDepth = 1;
    if (timeControlSet) return true;
    e->limitMode = LimitDepth;
    if (analyzing) savedLimitMode = e->limitMode;
    return true;
  }
  if (lineStartsWith(line, "level ")) {
    level(line);
    return true;
  }
  if (lineStartsWith(line, "setboard ")) {
    if (e->searching) return true;
    dropPonder();
    e->setFEN(strchr(line, ' ') + 1);
    afterPositionChange();
    return true;
  }
  if (lineStartsWith(line, "variant ")) {
    const char* name = line + 8;
    if (strcmp(name, "fischerandom") == 0)
      e->chess960 = 1;
    else if (strcmp(name, "normal") == 0)
      e->chess960 = 0;
    return true;
  }

  // 3. Debug commands, on the position as it stands.
  if (!e->searching && !printCommand(line)) counterCommand(line, true);
  return true;
}
