// The console and xboard iteration lines, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/context.h"
#include "protocol/console.h"
#include "protocol/xboard.h"
#include "search/engine.h"

namespace {

std::string consoleLine(double elapsed, int index, int score, int bound, int moves) {
    PVLine line = {};
    line.count = moves;
    line.moves[0].move = makeMoveValue(6, 21, 2);  // Ng1-f3
    line.moves[0].score = score;
    line.moves[1].move = makeMoveValue(52, 36, 1, 0, 0, MOVE_DOUBLE);  // e7-e5
    char out[4096];
    formatConsoleLine(out, sizeof out, elapsed, index, 7, &line, 123456, 12, bound);
    return out;
}

}  // namespace

TEST(ConsoleOutput, IterationLines) {
    EXPECT_EQ(consoleLine(1500000.0, 1, 25, 0, 2), " 7/12  00:00:01.500       123456     82   +0.25 Ng1-f3 e7-e5 ");
    EXPECT_EQ(consoleLine(1500000.0, 2, -40, 0, 2), "       00:00:01.500       123456     82   -0.40 Ng1-f3 e7-e5 ");
    EXPECT_EQ(consoleLine(1500000.0, 1, 31995, 2, 1), " 7/12+ 00:00:01.500       123456     82     +M3 Ng1-f3 ");
    EXPECT_EQ(consoleLine(1500000.0, 1, 25, 1, 1).substr(0, 6), " 7/12-");
    EXPECT_EQ(consoleLine(1500000.0, 1, 31999, 0, 1).substr(39, 8), "     +M1");
    EXPECT_EQ(consoleLine(1500000.0, 1, 31744, 0, 1).substr(39, 8), "   +M129");
    EXPECT_EQ(consoleLine(1500000.0, 1, 31743, 0, 1).substr(39, 8), " +317.43");
    EXPECT_EQ(consoleLine(1500000.0, 1, -32000, 0, 1).substr(39, 8), "     -M0");
    EXPECT_EQ(consoleLine(1500000.0, 1, -31744, 0, 1).substr(39, 8), "   -M128");
    EXPECT_EQ(consoleLine(1500000.0, 1, -31743, 0, 1).substr(39, 8), " -317.43");
    EXPECT_EQ(consoleLine(1500000.0, 1, 0, 0, 0), " 7/12  00:00:01.500       123456     82   +0.00 ");
    // No time yet: the rate is taken over 16 ms.
    EXPECT_EQ(consoleLine(0.0, 1, 0, 0, 0), " 7/12  00:00:00.000       123456   7716   +0.00 ");
}

TEST(XboardOutput, ThinkingLines) {
    Engine engine;
    MainContext context;
    memset(&context, 0, sizeof context);
    context.engine = &engine;
    XboardProtocol protocol(&engine, &context);
    context.protocol = &protocol;
    protocol.attach();
    PVLine line = {};
    line.count = 2;
    line.moves[0].move = makeMoveValue(6, 21, 2);
    line.moves[0].score = 25;
    line.moves[1].move = makeMoveValue(52, 36, 1, 0, 0, MOVE_DOUBLE);
    testing::internal::CaptureStdout();
    protocol.output.sendPV(1500000.0, 7, &line, 10000, 9, 0);
    line.moves[0].score = 31999;
    protocol.output.sendMultiPV(999.0, 2, 3, &line, 5, 9, 0);
    protocol.post = 0;
    protocol.output.sendPV(1500000.0, 8, &line, 10000, 9, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "7 25 150 10000 g1f3 e7e5\n3 31999 0 5 g1f3 e7e5\n");
}
