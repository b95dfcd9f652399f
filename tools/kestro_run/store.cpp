#include "store.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <limits>

#include <sqlite3.h>
#include <sys/stat.h>

namespace kestro_run {

namespace {

const char* const kStoreName = "kestro evaluation store";

const char* const kSchema = R"sql(
CREATE TABLE kestro_store (
  name TEXT NOT NULL,
  version INTEGER NOT NULL
);
CREATE TABLE runs (
  id INTEGER PRIMARY KEY,
  front_end TEXT NOT NULL,
  problem TEXT NOT NULL,
  problem_digest TEXT NOT NULL,
  options TEXT NOT NULL,
  seed REAL NOT NULL,
  variables INTEGER NOT NULL,
  integers INTEGER NOT NULL,
  objectives INTEGER NOT NULL,
  constraints INTEGER NOT NULL,
  equalities INTEGER NOT NULL,
  block_size INTEGER NOT NULL,
  started TEXT NOT NULL,
  resumed TEXT,
  ended TEXT,
  iflag INTEGER,
  message TEXT,
  evaluations INTEGER,
  failed_evaluations INTEGER,
  cache_hits INTEGER,
  x TEXT,
  f TEXT,
  g TEXT,
  feasible INTEGER
);
CREATE TABLE evaluations (
  id INTEGER PRIMARY KEY,
  run_id INTEGER NOT NULL REFERENCES runs (id),
  problem_digest TEXT NOT NULL,
  evaluation INTEGER NOT NULL,
  block INTEGER NOT NULL,
  position INTEGER NOT NULL,
  x TEXT NOT NULL,
  f TEXT NOT NULL,
  g TEXT NOT NULL,
  status TEXT NOT NULL CHECK (status IN ('ok', 'failed')),
  reason TEXT,
  seconds REAL,
  cached INTEGER NOT NULL DEFAULT 0,
  UNIQUE (run_id, evaluation)
);
CREATE INDEX evaluations_by_point ON evaluations (problem_digest, x);
)sql";

std::string now_utc() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

std::string number(double v) {
  if (std::isnan(v)) return "null";
  if (std::isinf(v)) return v > 0 ? "1e999" : "-1e999";
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// SHA-256 (FIPS 180-4).
constexpr std::array<std::uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t rotr(std::uint32_t v, int k) { return (v >> k) | (v << (32 - k)); }

}  // namespace

std::string sha256_hex(const std::string& text) {
  std::array<std::uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::string data = text;
  const std::uint64_t bits = std::uint64_t(text.size()) * 8;
  data += char(0x80);
  while (data.size() % 64 != 56) data += char(0);
  for (int k = 7; k >= 0; --k) data += char((bits >> (8 * k)) & 0xff);
  for (std::size_t chunk = 0; chunk < data.size(); chunk += 64) {
    std::array<std::uint32_t, 64> w{};
    for (int i = 0; i < 16; ++i)
      for (int b = 0; b < 4; ++b)
        w[i] = (w[i] << 8) | static_cast<unsigned char>(data[chunk + 4 * i + b]);
    for (int i = 16; i < 64; ++i) {
      const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::array<std::uint32_t, 8> v = h;
    for (int i = 0; i < 64; ++i) {
      const std::uint32_t s1 = rotr(v[4], 6) ^ rotr(v[4], 11) ^ rotr(v[4], 25);
      const std::uint32_t ch = (v[4] & v[5]) ^ (~v[4] & v[6]);
      const std::uint32_t t1 = v[7] + s1 + ch + kRound[i] + w[i];
      const std::uint32_t s0 = rotr(v[0], 2) ^ rotr(v[0], 13) ^ rotr(v[0], 22);
      const std::uint32_t maj = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
      const std::uint32_t t2 = s0 + maj;
      for (int k = 7; k > 0; --k) v[k] = v[k - 1];
      v[4] += t1;
      v[0] = t1 + t2;
    }
    for (int k = 0; k < 8; ++k) h[k] += v[k];
  }
  std::string hex;
  char part[9];
  for (const std::uint32_t word : h) {
    std::snprintf(part, sizeof part, "%08x", word);
    hex += part;
  }
  return hex;
}

std::string json_array(std::span<const double> values) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) out += ',';
    out += number(values[i]);
  }
  return out + "]";
}

bool parse_json_array(const std::string& text, std::span<double> out) {
  const char* p = text.c_str();
  auto blanks = [&p] {
    while (*p == ' ' || *p == '\n' || *p == '\t' || *p == '\r') ++p;
  };
  blanks();
  if (*p++ != '[') return false;
  for (std::size_t i = 0; i < out.size(); ++i) {
    blanks();
    if (i > 0 && *p++ != ',') return false;
    blanks();
    if (std::string_view(p).substr(0, 4) == "null") {
      out[i] = std::numeric_limits<double>::quiet_NaN();
      p += 4;
      continue;
    }
    char* end = nullptr;
    out[i] = std::strtod(p, &end);
    if (end == p) return false;
    p = end;
  }
  blanks();
  return *p == ']';
}

std::string describe_problem(const std::vector<std::string>& command, const std::string& directory,
                             const kestro::Problem& problem) {
  std::string out = "{\"command\":[";
  for (std::size_t i = 0; i < command.size(); ++i) out += (i ? "," : "") + quoted(command[i]);
  // The directory as an absolute path: the same black box whatever the
  // directory the runner was started from.
  std::error_code error;
  std::filesystem::path where = std::filesystem::weakly_canonical(
      std::filesystem::absolute(directory.empty() ? "." : directory, error), error);
  if (error) where = directory;
  out += "],\"directory\":" + quoted(where.string());
  out += ",\"lower\":" + json_array(problem.lower);
  out += ",\"upper\":" + json_array(problem.upper);
  out += ",\"integers\":" + std::to_string(problem.integers);
  out += ",\"objectives\":" + std::to_string(problem.objectives);
  out += ",\"constraints\":" + std::to_string(problem.constraints);
  out += ",\"equalities\":" + std::to_string(problem.equalities) + "}";
  return out;
}

std::string describe_options(const kestro::Options& o) {
  const std::pair<const char*, double> fields[] = {{"accuracy", o.accuracy},
                                                   {"seed", o.seed},
                                                   {"fstop", o.fstop},
                                                   {"algostop", o.algostop},
                                                   {"evalstop", o.evalstop},
                                                   {"focus", o.focus},
                                                   {"ants", o.ants},
                                                   {"kernel", o.kernel},
                                                   {"oracle", o.oracle},
                                                   {"paretomax", o.paretomax},
                                                   {"epsilon", o.epsilon},
                                                   {"balance", o.balance},
                                                   {"character", o.character},
                                                   {"block_size", o.block_size},
                                                   {"printeval", o.printeval},
                                                   {"save2file", o.save2file},
                                                   {"maxeval", o.maxeval},
                                                   {"maxtime", o.maxtime},
                                                   {"maxwalltime", o.maxwalltime}};
  std::string out = "{";
  for (const auto& [name, value] : fields)
    out += std::string(out.size() > 1 ? "," : "") + quoted(name) + ":" + number(value);
  return out + "}";
}

Store::Store(const std::string& path) : path_(path) {
  // Never written through a symbolic link (as the report files): the store
  // and the files SQLite keeps beside it.
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    struct stat info {};
    if (lstat((path + suffix).c_str(), &info) == 0 && S_ISLNK(info.st_mode))
      throw StoreError("store " + path + ": " + (*suffix ? path + suffix + " " : std::string()) +
                       "is a symbolic link, which is not followed");
  }
  const int opened =
      sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (opened != SQLITE_OK) {
    const std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(opened);
    sqlite3_close(db_);
    db_ = nullptr;
    throw StoreError("store " + path + ": cannot be opened: " + why);
  }
  sqlite3_busy_timeout(db_, 10000);  // another run writing its block
  sqlite3_extended_result_codes(db_, 1);
  try {
    // What is in the file: nothing yet, a Kestro store, or something else.
    sqlite3_stmt* tables = prepare("SELECT name FROM sqlite_master");
    bool empty = true, kestro = false;
    int step;
    while ((step = sqlite3_step(tables)) == SQLITE_ROW) {
      empty = false;
      const char* name = reinterpret_cast<const char*>(sqlite3_column_text(tables, 0));
      kestro = kestro || std::string(name ? name : "") == "kestro_store";
    }
    sqlite3_finalize(tables);
    if (step != SQLITE_DONE) {
      if ((step & 0xff) == SQLITE_NOTADB)
        throw StoreError("store " + path + ": is not a Kestro store (not an SQLite database)");
      throw StoreError("store " + path + ": cannot be read: " + sqlite3_errmsg(db_));
    }
    if (!empty && !kestro)
      throw StoreError("store " + path +
                       ": is not a Kestro store (an SQLite database without the table "
                       "kestro_store)");
    if (kestro) {
      sqlite3_stmt* version = prepare("SELECT name, version FROM kestro_store");
      const bool row = sqlite3_step(version) == SQLITE_ROW;
      const std::string name = row && sqlite3_column_text(version, 0)
                                   ? reinterpret_cast<const char*>(sqlite3_column_text(version, 0))
                                   : "";
      const long long v = row ? sqlite3_column_int64(version, 1) : 0;
      sqlite3_finalize(version);
      if (!row || name != kStoreName || v < 1)
        throw StoreError("store " + path + ": is not a Kestro store (no valid schema version)");
      if (v > kStoreSchemaVersion)
        throw StoreError("store " + path + ": has schema version " + std::to_string(v) +
                         ", newer than version " + std::to_string(kStoreSchemaVersion) +
                         " that this kestro-run knows (use a newer kestro-run or another "
                         "store)");
    }
    // WAL: readers never block the run, and a crash loses at most the
    // transaction in flight.
    sqlite3_stmt* mode = prepare("PRAGMA journal_mode = WAL");
    const bool wal =
        sqlite3_step(mode) == SQLITE_ROW && sqlite3_column_text(mode, 0) &&
        std::string(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0))) == "wal";
    sqlite3_finalize(mode);
    if (!wal)
      throw StoreError("store " + path + ": cannot switch to WAL mode: " + sqlite3_errmsg(db_));
    exec("PRAGMA synchronous = NORMAL");
    if (empty) {
      exec("BEGIN IMMEDIATE");
      exec(kSchema);
      exec(("INSERT INTO kestro_store (name, version) VALUES ('" + std::string(kStoreName) + "', " +
            std::to_string(kStoreSchemaVersion) + ")")
               .c_str());
      exec("COMMIT");
    }
    insert_ = prepare(
        "INSERT INTO evaluations (run_id, problem_digest, evaluation, block, position, x, f, g, "
        "status, reason, seconds, cached) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, "
        "?11, ?12)");
    find_ = prepare(
        "SELECT f, g, status, reason FROM evaluations WHERE problem_digest = ?1 AND x = ?2 "
        "AND (status = 'ok' OR ?3) ORDER BY status = 'ok' DESC, id LIMIT 1");
  } catch (const StoreError&) {
    sqlite3_finalize(insert_);
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

Store::~Store() {
  sqlite3_finalize(insert_);
  sqlite3_finalize(find_);
  sqlite3_close(db_);
}

void Store::exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string why = error ? error : sqlite3_errmsg(db_);
    sqlite3_free(error);
    throw StoreError("store " + path_ + ": " + why);
  }
}

sqlite3_stmt* Store::prepare(const char* sql) {
  sqlite3_stmt* s = nullptr;
  const int r = sqlite3_prepare_v2(db_, sql, -1, &s, nullptr);
  if (r != SQLITE_OK) {
    sqlite3_finalize(s);
    if ((r & 0xff) == SQLITE_NOTADB)
      throw StoreError("store " + path_ + ": is not a Kestro store (not an SQLite database)");
    throw StoreError("store " + path_ + ": " + sqlite3_errmsg(db_));
  }
  return s;
}

void Store::report(const std::string& what) {
  if (failed_blocks_ == 1)
    std::fprintf(stderr,
                 "kestro-run: store %s: %s; the run goes on (further failures are "
                 "counted at the end)\n",
                 path_.c_str(), what.c_str());
}

void Store::begin_run(const RunDescription& run, long long resumed_at) {
  digest_ = sha256_hex(run.problem);
  n_ = run.variables, o_ = run.objectives, m_ = run.constraints, l_ = run.block_size;
  const std::string now = now_utc();
  exec("BEGIN IMMEDIATE");
  try {
    run_id_ = 0;
    if (resumed_at > 0) {
      sqlite3_stmt* s = prepare(
          "SELECT id FROM runs WHERE problem_digest = ?1 AND seed = ?2 AND block_size = ?3 "
          "AND ended IS NULL ORDER BY id DESC LIMIT 1");
      sqlite3_bind_text(s, 1, digest_.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_double(s, 2, run.seed);
      sqlite3_bind_int(s, 3, run.block_size);
      if (sqlite3_step(s) == SQLITE_ROW) run_id_ = sqlite3_column_int64(s, 0);
      sqlite3_finalize(s);
    }
    if (run_id_ != 0) {
      sqlite3_stmt* s = prepare("DELETE FROM evaluations WHERE run_id = ?1 AND evaluation > ?2");
      sqlite3_bind_int64(s, 1, run_id_);
      sqlite3_bind_int64(s, 2, resumed_at);
      const int r = sqlite3_step(s);
      sqlite3_finalize(s);
      if (r != SQLITE_DONE) throw StoreError("store " + path_ + ": " + sqlite3_errmsg(db_));
      s = prepare("UPDATE runs SET resumed = ?2 WHERE id = ?1");
      sqlite3_bind_int64(s, 1, run_id_);
      sqlite3_bind_text(s, 2, now.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(s);
      sqlite3_finalize(s);
    } else {
      sqlite3_stmt* s = prepare(
          "INSERT INTO runs (front_end, problem, problem_digest, options, seed, variables, "
          "integers, objectives, constraints, equalities, block_size, started, resumed) "
          "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)");
      sqlite3_bind_text(s, 1, run.front_end.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(s, 2, run.problem.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(s, 3, digest_.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(s, 4, run.options.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_double(s, 5, run.seed);
      const int counts[] = {run.variables,   run.integers,   run.objectives,
                            run.constraints, run.equalities, run.block_size};
      for (int k = 0; k < 6; ++k) sqlite3_bind_int(s, 6 + k, counts[k]);
      sqlite3_bind_text(s, 12, now.c_str(), -1, SQLITE_TRANSIENT);
      if (resumed_at > 0) sqlite3_bind_text(s, 13, now.c_str(), -1, SQLITE_TRANSIENT);
      const int r = sqlite3_step(s);
      sqlite3_finalize(s);
      if (r != SQLITE_DONE) throw StoreError("store " + path_ + ": " + sqlite3_errmsg(db_));
      run_id_ = sqlite3_last_insert_rowid(db_);
    }
    exec("COMMIT");
  } catch (const StoreError& e) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw StoreError(std::string(e.what()) + " (cannot record the run)");
  }
}

int Store::lookup(std::span<const double> x, std::span<double> f, std::span<double> g,
                  std::span<unsigned char> hit, std::span<Outcome> outcomes, bool failures) {
  int hits = 0;
  for (int i = 0; i < l_; ++i) {
    hit[i] = 0;
    const std::string point = json_array(x.subspan(std::size_t(i) * n_, n_));
    sqlite3_reset(find_);
    sqlite3_bind_text(find_, 1, digest_.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(find_, 2, point.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(find_, 3, failures ? 1 : 0);
    const int r = sqlite3_step(find_);
    if (r == SQLITE_ROW) {
      auto text = [this](int column) {
        const unsigned char* t = sqlite3_column_text(find_, column);
        return std::string(t ? reinterpret_cast<const char*>(t) : "");
      };
      std::vector<double> fv(static_cast<std::size_t>(o_)), gv(static_cast<std::size_t>(m_));
      if (parse_json_array(text(0), fv) && parse_json_array(text(1), gv)) {
        std::copy(fv.begin(), fv.end(), f.begin() + std::ptrdiff_t(i) * o_);
        std::copy(gv.begin(), gv.end(), g.begin() + std::ptrdiff_t(i) * m_);
        hit[i] = 1;
        outcomes[i].ok = text(2) == "ok";
        outcomes[i].why = text(3);
        outcomes[i].seconds = 0;
        ++hits;
      }
    } else if (r != SQLITE_DONE) {
      std::fprintf(stderr, "kestro-run: store %s: cannot look up a point: %s\n", path_.c_str(),
                   sqlite3_errmsg(db_));
    }
  }
  sqlite3_reset(find_);
  return hits;
}

void Store::write_block(long long evaluations_before, std::span<const double> x,
                        std::span<const double> f, std::span<const double> g,
                        std::span<const Outcome> outcomes, std::span<const unsigned char> hit) {
  const long long block = l_ > 0 ? evaluations_before / l_ + 1 : 1;
  auto fail = [&](const char* what) {
    const std::string why = sqlite3_errmsg(db_);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    ++failed_blocks_;
    report(std::string("cannot ") + what + " block " + std::to_string(block) + ": " + why);
  };
  if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
    return fail("start writing");
  for (int i = 0; i < l_; ++i) {
    const Outcome& out = outcomes[std::size_t(i)];
    const std::string xs = json_array(x.subspan(std::size_t(i) * n_, n_));
    const std::string fs = json_array(f.subspan(std::size_t(i) * o_, o_));
    const std::string gs = json_array(g.subspan(std::size_t(i) * m_, m_));
    sqlite3_reset(insert_);
    sqlite3_bind_int64(insert_, 1, run_id_);
    sqlite3_bind_text(insert_, 2, digest_.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int64(insert_, 3, evaluations_before + i + 1);
    sqlite3_bind_int64(insert_, 4, block);
    sqlite3_bind_int(insert_, 5, i + 1);
    sqlite3_bind_text(insert_, 6, xs.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert_, 7, fs.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert_, 8, gs.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert_, 9, out.ok ? "ok" : "failed", -1, SQLITE_STATIC);
    if (out.ok)
      sqlite3_bind_null(insert_, 10);
    else
      sqlite3_bind_text(insert_, 10, out.why.c_str(), -1, SQLITE_TRANSIENT);
    if (out.seconds >= 0)
      sqlite3_bind_double(insert_, 11, out.seconds);
    else
      sqlite3_bind_null(insert_, 11);
    sqlite3_bind_int(insert_, 12, !hit.empty() && hit[std::size_t(i)] ? 1 : 0);
    if (sqlite3_step(insert_) != SQLITE_DONE) {
      sqlite3_reset(insert_);
      return fail("write");
    }
  }
  sqlite3_reset(insert_);
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return fail("commit");
}

void Store::end_run(const kestro::Result& r, long long cache_hits) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db_,
                         "UPDATE runs SET ended = ?2, iflag = ?3, message = ?4, evaluations = ?5, "
                         "failed_evaluations = ?6, cache_hits = ?7, x = ?8, f = ?9, g = ?10, "
                         "feasible = ?11 WHERE id = ?1",
                         -1, &s, nullptr) == SQLITE_OK) {
    const std::string now = now_utc(), xs = json_array(r.x), fs = json_array(r.f),
                      gs = json_array(r.g);
    sqlite3_bind_int64(s, 1, run_id_);
    sqlite3_bind_text(s, 2, now.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 3, r.iflag);
    sqlite3_bind_text(s, 4, r.message.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(s, 5, r.evaluations);
    sqlite3_bind_int64(s, 6, r.failed_evaluations);
    sqlite3_bind_int64(s, 7, cache_hits);
    sqlite3_bind_text(s, 8, xs.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 9, fs.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 10, gs.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 11, r.feasible ? 1 : 0);
    if (sqlite3_step(s) == SQLITE_DONE) {
      sqlite3_finalize(s);
      return;
    }
  }
  std::fprintf(stderr, "kestro-run: store %s: cannot record the end of the run: %s\n",
               path_.c_str(), sqlite3_errmsg(db_));
  sqlite3_finalize(s);
}

}  // namespace kestro_run
