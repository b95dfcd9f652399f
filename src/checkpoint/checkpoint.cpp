#include "checkpoint/checkpoint.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "checkpoint/state_fields.hpp"
#include "core/param_positions.hpp"
#include "core/workspace_layout.hpp"
#include "report/cpu_clock.hpp"
#include "report/history.hpp"
#include "report/pareto_file.hpp"
#include "report/print_controller.hpp"
#include "report/unique_file.hpp"

namespace kestro::checkpoint {
namespace {

constexpr unsigned char kMagic[8] = {'K', 'E', 'S', 'T', 'R', 'O', 'C', 'P'};
// Magic, format version, layout identity and payload length.
constexpr std::size_t kHeaderLength = 8 + 4 + 8 + 8;
constexpr std::size_t kChecksumLength = 8;
constexpr int kUnits[] = {report::kScreenUnit, report::kScreenCopyUnit, report::kSolutionUnit,
                          report::kParetoFrontUnit, report::kHistoryUnit};
constexpr int kUnitCount = 5;
// The file each unit writes; the screen has none.
constexpr const char* kUnitFiles[kUnitCount] = {nullptr, report::kScreenCopyName,
                                                report::kSolutionName, report::kParetoFrontTempName,
                                                report::kHistoryName};

// 64-bit FNV-1a.
class Fnv {
 public:
  void add(const unsigned char* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
      hash_ ^= data[i];
      hash_ *= 0x100000001b3ULL;
    }
  }
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

template <class T>
constexpr bool kScalar = std::is_arithmetic_v<T>;

// Appends every field in the machine's byte order (the layout identity
// carries that order, so a file never meets a machine that reads it
// otherwise).
class Writer {
 public:
  std::vector<unsigned char> bytes;

  template <class T>
  requires kScalar<T>
  void operator()(const T& value) {
    if constexpr (std::is_same_v<T, bool>) {
      bytes.push_back(value ? 1 : 0);
    } else {
      const auto* p = reinterpret_cast<const unsigned char*>(&value);
      bytes.insert(bytes.end(), p, p + sizeof value);
    }
  }
  template <class T, std::size_t N>
  void operator()(const T (&values)[N]) {
    for (const T& v : values) (*this)(v);
  }
  void operator()(const std::vector<double>& values) {
    (*this)(static_cast<std::uint64_t>(values.size()));
    for (double v : values) (*this)(v);
  }
  template <class T>
  void array(View1<T> view) {
    for (Index i = 1; i <= view.size(); ++i) (*this)(view[i]);
  }
};

// Reads the fields back; a read past the end or a value no writer gives
// marks the content as inconsistent, and later reads do nothing.
class Reader {
 public:
  Reader(const unsigned char* data, std::size_t length) : data_(data), length_(length) {}
  bool failed = false;

  template <class T>
  requires kScalar<T>
  void operator()(T& value) {
    if constexpr (std::is_same_v<T, bool>) {
      unsigned char b = 0;
      (*this)(b);
      if (b > 1) failed = true;
      value = b == 1;
    } else {
      if (failed || length_ - position_ < sizeof value) {
        failed = true;
        return;
      }
      std::memcpy(&value, data_ + position_, sizeof value);
      position_ += sizeof value;
    }
  }
  template <class T, std::size_t N>
  void operator()(T (&values)[N]) {
    for (T& v : values) (*this)(v);
  }
  void operator()(std::vector<double>& values) {
    std::uint64_t count = 0;
    (*this)(count);
    if (failed || count > (length_ - position_) / sizeof(double)) {
      failed = true;
      return;
    }
    values.assign(static_cast<std::size_t>(count), 0.0);
    for (double& v : values) (*this)(v);
  }
  // `count` values into a fresh buffer.
  template <class T>
  void array(std::vector<T>& values, Index count) {
    if (failed || count < 0 ||
        static_cast<std::uint64_t>(count) > (length_ - position_) / sizeof(T)) {
      failed = true;
      return;
    }
    values.assign(static_cast<std::size_t>(count), T{});
    for (T& v : values) (*this)(v);
  }
  bool at_end() const { return position_ == length_; }

 private:
  const unsigned char* data_;
  std::size_t length_;
  std::size_t position_ = 0;
};

// Hashes the list of fields (their sizes and kinds, in order), so that a
// build that keeps other state, or stores numbers otherwise, has another
// identity.
class LayoutHasher {
 public:
  Fnv fnv;

  template <class T>
  requires kScalar<T>
  void operator()(const T&) {
    const unsigned char tag[3] = {static_cast<unsigned char>(sizeof(T)),
                                  static_cast<unsigned char>(std::is_floating_point_v<T>),
                                  static_cast<unsigned char>(std::is_signed_v<T>)};
    fnv.add(tag, sizeof tag);
  }
  template <class T, std::size_t N>
  void operator()(const T (&values)[N]) {
    const std::uint64_t count = N;
    fnv.add(reinterpret_cast<const unsigned char*>(&count), sizeof count);
    (*this)(values[0]);
  }
  void operator()(const std::vector<double>&) {
    const unsigned char tag[1] = {'V'};
    fnv.add(tag, sizeof tag);
  }
};

std::uint64_t layout_identity() {
  LayoutHasher h;
  const double probe = 1.0 / 3.0;  // byte order and format of the reals
  const std::uint32_t order = 0x01020304;
  h.fnv.add(reinterpret_cast<const unsigned char*>(&probe), sizeof probe);
  h.fnv.add(reinterpret_cast<const unsigned char*>(&order), sizeof order);
  SolverState solver;
  report::ControllerState controller;
  report::HistoryState history;
  report::OutputUnits::Snapshot unit;
  fields(h, solver);
  fields(h, controller);
  fields(h, history);
  fields(h, unit);
  return h.fnv.value();
}

Index length_of(std::int32_t declared) { return declared > 0 ? declared : 0; }

// The caller's part of the payload, as read from a file.
struct CallerCopy {
  RunSizes sizes;
  std::int32_t lextra = 0, iflag = 0, istop = 0;
  std::vector<double> x, f, g, xl, xu, param, rw, pf, extra;
  std::vector<std::int32_t> iw;
};

// The library's part of the payload, as read from a file.
struct StateCopy {
  SolverState solver;
  double elapsed = 0.0;
  report::ControllerState controller;
  report::HistoryState history;
  report::OutputUnits::Snapshot units[kUnitCount];
};

template <class A>
void caller_sizes(A& a, RunSizes& sizes, std::int32_t& lextra) {
  fields(a, sizes);
  a(lextra);
}

bool write_all(int fd, const unsigned char* data, std::size_t length) {
  while (length > 0) {
    const ssize_t written = ::write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

// Writes the bytes to a new file path.tmp.XXXXXX (created exclusively, never
// through a symbolic link), flushes them to the disk and renames the file
// over `path`; on failure the temporary file is removed and `path` is
// untouched.
bool write_atomically(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::string temporary;
  const int fd = report::create_unique_file(path + ".tmp", &temporary);
  if (fd < 0) return false;
  bool ok = write_all(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    std::remove(temporary.c_str());
    return false;
  }
  // Make the rename itself durable; a directory that cannot be opened only
  // loses that guarantee.
  const std::size_t slash = path.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int dir = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    if (::fsync(dir) != 0) {
      // Nothing more can be done: the file itself is complete.
    }
    ::close(dir);
  }
  return true;
}

// Appends up to `wanted` more bytes of the file to `bytes`, fewer at its
// end; false on a read error.
bool read_more(std::FILE* file, std::vector<unsigned char>& bytes, std::uint64_t wanted) {
  unsigned char chunk[65536];
  while (wanted > 0) {
    const std::size_t ask = wanted < sizeof chunk ? static_cast<std::size_t>(wanted) : sizeof chunk;
    const std::size_t got = std::fread(chunk, 1, ask, file);
    bytes.insert(bytes.end(), chunk, chunk + got);
    wanted -= got;
    if (got < ask) break;
  }
  return !std::ferror(file);
}

// Reads the header and then only as much as the header announces (and one
// byte more, to see whether the file goes on), so that a large file that is
// no checkpoint, or a device without end, is never read in full. Answers
// kOk or the reason for refusing the file; `bytes` then holds the header,
// the content and the checksum.
Status read_file(const char* path, std::vector<unsigned char>& bytes) {
  std::FILE* file = std::fopen(path, "rbe");
  if (file == nullptr) return kCannotOpen;
  Status status = kOk;
  try {
    if (!read_more(file, bytes, kHeaderLength)) {
      status = kCannotOpen;
    } else {
      const std::size_t magic_seen = bytes.size() < sizeof kMagic ? bytes.size() : sizeof kMagic;
      if (bytes.empty() || std::memcmp(bytes.data(), kMagic, magic_seen) != 0) {
        status = kNotACheckpoint;
      } else if (bytes.size() < kHeaderLength) {
        status = kTruncated;
      } else {
        Reader header(bytes.data() + sizeof kMagic, kHeaderLength - sizeof kMagic);
        std::int32_t version = 0;
        std::uint64_t layout = 0, payload_length = 0;
        header(version), header(layout), header(payload_length);
        if (version != kFormatVersion) {
          status = kOtherVersion;
        } else if (layout != layout_identity()) {
          status = kOtherLayout;
        } else {
          // A length beyond the file only reads what is there.
          const std::uint64_t rest = payload_length > UINT64_MAX - kChecksumLength - 1
                                         ? UINT64_MAX
                                         : payload_length + kChecksumLength + 1;
          if (!read_more(file, bytes, rest)) status = kCannotOpen;
        }
      }
    }
  } catch (const std::bad_alloc&) {
    status = kNoMemory;
  } catch (const std::length_error&) {
    status = kNoMemory;
  }
  std::fclose(file);
  return status;
}

// The positions the library derives from the sizes must be the ones a run
// of those sizes has: no saved number may point outside the workspaces.
bool positions_agree(const SolverState& s, const RunSizes& sizes) {
  const InterfaceState& i = s.interface;
  if (i.run_started) {
    if (!(i.sizes == sizes)) return false;
    const RegionStarts r = RegionStarts::for_sizes(sizes.l, sizes.o, sizes.n, sizes.m);
    const Index a[] = {r.pen_base,   r.res_base,  r.gblock_base, r.fblock_base, r.objlo_base,
                       r.objhi_base, r.step_base, r.dist_base,   r.dist2_base};
    const Index b[] = {i.regions.pen_base,    i.regions.res_base,   i.regions.gblock_base,
                       i.regions.fblock_base, i.regions.objlo_base, i.regions.objhi_base,
                       i.regions.step_base,   i.regions.dist_base,  i.regions.dist2_base};
    if (std::memcmp(a, b, sizeof a) != 0) return false;
  }
  const kernel::KernelState& k = s.kernel;
  if (k.kernel_ready == 1) {
    const RunSizes& v = k.validated_sizes;
    if (k.best_base != best_base_for(v.l, v.o, v.n, v.m)) return false;
    if (k.iw_kernel_len != iw_kernel_length(v.l, v.n)) return false;
  }
  // The front's three blocks of front_capacity entries must lie in PF.
  const multiobjective::DriverState& d = s.multiobjective.driver;
  if (d.initialised) {
    const multiobjective::LayerShape shape{sizes.l, sizes.o, sizes.n, sizes.m, sizes.me};
    if (!(d.shape == shape) || d.front_capacity < 0) return false;
    const Wide entry = Wide(sizes.o) + sizes.m + (sizes.n > 0 ? sizes.n : 0);
    if (1 + Wide(d.front_capacity) * entry > Wide(sizes.lpf)) return false;
  }
  return true;
}

// A unit reopened on loading may only name the file that unit writes: a
// file of the caller's would otherwise be cut back and written over.
bool units_agree(const report::OutputUnits::Snapshot (&units)[kUnitCount]) {
  for (int u = 0; u < kUnitCount; ++u) {
    const report::OutputUnits::Snapshot& s = units[u];
    if (!s.open) continue;
    if (kUnitFiles[u] == nullptr || s.length < 0) return false;
    if (std::memchr(s.file_name, '\0', sizeof s.file_name) == nullptr ||
        std::strcmp(s.file_name, kUnitFiles[u]) != 0)
      return false;
  }
  return true;
}

}  // namespace

bool CallerRun::from_arguments(const int* l, const int* o, const int* n, const int* ni,
                               const int* m, const int* me, double* x, double* f, double* g,
                               double* xl, double* xu, int* iflag, int* istop, double* param,
                               double* rw, const int* lrw, int* iw, const int* liw, double* pf,
                               const int* lpf, double* extra, const int* lextra, CallerRun& run) {
  const int* sizes[] = {l, o, n, ni, m, me, lrw, liw, lpf, lextra};
  for (const int* s : sizes)
    if (s == nullptr) return false;
  if (iflag == nullptr || istop == nullptr || param == nullptr) return false;
  run.sizes = RunSizes{*l, *o, *n, *ni, *m, *me, *lrw, *liw, *lpf};
  run.lextra = *lextra;
  const Index variables = length_of(*n);
  run.x = RealView(x, block_length(*l, *n));
  run.f = RealView(f, block_length(*l, *o));
  run.g = RealView(g, block_length(*l, *m));
  run.xl = RealView(xl, variables);
  run.xu = RealView(xu, variables);
  run.param = RealView(param, param::kCount);
  run.rw = RealView(rw, length_of(*lrw));
  run.iw = IntView(iw, length_of(*liw));
  run.pf = RealView(pf, length_of(*lpf));
  run.extra = RealView(extra, length_of(*lextra));
  run.iflag = iflag;
  run.istop = istop;
  // A view drops a missing array to length zero: the declared length tells.
  return run.x.size() == block_length(*l, *n) && run.f.size() == block_length(*l, *o) &&
         run.g.size() == block_length(*l, *m) && run.xl.size() == variables &&
         run.xu.size() == variables && run.rw.size() == length_of(*lrw) &&
         run.iw.size() == length_of(*liw) && run.pf.size() == length_of(*lpf) &&
         run.extra.size() == length_of(*lextra);
}

Status save(Context& context, const char* path, const CallerRun& run) {
  if (path == nullptr || path[0] == '\0' || run.iflag == nullptr || run.istop == nullptr)
    return kBadArguments;
  const InterfaceState& interface = context.solver.interface;
  if (interface.run_started && !(interface.sizes == run.sizes)) return kOtherRun;
  try {
    Writer w;
    RunSizes sizes = run.sizes;
    std::int32_t lextra = run.lextra, iflag = *run.iflag, istop = *run.istop;
    caller_sizes(w, sizes, lextra);
    w(iflag), w(istop);
    w.array(run.x), w.array(run.f), w.array(run.g), w.array(run.xl), w.array(run.xu);
    w.array(run.param), w.array(run.rw), w.array(run.iw), w.array(run.pf), w.array(run.extra);

    fields(w, context.solver);
    report::ReportState& r = context.report;
    // TIME as it stands now; loading starts the clock again from it.
    const double elapsed = report::report_time(r.clock, r.controller.l > 0 ? r.controller.l : 1,
                                               r.controller.timediv) -
                           r.controller.t_start;
    w(elapsed);
    fields(w, r.controller);
    fields(w, r.history);
    for (int unit : kUnits) {
      report::OutputUnits::Snapshot s = r.units.snapshot(unit);
      fields(w, s);
    }

    std::vector<unsigned char> file(kMagic, kMagic + sizeof kMagic);
    Writer h;
    h(kFormatVersion);
    h(layout_identity());
    h(static_cast<std::uint64_t>(w.bytes.size()));
    file.insert(file.end(), h.bytes.begin(), h.bytes.end());
    file.insert(file.end(), w.bytes.begin(), w.bytes.end());
    Fnv checksum;
    checksum.add(file.data(), file.size());
    Writer t;
    t(checksum.value());
    file.insert(file.end(), t.bytes.begin(), t.bytes.end());
    return write_atomically(path, file) ? kOk : kWriteFailed;
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

Status load(Context& context, const char* path, CallerRun& run) {
  if (path == nullptr || path[0] == '\0' || run.iflag == nullptr || run.istop == nullptr)
    return kBadArguments;
  std::vector<unsigned char> bytes;
  if (Status s = read_file(path, bytes); s != kOk) return s;

  // The header, judged already but for the length of what follows it.
  std::uint64_t payload_length = 0;
  std::memcpy(&payload_length, bytes.data() + kHeaderLength - sizeof payload_length,
              sizeof payload_length);
  const std::size_t available = bytes.size() - kHeaderLength;
  if (available < kChecksumLength || payload_length > available - kChecksumLength)
    return kTruncated;
  if (payload_length != available - kChecksumLength) return kCorrupted;  // bytes after the end
  Fnv checksum;
  checksum.add(bytes.data(), kHeaderLength + payload_length);
  std::uint64_t stored = 0;
  std::memcpy(&stored, bytes.data() + kHeaderLength + payload_length, sizeof stored);
  if (stored != checksum.value()) return kCorrupted;

  // The payload, into buffers of its own.
  try {
    Reader r(bytes.data() + kHeaderLength, payload_length);
    CallerCopy c;
    caller_sizes(r, c.sizes, c.lextra);
    if (r.failed) return kInconsistent;
    if (!(c.sizes == run.sizes) || c.lextra != run.lextra) return kOtherSizes;
    r(c.iflag), r(c.istop);
    r.array(c.x, run.x.size()), r.array(c.f, run.f.size()), r.array(c.g, run.g.size());
    r.array(c.xl, run.xl.size()), r.array(c.xu, run.xu.size());
    r.array(c.param, run.param.size()), r.array(c.rw, run.rw.size());
    r.array(c.iw, run.iw.size()), r.array(c.pf, run.pf.size());
    r.array(c.extra, run.extra.size());

    auto state = std::make_unique<StateCopy>();
    fields(r, state->solver);
    r(state->elapsed);
    fields(r, state->controller);
    fields(r, state->history);
    for (report::OutputUnits::Snapshot& s : state->units) fields(r, s);
    if (r.failed || !r.at_end()) return kInconsistent;
    if (!positions_agree(state->solver, c.sizes) || !units_agree(state->units))
      return kInconsistent;

    // Everything is sound: from here on nothing can fail.
    auto copy = [](auto view, const auto& values) {
      for (Index i = 1; i <= view.size(); ++i) view[i] = values[static_cast<std::size_t>(i - 1)];
    };
    copy(run.x, c.x), copy(run.f, c.f), copy(run.g, c.g), copy(run.xl, c.xl);
    copy(run.xu, c.xu), copy(run.param, c.param), copy(run.rw, c.rw), copy(run.iw, c.iw);
    copy(run.pf, c.pf), copy(run.extra, c.extra);
    *run.iflag = c.iflag;
    *run.istop = c.istop;

    context.solver = state->solver;
    report::ReportState& report = context.report;
    report.controller = std::move(state->controller);
    report.controller.t_start =
        report::report_time(report.clock, report.controller.l > 0 ? report.controller.l : 1,
                            report.controller.timediv) -
        state->elapsed;
    report.clock_gate = report::ClockGate{};  // the next budget check reads the clock
    report.history = std::move(state->history);
    for (int u = 0; u < kUnitCount; ++u) report.units.restore(kUnits[u], state->units[u]);
    return kOk;
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

const char* status_text(std::int32_t status) {
  switch (status) {
    case kOk: return "the checkpoint was saved or loaded";
    case kBadArguments:
      return "no file name was given, or an array is missing for a positive length";
    case kOtherRun: return "the sizes given are not those of the run in progress";
    case kWriteFailed:
      return "the checkpoint file could not be written (directory missing or not writable, or disk "
             "full)";
    case kCannotOpen: return "the checkpoint file could not be opened or read";
    case kNotACheckpoint: return "the file is not a checkpoint";
    case kOtherVersion: return "the checkpoint was written in another format version";
    case kOtherLayout:
      return "the checkpoint was written by a build of the library that keeps other state";
    case kTruncated: return "the checkpoint file is truncated";
    case kCorrupted: return "the checkpoint file is corrupted (its checksum does not match)";
    case kOtherSizes:
      return "the checkpoint was saved for other problem sizes or workspace lengths";
    case kInconsistent:
      return "the checkpoint's content contradicts its own sizes or names a file that is no report "
             "file of the library";
    case kNoMemory: return "not enough memory to read the checkpoint";
    default: return "unknown checkpoint status";
  }
}

}  // namespace kestro::checkpoint
