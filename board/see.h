// Static exchange evaluation.
#pragma once

#include "board/types.h"

// Exchange values by piece type (the king 5000).
constexpr i32 seeValue[8] = {0, 100, 325, 325, 500, 975, 5000, 0};

// Material balance of the move and the best capture sequence on its
// to-square, from the view of the side that makes it.
i32 see(const Board& b, Move m);
