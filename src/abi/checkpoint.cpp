// The C entries of checkpoints: save and load for the default context.
#include "checkpoint/checkpoint.hpp"
#include "abi/default_context.hpp"
#include "abi/entries.hpp"
#include "abi/internal_routines.h"
#include "kestro.h"

namespace kestro::abi {

// Saves the run of a context between two calls of its solver entry to PATH.
void save(Context& context, const char* path, const int* l, const int* o, const int* n,
          const int* ni, const int* m, const int* me, const double* x, const double* f,
          const double* g, const double* xl, const double* xu, const int* iflag, const int* istop,
          const double* param, const double* rw, const int* lrw, const int* iw, const int* liw,
          const double* pf, const int* lpf, const double* extra, const int* lextra, int* status) {
  using namespace kestro::checkpoint;
  if (status == nullptr) return;
  CallerRun run;
  // The views are only read from when saving.
  if (!CallerRun::from_arguments(
          l, o, n, ni, m, me, const_cast<double*>(x), const_cast<double*>(f),
          const_cast<double*>(g), const_cast<double*>(xl), const_cast<double*>(xu),
          const_cast<int*>(iflag), const_cast<int*>(istop), const_cast<double*>(param),
          const_cast<double*>(rw), lrw, const_cast<int*>(iw), liw, const_cast<double*>(pf), lpf,
          const_cast<double*>(extra), lextra, run)) {
    *status = kBadArguments;
    return;
  }
  *status = kestro::checkpoint::save(context, path, run);
}

// Loads a saved run into a context and the caller's arrays.
void load(Context& context, const char* path, const int* l, const int* o, const int* n,
          const int* ni, const int* m, const int* me, double* x, double* f, double* g, double* xl,
          double* xu, int* iflag, int* istop, double* param, double* rw, const int* lrw, int* iw,
          const int* liw, double* pf, const int* lpf, double* extra, const int* lextra,
          int* status) {
  using namespace kestro::checkpoint;
  if (status == nullptr) return;
  CallerRun run;
  if (!CallerRun::from_arguments(l, o, n, ni, m, me, x, f, g, xl, xu, iflag, istop, param, rw, lrw,
                                 iw, liw, pf, lpf, extra, lextra, run)) {
    *status = kBadArguments;
    return;
  }
  *status = kestro::checkpoint::load(context, path, run);
}

}  // namespace kestro::abi

// Saves the run of the default context between two calls of kestro_.
extern "C" void kestro_save_(const char* path, const int* l, const int* o, const int* n,
                             const int* ni, const int* m, const int* me, const double* x,
                             const double* f, const double* g, const double* xl, const double* xu,
                             const int* iflag, const int* istop, const double* param,
                             const double* rw, const int* lrw, const int* iw, const int* liw,
                             const double* pf, const int* lpf, const double* extra,
                             const int* lextra, int* status) {
  kestro::abi::save(kestro::abi::default_context(), path, l, o, n, ni, m, me, x, f, g, xl, xu,
                    iflag, istop, param, rw, lrw, iw, liw, pf, lpf, extra, lextra, status);
}

// Loads a run saved by kestro_save_ into the default context and the caller's arrays.
extern "C" void kestro_load_(const char* path, const int* l, const int* o, const int* n,
                             const int* ni, const int* m, const int* me, double* x, double* f,
                             double* g, double* xl, double* xu, int* iflag, int* istop,
                             double* param, double* rw, const int* lrw, int* iw, const int* liw,
                             double* pf, const int* lpf, double* extra, const int* lextra,
                             int* status) {
  kestro::abi::load(kestro::abi::default_context(), path, l, o, n, ni, m, me, x, f, g, xl, xu,
                    iflag, istop, param, rw, lrw, iw, liw, pf, lpf, extra, lextra, status);
}

// The meaning of a checkpoint status in words.
extern "C" const char* kestro_checkpoint_text(const int* status) {
  return kestro::checkpoint::status_text(status != nullptr ? *status : -1);
}
