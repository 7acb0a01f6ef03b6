// Piece terms of the evaluation: piece-square values, mobility, outposts,
// rook and queen files and ranks, and king safety.
#pragma once

#include "board/types.h"

// Adds the terms of knights, bishops, rooks, queens and kings to mg and eg
// (white's view). pawnAttacked: squares each side's pawns attack; adjusted:
// each side's material as the frame adjusted it (king safety scales by it).
void evaluatePieces(const Board& board, const u64 pawnAttacked[2], const i32 adjusted[2], i32& mg, i32& eg);

// Pawn shield before colour us's king (0 or negative): only a king on its
// first two ranks has one.
i32 kingShield(const Board& board, int us);
