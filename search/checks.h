// Quiet moves that give check, tried at the first ply of the quiescence search.
#pragma once

#include "board/types.h"

// Writes the non-capturing, non-promoting checking moves of the side to move
// (discovered checks first, then knights, bishops, rooks, queens, single and
// double pawn pushes) and returns their number; never more than capacity.
u32 generateQuietChecks(const Board& b, MoveSlot* list, u32 capacity = MAX_MOVES);
