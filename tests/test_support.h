// Set-up shared by the in-process tests: an engine with its tables, boards
// read from FEN text, legal move lists, square names and scratch files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "board/bitboard.h"
#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/types.h"
#include "eval/eval.h"
#include "eval/pawns.h"
#include "eval/psqt.h"
#include "search/engine.h"

// Square number of a name like "e4".
constexpr int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

// Coordinate text of a move's squares (castling as king to rook) and its
// promotion letter.
inline std::string squaresText(Move m) {
  std::string s = {char('a' + squareFile(moveFrom(m))), char('1' + squareRank(moveFrom(m))),
                   char('a' + squareFile(moveTo(m))), char('1' + squareRank(moveTo(m)))};
  if (movePromotion(m)) s += " pnbrq"[movePromotion(m)];
  return s;
}

// One engine with a small table for all tests of a suite, in a new game.
struct EngineTest : ::testing::Test {
  static Engine* engine;
  static void SetUpTestSuite() {
    engine = new Engine();
    engine->init(1);
    engine->newGame();
  }
  static void TearDownTestSuite() {
    engine->releaseTables();
    delete engine;
    engine = nullptr;
  }
  void SetUp() override { engine->chess960 = 0; }
  static Board& board() { return engine->board; }
  static void set(const char* fen) { ASSERT_TRUE(engine->setFEN(fen)) << fen; }
  static std::string fen() {
    char text[FEN_BUFFER_SIZE];
    engine->getFEN(text);
    return text;
  }
};
inline Engine* EngineTest::engine = nullptr;

// Legal moves of the side to move, kept in generation order in list.
inline u32 legalMoves(Board& b, MoveSlot* list) {
  const u32 n = generateMoves(b, list, boardInCheck(b));
  u32 kept = 0;
  for (u32 i = 0; i < n; i++) {
    makeMove(b, list[i].move);
    if (!isSquareAttacked(b, b.kingSquare[b.opponent], b.side)) list[kept++] = list[i];
    unmakeMove(b, list[i].move);
  }
  return kept;
}

// Builds the tables the evaluation reads, once per test program.
inline void evalTestInit() {
  static bool done = false;
  if (done) return;
  initTables();
  mirrorPieceSquareTables();
  allocatePawnHash();
  done = true;
}

// A heap board set from fen, or null when the text is refused.
inline std::unique_ptr<Board> boardFromFen(const char* fen) {
  evalTestInit();
  std::unique_ptr<Board> b(new Board());
  if (!boardSetFEN(*b, fen)) return nullptr;
  return b;
}

// The evaluation of a position given as FEN.
inline int evalFen(const char* fen) {
  auto b = boardFromFen(fen);
  EXPECT_TRUE(b != nullptr) << fen;
  return b ? evaluate(*b) : 0;
}

// Writes bytes to a file.
inline void writeFile(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// The bytes of a file ("" when it does not open).
inline std::string readFile(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
  std::fclose(file);
  return bytes;
}

// A scratch directory for the files of one test, removed with them afterwards.
struct ScratchDir {
  std::string dir;
  ScratchDir() {
    char pattern[] = "/tmp/tarvok-test-XXXXXX";
    if (mkdtemp(pattern)) dir = pattern;
  }
  ~ScratchDir() {
    for (const std::string& f : files) unlink(f.c_str());
    rmdir(dir.c_str());
  }
  // Path of a file in the directory, removed at the end.
  std::string path(const std::string& name) {
    files.push_back(dir + "/" + name);
    return files.back();
  }
  // Writes a file into the directory and returns its path.
  std::string write(const std::string& name, const std::string& text) {
    const std::string p = path(name);
    writeFile(p, text);
    return p;
  }
  std::vector<std::string> files;
};
