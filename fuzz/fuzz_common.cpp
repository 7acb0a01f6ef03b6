#include "fuzz/fuzz_common.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "search/engine.h"

// One engine for the process, reset to a new game.
Engine& fuzzEngine() {
  static Engine* engine = nullptr;
  if (engine == nullptr) {
    engine = new Engine();
    engine->init(1);
  }
  engine->newGame();
  engine->chess960 = 0;
  engine->bookOn = 0;
  engine->stopRequest = StopNone;
  engine->multiPV = 1;
  return *engine;
}

// Standard output to /dev/null.
void fuzzSilenceStdout() {
  fflush(stdout);
  const int null = open("/dev/null", O_WRONLY);
  if (null >= 0) {
    dup2(null, 1);
    close(null);
  }
}

// An empty file in memory.
FuzzFile::FuzzFile() {
  fd_ = memfd_create("tarvok-fuzz", 0);
  if (fd_ < 0) fuzzFail("memfd_create", strerror(errno));
  snprintf(path_, sizeof path_, "/proc/self/fd/%d", fd_);
}

// Closes the file.
FuzzFile::~FuzzFile() { close(fd_); }

// Replaces the content.
void FuzzFile::write(const uint8_t* data, size_t size) {
  clear();
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pwrite(fd_, data + done, size - done, off_t(done));
    if (n <= 0) fuzzFail("pwrite", strerror(errno));
    done += size_t(n);
  }
}

// Empties the file.
void FuzzFile::clear() {
  if (ftruncate(fd_, 0) != 0) fuzzFail("ftruncate", strerror(errno));
}

// The whole content.
std::string FuzzFile::read() const {
  std::string out;
  char buffer[4096];
  off_t at = 0;
  for (;;) {
    const ssize_t n = pread(fd_, buffer, sizeof buffer, at);
    if (n <= 0) break;
    out.append(buffer, size_t(n));
    at += n;
  }
  return out;
}

// The input as a C string of bounded length.
std::string fuzzText(const uint8_t* data, size_t size, size_t limit) {
  if (size > limit) size = limit;
  std::string text(reinterpret_cast<const char*>(data), size);
  const size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  return text;
}

// Reports a failed check and aborts.
void fuzzFail(const char* what, const char* detail) {
  fprintf(stderr, "fuzz check failed: %s: %s\n", what, detail);
  abort();
}
