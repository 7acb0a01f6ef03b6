// Staged move picker: hash move, winning captures, killers, quiet moves by
// history, losing captures; in check the hash move and the sorted evasions.
#include "search/movepick.h"

#include "board/movegen.h"
#include "board/see.h"
#include "search/engine.h"

// Scores of the capture list of the tree search: under-promotions sit
// behind the captures but ahead of the quiet moves.
static void scoreCaptureList(MoveSlot* list, u32 count) {
  for (u32 i = 0; i < count; i++) {
    Move m = list[i].move;
    list[i].score = moveScoresAsCapture(m) ? captureScore(m) : SCORE_QUIET_BASE;
  }
}

// Scores quiet moves by the history of the side to move.
static void scoreQuietList(const Engine& engine, MoveSlot* list, u32 count) {
  const i32(*hist)[64] = engine.history[engine.board.side];
  for (u32 i = 0; i < count; i++) {
    Move m = list[i].move;
    list[i].score = hist[movePiece(m)][moveTo(m)] + SCORE_QUIET_BASE;
  }
}

// Scores evasions: captures first, then the killers, then history.
static void scoreEvasionList(const Engine& engine, int ply, MoveSlot* list, u32 count) {
  const i32(*hist)[64] = engine.history[engine.board.side];
  Move k1 = engine.killers[ply][0], k2 = engine.killers[ply][1];
  for (u32 i = 0; i < count; i++) {
    Move m = list[i].move;
    if (moveScoresAsCapture(m))
      list[i].score = captureScore(m);
    else if (m == k1)
      list[i].score = SCORE_KILLER1;
    else if (m == k2)
      list[i].score = SCORE_KILLER2;
    else
      list[i].score = hist[movePiece(m)][moveTo(m)] + SCORE_QUIET_BASE;
  }
}

// Scores a quiescence list (evasions or quiet checks) and sorts it.
void Engine::scoreAndSortMoves(MoveSlot* list, u32 count) {
  if (count == 0) return;
  const i32(*hist)[64] = history[board.side];
  for (u32 i = 0; i < count; i++) {
    Move m = list[i].move;
    if (moveScoresAsCapture(m))
      list[i].score = captureScore(m);
    else if (movePromotion(m) != EMPTY)
      list[i].score = -1;
    else
      list[i].score = hist[movePiece(m)][moveTo(m)] + SCORE_QUIET_BASE;
  }
  sortMoves(list, count);
}

// Starts the picker of a node at ply with the hash move (0 for none).
void pickerStart(Engine& engine, int ply, Move hashMove, bool inCheck) {
  SearchPly& sp = engine.searchPlies[ply];
  sp.pickStage = inCheck ? PickEvasionHash : PickHash;
  sp.ply = u32(ply);
  sp.hashMove = hashMove;
  sp.next = 0;
  sp.count = 0;
  sp.badNext = MAX_MOVES - 1;
  sp.killer1 = 0;
  sp.killer2 = 0;
}

// Next pseudo-legal move of the node with its pick score in *score, or 0.
Move pickNextMove(Engine& engine, int ply, i32* score) {
  SearchPly& sp = engine.searchPlies[ply];
  Board& b = engine.board;
  for (;;) {
    switch (sp.pickStage) {
      // 1. Hash move, when it can be played here (a key collision can bring a foreign move).
      case PickHash:
        sp.pickStage = PickGenCaptures;
        if (sp.hashMove != 0 && isPseudoLegal(b, sp.hashMove)) {
          *score = SCORE_HASH_MOVE;
          return sp.hashMove;
        }
        sp.hashMove = 0;
        break;

      // 2. Captures and promotions, sorted by victim and attacker.
      case PickGenCaptures:
        sp.badNext = MAX_MOVES - 1;
        sp.next = 0;
        sp.count = generateCaptures(b, sp.moves, MAX_MOVES);
        if (sp.count == 0) {
          sp.pickStage = PickKiller1;
          break;
        }
        scoreCaptureList(sp.moves, sp.count);
        sortMoves(sp.moves, sp.count);
        sp.pickStage = PickCaptures;
        break;

      // 3. Captures that do not lose material; losing ones are parked at the top.
      case PickCaptures:
        while (sp.next < sp.count) {
          MoveSlot slot = sp.moves[sp.next++];
          Move m = slot.move;
          // Parking only into free slots above the capture list (always so in chess positions).
          if (pieceValue[moveCaptured(m)] < pieceValue[movePiece(m)] && sp.badNext >= sp.count && see(b, m) < 0) {
            sp.moves[sp.badNext--] = slot;
            continue;
          }
          if (m == sp.hashMove) continue;
          *score = slot.score;
          return m;
        }
        sp.pickStage = PickKiller1;
        break;

      // 4. First killer.
      case PickKiller1:
        sp.killer1 = engine.killers[ply][0];
        sp.killer2 = engine.killers[ply][1];
        sp.pickStage = PickKiller2;
        if (sp.killer1 != 0 && sp.killer1 != sp.hashMove && isPseudoLegal(b, sp.killer1)) {
          *score = SCORE_KILLER1;
          return sp.killer1;
        }
        break;

      // 5. Second killer.
      case PickKiller2:
        sp.pickStage = PickGenQuiets;
        if (sp.killer2 != 0 && sp.killer2 != sp.hashMove && isPseudoLegal(b, sp.killer2)) {
          *score = SCORE_KILLER2;
          return sp.killer2;
        }
        break;

      // 6. Quiet moves behind the captures, below the parked losing captures.
      case PickGenQuiets: {
        u32 room = sp.badNext + 1 - sp.count;
        u32 n = generateQuiets(b, sp.moves + sp.count, room);
        if (n == 0) {
          sp.next = MAX_MOVES - 1;
          sp.count = sp.badNext;
          sp.pickStage = PickBadCaptures;
          break;
        }
        scoreQuietList(engine, sp.moves + sp.count, n);
        sortMoves(sp.moves + sp.count, n);
        sp.count += n;
        sp.pickStage = PickQuiets;
        break;
      }

      // 7. Quiet moves by history, without the moves already handed out.
      case PickQuiets:
        while (sp.next < sp.count) {
          MoveSlot slot = sp.moves[sp.next++];
          Move m = slot.move;
          if (m == sp.hashMove || m == sp.killer1 || m == sp.killer2) continue;
          *score = slot.score;
          return m;
        }
        sp.next = MAX_MOVES - 1;
        sp.count = sp.badNext;
        sp.pickStage = PickBadCaptures;
        break;

      // 8. Losing captures in the order they were parked.
      case PickBadCaptures:
        while (sp.next > sp.count) {
          MoveSlot slot = sp.moves[sp.next--];
          if (slot.move == sp.hashMove) continue;
          *score = slot.score;
          return slot.move;
        }
        sp.pickStage = PickDone;
        break;

      // 9. Hash move of a node in check.
      case PickEvasionHash:
        sp.pickStage = PickGenEvasions;
        if (sp.hashMove != 0 && isPseudoLegal(b, sp.hashMove)) {
          *score = SCORE_HASH_MOVE;
          return sp.hashMove;
        }
        sp.hashMove = 0;
        break;

      // 10. All evasions at once, sorted.
      case PickGenEvasions:
        sp.count = generateEvasions(b, sp.moves, MAX_MOVES);
        if (sp.count == 0) {
          sp.pickStage = PickDone;
          break;
        }
        scoreEvasionList(engine, ply, sp.moves, sp.count);
        sortMoves(sp.moves, sp.count);
        sp.next = 1;
        sp.pickStage = PickEvasions;
        if (sp.moves[0].move != sp.hashMove) {
          *score = sp.moves[0].score;
          return sp.moves[0].move;
        }
        break;

      // 11. The remaining evasions.
      case PickEvasions:
        while (sp.next < sp.count) {
          MoveSlot slot = sp.moves[sp.next++];
          if (slot.move == sp.hashMove) continue;
          *score = slot.score;
          return slot.move;
        }
        sp.pickStage = PickDone;
        break;

      default:
        sp.pickStage = PickDone;
        return MOVE_NONE;
    }
  }
}

// Killer and history update for a quiet move that cut off at depth (quarter plies).
void updateKillersAndHistory(Engine& engine, int ply, Move move, int depth) {
  u32* k = engine.killers[ply];
  if (k[0] != move) {
    k[1] = k[0];
    k[0] = move;
  }
  int d = depth / 4;
  i32& h = engine.history[engine.board.side][movePiece(move)][moveTo(move)];
  i32 sum = h + d * d;
  if (sum < HISTORY_LIMIT) h = sum;
}
