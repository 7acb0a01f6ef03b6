// "-buildbook" run through both programs, as a user runs it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string tempPath(const char* name) {
    return "/tmp/tarvok_book_tool_" + std::to_string(getpid()) + "_" + name;
}

std::string readBytes(const std::string& path) {
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    int c;
    while ((c = std::fgetc(file)) != EOF) bytes += static_cast<char>(c);
    std::fclose(file);
    return bytes;
}

// Runs a program with arguments and no input, under a time limit; the exit status.
int run(const std::string& command) {
    std::string line = "timeout 60 " + command + " </dev/null >/dev/null 2>&1";
    int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(BookTool, BothProgramsBuildTheSameBookAndReportFailures) {
    const std::string pgn = TARVOK_TEST_DATA "/games.pgn";
    const std::string popcntBook = tempPath("popcnt.bin"), genericBook = tempPath("generic.bin");
    EXPECT_EQ(run(std::string(TARVOK_BIN_POPCNT) + " -buildbook " + pgn + " " + popcntBook + " 16 2"), 0);
    EXPECT_EQ(run(std::string(TARVOK_BIN_GENERIC) + " -buildbook " + pgn + " " + genericBook + " 16 2"), 0);
    const std::string bytes = readBytes(popcntBook);
    ASSERT_GT(bytes.size(), 12u);
    EXPECT_EQ(bytes.substr(0, 4), "BOOK");
    EXPECT_EQ(bytes, readBytes(genericBook));
    // A PGN file that does not open: failure status and no book.
    const std::string missingBook = tempPath("missing.bin");
    EXPECT_EQ(run(std::string(TARVOK_BIN_POPCNT) + " -buildbook " + tempPath("none.pgn") + " " +
                  missingBook + " 16 2"),
              1);
    EXPECT_TRUE(readBytes(missingBook).empty());
    std::remove(popcntBook.c_str());
    std::remove(genericBook.c_str());
}

}  // namespace
