#pragma once
// EPD test suite ("-testsuite"): searches every "bm"/"am" position of a file
// for a fixed time and scores the played moves.

#include "app/toolcommon.h"

struct MainContext;
struct PerftContext;

// One best-move or avoid-move field of an EPD line.
struct EpdField {
  char fen[TOOL_LINE_SIZE];    // the text before "bm"/"am"
  char moves[TOOL_LINE_SIZE];  // the field's move list, zeros read as letter O
  char id[TOOL_LINE_SIZE];     // the identifier without its quotes
  bool avoid;                  // an "am" field: the moves must not be played
  int next;                    // where the scan for the next field goes on
};

// Finds the next "bm" or "am" field of `line` from index `start` on. Returns
// false when there is none. Never reads beyond the end of the line.
bool findEpdField(const char* line, int start, EpdField* field);

// True when the played move, given by its SAN and long algebraic texts,
// scores well on the field: named by a "bm" field, or not named by an "am"
// field. Naming is a substring test, so "O-O" is also named by "O-O-O";
// check and mate marks ("+", "#") are left out on both sides.
bool epdFieldAccepts(const EpdField& field, const char* san, const char* longText);

// Runs the suite of `fileName` on the engine of `context`, and prints the
// report. Returns false, printing nothing, when the file cannot be opened or
// read, and without the report when a read fails part way.
bool testSuite(PerftContext* context, const char* fileName);

// "-testsuite": engine set-up with `seconds` per position (5 when negative),
// the suite, table release. Returns false when the file cannot be read.
bool runTestSuite(MainContext* context, const char* fileName, float seconds);
