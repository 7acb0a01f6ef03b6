#pragma once

// Reader of the optional start-up settings file "tarvok.ini" in the working
// directory. Only the section [Engine] holds settings; lines are key=value.

// Copies the value of key from section [Engine] into value (at least 1024
// bytes); returns 1 when found, else 0 with value unchanged.
int readIniString(const char* key, char* value);

// Reads the value of key as a base-10 integer into value; returns 1 when
// found, else 0 with value unchanged.
int readIniInt(const char* key, int* value);

// Name of the settings file, relative to the working directory.
extern const char* const INI_FILE_NAME;

struct MainContext;

// Reads the keys Hash, Book, BookFile, UseStrength and StrengthELO into the
// context when the file is there; a missing key keeps its field.
void readSettingsFile(MainContext* context);
