// FEN and X-FEN input and output, the board diagram and the fixed positions.
#include "board/fen.h"

#include <cstdio>
#include <cstring>

#include "board/bitboard.h"
#include "board/castling.h"
#include "board/makemove.h"
#include "board/zobrist.h"

namespace {

const char* const blackLetters = " pnbrqk";
const char* const whiteLetters = " PNBRQK";

// Piece type of a FEN letter (0 if none); colour through *white.
int pieceFromLetter(char c, bool* white) {
  for (int t = PAWN; t <= KING; t++) {
    if (c == whiteLetters[t]) return *white = true, t;
    if (c == blackLetters[t]) return *white = false, t;
  }
  return 0;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// What the text says, before anything touches the board.
struct ParsedFen {
  i8 grid[64];  // +type white, -type black
  int side;
  u8 castling;
  i8 rookFile[4];  // per right bit K Q k q: the file a letter named, -1 outermost
  u8 epFile;
  u8 halfmove;
  u32 moveNumber;
};

// K, Q, k or q (right bit 1 << index): that wing, with its outermost rook.
void addWingRight(ParsedFen& f, int index) {
  f.castling |= u8(1 << index);
  f.rookFile[index] = -1;
}

// An X-FEN file letter: the right of the wing of the colour's rook on that
// file of its back rank; a letter naming no such rook (or the king's file) is
// ignored.
void addRookFileRight(ParsedFen& f, int colour, int file, int kingFile) {
  const int base = colour == WHITE ? 0 : 56;
  if (file == kingFile || f.grid[base + file] != (colour == WHITE ? ROOK : -ROOK)) return;
  const int index = (colour == WHITE ? 0 : 2) + (file > kingFile ? 0 : 1);
  f.castling |= u8(1 << index);
  f.rookFile[index] = i8(file);
}

// Reads the half-move clock (all digits, saturating) and the move number.
void parseCounters(const char* p, ParsedFen& f) {
  if (*p == '-') {
    p++;
  } else if (isDigit(*p)) {
    u32 clock = 0;
    while (isDigit(*p)) {
      clock = clock * 10 + u32(*p - '0');
      if (clock > 255) clock = 255;
      p++;
    }
    f.halfmove = u8(clock);
  } else {
    return;
  }
  while (*p == ' ') p++;
  if (!isDigit(*p)) return;
  u32 number = 0;
  while (isDigit(*p)) {
    number = number * 10 + u32(*p - '0');
    if (number > 100000) number = 100000;
    p++;
  }
  if (number > 0) f.moveNumber = number;
}

// Parses the text; false for anything malformed. Never writes outside the grid.
bool parseFen(const char* fen, ParsedFen& f) {
  memset(&f, 0, sizeof f);
  memset(f.rookFile, -1, sizeof f.rookFile);
  f.moveNumber = 1;
  int kingFile[2] = {0, 0};
  int rank = 7, file = 0, count = 0;
  const char* p = fen;
  // Field 1: placement.
  for (;;) {
    const char c = *p;
    bool white = false;
    int type = 0;
    if (c >= '1' && c <= '8') {
      file += c - '0';
      count += c - '0';
      if (file > 8) return false;
    } else if (c == '/') {
      if (rank == 0) return false;
      count += 8 - file;
      rank--;
      file = 0;
    } else if (c == ' ') {
      p++;
      break;
    } else if ((type = pieceFromLetter(c, &white)) != 0) {
      if (file >= 8) return false;
      f.grid[rank * 8 + file] = i8(white ? type : -type);
      if (type == KING) kingFile[white ? WHITE : BLACK] = file;
      file++;
      count++;
    } else {
      return false;
    }
    p++;
    if (count >= 64) {
      if (*p != ' ') return false;
      p++;
      break;
    }
  }
  // Field 2: side to move.
  if (*p == 'w')
    f.side = WHITE;
  else if (*p == 'b')
    f.side = BLACK;
  else
    return false;
  p++;
  if (*p != ' ') return true;
  p++;
  // Field 3: castling.
  if (*p == '-') {
    p++;
    if (*p != ' ') return true;
    p++;
  } else if (*p == ' ') {
    p++;
  } else {
    for (int i = 0;; i++) {
      const char c = *p;
      if (c == 'K')
        addWingRight(f, 0);
      else if (c == 'Q')
        addWingRight(f, 1);
      else if (c == 'k')
        addWingRight(f, 2);
      else if (c == 'q')
        addWingRight(f, 3);
      else if (c >= 'A' && c <= 'H')
        addRookFileRight(f, WHITE, c - 'A', kingFile[WHITE]);
      else if (c >= 'a' && c <= 'h')
        addRookFileRight(f, BLACK, c - 'a', kingFile[BLACK]);
      else
        return false;
      p++;
      if (*p == '\0') return true;  // a FEN cut after its rights keeps them
      if (*p == ' ') {
        p++;
        break;
      }
      if (i == 3) return true;
    }
  }
  // Field 4: en passant.
  if (*p == '-') {
    p++;
  } else if (*p >= 'a' && *p <= 'h' && p[1] == (f.side == WHITE ? '6' : '3')) {
    f.epFile = u8(*p - 'a' + 1);
    p += 2;
  } else {
    return false;
  }
  if (*p != ' ') return true;
  p++;
  // Fields 5 and 6: clock and move number.
  parseCounters(p, f);
  return true;
}

// Rejects positions the generators and makeMove cannot handle.
bool gridIsPlayable(const ParsedFen& f) {
  int counts[2][8] = {};
  for (int s = 0; s < 64; s++) {
    const int code = f.grid[s];
    if (code == 0) continue;
    const int colour = code > 0 ? WHITE : BLACK, type = code > 0 ? code : -code;
    counts[colour][type]++;
    if (type == PAWN && (s < 8 || s >= 56)) return false;
  }
  for (int c = 0; c < 2; c++) {
    const int* n = counts[c];
    if (n[KING] != 1 || n[PAWN] > 8) return false;
    if (n[PAWN] + n[KNIGHT] + n[BISHOP] + n[ROOK] + n[QUEEN] + n[KING] > 16) return false;
    int promoted = 0;
    if (n[KNIGHT] > 2) promoted += n[KNIGHT] - 2;
    if (n[BISHOP] > 2) promoted += n[BISHOP] - 2;
    if (n[ROOK] > 2) promoted += n[ROOK] - 2;
    if (n[QUEEN] > 1) promoted += n[QUEEN] - 1;
    if (promoted > 8 - n[PAWN]) return false;
  }
  return true;
}

// Sets the position part of the record (everything before the stacks).
void placeGrid(Board& nb, const ParsedFen& f) {
  memset(&nb, 0, offsetof(Board, undoCount));
  nb.kingSquare[BLACK] = 4;
  nb.kingSquare[WHITE] = 60;
  for (int s = 0; s < 64; s++) {
    const int code = f.grid[s];
    if (code == 0) continue;
    const int c = code > 0 ? WHITE : BLACK, t = code > 0 ? code : -code;
    const u64 bit = 1ull << s;
    nb.pieces[c][t] |= bit;
    nb.byColour[c] |= bit;
    nb.occupied |= bit;
    nb.squares[s] = u8(t);
    nb.material[c] += pieceValue[t];
    nb.materialSignature += signatureStep[c][t];
    nb.phase[c] += phaseWeight[t];
    if (t == KING) nb.kingSquare[c] = s;
  }
  nb.side = f.side;
  nb.opponent = f.side ^ 1;
  nb.castling = f.castling;
  nb.epFile = f.epFile;
  nb.halfmove = f.halfmove;
  const int phaseSum = nb.phase[0] + nb.phase[1];
  nb.stage = stageTable[phaseSum < 24 ? phaseSum : 24];
  setupCastling(nb, f.rookFile);
  // An en-passant file is kept only with the pushed pawn behind an empty
  // target square, so the capture generator never takes a missing pawn.
  if (nb.epFile) {
    const int target = (nb.side == WHITE ? 40 : 16) + nb.epFile - 1;
    const int pawn = nb.side == WHITE ? target - 8 : target + 8;
    if (nb.squares[target] != 0 || !(nb.pieces[nb.opponent][PAWN] & (1ull << pawn))) nb.epFile = 0;
  }
  nb.key = boardComputeKey(nb);
  nb.pawnKey = boardComputePawnKey(nb);
}

// Copies the position part and starts fresh stacks.
void adoptPosition(Board& b, const Board& nb, u32 moveNumber) {
  memcpy(&b, &nb, offsetof(Board, undoCount));
  b.undoCount = 0;
  b.keyCount = 0;
  b.startMoveNumber = moveNumber;
  b.startSide = b.side;
  b.droppedPlies = 0;
}

// K, Q, k or q for a right when that names its castling rook, else the
// rook's file letter (X-FEN: an inner rook).
char castlingLetter(const Board& b, int colour, bool kingSide) {
  const int rook = kingSide ? b.rookStartKingSide[colour] : b.rookStartQueenSide[colour];
  const int outer = castlingOutermostRook(b, colour, kingSide);
  if (outer < 0 || outer == rook) return (colour == WHITE ? "QK" : "qk")[kingSide];
  return char((colour == WHITE ? 'A' : 'a') + squareFile(rook));
}

}  // namespace

// All parsing and checking happens on local records first.
bool boardSetFEN(Board& b, const char* fen) {
  if (fen == nullptr) return false;
  ParsedFen f;
  if (!parseFen(fen, f) || !gridIsPlayable(f)) return false;
  static Board scratch;  // only the position part is used
  placeGrid(scratch, f);
  // The side not to move must not be in check.
  if (isSquareAttacked(scratch, scratch.kingSquare[scratch.opponent], scratch.side)) return false;
  adoptPosition(b, scratch, f.moveNumber);
  return true;
}

// Placement, side, rights, en-passant square, clock and move number.
void boardGetFEN(const Board& b, char* out, size_t size) {
  if (out == nullptr || size == 0) return;
  char text[FEN_BUFFER_SIZE];
  size_t n = 0;
  for (int rank = 7; rank >= 0; rank--) {
    int empty = 0;
    for (int file = 0; file < 8; file++) {
      const int s = rank * 8 + file;
      const int t = b.squares[s];
      if (t == 0) {
        empty++;
        continue;
      }
      if (empty) text[n++] = char('0' + empty), empty = 0;
      text[n++] = (b.byColour[WHITE] >> s) & 1 ? whiteLetters[t] : blackLetters[t];
    }
    if (empty) text[n++] = char('0' + empty);
    if (rank) text[n++] = '/';
  }
  text[n++] = ' ';
  text[n++] = b.side == WHITE ? 'w' : 'b';
  text[n++] = ' ';
  if (b.castling & 15) {
    if (b.castling & CASTLE_WK) text[n++] = castlingLetter(b, WHITE, true);
    if (b.castling & CASTLE_WQ) text[n++] = castlingLetter(b, WHITE, false);
    if (b.castling & CASTLE_BK) text[n++] = castlingLetter(b, BLACK, true);
    if (b.castling & CASTLE_BQ) text[n++] = castlingLetter(b, BLACK, false);
  } else {
    text[n++] = '-';
  }
  text[n++] = ' ';
  if (b.epFile) {
    text[n++] = char('a' + b.epFile - 1);
    text[n++] = b.side == WHITE ? '6' : '3';
  } else {
    text[n++] = '-';
  }
  const u32 plies = b.droppedPlies + b.undoCount + (b.startSide == BLACK ? 1 : 0);
  const u32 moveNumber = (b.startMoveNumber ? b.startMoveNumber : 1) + plies / 2;
  snprintf(text + n, sizeof text - n, " %d %u", int(b.halfmove), moveNumber);
  snprintf(out, size, "%s", text);
}

// Ranks 8 to 1 between separator lines, then the side to move.
void printBoard(const Board& b, void (*writeLine)(const char* text)) {
  const char* separator = "|---|---|---|---|---|---|---|---|";
  writeLine(separator);
  for (int rank = 7; rank >= 0; rank--) {
    char line[40];
    size_t n = 0;
    line[n++] = '|';
    for (int file = 0; file < 8; file++) {
      const int s = rank * 8 + file;
      line[n++] = ' ';
      line[n++] = (b.byColour[WHITE] >> s) & 1 ? whiteLetters[b.squares[s]] : blackLetters[b.squares[s]];
      line[n++] = ' ';
      line[n++] = '|';
    }
    line[n] = '\0';
    writeLine(line);
    writeLine(separator);
  }
  writeLine(b.side == WHITE ? "White to play" : "Black to play");
}

void boardSetStart(Board& b) { boardSetFEN(b, START_FEN); }

// The empty record of a fresh engine.
void boardClear(Board& b) {
  memset(&b, 0, offsetof(Board, undoCount));
  b.side = WHITE;
  b.opponent = BLACK;
  b.castling = 15;
  b.stage = stageTable[0];
  b.kingStart[BLACK] = b.kingSquare[BLACK] = 4;
  b.kingStart[WHITE] = b.kingSquare[WHITE] = 60;
  b.rookStartKingSide[BLACK] = 63;
  b.rookStartKingSide[WHITE] = 7;
  b.rookStartQueenSide[BLACK] = 56;
  b.rookStartQueenSide[WHITE] = 0;
  b.key = boardComputeKey(b);
  b.undoCount = 0;
  b.keyCount = 0;
  b.startMoveNumber = 1;
  b.startSide = WHITE;
  b.droppedPlies = 0;
}

// Rebuilds sets, counts and keys from the pieces and compares.
bool boardIsConsistent(const Board& b) {
  if (b.opponent != (b.side ^ 1) || (b.side & ~1)) return false;
  u64 all[2] = {0, 0};
  i32 material[2] = {0, 0}, phase[2] = {0, 0};
  u64 signature = 0;
  for (int c = 0; c < 2; c++) {
    if (b.pieces[c][0] || b.pieces[c][7]) return false;
    for (int t = PAWN; t <= KING; t++) {
      if (all[0] & b.pieces[c][t] || all[1] & b.pieces[c][t]) return false;
      all[c] |= b.pieces[c][t];
      const int n = popCount(b.pieces[c][t]);
      material[c] += n * pieceValue[t];
      phase[c] += n * phaseWeight[t];
      signature += u64(n) * signatureStep[c][t];
      for (u64 bits = b.pieces[c][t]; bits;)
        if (b.squares[popLsb(bits)] != t) return false;
    }
    if (all[c] != b.byColour[c] || material[c] != b.material[c] || phase[c] != b.phase[c]) return false;
    if (b.pieces[c][KING] != (1ull << b.kingSquare[c])) return false;
  }
  if (b.occupied != (all[0] | all[1])) return false;
  for (int s = 0; s < 64; s++)
    if ((b.squares[s] == 0) != !((b.occupied >> s) & 1)) return false;
  const int phaseSum = phase[0] + phase[1];
  if (signature != b.materialSignature || b.stage != stageTable[phaseSum < 24 ? phaseSum : 24]) return false;
  if (b.undoCount != b.keyCount) return false;
  return b.key == boardComputeKey(b) && b.pawnKey == boardComputePawnKey(b);
}
