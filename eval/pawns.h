// The pawn hash table: pawn-structure terms cached by pawn key.
#pragma once

#include "board/types.h"

// One entry (48 bytes): scores are white minus black.
struct PawnHashEntry {
  u64 key;
  i16 mg;
  i16 eg;
  u64 passed[2];        // passed pawns by colour, black first
  u64 pawnAttacked[2];  // squares attacked by each colour's pawns
};

struct PawnHashTable {
  PawnHashEntry* entries;  // raw block rounded up to 64 bytes
  void* raw;               // what is freed
  u32 count;
  u32 mask;
};

extern PawnHashTable pawnHashTable;

constexpr u32 PAWN_HASH_COUNT = 43690;  // 2 MB of 48-byte entries

// Replaces the table's block with a fresh zeroed one; false with a message
// on standard error when the memory cannot be had (the table then has none).
bool allocatePawnHash();
// Frees the block; the counts keep their values.
void releasePawnHash();
// Exit-time release of a table.
void destroyPawnHash(PawnHashTable* table);
