// Opening book store, book file reading and writing, weighted move choice.
#include "book/book.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unordered_map>

#include "board/makemove.h"
#include "search/engine.h"

std::vector<BookEntry> bookEntries;

namespace {

// Key -> index into bookEntries, so that adding a move is not a scan of the
// whole store. It covers the first `indexedCount` entries.
std::unordered_map<u64, u32> bookIndex;
size_t indexedCount = 0;

// Files every entry of the store in the index again.
void bookIndexRebuild() {
  bookIndex.clear();
  for (size_t i = 0; i < bookEntries.size(); i++) bookIndex.emplace(bookEntries[i].key, static_cast<u32>(i));
  indexedCount = bookEntries.size();
}

// Returns the entry holding the key, or null; keeps the index in step with the store.
BookEntry* bookEntryFor(u64 key) {
  if (indexedCount != bookEntries.size()) bookIndexRebuild();
  auto it = bookIndex.find(key);
  if (it == bookIndex.end()) return nullptr;
  if (it->second >= bookEntries.size() || bookEntries[it->second].key != key) {
    bookIndexRebuild();
    it = bookIndex.find(key);
    if (it == bookIndex.end()) return nullptr;
  }
  return &bookEntries[it->second];
}

// Reads a little-endian unsigned field of `size` bytes; false at the end of the file.
bool readField(FILE* file, u64& value, int size) {
  unsigned char bytes[8];
  if (std::fread(bytes, 1, static_cast<size_t>(size), file) != static_cast<size_t>(size)) return false;
  value = 0;
  for (int i = size - 1; i >= 0; i--) value = value << 8 | bytes[i];
  return true;
}

// Writes an unsigned field of `size` bytes little-endian with one fwrite.
bool writeField(FILE* file, u64 value, int size) {
  unsigned char bytes[8];
  for (int i = 0; i < size; i++) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
  return std::fwrite(bytes, 1, static_cast<size_t>(size), file) == static_cast<size_t>(size);
}

}  // namespace

// Adds one move to the entry of a key.
void bookAddMove(u64 key, u32 move, u32 weight, u8 pctA, u8 pctB) {
  BookEntry* entry = bookEntryFor(key);
  if (!entry) {
    BookEntry fresh;
    std::memset(&fresh, 0, sizeof fresh);
    fresh.key = key;
    fresh.moveCount = 1;
    fresh.moves[0] = BookMove{move, weight, pctA, pctB};
    bookEntries.push_back(fresh);
    bookIndex.emplace(key, static_cast<u32>(bookEntries.size() - 1));
    indexedCount = bookEntries.size();
    return;
  }
  if (entry->moveCount >= BOOK_MAX_MOVES) return;
  for (u32 i = 0; i < entry->moveCount; i++)
    if (entry->moves[i].move == move) return;  // the first weight stays
  entry->moves[entry->moveCount++] = BookMove{move, weight, pctA, pctB};
}

// Empties the store and gives its memory back.
void bookClear() {
  std::vector<BookEntry>().swap(bookEntries);
  std::unordered_map<u64, u32>().swap(bookIndex);
  indexedCount = 0;
}

// Copies a whole entry.
void copyBookEntry(BookEntry& to, const BookEntry& from) { std::memcpy(&to, &from, sizeof to); }

// Orders the moves of every entry by descending weight and the entries by ascending key.
void bookSort() {
  // 1. Moves: an exchange sort, whose order of equal weights is part of the
  //    file a built book must reproduce, so no other sort will do here.
  for (BookEntry& entry : bookEntries) {
    u32 count = std::min<u32>(entry.moveCount, BOOK_MAX_MOVES);
    for (u32 i = 0; i < count; i++)
      for (u32 j = i + 1; j < count; j++)
        if (entry.moves[j].weight > entry.moves[i].weight) std::swap(entry.moves[i], entry.moves[j]);
  }
  // 2. Entries: keys are unique in the store, so any sort gives the one
  //    ascending order; sorting indices keeps the large records still.
  std::vector<u32> order(bookEntries.size());
  for (size_t i = 0; i < order.size(); i++) order[i] = static_cast<u32>(i);
  std::sort(order.begin(), order.end(), [](u32 a, u32 b) { return bookEntries[a].key < bookEntries[b].key; });
  std::vector<BookEntry> sorted(bookEntries.size());
  for (size_t i = 0; i < order.size(); i++) copyBookEntry(sorted[i], bookEntries[order[i]]);
  bookEntries.swap(sorted);
  bookIndexRebuild();
}

// Reads a book file's entries (after the magic) into the store.
bool bookReadEntries(FILE* file) {
  // 1. Header: the version is read and ignored.
  u64 version, entryCount;
  bool ok = readField(file, version, 4) && readField(file, entryCount, 4);
  // 2. Entries: any short read rejects the whole file, so no move of a
  //    damaged book is ever played.
  for (u64 e = 0; ok && e < entryCount; e++) {
    u64 key, moveCount;
    ok = readField(file, key, 8) && readField(file, moveCount, 4);
    for (u64 m = 0; ok && m < moveCount; m++) {
      u64 move, weight, pctA, pctB;
      ok = readField(file, move, 4) && readField(file, weight, 4) && readField(file, pctA, 1) &&
           readField(file, pctB, 1);
      if (ok)
        bookAddMove(key, static_cast<u32>(move), static_cast<u32>(weight), static_cast<u8>(pctA),
                    static_cast<u8>(pctB));
    }
  }
  // 3. The header's count decides: bytes past the last counted entry
  //    (padding, or data appended by another tool) are not read.
  if (!ok) bookClear();
  return ok;
}

// Writes the magic, the version and the whole store.
bool bookWrite(FILE* file) {
  bool ok = std::fwrite("BOOK", 1, 4, file) == 4;
  ok = writeField(file, BOOK_VERSION, 4) && ok;
  ok = writeField(file, bookEntries.size(), 4) && ok;
  for (const BookEntry& entry : bookEntries) {
    u32 count = std::min<u32>(entry.moveCount, BOOK_MAX_MOVES);
    ok = writeField(file, entry.key, 8) && ok;
    ok = writeField(file, count, 4) && ok;
    for (u32 i = 0; i < count; i++) {
      ok = writeField(file, entry.moves[i].move, 4) && ok;
      ok = writeField(file, entry.moves[i].weight, 4) && ok;
      ok = writeField(file, entry.moves[i].pctA, 1) && ok;
      ok = writeField(file, entry.moves[i].pctB, 1) && ok;
    }
  }
  return ok;
}

// Returns the index of the entry with this key by bisection, or -1.
long bookFindEntry(u64 key) {
  size_t low = 0, high = bookEntries.size();  // candidates: [low, high)
  while (low < high) {
    size_t middle = low + (high - low) / 2;
    u64 middleKey = bookEntries[middle].key;
    if (middleKey == key) return static_cast<long>(middle);
    if (middleKey < key)
      low = middle + 1;
    else
      high = middle;
  }
  return -1;
}

// Returns the index of one move of the entry, drawn in proportion to its weight.
u32 bookChooseMove(const BookEntry& entry) {
  // Move i replaces the earlier choice with probability weight(i) / sum(0..i),
  // which leaves every move chosen in proportion to its weight. One draw per
  // move; a sum of 0 (leading weights 0) chooses nothing rather than divide.
  u32 count = std::min<u32>(entry.moveCount, BOOK_MAX_MOVES);
  u64 sum = 0;
  u32 chosen = 0;
  for (u32 i = 0; i < count; i++) {
    sum += entry.moves[i].weight;
    u64 draw = static_cast<u64>(std::rand());
    if (sum != 0 && draw % sum < entry.moves[i].weight) chosen = i;
  }
  return chosen;
}

// Loads a book file into the store.
bool Engine::loadBook(const char* path) {
  // 1. A loaded book is asked during the first moves of a game; the draws
  //    of the choice differ from run to run.
  bookOn = 1;
  bookPlyLimit = BOOK_PLY_LIMIT;
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  bookClear();
  // 2. The file and its magic.
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  char magic[4];
  if (std::fread(magic, 1, 4, file) != 4 || std::memcmp(magic, "BOOK", 4) != 0) {
    std::fclose(file);
    return false;
  }
  // 3. The entries, all or none.
  bool ok = bookReadEntries(file);
  std::fclose(file);
  return ok;
}

// Returns a legal root move from the book for the engine's position, or 0.
Move pickBookMove(Engine& engine) {
  // 1. Only while the game is young, and only with a book in the store.
  if (!engine.bookOn || engine.gamePly >= engine.bookPlyLimit || bookEntries.empty()) return MOVE_NONE;
  // 2. The position's entry.
  Board& board = engine.board;
  long index = bookFindEntry(board.key);
  if (index < 0 || bookEntries[index].moveCount == 0) return MOVE_NONE;
  // 3. One move by weight.
  const BookEntry& entry = bookEntries[index];
  const Move chosen = entry.moves[bookChooseMove(entry)].move;
  // 4. Played only if it is a legal root move here: another position may
  //    share the key, or the file may be stale.
  for (u32 i = 0; i < engine.rootMoveCount && i < MAX_MOVES; i++) {
    if (engine.rootMoves[i].move != chosen) continue;
    makeMove(board, chosen);
    const bool legal = !isSquareAttacked(board, board.kingSquare[board.opponent], board.side);
    unmakeMove(board, chosen);
    if (legal) return chosen;
  }
  return MOVE_NONE;
}
