#pragma once
// Evaluation suite ("-evalsuite"): the static evaluation of every position
// of a FEN list, with the evaluation speed.

class Engine;

// Prints "<line> ; eval <score>" for every accepted FEN line of `fileName`,
// then the time and speed. Returns false, printing nothing, when the file
// cannot be opened or read, and without the time when a read fails part way.
bool evalSuite(Engine& engine, const char* fileName);
