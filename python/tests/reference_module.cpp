// A test-only module: runs fixed problems through the C++ API
// (kestro::minimize, with several evaluation threads) so that the Python tests
// can compare the Python front end's results with it bit for bit. The
// problems here are written with the same operations in the same order as
// their Python twins in test_kestro.py.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <span>
#include <stdexcept>
#include <string>

#include "kestro.hpp"

namespace py = pybind11;

namespace {

void mixed(std::span<const double> x, std::span<double> f, std::span<double> g) {
  const double a = x[0] - 1.0, b = x[1] + 0.5, c = x[2], d = x[3] - 2.0;
  f[0] = a * a + b * b + c * c + d * d;
  g[0] = x[0] + x[1] + x[3] - 3.5;
}

void two_objectives(std::span<const double> x, std::span<double> f, std::span<double>) {
  const double a = x[0] - 2.0, b = x[1] - 1.0;
  f[0] = x[0] * x[0] + x[1] * x[1];
  f[1] = a * a + b * b;
}

py::dict run(const std::string& name, double seed, int block_size, int maxeval, int threads) {
  kestro::Problem p;
  kestro::Function fun;
  if (name == "mixed") {
    p.lower = {-3, -3, -3, 0};
    p.upper = {3, 3, 3, 5};
    p.integers = 1;
    p.constraints = 1;
    fun = mixed;
  } else if (name == "two_objectives") {
    p.lower = {-1, -1};
    p.upper = {3, 3};
    p.objectives = 2;
    fun = two_objectives;
  } else {
    throw std::invalid_argument("unknown problem " + name);
  }
  kestro::Options o;
  o.seed = seed;
  o.block_size = block_size;
  o.maxeval = maxeval;
  o.threads = threads;
  const kestro::Result r = kestro::minimize(p, fun, o);
  py::dict d;
  d["x"] = r.x;
  d["f"] = r.f;
  d["g"] = r.g;
  d["iflag"] = r.iflag;
  d["evaluations"] = r.evaluations;
  py::list front;
  for (const kestro::ParetoPoint& e : r.pareto_front) front.append(py::make_tuple(e.f, e.x));
  d["pareto_front"] = front;
  return d;
}

}  // namespace

PYBIND11_MODULE(kestro_reference, mod) {
  mod.def("run", &run, py::arg("name"), py::arg("seed"), py::arg("block_size"), py::arg("maxeval"),
          py::arg("threads"));
}
