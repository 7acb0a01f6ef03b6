// The entry function's record, shared with every protocol and output object.
#pragma once

#include "board/types.h"

class Engine;
class Protocol;

// A GUI sends the whole game on every "position ... moves" line: input lines
// of up to 64 KiB (some 13,000 plies) are read whole, longer ones dropped.
constexpr int LINE_TEXT_LIMIT = 65536;
constexpr int LINE_BUFFER_SIZE = LINE_TEXT_LIMIT + 1;

struct MainContext {
  Engine* engine;
  Protocol* protocol;
  char* lineBuffer;  // LINE_BUFFER_SIZE chars, allocated once
  u8 quit;
  u8 outOfMemory;  // a command could not get its memory: the run ends with status 1
  u32 infinite;
  u32 ponderOption;
  u32 ponderPending;
  u32 hasPopcount;
  u32 movesLeft;
  u32 movesPerPeriod;
  u32 newGamePending;
  u32 ponderMove;
  u32 Hash;
  u32 Book;
  u32 UseStrength;
  u32 StrengthELO;
  char buildKind[8];
  char bookFile[1024];
};
