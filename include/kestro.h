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

/* Solver entry: books the evaluated block and returns the next one. PARAM is
 * read, and written in one case: with several objectives and BALANCE below 1
 * the first call sets PARAM(3) (FSTOP) to 0, since an objective target does
 * not apply to a scalarised run. */
KESTRO_API void kestro_(const int* l, const int* o, const int* n, const int* ni,
                        const int* m, const int* me, double* x, double* f,
                        double* g, const double* xl, const double* xu,
                        int* iflag, int* istop, double* param, double* rw,
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
    const double* xu, int* iflag, int* istop, double* param, double* rw,
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

/* ---- Pattern search ---------------------------------------------------- */

/* One call of the pattern-search phase: books the evaluated block, then
 * writes the next trial points into X, or, once the done flag is 1, the
 * phase's best point into X(1..N), F(1), G(1..M). Uses RW(1..4N+M+11) and
 * IW(1..N). t1 is the smallest step a failed pair may shrink to, t2 the step
 * tolerance at which the phase ends. */
KESTRO_API void i408_(const int* l, const int* n, const int* ni, const int* m,
                      const int* me, double* x, double* f, double* g,
                      const double* xl, const double* xu, int* phase,
                      int* done, const double* step, const double* t1,
                      const double* t2, double* rw, int* iw,
                      const double* acc, const double* preset_r,
                      const int* preset_i);

/* Best-point test: when merit < best merit the point (XP, GP, F) becomes the
 * base point in RW, the old best merit goes to prev_best and improved = 1. */
KESTRO_API void i412_(const double* merit, const double* f, const double* xp,
                      const double* gp, double* best_merit, double* rw,
                      const int* base_x, const int* base_g, const int* base_f,
                      const int* n, const int* m, int* improved,
                      double* prev_best);

/* Step update after a trial on continuous variable c: counts successes, and
 * after the minus trial (d = -1) grows or shrinks the step RW(steps+c-1). */
KESTRO_API void i417_(const int* d, const int* improved, const int* c,
                      double* rw, const int* steps, int* success_count,
                      const int* p, const double* min_step);

/* Exploratory trial: the base point with variable c moved by d times its
 * step, written into XP. */
KESTRO_API void i402_(double* xp, const double* rw, const int* d, const int* c,
                      const int* steps, const int* n, const int* base_x,
                      const int* improved, const int* pos, const int* p);

/* Random point around the base point, scaled by the steps over N. */
KESTRO_API void ol002_(double* xp, const int* n, double* rw, const int* steps,
                       const int* base_x);

/* Pattern point i of a pattern block: the base point moved along the
 * difference of the minus and plus trial merits; sets done = 1 instead when
 * every continuous step is at or below the tolerance. */
KESTRO_API void k19_(double* rw, const int* steps, int* done,
                     const int* base_x, int* pattern_blocks, int* stall_count,
                     const int* f_plus, const int* f_minus, double* xp,
                     int* c, int* phase, const int* n, const int* ni,
                     const int* i, const int* block_improved,
                     const double* tolerance, const double* preset_r,
                     const int* preset_i);

/* One draw; when it exceeds 0.99, continuous values of XP lying just above a
 * whole number are pushed toward it. */
KESTRO_API void io18_(double* xp, const int* n, const int* ni, double* rw);

/* ---- Residual, best point and archive ---------------------------------- */

/* Residual (constraint violation) of one point's M constraint values. */
KESTRO_API void o31_(double* res, const double* g, const int* m, const int* me,
                     const double* acc);

/* Replaces the best-point record after RW(BASE) by the point when it is
 * better; PF_, PG_, PX_, PR_ are the positions of F, G, X and the residual
 * inside the record. FLAG = 1 when it was replaced. */
KESTRO_API void i401_(const double* f, const double* g, const double* x,
                      double* rw, const int* pf, const int* pg, const int* px,
                      const int* pr, const int* n, const int* m, const int* me,
                      const int* base, const double* acc, int* flag);

/* Copies the best of the block's L points into every slot of the block. */
KESTRO_API void k22_(const int* l, const int* n, const int* m, const int* me,
                     double* f, double* g, double* x, const double* acc);

/* EVALSTOP accounting for one evaluated point; with IFLAG = 0 the point
 * becomes the reference. May set ISTOP = 1 and IFLAG 5 or 6. */
KESTRO_API void i405_(const double* f, const double* g, const int* m,
                      const int* me, const double* acc, const double* param,
                      int* istop, int* iflag);

/* Makes the integer variables of one point pairwise different, with
 * IW(IWK .. IWK+N-1) as scratch and the generator in RW(1..2). */
KESTRO_API void i409_(const int* n, const int* ni, double* x, const double* xl,
                      const double* xu, double* rw, int* iw, const int* iwk);

/* Writes the linear rank weights of K archive members to RW(BASE) ..
 * RW(BASE+K-1); the third argument is not read. */
KESTRO_API void o37_(const int* k, double* rw, const void* unused,
                     const int* base);

/* Positions of the colony's work area for N variables, M constraints and an
 * archive capacity K: run-best X, F, G, residual, oracle, then A0, AF, AR,
 * AP, W0, S0, C0 and the three cells after the spreads. */
KESTRO_API void o34_(const int* n, const int* m, int* run_best_x,
                     int* run_best_f, int* run_best_g, int* run_best_res,
                     int* oracle, const int* k, int* a0, int* af, int* ar,
                     int* ap, int* w0, int* s0, int* c0,
                     int* generation_reference, int* cycle_start_f,
                     int* cycle_start_res);

/* IW positions of the restart counter, ant count, archive size, generation
 * counter, ants generated, base and second ant counts, schedule length. */
KESTRO_API void o33_(int* restart_count, int* ants, int* archive_size,
                     int* generation, int* ants_generated, int* base_ants,
                     int* second_ants, int* schedule_length);

/* Oracle penalty of one point against the oracle value OMEGA. */
KESTRO_API void o27_(double* pen, const double* f, const double* res,
                     const double* omega, const double* acc);

/* Offers one point to the archive; it goes in when it beats the worst
 * member, ahead of members with an equal penalty. */
KESTRO_API void o36_(const int* n, const int* k, double* rw, const int* lrw,
                     const int* a0, const int* af, const int* ar, const int* ap,
                     const double* xp, const double* fp, const double* resp,
                     const double* penp);

/* Local acceptance of point I of the block against archive member 1; sets
 * IW(31+I) and, for I = L, IW(31). */
KESTRO_API void o13_(const int* l, const int* i, const int* n, double* rw,
                     const int* lrw, int* iw, const int* liw, const int* a0,
                     const int* af, const int* ar, const int* ap,
                     const double* xp, const double* fp, const double* resp,
                     const double* penp, const int* preset_i);

/* ---- Candidate sampling and coordinate search -------------------------- */

/* The Gaussian deviate B(max(1, trunc(31*u1))) * A(max(1, trunc(31*u2))) of
 * the two fixed 31-entry tables. */
KESTRO_API double o16_(const double* u1, const double* u2);

/* Writes the spreads sigma_1 .. sigma_N to RW(s0 ..) from archive members
 * 1 .. IW(k_cell) (points from RW(a0)) for generation IW(generation_cell). */
KESTRO_API void o21_(const int* n, const int* ni, double* rw, const int* lrw,
                     const int* s0, const int* a0, const int* iw,
                     const int* liw, const int* k_cell,
                     const int* generation_cell, const double* preset_r,
                     const int* preset_i);

/* Samples one point X(1..N) from the archive of k members: points from
 * RW(a0), spreads from RW(s0), cumulative rank weights c_0 at RW(c0). One
 * draw per variable. */
KESTRO_API void o28_(const int* n, const int* ni, const int* k, double* x,
                     const double* xl, const double* xu, double* rw,
                     const int* lrw, const int* a0, const int* s0,
                     const int* c0, const double* preset_r);

/* Samples one point X(1..N) around the run-best point RW(best_x ..) with the
 * scale (XU - XL)/focus, focus = abs(FOCUS). Two draws per variable. */
KESTRO_API void o35_(const int* n, const int* ni, double* x, const double* xl,
                     const double* xu, double* rw, const int* lrw,
                     const int* best_x, const double* focus,
                     const double* preset_r);

/* Samples one point X(1..N) around the run-best point RW(best_x ..) with the
 * focus divisor IW(10); an all-integer point equal to one of archive members
 * 1 .. compared is drawn afresh uniformly. Two draws per variable. */
KESTRO_API void o23_(const int* n, const int* ni, double* rw, const int* lrw,
                     const int* iw, const int* liw, const int* compared,
                     const int* a0, const int* best_x, double* x,
                     const double* xl, const double* xu, const double* focus,
                     const double* preset_r);

/* Samples one point X(1..N) uniformly in the box. One draw per variable. */
KESTRO_API void o30_(const int* n, const int* ni, double* x, const double* xl,
                     const double* xu, double* rw, const int* lrw);

/* Moves an all-integer point X(1..N) off the archive member it duplicates. */
KESTRO_API void o10_(const int* n, const int* ni, double* x, const double* xl,
                     const double* xu, double* rw, const int* lrw);

/* Writes the next coordinate-search move around archive member 1 into
 * XP(1..N) and sets the state code to -30, -31, -40 or -99 (run_out = 1). */
KESTRO_API void o32_(const int* l, const int* n, const int* ni, double* xp,
                     const double* xl, const double* xu, const int* a0,
                     const int* s0, double* rw, const int* lrw, int* iw,
                     const int* liw, int* state, int* run_out,
                     const double* preset_r, const int* preset_i);

/* Writes a random perturbation of archive member 1 into XP(1..N), scaled by
 * the generation IW(generation_cell). */
KESTRO_API void o24_(const int* n, const int* ni, double* xp, const double* xl,
                     const double* xu, double* rw, const int* lrw,
                     const int* iw, const int* liw, const int* generation_cell,
                     const int* compared, const int* a0,
                     const double* preset_r);

/* ---- Colony step -------------------------------------------------------- */

/* Colony step: books the evaluated block (archive, run-best point, objective
 * target) and writes the next block: a generation's samples, a coordinate
 * search or a restart. The two cells after ACC are not used. */
KESTRO_API void o11_(const int* l, const int* n, const int* ni, const int* m,
                     const int* me, double* x, double* f, double* g,
                     const double* xl, const double* xu, const double* acc,
                     int* cell1, int* cell2, int* state, const int* final_call,
                     double* rw, const int* lrw, int* iw, const int* liw,
                     const int* k, const double* oracle, const double* param,
                     double* pen, double* res, const double* preset_r,
                     const int* preset_i);

/* Parameters of a new restart cycle: focus divisor, ant counts, archive size,
 * schedule length, the cycle's oracle and an empty archive. */
KESTRO_API void o26_(const int* n, double* rw, const int* lrw,
                     const int* run_best_f, const int* run_best_res,
                     const int* oracle, const double* acc, const int* af,
                     const int* ar, const int* ap, int* iw, const int* liw,
                     const int* restart_count, const int* archive_size,
                     const int* base_ants, const int* second_ants,
                     const int* schedule_length, const double* oracle_in,
                     const double* param, const double* preset_r,
                     const int* preset_i);

/* Ant count of the current generation by the step schedule. */
KESTRO_API void o29_(int* iw, const int* liw, const int* generation,
                     const int* ants, const int* base_ants,
                     const int* second_ants, const int* schedule_length);

/* ---- Reporting ---------------------------------------------------------- */

/* The reporting entry: call it with STAGE 1 before the loop (it sets IFLAG
 * and ISTOP to 0, starts the clock, opens the files and prints the header)
 * and with STAGE 2 after every call of kestro_ (progress lines every
 * PRINTEVAL evaluations, the files, the final report; IFLAG = -999 when
 * MAXEVAL or MAXTIME is spent). Files, when SAVE2FILE > 0, in the current
 * directory: KESTRO_SCREEN.TXT, KESTRO_SOLUTION.TXT, KESTRO_PARETOFRONT.TXT
 * (O > 1) and, when SAVE2FILE > 1, KESTRO_HISTORY.TXT. The screen output
 * goes to the standard error stream. */
KESTRO_API void kestro_print_(const int* stage, const int* printeval,
                              const int* save2file, int* iflag, int* istop,
                              const double* f, const double* g, double* x,
                              const double* xl, const double* xu, const int* o,
                              const int* n, const int* ni, const int* m,
                              const int* me, const double* rw, const double* pf,
                              const int* maxeval, const int* maxtime,
                              const double* param, const int* l,
                              const int* timediv);

/* CPU time of the process in seconds, divided by L when TIMEDIV is 1. */
KESTRO_API void get_time_(double* t, const int* l, const int* timediv);

/* Closes an output unit (36 to 39), ending a pending record. */
KESTRO_API void close_output_(const int* unit);

/* Flushes an output unit (0, 36 to 39). */
KESTRO_API void flush_output_(const int* unit);

/* Writes the header block of a run to UNIT (0: the screen). */
KESTRO_API void print_head_(const int* l, const int* o, const int* n,
                            const int* ni, const int* m, const int* me,
                            const double* param, const int* maxeval,
                            const int* maxtime, const int* printeval,
                            const int* save2file, const int* unit);

/* Writes one progress line to UNIT. */
KESTRO_API void print_line_(const int* o, const int* eval, const double* time,
                            const double* f, const double* res,
                            const int* psize, const int* unit);

/* Writes the warning or input-error banner of IFLAG to UNIT. */
KESTRO_API void warnings_and_errors_(const int* iflag, const int* unit);

/* Writes the solution block of one point to UNIT; with O > 1, G holds the M
 * constraint values, the O objective magnitudes and the O sign flags. */
KESTRO_API void print_solution_(const int* o, const int* n, const int* m,
                                const int* me, const double* x,
                                const double* g, const double* f,
                                const double* res, const double* pf,
                                const double* xl, const double* xu,
                                const double* acc, const int* eval,
                                const double* time, const int* iflag,
                                const int* unit);

/* Writes the final report to UNIT; the residual shown is RW(IRES). */
KESTRO_API void print_final_(const int* iflag, const double* time,
                             const double* maxtime, const int* eval,
                             const int* maxeval, const int* o, const int* n,
                             const int* m, const int* me, const double* x,
                             const double* g, const double* f,
                             const double* xl, const double* xu,
                             const double* rw, const double* acc,
                             const int* ires, const double* pf,
                             const double* param, const int* unit);

/* Writes KESTRO_PARETOFRONT.TXT through KESTRO_PARETOFRONT.tmp on UNIT: the
 * displayed point (X, G) and the entries of PF, a front of capacity PMAX. */
KESTRO_API void print_paretofront_(const int* o, const int* m, const int* n,
                                   const double* pf, const double* x,
                                   const double* g, const int* pmax,
                                   const int* unit);

/* Keeps KESTRO_HISTORY.TXT on UNIT: one row per evaluated point, restarted
 * every SAVE2FILE calls and closed when ISTOP > 0. */
KESTRO_API void save_history_(const int* save2file, const int* l, const int* o,
                              const int* n, const int* m, const double* f,
                              const double* g, const double* x,
                              const int* unit, const int* iflag,
                              const int* istop);

/* The meaning of an IFLAG value in plain words (a static, NUL-terminated
 * string; "unknown code" for values the library never gives). */
KESTRO_API const char* kestro_iflag_text(const int* iflag);

/* ---- Checkpoints -------------------------------------------------------- */

/**
 * @brief Saves the run to a checkpoint file between two calls of kestro_.
 *
 * Call it after a call of kestro_ (and of kestro_print_) has returned and
 * before the next one, with the same arguments as that call. The file holds
 * the library's whole saved state of the run (solver, multi-objective layer
 * and reporting, including which report files are open and how far they are
 * written), the sizes, X, F, G, XL, XU, IFLAG, ISTOP, PARAM, RW, IW, PF and
 * LEXTRA values of the caller's own. It is written to PATH.tmp, flushed to
 * the disk and renamed over PATH, so PATH is only ever replaced by a complete
 * file. Saving changes nothing of the run.
 *
 * @param path   file name, a NUL-terminated string
 * @param l      block size L
 * @param o      number of objectives O
 * @param n      number of variables N
 * @param ni     number of integer variables NI
 * @param m      number of constraints M
 * @param me     number of equality constraints ME
 * @param x      the block X, L*N values
 * @param f      objective values F, L*O values
 * @param g      constraint values G, L*M values
 * @param xl     lower bounds, N values
 * @param xu     upper bounds, N values
 * @param iflag  IFLAG as the last call left it
 * @param istop  ISTOP as the last call left it
 * @param param  the 13 PARAM values
 * @param rw     real workspace, LRW values
 * @param lrw    length of RW
 * @param iw     integer workspace, LIW values
 * @param liw    length of IW
 * @param pf     Pareto-front store, LPF values
 * @param lpf    length of PF
 * @param extra  LEXTRA values of the caller's own kept with the run (may be
 *               null when LEXTRA is 0)
 * @param lextra length of EXTRA, 0 or more
 * @param status set to 0 when the file was written, else to a code that
 *               kestro_checkpoint_text() explains (1 missing argument, 2
 *               sizes other than those of the run in progress, 3 the file
 *               could not be written)
 */
KESTRO_API void kestro_save_(const char* path, const int* l, const int* o,
                             const int* n, const int* ni, const int* m,
                             const int* me, const double* x, const double* f,
                             const double* g, const double* xl,
                             const double* xu, const int* iflag,
                             const int* istop, const double* param,
                             const double* rw, const int* lrw, const int* iw,
                             const int* liw, const double* pf, const int* lpf,
                             const double* extra, const int* lextra,
                             int* status);

/**
 * @brief Loads a run saved by kestro_save_, in this or another process.
 *
 * The sizes (L, O, N, NI, M, ME, LRW, LIW, LPF, LEXTRA) must be those the
 * file was saved with. On success the library's state is that of the saved
 * run, the arrays hold the saved values and the report files that were open
 * are open again and continue (lines written after the save are cut off);
 * then carry on with the loop: evaluate the block in X and call kestro_.
 * Do not call kestro_print_ with STAGE 1 again. On any refusal nothing
 * changes: neither the library's state nor any of the arrays.
 *
 * @param path   file name, a NUL-terminated string
 * @param l      block size L
 * @param o      number of objectives O
 * @param n      number of variables N
 * @param ni     number of integer variables NI
 * @param m      number of constraints M
 * @param me     number of equality constraints ME
 * @param x      receives the block X, L*N values
 * @param f      receives F, L*O values
 * @param g      receives G, L*M values
 * @param xl     receives the lower bounds, N values
 * @param xu     receives the upper bounds, N values
 * @param iflag  receives IFLAG
 * @param istop  receives ISTOP
 * @param param  receives the 13 PARAM values
 * @param rw     receives the real workspace, LRW values
 * @param lrw    length of RW
 * @param iw     receives the integer workspace, LIW values
 * @param liw    length of IW
 * @param pf     receives the Pareto-front store, LPF values
 * @param lpf    length of PF
 * @param extra  receives the caller's LEXTRA values
 * @param lextra length of EXTRA, as saved
 * @param status set to 0 when the run was loaded, else to a code that
 *               kestro_checkpoint_text() explains (1 missing argument, 4
 *               cannot open or read, 5 not a checkpoint, 6 other format
 *               version, 7 other build layout, 8 truncated, 9 checksum
 *               mismatch, 10 other sizes, 11 inconsistent content, 12 no
 *               memory)
 */
KESTRO_API void kestro_load_(const char* path, const int* l, const int* o,
                             const int* n, const int* ni, const int* m,
                             const int* me, double* x, double* f, double* g,
                             double* xl, double* xu, int* iflag, int* istop,
                             double* param, double* rw, const int* lrw,
                             int* iw, const int* liw, double* pf,
                             const int* lpf, double* extra, const int* lextra,
                             int* status);

/**
 * @brief The meaning of a status of kestro_save_ or kestro_load_ in words.
 *
 * @param status the status code
 * @return a static, NUL-terminated string ("unknown checkpoint status" for a
 *         code the library never gives)
 */
KESTRO_API const char* kestro_checkpoint_text(const int* status);

/* ---- Multi-objective layer ---------------------------------------------- */

/* Multi-objective driver, called by the kernel driver when O > 1: offers the
 * block's feasible points to the Pareto front in PF, scalarises each point,
 * runs o15_ with M + 2O constraints (the objective magnitudes and sign flags
 * as always-satisfied extra columns) and, when the run ends, writes the best
 * point's signed objectives to F(1..O) and its constraints to G(1..M).
 * PARAM(3) FSTOP is set to 0 for a run with BALANCE below 1. Besides the
 * values the regions are named for, it keeps the weights in the spare part
 * of the objlo region, the best point's objectives in that of objhi and
 * 2O scratch values in that of fblock (each region has U spare values). */
KESTRO_API void o12_(const int* l, const int* o, const int* n, const int* ni,
                     const int* m, const int* me, double* x, double* f,
                     double* g, const double* xl, const double* xu,
                     int* iflag, int* istop, double* param, double* rw,
                     const int* lrw, int* iw, const int* liw, double* pf,
                     double* pen, double* res, double* gblock, double* fblock,
                     double* objlo, double* objhi, double* step, double* dist,
                     double* dist2);

/* Offers one point (F, G, X) to the Pareto front whose three blocks are
 * given; updates PSIZE, the blocks, the front's minima and maxima,
 * front_shift and the three flags. ADDED = 1 when the point passed the
 * dominance and outlier tests. Serves O up to 1000 when called directly. */
KESTRO_API void i410_(const int* o, const int* n, const int* m, const double* f,
                      const double* g, const double* x, double* objectives,
                      double* constraints, double* variables, int* psize,
                      const int* front_capacity, const double* front_epsilon,
                      double* objlo, double* objhi, double* front_shift,
                      const int* offered_count, const int* objective_ignored,
                      int* bounds_changed, double* relative_bound_change,
                      int* added);

/* Removes entry J of the front: entry PSIZE moves into slot J, PSIZE
 * decreases by 1. */
KESTRO_API void ol004_(const int* o, const int* m, const int* n,
                       double* objectives, double* constraints,
                       double* variables, int* psize, const int* j);

/* Books one movement of a front bound: sets the bounds-changed flag, lowers
 * front_shift and records the relative size of the movement. */
KESTRO_API void o9_(double* front_shift, const double* new_bound,
                    const double* old_bound, const int* o,
                    const int* offered_count, int* bounds_changed,
                    double* relative_bound_change);

/* User weights from the decimal digits of abs(BALANCE). */
KESTRO_API void o6_(const int* o, double* weights, const double* balance);

/* Scalar value of one objective vector: F(trunc(balance)) when balance >= 1,
 * else its weighted, range-normalised distance from the front's minima. */
KESTRO_API void o1_(const int* o, const double* f, const double* r,
                    const double* acc, const double* objlo,
                    const double* objhi, const double* balance,
                    const double* shift, const double* weights, double* result,
                    const int* offered_count);

/* Residual (constraint violation) of one point's M constraint values, the
 * first ME of them equalities. */
KESTRO_API void i403_(const double* g, const int* m, const int* me,
                      const double* acc, double* result);

/* Weight-mode switch: MODE 0 starts it for a run, MODE 1 books one point's
 * user-weighted value U and random-weighted value Z; draws new random
 * weights from the generator in RW(1..2) after a stagnation. */
KESTRO_API void ol001_(const int* mode, const int* o, const int* n,
                       const double* u, const double* z,
                       const int* bounds_changed, const int* psize, double* rw,
                       int* weight_mode, const int* objective_ignored,
                       double* random_shift, double* random_weights);

/* Best-point steering of one evaluated point: adjusts its user-weighted
 * value S against the best point and may replace its F, G and X by a front
 * member from PF (a front of capacity FRONT_CAPACITY). */
KESTRO_API void io17_(const int* o, const int* m, const int* n, double* s,
                      double* f, double* g, double* x, const double* r,
                      const double* accuracy, const double* best_scalar,
                      const double* best_residual,
                      const double* best_objectives, const double* pf,
                      const int* front_capacity, const double* objlo,
                      const double* objhi, const double* weights,
                      const double* balance, int* steer_started,
                      const int* weight_mode, const int* added,
                      const int* bounds_changed,
                      const double* relative_bound_change,
                      const int* offered_count);

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
