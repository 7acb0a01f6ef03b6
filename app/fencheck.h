#pragma once
// FEN syntax check of the "-checkfensuite" tool: a character state machine
// that looks at the text and the piece counts without setting up a position.

// Returns true when `line` (control characters already blanked) reads as a FEN
// with at least the side, castling and en-passant fields. When it does not,
// *failAt (if given) is the index of the first character that failed, or the
// length of the line when the line ended too early.
bool fenTextIsPlausible(const char* line, int* failAt);

// Checks every line of `fileName` and prints the verdicts and the total.
// Returns false, printing nothing, when the file cannot be opened or read,
// and without the total when a read fails part way.
bool checkFenSuite(const char* fileName);
