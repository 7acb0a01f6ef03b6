// Perft counters: leaf counts of the legal move tree, with statistics.
#pragma once

#include "board/types.h"

class Engine;

// One root move of "divide": its leaf count and its long algebraic text.
struct DivideEntry {
  u64 count;
  char text[16];
};

// State of the perft tools; moveBuffer record d serves remaining depth d.
struct PerftContext {
  Engine* engine;
  Board* board;
  SearchPly* moveBuffer;  // MAX_PLY records while a tool runs
  DivideEntry* rootEntries;
  u32 rootCount;
  u64 nodes;
  u64 captures;
  u64 enPassant;
  u64 promotions;
  u64 castles;
  u64 checks;
  u64 mates;
};

// Depths the counters accept (moveBuffer has MAX_PLY records).
constexpr int PERFT_MAX_DEPTH = MAX_PLY - 1;

// Adds the number of legal move paths of length depth to nodes.
void perftCount(PerftContext* ctx, int depth);
// Number of legal move paths of length depth; touches no counter.
u64 divideCount(PerftContext* ctx, int depth);
// Adds to all seven counters.
void perftdCount(PerftContext* ctx, int depth);
