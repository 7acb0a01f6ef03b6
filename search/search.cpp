// The recursive principal-variation search below the root.
#include "board/makemove.h"
#include "board/movegen.h"
#include "eval/eval.h"
#include "search/engine.h"
#include "search/movepick.h"
#include "search/searchutil.h"

namespace {

// Margins by remaining whole plies (only 1 to 3 occur).
constexpr i32 razorMargin[4] = {0, 200, 400, 600};
constexpr i32 futilityMargin[4] = {0, 100, 200, 300};

// Key threshold below which the strength limit skips a move (0 at full strength).
inline i32 strengthSkipThreshold() {
  float t = (1.0f - float(strengthElo - 1000) * 0.000625f) * 100.0f;
  return i32(t) * 100;
}

}  // namespace

// Principal-variation search of the position at ply; depth in quarter plies.
i32 Engine::alphaBeta(i32 alpha, i32 beta, i32 depth, i32 ply, u8 allowNull) {
  // 1. Empty line; stops and the depth bound.
  pvLineClear(pvTable[ply]);
  if (stopRequest != StopNone || !pollSearch() || ply > MAX_SEARCH_PLY) return DRAW_SCORE;

  // 2. Draws: material, fifty moves (unless mated), repetition.
  if (boardHasInsufficientMaterial(board)) return DRAW_SCORE;
  if (board.halfmove >= 100 &&
      !(board.undo[board.undoCount].inCheck == 1 && boardInCheck(board) && countLegalMoves(board) == 0))
    return DRAW_SCORE;
  if (boardIsRepetition(board)) return DRAW_SCORE;
  if (ply > selDepth) selDepth = ply;

  // 3. Mate distance.
  if (alpha < ply - MATE_SCORE) alpha = ply - MATE_SCORE;
  if (beta > MATE_SCORE - ply) beta = MATE_SCORE - ply;
  if (alpha >= beta) return alpha;

  // 4. Transposition table.
  Move hashMove;
  i32 hashScore;
  if (hashProbeNode(board.key, depth, ply, alpha, beta, &hashMove, &hashScore)) return hashScore;

  // 5. Node flags and the lazily computed evaluation.
  UndoRecord& node = board.undo[board.undoCount];
  const bool inCheck = node.inCheck != 0;
  const bool pvNode = node.searchFlag == 0;
  const int side = board.side;
  const int d4 = depth / 4;
  bool haveEval = false;
  i32 eval = 0;
  auto staticEval = [&]() {
    if (!haveEval) {
      eval = evaluateLazy(board, alpha, beta);
      haveEval = true;
    }
    return eval;
  };

  // 6. Pruning at quiet non-PV nodes.
  if (!inCheck && !pvNode) {
    const bool betaNotMate = beta >= -MATE_IN_MAX && beta <= MATE_IN_MAX;
    const bool shallow = depth < 16 && board.phase[side] != 0 && betaNotMate && !boardHasPawnOnSeventh(board);
    // 6.1 Razoring: far below beta, let the captures decide.
    if (shallow && hashMove == MOVE_NONE && staticEval() + razorMargin[d4] < beta) {
      i32 v = beta - razorMargin[d4];
      i32 r = quiesce(v - 1, v, 0, ply + 1, 0);
      if (r < v) return r;
    }
    // 6.2 Reverse futility: far above beta.
    if (shallow && allowNull && staticEval() - futilityMargin[d4] >= beta) return eval - futilityMargin[d4];
    // 6.3 Null move.
    if (allowNull && board.phase[side] != 0 && depth >= 8) {
      boardMakeNullMove(board);
      UndoRecord& child = board.undo[board.undoCount];
      child.inCheck = 0;
      child.searchFlag = 1;
      i32 nullDepth = depth <= 23 ? depth - 12 : depth - 16;
      i32 v = nullDepth < 4 ? -quiesce(-beta, 1 - beta, 0, ply + 1, 0)
                            : -alphaBeta(-beta, 1 - beta, nullDepth, ply + 1, 0);
      boardUnmakeNullMove(board);
      if (stopRequest != StopNone) return DRAW_SCORE;
      if (v >= beta) {
        hashStore(board.key, MOVE_NONE, v, depth, ply, BOUND_LOWER);
        return v;
      }
    }
  }
  pvLineClear(pvTable[ply]);

  // 7. Internal deepening at PV nodes without a hash move.
  if (pvNode && !inCheck && depth >= 17 && hashMove == MOVE_NONE && allowNull) {
    u8 savedCheck = node.inCheck, savedFlag = node.searchFlag;
    alphaBeta(alpha, beta, depth - 8, ply, 1);
    node.inCheck = savedCheck;
    node.searchFlag = savedFlag;
    HashEntry* e = hashProbe(board.key);
    hashMove = e ? e->move : MOVE_NONE;
  }
  if (stopRequest != StopNone) return DRAW_SCORE;

  // 8. Futility: hopeless quiet moves are not searched at low depth.
  const bool futile = !inCheck && !pvNode && depth < 16 && board.stage <= 1 &&
                      staticEval() + futilityMargin[d4] <= alpha;

  // 9. Moves.
  pickerStart(*this, ply, hashMove, inCheck);
  int searched = 0, skipped = 0;
  u32 bound = BOUND_UPPER;
  const u8 nodeFlag = node.searchFlag;
  const i32 skipThreshold = strengthLimited ? strengthSkipThreshold() : 0;
  i32 pickScore;
  Move m;
  while ((m = pickNextMove(*this, ply, &pickScore)) != MOVE_NONE) {
    // 9.1 Strength limit: the same answer for every move of the node.
    if (strengthLimited && searched >= 1 && skipped <= 1 && i32(board.key % 10000) + 4 * depth < skipThreshold) {
      skipped++;
      continue;
    }
    // 9.2 Legality.
    makeMove(board, m);
    if (isSquareAttacked(board, board.kingSquare[board.opponent], board.side)) {
      unmakeMove(board, m);
      continue;
    }
    nodes++;
    UndoRecord& child = board.undo[board.undoCount];
    const bool givesCheck = boardInCheck(board);
    child.inCheck = givesCheck;
    // 9.3 Extension and futility pruning.
    const i32 extension = (givesCheck || moveIsPawnToSeventh(m)) ? 4 : 0;
    const i32 newDepth = depth - 4 + extension;
    const bool quiet = moveIsQuiet(m);
    if (futile && extension == 0 && searched >= 1 && quiet) {
      searched++;
      unmakeMove(board, m);
      continue;
    }
    i32 v;
    if (searched == 0) {
      // 9.4 First move with the full window.
      child.searchFlag = nodeFlag;
      v = newDepth < 4 ? -quiesce(-beta, -alpha, 0, ply + 1, pvNode ? 1 : 0)
                       : -alphaBeta(-beta, -alpha, newDepth, ply + 1, 1);
    } else {
      // 9.5 Late quiet moves first at reduced depth.
      if (searched >= 4 && depth >= 12 && !inCheck && extension == 0 && quiet && pickScore != SCORE_KILLER1 &&
          pickScore != SCORE_KILLER2) {
        child.searchFlag = 1;
        v = -alphaBeta(-alpha - 1, -alpha, depth - 8, ply + 1, 1);
        if (v <= alpha) {
          searched++;
          unmakeMove(board, m);
          if (stopRequest != StopNone) return DRAW_SCORE;
          continue;
        }
      }
      // 9.6 Null window, then the full window when it lands inside.
      child.searchFlag = 1;
      v = newDepth < 4 ? -quiesce(-alpha - 1, -alpha, 0, ply + 1, 0)
                       : -alphaBeta(-alpha - 1, -alpha, newDepth, ply + 1, 1);
      if (v > alpha && v < beta) {
        child.searchFlag = 0;
        v = newDepth < 4 ? -quiesce(-beta, -alpha, 0, ply + 1, 1) : -alphaBeta(-beta, -alpha, newDepth, ply + 1, 1);
      }
    }
    searched++;
    unmakeMove(board, m);
    if (stopRequest != StopNone) return DRAW_SCORE;

    // 9.7 Cut-off or a new best line.
    if (v > alpha) {
      if (v >= beta) {
        hashStore(board.key, m, v, depth, ply, BOUND_LOWER);
        if (quiet && !inCheck) updateKillersAndHistory(*this, ply, m, depth);
        return v;
      }
      alpha = v;
      bound = BOUND_EXACT;
      if (pvNode) pvLineUpdate(pvTable[ply], m, v, pvTable[ply + 1]);
    }
  }

  // 10. Result: the best line's move in the table, or mate / stalemate.
  if (searched >= 1) {
    hashStore(board.key, pvTable[ply].count > 0 ? pvTable[ply].moves[0].move : MOVE_NONE, alpha, depth, ply, bound);
    return alpha;
  }
  pvLineClear(pvTable[ply]);
  return inCheck ? ply - MATE_SCORE : DRAW_SCORE;
}
