// Quiescence search: stand pat, captures that do not lose material, all
// evasions in check, and quiet checks at its first ply.
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/see.h"
#include "eval/eval.h"
#include "search/checks.h"
#include "search/engine.h"
#include "search/movepick.h"
#include "search/searchutil.h"

// Scores a quiescence capture list: winning and even captures by victim and
// attacker, the rest (queen promotions included) just above the bar of the
// exchange test, under-promotions never searched.
static void scoreQuiescenceList(MoveSlot* list, u32 count) {
  for (u32 i = 0; i < count; i++) {
    Move m = list[i].move;
    if (moveScoresAsCapture(m))
      list[i].score = pieceValue[moveCaptured(m)] >= pieceValue[movePiece(m)] ? captureScore(m) : SCORE_QS_LOSING;
    else
      list[i].score = -1;
  }
}

// Searches captures (and evasions in check) until the position is quiet.
i32 Engine::quiesce(i32 alpha, i32 beta, i32 checkDepth, i32 ply, u8 keepPV) {
  // 1. Empty line; stops and the depth bound.
  pvLineClear(pvTable[ply]);
  if (stopRequest != StopNone || !pollSearch() || ply > MAX_SEARCH_PLY) return DRAW_SCORE;

  // 2. Draws by material, the fifty-move rule and repetition.
  if (boardHasInsufficientMaterial(board)) return DRAW_SCORE;
  if (board.halfmove >= 100 && !(boardInCheck(board) && countLegalMoves(board) == 0)) return DRAW_SCORE;
  if (boardIsRepetition(board)) return DRAW_SCORE;

  // 3. The list: every evasion in check, else stand pat and the captures.
  UndoRecord& node = board.undo[board.undoCount];
  const bool inCheck = node.inCheck != 0;
  const u8 flag = node.searchFlag;
  SearchPly& sp = searchPlies[ply];
  u32 count;
  if (inCheck) {
    count = generateEvasions(board, sp.moves, MAX_MOVES);
    scoreAndSortMoves(sp.moves, count);
  } else {
    i32 eval = evaluateLazy(board, alpha, beta);
    if (eval > alpha) {
      if (eval >= beta) return eval;
      alpha = eval;
    }
    count = generateCaptures(board, sp.moves, MAX_MOVES);
    scoreQuiescenceList(sp.moves, count);
    sortMoves(sp.moves, count);
  }
  sp.count = count;

  // 4. Captures or evasions.
  pvLineClear(pvTable[ply]);
  int made = 0;
  for (u32 i = 0; i < count; i++) {
    Move m = sp.moves[i].move;
    i32 orderScore = sp.moves[i].score;
    if (orderScore == -1) continue;
    if (!inCheck && orderScore <= SCORE_QS_LOSING && see(board, m) < 0) continue;
    makeMove(board, m);
    if (isSquareAttacked(board, board.kingSquare[board.opponent], board.side)) {
      unmakeMove(board, m);
      continue;
    }
    nodes++;
    made++;
    UndoRecord& child = board.undo[board.undoCount];
    child.inCheck = boardInCheck(board);
    child.searchFlag = flag;
    i32 v = -quiesce(-beta, -alpha, checkDepth - 1, ply + 1, keepPV);
    unmakeMove(board, m);
    if (stopRequest != StopNone) return DRAW_SCORE;
    if (v > alpha) {
      if (v >= beta) return v;
      alpha = v;
      if (keepPV) pvLineUpdate(pvTable[ply], m, v, pvTable[ply + 1]);
    }
  }

  // 5. Quiet checks at the first quiescence ply.
  if (!inCheck && checkDepth >= 0) {
    count = generateQuietChecks(board, sp.moves, MAX_MOVES);
    sp.count = count;
    scoreAndSortMoves(sp.moves, count);
    for (u32 i = 0; i < count; i++) {
      Move m = sp.moves[i].move;
      if (see(board, m) < 0) continue;
      makeMove(board, m);
      if (isSquareAttacked(board, board.kingSquare[board.opponent], board.side)) {
        unmakeMove(board, m);
        continue;
      }
      nodes++;
      made++;
      UndoRecord& child = board.undo[board.undoCount];
      child.inCheck = 1;
      child.searchFlag = flag;
      i32 v = -quiesce(-beta, -alpha, checkDepth - 1, ply + 1, keepPV);
      unmakeMove(board, m);
      if (stopRequest != StopNone) return DRAW_SCORE;
      if (v > alpha) {
        if (v >= beta) return v;
        alpha = v;
        if (keepPV) pvLineUpdate(pvTable[ply], m, v, pvTable[ply + 1]);
      }
    }
  }

  // 6. Mated when in check and nothing could be played.
  if (inCheck && made == 0) {
    pvLineClear(pvTable[ply]);
    return ply - MATE_SCORE;
  }
  return alpha;
}
