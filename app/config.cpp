#include "app/config.h"

#include "app/context.h"
#include "protocol/protocol.h"

#include <climits>
#include <cstdio>
#include <cstring>

const char* const INI_FILE_NAME = "tarvok.ini";

namespace {

constexpr int INI_TEXT = 1024;

// Cuts text at its first control byte or non-ASCII byte (line ends, tabs,
// carriage returns of files written on other systems).
void cutAtControl(char* text) {
  for (char* p = text; *p; ++p) {
    unsigned char c = (unsigned char)*p;
    if (c < 32 || c >= 128) {
      *p = 0;
      return;
    }
  }
}

}  // namespace

// Looks key up in section [Engine]; the file is read anew for every lookup.
int readIniString(const char* key, char* value) {
  FILE* file = fopen(INI_FILE_NAME, "r");
  if (!file) return 0;

  char line[INI_TEXT];
  char section[INI_TEXT];
  section[0] = 0;
  while (fgets(line, sizeof line, file)) {
    // 1. A longer line arrives in pieces; each piece counts as a line.
    cutAtControl(line);
    size_t length = strlen(line);
    if (length == 0) continue;

    // 2. Header: only "[Engine]" with its closing bracket opens the
    //    settings; other headers (and a bare "[") change nothing, so
    //    [Engine] stays open across them.
    if (line[0] == '[') {
      if (strcmp(line, "[Engine]") == 0) snprintf(section, sizeof section, "%s", "Engine");
      continue;
    }

    // 3. Key line, counted only inside [Engine]; the key is taken exactly.
    if (strcmp(section, "Engine") != 0) continue;
    char* equals = strchr(line, '=');
    if (!equals) continue;
    *equals = 0;
    if (strcmp(line, key) == 0) {
      snprintf(value, INI_TEXT, "%s", equals + 1);
      fclose(file);
      return 1;
    }
  }
  fclose(file);
  return 0;
}

// Reads key as an integer: leading blanks skipped, optional sign, digits up
// to the first other character; no digits give 0, huge values saturate.
int readIniInt(const char* key, int* value) {
  char text[INI_TEXT];
  if (!readIniString(key, text)) return 0;
  long long n = parseInteger(text);
  if (n > INT_MAX) n = INT_MAX;
  if (n < INT_MIN) n = INT_MIN;
  *value = (int)n;
  return 1;
}

// Looks the five keys up, in this order, when the file opens.
void readSettingsFile(MainContext* context) {
  FILE* file = fopen(INI_FILE_NAME, "r");
  if (!file) return;
  fclose(file);
  int value = 0;
  if (readIniInt("Hash", &value)) context->Hash = (u32)value;
  if (readIniInt("Book", &value)) context->Book = (u32)value;
  readIniString("BookFile", context->bookFile);
  if (readIniInt("UseStrength", &value)) context->UseStrength = (u32)value;
  if (readIniInt("StrengthELO", &value)) context->StrengthELO = (u32)value;
}
