// SAN text of moves, as the test suite writes it: piece letters, twins told
// apart by file or rank, pawn captures, promotions, castling, marks.
#include "app/san.h"
#include "test_support.h"

namespace {

struct ToolsSan : EngineTest {
  // SAN of the legal move from `from` to `to` (promotion piece if given) in `fen`.
  static std::string san(const char* fen, const char* from, const char* to, int promotion = 0) {
    if (!engine->setFEN(fen)) return "bad fen";
    MoveSlot legal[MAX_MOVES];
    const u32 n = legalMoves(board(), legal);
    for (u32 i = 0; i < n; ++i) {
      const Move m = legal[i].move;
      if (moveFrom(m) != sq(from) || moveTo(m) != sq(to) || movePromotion(m) != promotion) continue;
      // Marks as the suite sets them: from the position after the move.
      Move marked = m;
      makeMove(board(), m);
      if (boardInCheck(board())) marked |= countLegalMoves(board()) == 0 ? MOVE_MARK_MATE : MOVE_MARK_CHECK;
      unmakeMove(board(), m);
      char text[SAN_BUFFER_SIZE];
      moveToSan(marked, legal, n, text);
      return text;
    }
    return "no such move";
  }
};

TEST_F(ToolsSan, PiecesAndTwins) {
  EXPECT_EQ(san("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "g1", "f3"), "Nf3");
  EXPECT_EQ(san("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "e2", "e4"), "e4");
  // Knights on b1 and f1 both reach d2: same rank, so the file tells them apart.
  EXPECT_EQ(san("4k3/8/8/8/8/8/8/1N2KN2 w - - 0 1", "b1", "d2"), "Nbd2");
  EXPECT_EQ(san("4k3/8/8/8/8/8/8/1N2KN2 w - - 0 1", "f1", "d2"), "Nfd2");
  // Knights on g1 and g5 both reach f3: same file, so the rank.
  EXPECT_EQ(san("4k3/8/8/6N1/8/8/8/4K1N1 w - - 0 1", "g1", "f3"), "N1f3");
  EXPECT_EQ(san("4k3/8/8/6N1/8/8/8/4K1N1 w - - 0 1", "g5", "f3"), "N5f3");
  // Neither file nor rank shared: the file.
  EXPECT_EQ(san("4k3/8/8/8/8/5N2/2N5/4K3 w - - 0 1", "c2", "d4"), "Ncd4");
  // Three queens on one target: file and rank.
  EXPECT_EQ(san("6k1/8/8/8/Q7/8/8/Q2Q3K w - - 0 1", "a1", "d4"), "Qa1d4");
  // A pinned twin cannot move: no disambiguation.
  EXPECT_EQ(san("4k3/4r3/8/8/8/8/4N3/1N2K3 w - - 0 1", "b1", "c3"), "Nc3");
  // Rook captures and rook twins on one rank.
  EXPECT_EQ(san("4k3/8/8/8/8/8/1r6/R2RK3 w - - 0 1", "a1", "b1"), "Rab1");
  EXPECT_EQ(san("r3k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1", "a8"), "Rxa8+");
}

TEST_F(ToolsSan, PawnsCastlingAndMarks) {
  // Pawn captures name the from-file.
  EXPECT_EQ(san("4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "e4", "d5"), "exd5");
  // Promotions, with and without capture; the other pieces too.
  EXPECT_EQ(san("3r4/4P3/8/8/8/8/8/K6k w - - 0 1", "e7", "e8", 5), "e8=Q");
  EXPECT_EQ(san("3r4/4P3/8/8/8/8/8/K6k w - - 0 1", "e7", "d8", 2), "exd8=N");
  EXPECT_EQ(san("3r4/4P3/8/8/8/8/8/K6k w - - 0 1", "e7", "e8", 4), "e8=R");
  // En passant keeps its suffix in the printed text.
  EXPECT_EQ(san("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2", "e5", "d6"), "exd6e.p");
  // Castling, king to own rook; no mark is written.
  EXPECT_EQ(san("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1", "h1"), "O-O");
  EXPECT_EQ(san("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1", "a1"), "O-O-O");
  EXPECT_EQ(san("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8", "h8"), "O-O");
  EXPECT_EQ(san("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8", "a8"), "O-O-O");
  // Check and mate.
  EXPECT_EQ(san("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "a1", "a8"), "Ra8#");
  EXPECT_EQ(san("6k1/5pp1/8/8/8/8/8/R5K1 w - - 0 1", "a1", "a8"), "Ra8+");
  EXPECT_EQ(san("4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7", "a8", 5), "a8=Q+");
}

}  // namespace
