// Piece-square tables of the evaluation.
#include "eval/psqt.h"

// Filled in with the evaluation's tables.
void mirrorPieceSquareTables() {}
