// The engine object: the board, the search records and tables, the game
// record, the limits and stop state, the output pointer and the perft
// context. One lives from start-up to shutdown.
#pragma once

#include <cstddef>

#include "board/heap.h"
#include "board/perft.h"
#include "board/types.h"
#include "search/output.h"

// A principal variation; the line's score is the score of moves[0]. Never
// longer than 127 moves.
struct PVLine {
  i32 count;
  MoveSlot moves[MAX_PLY];
};

// One MultiPV line.
struct RootLine {
  i32 prevScore;  // score of the previous iteration (aspiration centre)
  i32 score;      // score of the current iteration, when exact
  i32 depth;      // iteration at which pv was last written
  PVLine pv;
};

// One move of the game record; san is written only by the test suite.
struct GameMove {
  u32 move;
  char san[8];
};

// Wall-clock time as the platform clock gives it.
struct WallTime {
  i64 seconds;
  i64 microseconds;
};

// Values of stopRequest.
enum StopRequest : u32 { StopNone = 0, StopNow = 1, StopPonder = 2, StopAbort = 3 };

// Values of limitMode (2, 4 and 6 are not used).
enum LimitMode : u32 { LimitDepth = 0, LimitNodes = 1, LimitMoveTime = 3, LimitClock = 5, LimitInfinite = 7 };

// True for the limit modes that end a search by the clock.
constexpr bool timedSearch(u32 mode) { return mode == LimitMoveTime || mode == LimitClock; }

constexpr int GAME_MOVES_SIZE = 512;
constexpr int MAX_ROOT_LINES = 32;
// Search nodes between two looks at the clock and the input. The fuzz
// build looks far more often: one of its sessions can restart a search
// for each of thousands of lines.
#ifndef TARVOK_POLL_INTERVAL
#define TARVOK_POLL_INTERVAL 30000
#endif
constexpr u32 POLL_INTERVAL = TARVOK_POLL_INTERVAL;

class Engine : public MallocAllocated {
 public:
  Board board;
  u32 chess960 = 0;
  u32 gamePly = 0;
  u32 rootMoveCount = 0;
  PVLine pvTable[MAX_PLY] = {};
  SearchPly searchPlies[MAX_PLY] = {};
  u32 killers[MAX_PLY][2] = {};
  i32 history[2][8][64] = {};
  GameMove gameMoves[GAME_MOVES_SIZE] = {};
  MoveSlot rootMoves[MAX_MOVES] = {};
  u32 searching = 0;
  u32 stopRequest = StopNone;
  u32 rootState = 0;
  u32 lastBestMove = 0;
  i32 multiPV = 1;
  i32 excludedCount = 0;
  u32 excludedMoves[MAX_ROOT_LINES] = {};
  RootLine rootLines[MAX_ROOT_LINES] = {};
  // The root lines as the iteration before left them: a report during an
  // iteration names their moves where no line of its own depth has yet.
  RootLine previousLines[MAX_ROOT_LINES] = {};
  u32 ponderEnabled = 0;
  u32 pondering = 0;
  u32 ponderMove = MOVE_NONE;
  u32 limitMode = LimitMoveTime;
  i32 iterationLimit = 127;
  u32 timeBudget = 20;
  WallTime startTime = {0, 0};
  // Microseconds after startTime at which timeBudget starts to count: 0,
  // or the time a ponder search ran before it became the engine's own.
  double budgetOffset = 0;
  u32 pollInterval = POLL_INTERVAL;
  u32 pollCounter = 0;
  u32 hashSizeMB = 32;
  u32 moveTime = 5000000;
  u64 nodeLimit = 2000000;
  u32 movesToGo = 40;
  i32 increment[2] = {0, 0};
  u32 gameMoveCount = 0;
  u64 nodes = 0;
  u32 searchCount = 0;
  i32 maxDepth = 0;
  // A depth or node limit given together with a clock or a move time caps
  // that timed search (maxDepth, nodeLimit) instead of replacing its time.
  u32 capDepth = 0;
  u32 capNodes = 0;
  u32 startClock = 0;
  u32 depthReached = 0;
  i32 selDepth = 0;
  u32 verboseInfo = 0;
  u32 boundLines = 1;
  u32 verboseAfterDelay = 1;
  float clock[2] = {0, 0};
  u32 testSuiteMode = 0;
  u32 bookOn = 1;
  u32 bookPlyLimit = 0;
  NullSearchOutput nullOutput;
  SearchOutput* currentOutput = &nullOutput;
  PerftContext perftContext = {};

  Engine();
  virtual ~Engine();

  // Builds the tables, empties the board stacks, allocates both hash tables
  // and binds the perft context (search/engine.cpp).
  void init(u32 hashSizeMB);
  // Start position and fresh game and search state (search/engine.cpp).
  void newGame();
  // Ends the use of the hash tables at shutdown or after a tool (search/engine.cpp).
  void releaseTables();

  // Sets the position from FEN/X-FEN text; false leaves everything as it was.
  bool setFEN(const char* fen);
  // Writes the position as FEN (out must hold FEN_BUFFER_SIZE bytes); true.
  bool getFEN(char* out, size_t size = 128);
  // Plays one coordinate move if legal.
  bool playMoveString(const char* text);
  // Plays a blank-separated coordinate move list; false at the first bad move.
  bool playMoveList(const char* text);
  // Takes back the last game move; false when nothing is left to take back.
  bool takeBack();

  // Search driver (search/root.cpp); always 1.
  int searchRoot();
  // Orders the first n root lines by depth, then score (search/root.cpp).
  void sortRootLines(int n);
  // Alpha-beta search; depth in quarter plies (search/search.cpp).
  i32 alphaBeta(i32 alpha, i32 beta, i32 depth, i32 ply, u8 allowNull);
  // Quiescence search (search/quiesce.cpp).
  i32 quiesce(i32 alpha, i32 beta, i32 checkDepth, i32 ply, u8 keepPV);
  // Node and time limits and input while searching; false to stop (search/poll.cpp).
  bool pollSearch();
  // Scores and sorts a move list (search/movepick.cpp).
  void scoreAndSortMoves(MoveSlot* list, u32 count);

  // Loads a book file into the store (book/book.cpp).
  bool loadBook(const char* path);
  // Builds a book file from PGN games; 0 when the PGN file cannot be opened (book/builder.cpp).
  i32 buildBook(const char* pgnPath, const char* bookPath, i32 depth, i32 minCount);
};

// Makes room in the game record and the board stacks before a game move is
// recorded, so that games of any length keep working (drops the oldest).
void engineMakeRoom(Engine& engine);
// Records a move just made on the board at gameMoves[index] (the search
// passes min(gameMoveCount, gamePly), move input gameMoveCount); sets
// lastBestMove, gamePly = min(gamePly, gameMoveCount) + 1, gameMoveCount + 1.
// Call engineMakeRoom before making the move.
void engineRecordMove(Engine& engine, Move move, u32 index);
