// Static evaluation: the score of a position from the side to move's view.
#pragma once

#include "board/types.h"

// Full static score of the position in centipawns, side to move's view.
int evaluate(const Board& board);

// Material-only score when it lies more than a minor piece outside the
// window alpha..beta, otherwise the full score.
int evaluateLazy(const Board& board, int alpha, int beta);

// Strength limit, shared with the protocols and the search: the Elo
// (1000..2600) and whether the limit is on (1 while the Elo is below 2600).
extern unsigned int strengthElo;
extern int strengthLimited;
