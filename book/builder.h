// Book builder: turns the opening lines collected from PGN games into
// (position, move) pairs of the book store and writes the book file.
#pragma once

#include "board/types.h"
#include "book/pgn.h"

// Returns the move a SAN text names in the board's position, or MOVE_NONE
// when it names none: no legal generated move fits, the text is no move, a
// castling text without such a castling move, or a pawn reaching the last
// rank without a valid promotion piece.
Move sanToMove(Board& board, const char* san);

// Replays every line found in at least `minCount` games from the start
// position and offers each of its (position, move) pairs to the book store,
// weighted by the line's game count. A line stops at its first text that
// names no move. The board is left in the start position.
void bookAddLines(Board& board, const LineRecords& lineRecords, i32 minCount);
