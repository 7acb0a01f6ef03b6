// Piece-square tables of the evaluation.
#pragma once

#include "board/types.h"

// Values by colour, piece type (0 and 7 stay zero) and square. Black's half
// is constant data; white's half is black's turned upside down.
extern i32 pstMg[2][8][64];
extern i32 pstEg[2][8][64];

// Derives white's piece-square tables from the stored black ones.
void mirrorPieceSquareTables();
