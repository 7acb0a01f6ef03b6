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

// The whole line through the king and a piece pinned to it.
inline u64 pinLine(int k, int from) {
  switch (lineType[k][from]) {
    case 1:
      return FILE_A << squareFile(k);
    case 2:
      return RANK_1 << (8 * squareRank(k));
    case 3:
      return diagonalMask[k];
    default:
      return antiDiagonalMask[k];
  }
}

// Moves to a set of squares, four for each square on the last rank.
inline u64 pawnMoveCount(u64 targets) {
  return u64(popCount(targets & ~(RANK_1 | RANK_8))) + 4 * u64(popCount(targets & (RANK_1 | RANK_8)));
}

// Legal castlings of the side to move, by the generator's conditions and the
// king test after making the move.
u64 castlingCount(Board& b) {
  if (!(b.castling & (b.side == WHITE ? CASTLE_WK | CASTLE_WQ : CASTLE_BK | CASTLE_BQ))) return 0;
  MoveSlot list[2];
  const u32 n = generateCastlings(b, list, 2);
  u64 count = 0;
  for (u32 i = 0; i < n; i++)
    if (legalByMaking(b, list[i].move)) count++;
  return count;
}

// Legal moves of a side that is not in check, counted from attack sets
// without writing a list: the same moves the generators give, with the same
// legality rules as moveIsLegal.
u64 countLeafMoves(Board& b) {
  const int us = b.side, them = b.opponent;
  const int k = b.kingSquare[us];
  const u64 occ = b.occupied, empty = ~occ, notOwn = ~b.byColour[us], enemy = b.byColour[them];
  const u64* own = b.pieces[us];
  const u64 pinned = pinnedPieces(b);
  u64 count = 0;
  // Knights (a pinned knight never moves), bishops, rooks, queens.
  for (u64 p = own[KNIGHT] & ~pinned; p;) count += popCount(knightAttacks[popLsb(p)] & notOwn);
  for (u64 p = own[BISHOP] | own[ROOK] | own[QUEEN]; p;) {
    const int from = popLsb(p);
    const int piece = b.squares[from];
    u64 attacks = piece == BISHOP ? bishopAttacks(from, occ)
                  : piece == ROOK ? rookAttacks(from, occ)
                                  : queenAttacks(from, occ);
    attacks &= notOwn;
    if (pinned & (1ull << from)) attacks &= pinLine(k, from);
    count += popCount(attacks);
  }
  // King steps and castlings.
  const u64 noKing = occ ^ (1ull << k);
  for (u64 t = kingAttacks[k] & notOwn; t;)
    if (!isSquareAttackedOcc(b, popLsb(t), them, noKing)) count++;
  count += castlingCount(b);
  // Pawns: free ones by sets, pinned ones along their line.
  const u64 pawns = own[PAWN];
  const u64 free = pawns & ~pinned;
  if (us == WHITE) {
    const u64 single = (free << 8) & empty;
    count += pawnMoveCount(single) + popCount(((single & RANK_3) << 8) & empty);
    count += pawnMoveCount((free << 7) & ~FILE_H & enemy) + pawnMoveCount((free << 9) & ~FILE_A & enemy);
  } else {
    const u64 single = (free >> 8) & empty;
    count += pawnMoveCount(single) + popCount(((single & RANK_6) >> 8) & empty);
    count += pawnMoveCount((free >> 7) & ~FILE_A & enemy) + pawnMoveCount((free >> 9) & ~FILE_H & enemy);
  }
  for (u64 p = pawns & pinned; p;) {
    const int from = popLsb(p);
    const u64 line = pinLine(k, from);
    const u64 bit = 1ull << from;
    const u64 single = (us == WHITE ? bit << 8 : bit >> 8) & empty;
    const u64 twice = (us == WHITE ? (single & RANK_3) << 8 : (single & RANK_6) >> 8) & empty;
    count += pawnMoveCount((single | (pawnAttacks[us][from] & enemy)) & line) + popCount(twice & line);
  }
  // En passant, made and tested.
  if (b.epFile) {
    const int e = (us == WHITE ? 40 : 16) + b.epFile - 1;
    for (u64 f = pawnAttacks[them][e] & pawns; f;)
      count += legalByMaking(b, makeMoveValue(popLsb(f), e, PAWN, PAWN, 0, MOVE_EP));
  }
  return count;
}

// Leaf count below this node; depth >= 1.
u64 countPaths(Board& b, SearchPly* buffer, int depth) {
  const bool inCheck = boardInCheck(b);
  if (depth == 1 && !inCheck) return countLeafMoves(b);
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

// Depths outside 1..127 are clamped.
void perftCount(PerftContext* ctx, int depth) {
  ctx->nodes += countPaths(*ctx->board, ctx->moveBuffer, clampDepth(depth));
}

// Counts only; the counters stay as they are.
u64 divideCount(PerftContext* ctx, int depth) { return countPaths(*ctx->board, ctx->moveBuffer, clampDepth(depth)); }

// Every leaf move is made to find checks and mates.
void perftdCount(PerftContext* ctx, int depth) { countStatistics(ctx, *ctx->board, clampDepth(depth)); }
