// Move text: long algebraic output and coordinate input.
#include "board/movetext.h"

#include <cstdio>

namespace {
const char* const pieceLetters = "  NBRQK";
}  // namespace

// Castling as O-O / O-O-O, else piece, from, x or -, to, e.p, =P, + or #.
void moveToText(const MoveSlot& slot, char* out) {
  const Move m = slot.move;
  size_t n = 0;
  if (m == MOVE_NONE) {
    out[0] = '\0';
    return;
  }
  const int from = moveFrom(m), to = moveTo(m);
  if (moveIsCastling(m)) {
    snprintf(out, 16, "%s", squareFile(to) > squareFile(from) ? "O-O" : "O-O-O");
    return;
  }
  if (pieceLetters[movePiece(m)] != ' ') out[n++] = pieceLetters[movePiece(m)];
  out[n++] = char('a' + squareFile(from));
  out[n++] = char('1' + squareRank(from));
  out[n++] = moveCaptured(m) ? 'x' : '-';
  out[n++] = char('a' + squareFile(to));
  out[n++] = char('1' + squareRank(to));
  if (moveIsEnPassant(m)) out[n++] = 'e', out[n++] = '.', out[n++] = 'p';
  if (movePromotion(m)) out[n++] = '=', out[n++] = pieceLetters[movePromotion(m)];
  if (moveMark(m) == 1) out[n++] = '+';
  if (moveMark(m) == 2) out[n++] = '#';
  out[n] = '\0';
}

// Castling words, else four coordinate characters and an optional
// promotion letter; the moving piece decides the flags.
Move moveFromText(const Board& b, const char* text, int length, bool chess960) {
  const int us = b.side;
  if (text == nullptr || length < 1) return MOVE_NONE;
  // 1. Castling words.
  if (text[0] == 'O') {
    if (length < 3 || text[1] != '-' || text[2] != 'O') return MOVE_NONE;
    const bool queenSide = length >= 5 && text[3] == '-' && text[4] == 'O';
    const int to = queenSide ? b.rookStartQueenSide[us] : b.rookStartKingSide[us];
    return makeMoveValue(b.kingStart[us], to, KING, 0, 0, MOVE_CASTLE);
  }
  // 2. Coordinates and promotion letter.
  if (length < 4) return MOVE_NONE;
  if (text[0] < 'a' || text[0] > 'h' || text[1] < '1' || text[1] > '8' || text[2] < 'a' || text[2] > 'h' ||
      text[3] < '1' || text[3] > '8')
    return MOVE_NONE;
  const int from = makeSquare(text[0] - 'a', text[1] - '1');
  int to = makeSquare(text[2] - 'a', text[3] - '1');
  int promotion = 0;
  if (length == 5) {
    switch (text[4]) {
      case 'q':
        promotion = QUEEN;
        break;
      case 'r':
        promotion = ROOK;
        break;
      case 'b':
        promotion = BISHOP;
        break;
      case 'n':
        promotion = KNIGHT;
        break;
      default:
        return MOVE_NONE;
    }
  }
  // 3. Piece and flags.
  const int piece = b.squares[from];
  int captured = b.squares[to];
  u32 flags = 0;
  if (piece == PAWN) {
    const int rankDiff = squareRank(to) - squareRank(from);
    if (rankDiff == 2 || rankDiff == -2) flags |= MOVE_DOUBLE;
    if (!captured && squareFile(from) != squareFile(to) && b.epFile) {
      flags |= MOVE_EP;
      captured = PAWN;
    }
    // A push to the last rank without a letter promotes to a queen.
    if (!promotion && (squareRank(to) == 7 || squareRank(to) == 0)) promotion = QUEEN;
  } else if (piece == KING) {
    // Only a king on e1/e8 that may still castle that way reads "e1g1" as
    // castling: set from a FEN without rights, a king on f2 has its start
    // there, and "f2g1" is then an ordinary king move; so is "b1c1" of a
    // king on b1, which standard notation cannot mean as castling.
    if (!chess960 && from == b.kingStart[us] && from == (us == WHITE ? 4 : 60)) {
      if (to == (us == WHITE ? 6 : 62) && (b.castling & (us == WHITE ? CASTLE_WK : CASTLE_BK)))
        to = b.rookStartKingSide[us];
      else if (to == (us == WHITE ? 2 : 58) && (b.castling & (us == WHITE ? CASTLE_WQ : CASTLE_BQ)))
        to = b.rookStartQueenSide[us];
    }
    if (from == b.kingStart[us] && (to == b.rookStartKingSide[us] || to == b.rookStartQueenSide[us]) &&
        (b.pieces[us][ROOK] & (1ull << to))) {
      flags |= MOVE_CASTLE;
      captured = 0;
    } else {
      captured = b.squares[to];
    }
  }
  if (piece != PAWN) promotion = 0;
  // 4. The move.
  return makeMoveValue(from, to, piece, captured, promotion, flags);
}
