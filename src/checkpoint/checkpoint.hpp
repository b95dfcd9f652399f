// Saving a run to a file between two calls and loading it in another
// process, so that the run goes on exactly as if it had not been stopped.
#pragma once

#include <cstdint>

#include "core/run_sizes.hpp"
#include "core/view.hpp"
#include "interface/context.hpp"

namespace kestro::checkpoint {

// What saving and loading answer; the values are those of the C entries.
enum Status : std::int32_t {
  kOk = 0,
  kBadArguments = 1,    // no path, or an array missing for a positive length
  kOtherRun = 2,        // the sizes are not those of the run in progress
  kWriteFailed = 3,     // the file could not be written
  kCannotOpen = 4,      // the file could not be opened or read
  kNotACheckpoint = 5,  // the file does not start like a checkpoint
  kOtherVersion = 6,    // written in another format version
  kOtherLayout = 7,     // written by a build that keeps other state
  kTruncated = 8,       // the file ends early
  kCorrupted = 9,       // the checksum does not match the content
  kOtherSizes = 10,     // saved for other sizes than the caller's
  kInconsistent = 11,   // the content contradicts its own sizes or names a foreign file
  kNoMemory = 12,       // no room to read the file
};

inline constexpr std::int32_t kFormatVersion = 1;

// The caller's side of a run: its sizes and the arrays it owns, each of its
// declared length (L*N, L*O, L*M, N, 13, LRW, LIW, LPF, LEXTRA); `extra`
// holds values of the caller's own that travel with the run.
struct CallerRun {
  RunSizes sizes;
  std::int32_t lextra = 0;
  RealView x, f, g, xl, xu, param, rw;
  IntView iw;
  RealView pf, extra;
  std::int32_t* iflag = nullptr;
  std::int32_t* istop = nullptr;

  // Views over the arrays of the C entries; false when a pointer is missing
  // for a positive length.
  static bool from_arguments(const int* l, const int* o, const int* n, const int* ni, const int* m,
                             const int* me, double* x, double* f, double* g, double* xl, double* xu,
                             int* iflag, int* istop, double* param, double* rw, const int* lrw,
                             int* iw, const int* liw, double* pf, const int* lpf, double* extra,
                             const int* lextra, CallerRun& run);
};

// Writes the run (the context's saved state and the caller's arrays) to
// `path` through a new file `path`.tmp.XXXXXX, which is then renamed over it.
Status save(Context& context, const char* path, const CallerRun& run);

// Reads a run saved for the caller's sizes; nothing of the context or the
// caller's arrays changes unless the whole file is sound.
Status load(Context& context, const char* path, CallerRun& run);

// The meaning of a status in words.
const char* status_text(std::int32_t status);

}  // namespace kestro::checkpoint
