// Shared pieces of the fuzz targets: one engine per process, fuzz data as a
// file the readers can open by name, and a silenced standard output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class Engine;

// The process's engine, built with a 1 MB table on first use and reset to
// a new game on every call.
Engine& fuzzEngine();

// Makes standard output go to /dev/null (the tools print a lot); standard
// error stays for the fuzzer's reports.
void fuzzSilenceStdout();

// A file in memory that holds the current input; path() opens it by name.
class FuzzFile {
 public:
  FuzzFile();
  ~FuzzFile();
  // Replaces the content with `size` bytes of `data`.
  void write(const uint8_t* data, size_t size);
  // Empties the file.
  void clear();
  // Reads the whole content back.
  std::string read() const;
  const char* path() const { return path_; }

 private:
  int fd_;
  char path_[64];
};

// The input as a NUL-terminated string of at most `limit` bytes; embedded
// zeros end it early, as they would in a C string read from a line.
std::string fuzzText(const uint8_t* data, size_t size, size_t limit);

// Aborts with a message: turns a broken promise into a fuzzer finding.
[[noreturn]] void fuzzFail(const char* what, const char* detail);
