#include "status_line.hpp"

#include <stdio_ext.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestro_run {
namespace {

// Large enough for the final report of the largest problem the report
// supports, so that the library's text waits in it until sync().
constexpr std::size_t kBufferSize = std::size_t(1) << 21;
constexpr auto kInterval = std::chrono::milliseconds(250);
constexpr long long kNoBudget = 99999999;

// Writes straight to the terminal, past stderr's buffer.
void put(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += std::size_t(n);
  }
}

std::string clock_text(double seconds) {
  const long long s = std::llround(std::max(seconds, 0.0));
  char buffer[32];
  if (s >= 3600)
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld", s / 60, s % 60);
  return buffer;
}

std::size_t terminal_width() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace

StatusLine::StatusLine(bool wanted, long long maxeval, int objectives, int runs)
    : maxeval_(maxeval > 0 && maxeval < kNoBudget && runs > 1 ? maxeval * runs : maxeval),
      objectives_(objectives),
      runs_(std::size_t(std::max(runs, 1))) {
  if (!wanted || !isatty(STDERR_FILENO)) return;
  buffer_ = std::make_unique<char[]>(kBufferSize);
  std::fflush(stderr);
  if (std::setvbuf(stderr, buffer_.get(), _IOFBF, kBufferSize) != 0) {
    buffer_.reset();
    return;
  }
  active_ = true;
  start_ = std::chrono::steady_clock::now();
}

StatusLine::~StatusLine() {
  if (!active_) return;
  clear();
  std::setvbuf(stderr, nullptr, _IONBF, 0);
}

void StatusLine::flush_pending() {
  if (__fpending(stderr) == 0) return;
  if (drawn_) put("\r\033[K");
  drawn_ = false;
  std::fflush(stderr);
}

void StatusLine::clear() {
  if (!active_) return;
  flush_pending();
  if (drawn_) put("\r\033[K");
  drawn_ = false;
}

kestro::Progress StatusLine::combine(const std::vector<kestro::Progress>& runs) {
  kestro::Progress all;
  for (const kestro::Progress& p : runs) {
    all.evaluations += p.evaluations;
    all.failed_evaluations += p.failed_evaluations;
    if (std::isnan(p.best_f)) continue;
    const bool better = std::isnan(all.best_f) || p.residual < all.residual ||
                        (p.residual == all.residual && p.best_f < all.best_f);
    if (better) {
      all.best_f = p.best_f;
      all.residual = p.residual;
      all.front_size = p.front_size;
      all.run = p.run;
    }
  }
  return all;
}

void StatusLine::sync(const kestro::Progress& run_progress) {
  if (!active_) return;
  flush_pending();
  if (run_progress.run >= 0 && std::size_t(run_progress.run) < runs_.size())
    runs_[std::size_t(run_progress.run)] = run_progress;
  const kestro::Progress progress = runs_.size() == 1 ? run_progress : combine(runs_);
  const auto now = std::chrono::steady_clock::now();
  if (last_draw_ != std::chrono::steady_clock::time_point() && now - last_draw_ < kInterval) return;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  put("\r" + text(progress, maxeval_, objectives_, seconds, terminal_width() - 1) + "\033[K");
  drawn_ = true;
  last_draw_ = now;
}

std::string StatusLine::text(const kestro::Progress& p, long long maxeval, int objectives,
                             double seconds, std::size_t width) {
  char buffer[96];
  std::string line;
  const bool budget = maxeval > 0 && maxeval < kNoBudget;
  if (budget)
    std::snprintf(buffer, sizeof buffer, "%lld/%lld evals", p.evaluations, maxeval);
  else
    std::snprintf(buffer, sizeof buffer, "%lld evals", p.evaluations);
  line += buffer;
  if (!std::isnan(p.best_f)) {
    if (objectives > 1)
      std::snprintf(buffer, sizeof buffer, " | compromise %.6g | front %lld", p.best_f,
                    p.front_size);
    else
      std::snprintf(buffer, sizeof buffer, " | best f %.6g", p.best_f);
    line += buffer;
    if (p.residual == 0)
      std::snprintf(buffer, sizeof buffer, " | feasible");
    else
      std::snprintf(buffer, sizeof buffer, " | violation %.3g", p.residual);
    line += buffer;
  }
  std::snprintf(buffer, sizeof buffer, " | failed %lld | %s", p.failed_evaluations,
                clock_text(seconds).c_str());
  line += buffer;
  if (seconds > 0 && p.evaluations > 0) {
    const double rate = double(p.evaluations) / seconds;
    std::snprintf(buffer, sizeof buffer, " | %.3g evals/s", rate);
    line += buffer;
    if (budget)
      line += " | " + clock_text(double(std::max(maxeval - p.evaluations, 0LL)) / rate) + " left";
  }
  if (line.size() > width) line.resize(width);
  return line;
}

}  // namespace kestro_run
