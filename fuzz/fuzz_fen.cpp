// FEN and X-FEN text into Engine::setFEN. A rejected text must leave the
// position alone; an accepted one must give a consistent board that reads
// back its own FEN unchanged, whose moves make and unmake cleanly, and that
// whose move texts read back as the same moves, and that evaluates and
// searches (a few hundred nodes) without a fault.
#include <cstring>
#include <string>

#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "eval/eval.h"
#include "fuzz/fuzz_common.h"
#include "protocol/uci.h"
#include "search/engine.h"

// One input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Board* saved = new Board;
  Engine& e = fuzzEngine();
  const std::string text = fuzzText(data, size, 1024);

  // 1. A rejected text changes nothing.
  memcpy(static_cast<void*>(saved), &e.board, sizeof(Board));
  if (!e.setFEN(text.c_str())) {
    if (memcmp(saved, &e.board, sizeof(Board)) != 0) fuzzFail("rejected FEN changed the board", text.c_str());
    return 0;
  }
  Board& b = e.board;
  if (!boardIsConsistent(b)) fuzzFail("inconsistent board after setFEN", text.c_str());

  // 2. The engine's own FEN reads back to the same text.
  char first[FEN_BUFFER_SIZE], second[FEN_BUFFER_SIZE];
  e.getFEN(first, sizeof first);
  if (!e.setFEN(first)) fuzzFail("own FEN rejected", first);
  e.getFEN(second, sizeof second);
  if (strcmp(first, second) != 0) fuzzFail("FEN round trip differs", first);

  // 3. Every generated move makes and unmakes back to the same position.
  MoveSlot moves[MAX_MOVES];
  const bool inCheck = boardInCheck(b);
  const u32 count = generateMoves(b, moves, inCheck);
  const u64 key = b.key;
  u32 legal = 0;
  for (u32 i = 0; i < count; i++) {
    if (!isPseudoLegal(b, moves[i].move)) fuzzFail("generated move not pseudo-legal", first);
    makeMove(b, moves[i].move);
    if (!isSquareAttacked(b, b.kingSquare[b.opponent], b.side)) {
      legal++;
      if (!boardIsConsistent(b)) fuzzFail("inconsistent board after a move", first);
      (void)evaluate(b);
    }
    unmakeMove(b, moves[i].move);
  }
  e.getFEN(second, sizeof second);
  if (b.key != key || strcmp(first, second) != 0 || !boardIsConsistent(b))
    fuzzFail("make/unmake did not restore the position", first);

  // 4. The coordinate text of every legal move, as a GUI would send it back,
  //    plays exactly that move (standard and Chess960 notation).
  for (u32 chess960 = 0; chess960 < 2; chess960++) {
    e.chess960 = chess960;
    for (u32 i = 0; i < count; i++) {
      makeMove(b, moves[i].move);
      const bool isLegal = !isSquareAttacked(b, b.kingSquare[b.opponent], b.side);
      const u64 after = b.key;
      unmakeMove(b, moves[i].move);
      if (!isLegal) continue;
      // Castling in standard notation needs the standard king and rook squares.
      if (!chess960 && moveIsCastling(moves[i].move)) {
        const u32 king = moveFrom(moves[i].move), rook = moveTo(moves[i].move);
        if (!((king == 4 && (rook == 0 || rook == 7)) || (king == 60 && (rook == 56 || rook == 63)))) continue;
      }
      char moveText[8];
      moveToCoordinate(moves[i].move, chess960, moveText);
      if (!e.playMoveString(moveText)) fuzzFail("legal move text refused", moveText);
      if (b.key != after) fuzzFail("move text played another move", moveText);
      if (!e.takeBack()) fuzzFail("take-back refused", moveText);
    }
  }
  e.chess960 = 0;
  if (!e.setFEN(first)) fuzzFail("own FEN rejected", first);
  if (countLegalMoves(b) != legal) fuzzFail("legal move count differs", first);
  (void)evaluate(b);

  // 5. A short search plays a legal move when there is one.
  e.limitMode = LimitNodes;
  e.nodeLimit = 300;
  e.searching = 1;
  e.searchRoot();
  e.searching = 0;
  if (legal > 0) {
    if (e.gamePly != 1) fuzzFail("search played no move", first);
    const Move played = e.gameMoves[0].move;
    if (!e.setFEN(first)) fuzzFail("own FEN rejected", first);
    bool found = false;
    for (u32 i = 0; i < count && !found; i++) found = moves[i].move == played;
    if (!found) fuzzFail("search played a move that is not generated", first);
  }
  return 0;
}
