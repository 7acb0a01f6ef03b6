// The pawn hash table and the pawn-structure terms it caches.
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

// Entry index of a pawn key. The count is not a power of two, so the low 32
// bits of the key are scaled onto 0..count-1 (multiply and keep the high
// half), which reaches every entry; masking with count - 1 would reach 256.
constexpr u32 pawnHashSlot(u64 pawnKey, u32 count) { return u32((u64(u32(pawnKey)) * count) >> 32); }

// The whole file of each file index, and the files beside it.
constexpr u64 fileMask[8] = {0x0101010101010101ull << 0, 0x0101010101010101ull << 1, 0x0101010101010101ull << 2,
                             0x0101010101010101ull << 3, 0x0101010101010101ull << 4, 0x0101010101010101ull << 5,
                             0x0101010101010101ull << 6, 0x0101010101010101ull << 7};
constexpr u64 adjacentFiles[8] = {fileMask[1],
                                  fileMask[0] | fileMask[2],
                                  fileMask[1] | fileMask[3],
                                  fileMask[2] | fileMask[4],
                                  fileMask[3] | fileMask[5],
                                  fileMask[4] | fileMask[6],
                                  fileMask[5] | fileMask[7],
                                  fileMask[6]};

// Fills entry (key included) from the board's pawns alone.
void pawnEntryCompute(const Board& board, PawnHashEntry& entry);

// Adds the pawn structure (cached by pawn key) and the passed-pawn terms to
// mg and eg (white's view) and gives each side's pawn-attacked squares.
void evaluatePawns(const Board& board, i32& mg, i32& eg, u64 pawnAttacked[2]);
