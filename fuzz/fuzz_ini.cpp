// Fuzzed tarvok.ini files: the settings reader, then an xboard game start
// with the settings it read (book, book file, strength, hash size).
#include <cstdio>
#include <cstring>
#include <string>

#include "app/config.h"
#include "app/context.h"
#include "fuzz/fuzz_common.h"
#include "fuzz/fuzz_session.h"

// Once per process before the first input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  sessionInitialize();
  return 0;
}

// One input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384) return 0;
  FILE* ini = fopen(INI_FILE_NAME, "wb");
  if (!ini) fuzzFail("tarvok.ini", "not created");
  fwrite(data, 1, size, ini);
  fclose(ini);

  // 1. The reader with the entry's defaults.
  MainContext ctx;
  memset(&ctx, 0, sizeof ctx);
  ctx.Hash = 32;
  ctx.StrengthELO = 2600;
  snprintf(ctx.bookFile, sizeof ctx.bookFile, "%s", "tarvokbook-11.bin");
  readSettingsFile(&ctx);
  if (strnlen(ctx.bookFile, sizeof ctx.bookFile) >= sizeof ctx.bookFile) fuzzFail("BookFile not terminated", "");
  char text[1024];
  int number = 0;
  for (const char* key : {"Hash", "Book", "BookFile", "LogLevel", "LogFormat", "", "="}) {
    if (readIniString(key, text) && strnlen(text, sizeof text) >= sizeof text) fuzzFail("value not terminated", key);
    readIniInt(key, &number);
  }

  // 2. A game start with those settings; a file name that is not one of the
  //    prepared ones could name a device that blocks, so it becomes a missing file.
  SessionSettings settings;
  settings.hashMB = ctx.Hash > 4 ? 4 : ctx.Hash;
  settings.book = ctx.Book;
  settings.useStrength = ctx.UseStrength;
  settings.strengthElo = ctx.StrengthELO;
  settings.bookFile = strcmp(ctx.bookFile, "book.bin") == 0 ? "book.bin" : "missing.bin";
  runSession("xboard\nprotover 2\nnew\ngo\n", settings);
  remove(INI_FILE_NAME);
  return 0;
}
