#include "app/fencheck.h"

#include <cstdio>
#include <cstring>

#include "app/toolcommon.h"
#include "protocol/linewriter.h"

namespace {

// Checker states; 4 is not used.
enum FenState {
  PLACEMENT = 0,
  RANK_FULL = 1,
  SEPARATOR = 2,
  SIDE = 3,
  CASTLING = 5,
  EN_PASSANT = 6,
  HALFMOVE = 7,
  MOVE_NUMBER = 8,
  REST = 9
};

// Counters of the field in progress: e.p. characters or clock digits.
constexpr int MAX_CLOCK_DIGITS = 30;

struct FenCheck {
  int state = PLACEMENT;
  int pending = PLACEMENT;  // state taken after the next blank (state 2)
  int rank = 7;
  int file = 0;
  int counter = 0;
  int pieces[2][7] = {};  // [colour][type], colour 1 white
};

// Changes state, resetting the field counter for the last four states.
void enterState(FenCheck& check, int state) {
  check.state = state;
  if (state >= EN_PASSANT) check.counter = 0;
}

// After a square of the placement field: a complete rank moves on.
void afterSquare(FenCheck& check) {
  if (check.file != 8) return;
  if (check.rank == 0) {
    check.state = SEPARATOR;
    check.pending = SIDE;
  } else {
    check.state = RANK_FULL;
  }
}

// Counts a piece letter; false when the counts or its square are impossible.
bool placePiece(FenCheck& check, char c) {
  static const char* const letters[2] = {" pnbrqk", " PNBRQK"};
  int colour = -1;
  int type = 0;
  for (int col = 0; col < 2 && colour < 0; ++col) {
    const char* hit = strchr(letters[col] + 1, c);
    if (hit) {
      colour = col;
      type = static_cast<int>(hit - letters[col]);
    }
  }
  if (colour < 0) return false;
  if (check.file >= 8 || check.rank < 0) return false;
  const int count = ++check.pieces[colour][type];
  if (type == 1 && (count > 8 || check.rank == 7 || check.rank == 0)) return false;
  if (type == 6 && count > 1) return false;
  if (type != 1 && type != 6 && count > 9) return false;
  check.file += 1;
  afterSquare(check);
  return true;
}

// Feeds one character of the piece placement field.
bool readPlacement(FenCheck& check, char c) {
  if (c >= '1' && c <= '8') {
    check.file += c - '0';
    if (check.file > 8) return false;
    afterSquare(check);
    return true;
  }
  if (c == '/') {
    // A ninth rank is no board.
    if (check.rank == 0) return false;
    check.rank -= 1;
    check.file = 0;
    return true;
  }
  if (c == ' ') {
    enterState(check, SIDE);
    return true;
  }
  return placePiece(check, c);
}

// Feeds one character of a clock field (states 7 and 8).
bool readClock(FenCheck& check, char c, bool& again) {
  if (c == ' ') {
    enterState(check, check.state == HALFMOVE ? MOVE_NUMBER : REST);
    return true;
  }
  if (c >= '0' && c <= '9') return ++check.counter <= MAX_CLOCK_DIGITS;
  enterState(check, REST);
  again = true;
  return true;
}

// Feeds one character; false when the line is no FEN. `again` asks for the
// same character to be read once more in the new state.
bool feed(FenCheck& check, char c, bool& again) {
  again = false;
  switch (check.state) {
    case PLACEMENT:
      return readPlacement(check, c);
    case RANK_FULL:
      if (c == '/') {
        check.rank -= 1;
        check.file = 0;
        check.state = PLACEMENT;
        return true;
      }
      if (c == ' ') {
        enterState(check, SIDE);
        return true;
      }
      return false;
    case SEPARATOR:
      if (c != ' ') return false;
      enterState(check, check.pending);
      return true;
    case SIDE:
      if (c != 'w' && c != 'b') return false;
      check.state = SEPARATOR;
      check.pending = CASTLING;
      return true;
    case CASTLING:
      if (c == ' ') {
        enterState(check, EN_PASSANT);
        return true;
      }
      return c == 'K' || c == 'Q' || c == 'k' || c == 'q' || c == '-';
    case EN_PASSANT:
      if (c == '-' || c == ';') {
        // The rank digit must follow its file letter at once.
        if (check.counter == 1) check.counter = 2;
        return true;
      }
      if (c >= 'a' && c <= 'h') return check.counter++ == 0;
      if (c >= '1' && c <= '8') return check.counter++ == 1;
      if (c == ' ') {
        enterState(check, HALFMOVE);
        return true;
      }
      return false;
    case HALFMOVE:
    case MOVE_NUMBER:
      return readClock(check, c, again);
    default:
      return true;
  }
}

}  // namespace

// Runs the state machine over the whole line.
bool fenTextIsPlausible(const char* line, int* failAt) {
  FenCheck check;
  int i = 0;
  for (; line[i]; ++i) {
    bool again = true;
    while (again) {
      if (!feed(check, line[i], again)) {
        if (failAt) *failAt = i;
        return false;
      }
    }
  }
  const bool valid = check.state == HALFMOVE || check.state == MOVE_NUMBER || check.state == REST;
  if (!valid && failAt) *failAt = i;
  return valid;
}

// Prints the verdict of every line and the count of valid ones.
bool checkFenSuite(const char* fileName) {
  FILE* file = openToolFile(fileName);
  if (!file) return false;
  sendLine("Check FEN suite : '%s'", fileName);
  char line[TOOL_LINE_SIZE];
  unsigned valid = 0;
  unsigned counted = 0;
  while (readToolLine(file, line)) {
    if (strlen(line) < 2) continue;
    blankControlCharacters(line);
    int failAt = 0;
    if (fenTextIsPlausible(line, &failAt)) {
      valid += 1;
    } else {
      sendLine("Invalid FEN String : '%s'", line + failAt);
    }
    counted += 1;
  }
  if (!closeToolFile(file)) return false;
  sendLine("Checked %u / %u valid FEN string", valid, counted);
  return true;
}
