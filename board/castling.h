// Castling set-up of a freshly set position (standard chess and Chess960).
#pragma once

#include "board/types.h"

// Fixes the castling rooks, drops unusable rights and computes the paths
// that must be empty; reads pieces, kingSquare and castling.
void setupCastling(Board& b);
