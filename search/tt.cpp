// The transposition table.
#include "search/tt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

HashTable hashTable = {nullptr, nullptr, 0, 0, 0};

namespace {
// Releases the table when the program ends, whatever path it takes.
struct HashTableGuard {
  ~HashTableGuard() { destroyHashTable(&hashTable); }
} hashTableGuard;

size_t blockBytes(const HashTable& t) { return size_t(t.entryCount) * sizeof(HashEntry) + 63; }
}  // namespace

// Sizes are powers of two from 1 to 32768 megabytes.
int allocateHash(u32 megabytes) {
  // 1. Drop the old block.
  releaseHash();
  hashTable.age = 0;
  // 2. Round the request up to a power of two.
  u32 mb = 1;
  if (megabytes > 1 && megabytes <= 32768) {
    mb = 2;
    while (mb < megabytes) mb <<= 1;
  }
  // 3. Size, 4. allocate and align, 5. zero.
  hashTable.entryCount = mb * 65536u;
  hashTable.mask = hashTable.entryCount - 4;
  void* block = malloc(blockBytes(hashTable));
  if (block == nullptr) {
    fputs("Hash table : out of memory\n", stderr);
    return 0;
  }
  memset(block, 0, blockBytes(hashTable));
  hashTable.block = block;
  hashTable.entries = reinterpret_cast<HashEntry*>((reinterpret_cast<uintptr_t>(block) + 63) & ~uintptr_t(63));
  return 1;
}

// Without a block there is nothing to clear.
void hashClear() {
  hashTable.age = 0;
  if (hashTable.block != nullptr) memset(hashTable.block, 0, blockBytes(hashTable));
}

// Walks the key's bucket; every probe misses without a block.
HashEntry* hashProbe(u64 key) {
  if (hashTable.entries == nullptr) return nullptr;
  HashEntry* bucket = hashTable.entries + (u32(key) & hashTable.mask);
  for (int i = 0; i < 4; i++)
    if (bucket[i].key == key) return &bucket[i];
  return nullptr;
}

// Same key or empty entry first, else the shallowest of another age, else
// the shallowest of all; ties to the earlier entry.
void hashStore(u64 key, u32 move, i32 score, i32 depth, i32 ply, u32 bound) {
  if (hashTable.entries == nullptr) return;
  HashEntry* bucket = hashTable.entries + (u32(key) & hashTable.mask);
  HashEntry* target = nullptr;
  // 1. Same key or empty.
  for (int i = 0; i < 4; i++) {
    if (bucket[i].key == 0 || bucket[i].key == key) {
      target = &bucket[i];
      if (move == 0) move = target->move;
      break;
    }
  }
  // 2. Replacement by age, then depth.
  if (target == nullptr) {
    for (int i = 0; i < 4; i++) {
      if (hashDataAge(bucket[i].data) == hashTable.age) continue;
      if (target == nullptr || hashDataDepth(bucket[i].data) < hashDataDepth(target->data)) target = &bucket[i];
    }
    if (target == nullptr) {
      target = &bucket[0];
      for (int i = 1; i < 4; i++)
        if (hashDataDepth(bucket[i].data) < hashDataDepth(target->data)) target = &bucket[i];
    }
  }
  // 3. Mate distance from the node, 4. write.
  score = hashScoreToTable(score, ply);
  target->key = key;
  target->move = move;
  target->data = bound | (u32(depth) << 2) | (hashTable.age << 11) | (u32(score) << 16);
}

// Sizes and age stay for a later allocation.
void releaseHash() {
  free(hashTable.block);
  hashTable.block = nullptr;
  hashTable.entries = nullptr;
}

// Frees the block of a table at exit.
void destroyHashTable(HashTable* table) {
  if (table->block != nullptr) free(table->block);
  table->block = nullptr;
  table->entries = nullptr;
}
