// FEN and X-FEN input and output, the board diagram, and the standard
// start and empty positions.
#pragma once

#include <cstddef>

#include "board/types.h"

// Bytes a FEN output buffer needs.
constexpr size_t FEN_BUFFER_SIZE = 128;

// Sets the board from FEN text; on false the board is untouched. Rejects
// malformed text and positions the move generators cannot handle.
bool boardSetFEN(Board& b, const char* fen);
// Writes the position as FEN text (bounded by size), with the move number.
void boardGetFEN(const Board& b, char* out, size_t size);
// Hands the board diagram to writeLine a line at a time (without newlines),
// so that the caller's line writer decides how it is written.
void printBoard(const Board& b, void (*writeLine)(const char* text));
// Sets the standard start position with fresh stacks.
void boardSetStart(Board& b);
// Sets the empty board: no pieces, white to move, rights 15.
void boardClear(Board& b);
// True when every derived field equals its from-scratch value.
bool boardIsConsistent(const Board& b);

// The standard start position.
constexpr const char* START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
