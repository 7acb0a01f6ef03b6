// Shared set-up for the evaluation tests: tables, the pawn hash table and a
// heap board read from FEN text.
#pragma once

#include <memory>

#include "board/bitboard.h"
#include "board/fen.h"
#include "board/types.h"
#include "eval/pawns.h"
#include "eval/psqt.h"

// Builds the tables the evaluation reads, once per test program.
inline void evalTestInit() {
  static bool done = false;
  if (done) return;
  initTables();
  mirrorPieceSquareTables();
  allocatePawnHash();
  done = true;
}

// A board set from fen, or null when the text is refused.
inline std::unique_ptr<Board> boardFromFen(const char* fen) {
  evalTestInit();
  std::unique_ptr<Board> b(new Board());
  if (!boardSetFEN(*b, fen)) return nullptr;
  return b;
}
