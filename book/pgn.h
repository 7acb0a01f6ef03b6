// PGN reader of the book builder: collects the opening of every game as SAN
// texts and counts, for every opening line, the games that share it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// A line holds at most this many plies; deeper requests are bounded to it.
constexpr int LINE_MAX_PLIES = 32;
// Nine characters of move text and the terminating zero.
constexpr int SAN_TEXT_SIZE = 10;
// One read of the PGN file: 4095 characters and the terminating zero.
constexpr int PGN_LINE_SIZE = 4096;
// A tag name: 255 characters and the terminating zero.
constexpr int PGN_TAG_NAME_SIZE = 256;

// One opening line: the first `count` move texts exactly as read, the games
// whose opening begins with exactly these texts, and how many of them each side won.
struct LineRecord {
  char san[LINE_MAX_PLIES][SAN_TEXT_SIZE];
  uint32_t count;
  uint32_t games;
  uint32_t blackWins;
  uint32_t whiteWins;
};

// Every prefix of every collected opening, once, in the order first met.
// `slots` is an open-addressing index over (count, texts) beside the array so
// that merging a game costs a hash probe per ply instead of a scan of all lines;
// it never changes which record a game is merged into.
struct LineRecords {
  std::vector<LineRecord> lines;
  std::vector<uint32_t> slots;  // index into `lines` plus 1; 0 marks a free slot
};

// Reader states; `sub` serves two of them, so the Tag and MoveText sub-states share values.
enum class PgnState { Between, Tag, Variation, Comment, MoveText, SkipGame };
enum PgnSub : int {
  PGN_TAG_NAME = 0,
  PGN_EXPECT_NUMBER = 0,
  PGN_TAG_VALUE = 1,
  PGN_EXPECT_FIRST = 1,
  PGN_EXPECT_SECOND = 2,
  PGN_IN_NAG = 3
};

// State of one pass over a PGN file.
struct PgnReader {
  PgnState state;
  int sub;
  PgnState returnState;  // where a comment or variation goes back to
  int returnSub;
  uint64_t nesting;     // shared by comments and variations
  bool nagAfterFirst;   // a glyph followed the first move of a pair
  int plyCount;         // move texts read in the current game
  int depth;            // plies collected per game, 0 to LINE_MAX_PLIES
  LineRecord gameLine;  // the game being read
  LineRecords* lineRecords;
  int tokenLength;
  char token[PGN_LINE_SIZE];
  char tagName[PGN_TAG_NAME_SIZE];
};

// Merges every prefix of the game's line into the records.
void addBookLine(LineRecords& lineRecords, const LineRecord& game);

// Returns the record with these first `count` texts, or null.
const LineRecord* lineRecordFind(const LineRecords& lineRecords, const LineRecord& line, uint32_t count);

// Prepares a reader that collects `depth` plies per game (bounded to 0..LINE_MAX_PLIES).
void pgnReaderInit(PgnReader& reader, int depth, LineRecords* lineRecords);

// Feeds one line of at most 4095 characters to the reader.
void pgnReadLine(PgnReader& reader, const char* line);

// Reads the whole file, line by line, into `lineRecords`; false when a read
// error, not the end of the file, stopped it.
bool pgnReadGames(FILE* file, int depth, LineRecords& lineRecords);
