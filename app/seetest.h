#pragma once
// Static exchange test ("-testsee"): sets up the position of every best-move
// field of a file and evaluates the exchange of each of its moves, timing
// the run.

class Engine;

// Runs the test over `fileName` and prints the time and the speed. Each
// generated move's slot receives its exchange value as score. Returns false,
// printing nothing, when the file cannot be opened or read.
bool seeTest(Engine& engine, const char* fileName);
