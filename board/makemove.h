// Making and unmaking moves, and the attack test used for check and
// legality. Both move operations update every field incrementally.
#pragma once

#include "board/bitboard.h"
#include "board/types.h"
#include "board/zobrist.h"

// True when a piece of colour `by` attacks `square` over occupancy `occ`.
inline bool isSquareAttackedOcc(const Board& b, int square, int by, u64 occ) {
  const u64* p = b.pieces[by];
  return (p[PAWN] & pawnAttacks[by ^ 1][square]) || (p[KNIGHT] & knightAttacks[square]) ||
         ((p[BISHOP] | p[QUEEN]) & bishopAttacks(square, occ)) || ((p[ROOK] | p[QUEEN]) & rookAttacks(square, occ)) ||
         (p[KING] & kingAttacks[square]);
}

// True when a piece of colour `by` attacks `square` on the current occupancy.
inline bool isSquareAttacked(const Board& b, int square, int by) {
  return isSquareAttackedOcc(b, square, by, b.occupied);
}

// True when the side to move is in check.
inline bool boardInCheck(const Board& b) { return isSquareAttacked(b, b.kingSquare[b.side], b.opponent); }

// Stack capacity kept free for a search above the moves of a game.
constexpr u32 STACK_RESERVE = 256;

// Drops the oldest undo records and keys when a long game nears the stack
// capacity, keeping the most recent ones (more than any repetition window).
void boardMakeRoom(Board& b);

// King and rook destinations of a castling move (the king side when the
// rook stands above the king).
inline int castleKingTo(int us, int from, int to) { return us == WHITE ? (from < to ? 6 : 2) : (from < to ? 62 : 58); }
inline int castleRookTo(int us, int from, int to) { return us == WHITE ? (from < to ? 5 : 3) : (from < to ? 61 : 59); }

// Moves a castling rook; in Chess960 the king may stand on either square, so
// the source is cleared before the target is set.
inline void boardShiftRook(Board& b, int us, int from, int to) {
  const u64 fromBit = 1ull << from, toBit = 1ull << to;
  b.occupied ^= fromBit;
  b.byColour[us] ^= fromBit;
  b.pieces[us][ROOK] ^= fromBit;
  b.occupied |= toBit;
  b.byColour[us] |= toBit;
  b.pieces[us][ROOK] |= toBit;
  b.squares[from] = 0;
  b.squares[to] = ROOK;
}

// Plays a pseudo-legal move on the board. Lifts come before puts, so Chess960
// castlings whose squares overlap come out right.
__attribute__((always_inline)) inline void makeMove(Board& b, Move m) {
  const int us = b.side, them = b.opponent;
  const int from = moveFrom(m), to = moveTo(m), piece = movePiece(m);
  const int captured = moveCaptured(m), promotion = movePromotion(m);
  const u8 oldCastling = b.castling;
  // 1. Key history, 2. undo record.
  b.keyHistory[b.keyCount++] = b.key;
  UndoRecord& u = b.undo[b.undoCount++];
  u.key = b.key;
  u.pawnKey = b.pawnKey;
  u.move = m;
  u.castling = b.castling;
  u.epFile = b.epFile;
  u.halfmove = b.halfmove;
  // 3. Half-move clock (kept at 255 once there).
  b.halfmove = (captured || piece == PAWN) ? 0 : u8(b.halfmove + (b.halfmove < 255));
  const int dest = moveIsCastling(m) ? castleKingTo(us, from, to) : to;
  // 4. Lift the piece.
  const u64 fromBit = 1ull << from;
  b.occupied ^= fromBit;
  b.byColour[us] ^= fromBit;
  b.pieces[us][piece] ^= fromBit;
  u64 key = b.key ^ pieceKeys[piece * 2 + us][from];
  b.squares[from] = 0;
  // 5. Old en-passant file.
  if (b.epFile) key ^= epKeys[b.epFile - 1];
  // 6. Pawn key of the mover.
  if (piece == PAWN) {
    b.pawnKey ^= pieceKeys[2 + us][from];
    if (!promotion) b.pawnKey ^= pieceKeys[2 + us][dest];
  }
  // 7. The captured piece.
  if (captured) {
    b.materialSignature -= signatureStep[them][captured];
    b.material[them] -= pieceValue[captured];
    b.phase[them] -= phaseWeight[captured];
    int capSquare = dest;
    if (moveIsEnPassant(m)) {
      capSquare = dest + epCaptureOffset[us];
      b.occupied ^= 1ull << capSquare;
      b.squares[capSquare] = 0;
    }
    const u64 capBit = 1ull << capSquare;
    b.byColour[them] ^= capBit;
    b.pieces[them][captured] ^= capBit;
    key ^= pieceKeys[captured * 2 + them][capSquare];
    if (captured == PAWN) b.pawnKey ^= pieceKeys[2 + them][capSquare];
    if (captured == ROOK) {
      if (dest == b.rookStartKingSide[them])
        b.castling &= u8(~(them == WHITE ? CASTLE_WK : CASTLE_BK));
      else if (dest == b.rookStartQueenSide[them])
        b.castling &= u8(~(them == WHITE ? CASTLE_WQ : CASTLE_BQ));
    }
  }
  // 8. King (with the castling rook) or rook: rights.
  if (piece == KING) {
    if (moveIsCastling(m)) {
      const int rookTo = castleRookTo(us, from, to);
      boardShiftRook(b, us, to, rookTo);
      key ^= pieceKeys[8 + us][rookTo] ^ pieceKeys[8 + us][to];
    }
    b.castling &= castleKingMask[us];
    b.kingSquare[us] = dest;
  } else if (piece == ROOK) {
    if (from == b.rookStartKingSide[us])
      b.castling &= u8(~(us == WHITE ? CASTLE_WK : CASTLE_BK));
    else if (from == b.rookStartQueenSide[us])
      b.castling &= u8(~(us == WHITE ? CASTLE_WQ : CASTLE_BQ));
  }
  // 9. Promotion.
  int placed = piece;
  if (promotion) {
    placed = promotion;
    b.materialSignature += signatureStep[us][promotion] - signatureStep[us][PAWN];
    b.material[us] += pieceValue[promotion] - pieceValue[PAWN];
    b.phase[us] += phaseWeight[promotion];
  }
  // 10. Put the placed piece.
  const u64 destBit = 1ull << dest;
  b.occupied |= destBit;
  b.byColour[us] |= destBit;
  b.pieces[us][placed] |= destBit;
  key ^= pieceKeys[placed * 2 + us][dest];
  b.squares[dest] = u8(placed);
  // 11. New en-passant file.
  if (moveIsDoubleStep(m)) {
    key ^= epKeys[dest & 7];
    b.epFile = u8((dest & 7) + 1);
  } else {
    b.epFile = 0;
  }
  // 12. Rights, 13. side, 14. stage.
  if (b.castling != oldCastling) key ^= castleKeys[b.castling] ^ castleKeys[oldCastling];
  b.side = them;
  b.opponent = us;
  b.key = key ^ sideKey;
  const int phaseSum = b.phase[0] + b.phase[1];
  b.stage = stageTable[phaseSum < 24 ? phaseSum : 24];
}

// Takes back the most recent move still in force.
__attribute__((always_inline)) inline void unmakeMove(Board& b, Move m) {
  // 1. Key history, 2. side.
  b.keyCount--;
  const int them = b.side, us = them ^ 1;
  b.opponent = them;
  b.side = us;
  const int from = moveFrom(m), to = moveTo(m), piece = movePiece(m);
  const int captured = moveCaptured(m), promotion = movePromotion(m);
  // 3. Destination and promotion.
  const int dest = moveIsCastling(m) ? castleKingTo(us, from, to) : to;
  int placed = piece;
  if (promotion) {
    placed = promotion;
    b.materialSignature += signatureStep[us][PAWN] - signatureStep[us][promotion];
    b.material[us] += pieceValue[PAWN] - pieceValue[promotion];
    b.phase[us] -= phaseWeight[promotion];
  }
  // 4. Lift the placed piece.
  const u64 destBit = 1ull << dest;
  b.pieces[us][placed] ^= destBit;
  b.byColour[us] ^= destBit;
  if (!captured || moveIsEnPassant(m)) {
    b.occupied ^= destBit;
    b.squares[dest] = 0;
  }
  // 5. Restore the captured piece.
  if (captured) {
    b.materialSignature += signatureStep[them][captured];
    b.material[them] += pieceValue[captured];
    b.phase[them] += phaseWeight[captured];
    int capSquare = dest;
    if (moveIsEnPassant(m)) {
      capSquare = dest + epCaptureOffset[us];
      b.occupied |= 1ull << capSquare;
    }
    const u64 capBit = 1ull << capSquare;
    b.byColour[them] |= capBit;
    b.pieces[them][captured] |= capBit;
    b.squares[capSquare] = u8(captured);
  }
  // 6. King and castling rook.
  if (piece == KING) {
    if (moveIsCastling(m)) {
      boardShiftRook(b, us, castleRookTo(us, from, to), to);
    }
    b.kingSquare[us] = from;
  }
  // 7. Put the piece back.
  const u64 fromBit = 1ull << from;
  b.occupied |= fromBit;
  b.byColour[us] |= fromBit;
  b.pieces[us][piece] |= fromBit;
  b.squares[from] = u8(piece);
  // 8. Undo record.
  const UndoRecord& u = b.undo[--b.undoCount];
  const int phaseSum = b.phase[0] + b.phase[1];
  b.stage = stageTable[phaseSum < 24 ? phaseSum : 24];
  b.key = u.key;
  b.pawnKey = u.pawnKey;
  b.castling = u.castling;
  b.epFile = u.epFile;
  b.halfmove = u.halfmove;
}
