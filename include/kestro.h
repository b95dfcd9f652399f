/*
 * Kestro: derivative-free optimisation of mixed-integer, constrained,
 * single- and multi-objective black-box problems.
 *
 * The C ABI. Every routine takes every argument by pointer (so Fortran and
 * other languages call it as they call any by-reference routine), arrays are
 * counted from 1 in the documentation, integers are 32-bit signed and reals
 * are IEEE 64-bit.
 *
 * The caller owns the loop (reverse communication):
 *
 *   iflag = 0; istop = 0;                   fill param[13]; put L points in x
 *   evaluate f and g for the L points of x
 *   while (1) {
 *     kestro_(&l, &o, &n, &ni, &m, &me, x, f, g, xl, xu, &iflag, &istop,
 *             param, rw, &lrw, iw, &liw, pf, &lpf);
 *     if (istop == 1) break;                x, f, g: best point; iflag: reason
 *     evaluate f and g for the L points of x
 *   }
 *
 * Between calls the caller leaves iflag, istop, rw, iw and pf untouched,
 * except for setting iflag = -999 (or istop = 1) to end the run early.
 *
 * Minimum workspace lengths:
 *   LRW >= 120N + 20M + L(M + 2O + 20) + O(O + 20) + 4990
 *   LIW >= L + 3N + 990
 *   LPF >  P(N + M + O) when O > 1, P the front capacity.
 *
 * One run per process is active at a time through this interface; calls must
 * not overlap.
 */
#ifndef KESTRO_H
#define KESTRO_H

#if defined(KESTRO_BUILDING_LIBRARY)
#define KESTRO_API __attribute__((visibility("default")))
#else
#define KESTRO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Solver entry and kernel driver ------------------------------------ */

/* Solver entry: books the evaluated block and returns the next one. */
KESTRO_API void kestro_(const int* l, const int* o, const int* n, const int* ni,
                        const int* m, const int* me, double* x, double* f,
                        double* g, const double* xl, const double* xu,
                        int* iflag, int* istop, const double* param, double* rw,
                        const int* lrw, int* iw, const int* liw, double* pf,
                        const int* lpf);

/* Checks the workspace lengths and the multi-objective parameters. */
KESTRO_API void precheck_(const int* l, const int* o, const int* n,
                          const int* m, const int* lrw, const int* liw,
                          const int* lpf, double* pf, const double* param,
                          int* iflag, int* istop);

/* Cleans the block's values and hands it to the single- or multi-objective
 * kernel; note F and G come before X. */
KESTRO_API void kestro_kernel_driver_(
    const int* l, const int* o, const int* n, const int* ni, const int* m,
    const int* me, double* f, double* g, double* x, const double* xl,
    const double* xu, int* iflag, int* istop, const double* param, double* rw,
    const int* lrw, int* iw, const int* liw, double* pf, const int* lpf,
    const int* pen_base, const int* res_base, const int* gblock_base,
    const int* fblock_base, const int* objlo_base, const int* objhi_base,
    const int* step_base, const int* dist_base, const int* dist2_base);

/* Cleans one point's O objective values and M constraint values. */
KESTRO_API void io7_(double* fp, double* gp, const int* o, const int* m);

/* Cleans one point's O objective values. */
KESTRO_API void io7_lomfy_(double* fp, const int* o);

/* ---- Input validation -------------------------------------------------- */

/* Validates sizes, start point, bounds and PARAM on the first call of a run;
 * fixes the archive size, best_base and the kernel's integer-area length, and
 * clears the kernel's workspace. */
KESTRO_API void o19_(const int* l, const int* o, const int* n, const int* ni,
                     const int* m, const int* me, const double* x,
                     const double* f, const double* g, const double* xl,
                     const double* xu, int* iflag, int* istop,
                     const double* param, double* rw, const int* lrw, int* iw,
                     const int* liw, int* k, int* base, int* iwk, int* warn);

/* ---- Numeric helpers and random generator ------------------------------ */

/* The large value standing for a failed evaluation (1e98). */
KESTRO_API double i305_(void);

/* Draws one number from the lagged generator whose state is state[0..1]. */
KESTRO_API double o25_(double* state);

/* Seeds the generator state from PARAM(2). */
KESTRO_API void ol003_(double* state, const double* param);

/* 1 unless one value is strictly greater than the other, else 0. */
KESTRO_API int same_(const double* a, const double* b);

/* Same as same_. */
KESTRO_API int i301_(const double* a, const double* b);

/* 1 when x is NaN, else 0. */
KESTRO_API int i304_(const double* x);

/* Floor of x, built from the nearest whole number. */
KESTRO_API double io27_(const double* x);

/* Relative difference abs(a - b) / max(abs(b), 1, abs(a)). */
KESTRO_API double rio5_(const double* a, const double* b);

/* 1 when the point failed: F >= LARGE or some G(j) <= -LARGE. */
KESTRO_API int k31_(const double* f, const double* g, const int* m);

/* Sets STATE = 7 when the objective target FSTOP is met by a feasible point. */
KESTRO_API void o22_(const double* f, const double* param, const double* res,
                     const double* acc, int* state);

/* ---- Tuning presets ---------------------------------------------------- */

/* Installs the tuning preset of a stage into PRESET_R(1..17) and
 * PRESET_I(1..16): the table of the problem's character (PARAM(13), or chosen
 * from N and NI when it is 0), adjusted for blocks of L > 1 points. A run's
 * first request has kernel_calls = 1 and is always applied; after it the next
 * request is applied, then one more unless it asks for stage 2; any other
 * request leaves the records unchanged. */
KESTRO_API void o17_(const int* l, const int* n, const int* ni, double* preset_r,
                     int* preset_i, const double* param, const int* stage,
                     const int* kernel_calls);

/* Fills buffer(1..33) with the stage-1 preset of character 1, 2 or 3. */
KESTRO_API void o3_(const int* character, double* buffer);

/* Fills buffer(1..33) with the stage-2 preset of character 1, 2 or 3. */
KESTRO_API void o4_(const int* character, double* buffer);

/* Fills buffer(1..33) with the stage-3 preset of character 1, 2 or 3. */
KESTRO_API void o5_(const int* character, double* buffer);

/* Adjusts a 33-value preset in place for blocks of L points and clamps every
 * value into its fixed range. */
KESTRO_API void t5_(const int* stage, const int* character, const int* l,
                    double* buffer);

/* Fills multipliers(1..33) with the stage-1 block-size multipliers of
 * character 1 or 2. */
KESTRO_API void io13_(const int* character, double* multipliers);

/* Fills multipliers(1..33) with the stage-2 block-size multipliers of
 * character 1 or 2. */
KESTRO_API void io12_(const int* character, double* multipliers);

/* ---- Kernel main loop --------------------------------------------------- */

/* Single-objective kernel: one call per block. */
KESTRO_API void o15_(const int* l, const int* o, const int* n, const int* ni,
                     const int* m, const int* me, double* x, double* f,
                     double* g, const double* xl, const double* xu, int* iflag,
                     int* istop, const double* param, double* rw,
                     const int* lrw, int* iw, const int* liw, double* pen,
                     double* res, double* step);

#ifdef __cplusplus
}
#endif

#endif /* KESTRO_H */
