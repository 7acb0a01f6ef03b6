// Castling set-up of a freshly set position (standard chess and Chess960).
#pragma once

#include "board/types.h"

// Fixes the castling rooks, drops unusable rights and computes the paths
// that must be empty; reads pieces, kingSquare and castling. rookFile, when
// given, holds per right bit (K, Q, k, q) the file of the rook an X-FEN
// letter named, or -1 for the outermost rook of that wing.
void setupCastling(Board& b, const i8* rookFile = nullptr);
// Square of the colour's outermost rook on its back rank on the given wing
// of its king, or -1: the rook that K, Q, k and q name.
int castlingOutermostRook(const Board& b, int colour, bool kingSide);
