// Runs side by side through run handles. Sixteen runs on eight threads at
// once, mixing one and two objectives, blocks of one and of several points,
// integer variables and constraints, each writing its report files to a
// directory of its own and saved to a checkpoint and loaded again mid-run:
// every run must equal, call by call and file by file, the same run made
// alone in a fresh process through the specified entries.
//
// The fresh processes are this program again, started with the test
// ConcurrentRuns.AloneInAFreshProcess and the run to make in its
// environment; without it that test has nothing to do.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "abi/default_context.hpp"
#include "abi/handle.hpp"
#include "kestro.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct RunSpec {
  int l, o, n, ni, m, me;
  double seed;
  int save_at;         // the call after which the run is saved and loaded again
  int save2file;       // 1: screen, solution, front; 2, 3: also the history
  const char* prefix;  // of the report files in the run's own directory
};

const RunSpec kRuns[] = {
    // L  O  N NI  M ME seed save save2file prefix
    {1, 1, 4, 0, 0, 0, 1, 40, 1, ""},   {1, 1, 6, 2, 2, 1, 2, 75, 2, "a_"},
    {4, 1, 5, 0, 1, 0, 3, 20, 3, ""},   {3, 1, 8, 3, 3, 1, 4, 33, 1, "b_"},
    {1, 2, 4, 0, 0, 0, 5, 50, 2, ""},   {1, 2, 5, 2, 1, 0, 6, 61, 3, "c_"},
    {4, 2, 4, 0, 2, 1, 7, 15, 1, ""},   {2, 2, 6, 1, 1, 0, 8, 44, 2, "d_"},
    {1, 1, 3, 3, 1, 0, 9, 90, 3, ""},   {5, 1, 7, 2, 0, 0, 10, 12, 1, "e_"},
    {1, 2, 3, 1, 2, 1, 11, 70, 2, ""},  {3, 2, 5, 0, 0, 0, 12, 25, 3, "f_"},
    {1, 1, 10, 4, 4, 2, 13, 55, 2, ""}, {2, 1, 4, 1, 2, 0, 14, 37, 1, "g_"},
    {1, 2, 6, 2, 3, 1, 15, 48, 3, ""},  {6, 2, 4, 1, 1, 0, 16, 9, 2, "h_"},
};
constexpr int kRunCount = int(std::size(kRuns));
constexpr int kThreads = 8;
constexpr int kMaxEval = 600;
constexpr int kPrintEval = 25;
constexpr const char* kTraceName = "trace.bin";
constexpr const char* kScreenName = "screen.capture";
constexpr const char* kCheckpointName = "run.ckpt";

// The reports show the CPU time; every run reads this clock instead, so that
// runs of different processes and threads write the same text.
double still_clock() { return 0.0; }

// One run of a spec through the specified entries (no handle) or through a
// handle with its report files in `directory`. The trace holds every call's
// IFLAG, ISTOP and X.
class RunUnderTest {
 public:
  RunUnderTest(const RunSpec& spec, const fs::path& directory, bool use_handle)
      : s_(spec), directory_(directory), use_handle_(use_handle) {
    const long entry =
        120L * s_.n + 20L * s_.m + s_.l * (s_.m + 2L * s_.o + 20) + s_.o * (s_.o + 20L) + 4990;
    const long kernel = 5L * s_.l + (s_.m + 2L * s_.o) * (s_.l + 2) + 104L * s_.n +
                        2L * s_.l * s_.o + s_.o * (s_.o + 6L) + 522;
    lrw_ = int(std::max(entry, kernel));
    liw_ = s_.l + 3 * s_.n + 990;
    lpf_ = s_.o > 1 ? 1000 * (s_.n + s_.m + s_.o) + 1 : 1;
    rw_.assign(std::size_t(lrw_), 0.0);
    iw_.assign(std::size_t(liw_), 0);
    pf_.assign(std::size_t(lpf_), 0.0);
    xl_.assign(std::size_t(s_.n), -3.0);
    xu_.assign(std::size_t(s_.n), 3.0);
    x_.assign(std::size_t(s_.l) * s_.n, 0.5);
    for (int i = 0; i < s_.l; ++i)
      for (int j = s_.n - s_.ni; j < s_.n; ++j) x_[std::size_t(i) * s_.n + j] = 1.0;
    f_.assign(std::size_t(s_.l) * s_.o, 0.0);
    g_.assign(std::size_t(std::max(1, s_.l * s_.m)), 0.0);
    param_[1] = s_.seed;
  }

  ~RunUnderTest() {
    kestro_context_free(ctx_);
    if (screen_ != nullptr) std::fclose(screen_);
  }

  // The whole run; false with a message when something refused.
  bool make(std::string& error) {
    if (use_handle_) {
      screen_ = std::fopen((directory_ / kScreenName).c_str(), "w");
      if (screen_ == nullptr) return fail(error, "cannot open the screen capture");
      if (!new_handle(error)) return false;
    } else {
      kestro::abi::default_context().report.clock = &still_clock;
    }
    print(1);
    evaluate();
    for (int call = 1;; ++call) {
      solve();
      print(2);
      record();
      if (istop_ == 1) break;
      if (call == s_.save_at && !save_and_load(error)) return false;
      evaluate();
    }
    if (screen_ != nullptr) std::fflush(screen_);
    return true;
  }

  const std::vector<double>& trace() const { return trace_; }

 private:
  static bool fail(std::string& error, const std::string& what) {
    error = what;
    return false;
  }

  bool new_handle(std::string& error) {
    kestro_context_free(ctx_);
    ctx_ = kestro_context_create();
    if (ctx_ == nullptr) return fail(error, "kestro_context_create gave NULL");
    const int taken = kestro_context_set_output(ctx_, directory_.c_str(), s_.prefix);
    if (taken != 0) return fail(error, "set_output refused: " + std::to_string(taken));
    ctx_->context.report.units.set_screen(screen_);
    ctx_->context.report.clock = &still_clock;
    return true;
  }

  void evaluate() {
    for (int i = 0; i < s_.l; ++i) {
      const double* p = &x_[std::size_t(i) * s_.n];
      for (int k = 0; k < s_.o; ++k) {
        double v = 0.0;
        for (int j = 0; j < s_.n; ++j) {
          const double d = p[j] - 0.25 * (j + 1) + 0.5 * k;
          v += d * d;
        }
        f_[std::size_t(i) * s_.o + k] = v + 0.3 * k * p[0];
      }
      double* q = &g_[std::size_t(i) * s_.m];
      for (int j = 0; j < s_.m; ++j) {
        if (j == 0) {
          double sum = 0.0;
          for (int t = 0; t < s_.n; ++t) sum += p[t];
          q[0] = sum - 1.0;
        } else {
          q[j] = 4.0 - p[j % s_.n] * p[j % s_.n] - p[(j + 1) % s_.n];
        }
      }
    }
  }

  void solve() {
    if (use_handle_)
      kestro_context_solve(ctx_, &s_.l, &s_.o, &s_.n, &s_.ni, &s_.m, &s_.me, x_.data(), f_.data(),
                           g_.data(), xl_.data(), xu_.data(), &iflag_, &istop_, param_, rw_.data(),
                           &lrw_, iw_.data(), &liw_, pf_.data(), &lpf_);
    else
      kestro_(&s_.l, &s_.o, &s_.n, &s_.ni, &s_.m, &s_.me, x_.data(), f_.data(), g_.data(),
              xl_.data(), xu_.data(), &iflag_, &istop_, param_, rw_.data(), &lrw_, iw_.data(),
              &liw_, pf_.data(), &lpf_);
  }

  void print(int stage) {
    int printeval = kPrintEval, save2file = s_.save2file, maxeval = kMaxEval, maxtime = 100000,
        timediv = 0;
    if (use_handle_)
      kestro_context_print(ctx_, &stage, &printeval, &save2file, &iflag_, &istop_, f_.data(),
                           g_.data(), x_.data(), xl_.data(), xu_.data(), &s_.o, &s_.n, &s_.ni,
                           &s_.m, &s_.me, rw_.data(), pf_.data(), &maxeval, &maxtime, param_, &s_.l,
                           &timediv);
    else
      kestro_print_(&stage, &printeval, &save2file, &iflag_, &istop_, f_.data(), g_.data(),
                    x_.data(), xl_.data(), xu_.data(), &s_.o, &s_.n, &s_.ni, &s_.m, &s_.me,
                    rw_.data(), pf_.data(), &maxeval, &maxtime, param_, &s_.l, &timediv);
  }

  void record() {
    trace_.push_back(iflag_);
    trace_.push_back(istop_);
    trace_.insert(trace_.end(), x_.begin(), x_.end());
  }

  // Saves the run, then loads it again: through the specified entries into
  // the same context, through handles into a fresh handle.
  bool save_and_load(std::string& error) {
    const std::string path = (directory_ / kCheckpointName).string();
    double extra[1] = {double(trace_.size())};
    int lextra = 1, status = -1;
    if (use_handle_)
      kestro_context_save(ctx_, path.c_str(), &s_.l, &s_.o, &s_.n, &s_.ni, &s_.m, &s_.me, x_.data(),
                          f_.data(), g_.data(), xl_.data(), xu_.data(), &iflag_, &istop_, param_,
                          rw_.data(), &lrw_, iw_.data(), &liw_, pf_.data(), &lpf_, extra, &lextra,
                          &status);
    else
      kestro_save_(path.c_str(), &s_.l, &s_.o, &s_.n, &s_.ni, &s_.m, &s_.me, x_.data(), f_.data(),
                   g_.data(), xl_.data(), xu_.data(), &iflag_, &istop_, param_, rw_.data(), &lrw_,
                   iw_.data(), &liw_, pf_.data(), &lpf_, extra, &lextra, &status);
    if (status != 0) return fail(error, "save: " + std::string(kestro_checkpoint_text(&status)));
    // The arrays are filled again from the file.
    std::fill(rw_.begin(), rw_.end(), 0.0);
    std::fill(iw_.begin(), iw_.end(), 0);
    std::fill(x_.begin(), x_.end(), 0.0);
    extra[0] = 0.0;
    if (use_handle_) {
      if (!new_handle(error)) return false;
      kestro_context_load(ctx_, path.c_str(), &s_.l, &s_.o, &s_.n, &s_.ni, &s_.m, &s_.me, x_.data(),
                          f_.data(), g_.data(), xl_.data(), xu_.data(), &iflag_, &istop_, param_,
                          rw_.data(), &lrw_, iw_.data(), &liw_, pf_.data(), &lpf_, extra, &lextra,
                          &status);
    } else {
      kestro_load_(path.c_str(), &s_.l, &s_.o, &s_.n, &s_.ni, &s_.m, &s_.me, x_.data(), f_.data(),
                   g_.data(), xl_.data(), xu_.data(), &iflag_, &istop_, param_, rw_.data(), &lrw_,
                   iw_.data(), &liw_, pf_.data(), &lpf_, extra, &lextra, &status);
    }
    if (status != 0) return fail(error, "load: " + std::string(kestro_checkpoint_text(&status)));
    if (extra[0] != double(trace_.size())) return fail(error, "load: other extra values");
    return true;
  }

  RunSpec s_;
  fs::path directory_;
  bool use_handle_;
  kestro_context* ctx_ = nullptr;
  std::FILE* screen_ = nullptr;
  int lrw_ = 0, liw_ = 0, lpf_ = 0, iflag_ = 0, istop_ = 0;
  std::vector<double> rw_, pf_, xl_, xu_, x_, f_, g_;
  std::vector<int> iw_;
  double param_[13] = {};
  std::vector<double> trace_;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<double> read_trace(const fs::path& path) {
  const std::string bytes = read_file(path);
  std::vector<double> trace(bytes.size() / sizeof(double));
  std::memcpy(trace.data(), bytes.data(), trace.size() * sizeof(double));
  return trace;
}

// The files of a run's directory by the names they have without the prefix.
std::map<std::string, std::string> files_of(const fs::path& directory, const std::string& prefix) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& e : fs::directory_iterator(directory)) {
    std::string name = e.path().filename().string();
    if (name == kTraceName) continue;
    if (!prefix.empty() && name.rfind(prefix, 0) == 0) name = name.substr(prefix.size());
    files[name] = read_file(e.path());
  }
  return files;
}

struct ScratchDirectory {
  fs::path path;
  ScratchDirectory() {
    std::string pattern = (fs::temp_directory_path() / "kestro_concurrent_XXXXXX").string();
    path = mkdtemp(pattern.data());
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

// Starts this program for run `index` alone, its screen on `directory`'s
// capture file; the process id, or -1.
pid_t start_alone(int index, const fs::path& directory) {
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const std::string filter = "--gtest_filter=ConcurrentRuns.AloneInAFreshProcess";
  const std::string run = "KESTRO_ALONE_RUN=" + std::to_string(index);
  const std::string dir = "KESTRO_ALONE_DIR=" + directory.string();
  std::vector<std::string> env_strings{run, dir};
  std::vector<char*> env;
  for (std::string& s : env_strings) env.push_back(s.data());
  for (char** e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, "KESTRO_ALONE_", 13) != 0) env.push_back(*e);
  env.push_back(nullptr);
  std::vector<char*> argv{const_cast<char*>(self.c_str()), const_cast<char*>(filter.c_str()),
                          nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, (directory / kScreenName).c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

// The child's side: one run through the specified entries in the directory
// it was given, its trace written next to the report files.
TEST(ConcurrentRuns, AloneInAFreshProcess) {
  const char* index = std::getenv("KESTRO_ALONE_RUN");
  const char* directory = std::getenv("KESTRO_ALONE_DIR");
  if (index == nullptr || directory == nullptr)
    GTEST_SKIP() << "started by ConcurrentRuns.SixteenRunsOnEightThreadsEqualTheRunsAlone";
  ASSERT_EQ(chdir(directory), 0);
  RunUnderTest run(kRuns[std::atoi(index)], ".", /*use_handle=*/false);
  std::string error;
  ASSERT_TRUE(run.make(error)) << error;
  std::fflush(stderr);
  std::ofstream out(kTraceName, std::ios::binary);
  out.write(reinterpret_cast<const char*>(run.trace().data()),
            std::streamsize(run.trace().size() * sizeof(double)));
  ASSERT_TRUE(out.good());
}

TEST(ConcurrentRuns, SixteenRunsOnEightThreadsEqualTheRunsAlone) {
  ScratchDirectory scratch;
  // First the runs alone, each in a process of its own (all at once).
  std::vector<pid_t> children;
  for (int i = 0; i < kRunCount; ++i) {
    const fs::path dir = scratch.path / ("alone" + std::to_string(i));
    fs::create_directories(dir);
    children.push_back(start_alone(i, dir));
    ASSERT_GT(children.back(), 0) << "cannot start the run alone " << i;
  }
  for (int i = 0; i < kRunCount; ++i) {
    int status = 0;
    ASSERT_EQ(waitpid(children[i], &status, 0), children[i]);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the run alone " << i << " failed; its screen: "
        << read_file(scratch.path / ("alone" + std::to_string(i)) / kScreenName);
  }

  // Then all of them side by side, on eight threads, through handles.
  std::vector<std::vector<double>> traces(kRunCount);
  std::vector<std::string> errors(kRunCount);
  std::atomic<int> next{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = next++; i < kRunCount; i = next++) {
        const fs::path dir = scratch.path / ("side" + std::to_string(i));
        fs::create_directories(dir);
        RunUnderTest run(kRuns[i], dir, /*use_handle=*/true);
        if (run.make(errors[i])) traces[i] = run.trace();
      }
    });
  for (std::thread& t : threads) t.join();

  for (int i = 0; i < kRunCount; ++i) {
    SCOPED_TRACE("run " + std::to_string(i));
    ASSERT_EQ(errors[i], "");
    const fs::path alone = scratch.path / ("alone" + std::to_string(i));
    const fs::path side = scratch.path / ("side" + std::to_string(i));
    const std::vector<double> expected = read_trace(alone / kTraceName);
    ASSERT_GT(expected.size(), 100u);
    ASSERT_EQ(traces[i].size(), expected.size());
    EXPECT_TRUE(std::memcmp(traces[i].data(), expected.data(), expected.size() * sizeof(double)) ==
                0)
        << "the calls differ";
    const auto want = files_of(alone, "");
    const auto got = files_of(side, kRuns[i].prefix);
    // The screen, the checkpoint and the report files of the run.
    EXPECT_GE(want.size(), 4u);
    EXPECT_TRUE(want.count("KESTRO_SOLUTION.TXT") == 1);
    ASSERT_EQ(got.size(), want.size());
    for (const auto& [name, content] : want) {
      ASSERT_TRUE(got.count(name) == 1) << name << " is missing";
      EXPECT_TRUE(got.at(name) == content) << name << " differs";
    }
  }
}

// The specified entries and a handle make the same run in one process.
TEST(ConcurrentRuns, DefaultEntriesAndAHandleMakeTheSameRun) {
  ScratchDirectory scratch;
  for (const int i : {1, 7}) {
    SCOPED_TRACE("run " + std::to_string(i));
    const fs::path by_entries = scratch.path / ("entries" + std::to_string(i));
    const fs::path by_handle = scratch.path / ("handle" + std::to_string(i));
    fs::create_directories(by_entries);
    fs::create_directories(by_handle);
    const fs::path previous = fs::current_path();
    fs::current_path(by_entries);
    std::FILE* screen = std::fopen(kScreenName, "w");
    ASSERT_NE(screen, nullptr);
    kestro::abi::default_context().report.units.set_screen(screen);
    RunUnderTest entries(kRuns[i], ".", false);
    std::string error;
    const bool made = entries.make(error);
    kestro::abi::default_context().report.units.set_screen(nullptr);
    std::fclose(screen);
    fs::current_path(previous);
    ASSERT_TRUE(made) << error;

    RunUnderTest handle(kRuns[i], by_handle, true);
    ASSERT_TRUE(handle.make(error)) << error;
    EXPECT_TRUE(handle.trace() == entries.trace());
    const auto want = files_of(by_entries, "");
    const auto got = files_of(by_handle, kRuns[i].prefix);
    ASSERT_EQ(got.size(), want.size());
    for (const auto& [name, content] : want) {
      ASSERT_TRUE(got.count(name) == 1) << name << " is missing";
      EXPECT_TRUE(got.at(name) == content) << name << " differs";
    }
  }
}

// What the handle forms answer to a null handle, and when the report files'
// place may be changed.
TEST(RunHandle, NullHandlesAndRefusedLocationsAreReported) {
  int l = 1, o = 1, n = 2, ni = 0, m = 0, me = 0, lrw = 6000, liw = 1000, lpf = 1;
  int iflag = 0, istop = 0, status = -1, lextra = 0;
  std::vector<double> x(2, 0.5), f(1, 0.0), g(1, 0.0), xl(2, -1.0), xu(2, 1.0), rw(6000, 0.0),
      pf(1, 0.0);
  std::vector<int> iw(1000, 0);
  double param[13] = {};
  kestro_context_solve(nullptr, &l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(),
                       xu.data(), &iflag, &istop, param, rw.data(), &lrw, iw.data(), &liw,
                       pf.data(), &lpf);
  EXPECT_EQ(iflag, 701);
  EXPECT_EQ(istop, 1);
  int stage = 1, printeval = 1, save2file = 1, maxeval = 10, maxtime = 10, timediv = 0;
  kestro_context_print(nullptr, &stage, &printeval, &save2file, &iflag, &istop, f.data(), g.data(),
                       x.data(), xl.data(), xu.data(), &o, &n, &ni, &m, &me, rw.data(), pf.data(),
                       &maxeval, &maxtime, param, &l, &timediv);
  EXPECT_EQ(iflag, 701);  // untouched
  kestro_context_save(nullptr, "unused.ckpt", &l, &o, &n, &ni, &m, &me, x.data(), f.data(),
                      g.data(), xl.data(), xu.data(), &iflag, &istop, param, rw.data(), &lrw,
                      iw.data(), &liw, pf.data(), &lpf, nullptr, &lextra, &status);
  EXPECT_EQ(status, 1);
  status = -1;
  kestro_context_load(nullptr, "unused.ckpt", &l, &o, &n, &ni, &m, &me, x.data(), f.data(),
                      g.data(), xl.data(), xu.data(), &iflag, &istop, param, rw.data(), &lrw,
                      iw.data(), &liw, pf.data(), &lpf, nullptr, &lextra, &status);
  EXPECT_EQ(status, 1);
  EXPECT_FALSE(fs::exists("unused.ckpt"));
  EXPECT_EQ(kestro_context_set_output(nullptr, nullptr, nullptr), 1);
  kestro_context_free(nullptr);

  ScratchDirectory scratch;
  kestro_context* ctx = kestro_context_create();
  ASSERT_NE(ctx, nullptr);
  std::FILE* screen = std::tmpfile();
  ASSERT_NE(screen, nullptr);
  ctx->context.report.units.set_screen(screen);
  const std::string missing = (scratch.path / "missing").string();
  const std::string regular = (scratch.path / "file").string();
  std::ofstream(regular) << "not a directory\n";
  EXPECT_EQ(kestro_context_set_output(ctx, missing.c_str(), nullptr), 3);
  EXPECT_EQ(kestro_context_set_output(ctx, regular.c_str(), nullptr), 3);
  EXPECT_EQ(kestro_context_set_output(ctx, scratch.path.c_str(), "a/b"), 4);
  EXPECT_EQ(kestro_context_set_output(ctx, scratch.path.c_str(), std::string(5000, 'p').c_str()),
            4);
  EXPECT_EQ(kestro_context_set_output(ctx, scratch.path.c_str(), "r1_"), 0);

  // STAGE 1 opens the files in the directory taken; while they are open the
  // place stays.
  iflag = 0, istop = 0, maxeval = 3;
  kestro_context_print(ctx, &stage, &printeval, &save2file, &iflag, &istop, f.data(), g.data(),
                       x.data(), xl.data(), xu.data(), &o, &n, &ni, &m, &me, rw.data(), pf.data(),
                       &maxeval, &maxtime, param, &l, &timediv);
  EXPECT_TRUE(fs::exists(scratch.path / "r1_KESTRO_SCREEN.TXT"));
  EXPECT_TRUE(fs::exists(scratch.path / "r1_KESTRO_SOLUTION.TXT"));
  EXPECT_FALSE(fs::exists("r1_KESTRO_SCREEN.TXT"));
  EXPECT_EQ(kestro_context_set_output(ctx, nullptr, nullptr), 2);
  stage = 2;
  for (int call = 0; call < 10 && istop == 0; ++call) {
    f[0] = x[0] * x[0] + x[1] * x[1];
    kestro_context_solve(ctx, &l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(),
                         xu.data(), &iflag, &istop, param, rw.data(), &lrw, iw.data(), &liw,
                         pf.data(), &lpf);
    kestro_context_print(ctx, &stage, &printeval, &save2file, &iflag, &istop, f.data(), g.data(),
                         x.data(), xl.data(), xu.data(), &o, &n, &ni, &m, &me, rw.data(), pf.data(),
                         &maxeval, &maxtime, param, &l, &timediv);
  }
  EXPECT_EQ(istop, 1);
  // The run has ended and closed its files: the next run may go elsewhere.
  EXPECT_EQ(kestro_context_set_output(ctx, "", ""), 0);
  kestro_context_free(ctx);
  std::fclose(screen);
}

}  // namespace
