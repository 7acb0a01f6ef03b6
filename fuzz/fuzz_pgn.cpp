// Fuzzed PGN text through the book builder: the PGN reader, the SAN replay
// and the book writer. The first byte chooses the depth (0 to 47, beyond the
// 32 plies a line holds) and the second the minimum game count; the rest is
// the PGN file. A book the builder wrote must load again.
#include "book/book.h"
#include "fuzz/fuzz_common.h"
#include "search/engine.h"

// One input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzFile* pgn = new FuzzFile;
  static FuzzFile* book = new FuzzFile;
  if (size < 2) return 0;
  Engine& e = fuzzEngine();
  const int depth = data[0] % 48;
  const int minCount = 1 + data[1] % 3;
  pgn->write(data + 2, size - 2);
  book->clear();
  bookClear();
  if (e.buildBook(pgn->path(), book->path(), depth, minCount) != 1) fuzzFail("build failed", "");
  const size_t written = bookEntries.size();
  if (!e.loadBook(book->path())) fuzzFail("built book does not load", "");
  if (bookEntries.size() != written) fuzzFail("loaded entry count differs", "");
  bookClear();
  return 0;
}
