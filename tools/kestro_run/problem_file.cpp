#include "problem_file.hpp"

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <set>

#include <toml++/toml.h>

namespace kestro_run {
namespace {

std::string where(const std::string& file, const toml::node& node, const std::string& key) {
  return file + ":" + std::to_string(node.source().begin.line) + ": key '" + key + "': ";
}

struct Reader {
  std::string file;

  [[noreturn]] void fail(const toml::node& node, const std::string& key,
                         const std::string& what) const {
    throw InputError(where(file, node, key) + what);
  }

  double number(const toml::node& node, const std::string& key) const {
    if (auto v = node.value_exact<double>()) return *v;
    if (auto v = node.value_exact<int64_t>()) return double(*v);
    fail(node, key, "must be a number");
  }

  int integer(const toml::node& node, const std::string& key, long long lo, long long hi) const {
    if (auto v = node.value_exact<int64_t>()) {
      if (*v < lo || *v > hi)
        fail(node, key, "must lie in " + std::to_string(lo) + " .. " + std::to_string(hi));
      return int(*v);
    }
    fail(node, key, "must be a whole number");
  }

  bool boolean(const toml::node& node, const std::string& key) const {
    if (auto v = node.value_exact<bool>()) return *v;
    fail(node, key, "must be true or false");
  }

  // Rejects every key of `table` that is not in `known`.
  void only(const toml::table& table, const std::set<std::string>& known,
            const std::string& prefix) const {
    for (const auto& [k, node] : table) {
      const std::string name(k.str());
      if (!known.count(name)) fail(node, prefix + name, "is not a known key");
    }
  }
};

}  // namespace

ProblemFile read_problem_file(const std::string& path) {
  toml::table root;
  try {
    root = toml::parse_file(path);
  } catch (const toml::parse_error& e) {
    const auto& s = e.source();
    throw InputError(path + ":" + std::to_string(s.begin.line) + ": " +
                     std::string(e.description()));
  }
  Reader r{path};
  ProblemFile p;
  constexpr int imax = std::numeric_limits<int>::max();
  r.only(root,
         {"command", "objectives", "constraints", "equalities", "jobs", "timeout", "variables",
          "options"},
         "");

  // The command.
  const toml::node* command = root.get("command");
  if (!command) throw InputError(path + ":1: key 'command': is missing");
  if (const toml::array* a = command->as_array()) {
    for (std::size_t i = 0; i < a->size(); ++i) {
      const auto s = (*a)[i].value_exact<std::string>();
      if (!s) r.fail((*a)[i], "command[" + std::to_string(i) + "]", "must be a string");
      p.command.push_back(*s);
    }
  } else if (auto s = command->value_exact<std::string>()) {
    p.command.push_back(*s);
  } else {
    r.fail(*command, "command", "must be a string or an array of strings");
  }
  if (p.command.empty() || p.command[0].empty()) r.fail(*command, "command", "must name a program");
  std::filesystem::path dir = std::filesystem::path(path).parent_path();
  p.directory = dir.empty() ? "." : dir.string();

  if (const toml::node* n = root.get("objectives"))
    p.problem.objectives = r.integer(*n, "objectives", 1, 1000000);
  if (const toml::node* n = root.get("constraints"))
    p.problem.constraints = r.integer(*n, "constraints", 0, 1000000);
  if (const toml::node* n = root.get("equalities"))
    p.problem.equalities = r.integer(*n, "equalities", 0, 1000000);
  if (p.problem.equalities > p.problem.constraints)
    r.fail(*root.get("equalities"), "equalities",
           "exceeds constraints = " + std::to_string(p.problem.constraints));
  if (const toml::node* n = root.get("jobs")) p.jobs = r.integer(*n, "jobs", 1, 4096);
  if (const toml::node* n = root.get("timeout")) {
    p.timeout = r.number(*n, "timeout");
    if (!(p.timeout > 0 && p.timeout <= 1e6)) r.fail(*n, "timeout", "must lie in (0, 1e6] seconds");
  }

  // The variables: continuous ones first, then the integer ones.
  const toml::node* vars = root.get("variables");
  if (!vars) throw InputError(path + ":1: key 'variables': is missing");
  const toml::array* va = vars->as_array();
  if (!va || va->empty())
    r.fail(*vars, "variables", "must be a non-empty array of tables ([[variables]])");
  bool any_start = false, any_integer = false;
  std::vector<const toml::node*> starts;
  for (std::size_t i = 0; i < va->size(); ++i) {
    const std::string at = "variables[" + std::to_string(i) + "]";
    const toml::table* t = (*va)[i].as_table();
    if (!t) r.fail((*va)[i], at, "must be a table");
    r.only(*t, {"name", "lower", "upper", "integer", "start"}, at + ".");
    if (const toml::node* n = t->get("name"); n && !n->is_string())
      r.fail(*n, at + ".name", "must be a string");
    p.names.push_back(t->get("name") ? *t->get("name")->value_exact<std::string>() : "");
    const toml::node* lo = t->get("lower");
    const toml::node* up = t->get("upper");
    if (!lo) r.fail((*va)[i], at + ".lower", "is missing");
    if (!up) r.fail((*va)[i], at + ".upper", "is missing");
    const double l = r.number(*lo, at + ".lower"), u = r.number(*up, at + ".upper");
    if (!std::isfinite(l)) r.fail(*lo, at + ".lower", "must be finite");
    if (!std::isfinite(u)) r.fail(*up, at + ".upper", "must be finite");
    if (l > u) r.fail(*lo, at + ".lower", "lies above upper");
    bool integer = false;
    if (const toml::node* n = t->get("integer")) integer = r.boolean(*n, at + ".integer");
    if (integer) {
      if (l != std::round(l)) r.fail(*lo, at + ".lower", "of an integer variable must be whole");
      if (u != std::round(u)) r.fail(*up, at + ".upper", "of an integer variable must be whole");
      any_integer = true;
      ++p.problem.integers;
    } else if (any_integer) {
      r.fail((*va)[i], at + ".integer", "continuous variables must come before the integer ones");
    }
    p.problem.lower.push_back(l);
    p.problem.upper.push_back(u);
    const toml::node* s = t->get("start");
    starts.push_back(s);
    if (s) {
      any_start = true;
      const double x = r.number(*s, at + ".start");
      if (!(x >= l && x <= u)) r.fail(*s, at + ".start", "must lie within lower .. upper");
      if (integer && x != std::round(x))
        r.fail(*s, at + ".start", "of an integer variable must be whole");
      p.problem.start.push_back(x);
    }
  }
  if (any_start)
    for (std::size_t i = 0; i < starts.size(); ++i)
      if (!starts[i])
        r.fail((*va)[i], "variables[" + std::to_string(i) + "].start",
               "is missing: give a start for every variable or for none");

  // The options, by name.
  if (const toml::node* on = root.get("options")) {
    const toml::table* t = on->as_table();
    if (!t) r.fail(*on, "options", "must be a table ([options])");
    kestro::Options& o = p.options;
    const std::map<std::string, double*> reals = {
        {"accuracy", &o.accuracy},   {"seed", &o.seed},         {"fstop", &o.fstop},
        {"algostop", &o.algostop},   {"evalstop", &o.evalstop}, {"focus", &o.focus},
        {"ants", &o.ants},           {"kernel", &o.kernel},     {"oracle", &o.oracle},
        {"paretomax", &o.paretomax}, {"epsilon", &o.epsilon},   {"balance", &o.balance},
        {"character", &o.character}};
    for (const auto& [k, node] : *t) {
      const std::string name(k.str()), key = "options." + name;
      if (auto it = reals.find(name); it != reals.end()) {
        *it->second = r.number(node, key);
        if (std::isnan(*it->second)) r.fail(node, key, "must be a number, not nan");
      } else if (name == "block_size") {
        o.block_size = r.integer(node, key, 1, 1000000);
      } else if (name == "printeval") {
        o.printeval = r.integer(node, key, 0, imax);
      } else if (name == "save2file") {
        o.save2file = r.integer(node, key, 0, imax);
      } else if (name == "maxeval") {
        o.maxeval = r.integer(node, key, 1, imax);
      } else if (name == "maxtime") {
        o.maxtime = r.integer(node, key, 1, imax);
      } else if (name == "runs") {
        o.runs = r.integer(node, key, 1, 100000);
      } else if (name == "maxwalltime") {
        o.maxwalltime = r.number(node, key);
        if (!(o.maxwalltime > 0 && o.maxwalltime <= 1e9))
          r.fail(node, key, "must lie in (0, 1e9] seconds");
      } else if (name == "fail_fast") {
        o.fail_fast = r.boolean(node, key);
      } else {
        r.fail(node, key, "is not a known option");
      }
    }
  }
  return p;
}

}  // namespace kestro_run
