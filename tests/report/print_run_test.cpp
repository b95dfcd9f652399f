// Whole runs through both exported entries, as a caller drives them: the
// reporting entry before the loop and after every call of the solver.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "interface/context.hpp"
#include "report/print_harness.hpp"
#include "report/report_fixture.hpp"
#include "support/problem.hpp"
#include "support/run.hpp"

namespace {

using namespace kestro::testing;

struct ReportedRun {
  std::vector<int> iflags;  // after every call of the solver
  std::vector<double> xs;   // X after every call of the solver
  std::string screen;
  int final_iflag = 0, evaluations = 0;
  std::vector<double> x;  // the returned point
};

// The mixed-integer test problem in blocks of two, reported every 50
// evaluations, with files when save2file > 0 and a budget of MAXEVAL.
ReportedRun reported_run(int save2file, int maxeval) {
  TestProblem p = mixed_integer(2);
  Caller c = Caller::with_sizes(p.l, 1, p.n, p.ni, p.m, p.me);
  c.xl = p.xl;
  c.xu = p.xu;
  c.param[1] = 3;  // RANDOM-SEED
  for (int i = 0; i < p.l; ++i)
    for (int j = 0; j < p.n; ++j) c.x[i * p.n + j] = p.x0[j];
  auto evaluate = [&] {
    for (int i = 0; i < p.l; ++i) p.model(&c.x[i * p.n], &c.f[i], &c.g[i * p.m]);
  };
  const int printeval = 50, maxtime = 1000000, timediv = 0;
  auto report = [&](int stage) {
    kestro_print_(&stage, &printeval, &save2file, &c.iflag, &c.istop, c.f.data(), c.g.data(),
                  c.x.data(), c.xl.data(), c.xu.data(), &c.o, &c.n, &c.ni, &c.m, &c.me, c.rw.data(),
                  c.pf.data(), &maxeval, &maxtime, c.param, &c.l, &timediv);
  };

  ReportedRun run;
  auto& report_state = kestro::abi::default_context().report;
  ScreenCapture screen(report_state.units);
  report_state.clock = &fake_clock;  // the same times in every run
  fake_seconds = 0.0;
  report(1);
  evaluate();
  for (int calls = 0; calls < 100000; ++calls) {
    c.call();
    run.iflags.push_back(c.iflag);
    run.xs.insert(run.xs.end(), c.x.begin(), c.x.end());
    report(2);
    if (c.istop == 1) break;
    evaluate();
  }
  report_state.clock = &kestro::report::process_cpu_seconds;
  run.screen = screen.text();
  run.final_iflag = c.iflag;
  run.evaluations = kestro::abi::default_context().report.controller.eval;
  run.x.assign(c.x.begin(), c.x.begin() + p.n);
  return run;
}

TEST(ReportedRun, StopsAtMaxevalAndReportsEverything) {
  ScratchDirectory scratch;
  const ReportedRun run = reported_run(1000, 300);
  EXPECT_TRUE(run.final_iflag == 1 || run.final_iflag == 2) << run.final_iflag;
  // IFLAG -999 was set at EVAL 300; the solver ended the run on the next call.
  EXPECT_EQ(run.evaluations, 302);

  std::vector<int> evals;
  for (const auto& line : progress_lines(run.screen)) evals.push_back(line.eval);
  std::vector<int> expected = {2};
  for (int e = 50; e <= 300; e += 50) expected.push_back(e);
  expected.push_back(302);
  EXPECT_EQ(evals, expected);

  EXPECT_NE(run.screen.find("\n OPTIMIZATION FINISHED  --->  MAXEVAL REACHED\n"),
            std::string::npos);
  EXPECT_EQ(read_file("KESTRO_SCREEN.TXT"), run.screen);
  const std::string solution = read_file("KESTRO_SOLUTION.TXT");
  EXPECT_EQ(solution.rfind("KESTRO - SOLUTION\n", 0), 0u);
  EXPECT_NE(solution.find("BEST SOLUTION FOUND BY KESTRO"), std::string::npos);
  // The final block shows the returned point.
  char x1[64];
  std::snprintf(x1, sizeof x1, " X(    1) = %33.15f", run.x[0]);
  EXPECT_NE(run.screen.rfind(x1), std::string::npos);

  // The history holds the start point, then two rows for each of the
  // following 150 calls; the final call's two rows are the returned point.
  const auto history = lines_of(read_file("KESTRO_HISTORY.TXT"));
  ASSERT_EQ(history.size(), 13u + 1 + 150 * 2);
  EXPECT_EQ(history[history.size() - 1], history[history.size() - 2]);
  char x_fields[64];
  std::snprintf(x_fields, sizeof x_fields, "%19.7f%19.7f ", run.x[0], run.x[1]);
  EXPECT_EQ(history.back().substr(history.back().size() - 39), x_fields);
}

// Output files in the way (directories with their names): the run, its
// calls and its screen output are exactly those of a run with files.
TEST(ReportedRun, FilesThatCannotBeWrittenDoNotChangeTheRun) {
  ReportedRun with_files, without_files;
  {
    ScratchDirectory scratch;
    with_files = reported_run(3, 400);
  }
  {
    ScratchDirectory scratch;
    for (const char* name : {"KESTRO_SCREEN.TXT", "KESTRO_SOLUTION.TXT", "KESTRO_HISTORY.TXT",
                             "KESTRO_PARETOFRONT.tmp", "KESTRO_PARETOFRONT.TXT"})
      ASSERT_EQ(mkdir(name, 0755), 0);
    without_files = reported_run(3, 400);
  }
  EXPECT_EQ(with_files.iflags, without_files.iflags);
  EXPECT_EQ(with_files.xs, without_files.xs);
  EXPECT_EQ(with_files.screen, without_files.screen);
  EXPECT_EQ(with_files.final_iflag, without_files.final_iflag);
}

// A full disk: a limit of zero bytes on the size of the files written, so
// that every write fails (as "no space left" would; report files are never
// opened through symbolic links, so /dev/full cannot stand in). The run is
// exactly that of a run with files.
TEST(ReportedRun, AFullDiskDoesNotChangeTheRun) {
  ReportedRun with_files, disk_full;
  {
    ScratchDirectory scratch;
    with_files = reported_run(3, 400);
  }
  {
    ScratchDirectory scratch;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
    const rlimit none{0, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &none), 0);
    disk_full = reported_run(3, 400);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    for (const std::string& name : scratch.files()) {
      struct stat info {};
      EXPECT_TRUE(stat(name.c_str(), &info) == 0 && info.st_size == 0) << name;
    }
  }
  EXPECT_EQ(with_files.iflags, disk_full.iflags);
  EXPECT_EQ(with_files.xs, disk_full.xs);
  EXPECT_EQ(with_files.screen, disk_full.screen);
  EXPECT_EQ(with_files.final_iflag, disk_full.final_iflag);
}

}  // namespace
