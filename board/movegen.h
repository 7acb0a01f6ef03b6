// Move generators and legality tests. Generators write only the move half
// of each slot and return the count. Order is fixed: knights, bishops,
// rooks, queens, king, then pawns; squares from a1 upward; promotions
// queen, rook, knight, bishop.
//
// `capacity` is the number of slots available from `list`; nothing is
// written past it. A caller that appends quiet moves behind n captures
// passes list + n and MAX_MOVES - n.
#pragma once

#include "board/types.h"

// Captures, all promotions and en-passant captures of the side to move.
u32 generateCaptures(const Board& b, MoveSlot* list, u32 capacity = MAX_MOVES);
// The castlings of the side to move (the first stage of generateQuiets).
u32 generateCastlings(const Board& b, MoveSlot* list, u32 capacity = MAX_MOVES);
// Castling, piece moves to empty squares, non-promoting pushes.
u32 generateQuiets(const Board& b, MoveSlot* list, u32 capacity = MAX_MOVES);
// Answers to a check: safe king steps, blocks and captures of the checker.
u32 generateEvasions(const Board& b, MoveSlot* list, u32 capacity = MAX_MOVES);
// Evasions when inCheck, else captures followed by quiet moves.
u32 generateMoves(const Board& b, MoveSlot* list, bool inCheck);

// True when the move can be played here by the generators' rules,
// without regard to the own king.
bool isPseudoLegal(const Board& b, Move m);
// True when the mover's king is not attacked after m; leaves the board as
// it was.
bool moveLeavesKingSafe(Board& b, Move m);
// Number of legal moves of the side to move; leaves the board as it was.
u32 countLegalMoves(Board& b);
// True when m is a move the generators produce here and it leaves the own
// king safe; leaves the board as it was.
bool moveIsLegal(Board& b, Move m);
