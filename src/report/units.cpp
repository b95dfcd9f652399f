#include "report/units.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "report/unique_file.hpp"

namespace kestro::report {
namespace {

// Appends the pieces of a statement to a unit's stream; before the first
// piece written after an open the file is cut to zero length.
class StreamSink final : public RecordSink {
 public:
  StreamSink(std::FILE* stream, bool& clear_before_write)
      : stream_(stream), clear_before_write_(clear_before_write) {}

  void append(std::string_view text) override {
    prepare();
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stream_);
  }
  void end_record() override {
    prepare();
    std::fputc('\n', stream_);
  }

 private:
  void prepare() {
    if (!clear_before_write_) return;
    clear_before_write_ = false;
    std::fflush(stream_);
    if (ftruncate(fileno(stream_), 0) != 0) {
      // Nothing to do: the old content stays behind what is written.
    }
    std::rewind(stream_);
  }

  std::FILE* stream_;
  bool& clear_before_write_;
};

}  // namespace

OutputUnits::~OutputUnits() {
  for (int unit = kScreenCopyUnit; unit <= kHistoryUnit; ++unit) close(unit);
}

void OutputUnits::set_screen(std::FILE* stream) {
  screen_override_ = stream;
  screen_.pending = false;
}

std::FILE* OutputUnits::screen_stream() const {
  return screen_override_ != nullptr ? screen_override_ : stderr;
}

OutputUnits::Unit* OutputUnits::find(int unit) {
  if (unit == kScreenUnit) return &screen_;
  if (unit >= kScreenCopyUnit && unit <= kHistoryUnit) return &files_[unit - kScreenCopyUnit];
  return nullptr;
}

const OutputUnits::Unit* OutputUnits::find(int unit) const {
  return const_cast<OutputUnits*>(this)->find(unit);
}

bool OutputUnits::path_of(const char* file_name, char (&path)[kMaxReportPath]) const {
  const std::size_t name = std::strlen(file_name);
  const std::size_t separator = directory_.empty() ? 0 : 1;
  if (directory_.size() + separator + prefix_.size() + name >= kMaxReportPath) return false;
  char* end = path;
  end = std::copy(directory_.begin(), directory_.end(), end);
  if (separator != 0) *end++ = '/';
  end = std::copy(prefix_.begin(), prefix_.end(), end);
  end = std::copy(file_name, file_name + name, end);
  *end = '\0';
  return true;
}

bool OutputUnits::set_location(std::string_view directory, std::string_view prefix) {
  // The longest name of a report file: the front's temporary file.
  constexpr std::size_t kLongestName = sizeof "KESTRO_PARETOFRONT.tmp.XXXXXX" - 1;
  if (directory.size() + 1 + prefix.size() + kLongestName >= kMaxReportPath) return false;
  std::string new_directory(directory), new_prefix(prefix);
  directory_.swap(new_directory);
  prefix_.swap(new_prefix);
  return true;
}

bool OutputUnits::any_file_open() const {
  for (const Unit& u : files_)
    if (u.stream != nullptr) return true;
  return false;
}

bool OutputUnits::is_open(int unit) const {
  if (unit == kScreenUnit) return true;
  const Unit* u = find(unit);
  return u != nullptr && u->stream != nullptr;
}

void OutputUnits::open(int unit, const char* file_name) {
  if (unit == kScreenUnit || file_name == nullptr) return;
  Unit* u = find(unit);
  if (u == nullptr) return;
  close(unit);
  if (std::strlen(file_name) >= sizeof u->file_name) return;
  char path[kMaxReportPath];
  if (!path_of(file_name, path)) return;
  // Create when missing, keep the content otherwise, start at the beginning;
  // a symbolic link is refused like a file that cannot be written.
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return;
  attach(u, fd, file_name);
}

void OutputUnits::open_unique(int unit, const char* prefix, std::string* file_name) {
  file_name->clear();
  if (unit == kScreenUnit || prefix == nullptr) return;
  Unit* u = find(unit);
  if (u == nullptr) return;
  close(unit);
  const std::size_t length = std::strlen(prefix);
  if (length + 8 > sizeof u->file_name) return;
  char path[kMaxReportPath];
  if (!path_of(prefix, path)) return;
  // The unit keeps the name in the units' directory, without directory and
  // prefix, as for the other files.
  const std::size_t before = std::strlen(path) - length;
  std::string created;
  const int fd = create_unique_file(path, &created);
  if (fd < 0) return;
  const std::string name = created.substr(before);
  attach(u, fd, name.c_str());
  if (u->stream == nullptr) {
    std::remove(created.c_str());
    return;
  }
  *file_name = name;
}

void OutputUnits::attach(Unit* u, int fd, const char* file_name) {
  std::FILE* stream = fdopen(fd, "w");
  if (stream == nullptr) {
    ::close(fd);
    return;
  }
  u->stream = stream;
  u->pending = false;
  u->clear_before_write = true;
  std::strcpy(u->file_name, file_name);
}

void OutputUnits::write(int unit, std::string_view format,
                        std::initializer_list<FieldValue> values) {
  Unit* u = find(unit);
  if (u == nullptr) return;
  std::FILE* stream = unit == kScreenUnit ? screen_stream() : u->stream;
  if (stream == nullptr) return;
  StreamSink sink(stream, u->clear_before_write);
  u->pending =
      write_statement(sink, format, std::span<const FieldValue>(values.begin(), values.size()));
}

void OutputUnits::flush(int unit) {
  Unit* u = find(unit);
  if (u == nullptr) return;
  std::FILE* stream = unit == kScreenUnit ? screen_stream() : u->stream;
  if (stream != nullptr) std::fflush(stream);
}

void OutputUnits::close(int unit, bool delete_file) {
  if (unit == kScreenUnit) return;
  Unit* u = find(unit);
  if (u == nullptr || u->stream == nullptr) return;
  if (u->pending) {
    StreamSink sink(u->stream, u->clear_before_write);
    sink.end_record();
  }
  std::fclose(u->stream);
  u->stream = nullptr;
  u->pending = false;
  u->clear_before_write = false;
  char path[kMaxReportPath];
  if (delete_file && path_of(u->file_name, path)) std::remove(path);
  u->file_name[0] = '\0';
}

OutputUnits::Snapshot OutputUnits::snapshot(int unit) {
  Snapshot s;
  Unit* u = find(unit);
  if (u == nullptr) return s;
  s.pending = u->pending;
  if (unit == kScreenUnit || u->stream == nullptr) return s;
  std::fflush(u->stream);
  s.open = true;
  s.clear_before_write = u->clear_before_write;
  std::memcpy(s.file_name, u->file_name, sizeof s.file_name);
  const long position = std::ftell(u->stream);
  s.length = position > 0 ? position : 0;
  return s;
}

void OutputUnits::restore(int unit, const Snapshot& snapshot) {
  Unit* u = find(unit);
  if (u == nullptr) return;
  if (unit == kScreenUnit) {
    u->pending = snapshot.pending;
    return;
  }
  close(unit);
  if (!snapshot.open) return;
  char name[sizeof u->file_name] = {};
  std::memcpy(name, snapshot.file_name, sizeof name - 1);
  if (name[0] == '\0') return;
  char path[kMaxReportPath];
  if (!path_of(name, path)) return;
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return;
  // What was written after the save belongs to a run that did not go on.
  struct stat info {};
  if (fstat(fd, &info) == 0 && info.st_size > snapshot.length &&
      ftruncate(fd, static_cast<off_t>(snapshot.length)) != 0) {
    // Nothing to do: the later lines stay in the file.
  }
  std::FILE* stream = fdopen(fd, "w");
  if (stream == nullptr) {
    ::close(fd);
    return;
  }
  std::fseek(stream, 0, SEEK_END);
  u->stream = stream;
  u->pending = snapshot.pending;
  u->clear_before_write = snapshot.clear_before_write;
  std::strcpy(u->file_name, name);
}

bool OutputUnits::rename_file(const char* from, const char* to) const {
  char from_path[kMaxReportPath], to_path[kMaxReportPath];
  if (!path_of(from, from_path) || !path_of(to, to_path)) return false;
  // On failure the previous file of the new name stays in place.
  return std::rename(from_path, to_path) == 0;
}

void OutputUnits::remove_file(const char* file_name) const {
  char path[kMaxReportPath];
  if (path_of(file_name, path)) std::remove(path);
}

}  // namespace kestro::report
