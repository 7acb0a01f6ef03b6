#pragma once

#include "protocol/protocol.h"
#include "search/output.h"

class ConsoleProtocol;

// Output of the start-up protocol: one human-readable line per reported
// principal variation (the command-line tools that search); nothing else.
class ConsoleOutput : public SearchOutput {
public:
    ~ConsoleOutput() override;
    void searchDone(int stop) override;
    void sendPV(double elapsed, int depth, PVLine* line, u64 nodes, int selDepth, int bound) override;
    void sendMultiPV(double elapsed, int index, int depth, PVLine* line, u64 nodes, int selDepth,
                     int bound) override;
    void sendHashFull(int value) override;
    void sendDepth(int depth) override;
    void pollInput() override;
    void sendCurrMove(Move move, int number) override;

    Protocol* owner = nullptr;
    MainContext* context = nullptr;
};

// The protocol current at start-up: its only task is to choose UCI or
// xboard from the first line.
class ConsoleProtocol : public Protocol {
public:
    ConsoleProtocol(Engine* engineIn, MainContext* contextIn) : Protocol(engineIn, contextIn) {}
    ~ConsoleProtocol() override;
    void attach() override;
    bool handleLine(const char* line) override;

    ConsoleOutput output;
};

// Writes the console iteration line (index 1 or a single line) or the
// continuation line (index 2 and more) into out (size bytes).
void formatConsoleLine(char* out, int size, double elapsed, int index, int depth, const PVLine* line,
                       u64 nodes, int selDepth, int bound);
