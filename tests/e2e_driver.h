#pragma once

// Drives a built program the way a chess GUI does: the program runs as a
// child process, commands go to its standard input through a pipe, and its
// replies are read line by line with time-outs, so a hang fails a test
// instead of blocking the run. Also runs a command-line tool to its end
// (runTool). Header-only; any test file may include it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

class E2eDriver {
 public:
  E2eDriver() = default;
  E2eDriver(const E2eDriver&) = delete;
  E2eDriver& operator=(const E2eDriver&) = delete;
  ~E2eDriver() { kill(); }

  // Starts program with args (argv[1..]) in directory workDir ("" keeps
  // the current one); standard error joins the output unless ownStderr.
  // Returns false when it could not be started.
  bool start(const std::string& program, const std::vector<std::string>& args = {}, const std::string& workDir = "",
             bool ownStderr = false) {
    signal(SIGPIPE, SIG_IGN);
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0) return false;
    if (pipe(fromChild) != 0) {
      close(toChild[0]);
      close(toChild[1]);
      return false;
    }
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      dup2(toChild[0], 0);
      dup2(fromChild[1], 1);
      if (!ownStderr) dup2(fromChild[1], 2);
      close(toChild[0]);
      close(toChild[1]);
      close(fromChild[0]);
      close(fromChild[1]);
      if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(127);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(program.c_str()));
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
    fcntl(out_, F_SETFL, fcntl(out_, F_GETFL) | O_NONBLOCK);
    return true;
  }

  // Writes one command line (the newline is added).
  bool send(const std::string& line) { return sendRaw(line + "\n"); }

  // Writes each command line in turn.
  bool sendAll(std::initializer_list<const char*> lines) {
    for (const char* line : lines)
      if (!send(line)) return false;
    return true;
  }

  // Sends "quit"; the exit status (see waitExit).
  int quit(int timeoutMs = 20000) {
    send("quit");
    return waitExit(timeoutMs);
  }

  // Writes bytes exactly as given.
  bool sendRaw(const std::string& bytes) {
    if (in_ < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = write(in_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += (size_t)n;
    }
    return true;
  }

  // Closes the program's standard input (end of file for it).
  void closeInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
  }

  // Next output line within timeoutMs; false on time-out or end of output.
  bool readLine(std::string& line, int timeoutMs) {
    long long deadline = nowMs() + timeoutMs;
    for (;;) {
      size_t nl = buffer_.find('\n');
      if (nl != std::string::npos) {
        line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        transcript_.push_back(line);
        return true;
      }
      if (eof_) return false;
      long long left = deadline - nowMs();
      if (left <= 0) return false;
      if (!fill((int)left)) continue;
    }
  }

  // Reads lines until one starts with prefix; all lines read (the match
  // last) go to seen when given. False on time-out or end of output.
  bool waitFor(const std::string& prefix, int timeoutMs, std::vector<std::string>* seen = nullptr,
               std::string* match = nullptr) {
    long long deadline = nowMs() + timeoutMs;
    std::string line;
    for (;;) {
      long long left = deadline - nowMs();
      if (left <= 0 || !readLine(line, (int)left)) return false;
      if (seen) seen->push_back(line);
      if (line.compare(0, prefix.size(), prefix) == 0) {
        if (match) *match = line;
        return true;
      }
    }
  }

  // Collects every line that arrives within ms (for "nothing more comes").
  std::vector<std::string> drain(int ms) {
    std::vector<std::string> lines;
    long long deadline = nowMs() + ms;
    std::string line;
    for (;;) {
      long long left = deadline - nowMs();
      if (left <= 0 || !readLine(line, (int)left)) break;
      lines.push_back(line);
    }
    return lines;
  }

  // Waits up to timeoutMs for the program to end; its exit status, or -1
  // when it had to be killed or did not end normally.
  int waitExit(int timeoutMs) {
    if (pid_ <= 0) return exitStatus_;
    long long deadline = nowMs() + timeoutMs;
    for (;;) {
      int status = 0;
      pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        pid_ = -1;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        collectRest();
        return exitStatus_;
      }
      if (nowMs() >= deadline) {
        kill();
        timedOut_ = true;
        return -1;
      }
      fill(10);
    }
  }

  // Ends the program at once if it still runs.
  void kill() {
    closeInput();
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    if (out_ >= 0) close(out_);
    out_ = -1;
  }

  // Every line read so far, for failure messages.
  std::string transcript() const {
    std::string all;
    for (const std::string& l : transcript_) all += "  > " + l + "\n";
    return all;
  }

  // Output bytes read but not yet returned as lines.
  const std::string& pending() const { return buffer_; }

  // True when waitExit had to kill the program.
  bool timedOut() const { return timedOut_; }

  // Milliseconds on the wall clock.
  static long long nowMs() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return (long long)tv.tv_sec * 1000 + tv.tv_usec / 1000;
  }

 private:
  // Reads what is available within timeoutMs; true when bytes arrived.
  bool fill(int timeoutMs) {
    if (out_ < 0) {
      eof_ = true;
      return false;
    }
    struct pollfd pfd = {out_, POLLIN, 0};
    int r = poll(&pfd, 1, timeoutMs);
    if (r <= 0) return false;
    char chunk[4096];
    ssize_t n = read(out_, chunk, sizeof chunk);
    if (n > 0) {
      buffer_.append(chunk, (size_t)n);
      return true;
    }
    if (n == 0 || (errno != EAGAIN && errno != EINTR)) eof_ = true;
    return false;
  }

  void collectRest() {
    while (!eof_ && fill(50)) {
    }
  }

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  bool eof_ = false;
  int exitStatus_ = -1;
  bool timedOut_ = false;
  std::string buffer_;
  std::vector<std::string> transcript_;
};

// A command-line tool's run: its standard output and exit status.
struct ToolRun {
  std::string out;  // standard output
  int status = -1;  // exit status, -1 when killed or not started
  bool timedOut = false;
};

// Runs program with args in workDir (or the current directory), standard
// input at its end, until it ends or timeoutMs passes.
inline ToolRun runTool(const std::string& program, const std::vector<std::string>& args, int timeoutMs,
                       const char* workDir = nullptr) {
  ToolRun run;
  E2eDriver d;
  if (!d.start(program, args, workDir ? workDir : "", true)) return run;
  d.closeInput();
  run.status = d.waitExit(timeoutMs);
  run.timedOut = d.timedOut();
  run.out = d.pending();
  return run;
}

// For tests that need other descriptors than the driver's pipes: in a child
// just forked, makes in, out and err its standard input, output and error,
// closes the descriptors in others, enters dir, caps its address space at
// limit bytes (0: no cap) and runs the generic program with args. Status 127
// when any step fails.
[[noreturn]] inline void execGenericProgram(const std::vector<std::string>& args, const std::string& dir, int in,
                                            int out, int err, std::initializer_list<int> others, rlim_t limit = 0) {
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  for (int fd : others) close(fd);
  const rlimit cap = {limit, limit};
  if (chdir(dir.c_str()) != 0 || (limit != 0 && setrlimit(RLIMIT_AS, &cap) != 0)) _exit(127);
  std::vector<char*> argv = {const_cast<char*>(TARVOK_BIN_GENERIC)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// Checks on reply text and session steps, shared by the protocol tests.
namespace e2e {

// Generous: a hang fails, a slow CI machine does not.
const int LONG_WAIT = 20000;
// Wall-clock checks only catch gross overruns: the test machine may be busy
// with other tests (the reserve itself is checked in-process).
#ifdef __SANITIZE_ADDRESS__
const int SLACK_MS = 800;  // instrumented code polls its clock far less often
#else
const int SLACK_MS = 250;
#endif

using Lines = std::vector<std::string>;

// Number of lines that begin with prefix.
inline int countPrefix(const Lines& lines, const std::string& prefix) {
  int n = 0;
  for (const std::string& l : lines) n += l.compare(0, prefix.size(), prefix) == 0;
  return n;
}

// The engine's FEN of its position (debug command "printFEN"), read up to
// the reply of the synchronising command (UCI "isready", xboard "ping").
inline std::string currentFen(E2eDriver& d, bool xboard) {
  d.send("printFEN");
  d.send(xboard ? "ping 99" : "isready");
  Lines seen;
  if (!d.waitFor(xboard ? "pong 99" : "readyok", LONG_WAIT, &seen)) return "";
  return seen.size() >= 2 ? seen[seen.size() - 2] : "";
}

// True when the engine's FEN of its position begins with prefix.
inline testing::AssertionResult fenStartsWith(E2eDriver& d, const std::string& prefix, bool xboard = false) {
  std::string fen = currentFen(d, xboard);
  if (fen.compare(0, prefix.size(), prefix) == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "FEN " << fen << " does not begin with " << prefix << "\n" << d.transcript();
}

// The blank-separated words of a line.
inline std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string word; in >> word;) out.push_back(word);
  return out;
}

// Whole-line patterns of the replies; M is a move in coordinate text (e2e4, e7e8q).
#define E2E_MOVE "[a-h][1-8][a-h][1-8][nbrq]?"

// "bestmove <move>" or "bestmove <move> ponder <move>".
inline bool isBestMoveLine(const std::string& line) {
  static const std::regex pattern("bestmove " E2E_MOVE "( ponder " E2E_MOVE ")?");
  return std::regex_match(line, pattern);
}

// "info [multipv n] depth n seldepth n score cp|mate n [bound] time n nodes n nps n pv moves".
inline bool isInfoPvLine(const std::string& line) {
  static const std::regex pattern(
      "info (multipv \\d+ )?depth \\d+ seldepth \\d+ score (cp|mate) -?\\d+ (upperbound |lowerbound )?"
      "time \\d+ nodes \\d+ nps \\d+ pv( " E2E_MOVE ")* ?");
  return std::regex_match(line, pattern);
}

// xboard "move <move>".
inline bool isXboardMoveLine(const std::string& line) {
  static const std::regex pattern("move " E2E_MOVE);
  return std::regex_match(line, pattern);
}

// xboard thinking line: depth, score, centiseconds, nodes, moves.
inline bool isThinkingLine(const std::string& line) {
  static const std::regex pattern("(-?\\d+ ){3}-?\\d+( " E2E_MOVE ")* ?");
  return std::regex_match(line, pattern);
}

}  // namespace e2e
