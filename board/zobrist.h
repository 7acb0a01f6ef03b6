// The stored Zobrist numbers. Book files store positions by the key built
// from these tables, so the values must never change.
#pragma once

#include "board/types.h"

// Row = piece type * 2 + colour (rows 0 and 1 are zero), column = square.
extern const u64 pieceKeys[14][64];
// By the whole castling byte; each entry is the XOR of its single bits.
extern const u64 castleKeys[16];
// By en-passant file a..h.
extern const u64 epKeys[8];
// XORed in when black is to move.
constexpr u64 sideKey = 0xf039404e0dd3333full;

// Key of the position computed from scratch.
u64 boardComputeKey(const Board& b);
// Pawn key of the position computed from scratch.
u64 boardComputePawnKey(const Board& b);
