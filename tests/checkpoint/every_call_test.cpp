#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checkpoint/checkpoint.hpp"
#include "checkpoint/checkpoint_loop.hpp"
#include "report/report_fixture.hpp"

namespace kestro::testing {
namespace {

std::vector<unsigned char> file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

template <class T>
bool same_bits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

struct EveryCallCase {
  const char* name;
  int l, o, maxeval;
};

void PrintTo(const EveryCallCase& c, std::ostream* os) { *os << c.name; }

class EveryCall : public ::testing::TestWithParam<EveryCallCase> {};

LoopProblem problem_of(const EveryCallCase& c) {
  LoopProblem p = c.o == 1 ? single_objective(c.l) : two_objectives(c.l);
  p.maxeval = c.maxeval;
  return p;
}

// Saved before the first call, after many calls (every call where the run
// changes its phase) and after the end, and resumed each time in a fresh context with fresh arrays:
// every resumed run asks for the blocks of the run that was never stopped and ends with its result.
// The run is long enough to hold pattern searches, outer restarts and its end.
TEST_P(EveryCall, ResumeFromAnySaveGivesTheUninterruptedRun) {
  const EveryCallCase c = GetParam();
  ScratchDirectory dir;
  Loop reference(problem_of(c));
  reference.begin();
  reference.run();
  const auto has = [&](int code) {
    return std::find(reference.iflags.begin(), reference.iflags.end(), code) !=
           reference.iflags.end();
  };
  ASSERT_TRUE(has(-500)) << "no pattern search";
  ASSERT_TRUE(has(-300)) << "no outer restart";
  ASSERT_GE(reference.iflag, 1);

  // Every call at the start and where the run changes its phase (a pattern
  // search, a restart, the end), every 10th call elsewhere.
  const auto saved_after = [&](int k) {
    const auto iflag = [&](int call) { return reference.iflags[std::size_t(call - 1)]; };
    return k <= 30 || k % 10 == 0 || k >= reference.calls - 1 || iflag(k) != iflag(k - 1) ||
           iflag(k + 1) != iflag(k);
  };
  Loop saving(problem_of(c));
  saving.begin();
  for (int k = 0; k <= reference.calls; ++k) {
    if (k > 0) saving.step();
    if (!saved_after(k)) continue;
    ASSERT_EQ(saving.save("run.ckpt"), checkpoint::kOk) << "after call " << k;
    Loop resumed(problem_of(c));
    ASSERT_EQ(resumed.load("run.ckpt"), checkpoint::kOk) << "after call " << k;
    resumed.run();
    ASSERT_EQ(resumed.calls, reference.calls - k) << "saved after call " << k;
    for (int i = 0; i < resumed.calls; ++i) {
      ASSERT_TRUE(same_bits(resumed.blocks[std::size_t(i)], reference.blocks[std::size_t(k + i)]))
          << "saved after call " << k << ", block after call " << k + i + 1;
    }
    ASSERT_EQ(resumed.iflag, reference.iflag) << "saved after call " << k;
    ASSERT_TRUE(same_bits(resumed.x, reference.x)) << "saved after call " << k;
    ASSERT_TRUE(same_bits(resumed.rw, reference.rw)) << "saved after call " << k;
    ASSERT_TRUE(same_bits(resumed.iw, reference.iw)) << "saved after call " << k;
    ASSERT_TRUE(same_bits(resumed.pf, reference.pf)) << "saved after call " << k;
  }
  EXPECT_EQ(saving.iflags, reference.iflags);
}

INSTANTIATE_TEST_SUITE_P(Runs, EveryCall,
                         ::testing::Values(EveryCallCase{"L1_O1", 1, 1, 700},
                                           EveryCallCase{"L5_O1", 5, 1, 2800},
                                           EveryCallCase{"L1_O2", 1, 2, 700},
                                           EveryCallCase{"L5_O2", 5, 2, 2800}),
                         [](const ::testing::TestParamInfo<EveryCallCase>& info) {
                           return std::string(info.param.name);
                         });

// The report files of a run saved at any point, which went on for a few
// calls before it died, and then resumed (twice, from the same file) are
// byte for byte those of the run that was never stopped, with SAVE2FILE 1
// (screen copy and solution file) and 2 (and the history).
TEST(EveryCallReport, ResumedFilesAreThoseOfTheUninterruptedRun) {
  const char* names[] = {"KESTRO_SCREEN.TXT", "KESTRO_SOLUTION.TXT", "KESTRO_HISTORY.TXT"};
  for (int save2file : {1, 2}) {
    for (int l : {1, 5}) {
      SCOPED_TRACE("SAVE2FILE " + std::to_string(save2file) + ", L " + std::to_string(l));
      ScratchDirectory dir;
      LoopProblem problem = single_objective(l);
      problem.maxeval = 400;
      problem.printeval = 25;
      problem.save2file = save2file;
      std::vector<std::vector<unsigned char>> expected;
      int calls = 0;
      {
        Loop reference(problem);
        reference.begin();
        reference.run();
        calls = reference.calls;
      }
      for (const char* n : names) expected.push_back(file_bytes(n));
      ASSERT_FALSE(expected[0].empty());
      ASSERT_FALSE(expected[1].empty());
      ASSERT_EQ(expected[2].empty(), save2file < 2);
      for (const char* n : names) std::remove(n);

      for (int k : {0, 1, 2, 3, 7, 24, 25, 26, calls / 2, calls - 1, calls}) {
        {
          Loop stopped(problem);
          stopped.begin();
          stopped.run([&](const Loop& s) { return s.calls == k; });
          if (k == calls) {
            ASSERT_NE(stopped.istop, 0);
          }
          ASSERT_EQ(stopped.save("run.ckpt"), checkpoint::kOk);
          stopped.run([&](const Loop& s) { return s.calls == k + 5; });
        }
        for (int again = 0; again < 2; ++again) {
          Loop resumed(problem);
          ASSERT_EQ(resumed.load("run.ckpt"), checkpoint::kOk);
          resumed.run();
          resumed.context->report.units.close(report::kScreenCopyUnit);
          resumed.context->report.units.close(report::kSolutionUnit);
          resumed.context->report.units.close(report::kHistoryUnit);
          for (std::size_t i = 0; i < std::size(names); ++i) {
            EXPECT_TRUE(file_bytes(names[i]) == expected[i])
                << names[i] << ", saved after call " << k << ", resume " << again + 1;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace kestro::testing
