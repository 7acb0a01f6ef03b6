// PGN reader of the book builder and the table of collected opening lines.
#include "book/pgn.h"

#include <cstring>
#include <memory>

namespace {

// Starts the running hash of a line's texts.
constexpr uint64_t LINE_HASH_SEED = 0xcbf29ce484222325ull;

// Folds one move text into the running hash of a line (FNV-1a, text and separator).
uint64_t lineHashStep(uint64_t hash, const char* text) {
  for (int i = 0; i < SAN_TEXT_SIZE && text[i]; i++) {
    hash ^= static_cast<unsigned char>(text[i]);
    hash *= 0x100000001b3ull;
  }
  hash ^= 0xff;
  hash *= 0x100000001b3ull;
  return hash;
}

// Returns the hash of the first `count` texts of a line.
uint64_t lineHash(const LineRecord& line, uint32_t count) {
  uint64_t hash = LINE_HASH_SEED;
  for (uint32_t i = 0; i < count; i++) hash = lineHashStep(hash, line.san[i]);
  return hash;
}

// Mixes the hash into a slot number so that nearby hashes spread over the table.
size_t lineSlot(uint64_t hash, size_t mask) {
  hash ^= hash >> 29;
  hash *= 0xbf58476d1ce4e5b9ull;
  hash ^= hash >> 32;
  return static_cast<size_t>(hash) & mask;
}

// True when the record holds exactly the first `count` texts of the line.
bool lineMatches(const LineRecord& record, const LineRecord& line, uint32_t count) {
  if (record.count != count) return false;
  for (uint32_t i = 0; i < count; i++)
    if (std::strncmp(record.san[i], line.san[i], SAN_TEXT_SIZE) != 0) return false;
  return true;
}

// Returns the slot that holds the line's record or the free slot where it belongs.
size_t lineProbe(const LineRecords& records, const LineRecord& line, uint32_t count, uint64_t hash) {
  size_t mask = records.slots.size() - 1;
  size_t slot = lineSlot(hash, mask);
  while (records.slots[slot] != 0) {
    if (lineMatches(records.lines[records.slots[slot] - 1], line, count)) return slot;
    slot = (slot + 1) & mask;
  }
  return slot;
}

// Doubles the index (or creates it) and files every record again.
void lineIndexGrow(LineRecords& records) {
  size_t size = records.slots.empty() ? 1024 : records.slots.size() * 2;
  records.slots.assign(size, 0);
  for (size_t i = 0; i < records.lines.size(); i++) {
    const LineRecord& line = records.lines[i];
    size_t slot = lineProbe(records, line, line.count, lineHash(line, line.count));
    records.slots[slot] = static_cast<uint32_t>(i + 1);
  }
}

// True for the four texts that end a game's move text.
bool isGameEnd(const char* token) {
  return std::strcmp(token, "1-0") == 0 || std::strcmp(token, "0-1") == 0 || std::strcmp(token, "1/2-1/2") == 0 ||
         std::strcmp(token, "*") == 0;
}

// Empties the game being read.
void gameLineClear(LineRecord& line) {
  line.count = 0;
  line.games = 0;
  line.blackWins = 0;
  line.whiteWins = 0;
}

// Copies at most size - 1 characters of a text and ends the copy.
void textCopyCut(char* to, const char* from, int size) {
  int i = 0;
  for (; i < size - 1 && from[i]; i++) to[i] = from[i];
  to[i] = 0;
}

// Restarts the token.
void tokenClear(PgnReader& reader) {
  reader.tokenLength = 0;
  reader.token[0] = 0;
}

// Appends one character to the token; a line never holds more than the token does.
void tokenAppend(PgnReader& reader, char c) {
  if (reader.tokenLength >= PGN_LINE_SIZE - 1) return;
  reader.token[reader.tokenLength++] = c;
  reader.token[reader.tokenLength] = 0;
}

// Opens a comment or a variation that returns to the current state.
void nestOpen(PgnReader& reader, PgnState inner) {
  reader.returnState = reader.state;
  reader.returnSub = reader.sub;
  reader.nesting++;
  reader.state = inner;
}

// Closes one level of a comment or variation.
void nestClose(PgnReader& reader) {
  if (reader.nesting > 0) reader.nesting--;
  if (reader.nesting == 0) {
    reader.state = reader.returnState;
    reader.sub = reader.returnSub;
  }
}

// Ends the game being read: what was collected is dropped.
void gameEnd(PgnReader& reader) {
  reader.plyCount = 0;
  gameLineClear(reader.gameLine);
  reader.nagAfterFirst = false;
  reader.state = PgnState::Between;
  reader.sub = PGN_EXPECT_NUMBER;
}

// Takes one move text of the current game.
void takeMove(PgnReader& reader) {
  LineRecord& game = reader.gameLine;
  if (reader.plyCount < reader.depth && game.count < LINE_MAX_PLIES) {
    // Longer texts are cut: nothing longer is a move anyway.
    textCopyCut(game.san[game.count], reader.token, SAN_TEXT_SIZE);
    game.count++;
  }
  reader.plyCount++;
  if (reader.sub == PGN_EXPECT_FIRST) {
    reader.sub = PGN_EXPECT_SECOND;
  } else {
    reader.sub = PGN_EXPECT_NUMBER;
    reader.nagAfterFirst = false;
  }
  if (reader.plyCount >= reader.depth) {
    addBookLine(*reader.lineRecords, game);
    gameLineClear(game);
    reader.nagAfterFirst = false;
    reader.state = PgnState::SkipGame;
  }
}

// Handles the end of a token in move text.
void tokenEnd(PgnReader& reader) {
  switch (reader.sub) {
    case PGN_EXPECT_NUMBER:
      if (isGameEnd(reader.token)) gameEnd(reader);
      break;
    case PGN_EXPECT_FIRST:
    case PGN_EXPECT_SECOND:
      if (reader.tokenLength == 0) break;
      if (isGameEnd(reader.token))
        gameEnd(reader);
      else
        takeMove(reader);
      break;
    default:  // the number of a glyph
      reader.sub = PGN_EXPECT_NUMBER;
      break;
  }
  tokenClear(reader);
}

// Handles one character between games and tag pairs.
void readBetween(PgnReader& reader, char c) {
  if (c == '[') {
    reader.state = PgnState::Tag;
    reader.sub = PGN_TAG_NAME;
  } else if (c == '{') {
    nestOpen(reader, PgnState::Comment);
  } else if (c == '(') {
    nestOpen(reader, PgnState::Variation);
  } else if (c >= '1' && c <= '9') {
    tokenAppend(reader, c);
    reader.state = PgnState::MoveText;
  }
}

// Handles one character of a tag pair; only the Result tag is used.
void readTag(PgnReader& reader, char c) {
  if (c == '"') {
    if (reader.sub == PGN_TAG_VALUE && std::strcmp(reader.tagName, "Result") == 0) {
      if (std::strcmp(reader.token, "1-0") == 0) reader.gameLine.whiteWins++;
      if (std::strcmp(reader.token, "0-1") == 0) reader.gameLine.blackWins++;
    }
    reader.sub = reader.sub == PGN_TAG_NAME ? PGN_TAG_VALUE : PGN_TAG_NAME;
    tokenClear(reader);
  } else if (c == ']') {
    reader.state = PgnState::Between;
  } else if (c == ' ' && reader.sub == PGN_TAG_NAME) {
    // An over-long name is cut to the buffer.
    textCopyCut(reader.tagName, reader.token, PGN_TAG_NAME_SIZE);
    tokenClear(reader);
  } else {
    tokenAppend(reader, c);
  }
}

// Handles one character of move text.
void readMoveText(PgnReader& reader, char c) {
  switch (c) {
    case '$':
      if (reader.sub == PGN_EXPECT_SECOND) reader.nagAfterFirst = true;
      reader.sub = PGN_IN_NAG;
      break;
    case '.':
      tokenClear(reader);
      if (reader.sub == PGN_EXPECT_NUMBER) reader.sub = reader.nagAfterFirst ? PGN_EXPECT_SECOND : PGN_EXPECT_FIRST;
      break;
    case '{':
      nestOpen(reader, PgnState::Comment);
      break;
    case '(':
      nestOpen(reader, PgnState::Variation);
      break;
    case ' ':
    case '\r':
    case '\n':
      tokenEnd(reader);
      break;
    default:
      tokenAppend(reader, c);
      break;
  }
}

}  // namespace

// Merges every prefix of the game's line into the records.
void addBookLine(LineRecords& lineRecords, const LineRecord& game) {
  uint32_t count = game.count < LINE_MAX_PLIES ? game.count : LINE_MAX_PLIES;
  uint64_t hash = LINE_HASH_SEED;
  for (uint32_t p = 1; p <= count; p++) {
    hash = lineHashStep(hash, game.san[p - 1]);
    if ((lineRecords.lines.size() + 1) * 2 > lineRecords.slots.size()) lineIndexGrow(lineRecords);
    size_t slot = lineProbe(lineRecords, game, p, hash);
    if (lineRecords.slots[slot] != 0) {
      LineRecord& record = lineRecords.lines[lineRecords.slots[slot] - 1];
      record.games++;
      record.blackWins += game.blackWins;
      record.whiteWins += game.whiteWins;
      continue;
    }
    LineRecord candidate;
    std::memset(&candidate, 0, sizeof candidate);
    std::memcpy(candidate.san, game.san, sizeof(candidate.san[0]) * p);
    candidate.count = p;
    candidate.games = 1;
    candidate.blackWins = game.blackWins;
    candidate.whiteWins = game.whiteWins;
    lineRecords.lines.push_back(candidate);
    lineRecords.slots[slot] = static_cast<uint32_t>(lineRecords.lines.size());
  }
}

// Returns the record with these first `count` texts, or null.
const LineRecord* lineRecordFind(const LineRecords& lineRecords, const LineRecord& line, uint32_t count) {
  if (lineRecords.slots.empty() || count > LINE_MAX_PLIES) return nullptr;
  size_t slot = lineProbe(lineRecords, line, count, lineHash(line, count));
  if (lineRecords.slots[slot] == 0) return nullptr;
  return &lineRecords.lines[lineRecords.slots[slot] - 1];
}

// Prepares a reader that collects `depth` plies per game.
void pgnReaderInit(PgnReader& reader, int depth, LineRecords* lineRecords) {
  std::memset(&reader, 0, sizeof reader);
  reader.state = PgnState::Between;
  reader.sub = PGN_EXPECT_NUMBER;
  reader.returnState = PgnState::Between;
  reader.returnSub = PGN_EXPECT_NUMBER;
  // A line record holds LINE_MAX_PLIES texts; a deeper request is bounded to it.
  reader.depth = depth > LINE_MAX_PLIES ? LINE_MAX_PLIES : depth;
  reader.lineRecords = lineRecords;
}

// Feeds one line to the reader.
void pgnReadLine(PgnReader& reader, const char* line) {
  int i = 0;
  tokenClear(reader);
  if (reader.state == PgnState::SkipGame) {
    // A skipped game ends at the next tag line.
    if (line[0] != '[') return;
    reader.plyCount = 0;
    reader.state = PgnState::Tag;
    reader.sub = PGN_TAG_NAME;
    i = 1;
  }
  for (; line[i] && i < PGN_LINE_SIZE - 1; i++) {
    char c = line[i];
    switch (reader.state) {
      case PgnState::Between:
        readBetween(reader, c);
        break;
      case PgnState::Tag:
        readTag(reader, c);
        break;
      case PgnState::Variation:
        if (c == '(') reader.nesting++;
        if (c == ')') nestClose(reader);
        break;
      case PgnState::Comment:
        if (c == '{') reader.nesting++;
        if (c == '}') nestClose(reader);
        break;
      case PgnState::MoveText:
        readMoveText(reader, c);
        break;
      case PgnState::SkipGame:
        return;  // the rest of the line belongs to the skipped game
    }
  }
}

// Reads the whole file into `lineRecords`; false after a read error.
bool pgnReadGames(FILE* file, int depth, LineRecords& lineRecords) {
  std::unique_ptr<PgnReader> reader(new PgnReader);
  std::unique_ptr<char[]> line(new char[PGN_LINE_SIZE]);
  pgnReaderInit(*reader, depth, &lineRecords);
  // fgets yields nothing both at the end and on a read error: either ends the reading.
  while (std::fgets(line.get(), PGN_LINE_SIZE, file)) {
    if (line[0] == 0) continue;
    pgnReadLine(*reader, line.get());
  }
  return !std::ferror(file);
}
