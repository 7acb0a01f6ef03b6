#pragma once

#include "board/types.h"

class Engine;
class Protocol;

// Size of the one input line buffer: lines of up to 4095 characters.
constexpr int LINE_BUFFER_SIZE = 4096;

// The entry function's record, shared with every protocol and output object.
struct MainContext {
    Engine* engine;        // the one engine; owned by main
    Protocol* protocol;    // the current protocol; owned through this field
    char* lineBuffer;      // the input line buffer (LINE_BUFFER_SIZE chars)
    u8 quit;               // ends the input loop
    u32 infinite;          // the running search is an infinite analysis
    u32 ponderOption;      // pondering switched on by the protocol
    u32 ponderPending;     // a ponder search is due, running or has a result waiting
    u32 hasPopcount;       // the processor test found POPCNT
    u32 movesLeft;         // moves left to the next xboard time control
    u32 movesPerPeriod;    // moves per xboard time control
    u32 newGamePending;    // a new game was asked for while a search ran
    u32 ponderMove;        // the reply a ponder search assumes
    u32 Hash;              // tarvok.ini Hash: table MB for the tools and xboard
    u32 Book;              // tarvok.ini Book: use the opening book
    u32 UseStrength;       // tarvok.ini UseStrength: strength limit under xboard
    u32 StrengthELO;       // tarvok.ini StrengthELO
    char buildKind[8];     // build label of the banner and the names
    char bookFile[1024];   // opening-book file name
};

// Version text shown in the banner, the help and the protocol names.
constexpr const char* TARVOK_VERSION = "1.8";
