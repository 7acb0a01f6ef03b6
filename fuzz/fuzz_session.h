// A whole GUI session run the way the program runs one: the text goes down
// a pipe that stands in for standard input, the input loop hands its lines
// to the protocols, and running searches poll the same pipe. The end of the
// text ends the session as the end of input does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct MainContext;

// Longest session input the targets take: somewhat above the longest line
// the program reads whole, so that inputs reach both that line and the
// dropping of a longer one.
constexpr size_t MAX_SESSION_INPUT = 70000;

// Settings a session starts with (as the settings file would give them).
struct SessionSettings {
  unsigned hashMB = 1;
  unsigned book = 0;
  unsigned useStrength = 0;
  unsigned strengthElo = 2600;
  std::string bookFile = "book.bin";
  // Start in UCI directly, with the tables a "uci" line would build but
  // with hashMB, instead of reading the first line: "uci" always builds a
  // 32 MB table, which would cost more than the rest of a typical input.
  bool startInUci = false;
};

// Prepares the process once: a working directory with a small book file
// ("book.bin"), standard output to /dev/null.
void sessionInitialize();

// Rewrites the lines that would make one input cost seconds or gigabytes:
// perft depths above 3 and hash sizes above 4 MB; book file names other
// than the prepared ones (a fuzzed name could be a device that blocks).
std::string clampSession(const std::string& text);

// Runs the session text through the input loop with the given settings.
void runSession(const std::string& text, const SessionSettings& settings);
