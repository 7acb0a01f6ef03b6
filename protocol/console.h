#pragma once

#include "protocol/protocol.h"
#include "search/output.h"

// Output of the start-up protocol: one human-readable line per reported
// principal variation (the command-line tools that search); nothing else,
// and no input is read while such a tool searches.
class ConsoleOutput : public SearchOutput {
 public:
  void sendPV(double elapsed, int depth, PVLine* line, u64 nodes, int selDepth, int bound) override;
  void sendMultiPV(double elapsed, int index, int depth, PVLine* line, u64 nodes, int selDepth, int bound) override;
};

// The protocol current at start-up: its only task is to choose UCI or
// xboard from the first line.
class ConsoleProtocol : public Protocol {
 public:
  ConsoleProtocol(Engine* engineIn, MainContext* contextIn) : Protocol(engineIn, contextIn) {}
  void attach() override;
  bool handleLine(const char* line) override;

  ConsoleOutput output;
};

// Writes the console iteration line (index 1 or a single line) or the
// continuation line (index 2 and more) into out (size bytes).
void formatConsoleLine(char* out, int size, double elapsed, int index, int depth, const PVLine* line, u64 nodes,
                       int selDepth, int bound);
