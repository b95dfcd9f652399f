// Helpers for the reporting tests: a scratch working directory per test, a
// captured screen stream, file reading and a clock the test sets by hand.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "report/units.hpp"

namespace kestro::testing {

// Makes a fresh directory the working directory for the lifetime of the
// object, so that tests running in parallel never share output files.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) != nullptr) previous_ = cwd;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/kestro-report-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) != nullptr) path_ = name.data();
    EXPECT_FALSE(path_.empty());
    EXPECT_EQ(chdir(path_.c_str()), 0);
  }
  ~ScratchDirectory() {
    if (!previous_.empty() && chdir(previous_.c_str()) != 0) ADD_FAILURE() << "chdir back";
    remove_tree(path_);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // The names in the directory, sorted.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(path_.c_str())) {
      while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
      }
      closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  static void remove_tree(const std::string& path) {
    if (path.empty()) return;
    if (DIR* d = opendir(path.c_str())) {
      while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        const std::string full = path + "/" + n;
        struct stat st {};
        if (lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
          remove_tree(full);
        else
          std::remove(full.c_str());
      }
      closedir(d);
    }
    rmdir(path.c_str());
  }

  std::string previous_, path_;
};

inline bool file_exists(const std::string& name) {
  struct stat st {};
  return stat(name.c_str(), &st) == 0;
}

inline std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void write_file(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

// The screen unit of a set of units redirected into memory.
class ScreenCapture {
 public:
  explicit ScreenCapture(report::OutputUnits& units) : units_(units) {
    stream_ = open_memstream(&buffer_, &size_);
    units_.set_screen(stream_);
  }
  ~ScreenCapture() {
    units_.set_screen(nullptr);
    std::fclose(stream_);
    std::free(buffer_);
  }
  ScreenCapture(const ScreenCapture&) = delete;
  ScreenCapture& operator=(const ScreenCapture&) = delete;

  // Everything written so far; the capture goes on.
  std::string text() {
    std::fflush(stream_);
    return std::string(buffer_, size_);
  }
  // Everything written so far; the capture starts empty again.
  std::string take() {
    const std::string all = text();
    const std::string t = all.substr(taken_);
    taken_ = all.size();
    return t;
  }

 private:
  report::OutputUnits& units_;
  std::FILE* stream_ = nullptr;
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::size_t taken_ = 0;
};

// A CPU clock the test sets.
inline double fake_seconds = 0.0;
inline double fake_clock() { return fake_seconds; }

// Lines of a text, each without its terminator.
inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// Compares texts line by line, so that a failure names the first lines that
// differ.
inline void expect_lines(const std::vector<std::string>& actual,
                         const std::vector<std::string>& expected) {
  const std::size_t common = std::min(actual.size(), expected.size());
  for (std::size_t i = 0; i < common; ++i) EXPECT_EQ(actual[i], expected[i]) << "line " << i + 1;
  EXPECT_EQ(actual.size(), expected.size()) << "number of lines";
}

inline std::string repeat(char c, int count) {
  return std::string(static_cast<std::size_t>(count), c);
}

}  // namespace kestro::testing
