// Opening book: no store is loaded yet, so no position has a book move.
#include "book/book.h"

// A legal book move for the engine's position, or 0 when the book has none.
Move pickBookMove(Engine& engine) {
  (void)engine;
  return 0;
}
