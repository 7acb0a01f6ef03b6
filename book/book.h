// Opening book: the book file format, the in-memory store searched by
// position key, and the weighted choice of a book move.
#pragma once

#include <cstdio>
#include <vector>

#include "board/types.h"

class Engine;

// Moves kept per position; further moves for a key are dropped.
constexpr int BOOK_MAX_MOVES = 16;
// Version written into every book file (1.1); readers ignore it.
constexpr u32 BOOK_VERSION = 0x00010001;
// Plies from the set-up position during which a loaded book is asked.
constexpr u32 BOOK_PLY_LIMIT = 20;

// Book file, every integer little-endian, fields back to back, no trailer:
//
//   offset 0   "BOOK"              4 ASCII bytes
//   offset 4   u32 version         0x00010001 when written, ignored when read
//   offset 8   u32 entry count
//   offset 12  entries:
//                u64 position key  (the board's Zobrist key)
//                u32 move count
//                move records, 10 bytes each:
//                  u32 move        (packed Move; castling as king to own rook)
//                  u32 weight      (share in the random choice; games for built books)
//                  u8  pctA        (white's wins in percent, kept but unused)
//                  u8  pctB        (black's wins in percent, kept but unused)
//
// Built books hold their entries by ascending key and an entry's moves by
// descending weight.

// One move of a book position.
struct BookMove {
  u32 move;
  u32 weight;
  u8 pctA;
  u8 pctB;
};

// One book position with up to BOOK_MAX_MOVES moves.
struct BookEntry {
  u64 key;
  u32 moveCount;
  BookMove moves[BOOK_MAX_MOVES];
};

// The store, in the order keys were first added, which for a book written by
// the builder is ascending key order. Change it only through the functions
// below, which keep the key index beside it.
extern std::vector<BookEntry> bookEntries;

// Adds one move to the entry of a key; a repeated move or a 17th move is dropped.
void bookAddMove(u64 key, u32 move, u32 weight, u8 pctA, u8 pctB);

// Empties the store and gives its memory back.
void bookClear();

// Copies a whole entry: key, count and all move slots.
void copyBookEntry(BookEntry& to, const BookEntry& from);

// Orders the moves of every entry by descending weight and the entries by ascending key.
void bookSort();

// Reads a book file's entries (after the magic) into the store; false, with the
// store empty, when the file is short or holds data past its last entry.
bool bookReadEntries(FILE* file);

// Writes the magic, the version and the whole store; false if a write failed.
bool bookWrite(FILE* file);

// Returns the index of the entry with this key by bisection over the sorted store, or -1.
long bookFindEntry(u64 key);

// Returns the index of one move of the entry, drawn with probability proportional to its weight.
u32 bookChooseMove(const BookEntry& entry);

// Returns a legal root move from the book for the engine's position, or 0.
Move pickBookMove(Engine& engine);
