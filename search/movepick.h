// Move ordering: the staged picker of the tree search, the one-shot scoring
// of the quiescence lists, the stable sort they share, and the killer and
// history updates at a cut-off.
#pragma once

#include "board/types.h"

class Engine;

// Picker stages, the value of SearchPly::pickStage.
enum PickStage : u32 {
  PickDone = 0,
  PickHash = 1,
  PickGenCaptures = 2,
  PickCaptures = 3,
  PickKiller1 = 4,
  PickKiller2 = 5,
  PickGenQuiets = 6,
  PickQuiets = 7,
  PickBadCaptures = 8,
  PickEvasionHash = 9,
  PickGenEvasions = 10,
  PickEvasions = 11
};

// Ordering scores shared by the root, the tree and the quiescence search.
constexpr i32 SCORE_HASH_MOVE = 100000;
constexpr i32 SCORE_CAPTURE_BASE = 50000;
constexpr i32 SCORE_KILLER1 = 45010;
constexpr i32 SCORE_KILLER2 = 45000;
constexpr i32 SCORE_QUIET_BASE = 4000;
// Capture scores at or below this are exchange-tested by the quiescence search.
constexpr i32 SCORE_QS_LOSING = 2000;
// History never reaches this value.
constexpr i32 HISTORY_LIMIT = 10000;

// True for a move that captures nothing and promotes nothing.
constexpr bool moveIsQuiet(Move m) { return (m & ((7u << 15) | (7u << 18))) == 0; }

// Most valuable victim, least valuable attacker, plus the promotion piece.
constexpr i32 captureScore(Move m) {
  return SCORE_CAPTURE_BASE + 16 * pieceValue[moveCaptured(m)] - pieceValue[movePiece(m)] +
         (movePromotion(m) ? 16 * pieceValue[movePromotion(m)] : 0);
}

// True for a capture or a promotion to a queen (the moves scored as captures).
constexpr bool moveScoresAsCapture(Move m) { return moveCaptured(m) != EMPTY || movePromotion(m) == QUEEN; }

// Stable insertion sort by score, highest first: equal scores keep their order.
inline void sortMoves(MoveSlot* list, u32 count) {
  for (u32 i = 1; i < count; i++) {
    MoveSlot slot = list[i];
    u32 j = i;
    while (j > 0 && list[j - 1].score < slot.score) {
      list[j] = list[j - 1];
      j--;
    }
    list[j] = slot;
  }
}

// Starts the picker of a node at ply with the hash move (0 for none).
void pickerStart(Engine& engine, int ply, Move hashMove, bool inCheck);
// Next pseudo-legal move of the node with its pick score in *score, or 0.
Move pickNextMove(Engine& engine, int ply, i32* score);
// Killer and history update for a quiet move that cut off at depth (quarter plies).
void updateKillersAndHistory(Engine& engine, int ply, Move move, int depth);
