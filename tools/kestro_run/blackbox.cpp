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

#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "kestro.h"
#include "stop_signals.hpp"

namespace kestro_run {

namespace {

// The directory of the point files: TMPDIR made absolute (the command runs
// in the problem's directory), else /tmp.
std::string temporary_directory() {
  const char* tmpdir = std::getenv("TMPDIR");
  if (!tmpdir || !*tmpdir) return "/tmp";
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(tmpdir, error);
  return error ? std::string(tmpdir) : absolute.string();
}

// A piece of the black box's output for the log: printable ASCII as it is,
// everything else (escape sequences, control characters, other bytes) as
// \xHH, so that nothing the black box prints acts on the terminal.
std::string escaped(const char* begin, const char* end) {
  std::string out;
  for (const char* c = begin; c != end; ++c) {
    const unsigned char u = static_cast<unsigned char>(*c);
    if (u >= 0x20 && u < 0x7f && u != '\\') {
      out += char(u);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", unsigned(u));
      out += hex;
    }
  }
  return out;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

Blackbox::Blackbox(std::vector<std::string> command, std::string directory, double timeout,
                   int objectives, int constraints)
    : command_(std::move(command)),
      directory_(std::move(directory)),
      timeout_(timeout),
      o_(objectives),
      m_(constraints),
      tmpdir_(temporary_directory()) {}

bool parse_values(const std::string& text, std::span<double> f, std::span<double> g,
                  std::string* why) {
  const char* p = text.c_str();
  const std::size_t need = f.size() + g.size();
  for (std::size_t k = 0; k < need; ++k) {
    while (is_space(*p)) ++p;
    if (*p == 0) {
      *why = "printed " + std::to_string(k) + " values, " + std::to_string(need) + " expected";
      return false;
    }
    char* end = nullptr;
    const double v = std::strtod(p, &end);
    const char* e = p;
    while (*e && !is_space(*e) && e - p < 40) ++e;
    if (end == p || (*end != 0 && !is_space(*end))) {
      *why = "value " + std::to_string(k + 1) + " is not a number: '" + escaped(p, e) + "'";
      return false;
    }
    // What the library would count as a failed evaluation is one here too,
    // logged with its value.
    const bool objective = k < f.size();
    const int one = 1, none = 0;
    const bool failed = objective ? kestro_failed_value(&one, &v, &none, nullptr) != 0
                                  : kestro_failed_value(&none, nullptr, &one, &v) != 0;
    if (!std::isfinite(v) || failed) {
      *why = "value " + std::to_string(k + 1) + " is '" + escaped(p, e) + "': " +
             (std::isfinite(v) ? objective ? "an objective of 1e98 or more marks a failure"
                                           : "a constraint of -1e98 or less marks a failure"
                               : "not a finite number");
      return false;
    }
    (objective ? f[k] : g[k - f.size()]) = v;
    p = end;
  }
  // More values than objectives and constraints: most likely a problem file
  // that misses some constraints.
  std::size_t extra = 0;
  for (;;) {
    while (is_space(*p)) ++p;
    if (*p == 0) break;
    ++extra;
    while (*p && !is_space(*p)) ++p;
  }
  if (extra > 0) {
    *why = "expected " + std::to_string(need) + " values, got " + std::to_string(need + extra);
    return false;
  }
  return true;
}

namespace {

// After an evaluation has ended: background processes the black box left
// behind in its process group are killed, so that none outlives its
// evaluation (nor the run).
void kill_what_remains(pid_t group) { kill(-group, SIGKILL); }

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
  if (stop_signals::aborted()) {
    out.why = "not started: the run is ending";
    return out;
  }
  TempFile file;
  std::string templ = tmpdir_ + "/kestro-point-XXXXXX";
  std::vector<char> name(templ.begin(), templ.end());
  name.push_back(0);
  const int fd = mkostemp(name.data(), O_CLOEXEC);
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
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null >= 0) dup2(null, 0);
    // Only standard input, output and error reach the black box.
    close_range(3, ~0U, 0);
    if (chdir(directory_.c_str()) != 0) _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  setpgid(pid, pid);
  close(pipefd[1]);
  stop_signals::Child in_flight(pid);  // killed by a second stop signal

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
  // readable when it ends (short sleeps only on kernels without one). It is
  // waited for without being reaped, so that its process id, which names its
  // group, cannot go to another process before what remains of the group is
  // killed.
  if (!timed_out) {
    const int pidfd = int(syscall(SYS_pidfd_open, pid, 0));
    for (;;) {
      siginfo_t info{};
      const int w = waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT);
      if ((w == 0 && info.si_pid == pid) || (w < 0 && errno != EINTR)) break;
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
  if (timed_out) kill(pid, SIGKILL);
  kill_what_remains(pid);
  in_flight.release();
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
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
      const std::span<double> fi = f.subspan(std::size_t(i) * o_, o_);
      const std::span<double> gi = g.subspan(std::size_t(i) * m_, m_);
      const auto start = std::chrono::steady_clock::now();
      Outcome r;
      try {
        r = evaluate(x.subspan(std::size_t(i) * n, n), fi, gi);
      } catch (const std::exception& e) {  // such as memory running out
        std::fill(fi.begin(), fi.end(), std::numeric_limits<double>::quiet_NaN());
        std::fill(gi.begin(), gi.end(), std::numeric_limits<double>::quiet_NaN());
        r.why = e.what();
      }
      r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (!outcomes.empty()) outcomes[std::size_t(i)] = r;
      if (!r.ok) {
        ++failed;
        if (first_failure) {
          std::lock_guard<std::mutex> lock(log);
          if (i < first_failed) first_failed = i, *first_failure = r.why;
        }
        // After a second stop signal the evaluations cut short are not news.
        if (!quiet && !stop_signals::aborted()) {
          std::lock_guard<std::mutex> lock(log);
          std::fprintf(stderr, "kestro-run: evaluation %lld failed: %s\n", first_index + i + 1,
                       r.why.c_str());
        }
      }
    }
  };
  // A thread that cannot be started (no memory for its stack, a limit on
  // threads) leaves its share to the others: the block is still evaluated,
  // with fewer at once.
  std::vector<std::thread> workers;
  for (int t = 1; t < std::min(jobs, l); ++t) {
    try {
      workers.emplace_back(work);
    } catch (const std::exception&) {
      if (!quiet) {
        std::lock_guard<std::mutex> lock(log);
        std::fprintf(stderr, "kestro-run: cannot start another thread; evaluating %d at once\n", t);
      }
      break;
    }
  }
  work();
  for (std::thread& t : workers) t.join();
  return failed.load();
}

}  // namespace kestro_run
