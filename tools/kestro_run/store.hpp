// kestro-run's evaluation store: every evaluation of a run in an SQLite
// database that any tool can read, and the cache of evaluated points.
//
// The schema (version 1; docs/store.md describes it for users):
//
//   kestro_store(name, version)   one row: 'kestro evaluation store', 1
//   runs(id, front_end, problem, problem_digest, options, seed, variables,
//        integers, objectives, constraints, equalities, block_size, started,
//        resumed, ended, iflag, message, evaluations, failed_evaluations,
//        cache_hits, x, f, g, feasible)
//   evaluations(id, run_id, problem_digest, evaluation, block, position, x,
//        f, g, status, reason, seconds, cached)
//
// Points and values are JSON arrays of numbers written with 17 significant
// digits (exact for every double); NaN is null, infinities are 1e999 and
// -1e999. Each block is written in one transaction, in WAL mode, so that a
// crash loses at most the block in flight and a reader never blocks the run.
// The Python package writes the same schema (python/kestro/store.py).
#ifndef KESTRO_RUN_STORE_HPP
#define KESTRO_RUN_STORE_HPP

#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "blackbox.hpp"
#include "kestro.hpp"

struct sqlite3;
struct sqlite3_stmt;

namespace kestro_run {

// A store that cannot be used: the message says why.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The version of the schema this program writes; files of a newer version
// are refused.
constexpr int kStoreSchemaVersion = 1;

// What identifies a run's problem and how it was run.
struct RunDescription {
  std::string front_end = "kestro-run";
  std::string problem;  // JSON: command, directory, bounds, kinds, counts
  std::string options;  // JSON: the library's options
  double seed = 0;
  int variables = 0, integers = 0, objectives = 1, constraints = 0, equalities = 0;
  int block_size = 0;
};

// The description of a kestro-run problem: its command and the directory it
// runs in, its bounds, variable kinds, objectives and constraints. Two
// problem files with equal descriptions share cached evaluations.
std::string describe_problem(const std::vector<std::string>& command, const std::string& directory,
                             const kestro::Problem& problem);
std::string describe_options(const kestro::Options& options);

// SHA-256 of `text` in hexadecimal.
std::string sha256_hex(const std::string& text);

// JSON text of an array of doubles, and back (false when it is not one of
// `count` numbers).
std::string json_array(std::span<const double> values);
bool parse_json_array(const std::string& text, std::span<double> out);

class Store {
 public:
  // Opens the store at `path`, creating it when the file is missing or
  // empty. Throws StoreError when it cannot be opened, is not a Kestro store
  // or has a newer schema.
  explicit Store(const std::string& path);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  const std::string& path() const { return path_; }

  // Starts the record of a run. A run resumed at `resumed_at` evaluations
  // (0: a new run) continues the latest unfinished run of the same problem,
  // seed and block size, and forgets its evaluations beyond that count,
  // which the resumed run makes again. Throws StoreError.
  void begin_run(const RunDescription& run, long long resumed_at);

  // The cache: for each of the l points of x (n values each) evaluated
  // before for the same problem, its values are put into f and g and hit[i]
  // is set, and its outcome (the stored status and reason, no time) put
  // into outcomes[i]. Failed evaluations count only with `failures`. Returns
  // the number of hits; an error reading the store is logged and gives none.
  int lookup(std::span<const double> x, std::span<double> f, std::span<double> g,
             std::span<unsigned char> hit, std::span<Outcome> outcomes, bool failures);

  // Writes the l points of a block, the values the library receives and
  // their outcomes, in one transaction. `evaluations_before` is the library's
  // count before the block. A failure is logged on the standard error stream
  // and the run goes on; the blocks written before stay valid.
  void write_block(long long evaluations_before, std::span<const double> x,
                   std::span<const double> f, std::span<const double> g,
                   std::span<const Outcome> outcomes, std::span<const unsigned char> hit);

  // Records the end of the run.
  void end_run(const kestro::Result& result, long long cache_hits);

  // Blocks that could not be written.
  long long failed_blocks() const { return failed_blocks_; }

 private:
  void exec(const char* sql);
  sqlite3_stmt* prepare(const char* sql);
  void report(const std::string& what);

  std::string path_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* find_ = nullptr;
  long long run_id_ = 0;
  std::string digest_;
  int n_ = 0, o_ = 0, m_ = 0, l_ = 0;
  long long failed_blocks_ = 0;
};

}  // namespace kestro_run

#endif
