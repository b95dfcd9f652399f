// Files of a run that are symbolic links: the report files are never
// written through one (the link is refused like a file that cannot be
// written, and the run goes on), and the temporary files of the checkpoint
// and of the Pareto front are made under fresh names, so that a link with a
// predictable name is never followed either.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kestro.hpp"
#include "report/report_fixture.hpp"
#include "report/units.hpp"

namespace {

using namespace kestro::testing;

bool is_link(const char* name) {
  struct stat info {};
  return lstat(name, &info) == 0 && S_ISLNK(info.st_mode);
}

std::string contents(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write(const char* name, const std::string& text) { std::ofstream(name) << text; }

kestro::Problem two_objectives() {
  kestro::Problem p;
  p.objectives = 2;
  p.lower = {-2, -2};
  p.upper = {2, 2};
  return p;
}

void model(std::span<const double> x, std::span<double> f, std::span<double>) {
  f[0] = x[0] * x[0] + x[1] * x[1];
  f[1] = (x[0] - 1) * (x[0] - 1) + x[1] * x[1];
}

kestro::Result run_with_files() {
  kestro::Options o;
  o.seed = 2;
  o.maxeval = 300;
  o.printeval = 100000;
  o.save2file = 2;
  return kestro::minimize(two_objectives(), model, o);
}

TEST(SymbolicLinks, ReportFilesAreNotWrittenThroughThem) {
  kestro::Result plain, linked;
  {
    ScratchDirectory scratch;
    plain = run_with_files();
    EXPECT_FALSE(contents("KESTRO_PARETOFRONT.TXT").empty());
  }
  ScratchDirectory scratch;
  const char* names[] = {"KESTRO_SCREEN.TXT", "KESTRO_SOLUTION.TXT", "KESTRO_HISTORY.TXT",
                         "KESTRO_PARETOFRONT.tmp", "KESTRO_PARETOFRONT.TXT"};
  std::vector<std::string> victims;
  for (const char* name : names) {
    victims.push_back(std::string("victim-") + name);
    write(victims.back().c_str(), "not to be overwritten\n");
    ASSERT_EQ(symlink(victims.back().c_str(), name), 0);
  }
  linked = run_with_files();
  EXPECT_EQ(linked.x, plain.x);
  EXPECT_EQ(linked.f, plain.f);
  EXPECT_EQ(linked.evaluations, plain.evaluations);
  for (const std::string& victim : victims)
    EXPECT_EQ(contents(victim.c_str()), "not to be overwritten\n") << victim;
  for (int k = 0; k < 4; ++k) EXPECT_TRUE(is_link(names[k])) << names[k];
  // The front is renamed over the link's name, replacing the link itself.
  EXPECT_FALSE(is_link("KESTRO_PARETOFRONT.TXT"));
  EXPECT_FALSE(contents("KESTRO_PARETOFRONT.TXT").empty());
  // Nothing else is left behind: the links, their targets and the front.
  EXPECT_EQ(scratch.files().size(), 2 * std::size(names));
}

// Units given a directory and a prefix make the front's temporary file there,
// under the prefix, beside a link of the predictable name that they leave
// alone; the unit keeps the bare name, so that a saved unit reopens it and
// the rename finds it.
TEST(SymbolicLinks, TheFrontsTemporaryFileIsFreshInTheUnitsDirectory) {
  ScratchDirectory scratch;
  ASSERT_EQ(mkdir("out", 0755), 0);
  write("victim", "not to be overwritten\n");
  ASSERT_EQ(symlink("../victim", "out/r1_KESTRO_PARETOFRONT.tmp"), 0);
  kestro::report::OutputUnits units;
  ASSERT_TRUE(units.set_location("out", "r1_"));
  std::string name;
  units.open_unique(kestro::report::kParetoFrontUnit, "KESTRO_PARETOFRONT.tmp", &name);
  ASSERT_TRUE(units.is_open(kestro::report::kParetoFrontUnit));
  EXPECT_EQ(name.rfind("KESTRO_PARETOFRONT.tmp.", 0), 0u) << name;
  EXPECT_EQ(name.size(), sizeof "KESTRO_PARETOFRONT.tmp.XXXXXX" - 1) << name;
  EXPECT_TRUE(file_exists("out/r1_" + name));
  units.write(kestro::report::kParetoFrontUnit, "('front')");
  units.restore(kestro::report::kParetoFrontUnit, units.snapshot(kestro::report::kParetoFrontUnit));
  units.write(kestro::report::kParetoFrontUnit, "('more')");
  units.close(kestro::report::kParetoFrontUnit);
  EXPECT_TRUE(units.rename_file(name.c_str(), "KESTRO_PARETOFRONT.TXT"));
  EXPECT_EQ(contents("out/r1_KESTRO_PARETOFRONT.TXT"), "front\nmore\n");
  EXPECT_EQ(contents("victim"), "not to be overwritten\n");
  EXPECT_TRUE(is_link("out/r1_KESTRO_PARETOFRONT.tmp"));
  EXPECT_EQ(scratch.files(), (std::vector<std::string>{"out", "victim"}));
  std::vector<std::string> in_out;
  for (const auto& entry : std::filesystem::directory_iterator("out"))
    in_out.push_back(entry.path().filename().string());
  std::sort(in_out.begin(), in_out.end());
  EXPECT_EQ(in_out,
            (std::vector<std::string>{"r1_KESTRO_PARETOFRONT.TXT", "r1_KESTRO_PARETOFRONT.tmp"}));
}

TEST(SymbolicLinks, TheCheckpointsTemporaryFileIsFresh) {
  ScratchDirectory scratch;
  write("victim", "not to be overwritten\n");
  ASSERT_EQ(symlink("victim", "run.ckpt.tmp"), 0);
  kestro::Options o;
  o.seed = 1;
  o.maxeval = 100;
  std::vector<double> f(2);
  {
    kestro::Solver s(two_objectives(), o);
    for (int k = 0; k < 10; ++k) {
      const std::span<const double> x = s.ask();
      model(x, f, {});
      s.tell(f);
    }
    s.save("run.ckpt");
    s.save("run.ckpt");  // over a checkpoint made before
  }
  EXPECT_EQ(contents("victim"), "not to be overwritten\n");
  EXPECT_TRUE(is_link("run.ckpt.tmp"));
  EXPECT_EQ(scratch.files(), (std::vector<std::string>{"run.ckpt", "run.ckpt.tmp", "victim"}));
  EXPECT_NO_THROW(kestro::Solver(two_objectives(), o, "run.ckpt"));
}

}  // namespace
