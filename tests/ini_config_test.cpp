// The settings file tarvok.ini: reader rules and the keys the program takes.
#include "app/config.h"
#include "app/context.h"
#include "e2e_driver.h"
#include "test_support.h"

namespace {

// Runs each test in a fresh directory holding the settings file under test.
struct IniTest : testing::Test {
  void SetUp() override {
    ASSERT_NE(getcwd(oldDir_, sizeof oldDir_), nullptr);
    ASSERT_EQ(chdir(scratch.dir.c_str()), 0);
    scratch.path("tarvok.ini");
  }
  void TearDown() override { EXPECT_EQ(chdir(oldDir_), 0); }
  void write(const std::string& text) { writeFile("tarvok.ini", text); }
  int intOf(const char* key, int unchanged = -12345) {
    int v = unchanged;
    readIniInt(key, &v);
    return v;
  }
  char oldDir_[4096];
  ScratchDir scratch;
  const std::string& dir_ = scratch.dir;
};

}  // namespace

// Keys count only inside [Engine]; the key is taken exactly; the first match wins.
TEST_F(IniTest, SectionsKeysAndFirstMatch) {
  write("Hash=1\n[Engine]\nHash = 64\nBook=1\n[Other]\nHash=8\nHash=16\nStrengthELO=1800\n");
  EXPECT_EQ(intOf("Hash"), 8);  // "Hash " is another key; [Other] does not close [Engine]
  EXPECT_EQ(intOf("Book"), 1);
  EXPECT_EQ(intOf("StrengthELO"), 1800);
  EXPECT_EQ(intOf("UseStrength"), -12345);  // missing: unchanged
  EXPECT_EQ(intOf("hash"), -12345);         // case matters
}

// Numbers: leading blanks, a sign, digits up to the first other character.
TEST_F(IniTest, IntegerValues) {
  write("[Engine]\nA= 64\nB=64MB\nC=abc\nD=-7\nE=\nF=99999999999999\n");
  EXPECT_EQ(intOf("A"), 64);
  EXPECT_EQ(intOf("B"), 64);
  EXPECT_EQ(intOf("C"), 0);
  EXPECT_EQ(intOf("D"), -7);
  EXPECT_EQ(intOf("E"), 0);
  EXPECT_EQ(intOf("F"), 2147483647);
}

// Carriage returns, tabs and non-ASCII bytes end a line; a header without
// its closing bracket right after the name names another section; no
// section before [Engine].
TEST_F(IniTest, LineCutsAndHeaders) {
  write(
      "[Engine\r\n[EngineX\r\nHash=4\r\n[Engine]\r\nBookFile=my "
      "book.bin\tcomment\r\nBook=\xc3\xa9\r\n[\r\nUseStrength=1\r\n");
  EXPECT_EQ(intOf("Hash"), -12345);
  char text[1024] = "unchanged";
  ASSERT_EQ(readIniString("BookFile", text), 1);
  EXPECT_STREQ(text, "my book.bin");
  EXPECT_EQ(intOf("Book"), 0);
  EXPECT_EQ(intOf("UseStrength"), 1);  // a bare "[" opens nothing and closes nothing
  EXPECT_EQ(readIniString("Missing", text), 0);
  EXPECT_STREQ(text, "my book.bin");
}

// A long line is read in pieces; a value never overflows the caller's buffer.
TEST_F(IniTest, LongLinesStayBounded) {
  std::string longValue(3000, 'b');
  write("[Engine]\nBookFile=" + longValue + "\nHash=2\n");
  char text[1024];
  ASSERT_EQ(readIniString("BookFile", text), 1);
  EXPECT_LT(strlen(text), 1023u);
  EXPECT_EQ(intOf("Hash"), 2);
}

// The program reads its five keys into the context; a missing or empty
// file keeps every default.
TEST_F(IniTest, ProgramSettings) {
  MainContext ctx;
  memset(&ctx, 0, sizeof ctx);
  ctx.Hash = 32;
  ctx.StrengthELO = 2600;
  snprintf(ctx.bookFile, sizeof ctx.bookFile, "%s", "tarvokbook-11.bin");
  readSettingsFile(&ctx);  // no file
  EXPECT_EQ(ctx.Hash, 32u);
  write("");
  readSettingsFile(&ctx);
  EXPECT_EQ(ctx.Hash, 32u);
  EXPECT_STREQ(ctx.bookFile, "tarvokbook-11.bin");
  write("[Engine]\nHash=64\nBook=1\nBookFile=other.bin\nUseStrength=1\nStrengthELO=1500\nLogLevel=3\n");
  readSettingsFile(&ctx);
  EXPECT_EQ(ctx.Hash, 64u);
  EXPECT_EQ(ctx.Book, 1u);
  EXPECT_STREQ(ctx.bookFile, "other.bin");
  EXPECT_EQ(ctx.UseStrength, 1u);
  EXPECT_EQ(ctx.StrengthELO, 1500u);
}

// Under xboard the settings are used: a strength limit and a missing book
// file leave a working engine that still moves.
TEST_F(IniTest, XboardRunsWithSettings) {
  write("[Engine]\nHash=8\nBook=1\nBookFile=/nonexistent/book.bin\nUseStrength=1\nStrengthELO=1200\n");
  E2eDriver d;
  ASSERT_TRUE(d.start(TARVOK_BIN_POPCNT, {}, dir_));
  d.sendAll({"xboard", "protover 2"});
  ASSERT_TRUE(d.waitFor("feature", 10000)) << d.transcript();
  d.sendAll({"new", "sd 3", "go"});
  EXPECT_TRUE(d.waitFor("move ", 10000)) << d.transcript();
  d.send("quit");
  EXPECT_EQ(d.waitExit(10000), 0);
}
