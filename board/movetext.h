// Move text: long algebraic output and coordinate input.
#pragma once

#include "board/types.h"

// Writes the long algebraic text of the slot's move (at most 12 characters
// and the NUL; callers give 16 bytes): Ng1-f3, e5xd6e.p, e7-e8=Q+, O-O.
void moveToText(const MoveSlot& slot, char* out);

// Builds a move from coordinate text (e2e4, e7e8q, O-O, O-O-O); `length`
// is the number of characters that belong to the move (the promotion
// letter is read only if length is 5), `chess960` chooses how king moves to
// g/c files are read. Returns MOVE_NONE for malformed text.
Move moveFromText(const Board& b, const char* text, int length, bool chess960);
