// Coordinate move text into Engine::playMoveString and Engine::playMoveList
// on fuzzed positions. The first line is a FEN (the start position when it
// is rejected; a leading '9' switches Chess960 move reading on); each further
// line is one operation chosen by its first character:
//   s  playMoveString(rest)   l  playMoveList(rest)   t  takeBack()
//   anything else: playMoveList(whole line)
// A rejected single move must leave the position as it was; the board must
// stay consistent after every operation.
#include <cstring>
#include <string>

#include "board/fen.h"
#include "fuzz/fuzz_common.h"
#include "search/engine.h"

// One input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Engine& e = fuzzEngine();
  const std::string text = fuzzText(data, size, 16384);
  size_t at = text.find('\n');
  std::string fen = text.substr(0, at);
  if (!fen.empty() && fen[0] == '9') {
    e.chess960 = 1;
    fen.erase(0, 1);
  }
  if (!e.setFEN(fen.c_str())) e.newGame();
  char before[FEN_BUFFER_SIZE], after[FEN_BUFFER_SIZE];
  while (at != std::string::npos) {
    const size_t start = at + 1;
    at = text.find('\n', start);
    const std::string line = text.substr(start, at == std::string::npos ? std::string::npos : at - start);
    e.getFEN(before, sizeof before);
    const char op = line.empty() ? 0 : line[0];
    if (op == 's') {
      if (!e.playMoveString(line.c_str() + 1)) {
        e.getFEN(after, sizeof after);
        if (strcmp(before, after) != 0) fuzzFail("rejected move changed the position", line.c_str());
      }
    } else if (op == 'l') {
      e.playMoveList(line.c_str() + 1);
    } else if (op == 't') {
      e.takeBack();
    } else {
      e.playMoveList(line.c_str());
    }
    if (!boardIsConsistent(e.board)) fuzzFail("inconsistent board", line.c_str());
    if (e.gamePly > e.gameMoveCount || e.gameMoveCount >= u32(GAME_MOVES_SIZE))
      fuzzFail("game record out of range", line.c_str());
  }
  return 0;
}
