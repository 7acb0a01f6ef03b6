// Runs a built program with arguments, captures its standard output and
// exit status, and kills it if it outlives a deadline, so a hang fails the
// test instead of blocking the run.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

struct ToolRun {
  std::string out;     // standard output
  int status = -1;     // exit status, -1 when killed or not started
  bool timedOut = false;
};

// Milliseconds on a monotonic clock.
inline long long toolsNowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Starts `program` with `args` in `workDir` (or the current directory),
// standard input closed, and collects its output until it ends or `timeoutMs` passes.
inline ToolRun runTool(const std::string& program, const std::vector<std::string>& args, int timeoutMs,
                       const char* workDir = nullptr) {
  ToolRun run;
  int pipeFd[2];
  if (pipe(pipeFd) != 0) return run;
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipeFd[0]);
    close(pipeFd[1]);
    return run;
  }
  if (pid == 0) {
    dup2(pipeFd[1], 1);
    close(pipeFd[0]);
    close(pipeFd[1]);
    close(0);
    if (workDir && chdir(workDir) != 0) _exit(127);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(pipeFd[1]);
  const long long deadline = toolsNowMs() + timeoutMs;
  char buffer[4096];
  for (;;) {
    const long long left = deadline - toolsNowMs();
    if (left <= 0) {
      run.timedOut = true;
      break;
    }
    pollfd pfd = {pipeFd[0], POLLIN, 0};
    const int ready = poll(&pfd, 1, static_cast<int>(left));
    if (ready < 0) continue;
    if (ready == 0) continue;
    const ssize_t n = read(pipeFd[0], buffer, sizeof(buffer));
    if (n <= 0) break;
    run.out.append(buffer, static_cast<size_t>(n));
  }
  close(pipeFd[0]);
  if (run.timedOut) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!run.timedOut && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}
