// The search driver: root moves, book, time budget, root ordering,
// iterative deepening with aspiration windows and MultiPV, reports, and
// the end steps that play the move.
#include "search/root.h"

#include <cstring>

#include "board/makemove.h"
#include "board/movegen.h"
#include "book/book.h"
#include "search/engine.h"
#include "search/movepick.h"
#include "search/searchutil.h"

namespace {

// Aspiration window: half width at first, and the step past which a failed
// side opens completely.
constexpr i32 ASPIRATION_DELTA = 30;
constexpr i32 ASPIRATION_OPEN = 640;
// Iteration from which the aspiration window is used.
constexpr int ASPIRATION_DEPTH = 6;
// Microseconds of searching after which info lines become verbose.
constexpr double VERBOSE_DELAY = 2000000.0;

// A float budget as whole microseconds, clamped to the field's range.
u32 budgetFromFloat(float b) {
  if (!(b > 0.0f)) return 0;
  if (b >= 4294967295.0f) return 4294967295u;
  return u32(b);
}

// True when m is one of the best moves of the lines already finished.
bool moveIsExcluded(const Engine& e, Move m) {
  for (i32 i = 0; i < e.excludedCount; i++)
    if (e.excludedMoves[i] == m) return true;
  return false;
}

// Copies the root's principal variation into a root line written at depth d.
void rootLineTake(RootLine& line, const PVLine& pv, int d) {
  i32 n = pv.count > MAX_PV_LENGTH ? MAX_PV_LENGTH : pv.count;
  line.pv.count = n;
  memcpy(line.pv.moves, pv.moves, sizeof(MoveSlot) * size_t(n));
  if (n == 0) line.pv.moves[0].move = MOVE_NONE;
  line.depth = d;
}

// The lines a report of iteration d names, at most lines of them: the ones
// written at d in their order, then the lines of the iteration before in
// theirs. A line at d replaces the old line of its move, wherever that stood,
// so no move is named twice and none that was named goes missing.
int linesToReport(Engine& e, int lines, int d, RootLine** shown) {
  int n = 0;
  for (int i = 0; i < lines; i++)
    if (e.rootLines[i].depth == d) shown[n++] = &e.rootLines[i];
  const int fresh = n;
  for (int i = 0; i < lines && n < lines; i++) {
    RootLine& old = e.previousLines[i];
    bool replaced = false;
    if (old.pv.count > 0)
      for (int j = 0; j < fresh && !replaced; j++)
        replaced = shown[j]->pv.count > 0 && shown[j]->pv.moves[0].move == old.pv.moves[0].move;
    if (!replaced) shown[n++] = &old;
  }
  return n;
}

// Reports the lines of iteration d with the bound of the pass (MultiPV only).
void reportLines(Engine& e, int lines, int d, double elapsed, int bound) {
  RootLine* shown[MAX_ROOT_LINES];
  const int n = linesToReport(e, lines, d, shown);
  for (int i = 0; i < n; i++)
    e.currentOutput->sendMultiPV(elapsed, i + 1, shown[i]->depth, &shown[i]->pv, e.nodes, e.selDepth, bound);
}

// Reports every line with a bound after a failed aspiration pass.
void reportBound(Engine& e, int lines, int d, double elapsed, int bound) {
  if (lines == 1) {
    e.currentOutput->sendPV(elapsed, e.rootLines[0].depth, &e.rootLines[0].pv, e.nodes, e.selDepth, bound);
    return;
  }
  reportLines(e, lines, d, elapsed, bound);
}

// Reports a finished line: at once with one line, else all lines in order
// after the last line of the iteration (or after each while verbose).
void reportFinished(Engine& e, int line, int lines, int d, double elapsed) {
  if (lines == 1) {
    e.currentOutput->sendPV(elapsed, e.rootLines[0].depth, &e.rootLines[0].pv, e.nodes, e.selDepth, BOUND_EXACT);
    return;
  }
  e.sortRootLines(lines);
  if (line != lines - 1 && !e.verboseInfo) return;
  reportLines(e, lines, d, elapsed, BOUND_EXACT);
}

// Renews the table along the stored lines so that the next pass meets their
// moves first: each move's position gets the move, unless it holds it already.
void refreshLinesInTable(Engine& e, int lines) {
  Board& b = e.board;
  Move played[MAX_PLY];
  for (int l = 0; l < lines; l++) {
    const RootLine& line = e.rootLines[l];
    int n = line.pv.count < line.depth ? line.pv.count : line.depth;
    if (n > MAX_PV_LENGTH) n = MAX_PV_LENGTH;
    int made = 0;
    for (int j = 0; j < n; j++) {
      Move m = line.pv.moves[j].move;
      if (m == MOVE_NONE || !isPseudoLegal(b, m)) break;
      u64 keyBefore = b.key;
      makeMove(b, m);
      if (isSquareAttacked(b, b.kingSquare[b.opponent], b.side)) {
        unmakeMove(b, m);
        break;
      }
      played[made++] = m;
      Move stored;
      i32 unused;
      hashProbeNode(keyBefore, 0, j, -INFINITE_SCORE, INFINITE_SCORE, &stored, &unused);
      if (stored != m) hashStore(keyBefore, m, 0, 0, j, BOUND_EXACT);
    }
    while (made > 0) {
      made--;
      unmakeMove(b, played[made]);
    }
  }
}

// One principal-variation pass over the root moves with window (alpha, beta)
// at iteration d; the line found is left in pvTable[0].
i32 rootPass(Engine& e, int d, i32 alpha, i32 beta, int lines, bool rootInCheck) {
  Board& b = e.board;
  SearchPly& root = e.searchPlies[0];

  // 1. Empty line, report, refresh the lines in the table.
  pvLineClear(e.pvTable[0]);
  if (e.verboseInfo) e.currentOutput->sendDepth(d);
  refreshLinesInTable(e, lines);

  // 2. Root flags.
  e.rootState = 0;
  UndoRecord& node = b.undo[b.undoCount];
  node.inCheck = rootInCheck;
  node.searchFlag = 0;
  u32 bound = BOUND_UPPER;
  int searched = 0;

  // 3. Moves in list order, the first with the full window.
  for (u32 i = 0; i < root.count; i++) {
    Move m = root.moves[i].move;
    if (e.multiPV >= 2 && e.excludedCount >= 1 && moveIsExcluded(e, m)) continue;
    makeMove(b, m);
    e.nodes++;
    if (e.verboseInfo) e.currentOutput->sendCurrMove(m, searched + 1);
    UndoRecord& child = b.undo[b.undoCount];
    const bool givesCheck = boardInCheck(b);
    child.inCheck = givesCheck;
    const i32 extension = (givesCheck || moveIsPawnToSeventh(m) || root.count == 1) ? 4 : 0;
    const i32 childDepth = 4 * d - 4 + extension;
    i32 score;
    if (searched == 0) {
      child.searchFlag = 0;
      score = childDepth >= 4 ? -e.alphaBeta(-beta, -alpha, childDepth, 1, 1) : -e.quiesce(-beta, -alpha, 0, 1, 1);
    } else {
      child.searchFlag = 1;
      score = childDepth >= 4 ? -e.alphaBeta(-alpha - 1, -alpha, childDepth, 1, 1)
                              : -e.quiesce(-alpha - 1, -alpha, 0, 1, 0);
      if (score > alpha && score < beta) {
        child.searchFlag = 0;
        score = childDepth >= 4 ? -e.alphaBeta(-beta, -alpha, childDepth, 1, 1) : -e.quiesce(-beta, -alpha, 0, 1, 1);
      }
    }
    unmakeMove(b, m);
    searched++;
    if (e.stopRequest != StopNone) return 0;

    // 4. A better move: new line; beyond beta the pass ends.
    if (score > alpha) {
      pvLineUpdate(e.pvTable[0], m, score, e.pvTable[1]);
      if (score >= beta) {
        hashStore(b.key, m, score, 4 * d, 0, BOUND_LOWER);
        if (moveIsQuiet(m) && !rootInCheck) updateKillersAndHistory(e, 0, m, 4 * d);
        return score;
      }
      alpha = score;
      bound = BOUND_EXACT;
    }
  }

  // 5. Nothing searched: mate or stalemate; else store the result.
  if (searched == 0) {
    e.rootState = 2;
    pvLineClear(e.pvTable[0]);
    return rootInCheck ? -MATE_SCORE : DRAW_SCORE;
  }
  if (searched == 1) e.rootState = 1;
  hashStore(b.key, e.pvTable[0].count > 0 ? e.pvTable[0].moves[0].move : MOVE_NONE, alpha, 4 * d, 0, bound);
  return alpha;
}

}  // namespace

// Microseconds the next search may use.
u32 searchTimeBudget(const Engine& e) { return searchTimeBudget(e, e.board.side); }

// Microseconds a search for side may use.
u32 searchTimeBudget(const Engine& e, int side) {
  switch (e.limitMode) {
    case LimitClock: {
      const float f = e.clock[side];
      float b;
      if (e.movesToGo == 0)
        b = e.increment[side] < 1 ? f * 25.0f : float(e.increment[side]) * 1000.0f + f * 33.333336f;
      else if (e.movesToGo == 1)
        b = f * 500.0f;
      else
        b = f * 1000.0f / float(e.movesToGo);
      u32 budget = budgetFromFloat(b);
      // The first searches of a game get a larger share.
      if (e.searchCount < 10) budget = budgetFromFloat(float(budget) * (2.0f - 0.1f * float(e.searchCount)));
      // The poll stops the search at the budget itself, so a plan that
      // reaches the clock (the last move before the control, the doubled
      // first searches, an increment only credited after the move) would
      // flag by construction: never plan on more than four fifths of it.
      const u32 cap = budgetFromFloat(f * 800.0f);
      return budget < cap ? budget : cap;
    }
    case LimitInfinite:
      return 4294967295u;
    default:
      return e.moveTime;
  }
}

// Orders the first n root lines by depth, then score, highest first.
void Engine::sortRootLines(int n) {
  if (n > MAX_ROOT_LINES) n = MAX_ROOT_LINES;
  for (int i = 0; i < n; i++)
    for (int j = i + 1; j < n; j++) {
      const RootLine& a = rootLines[i];
      const RootLine& c = rootLines[j];
      if (u32(c.depth) > u32(a.depth) || (c.depth == a.depth && c.pv.moves[0].score > a.pv.moves[0].score)) {
        RootLine t = rootLines[i];
        rootLines[i] = rootLines[j];
        rootLines[j] = t;
      }
    }
}

// Orders the legal root moves into searchPlies[0] by a quiescence search of
// each; the illegal ones sink behind them.
static void orderRootMoves(Engine& e, bool rootInCheck, u32 legalCount) {
  Board& b = e.board;
  SearchPly& root = e.searchPlies[0];
  u32 n = generateMoves(b, root.moves, rootInCheck);
  for (u32 i = 0; i < n; i++) {
    Move m = root.moves[i].move;
    makeMove(b, m);
    if (isSquareAttacked(b, b.kingSquare[b.opponent], b.side)) {
      root.moves[i].score = -MATE_SCORE;
    } else {
      UndoRecord& child = b.undo[b.undoCount];
      child.inCheck = boardInCheck(b);
      child.searchFlag = 0;
      root.moves[i].score = -e.quiesce(-MATE_SCORE, MATE_SCORE, -1, 1, 1);
    }
    unmakeMove(b, m);
  }
  sortMoves(root.moves, n);
  root.count = legalCount;
}

// Searches one root line of iteration d with aspiration windows; false when
// a stop ended it. *elapsed gets the time of its last pass.
static bool searchRootLine(Engine& e, int d, int line, int lines, bool rootInCheck, double* elapsed) {
  // 1. Window around the line's previous score.
  i32 centre = e.rootLines[line].prevScore;
  i32 alpha = -INFINITE_SCORE, beta = INFINITE_SCORE, delta = ASPIRATION_DELTA;
  if (d >= ASPIRATION_DEPTH) {
    alpha = centre - delta < -INFINITE_SCORE ? -INFINITE_SCORE : centre - delta;
    beta = centre + delta > INFINITE_SCORE ? INFINITE_SCORE : centre + delta;
  }
  for (;;) {
    // 2. One pass; a stop keeps and reports what the pass proved.
    i32 score = rootPass(e, d, alpha, beta, lines, rootInCheck);
    *elapsed = elapsedSince(e.startTime);
    if (e.stopRequest != StopNone) {
      if (e.pvTable[0].count > 0) {
        rootLineTake(e.rootLines[line], e.pvTable[0], d);
        reportFinished(e, line, lines, d, *elapsed);
      }
      return false;
    }
    if (e.verboseAfterDelay && *elapsed > VERBOSE_DELAY) e.verboseInfo = 1;

    // 3. Aspiration: exact, or widen the failed side; mates open the window.
    int bound = BOUND_EXACT;
    if (score > alpha && score < beta) {
      e.rootLines[line].score = score;
    } else if (score >= beta) {
      beta = 2 * delta > ASPIRATION_OPEN ? INFINITE_SCORE
                                         : (beta + delta > INFINITE_SCORE ? INFINITE_SCORE : beta + delta);
      bound = BOUND_LOWER;
      delta *= 2;
    } else {
      alpha = 2 * delta > ASPIRATION_OPEN ? -INFINITE_SCORE
                                          : (alpha - delta < -INFINITE_SCORE ? -INFINITE_SCORE : alpha - delta);
      bound = BOUND_UPPER;
      delta *= 2;
    }
    if (score >= MATE_BOUND || score <= -MATE_BOUND) {
      alpha = -INFINITE_SCORE;
      beta = INFINITE_SCORE;
      delta = ASPIRATION_OPEN + 1;
    }
    if (e.pvTable[0].count > 0) rootLineTake(e.rootLines[line], e.pvTable[0], d);

    // 4. The line is done, or the pass is repeated with the wider window.
    if (bound == BOUND_EXACT) {
      if (e.pvTable[0].count > 0) reportFinished(e, line, lines, d, *elapsed);
      return true;
    }
    if ((e.boundLines && e.verboseInfo) || e.testSuiteMode) reportBound(e, lines, d, *elapsed, bound);
    if (e.stopRequest != StopNone) return false;
  }
}

// Moves best to the front of the ordered root list, the others down one place.
static void rootListPromote(SearchPly& root, Move best) {
  if (best == MOVE_NONE || root.count < 2 || root.moves[0].move == best) return;
  for (u32 i = 1; i < root.count; i++)
    if (root.moves[i].move == best) {
      MoveSlot slot = root.moves[i];
      memmove(&root.moves[1], &root.moves[0], sizeof(MoveSlot) * i);
      root.moves[0] = slot;
      return;
    }
}

// Deepens iteratively up to iterationMax; returns the best move (0 if none).
static Move iterate(Engine& e, int iterationMax, int lines, bool rootInCheck) {
  Move best = MOVE_NONE;
  if (iterationMax < 1) {
    e.depthReached = 0;
    if (e.stopRequest == StopNone) e.stopRequest = StopNow;
    return best;
  }
  for (int d = 1;; d++) {
    // 1. Every line in turn, each without the best moves of the lines before.
    double elapsed = 0;
    e.excludedCount = 0;
    for (int i = 0; i < lines; i++) e.rootLines[i].prevScore = e.rootLines[i].score;
    if (lines > 1) memcpy(e.previousLines, e.rootLines, sizeof(RootLine) * size_t(lines));
    for (int line = 0; line < lines; line++) {
      if (!searchRootLine(e, d, line, lines, rootInCheck, &elapsed) || e.stopRequest != StopNone) break;
      if (line + 1 < lines && e.excludedCount < MAX_ROOT_LINES)
        e.excludedMoves[e.excludedCount++] = e.pvTable[0].moves[0].move;
    }

    // 2. Clock rules: a forced move, time used, or a mate found.
    if (e.limitMode == LimitClock && !e.pondering && e.stopRequest == StopNone) {
      i32 last = e.rootLines[0].score;
      const double used = elapsed - e.budgetOffset;
      if (e.rootState == 1 || e.rootState == 2 || (d >= 2 && used > 0.6 * double(e.timeBudget)) ||
          (d >= 6 && (last > MATE_IN_MAX || last < -MATE_IN_MAX)))
        e.stopRequest = StopNow;
    }

    // 3. Best and ponder move from the first line; the best leads the root list.
    const PVLine& pv = e.rootLines[0].pv;
    if (pv.count > 0) {
      best = pv.moves[0].move;
      e.ponderMove = pv.count > 1 ? pv.moves[1].move : MOVE_NONE;
      rootListPromote(e.searchPlies[0], best);
    }

    // 4. Next iteration, or the end. An abort leaves the last search's
    // depth for the caller, since this search's result is thrown away.
    if (e.stopRequest != StopNone) {
      if (e.stopRequest != StopAbort) e.depthReached = u32(d - 1);
      break;
    }
    if (d >= iterationMax) {
      e.depthReached = u32(d);
      e.stopRequest = StopNow;
      break;
    }
  }
  // 5. A search stopped before its first line ends with the best-ordered
  // root move rather than none, so that a move is always played.
  if (best == MOVE_NONE && e.stopRequest == StopNow && !e.pondering) best = e.searchPlies[0].moves[0].move;
  return best;
}

// Plays (or, pondering or analysing, does not play) the best move and
// reports the end of the search.
static void endSearch(Engine& e, Move best) {
  // 1. An aborted search plays nothing.
  if (e.stopRequest == StopAbort) {
    e.searching = 0;
    e.currentOutput->searchDone(StopAbort);
    return;
  }
  // 2. A ponder search takes the guessed move back and plays nothing.
  if (e.pondering) {
    e.pondering = 0;
    if (e.stopRequest == StopPonder) {
      best = MOVE_NONE;
      if (e.gamePly != 0) e.takeBack();
    } else {
      e.stopRequest = StopPonder;
      if (e.gamePly != 0) e.takeBack();
      e.lastBestMove = best;
      best = MOVE_NONE;
    }
  }
  // 3. Play the move (in infinite analysis only remember it) and report.
  if (best != MOVE_NONE) {
    if (e.limitMode == LimitInfinite) {
      e.lastBestMove = best;
    } else {
      engineMakeRoom(e);
      makeMove(e.board, best);
      engineRecordMove(e, best, e.gameMoveCount < e.gamePly ? e.gameMoveCount : e.gamePly);
    }
  }
  e.currentOutput->searchDone(int(e.stopRequest));
  e.searching = 0;
}

// Finds and plays the best move within the limits; reports through currentOutput.
int Engine::searchRoot() {
  // 1. Root moves; nothing to do without a legal one.
  startTime = wallClockNow();
  const bool rootInCheck = boardInCheck(board);
  rootMoveCount = generateMoves(board, rootMoves, rootInCheck);
  if (rootMoveCount == 0) return 1;
  u32 legalCount = 0;
  for (u32 i = 0; i < rootMoveCount; i++) {
    makeMove(board, rootMoves[i].move);
    if (!isSquareAttacked(board, board.kingSquare[board.opponent], board.side)) legalCount++;
    unmakeMove(board, rootMoves[i].move);
  }
  if (legalCount == 0) return 1;

  // 2. Book: a move found there is played without a search, and reported as
  // a normal end whatever the previous search left in stopRequest. An
  // analysis wants to see the position searched, so it never asks the book.
  if (bookOn && gamePly < bookPlyLimit && limitMode != LimitInfinite) {
    Move bookMove = pickBookMove(*this);
    if (bookMove != MOVE_NONE) {
      nodes = 0;
      depthReached = 1;
      // No reply is predicted; the last search's would be offered to ponder on.
      ponderMove = MOVE_NONE;
      stopRequest = StopNow;
      endSearch(*this, bookMove);
      return 1;
    }
  }

  // 3. Fresh search state and the time budget.
  nodes = 0;
  memset(history, 0, sizeof(history));
  memset(killers, 0, sizeof(killers));
  pollCounter = 0;
  stopRequest = StopNone;
  int iterationMax = iterationLimit;
  timeBudget = searchTimeBudget(*this);
  budgetOffset = 0;
  if (limitMode == LimitDepth || (capDepth && timedSearch(limitMode) && maxDepth < iterationMax))
    iterationMax = maxDepth;
  verboseInfo = 0;
  searchCount++;
  pvLineClear(pvTable[0]);
  ponderMove = MOVE_NONE;
  selDepth = 0;
  hashTable.age = (hashTable.age + 1) & 31;

  // 4. Root lines: as many as wanted and legal, one under a clock.
  int lines = int(legalCount) < multiPV ? int(legalCount) : multiPV;
  if (lines < 1) lines = 1;
  if (lines > MAX_ROOT_LINES) lines = MAX_ROOT_LINES;
  if (limitMode == LimitClock) lines = 1;
  for (int i = 0; i < lines; i++) {
    rootLines[i].prevScore = 0;
    rootLines[i].score = 0;
    rootLines[i].depth = 0;
    pvLineClear(rootLines[i].pv);
  }

  // 5. Root ordering; its nodes are not counted.
  orderRootMoves(*this, rootInCheck, legalCount);
  nodes = 0;

  // 6. Iterations, then the end steps.
  endSearch(*this, iterate(*this, iterationMax, lines, rootInCheck));
  return 1;
}
