// Book builder: PGN games in, book file out.
#include "book/builder.h"

#include <cstdio>
#include <memory>

#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "book/book.h"
#include "search/engine.h"

namespace {

// Returns the piece type a SAN piece or promotion letter names, or 0.
int sanPieceLetter(char c) {
  switch (c) {
    case 'N':
      return KNIGHT;
    case 'B':
      return BISHOP;
    case 'R':
      return ROOK;
    case 'Q':
      return QUEEN;
    case 'K':
      return KING;
    default:
      return EMPTY;
  }
}

constexpr bool isFileLetter(char c) { return c >= 'a' && c <= 'h'; }
constexpr bool isRankDigit(char c) { return c >= '1' && c <= '8'; }

// True when the text holds nothing but check, mate and annotation marks.
bool sanOnlyMarks(const char* text) {
  for (; *text; text++)
    if (*text != '+' && *text != '#' && *text != '!' && *text != '?') return false;
  return true;
}

// Returns the generated castling move of the side to move onto the rook of
// the standard corner (king side or queen side), or MOVE_NONE.
Move sanCastling(Board& board, const MoveSlot* list, u32 count, bool kingSide) {
  const int from = board.side == WHITE ? 4 : 60;
  const int to = from + (kingSide ? 3 : -4);
  for (u32 i = 0; i < count; i++) {
    Move m = list[i].move;
    if (moveIsCastling(m) && moveFrom(m) == from && moveTo(m) == to)
      return moveLeavesKingSafe(board, m) ? m : MOVE_NONE;
  }
  return MOVE_NONE;
}

}  // namespace

// Returns the move a SAN text names in the board's position, or MOVE_NONE.
Move sanToMove(Board& board, const char* san) {
  // 1. The moves of the position, in generation order.
  MoveSlot list[MAX_MOVES];
  const bool inCheck = isSquareAttacked(board, board.kingSquare[board.side], board.opponent);
  const u32 count = generateMoves(board, list, inCheck);

  // 2. Castling, with at most check and annotation marks behind it.
  if (san[0] == 'O' && san[1] == '-' && san[2] == 'O') {
    if (sanOnlyMarks(san + 3)) return sanCastling(board, list, count, true);
    if (san[3] == '-' && san[4] == 'O' && sanOnlyMarks(san + 5)) return sanCastling(board, list, count, false);
  }

  // 3. The piece: a letter, or a file letter for a pawn (not consumed).
  int i = 0, piece;
  if (isFileLetter(san[0])) {
    piece = PAWN;
  } else {
    piece = sanPieceLetter(san[0]);
    if (piece == EMPTY) return MOVE_NONE;
    i = 1;
  }

  // 4. Disambiguation: a from-rank, or a from-file followed by a file or "x".
  int fromRank = -1, fromFile = -1;
  if (isRankDigit(san[i])) {
    fromRank = san[i++] - '1';
  } else if (isFileLetter(san[i]) && (isFileLetter(san[i + 1]) || san[i + 1] == 'x')) {
    fromFile = san[i++] - 'a';
  }
  if (san[i] == 'x') i++;

  // 5. The target square.
  if (!isFileLetter(san[i]) || !isRankDigit(san[i + 1])) return MOVE_NONE;
  const int to = makeSquare(san[i] - 'a', san[i + 1] - '1');
  i += 2;

  // 6. Promotion: "=Q" and also the bare "Q" that many files write. A pawn
  //    reaching the last rank must promote; nothing else may.
  const bool lastRank = piece == PAWN && (squareRank(to) == 7 || squareRank(to) == 0);
  int promotion = EMPTY;
  if (san[i] == '=') {
    promotion = sanPieceLetter(san[i + 1]);
    if (promotion == EMPTY || promotion == KING || !lastRank) return MOVE_NONE;
  } else if (lastRank) {
    promotion = sanPieceLetter(san[i]);
    if (promotion == EMPTY || promotion == KING) return MOVE_NONE;
  }

  // 7. The first legal generated move of the piece to the target from the
  //    named rank or file. A pinned piece never fits: a SAN text leaves out
  //    the file of a knight that cannot legally move there.
  for (u32 k = 0; k < count; k++) {
    Move m = list[k].move;
    if (moveIsCastling(m) || movePiece(m) != piece || moveTo(m) != to) continue;
    if (fromRank >= 0 && squareRank(moveFrom(m)) != fromRank) continue;
    if (fromFile >= 0 && squareFile(moveFrom(m)) != fromFile) continue;
    if (!moveLeavesKingSafe(board, m)) continue;
    if (moveIsEnPassant(m)) return m;
    const int from = moveFrom(m);
    const bool doubleStep = piece == PAWN && (from - to == 16 || to - from == 16);
    return makeMoveValue(from, to, piece, board.squares[to], promotion, doubleStep ? MOVE_DOUBLE : 0);
  }
  return MOVE_NONE;
}

// Replays every kept line and offers its (position, move) pairs to the store.
void bookAddLines(Board& board, const LineRecords& lineRecords, i32 minCount) {
  for (const LineRecord& line : lineRecords.lines) {
    // 1. Lines of too few games are passed over (signed: minCount 1 or less keeps all).
    if (static_cast<i32>(line.games) < minCount || line.games == 0) continue;
    // 2. Result percentages, kept as the low byte.
    const u8 pctA = static_cast<u8>(line.whiteWins * 100u / line.games);
    const u8 pctB = static_cast<u8>(line.blackWins * 100u / line.games);
    // 3. From the start position, text by text, until a text names no move.
    boardSetStart(board);
    const u32 count = line.count < LINE_MAX_PLIES ? line.count : LINE_MAX_PLIES;
    for (u32 k = 0; k < count; k++) {
      Move move = sanToMove(board, line.san[k]);
      if (move == MOVE_NONE) break;
      bookAddMove(board.key, move, line.games, pctA, pctB);
      makeMove(board, move);
    }
  }
  boardSetStart(board);
}

// Builds a book file from PGN games; 0 when the games cannot be read or the
// book cannot be written.
i32 Engine::buildBook(const char* pgnPath, const char* bookPath, i32 depth, i32 minCount) {
  // 1. The games.
  FILE* pgn = std::fopen(pgnPath, "rb");
  if (!pgn) return 0;
  // A file that cannot be read to its end would give a partial book.
  std::unique_ptr<LineRecords> lineRecords(new LineRecords);
  const bool readWhole = pgnReadGames(pgn, depth, *lineRecords);
  std::fclose(pgn);
  if (!readWhole) return 0;

  // 2. Their lines into the store.
  newGame();
  bookAddLines(board, *lineRecords, minCount);
  lineRecords.reset();

  // 3. The book file. A file that cannot be created or written fully is a
  //    failed build; what was written of it is short, so no loader takes it.
  i32 result = 0;
  FILE* book = std::fopen(bookPath, "wb");
  if (book) {
    bookSort();
    bool written = bookWrite(book);
    written = std::fclose(book) == 0 && written;
    result = written ? 1 : 0;
  }

  // 4. Leave the engine in the start position.
  newGame();
  return result;
}
