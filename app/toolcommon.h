#pragma once
// Line input, timing and engine set-up shared by the command-line tools that
// read lists of positions (test suite, evaluation suite, FEN check, SEE test).

#include <cstddef>
#include <cstdio>

struct MainContext;
class Engine;

// A tool line keeps up to 255 characters of its text, then its line end and
// the terminating zero.
constexpr size_t TOOL_LINE_TEXT = 255;
constexpr size_t TOOL_LINE_SIZE = TOOL_LINE_TEXT + 2;

// Reads one line of `file` into `buffer` (TOOL_LINE_SIZE bytes): the text of
// the line, cut after 255 characters, always followed by one "\n". The rest of
// a longer line is skipped, so a long line stays one line. The bytes kept,
// the "\n" included, go to *kept when given: a zero byte in the text does not
// end it there. Returns false at end of file when nothing was read.
bool readToolLine(FILE* file, char* buffer, size_t* kept = nullptr);

// Opens a suite or list file for reading; null when it does not open or its
// first read fails (a directory opens on Linux but cannot be read), so that
// such a file prints nothing, like one that does not open.
FILE* openToolFile(const char* fileName);

// Closes a file opened by openToolFile; false when a read failed on the way,
// so what was read is not the whole file and no report may follow.
bool closeToolFile(FILE* file);

// Replaces every character below 32 and every byte above 127 by a blank.
void blankControlCharacters(char* text);

// Microseconds on the wall clock.
double wallClockMicroseconds();

// count per second over `elapsed` microseconds, truncated like the other
// speed lines; an elapsed time of 0 counts as 16000 microseconds.
int ratePerSecond(unsigned long long count, double elapsed);

// Prints the time line (timeLabel, then the time) and "Speed : <n> <unit>/s"
// for count items in `elapsed` microseconds.
void printToolTiming(const char* timeLabel, double elapsed, unsigned long long count, const char* unit);

// Engine set-up of the tools: tables with the configured hash size, a new
// game, no infinite analysis, moveTime microseconds per move.
void startToolEngine(MainContext* context, unsigned moveTime = 10000000);

// A list tool: reads fileName and prints its findings; false when the file
// does not open or cannot be read to its end.
typedef bool (*ListTool)(Engine& engine, const char* fileName);

// Engine set-up, the tool, table release (also when the file does not
// open); the tool's answer.
bool runListTool(MainContext* context, const char* fileName, ListTool tool);
