// Stack upkeep for long games (the move operations are inline).
#include "board/makemove.h"

#include <cstring>

// Keeps the most recent half of the stacks once the free part would no
// longer hold a search.
void boardMakeRoom(Board& b) {
  if (b.undoCount + STACK_RESERVE < HISTORY_SIZE && b.keyCount + STACK_RESERVE < HISTORY_SIZE) return;
  const u32 keep = HISTORY_SIZE / 2;
  const u32 drop = b.undoCount > keep ? b.undoCount - keep : 0;
  const u32 dropKeys = b.keyCount > keep ? b.keyCount - keep : 0;
  memmove(b.undo, b.undo + drop, (b.undoCount - drop) * sizeof(UndoRecord));
  memmove(b.keyHistory, b.keyHistory + dropKeys, (b.keyCount - dropKeys) * sizeof(u64));
  b.undoCount -= drop;
  b.keyCount -= dropKeys;
  b.droppedPlies += drop;
}
