#include "result_files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kestro_run {
namespace {

std::string number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", v);
  return buffer;
}

// A row of fields joined by commas.
class Row {
 public:
  Row& add(const std::string& field) {
    if (!text_.empty()) text_ += ',';
    text_ += field;
    return *this;
  }
  Row& add(double v) { return add(number(v)); }
  Row& add(const std::vector<double>& values) {
    for (double v : values) add(v);
    return *this;
  }
  Row& names(const char* prefix, std::size_t count) {
    for (std::size_t i = 1; i <= count; ++i) add(prefix + std::to_string(i));
    return *this;
  }
  // The variables' names; x1, x2, ... for those without one.
  Row& names(const std::vector<std::string>& names) {
    for (std::size_t i = 0; i < names.size(); ++i)
      add(names[i].empty() ? "x" + std::to_string(i + 1) : csv_field(names[i]));
    return *this;
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// Writes the lines to `path` through path.tmp; empty on success, else why not.
std::string write_lines(const std::string& path, const std::vector<std::string>& lines) {
  const std::string tmp = path + ".tmp";
  std::FILE* out = std::fopen(tmp.c_str(), "w");
  if (out == nullptr) return "cannot write " + path + ": " + std::strerror(errno);
  bool ok = true;
  for (const std::string& line : lines)
    ok = ok && std::fputs(line.c_str(), out) >= 0 && std::fputc('\n', out) != EOF;
  ok = std::fflush(out) == 0 && ok;
  const int error = ok ? 0 : errno;
  ok = std::fclose(out) == 0 && ok;
  if (ok && std::rename(tmp.c_str(), path.c_str()) == 0) return {};
  const std::string why = std::strerror(error != 0 ? error : errno);
  std::remove(tmp.c_str());
  return "cannot write " + path + ": " + why;
}

// The names of the objectives: f, or f1 .. fO.
Row objective_names(Row row, int objectives) {
  return objectives == 1 ? row.add("f") : row.names("f", std::size_t(objectives));
}

}  // namespace

std::string output_path(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

std::string csv_field(const std::string& text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

WrittenFiles write_result_files(const std::string& directory,
                                const std::vector<std::string>& variable_names,
                                const kestro::Result& r, int objectives) {
  WrittenFiles written;
  if (!directory.empty()) {
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
      written.error = "cannot make the output directory " + directory + ": " + error.message();
      return written;
    }
  }
  auto write = [&](const char* name, const std::vector<std::string>& lines) {
    const std::string path = output_path(directory, name);
    const std::string why = write_lines(path, lines);
    if (why.empty())
      written.paths.push_back(path);
    else if (written.error.empty())
      written.error = why;
  };
  const std::size_t m = r.g.size();

  Row best_header = objective_names(Row(), objectives);
  best_header.names("g", m).add("residual").add("feasible").add("evaluations");
  best_header.names(variable_names);
  Row best;
  best.add(r.f).add(r.g).add(r.residual).add(r.feasible ? "1" : "0");
  best.add(std::to_string(r.evaluations)).add(r.x);
  write("kestro_best.csv", {best_header.text(), best.text()});

  std::vector<std::string> history;
  history.push_back(objectives == 1 ? "evaluations,f,residual"
                                    : "evaluations,compromise,front_size,residual");
  for (const kestro::HistoryEntry& e : r.history) {
    Row row;
    row.add(std::to_string(e.evaluations)).add(e.f);
    if (objectives > 1) row.add(std::to_string(e.front_size));
    row.add(e.residual);
    history.push_back(row.text());
  }
  write("kestro_history.csv", history);

  if (objectives > 1) {
    Row header = objective_names(Row(), objectives);
    header.names("g", m).names(variable_names);
    std::vector<std::string> front{header.text()};
    for (const kestro::ParetoPoint& e : r.pareto_front)
      front.push_back(Row().add(e.f).add(e.g).add(e.x).text());
    write("kestro_front.csv", front);
  }
  return written;
}

}  // namespace kestro_run
