// Piece-square tables of the evaluation.
#pragma once

// Derives white's piece-square tables from the stored black ones.
void mirrorPieceSquareTables();
