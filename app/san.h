#pragma once
// Standard algebraic notation (SAN) of a move, as the test suite prints it and
// matches it against the "bm" and "am" fields of EPD lines.

#include <cstddef>

#include "board/types.h"

// Room for the longest SAN text ("Qa1xb2=Q#" style texts, "exd6e.p+") and its zero.
constexpr size_t SAN_BUFFER_SIZE = 16;

// Writes the SAN text of `move` into `out` (SAN_BUFFER_SIZE bytes). `moves`
// holds the `count` moves of the position the move is played from: another
// move of the same piece type to the same square makes the text name the
// from-file and/or from-rank. Check and mate come from the move's mark bits.
void moveToSan(u32 move, const MoveSlot* moves, u32 count, char* out);
