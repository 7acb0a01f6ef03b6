// The perft tools: timed counts with their printouts, and perft suites.
#pragma once

#include "app/context.h"
#include "board/perft.h"

// Counts leaf nodes on the engine's position and prints count, time, speed.
// These three print "out of memory" on standard error and return false when
// their buffers cannot be had.
bool perft(MainContext* ctx, int depth);
// As perft, with statistics of the leaf moves.
bool perftd(MainContext* ctx, int depth);
// Counts per legal root move and prints one line each, then the total.
bool divide(MainContext* ctx, int depth);
// Runs a perft suite file at a depth and prints the score; a line whose FEN
// is refused fails. False, printing no score, if the file does not open, a
// read fails or memory runs out ("out of memory" on standard error).
bool perftSuite(PerftContext* ctx, const char* fileName, int depth);
// Sets up the engine, runs the suite and releases the tables; false when the
// file could not be read or memory ran out.
bool runPerftSuite(MainContext* ctx, const char* fileName, int depth);
