#include "app/san.h"

// Appends one character, keeping the text terminated and in bounds.
static void appendChar(char* out, size_t& length, char c) {
  if (length + 1 < SAN_BUFFER_SIZE) {
    out[length++] = c;
    out[length] = '\0';
  }
}

// Appends a text.
static void appendText(char* out, size_t& length, const char* text) {
  while (*text) appendChar(out, length, *text++);
}

// Writes the piece letter, disambiguation, capture sign, target, promotion and mark.
void moveToSan(u32 move, const MoveSlot* moves, u32 count, char* out) {
  static const char pieceLetters[] = "  NBRQK";
  size_t length = 0;
  out[0] = '\0';
  if (move == 0) return;
  const int from = moveFrom(move);
  const int to = moveTo(move);

  // 1. Castling goes from the king to its own rook: the rook's side names it.
  if (moveIsCastling(move)) {
    appendText(out, length, (to & 7) > (from & 7) ? "O-O" : "O-O-O");
    return;
  }

  // 2. Piece letter and the from-square parts that tell twins apart.
  const int piece = movePiece(move);
  if (piece != PAWN) {
    appendChar(out, length, pieceLetters[piece]);
    bool needFile = false;
    bool needRank = false;
    for (u32 i = 0; i < count; ++i) {
      const u32 other = moves[i].move;
      if (movePiece(other) != piece || moveTo(other) != to || moveFrom(other) == from) continue;
      if ((moveFrom(other) & 7) == (from & 7)) {
        needRank = true;
      } else {
        needFile = true;
      }
    }
    if (needFile) appendChar(out, length, static_cast<char>('a' + (from & 7)));
    if (needRank) appendChar(out, length, static_cast<char>('1' + (from >> 3)));
  }

  // 3. Capture: a pawn names its file first.
  if (moveCaptured(move) != 0) {
    if (piece == PAWN) appendChar(out, length, static_cast<char>('a' + (from & 7)));
    appendChar(out, length, 'x');
  }

  // 4. Target, en passant, promotion, check or mate.
  appendChar(out, length, static_cast<char>('a' + (to & 7)));
  appendChar(out, length, static_cast<char>('1' + (to >> 3)));
  if (moveIsEnPassant(move)) appendText(out, length, "e.p");
  if (movePromotion(move) != 0) {
    appendChar(out, length, '=');
    appendChar(out, length, pieceLetters[movePromotion(move)]);
  }
  const u32 mark = moveMark(move);
  if (mark == 1) appendChar(out, length, '+');
  if (mark == 2) appendChar(out, length, '#');
}
