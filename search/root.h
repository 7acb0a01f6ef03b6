// Root search helpers that callers and tests may use directly.
#pragma once

#include "board/types.h"

class Engine;

// Microseconds the next search may use, from the engine's limit fields,
// clocks and number of searches so far in this game.
u32 searchTimeBudget(const Engine& engine);
// The same for a search whose root has side to move (the board may be deep
// inside a running search).
u32 searchTimeBudget(const Engine& engine, int side);
