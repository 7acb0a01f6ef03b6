// The pawn hash table.
#include "eval/pawns.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

PawnHashTable pawnHashTable = {nullptr, nullptr, 0, 0};

namespace {
// Releases the table when the program ends, whatever path it takes.
struct PawnHashGuard {
  ~PawnHashGuard() { destroyPawnHash(&pawnHashTable); }
} pawnHashGuard;

constexpr size_t PAWN_HASH_BYTES = size_t(PAWN_HASH_COUNT) * sizeof(PawnHashEntry) + 63;
static_assert(sizeof(PawnHashEntry) == 48, "pawn hash entries are 48 bytes");
}  // namespace

// A fresh zeroed block each call; the old one is freed first.
bool allocatePawnHash() {
  releasePawnHash();
  pawnHashTable.count = PAWN_HASH_COUNT;
  pawnHashTable.mask = PAWN_HASH_COUNT - 1;
  void* raw = malloc(PAWN_HASH_BYTES);
  if (raw == nullptr) {
    fputs("Pawn Hash table : out of memory\n", stderr);
    return false;
  }
  memset(raw, 0, PAWN_HASH_BYTES);
  pawnHashTable.raw = raw;
  pawnHashTable.entries =
      reinterpret_cast<PawnHashEntry*>((reinterpret_cast<uintptr_t>(raw) + 63) & ~uintptr_t(63));
  return true;
}

void releasePawnHash() { destroyPawnHash(&pawnHashTable); }

void destroyPawnHash(PawnHashTable* table) {
  if (table->raw != nullptr) free(table->raw);
  table->raw = nullptr;
  table->entries = nullptr;
}
