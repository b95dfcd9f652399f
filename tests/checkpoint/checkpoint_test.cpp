#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/internal_routines.h"
#include "checkpoint/checkpoint.hpp"
#include "checkpoint/checkpoint_loop.hpp"
#include "report/report_fixture.hpp"

namespace kestro::testing {
namespace {

using checkpoint::Status;

std::string temporary_path(const std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "/tmp") + "/kestro-checkpoint-" +
         std::to_string(getpid()) + "-" + name;
}

std::vector<unsigned char> read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Bitwise equality, so that NaN in a workspace compares equal to itself.
template <class T>
bool same_bits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// Where a run is saved: inside the colony phase, inside a pattern-search
// phase (a pattern-search block follows one), right after an outer restart.
enum class Phase { kColony, kPatternSearch, kOuterRestart };

// The first call after which the reference run is in the phase.
int save_point(const Loop& reference, Phase phase) {
  for (int k = 3; k < reference.calls - 2; ++k) {
    const int iflag = reference.iflags[std::size_t(k - 1)];
    const int next = reference.iflags[std::size_t(k)];
    switch (phase) {
      case Phase::kColony:
        if (reference.searching[std::size_t(k - 1)] == 0 && iflag != -300 && iflag != -500 &&
            next != -300 && next != -500)
          return k;
        break;
      case Phase::kPatternSearch:
        if (iflag == -500 && next == -500) return k;
        break;
      case Phase::kOuterRestart:
        if (iflag == -300) return k;
        break;
    }
  }
  return 0;
}

struct ResumeCase {
  const char* name;
  int l, o;
  Phase phase;
};

void PrintTo(const ResumeCase& c, std::ostream* os) { *os << c.name; }

class Resume : public ::testing::TestWithParam<ResumeCase> {};

LoopProblem problem_for(const ResumeCase& c) {
  return c.o == 1 ? single_objective(c.l) : two_objectives(c.l);
}

// A run saved after k calls and resumed in a fresh context with fresh arrays
// goes on with exactly the blocks, the result and the final workspaces of
// the run that was never stopped; the saved run itself is not disturbed.
TEST_P(Resume, ContinuesExactlyAsTheUninterruptedRun) {
  const ResumeCase c = GetParam();
  Loop reference(problem_for(c));
  reference.begin();
  reference.run();
  const int k = save_point(reference, c.phase);
  ASSERT_GT(k, 0) << "the reference run never reaches the phase";

  const std::string path = temporary_path(std::string(c.name) + ".ckpt");
  Loop saved(problem_for(c));
  saved.begin();
  saved.run([&](const Loop& loop) { return loop.calls == k; });
  ASSERT_EQ(saved.save(path), checkpoint::kOk);
  saved.run();
  EXPECT_EQ(saved.iflags, reference.iflags);
  EXPECT_TRUE(same_bits(saved.rw, reference.rw));

  Loop resumed(problem_for(c));  // no begin(): everything comes from the file
  std::fill(resumed.rw.begin(), resumed.rw.end(), 7.0);
  std::fill(resumed.iw.begin(), resumed.iw.end(), 7);
  ASSERT_EQ(resumed.load(path), checkpoint::kOk);
  EXPECT_TRUE(same_bits(resumed.x, reference.blocks[std::size_t(k - 1)]));
  resumed.run();
  ASSERT_EQ(resumed.calls, reference.calls - k);
  for (int i = 0; i < resumed.calls; ++i) {
    ASSERT_TRUE(same_bits(resumed.blocks[std::size_t(i)], reference.blocks[std::size_t(k + i)]))
        << "block after call " << k + i + 1;
    ASSERT_EQ(resumed.iflags[std::size_t(i)], reference.iflags[std::size_t(k + i)]);
  }
  EXPECT_EQ(resumed.iflag, reference.iflag);
  EXPECT_TRUE(same_bits(resumed.x, reference.x));
  EXPECT_TRUE(same_bits(resumed.f, reference.f));
  EXPECT_TRUE(same_bits(resumed.g, reference.g));
  EXPECT_TRUE(same_bits(resumed.rw, reference.rw));
  EXPECT_TRUE(same_bits(resumed.iw, reference.iw));
  EXPECT_TRUE(same_bits(resumed.pf, reference.pf));
  EXPECT_EQ(resumed.context->report.controller.eval, reference.context->report.controller.eval);
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Phases, Resume,
                         ::testing::Values(ResumeCase{"L1_O1_colony", 1, 1, Phase::kColony},
                                           ResumeCase{"L1_O1_pattern", 1, 1, Phase::kPatternSearch},
                                           ResumeCase{"L1_O1_restart", 1, 1, Phase::kOuterRestart},
                                           ResumeCase{"L4_O1_colony", 4, 1, Phase::kColony},
                                           ResumeCase{"L4_O1_pattern", 4, 1, Phase::kPatternSearch},
                                           ResumeCase{"L4_O1_restart", 4, 1, Phase::kOuterRestart},
                                           ResumeCase{"L1_O2_colony", 1, 2, Phase::kColony},
                                           ResumeCase{"L1_O2_pattern", 1, 2, Phase::kPatternSearch},
                                           ResumeCase{"L1_O2_restart", 1, 2, Phase::kOuterRestart},
                                           ResumeCase{"L3_O2_colony", 3, 2, Phase::kColony},
                                           ResumeCase{"L3_O2_pattern", 3, 2, Phase::kPatternSearch},
                                           ResumeCase{"L3_O2_restart", 3, 2, Phase::kOuterRestart}),
                         [](const ::testing::TestParamInfo<ResumeCase>& info) {
                           return std::string(info.param.name);
                         });

// Runs `body` in a child process and returns its exit status.
template <class Body>
int in_child(Body body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

// Through the exported entries: one process saves the run, another loads it
// and finishes it; its blocks are those of the uninterrupted run.
TEST(ResumeInAnotherProcess, GivesTheSameBlocksThroughTheExportedEntries) {
  const LoopProblem problem = two_objectives(2);
  Loop reference(problem);
  reference.begin();
  reference.run();
  const int k = save_point(reference, Phase::kPatternSearch);
  ASSERT_GT(k, 0);
  const std::string path = temporary_path("fork.ckpt");
  const std::string blocks_path = temporary_path("fork.blocks");

  const int saver = in_child([&] {
    Loop loop(problem, /*process_wide=*/true, /*lextra=*/2);
    loop.begin();
    loop.run([&](const Loop& l) { return l.calls == k; });
    loop.extra = {double(k), 0.25};
    int status = -1, lextra = 2;
    kestro_save_(path.c_str(), &problem.l, &problem.o, &problem.n, &problem.ni, &problem.m,
                 &problem.me, loop.x.data(), loop.f.data(), loop.g.data(), loop.xl.data(),
                 loop.xu.data(), &loop.iflag, &loop.istop, loop.param, loop.rw.data(), &loop.lrw,
                 loop.iw.data(), &loop.liw, loop.pf.data(), &loop.lpf, loop.extra.data(), &lextra,
                 &status);
    return status;
  });
  ASSERT_EQ(saver, 0);

  const int loader = in_child([&] {
    Loop loop(problem, /*process_wide=*/true, /*lextra=*/2);
    int status = -1, lextra = 2;
    kestro_load_(path.c_str(), &problem.l, &problem.o, &problem.n, &problem.ni, &problem.m,
                 &problem.me, loop.x.data(), loop.f.data(), loop.g.data(), loop.xl.data(),
                 loop.xu.data(), &loop.iflag, &loop.istop, loop.param, loop.rw.data(), &loop.lrw,
                 loop.iw.data(), &loop.liw, loop.pf.data(), &loop.lpf, loop.extra.data(), &lextra,
                 &status);
    if (status != 0) return 10 + status;
    if (loop.extra[0] != double(k) || loop.extra[1] != 0.25) return 50;
    loop.run();
    std::ofstream out(blocks_path, std::ios::binary);
    for (const auto& b : loop.blocks)
      out.write(reinterpret_cast<const char*>(b.data()),
                std::streamsize(b.size() * sizeof(double)));
    out.write(reinterpret_cast<const char*>(loop.pf.data()),
              std::streamsize(loop.pf.size() * sizeof(double)));
    return 0;
  });
  ASSERT_EQ(loader, 0);

  std::vector<double> expected;
  for (std::size_t i = std::size_t(k); i < reference.blocks.size(); ++i)
    expected.insert(expected.end(), reference.blocks[i].begin(), reference.blocks[i].end());
  expected.insert(expected.end(), reference.pf.begin(), reference.pf.end());
  const std::vector<unsigned char> got = read_bytes(blocks_path);
  ASSERT_EQ(got.size(), expected.size() * sizeof(double));
  EXPECT_EQ(std::memcmp(got.data(), expected.data(), got.size()), 0);
  std::remove(path.c_str());
  std::remove(blocks_path.c_str());
}

// Everything a refused load could have touched: the caller's arrays and the
// context (through a save of it to a file).
struct Observed {
  std::vector<double> x, f, g, xl, xu, rw, pf, param;
  std::vector<int> iw;
  int iflag, istop;
  std::vector<unsigned char> state;

  static Observed of(Loop& loop, const std::string& state_path) {
    Observed o{loop.x,  loop.f,     loop.g,     loop.xl,
               loop.xu, loop.rw,    loop.pf,    std::vector<double>(loop.param, loop.param + 13),
               loop.iw, loop.iflag, loop.istop, {}};
    EXPECT_EQ(loop.save(state_path), checkpoint::kOk);
    o.state = read_bytes(state_path);
    return o;
  }
  bool operator==(const Observed& b) const {
    return same_bits(x, b.x) && same_bits(f, b.f) && same_bits(g, b.g) && same_bits(xl, b.xl) &&
           same_bits(xu, b.xu) && same_bits(rw, b.rw) && same_bits(pf, b.pf) &&
           same_bits(param, b.param) && same_bits(iw, b.iw) && iflag == b.iflag &&
           istop == b.istop && state == b.state;
  }
};

// Header fields: magic (8 bytes), version (4), layout identity (8), payload
// length (8); the checksum takes the last 8 bytes.
constexpr std::size_t kVersionAt = 8, kLayoutAt = 12, kPayloadAt = 28;

TEST(Refusal, EveryFaultyFileIsRefusedWithItsReasonAndChangesNothing) {
  const std::string good = temporary_path("good.ckpt"), bad = temporary_path("bad.ckpt"),
                    state = temporary_path("state.ckpt");
  Loop source(single_objective(2));
  source.begin();
  source.run([](const Loop& l) { return l.calls == 40; });
  ASSERT_EQ(source.save(good), checkpoint::kOk);
  const std::vector<unsigned char> bytes = read_bytes(good);
  ASSERT_GT(bytes.size(), kPayloadAt + 8);

  auto flipped = [&](std::size_t at) {
    std::vector<unsigned char> b = bytes;
    b[at] ^= 0x10;
    return b;
  };
  auto cut = [&](std::size_t length) {
    return std::vector<unsigned char>(bytes.begin(), bytes.begin() + std::ptrdiff_t(length));
  };
  std::vector<unsigned char> longer = bytes;
  longer.push_back(0);
  const std::string text = "# not a checkpoint\n";
  struct Case {
    const char* what;
    std::vector<unsigned char> file;
    Status expected;
  };
  const Case cases[] = {
      {"empty file", {}, checkpoint::kNotACheckpoint},
      {"text file", std::vector<unsigned char>(text.begin(), text.end()),
       checkpoint::kNotACheckpoint},
      {"cut inside the magic", cut(5), checkpoint::kTruncated},
      {"cut inside the header", cut(kPayloadAt - 1), checkpoint::kTruncated},
      {"cut after the header", cut(kPayloadAt + 3), checkpoint::kTruncated},
      {"cut in the middle", cut(bytes.size() / 2), checkpoint::kTruncated},
      {"checksum cut short", cut(bytes.size() - 1), checkpoint::kTruncated},
      {"byte after the end", longer, checkpoint::kCorrupted},
      {"other version", flipped(kVersionAt), checkpoint::kOtherVersion},
      {"other layout", flipped(kLayoutAt + 3), checkpoint::kOtherLayout},
      {"payload byte changed", flipped(kPayloadAt + 100), checkpoint::kCorrupted},
      {"last payload byte changed", flipped(bytes.size() - 9), checkpoint::kCorrupted},
      {"checksum changed", flipped(bytes.size() - 1), checkpoint::kCorrupted},
  };

  // A run in progress of the same sizes, which a refused load must leave alone.
  Loop target(single_objective(2));
  target.begin();
  target.run([](const Loop& l) { return l.calls == 7; });
  const Observed before = Observed::of(target, state);
  for (const Case& c : cases) {
    write_bytes(bad, c.file);
    EXPECT_EQ(target.load(bad), c.expected) << c.what;
    EXPECT_TRUE(Observed::of(target, state) == before) << c.what;
  }
  EXPECT_EQ(target.load(temporary_path("missing.ckpt")), checkpoint::kCannotOpen);
  EXPECT_TRUE(Observed::of(target, state) == before);

  // The target goes on as if nothing had been tried.
  Loop untouched(single_objective(2));
  untouched.begin();
  untouched.run();
  target.run();
  EXPECT_TRUE(same_bits(target.rw, untouched.rw));
  EXPECT_EQ(target.iflag, untouched.iflag);
  for (const std::string& p : {good, bad, state}) std::remove(p.c_str());
}

TEST(Refusal, FileOfOtherSizesIsRefusedAndChangesNothing) {
  const std::string path = temporary_path("sizes.ckpt"), state = temporary_path("sizes-state.ckpt");
  Loop source(single_objective(2));
  source.begin();
  source.run([](const Loop& l) { return l.calls == 5; });
  ASSERT_EQ(source.save(path), checkpoint::kOk);

  Loop other_block(single_objective(3));  // L differs
  Loop longer_rw(single_objective(2));    // LRW differs
  longer_rw.lrw += 1;
  longer_rw.rw.push_back(0.0);
  Loop with_extra(single_objective(2), false, 1);  // LEXTRA differs
  for (Loop* target : {&other_block, &longer_rw, &with_extra}) {
    target->begin();
    const Observed before = Observed::of(*target, state);
    EXPECT_EQ(target->load(path), checkpoint::kOtherSizes);
    EXPECT_TRUE(Observed::of(*target, state) == before);
  }
  std::remove(path.c_str());
  std::remove(state.c_str());
}

TEST(Refusal, SaveWithSizesOfAnotherRunOrNoPathIsRefused) {
  Loop loop(single_objective(2));
  loop.begin();
  loop.run([](const Loop& l) { return l.calls == 3; });
  checkpoint::CallerRun run = loop.caller();
  run.sizes.lrw -= 1;
  run.rw = RealView(loop.rw.data(), loop.lrw - 1);
  EXPECT_EQ(checkpoint::save(*loop.context, temporary_path("other.ckpt").c_str(), run),
            checkpoint::kOtherRun);
  EXPECT_EQ(checkpoint::save(*loop.context, nullptr, loop.caller()), checkpoint::kBadArguments);
  EXPECT_EQ(checkpoint::save(*loop.context, "", loop.caller()), checkpoint::kBadArguments);

  // A missing array for a positive length is refused by the exported entries.
  int status = -1, lextra = 0;
  const LoopProblem& p = loop.p;
  kestro_save_("x.ckpt", &p.l, &p.o, &p.n, &p.ni, &p.m, &p.me, nullptr, loop.f.data(),
               loop.g.data(), loop.xl.data(), loop.xu.data(), &loop.iflag, &loop.istop, loop.param,
               loop.rw.data(), &loop.lrw, loop.iw.data(), &loop.liw, loop.pf.data(), &loop.lpf,
               nullptr, &lextra, &status);
  EXPECT_EQ(status, checkpoint::kBadArguments);
}

// A save that cannot be written is reported, leaves no file behind and does
// not disturb the run.
TEST(SaveFailure, IsReportedAndTheRunIsUnaffected) {
  Loop reference(single_objective(1));
  reference.begin();
  reference.run();

  Loop loop(single_objective(1));
  loop.begin();
  const std::string directory = temporary_path("no-such-directory");
  loop.run([&](const Loop& l) {
    if (l.calls % 25 == 0) {
      EXPECT_EQ(loop.save(directory + "/run.ckpt"), checkpoint::kWriteFailed);
    }
    return false;
  });
  EXPECT_EQ(loop.iflags, reference.iflags);
  EXPECT_TRUE(same_bits(loop.rw, reference.rw));
  EXPECT_FALSE(file_exists(directory));
}

// The save replaces the file only with a complete one and leaves no
// temporary file behind.
TEST(SaveFile, ReplacesThePreviousCheckpointWithoutATemporaryFileLeft) {
  ScratchDirectory dir;
  Loop loop(single_objective(1));
  loop.begin();
  loop.run([](const Loop& l) { return l.calls == 5; });
  ASSERT_EQ(loop.save("run.ckpt"), checkpoint::kOk);
  const auto first = read_bytes("run.ckpt");
  loop.run([](const Loop& l) { return l.calls == 9; });
  ASSERT_EQ(loop.save("run.ckpt"), checkpoint::kOk);
  EXPECT_NE(read_bytes("run.ckpt"), first);
  EXPECT_EQ(dir.files(), std::vector<std::string>{"run.ckpt"});
}

// With every report file on, the files of a resumed run are those of the
// uninterrupted run: the screen copy and the solution file continue, the
// history keeps its cycle, and what the stopped process wrote after the
// save is cut off.
TEST(ReportFiles, ContinueOnResumeAsIfTheRunHadNotStopped) {
  ScratchDirectory dir;
  const char* names[] = {"KESTRO_SCREEN.TXT", "KESTRO_SOLUTION.TXT", "KESTRO_HISTORY.TXT",
                         "KESTRO_PARETOFRONT.TXT"};
  LoopProblem problem = two_objectives(2);
  problem.printeval = 40;
  problem.save2file = 7;
  problem.maxeval = 1200;

  std::vector<std::vector<unsigned char>> expected;
  {
    Loop reference(problem);
    reference.begin();
    reference.run();
  }
  for (const char* n : names) expected.push_back(read_bytes(n));
  for (const auto& e : expected) ASSERT_FALSE(e.empty());
  for (const char* n : names) std::remove(n);

  const int k = 123;  // within a history cycle of 7 calls
  {
    Loop stopped(problem);
    stopped.begin();
    stopped.run([&](const Loop& l) { return l.calls == k; });
    ASSERT_EQ(stopped.save("run.ckpt"), checkpoint::kOk);
    stopped.run([&](const Loop& l) { return l.calls == k + 30; });  // then it dies
  }
  Loop resumed(problem);
  ASSERT_EQ(resumed.load("run.ckpt"), checkpoint::kOk);
  resumed.run();
  for (std::size_t i = 0; i < std::size(names); ++i) {
    EXPECT_TRUE(read_bytes(names[i]) == expected[i]) << names[i];
  }
}

// Odd paths: a name with spaces works; a directory is neither read nor
// replaced; a device without end (or any large file that is no checkpoint)
// is refused after its first bytes instead of being read in full.
TEST(Paths, SpacesDirectoriesAndEndlessFilesAreHandled) {
  ScratchDirectory dir;
  Loop loop(single_objective(2));
  loop.begin();
  loop.run([](const Loop& l) { return l.calls == 12; });
  ASSERT_EQ(loop.save("a run with spaces.ckpt"), checkpoint::kOk);
  Loop resumed(single_objective(2));
  EXPECT_EQ(resumed.load("a run with spaces.ckpt"), checkpoint::kOk);
  EXPECT_TRUE(same_bits(resumed.rw, loop.rw));

  ASSERT_EQ(mkdir("a directory", 0755), 0);
  EXPECT_EQ(loop.save("a directory"), checkpoint::kWriteFailed);
  EXPECT_EQ(resumed.load("a directory"), checkpoint::kCannotOpen);
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"a directory", "a run with spaces.ckpt"}));
  EXPECT_EQ(resumed.load("/dev/zero"), checkpoint::kNotACheckpoint);
  EXPECT_TRUE(same_bits(resumed.rw, loop.rw));
}

double fake_now = 0.0;
double fake_clock() { return fake_now; }

// TIME goes on from its value at the save, whatever the CPU clock of the
// resuming process reads.
TEST(ReportClock, TimeContinuesFromTheSave) {
  const std::string path = temporary_path("clock.ckpt");
  LoopProblem problem = single_objective(2);
  Loop saved(problem);
  saved.context->report.clock = &fake_clock;
  fake_now = 5.0;
  saved.begin();
  saved.run([](const Loop& l) { return l.calls == 10; });
  fake_now = 12.5;
  ASSERT_EQ(saved.save(path), checkpoint::kOk);

  Loop resumed(problem);
  resumed.context->report.clock = &fake_clock;
  fake_now = 0.25;  // a new process has used little CPU time
  ASSERT_EQ(resumed.load(path), checkpoint::kOk);
  fake_now = 2.25;
  resumed.step();
  EXPECT_EQ(resumed.context->report.controller.time, 7.5 + 2.0);
  std::remove(path.c_str());
}

// MAXTIME is fixed when the run starts and travels with it: a resumed run
// given a larger MAXTIME still stops at the time budget it started with,
// while a larger MAXEVAL applies.
TEST(ReportClock, MaxtimeIsThatOfTheSavedRunAndMaxevalThatOfTheResumedOne) {
  const std::string path = temporary_path("budget.ckpt");
  LoopProblem problem = single_objective(1);
  problem.maxtime = 10;
  problem.maxeval = 50;
  Loop saved(problem);
  saved.context->report.clock = &fake_clock;
  fake_now = 0.0;
  saved.begin();
  saved.run([](const Loop& l) { return l.calls == 20; });
  ASSERT_EQ(saved.save(path), checkpoint::kOk);

  LoopProblem larger = problem;
  larger.maxtime = 1000;
  larger.maxeval = 100;
  Loop resumed(larger);
  resumed.context->report.clock = &fake_clock;
  ASSERT_EQ(resumed.load(path), checkpoint::kOk);
  resumed.run();  // the clock stands still: only MAXEVAL can end the run
  EXPECT_EQ(resumed.context->report.controller.eval, 100);

  Loop late(larger);
  late.context->report.clock = &fake_clock;
  ASSERT_EQ(late.load(path), checkpoint::kOk);
  fake_now = 20.0;  // beyond the saved run's MAXTIME, within the new one
  late.run();
  EXPECT_LE(late.calls, 2);
  EXPECT_EQ(late.context->report.controller.maxtime_s, 10.0);
  std::remove(path.c_str());
}

TEST(StatusText, NamesEveryStatus) {
  for (int s = 0; s <= 12; ++s) {
    const std::string text = kestro_checkpoint_text(&s);
    EXPECT_NE(text, "unknown checkpoint status") << s;
  }
  const int unknown = 13;
  EXPECT_STREQ(kestro_checkpoint_text(&unknown), "unknown checkpoint status");
  EXPECT_STREQ(kestro_checkpoint_text(nullptr), "unknown checkpoint status");
}

}  // namespace
}  // namespace kestro::testing

namespace kestro::testing {
namespace {

// The checksum of a checkpoint: 64-bit FNV-1a over everything before it.
void reseal(std::vector<unsigned char>& file) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (std::size_t i = 0; i + 8 < file.size(); ++i) {
    hash ^= file[i];
    hash *= 0x100000001b3ULL;
  }
  std::memcpy(file.data() + file.size() - 8, &hash, 8);
}

// A file with a valid checksum but any content (made on purpose) is either
// refused or loaded into a run that the library then serves without reading
// or writing outside the caller's arrays (the sanitizer build checks this).
TEST(CraftedFile, WithValidChecksumIsRefusedOrServedSafely) {
  const std::string good = temporary_path("crafted-good.ckpt"),
                    bad = temporary_path("crafted.ckpt");
  Loop source(two_objectives(2));
  source.begin();
  source.run([](const Loop& l) { return l.calls == 60; });
  ASSERT_EQ(source.save(good), checkpoint::kOk);
  const std::vector<unsigned char> bytes = read_bytes(good);
  // The library's state follows the sizes (40 bytes), IFLAG and ISTOP and
  // the caller's arrays; every byte of its first part (the solver entry, the
  // kernel, the multi-objective driver) and of its last part (the report)
  // is changed in turn.
  const Loop& s = source;
  const std::size_t arrays = 8 * (s.x.size() + s.f.size() + s.g.size() + s.xl.size() + s.xu.size() +
                                  13 + s.rw.size() + s.pf.size()) +
                             4 * s.iw.size();
  const std::size_t state = kPayloadAt + 48 + arrays;
  ASSERT_LT(state + 1400, bytes.size() - 700);
  std::vector<std::size_t> positions;
  // The kernel's cells at the start of IW, which it reads as positions.
  const std::size_t iw = state - 4 * s.iw.size() - 8 * s.pf.size();
  for (std::size_t at = iw; at < iw + 4 * 60; ++at) positions.push_back(at);
  for (std::size_t at = state; at < state + 1400; ++at) positions.push_back(at);
  for (std::size_t at = bytes.size() - 700; at < bytes.size() - 8; ++at) positions.push_back(at);
  int loaded = 0, refused = 0;
  for (std::size_t at : positions) {
    for (unsigned char value : {0x00, 0xff}) {
      std::vector<unsigned char> file = bytes;
      if (file[at] == value) continue;
      file[at] = value;
      reseal(file);
      write_bytes(bad, file);
      Loop target(two_objectives(2));
      const Status status = target.load(bad);
      if (status != checkpoint::kOk) {
        EXPECT_TRUE(status == checkpoint::kOtherSizes || status == checkpoint::kInconsistent)
            << "byte " << at << ": " << checkpoint::status_text(status);
        ++refused;
        continue;
      }
      ++loaded;
      target.run([](const Loop& l) { return l.calls == 10; });
    }
  }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
  std::remove(good.c_str());
  std::remove(bad.c_str());
}

// A report file named in a crafted file (with a valid checksum) must be one
// of the library's own: a file of the caller's named there is neither cut
// back nor written to, and the load is refused.
TEST(CraftedFile, NamingAnotherReportFileIsRefusedAndLeavesThatFileAlone) {
  ScratchDirectory dir;
  LoopProblem problem = single_objective(1);
  problem.printeval = 20;
  problem.save2file = 2;
  Loop source(problem);
  source.begin();
  source.run([](const Loop& l) { return l.calls == 30; });
  ASSERT_EQ(source.save("good.ckpt"), checkpoint::kOk);
  const std::vector<unsigned char> bytes = read_bytes("good.ckpt");
  std::string victim_text;
  for (int i = 0; i < 2000; ++i) victim_text += "the caller's own data\n";
  for (const char* name : {"KESTRO_SCREEN.TXT", "KESTRO_SOLUTION.TXT", "KESTRO_HISTORY.TXT"}) {
    const std::string own = name;
    const auto at = std::search(bytes.begin(), bytes.end(), own.begin(), own.end());
    ASSERT_NE(at, bytes.end()) << name;
    std::vector<unsigned char> file = bytes;
    const std::size_t offset = std::size_t(at - bytes.begin());
    const char victim[] = "data.txt";
    std::fill(file.begin() + std::ptrdiff_t(offset),
              file.begin() + std::ptrdiff_t(offset + own.size()), 0);
    std::memcpy(file.data() + offset, victim, sizeof victim);
    reseal(file);
    write_bytes("crafted.ckpt", file);
    write_bytes("data.txt", std::vector<unsigned char>(victim_text.begin(), victim_text.end()));

    Loop target(problem);
    const Status status = target.load("crafted.ckpt");
    EXPECT_EQ(status, checkpoint::kInconsistent) << name;
    if (status == checkpoint::kOk) target.run([](const Loop& l) { return l.calls == 40; });
    const std::vector<unsigned char> after = read_bytes("data.txt");
    EXPECT_TRUE(std::string(after.begin(), after.end()) == victim_text) << name;
  }
}

}  // namespace
}  // namespace kestro::testing
