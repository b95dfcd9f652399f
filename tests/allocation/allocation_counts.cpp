// The solver's per-call path allocates nothing: after the first call of a
// run, any number of further calls of kestro_ (and of kestro_print_ after its
// first stage, without output files) make no heap allocation. Since all the
// library's saved state lives in fixed-size structures and the caller's
// arrays, this also shows that the memory it uses beyond those arrays does not
// grow with the number of evaluations.
//
// The program replaces the global operator new and delete, and outside
// sanitizer builds (whose runtime owns malloc) also malloc, calloc, realloc
// and free, counting the allocations made while counting is switched on.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "abi/internal_routines.h"
#include "support/entry_caller.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define KESTRO_COUNT_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRO_COUNT_MALLOC 0
#endif
#endif
#ifndef KESTRO_COUNT_MALLOC
#define KESTRO_COUNT_MALLOC 1
#endif

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
// While set, every operator new fails (as when memory is short).
std::atomic<bool> refusing{false};

void note_allocation() {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}

void* allocate(std::size_t size) {
  note_allocation();
  if (refusing.load(std::memory_order_relaxed)) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

void* allocate_aligned(std::size_t size, std::align_val_t align) {
  note_allocation();
  const std::size_t a = static_cast<std::size_t>(align);
  if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  note_allocation();
  if (refusing.load(std::memory_order_relaxed)) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  note_allocation();
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new(std::size_t size, std::align_val_t a) { return allocate_aligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocate_aligned(size, a); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

#if KESTRO_COUNT_MALLOC
// glibc's own entry points, under the names it exports for this purpose.
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* __libc_memalign(std::size_t, std::size_t);

extern "C" void* malloc(std::size_t size) {
  note_allocation();
  return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
  note_allocation();
  return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, std::size_t size) {
  note_allocation();
  return __libc_realloc(p, size);
}
extern "C" void* aligned_alloc(std::size_t align, std::size_t size) {
  note_allocation();
  return __libc_memalign(align, size);
}
#endif

namespace {

// Counts the allocations made by `work`.
template <class Work>
long allocations_during(Work&& work) {
  allocations = 0;
  counting = true;
  work();
  counting = false;
  return allocations.load();
}

struct Config {
  int n, l, o, m;
};

// A caller of both entries with every array allocated before the run.
struct Caller : kestro::testing::EntryCaller {
  long long evaluated = 0;

  explicit Caller(const Config& c) : EntryCaller(c.l, c.o, c.n, c.m, 1.0, 3.0) {}

  void evaluate() {
    for (int i = 0; i < l; ++i) {
      const double* p = &x[static_cast<std::size_t>(i) * n];
      for (int k = 0; k < o; ++k) {
        double s = 0;
        for (int j = 0; j < n; ++j) s += (p[j] - 0.2 * k) * (p[j] - 0.2 * k);
        f[static_cast<std::size_t>(i) * o + k] = s;
      }
      for (int j = 0; j < m; ++j) g[static_cast<std::size_t>(i) * m + j] = 1.0 - p[j % n];
    }
    evaluated += l;
  }
};

const Config kConfigs[] = {
    {10, 1, 1, 0}, {10, 16, 1, 10}, {100, 1, 1, 0}, {10, 1, 3, 0}, {10, 16, 3, 10},
};

TEST(Allocations, SolverCallsAfterTheFirstAllocateNothing) {
  for (const Config& cfg : kConfigs) {
    Caller c(cfg);
    c.evaluate();
    c.solve();
    ASSERT_EQ(c.istop, 0) << "n=" << cfg.n << " l=" << cfg.l << " o=" << cfg.o;
    int calls = 0;
    const long counted = allocations_during([&] {
      while (c.istop == 0 && c.evaluated < 30000) {
        c.evaluate();
        c.solve();
        ++calls;
      }
    });
    EXPECT_EQ(counted, 0) << "n=" << cfg.n << " l=" << cfg.l << " o=" << cfg.o << " m=" << cfg.m;
    EXPECT_GT(calls, 1000) << "n=" << cfg.n << " l=" << cfg.l;
  }
}

TEST(Allocations, AFreshRunAllocatesNothingEither) {
  Caller c(kConfigs[1]);
  const long counted = allocations_during([&] {
    for (int run = 0; run < 3; ++run) {
      c.iflag = 0;
      c.istop = 0;
      c.evaluate();
      c.solve();
      for (int k = 0; k < 200 && c.istop == 0; ++k) {
        c.evaluate();
        c.solve();
      }
    }
  });
  EXPECT_EQ(counted, 0);
}

// The reporting entry without output files: progress lines go to the screen
// every 1000 evaluations, and nothing is allocated for them.
TEST(Allocations, ReportingCallsWithoutFilesAllocateNothing) {
  for (const Config& cfg : {kConfigs[0], kConfigs[4]}) {
    Caller c(cfg);
    c.report(1, 1000, 0);
    c.evaluate();
    c.solve();
    c.report(2, 1000, 0);
    const long counted = allocations_during([&] {
      while (c.istop == 0 && c.evaluated < 20000) {
        c.evaluate();
        c.solve();
        c.report(2, 1000, 0);
      }
    });
    EXPECT_EQ(counted, 0) << "n=" << cfg.n << " l=" << cfg.l << " o=" << cfg.o;
  }
}

// A run handle that cannot be made for lack of memory is a null pointer,
// never an exception; with memory back, handles are made again, and a run on
// one allocates nothing per call either.
TEST(Allocations, HandleCreationReportsShortMemoryAsNull) {
  refusing = true;
  kestro_context* refused = kestro_context_create();
  refusing = false;
  EXPECT_EQ(refused, nullptr);
  kestro_context_free(refused);  // a null handle is allowed

  kestro_context* ctx = kestro_context_create();
  ASSERT_NE(ctx, nullptr);
  Caller c(kConfigs[0]);
  auto solve = [&] {
    kestro_context_solve(ctx, &c.l, &c.o, &c.n, &c.ni, &c.m, &c.me, c.x.data(), c.f.data(),
                         c.g.data(), c.xl.data(), c.xu.data(), &c.iflag, &c.istop, c.param,
                         c.rw.data(), &c.lrw, c.iw.data(), &c.liw, c.pf.data(), &c.lpf);
  };
  c.evaluate();
  solve();
  const long counted = allocations_during([&] {
    for (int k = 0; k < 2000 && c.istop == 0; ++k) {
      c.evaluate();
      solve();
    }
  });
  EXPECT_EQ(counted, 0);
  EXPECT_EQ(c.istop, 0);
  kestro_context_free(ctx);
}

#if KESTRO_COUNT_MALLOC
// The counter sees what it must see: a vector's buffer, a C allocation.
TEST(Allocations, TheCounterSeesAllocations) {
  const long counted = allocations_during([] {
    std::vector<double> v(100);
    void* p = std::malloc(64);
    // Keeps the compiler from leaving out the pair of calls.
    asm volatile("" : : "g"(v.data()), "g"(p) : "memory");
    std::free(p);
  });
  EXPECT_GE(counted, 2);  // operator new counts once more through malloc
}
#endif

}  // namespace
