// The king-and-pawn table against a solution found through the board's own
// move generator and rules, and against textbook positions.
#include <gtest/gtest.h>

#include "eval/eval.h"
#include "eval/kpk.h"
#include "test_support.h"

namespace {

constexpr int POSITIONS = 262144;

// Bit index of a position with a white pawn on files a-d.
int tableIndex(bool whiteToMove, int pawn, int whiteKing, int blackKing) {
  return (whiteToMove ? 131072 : 0) + ((pawn >> 3) * 4 + (pawn & 7)) * 4096 + whiteKing * 64 + blackKing;
}

// FEN of white king, white pawn and black king.
void kpkFen(char* out, size_t size, bool whiteToMove, int pawn, int wk, int bk) {
  char cells[64];
  for (int s = 0; s < 64; s++) cells[s] = 0;
  cells[pawn] = 'P';
  cells[wk] = 'K';
  cells[bk] = 'k';
  size_t n = 0;
  for (int r = 7; r >= 0; r--) {
    int empty = 0;
    for (int f = 0; f < 8; f++) {
      char c = cells[r * 8 + f];
      if (!c) {
        empty++;
        continue;
      }
      if (empty) out[n++] = char('0' + empty);
      empty = 0;
      out[n++] = c;
    }
    if (empty) out[n++] = char('0' + empty);
    if (r) out[n++] = '/';
  }
  snprintf(out + n, size - n, " %c - - 0 1", whiteToMove ? 'w' : 'b');
}

// After a promotion, black to move: won when the new queen or rook cannot be
// taken and black is not stalemated (such endings are won outright).
bool promotionWins(Board& b) {
  if ((b.pieces[WHITE][QUEEN] | b.pieces[WHITE][ROOK]) == 0) return false;
  MoveSlot list[MAX_MOVES];
  u32 n = legalMoves(b, list);
  for (u32 i = 0; i < n; i++)
    if (moveCaptured(list[i].move)) return false;
  return n > 0 || boardInCheck(b);
}

// Child codes beside real table indices.
constexpr int CHILD_WIN = -1;
constexpr int CHILD_DRAW = -2;

// Every position's win/draw value, solved by repeated passes over the game graph.
std::vector<char> solveWithBoard() {
  std::vector<int> first(POSITIONS + 1, 0), children;
  std::vector<char> legal(POSITIONS, 0), win(POSITIONS, 0), mated(POSITIONS, 0);
  children.reserve(POSITIONS * 6);
  auto board = std::unique_ptr<Board>(new Board());
  Board& b = *board;
  char fen[128];
  MoveSlot list[MAX_MOVES];

  // 1. Build the graph from the board's legal moves.
  for (int i = 0; i < POSITIONS; i++) {
    first[i] = int(children.size());
    bool whiteToMove = i >= 131072;
    int slot = (i >> 12) & 31;
    int pawn = (slot >> 2) * 8 + (slot & 3);
    int wk = (i >> 6) & 63, bk = i & 63;
    if (slot >= 28 || pawn < 8 || wk == bk || wk == pawn || bk == pawn) continue;
    kpkFen(fen, sizeof fen, whiteToMove, pawn, wk, bk);
    if (!boardSetFEN(b, fen)) continue;
    if (isSquareAttacked(b, b.kingSquare[b.opponent], b.side)) continue;
    legal[i] = 1;
    u32 n = legalMoves(b, list);
    if (n == 0) mated[i] = boardInCheck(b);
    for (u32 k = 0; k < n; k++) {
      Move m = list[k].move;
      makeMove(b, m);
      if (b.pieces[WHITE][PAWN]) {
        children.push_back(
            tableIndex(b.side == WHITE, lsb(b.pieces[WHITE][PAWN]), b.kingSquare[WHITE], b.kingSquare[BLACK]));
      } else {
        children.push_back(promotionWins(b) ? CHILD_WIN : CHILD_DRAW);
      }
      unmakeMove(b, m);
    }
  }
  first[POSITIONS] = int(children.size());

  // 2. Grow the set of wins: white needs one winning move, black loses when
  // all of its moves lose (or when mated).
  for (int i = 0; i < POSITIONS; i++) win[i] = mated[i];
  bool changed = true;
  while (changed) {
    changed = false;
    for (int i = 0; i < POSITIONS; i++) {
      if (!legal[i] || win[i] || first[i] == first[i + 1]) continue;
      bool whiteToMove = i >= 131072;
      bool any = false, all = true;
      for (int k = first[i]; k < first[i + 1]; k++) {
        int c = children[k];
        bool w = c == CHILD_WIN || (c >= 0 && win[c]);
        any |= w;
        all &= w;
      }
      if (whiteToMove ? any : all) {
        win[i] = 1;
        changed = true;
      }
    }
  }
  return win;
}

}  // namespace

TEST(EvalKpk, TableMatchesASolutionThroughTheBoardRules) {
  evalTestInit();
  std::vector<char> win = solveWithBoard();
  int mismatches = 0, wins = 0;
  for (int i = 0; i < POSITIONS; i++) {
    bool bit = (kpkBitbase[i >> 5] >> (i & 31)) & 1;
    wins += bit;
    if (bit != bool(win[i]) && ++mismatches <= 5) ADD_FAILURE() << "index " << i << " table " << bit;
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(wins, 100000);
  // Pawns on the first rank are never set.
  for (int side = 0; side < 2; side++)
    for (int file = 0; file < 4; file++)
      for (int w = 0; w < 128; w++) EXPECT_EQ(kpkBitbase[(side * 131072 + file * 4096) / 32 + w], 0u);
}

TEST(EvalKpk, GenerationIsTheSameEveryTime) {
  static u32 again[KPK_WORDS];
  kpkGenerate(again);
  for (int i = 0; i < KPK_WORDS; i++) ASSERT_EQ(again[i], kpkBitbase[i]) << i;
}

TEST(EvalKpk, TextbookPositions) {
  // Rook pawn with the defender in the corner: drawn whoever moves.
  EXPECT_EQ(evalFen("k7/8/2K5/P7/8/8/8/8 w - - 0 1"), 0);
  EXPECT_EQ(evalFen("k7/8/2K5/P7/8/8/8/8 b - - 0 1"), 0);
  // King on the sixth rank in front of its pawn: won whoever moves.
  EXPECT_EQ(evalFen("4k3/8/4K3/4P3/8/8/8/8 w - - 0 1"), 132);
  EXPECT_EQ(evalFen("4k3/8/4K3/4P3/8/8/8/8 b - - 0 1"), -132);
  // Pawn on the seventh behind the defender: stalemate with black to move.
  EXPECT_EQ(evalFen("4k3/4P3/4K3/8/8/8/8/8 b - - 0 1"), 0);
  EXPECT_EQ(evalFen("4k3/4P3/4K3/8/8/8/8/8 w - - 0 1"), 148);
  // The rule of the square: the pawn runs unless the king steps inside.
  EXPECT_EQ(evalFen("8/8/4k3/P7/8/8/8/7K w - - 0 1"), 132);
  EXPECT_EQ(evalFen("8/8/4k3/P7/8/8/8/7K b - - 0 1"), 0);
  // Black pawns and pawns on the other wing: the same seen from the other side.
  EXPECT_EQ(evalFen("8/8/8/8/8/2k5/7p/1K6 b - - 0 1"), 148);
  EXPECT_EQ(evalFen("7k/8/8/8/p7/4K3/8/8 b - - 0 1"), 132);
  EXPECT_EQ(evalFen("7k/8/8/8/p7/4K3/8/8 w - - 0 1"), 0);
  EXPECT_EQ(evalFen("8/8/3k4/7P/8/8/8/K7 w - - 0 1"), 132);
}
