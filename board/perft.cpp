// Perft counters. Moves are tested for legality before they are made (pins,
// king destinations), and the last ply is counted without making moves;
// en passant and castling, the rare cases, are made and tested.
#include "board/perft.h"

#include "board/bitboard.h"
#include "board/makemove.h"
#include "board/movegen.h"

namespace {

// Own pieces that stand alone between the own king and an enemy slider.
u64 pinnedPieces(const Board& b) {
  const int us = b.side, them = b.opponent;
  const int k = b.kingSquare[us];
  const u64* enemy = b.pieces[them];
  u64 snipers = (rookAttacks(k, 0) & (enemy[ROOK] | enemy[QUEEN])) |
                (bishopAttacks(k, 0) & (enemy[BISHOP] | enemy[QUEEN]));
  u64 pinned = 0;
  while (snipers) {
    const u64 blockers = between[k][popLsb(snipers)] & b.occupied;
    if (blockers && !moreThanOne(blockers)) pinned |= blockers & b.byColour[us];
  }
  return pinned;
}

// Makes the move and tests the mover's king.
bool legalByMaking(Board& b, Move m) {
  makeMove(b, m);
  const bool legal = !isSquareAttacked(b, b.kingSquare[b.opponent], b.side);
  unmakeMove(b, m);
  return legal;
}

// Legality of a generated move without making it where that is safe.
inline bool moveIsLegal(Board& b, Move m, bool inCheck, u64 pinned) {
  const int from = moveFrom(m);
  if (movePiece(m) == KING) {
    if (moveIsCastling(m)) return legalByMaking(b, m);
    if (inCheck) return true;  // evasion king steps are tested by the generator
    const int us = b.side;
    return !isSquareAttackedOcc(b, moveTo(m), b.opponent, b.occupied ^ (1ull << b.kingSquare[us]));
  }
  if (moveIsEnPassant(m)) return legalByMaking(b, m);
  if (!(pinned & (1ull << from))) return true;
  if (inCheck) return false;
  const int k = b.kingSquare[b.side];
  return lineType[k][moveTo(m)] == lineType[k][from];
}

// Pseudo-legal moves of the side to move into the list.
inline u32 generateAll(const Board& b, MoveSlot* list, bool inCheck) {
  if (inCheck) return generateEvasions(b, list, MAX_MOVES);
  const u32 n = generateCaptures(b, list, MAX_MOVES);
  return n + generateQuiets(b, list + n, MAX_MOVES - n);
}

// Leaf count below this node; depth >= 1.
u64 countPaths(Board& b, SearchPly* buffer, int depth) {
  const bool inCheck = boardInCheck(b);
  MoveSlot* list = buffer[depth].moves;
  const u32 n = generateAll(b, list, inCheck);
  const u64 pinned = pinnedPieces(b);
  u64 total = 0;
  if (depth == 1) {
    for (u32 i = 0; i < n; i++) total += moveIsLegal(b, list[i].move, inCheck, pinned);
    return total;
  }
  for (u32 i = 0; i < n; i++) {
    const Move m = list[i].move;
    if (!moveIsLegal(b, m, inCheck, pinned)) continue;
    makeMove(b, m);
    total += countPaths(b, buffer, depth - 1);
    unmakeMove(b, m);
  }
  return total;
}

// True when the side to move has no legal evasion (it is in check).
bool isMated(Board& b, SearchPly* buffer) {
  MoveSlot* list = buffer[0].moves;
  const u32 n = generateEvasions(b, list, MAX_MOVES);
  for (u32 i = 0; i < n; i++)
    if (legalByMaking(b, list[i].move)) return false;
  return true;
}

// Statistics of the leaf moves below this node.
void countStatistics(PerftContext* ctx, Board& b, int depth) {
  const bool inCheck = boardInCheck(b);
  MoveSlot* list = ctx->moveBuffer[depth].moves;
  const u32 n = generateAll(b, list, inCheck);
  const u64 pinned = pinnedPieces(b);
  for (u32 i = 0; i < n; i++) {
    const Move m = list[i].move;
    if (!moveIsLegal(b, m, inCheck, pinned)) continue;
    makeMove(b, m);
    if (depth > 1) {
      countStatistics(ctx, b, depth - 1);
    } else {
      ctx->nodes++;
      if (moveCaptured(m)) ctx->captures++;
      if (moveIsEnPassant(m)) ctx->enPassant++;
      if (movePromotion(m)) ctx->promotions++;
      if (moveIsCastling(m)) ctx->castles++;
      if (boardInCheck(b)) {
        ctx->checks++;
        if (isMated(b, ctx->moveBuffer)) ctx->mates++;
      }
    }
    unmakeMove(b, m);
  }
}

// Depth within what moveBuffer holds.
int clampDepth(int depth) { return depth < 1 ? 1 : depth > PERFT_MAX_DEPTH ? PERFT_MAX_DEPTH : depth; }

}  // namespace

void perftCount(PerftContext* ctx, int depth) {
  ctx->nodes += countPaths(*ctx->board, ctx->moveBuffer, clampDepth(depth));
}

u64 divideCount(PerftContext* ctx, int depth) { return countPaths(*ctx->board, ctx->moveBuffer, clampDepth(depth)); }

void perftdCount(PerftContext* ctx, int depth) { countStatistics(ctx, *ctx->board, clampDepth(depth)); }
