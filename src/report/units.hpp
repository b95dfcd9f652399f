// The numbered output units of the reports: 0 is the screen (the standard
// error stream), 36 to 39 are files, in the current working directory unless
// the units are given another directory and a prefix for the names.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

#include "report/record_writer.hpp"

namespace kestro::report {

inline constexpr int kScreenUnit = 0;
inline constexpr int kScreenCopyUnit = 36;   // KESTRO_SCREEN.TXT
inline constexpr int kSolutionUnit = 37;     // KESTRO_SOLUTION.TXT
inline constexpr int kParetoFrontUnit = 38;  // KESTRO_PARETOFRONT.tmp.XXXXXX
inline constexpr int kHistoryUnit = 39;      // KESTRO_HISTORY.TXT

// The longest path of a report file, directory and prefix included.
inline constexpr std::size_t kMaxReportPath = 4096;

// The five units with their connection state and pending-record flags.
//
// A file unit is opened with status UNKNOWN: the file is created when it is
// missing and is not cleared at open; the first record written to it
// discards its old content (sequential writing from the beginning). Opening
// a unit that is open closes it first. A statement for a file unit that is
// not open is dropped, and so is one for a unit number that is none of the
// five. Nothing here reports or reacts to an input/output failure: a file
// that cannot be created leaves its unit closed, a failed write is lost. A
// file name that is a symbolic link is never followed: the unit stays
// closed, as for any file that cannot be written.
class OutputUnits {
 public:
  OutputUnits() = default;
  ~OutputUnits();
  OutputUnits(const OutputUnits&) = delete;
  OutputUnits& operator=(const OutputUnits&) = delete;

  // The stream behind unit 0; null selects the standard error stream.
  void set_screen(std::FILE* stream);

  void open(int unit, const char* file_name);
  // Opens the unit on a new file `prefix`.XXXXXX, created exclusively (see
  // create_unique_file), and sets `file_name` to its name; empty when no
  // file could be made.
  void open_unique(int unit, const char* prefix, std::string* file_name);
  void write(int unit, std::string_view format, std::initializer_list<FieldValue> values = {});
  void flush(int unit);
  // Ends a pending record and disconnects the unit; with `delete_file` the
  // file is removed afterwards. Unit 0 is never closed.
  void close(int unit, bool delete_file = false);
  bool is_open(int unit) const;

  // Renames a file of the units' directory, replacing an existing file of the
  // new name; false when it failed (nothing else is done about it).
  bool rename_file(const char* from, const char* to) const;
  // Removes a file of the units' directory; a failure is ignored.
  void remove_file(const char* file_name) const;

  // True while a file unit is connected.
  bool any_file_open() const;

  // Where the files are made: DIRECTORY ("" for the current one) and a
  // PREFIX put before each name. False, and nothing changes, when a path
  // would be longer than kMaxReportPath. Throws std::bad_alloc.
  bool set_location(std::string_view directory, std::string_view prefix);

  // What a saved run needs to know of a unit to carry on writing to it.
  struct Snapshot {
    bool open = false;
    bool pending = false;
    bool clear_before_write = false;
    char file_name[32] = {};
    // Bytes written to the file so far (after a flush).
    std::int64_t length = 0;
  };

  // The state of a unit, with its stream flushed so that `length` is final.
  Snapshot snapshot(int unit);

  // Reconnects a unit as described: an open file unit is opened again, cut
  // back to the saved length when it has grown since and written on at its
  // end; a file that cannot be opened leaves the unit closed.
  void restore(int unit, const Snapshot& snapshot);

 private:
  struct Unit {
    std::FILE* stream = nullptr;
    bool pending = false;             // a record was left open by a final $
    bool clear_before_write = false;  // nothing written since the open
    char file_name[32] = {};
  };

  // The unit behind a number, or null for a number that is none of the five.
  Unit* find(int unit);
  const Unit* find(int unit) const;
  std::FILE* screen_stream() const;
  // Connects a file unit to the open descriptor (closed on failure).
  void attach(Unit* u, int fd, const char* file_name);
  // The path of a file name in the units' directory, in `path`; false when
  // it does not fit.
  bool path_of(const char* file_name, char (&path)[kMaxReportPath]) const;

  Unit screen_;
  Unit files_[4];
  std::FILE* screen_override_ = nullptr;
  std::string directory_;  // empty: the current directory
  std::string prefix_;
};

}  // namespace kestro::report
