// Opening book: the move to play from the book in the current position.
#pragma once

#include "board/types.h"

class Engine;

// A legal book move for the engine's position, or 0 when the book has none.
Move pickBookMove(Engine& engine);
