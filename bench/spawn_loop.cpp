// The bare cost of starting a black box: starts PROGRAM ARG N times, one
// after the other, reading its output through a pipe until end of file and
// waiting for its exit, as a minimal runner would. Prints the wall time per
// start in milliseconds. Built and run by runner_cost.sh.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: spawn_loop PROGRAM ARG N\n");
    return 2;
  }
  const long n = std::atol(argv[3]);
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < n; ++i) {
    int fd[2];
    if (pipe(fd) != 0) return 1;
    const pid_t pid = fork();
    if (pid < 0) return 1;
    if (pid == 0) {
      dup2(fd[1], 1);
      close(fd[0]);
      close(fd[1]);
      execl(argv[1], argv[1], argv[2], static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fd[1]);
    char buffer[4096];
    while (read(fd[0], buffer, sizeof buffer) > 0) {
    }
    close(fd[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.4f\n", 1000 * seconds / double(n));
  return 0;
}
