// The pawn hash table and the pawn-structure terms it caches.
#include "eval/pawns.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/bitboard.h"
#include "eval/psqt.h"

PawnHashTable pawnHashTable = {nullptr, nullptr, 0, 0};

namespace {
// Releases the table when the program ends, whatever path it takes.
struct PawnHashGuard {
  ~PawnHashGuard() { destroyPawnHash(&pawnHashTable); }
} pawnHashGuard;

constexpr size_t PAWN_HASH_BYTES = size_t(PAWN_HASH_COUNT) * sizeof(PawnHashEntry) + 63;
static_assert(sizeof(PawnHashEntry) == 48, "pawn hash entries are 48 bytes");

// Passed-pawn bonuses by the pawn's rank counted from its own side (0..7).
constexpr i32 passedBonusMg[8] = {0, 0, 0, 10, 21, 45, 95, 0};
constexpr i32 passedBonusEg[8] = {0, 10, 10, 21, 43, 90, 191, 0};

// The set spread over its own squares and every square above them.
inline u64 fillUp(u64 b) {
  b |= b << 8;
  b |= b << 16;
  return b | (b << 32);
}

// The set spread over its own squares and every square below them.
inline u64 fillDown(u64 b) {
  b |= b >> 8;
  b |= b >> 16;
  return b | (b >> 32);
}

// Larger of the file and rank distances between two squares.
inline int kingDistance(int a, int b) {
  int df = (a & 7) - (b & 7), dr = (a >> 3) - (b >> 3);
  df = df < 0 ? -df : df;
  dr = dr < 0 ? -dr : dr;
  return df > dr ? df : dr;
}

// Squares of ranks 0..rank (white) or rank..7 (black): "level or behind".
inline u64 ranksAtOrBehind(int colour, int rank) {
  u64 upTo = rank == 7 ? ~0ull : (1ull << (8 * (rank + 1))) - 1;
  u64 below = (1ull << (8 * rank)) - 1;
  return colour == WHITE ? upTo : ~below;
}

// Pawn-structure score of one side as (mg, eg); records passed pawns and attacks.
void scoreSide(const Board& board, int us, PawnHashEntry& entry, i32& mg, i32& eg) {
  int them = us ^ 1;
  u64 own = board.pieces[us][PAWN];
  u64 enemy = board.pieces[them][PAWN];
  // Enemy pawns spread toward our side: a square we need is covered when an
  // enemy pawn stands on it or anywhere beyond it.
  u64 enemyFill = us == WHITE ? fillDown(enemy) : fillUp(enemy);
  u64 enemyAttacks = 0;
  for (u64 b = enemy; b;) enemyAttacks |= pawnAttacks[them][popLsb(b)];

  mg = 0;
  eg = 0;
  for (u64 b = own; b;) {
    int sq = popLsb(b);
    int file = sq & 7, rank = sq >> 3;
    u64 stopBit = us == WHITE ? squareMask[sq] << 8 : squareMask[sq] >> 8;
    u64 aheadOnFile = us == WHITE ? fillUp(squareMask[sq]) << 8 : fillDown(squareMask[sq]) >> 8;

    // 1. Piece-square values and attacks.
    mg += pstMg[us][PAWN][sq];
    eg += pstEg[us][PAWN][sq];
    entry.pawnAttacked[us] |= pawnAttacks[us][sq];

    // 2. Doubled: only the rear pawn of a file pays.
    bool doubled = (own & aheadOnFile) != 0;
    if (doubled) {
      mg -= 10;
      eg -= 10;
    }

    // 3. Isolated.
    bool isolated = (own & adjacentFiles[file]) == 0;
    if (isolated) {
      mg -= 20;
      eg -= 20;
    }

    // 4. Passed: nothing can stop it or take it on its way, and no own pawn in front.
    bool opposed = ((stopBit | pawnAttacks[us][sq]) & enemyFill) != 0;
    if (!opposed && !doubled) entry.passed[us] |= squareMask[sq];

    // 5. Backward: no neighbour level or behind to support its advance, and
    // the square in front is held by an enemy pawn.
    if (!isolated && opposed) {
      bool supported = (own & adjacentFiles[file] & ranksAtOrBehind(us, rank)) != 0;
      if (!supported && (enemyAttacks & stopBit)) {
        mg -= 10;
        eg -= 10;
      }
    }
  }
}

// Passed-pawn terms of one side as (mg, eg): they depend on pieces and kings,
// so they are scored on every call from the cached passed-pawn set.
void scorePassed(const Board& board, int us, u64 passed, i32& mg, i32& eg) {
  int them = us ^ 1;
  mg = 0;
  eg = 0;
  for (u64 b = passed; b;) {
    int sq = popLsb(b);
    int ownRank = us == WHITE ? sq >> 3 : 7 - (sq >> 3);
    u64 stopBit = us == WHITE ? squareMask[sq] << 8 : squareMask[sq] >> 8;
    i32 a = passedBonusMg[ownRank], e = passedBonusEg[ownRank];
    mg += a;
    eg += e;
    // Blockaded by any enemy piece.
    if (board.byColour[them] & stopBit) {
      mg -= a >> 1;
      eg -= e >> 1;
    }
    // Defended by an own pawn.
    if (pawnAttacks[them][sq] & board.pieces[us][PAWN]) {
      mg += a >> 1;
      eg += e >> 1;
    }
    eg += kingDistance(sq, board.kingSquare[them]) + 1 - kingDistance(sq, board.kingSquare[us]);
  }
}

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
  pawnHashTable.entries = reinterpret_cast<PawnHashEntry*>((reinterpret_cast<uintptr_t>(raw) + 63) & ~uintptr_t(63));
  return true;
}

void releasePawnHash() { destroyPawnHash(&pawnHashTable); }

void destroyPawnHash(PawnHashTable* table) {
  if (table->raw != nullptr) free(table->raw);
  table->raw = nullptr;
  table->entries = nullptr;
}

void pawnEntryCompute(const Board& board, PawnHashEntry& entry) {
  entry.key = board.pawnKey;
  entry.passed[BLACK] = entry.passed[WHITE] = 0;
  entry.pawnAttacked[BLACK] = entry.pawnAttacked[WHITE] = 0;
  i32 wmg, weg, bmg, beg;
  scoreSide(board, WHITE, entry, wmg, weg);
  scoreSide(board, BLACK, entry, bmg, beg);
  entry.mg = i16(wmg - bmg);
  entry.eg = i16(weg - beg);
}

void evaluatePawns(const Board& board, i32& mg, i32& eg, u64 pawnAttacked[2]) {
  // 1. No pawns at all: nothing to score and nothing to cache.
  if (board.pawnKey == 0) {
    pawnAttacked[BLACK] = pawnAttacked[WHITE] = 0;
    return;
  }

  // 2. Probe; on a miss compute and always replace. Without a table (its
  // allocation failed) the terms are computed into a local entry.
  PawnHashEntry local;
  const PawnHashEntry* entry = &local;
  if (pawnHashTable.entries != nullptr) {
    PawnHashEntry& slot = pawnHashTable.entries[pawnHashSlot(board.pawnKey, pawnHashTable.count)];
    if (slot.key != board.pawnKey) pawnEntryCompute(board, slot);
    entry = &slot;
  } else {
    pawnEntryCompute(board, local);
  }
  mg += entry->mg;
  eg += entry->eg;
  pawnAttacked[BLACK] = entry->pawnAttacked[BLACK];
  pawnAttacked[WHITE] = entry->pawnAttacked[WHITE];

  // 3. Passed pawns against the current pieces and kings.
  i32 wmg, weg, bmg, beg;
  scorePassed(board, WHITE, entry->passed[WHITE], wmg, weg);
  scorePassed(board, BLACK, entry->passed[BLACK], bmg, beg);
  mg += wmg - bmg;
  eg += weg - beg;
}
