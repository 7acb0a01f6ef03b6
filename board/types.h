// Basic types of the engine: the packed move, move lists, the board record
// and the small per-piece tables that the incremental updates read.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint64_t u64;
typedef uint32_t u32;
typedef uint16_t u16;
typedef uint8_t u8;
typedef int64_t i64;
typedef int32_t i32;
typedef int16_t i16;
typedef int8_t i8;

// Colours: black first in every array indexed by colour.
enum Colour : int { BLACK = 0, WHITE = 1 };

// Piece types; a type carries no colour (the colour is in byColour).
enum PieceType : int { EMPTY = 0, PAWN = 1, KNIGHT = 2, BISHOP = 3, ROOK = 4, QUEEN = 5, KING = 6 };

// Castling right bits.
enum CastleRight : int { CASTLE_WK = 1, CASTLE_WQ = 2, CASTLE_BK = 4, CASTLE_BQ = 8 };

constexpr int MAX_MOVES = 256;      // slots of every move list
constexpr int MAX_PLY = 128;        // search plies, PV lines, perft records
constexpr int HISTORY_SIZE = 1024;  // undo records and key history per board

// A move packed into 32 bits:
//
//   31      26 25 24 23 22 21 20  18 17  15 14  12 11     6 5      0
//  +----------+-----+--+--+--+------+------+------+--------+--------+
//  |    0     | mark|ep|dp|cs| promo| capt | piece|   to   |  from  |
//  +----------+-----+--+--+--+------+------+------+--------+--------+
//
// mark: 1 check, 2 mate (only on moves handed to text output); ep: en
// passant; dp: pawn double step; cs: castling (from = king, to = own rook).
// The value 0 is the null move.
typedef u32 Move;

constexpr Move MOVE_NONE = 0;
constexpr u32 MOVE_CASTLE = 1u << 21;
constexpr u32 MOVE_DOUBLE = 1u << 22;
constexpr u32 MOVE_EP = 1u << 23;
constexpr u32 MOVE_MARK_CHECK = 1u << 24;
constexpr u32 MOVE_MARK_MATE = 2u << 24;

constexpr int moveFrom(Move m) { return int(m & 63); }
constexpr int moveTo(Move m) { return int((m >> 6) & 63); }
constexpr int movePiece(Move m) { return int((m >> 12) & 7); }
constexpr int moveCaptured(Move m) { return int((m >> 15) & 7); }
constexpr int movePromotion(Move m) { return int((m >> 18) & 7); }
constexpr bool moveIsCastling(Move m) { return (m & MOVE_CASTLE) != 0; }
constexpr bool moveIsDoubleStep(Move m) { return (m & MOVE_DOUBLE) != 0; }
constexpr bool moveIsEnPassant(Move m) { return (m & MOVE_EP) != 0; }
constexpr int moveMark(Move m) { return int((m >> 24) & 3); }
// The move without its notation mark, as generators and tables hold it.
constexpr Move moveWithoutMark(Move m) { return m & 0x00ffffffu; }

// Builds a move from its fields; flags are MOVE_CASTLE / MOVE_DOUBLE / MOVE_EP.
constexpr Move makeMoveValue(int from, int to, int piece, int captured = 0, int promotion = 0, u32 flags = 0) {
  return u32(from) | u32(to) << 6 | u32(piece) << 12 | u32(captured) << 15 | u32(promotion) << 18 | flags;
}

// One entry of a move list: generators write the move, ordering the score.
struct MoveSlot {
  Move move;
  i32 score;
};

// Per-ply move list and picker state (the search's plies, the perft records).
struct SearchPly {
  u32 pickStage;
  u32 ply;
  u32 next;
  u32 badNext;
  u32 hashMove;
  u32 killer1;
  u32 killer2;
  u32 count;
  MoveSlot moves[MAX_MOVES];
};

// What unmakeMove cannot recompute, one per move made. inCheck and
// searchFlag belong to the search, which writes them at index undoCount.
struct UndoRecord {
  u64 key;
  u64 pawnKey;
  u32 move;
  u8 castling;
  u8 epFile;
  u8 halfmove;
  u8 inCheck;
  u8 searchFlag;
};

// The position. Squares a1 = 0 ... h8 = 63; pieces[c][t] for types 1..6.
struct Board {
  u64 occupied;
  u64 byColour[2];
  u64 pieces[2][8];
  u64 key;
  u64 pawnKey;
  i32 material[2];
  i32 side;
  i32 opponent;
  i32 stage;
  i32 phase[2];
  u64 materialSignature;
  u8 castling;
  u8 epFile;    // file + 1 of a pawn that just made a double step, 0 for none
  u8 halfmove;  // plies since the last capture or pawn move, saturates at 255
  i32 kingSquare[2];
  u8 squares[64];
  i32 kingStart[2];
  i32 rookStartKingSide[2];
  i32 rookStartQueenSide[2];
  u64 castlePathKingSide[2];
  u64 castlePathQueenSide[2];
  u32 undoCount;
  UndoRecord undo[HISTORY_SIZE];
  u32 keyCount;
  u64 keyHistory[HISTORY_SIZE];
  // Move-number bookkeeping for FEN output: the sixth FEN field and side to
  // move when the position was set, and how many plies were dropped from the
  // bottom of the stacks to make room in long games.
  u32 startMoveNumber;
  i32 startSide;
  u32 droppedPlies;
};

// Material values by piece type.
constexpr i32 pieceValue[8] = {0, 100, 325, 325, 500, 975, 0, 0};
// Game-phase weights by piece type (24 with all pieces on the board).
constexpr i32 phaseWeight[8] = {0, 0, 1, 1, 2, 4, 0, 0};
// Game stage by phase sum: 0 opening/middle game ... 3 bare kings.
constexpr i32 stageTable[25] = {3, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0};
// Increment of materialSignature for one piece: 4-bit counts of P N B R Q,
// black in bits 0-19, white in bits 32-51; kings are not counted.
constexpr u64 signatureStep[2][8] = {{0, 1ull << 0, 1ull << 4, 1ull << 8, 1ull << 12, 1ull << 16, 0, 0},
                                     {0, 1ull << 32, 1ull << 36, 1ull << 40, 1ull << 44, 1ull << 48, 0, 0}};
// Square of a pawn taken en passant = to-square + offset of the capturer.
constexpr i32 epCaptureOffset[2] = {8, -8};
// Castling rights kept after a king move of the colour.
constexpr u8 castleKingMask[2] = {0xf3, 0xfc};

constexpr int squareFile(int s) { return s & 7; }
constexpr int squareRank(int s) { return s >> 3; }
constexpr int makeSquare(int file, int rank) { return rank * 8 + file; }
