#include "blackbox.hpp"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestro_run {

Blackbox::Blackbox(std::vector<std::string> command, std::string directory, double timeout,
                   int objectives, int constraints)
    : command_(std::move(command)),
      directory_(std::move(directory)),
      timeout_(timeout),
      o_(objectives),
      m_(constraints) {}

bool parse_values(const std::string& text, std::span<double> f, std::span<double> g,
                  std::string* why) {
  const char* p = text.c_str();
  const std::size_t need = f.size() + g.size();
  for (std::size_t k = 0; k < need; ++k) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
    if (*p == 0) {
      *why = "printed " + std::to_string(k) + " values, " + std::to_string(need) + " expected";
      return false;
    }
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(p, &end);
    if (end == p || (*end != 0 && *end != ' ' && *end != '\t' && *end != '\n' && *end != '\r')) {
      const char* e = p;
      while (*e && *e != ' ' && *e != '\t' && *e != '\n' && *e != '\r' && e - p < 40) ++e;
      *why = "value " + std::to_string(k + 1) + " is not a number: '" + std::string(p, e) + "'";
      return false;
    }
    (k < f.size() ? f[k] : g[k - f.size()]) = v;
    p = end;
  }
  return true;
}

namespace {

struct TempFile {
  std::string path;
  ~TempFile() {
    if (!path.empty()) unlink(path.c_str());
  }
};

bool write_all(int fd, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    const ssize_t w = write(fd, s.data() + done, s.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    done += std::size_t(w);
  }
  return true;
}

}  // namespace

Outcome Blackbox::evaluate(std::span<const double> x, std::span<double> f,
                           std::span<double> g) const {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::fill(f.begin(), f.end(), nan);
  std::fill(g.begin(), g.end(), nan);
  Outcome out;

  // The point, in a temporary file.
  const char* tmpdir = std::getenv("TMPDIR");
  TempFile file;
  std::string templ = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/kestro-point-XXXXXX";
  std::vector<char> name(templ.begin(), templ.end());
  name.push_back(0);
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    out.why = std::string("cannot create a temporary file: ") + std::strerror(errno);
    return out;
  }
  file.path = name.data();
  std::string line;
  char buffer[40];
  for (std::size_t i = 0; i < x.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, i ? " %.17g" : "%.17g", x[i]);
    line += buffer;
  }
  line += '\n';
  const bool written = write_all(fd, line);
  close(fd);
  if (!written) {
    out.why = "cannot write the temporary file";
    return out;
  }

  // Everything the child needs is prepared before fork.
  std::vector<std::string> args = command_;
  args.push_back(file.path);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int pipefd[2];
  if (pipe2(pipefd, O_CLOEXEC) != 0) {
    out.why = std::string("cannot create a pipe: ") + std::strerror(errno);
    return out;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipefd[0]);
    close(pipefd[1]);
    out.why = std::string("cannot fork: ") + std::strerror(errno);
    return out;
  }
  if (pid == 0) {
    setpgid(0, 0);  // its own group: killed as a whole, and Ctrl-C goes to the runner only
    signal(SIGINT, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    dup2(pipefd[1], 1);
    const int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, 0);
    if (chdir(directory_.c_str()) != 0) _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  setpgid(pid, pid);
  close(pipefd[1]);

  // Read its output until end of file or the deadline.
  using clock = std::chrono::steady_clock;
  const auto deadline = clock::now() + std::chrono::duration<double>(timeout_);
  std::string text;
  bool timed_out = false;
  for (;;) {
    const double left = std::chrono::duration<double>(deadline - clock::now()).count();
    if (left <= 0) {
      timed_out = true;
      break;
    }
    pollfd p{pipefd[0], POLLIN, 0};
    const int r = poll(&p, 1, int(std::min(left * 1000 + 1, 1e9)));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) break;
    if (r == 0) continue;
    char chunk[4096];
    const ssize_t got = read(pipefd[0], chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (text.size() < (1u << 24)) text.append(chunk, std::size_t(got));
  }
  close(pipefd[0]);
  // A command that closed its output may still run: it too gets the time
  // limit. Its exit is awaited on a process descriptor, which becomes
  // readable when it ends (short sleeps only on kernels without one).
  int status = 0;
  bool reaped = false;
  if (!timed_out) {
    const int pidfd = int(syscall(SYS_pidfd_open, pid, 0));
    for (;;) {
      const pid_t w = waitpid(pid, &status, WNOHANG);
      if (w == pid || (w < 0 && errno != EINTR)) {
        reaped = w == pid;
        break;
      }
      const double left = std::chrono::duration<double>(deadline - clock::now()).count();
      if (left <= 0) {
        timed_out = true;
        break;
      }
      if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        poll(&p, 1, int(std::min(left * 1000 + 1, 1e9)));
      } else {
        usleep(2000);
      }
    }
    if (pidfd >= 0) close(pidfd);
  }
  if (timed_out) kill(-pid, SIGKILL), kill(pid, SIGKILL);
  if (!reaped) {
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (timed_out) {
    char t[64];
    std::snprintf(t, sizeof t, "timed out after %g s (killed)", timeout_);
    out.why = t;
    return out;
  }
  if (WIFSIGNALED(status)) {
    out.why = "killed by signal " + std::to_string(WTERMSIG(status));
    return out;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    out.why = "exit status " + std::to_string(WEXITSTATUS(status)) +
              (WEXITSTATUS(status) == 127 ? " (command not found?)" : "");
    return out;
  }
  std::vector<double> fv(f.size()), gv(g.size());
  if (!parse_values(text, fv, gv, &out.why)) return out;
  std::copy(fv.begin(), fv.end(), f.begin());
  std::copy(gv.begin(), gv.end(), g.begin());
  out.ok = true;
  return out;
}

long long Blackbox::evaluate_block(std::span<const double> x, std::span<double> f,
                                   std::span<double> g, int l, int n, int jobs, bool quiet,
                                   long long first_index, std::string* first_failure,
                                   std::span<Outcome> outcomes,
                                   std::span<const unsigned char> skip) const {
  std::atomic<int> next{0};
  std::atomic<long long> failed{0};
  std::mutex log;
  int first_failed = l;  // the index of the first failed point, under `log`
  auto work = [&] {
    for (int i = next.fetch_add(1); i < l; i = next.fetch_add(1)) {
      if (!skip.empty() && skip[std::size_t(i)]) continue;
      const auto start = std::chrono::steady_clock::now();
      Outcome r = evaluate(x.subspan(std::size_t(i) * n, n), f.subspan(std::size_t(i) * o_, o_),
                           g.subspan(std::size_t(i) * m_, m_));
      r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (!outcomes.empty()) outcomes[std::size_t(i)] = r;
      if (!r.ok) {
        ++failed;
        if (first_failure) {
          std::lock_guard<std::mutex> lock(log);
          if (i < first_failed) first_failed = i, *first_failure = r.why;
        }
        if (!quiet) {
          std::lock_guard<std::mutex> lock(log);
          std::fprintf(stderr, "kestro-run: evaluation %lld failed: %s\n", first_index + i + 1,
                       r.why.c_str());
        }
      }
    }
  };
  std::vector<std::thread> workers;
  for (int t = 1; t < std::min(jobs, l); ++t) workers.emplace_back(work);
  work();
  for (std::thread& t : workers) t.join();
  return failed.load();
}

}  // namespace kestro_run
