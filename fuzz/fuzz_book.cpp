// Fuzzed files into Engine::loadBook. A lookup in a loaded store must find
// the key asked for, every draw must name one of the entry's moves, and
// a search from the start position with the book on must play a legal move
// (a book move when the file has a legal one for it).
#include <cstring>

#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "book/book.h"
#include "fuzz/fuzz_common.h"
#include "search/engine.h"

// One input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzFile* file = new FuzzFile;
  Engine& e = fuzzEngine();
  file->write(data, size);
  if (!e.loadBook(file->path())) {
    if (!bookEntries.empty()) fuzzFail("failed load left entries", "");
    return 0;
  }
  for (const BookEntry& entry : bookEntries) {
    if (entry.moveCount > u32(BOOK_MAX_MOVES)) fuzzFail("entry with too many moves", "");
    // Lookup bisects, so a file not in key order may hide entries, but a hit is right.
    const long index = bookFindEntry(entry.key);
    if (index >= 0 && bookEntries[size_t(index)].key != entry.key) fuzzFail("lookup found another key", "");
    if (entry.moveCount > 0 && bookChooseMove(entry) >= entry.moveCount) fuzzFail("draw outside the entry", "");
  }
  // The start position, with the book asked by the search itself.
  MoveSlot moves[MAX_MOVES];
  const u32 count = generateMoves(e.board, moves, false);
  e.bookOn = 1;
  e.limitMode = LimitNodes;
  e.nodeLimit = 100;
  e.searching = 1;
  e.searchRoot();
  e.searching = 0;
  if (e.gamePly != 1) fuzzFail("no move played from the start position", "");
  bool found = false;
  for (u32 i = 0; i < count && !found; i++) found = moves[i].move == e.gameMoves[0].move;
  if (!found) fuzzFail("played move is not a start position move", "");
  bookClear();
  return 0;
}
