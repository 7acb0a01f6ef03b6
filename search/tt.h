// The transposition table: one static table of 16-byte entries in buckets
// of four (one 64-byte cache line).
#pragma once

#include "board/types.h"

// One entry. data packs:
//
//   31            16 15     11 10        2 1   0
//  +----------------+---------+-----------+-----+
//  |  score (i16)   |   age   |   depth   |bound|
//  +----------------+---------+-----------+-----+
//
// bound 0 exact, 1 upper (failed low), 2 lower (failed high); depth in
// quarter plies; age the table generation at the last write or cut-off.
// Mate scores are stored relative to the node.
struct HashEntry {
  u64 key;  // 0 marks an empty entry
  u32 move;
  u32 data;
};

struct HashTable {
  HashEntry* entries;  // block rounded up to 64 bytes
  void* block;         // what is freed
  u32 entryCount;      // megabytes * 65536
  u32 mask;            // entryCount - 4: first entry of a bucket
  u32 age;             // search generation 0..31
};

extern HashTable hashTable;

constexpr int MATE_SCORE = 32000;
constexpr int MATE_BOUND = 31744;  // beyond +-MATE_BOUND a score is a mate score

constexpr u32 hashDataBound(u32 data) { return data & 3; }
constexpr u32 hashDataDepth(u32 data) { return (data >> 2) & 511; }
constexpr u32 hashDataAge(u32 data) { return (data >> 11) & 31; }
constexpr i32 hashDataScore(u32 data) { return i32(i16(u16(data >> 16))); }
constexpr u32 hashDataWithAge(u32 data, u32 age) { return (data & ~(31u << 11)) | (age << 11); }

// Mate score as stored (distance from the node) from a score at ply.
constexpr i32 hashScoreToTable(i32 score, i32 ply) {
  return score > MATE_BOUND ? score + ply : score < -MATE_BOUND ? score - ply : score;
}
// Mate score at ply from a stored score.
constexpr i32 hashScoreFromTable(i32 score, i32 ply) {
  return score > MATE_BOUND ? score - ply : score < -MATE_BOUND ? score + ply : score;
}

// (Re)allocates the table with the next power of two megabytes (1 for 0, 1
// or above 32768) and zeroes it; 1 on success, 0 with a message on failure.
int allocateHash(u32 megabytes);
// Zeroes every entry and sets age to 0 (nothing without a block).
void hashClear();
// Entry of the key's bucket that holds the key, or null (also without a block).
HashEntry* hashProbe(u64 key);
// Writes one entry by the bucket's replacement rule (nothing without a block).
void hashStore(u64 key, u32 move, i32 score, i32 depth, i32 ply, u32 bound);
// Frees the block; sizes and age keep their values.
void releaseHash();
// Exit-time release of a table.
void destroyHashTable(HashTable* table);
