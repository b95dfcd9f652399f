// The run handle of the C ABI: a context of its own for every run.
#include <new>

#include "abi/entries.hpp"
#include "abi/handle.hpp"
#include "core/iflag_table.hpp"
#include "interface/output_location.hpp"
#include "kestro.h"

namespace {

constexpr int kBadArguments = 1;

}  // namespace

extern "C" kestro_context* kestro_context_create(void) {
  // Nothing of a fresh context can throw but the allocation itself.
  return new (std::nothrow) kestro_context();
}

extern "C" void kestro_context_free(kestro_context* ctx) { delete ctx; }

extern "C" int kestro_context_set_output(kestro_context* ctx, const char* directory,
                                         const char* prefix) {
  if (ctx == nullptr) return static_cast<int>(kestro::OutputChange::kNoContext);
  return static_cast<int>(kestro::set_output_location(ctx->context, directory, prefix));
}

extern "C" void kestro_context_set_screen(kestro_context* ctx, FILE* stream) {
  if (ctx != nullptr) ctx->context.report.units.set_screen(stream);
}

extern "C" void kestro_context_solve(kestro_context* ctx, const int* l, const int* o, const int* n,
                                     const int* ni, const int* m, const int* me, double* x,
                                     double* f, double* g, const double* xl, const double* xu,
                                     int* iflag, int* istop, double* param, double* rw,
                                     const int* lrw, int* iw, const int* liw, double* pf,
                                     const int* lpf) {
  if (ctx == nullptr) {
    if (iflag != nullptr) *iflag = kestro::iflag::kNotInitialised;
    if (istop != nullptr) *istop = 1;
    return;
  }
  kestro::abi::solve(ctx->context, l, o, n, ni, m, me, x, f, g, xl, xu, iflag, istop, param, rw,
                     lrw, iw, liw, pf, lpf);
}

extern "C" void kestro_context_print(kestro_context* ctx, const int* stage, const int* printeval,
                                     const int* save2file, int* iflag, int* istop, const double* f,
                                     const double* g, double* x, const double* xl, const double* xu,
                                     const int* o, const int* n, const int* ni, const int* m,
                                     const int* me, const double* rw, const double* pf,
                                     const int* maxeval, const int* maxtime, const double* param,
                                     const int* l, const int* timediv) {
  if (ctx == nullptr) return;
  kestro::abi::print(ctx->context, stage, printeval, save2file, iflag, istop, f, g, x, xl, xu, o, n,
                     ni, m, me, rw, pf, maxeval, maxtime, param, l, timediv);
}

extern "C" void kestro_context_save(kestro_context* ctx, const char* path, const int* l,
                                    const int* o, const int* n, const int* ni, const int* m,
                                    const int* me, const double* x, const double* f,
                                    const double* g, const double* xl, const double* xu,
                                    const int* iflag, const int* istop, const double* param,
                                    const double* rw, const int* lrw, const int* iw, const int* liw,
                                    const double* pf, const int* lpf, const double* extra,
                                    const int* lextra, int* status) {
  if (ctx == nullptr) {
    if (status != nullptr) *status = kBadArguments;
    return;
  }
  kestro::abi::save(ctx->context, path, l, o, n, ni, m, me, x, f, g, xl, xu, iflag, istop, param,
                    rw, lrw, iw, liw, pf, lpf, extra, lextra, status);
}

extern "C" void kestro_context_load(kestro_context* ctx, const char* path, const int* l,
                                    const int* o, const int* n, const int* ni, const int* m,
                                    const int* me, double* x, double* f, double* g, double* xl,
                                    double* xu, int* iflag, int* istop, double* param, double* rw,
                                    const int* lrw, int* iw, const int* liw, double* pf,
                                    const int* lpf, double* extra, const int* lextra, int* status) {
  if (ctx == nullptr) {
    if (status != nullptr) *status = kBadArguments;
    return;
  }
  kestro::abi::load(ctx->context, path, l, o, n, ni, m, me, x, f, g, xl, xu, iflag, istop, param,
                    rw, lrw, iw, liw, pf, lpf, extra, lextra, status);
}
