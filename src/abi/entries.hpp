// The entries of the C ABI on a given context: the specified entries call
// them with the default context, the handle forms with the handle's own.
#pragma once

#include "interface/context.hpp"

namespace kestro::abi {

void solve(Context& context, const int* l, const int* o, const int* n, const int* ni,
           const int* m, const int* me, double* x, double* f, double* g, const double* xl,
           const double* xu, int* iflag, int* istop, double* param, double* rw,
           const int* lrw, int* iw, const int* liw, double* pf, const int* lpf);

void print(Context& context, const int* stage, const int* printeval, const int* save2file,
           int* iflag, int* istop, const double* f, const double* g, double* x,
           const double* xl, const double* xu, const int* o, const int* n, const int* ni,
           const int* m, const int* me, const double* rw, const double* pf,
           const int* maxeval, const int* maxtime, const double* param, const int* l,
           const int* timediv);

void save(Context& context, const char* path, const int* l, const int* o, const int* n,
          const int* ni, const int* m, const int* me, const double* x, const double* f,
          const double* g, const double* xl, const double* xu, const int* iflag,
          const int* istop, const double* param, const double* rw, const int* lrw,
          const int* iw, const int* liw, const double* pf, const int* lpf,
          const double* extra, const int* lextra, int* status);

void load(Context& context, const char* path, const int* l, const int* o, const int* n,
          const int* ni, const int* m, const int* me, double* x, double* f, double* g,
          double* xl, double* xu, int* iflag, int* istop, double* param, double* rw,
          const int* lrw, int* iw, const int* liw, double* pf, const int* lpf, double* extra,
          const int* lextra, int* status);

}  // namespace kestro::abi
