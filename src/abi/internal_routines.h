/*
 * The library's internal routines, one by one: every routine of the solver,
 * the multi-objective layer and the reports that the shared library exports
 * under its short name besides the entries of kestro.h. They are exported so
 * that they can be called and checked one at a time; they are not installed,
 * and a program that solves a problem needs only kestro.h.
 *
 * Arrays are described with 1-based positions: RW(k) is rw[k - 1], and a
 * "position in RW" is such a k. The routines that keep saved state (the
 * kernel main loop, the colony step, the pattern search, the multi-objective
 * layer, the report writers) work on the process default context, the one
 * behind kestro_ and kestro_print_.
 */
#ifndef KESTRO_INTERNAL_ROUTINES_H
#define KESTRO_INTERNAL_ROUTINES_H

#include "kestro.h"

#ifdef __cplusplus
extern "C" {
#endif

/**
 * Checks the workspace lengths and the multi-objective parameters.
 *
 * \param l      block size L (points per call)
 * \param o      number of objectives O
 * \param n      number of variables N
 * \param m      number of constraints M
 * \param lrw    the length of RW
 * \param liw    the length of IW
 * \param lpf    the length of PF
 * \param pf     the Pareto-front array PF
 * \param param  the 13 PARAM values
 * \param iflag  the information flag IFLAG
 * \param istop  the stop flag ISTOP
 */
KESTRO_API void precheck_(const int* l, const int* o, const int* n, const int* m, const int* lrw,
                          const int* liw, const int* lpf, double* pf, const double* param,
                          int* iflag, int* istop);

/**
 * Cleans the block's values and hands it to the single- or multi-objective
 * kernel; note F and G come before X.
 *
 * \param l            block size L (points per call)
 * \param o            number of objectives O
 * \param n            number of variables N
 * \param ni           number of integer variables NI (the last NI variables)
 * \param m            number of constraints M
 * \param me           number of equality constraints ME (the first ME constraints)
 * \param f            the objective values F
 * \param g            the constraint values G
 * \param x            the points X, N values per point
 * \param xl           the N lower bounds XL
 * \param xu           the N upper bounds XU
 * \param iflag        the information flag IFLAG
 * \param istop        the stop flag ISTOP
 * \param param        the 13 PARAM values
 * \param rw           the real workspace RW
 * \param lrw          the length of RW
 * \param iw           the integer workspace IW
 * \param liw          the length of IW
 * \param pf           the Pareto-front array PF
 * \param lpf          the length of PF
 * \param pen_base     start in RW of the penalty row
 * \param res_base     start in RW of the residual row
 * \param gblock_base  start in RW of the kernel copy of G
 * \param fblock_base  start in RW of the kernel objective row
 * \param objlo_base   start in RW of the front minima
 * \param objhi_base   start in RW of the front maxima
 * \param step_base    start in RW of the pattern-search steps
 * \param dist_base    start in RW of the user-weighted values
 * \param dist2_base   start in RW of the random-weighted values
 */
KESTRO_API void kestro_kernel_driver_(
    const int* l, const int* o, const int* n, const int* ni, const int* m, const int* me, double* f,
    double* g, double* x, const double* xl, const double* xu, int* iflag, int* istop, double* param,
    double* rw, const int* lrw, int* iw, const int* liw, double* pf, const int* lpf,
    const int* pen_base, const int* res_base, const int* gblock_base, const int* fblock_base,
    const int* objlo_base, const int* objhi_base, const int* step_base, const int* dist_base,
    const int* dist2_base);

/**
 * Cleans one point's O objective values and M constraint values.
 *
 * \param fp  the point's O objective values; cleaned in place
 * \param gp  the point's M constraint values; cleaned in place
 * \param o   number of objectives O
 * \param m   number of constraints M
 */
KESTRO_API void io7_(double* fp, double* gp, const int* o, const int* m);

/**
 * Cleans one point's O objective values.
 *
 * \param fp  the point's O objective values; cleaned in place
 * \param o   number of objectives O
 */
KESTRO_API void io7_lomfy_(double* fp, const int* o);

/* ---- Input validation -------------------------------------------------- */

/**
 * Validates sizes, start point, bounds and PARAM on the first call of a run;
 * fixes the archive size, best_base and the kernel's integer-area length, and
 * clears the kernel's workspace.
 *
 * \param l      block size L (points per call)
 * \param o      number of objectives O
 * \param n      number of variables N
 * \param ni     number of integer variables NI (the last NI variables)
 * \param m      number of constraints M
 * \param me     number of equality constraints ME (the first ME constraints)
 * \param x      the points X, N values per point
 * \param f      the objective values F
 * \param g      the constraint values G
 * \param xl     the N lower bounds XL
 * \param xu     the N upper bounds XU
 * \param iflag  the information flag IFLAG
 * \param istop  the stop flag ISTOP
 * \param param  the 13 PARAM values
 * \param rw     the real workspace RW
 * \param lrw    the length of RW
 * \param iw     the integer workspace IW
 * \param liw    the length of IW
 * \param k      receives the archive size
 * \param base   receives best_base, the start of the global-best record
 * \param iwk    receives the length of the kernel's integer area
 * \param warn   receives 1 when a warning was found, else 0
 */
KESTRO_API void o19_(const int* l, const int* o, const int* n, const int* ni, const int* m,
                     const int* me, const double* x, const double* f, const double* g,
                     const double* xl, const double* xu, int* iflag, int* istop,
                     const double* param, double* rw, const int* lrw, int* iw, const int* liw,
                     int* k, int* base, int* iwk, int* warn);

/* ---- Numeric helpers and random generator ------------------------------ */

/**
 * The large value standing for a failed evaluation (1e98).
 *
 * \return the large value 1e98
 */
KESTRO_API double i305_(void);

/**
 * Draws one number from the lagged generator whose state is state[0..1].
 *
 * \param state  the generator state, two values; advanced
 * \return the number drawn, between 0 and 1
 */
KESTRO_API double o25_(double* state);

/**
 * Seeds the generator state from PARAM(2).
 *
 * \param state  receives the generator state, two values
 * \param param  the 13 PARAM values (PARAM(2) is the seed)
 */
KESTRO_API void ol003_(double* state, const double* param);

/**
 * 1 unless one value is strictly greater than the other, else 0.
 *
 * \param a  the first value
 * \param b  the second value
 * \return 1 unless one value is strictly greater than the other, else 0
 */
KESTRO_API int same_(const double* a, const double* b);

/**
 * Same as same_.
 *
 * \param a  the first value
 * \param b  the second value
 * \return 1 unless one value is strictly greater than the other, else 0
 */
KESTRO_API int i301_(const double* a, const double* b);

/**
 * 1 when x is NaN, else 0.
 *
 * \param x  the value
 * \return 1 when x is NaN, else 0
 */
KESTRO_API int i304_(const double* x);

/**
 * Floor of x, built from the nearest whole number.
 *
 * \param x  the value
 * \return the floor of x
 */
KESTRO_API double io27_(const double* x);

/**
 * Relative difference abs(a - b) / max(abs(b), 1, abs(a)).
 *
 * \param a  the first value
 * \param b  the second value
 * \return the relative difference
 */
KESTRO_API double rio5_(const double* a, const double* b);

/**
 * 1 when the point failed: F >= LARGE or some G(j) <= -LARGE.
 *
 * \param f  the point's objective value
 * \param g  the point's M constraint values
 * \param m  number of constraints M
 * \return 1 when the point failed, else 0
 */
KESTRO_API int k31_(const double* f, const double* g, const int* m);

/**
 * Sets STATE = 7 when the objective target FSTOP is met by a feasible point.
 *
 * \param f      the point's objective value
 * \param param  the 13 PARAM values
 * \param res    the point's residual
 * \param acc    the feasibility tolerance ACC
 * \param state  set to 7 when the target is met
 */
KESTRO_API void o22_(const double* f, const double* param, const double* res, const double* acc,
                     int* state);

/* ---- Tuning presets ---------------------------------------------------- */

/**
 * Installs the tuning preset of a stage into PRESET_R(1..17) and
 * PRESET_I(1..16): the table of the problem's character (PARAM(13), or chosen
 * from N and NI when it is 0), adjusted for blocks of L > 1 points. A run's
 * first request has kernel_calls = 1 and is always applied; after it the next
 * request is applied, then one more unless it asks for stage 2; any other
 * request leaves the records unchanged.
 *
 * \param l             block size L (points per call)
 * \param n             number of variables N
 * \param ni            number of integer variables NI (the last NI variables)
 * \param preset_r      the real tuning preset PRESET_R(1..17)
 * \param preset_i      the integer tuning preset PRESET_I(1..16)
 * \param param         the 13 PARAM values
 * \param stage         the stage whose preset is requested, 1 to 3
 * \param kernel_calls  the number of kernel calls of the run so far
 */
KESTRO_API void o17_(const int* l, const int* n, const int* ni, double* preset_r, int* preset_i,
                     const double* param, const int* stage, const int* kernel_calls);

/**
 * Fills buffer(1..33) with the stage-1 preset of character 1, 2 or 3.
 *
 * \param character  the character, 1 to 3
 * \param buffer     receives the 33 preset values
 */
KESTRO_API void o3_(const int* character, double* buffer);

/**
 * Fills buffer(1..33) with the stage-2 preset of character 1, 2 or 3.
 *
 * \param character  the character, 1 to 3
 * \param buffer     receives the 33 preset values
 */
KESTRO_API void o4_(const int* character, double* buffer);

/**
 * Fills buffer(1..33) with the stage-3 preset of character 1, 2 or 3.
 *
 * \param character  the character, 1 to 3
 * \param buffer     receives the 33 preset values
 */
KESTRO_API void o5_(const int* character, double* buffer);

/**
 * Adjusts a 33-value preset in place for blocks of L points and clamps every
 * value into its fixed range.
 *
 * \param stage      the stage of the search, 1 to 3
 * \param character  the character of the problem, 1 to 3
 * \param l          block size L (points per call)
 * \param buffer     the 33 preset values; adjusted in place
 */
KESTRO_API void t5_(const int* stage, const int* character, const int* l, double* buffer);

/**
 * Fills multipliers(1..33) with the stage-1 block-size multipliers of
 * character 1 or 2.
 *
 * \param character    the character, 1 or 2
 * \param multipliers  receives the 33 multipliers
 */
KESTRO_API void io13_(const int* character, double* multipliers);

/**
 * Fills multipliers(1..33) with the stage-2 block-size multipliers of
 * character 1 or 2.
 *
 * \param character    the character, 1 or 2
 * \param multipliers  receives the 33 multipliers
 */
KESTRO_API void io12_(const int* character, double* multipliers);

/* ---- Pattern search ---------------------------------------------------- */

/**
 * One call of the pattern-search phase: books the evaluated block, then
 * writes the next trial points into X, or, once the done flag is 1, the
 * phase's best point into X(1..N), F(1), G(1..M). Uses RW(1..4N+M+11) and
 * IW(1..N). t1 is the smallest step a failed pair may shrink to, t2 the step
 * tolerance at which the phase ends.
 *
 * \param l         block size L (points per call)
 * \param n         number of variables N
 * \param ni        number of integer variables NI (the last NI variables)
 * \param m         number of constraints M
 * \param me        number of equality constraints ME (the first ME constraints)
 * \param x         the points X, N values per point
 * \param f         the objective values F
 * \param g         the constraint values G
 * \param xl        the N lower bounds XL
 * \param xu        the N upper bounds XU
 * \param phase     the phase of the pattern search
 * \param done      set to 1 when the phase has ended
 * \param step      the step row of the pattern search
 * \param t1        the smallest step a failed pair may shrink to
 * \param t2        the step tolerance at which the phase ends
 * \param rw        the real workspace RW
 * \param iw        the integer workspace IW
 * \param acc       the feasibility tolerance ACC
 * \param preset_r  the real tuning preset PRESET_R(1..17)
 * \param preset_i  the integer tuning preset PRESET_I(1..16)
 */
KESTRO_API void i408_(const int* l, const int* n, const int* ni, const int* m, const int* me,
                      double* x, double* f, double* g, const double* xl, const double* xu,
                      int* phase, int* done, const double* step, const double* t1, const double* t2,
                      double* rw, int* iw, const double* acc, const double* preset_r,
                      const int* preset_i);

/**
 * Best-point test: when merit < best merit the point (XP, GP, F) becomes the
 * base point in RW, the old best merit goes to prev_best and improved = 1.
 *
 * \param merit       the point's merit
 * \param f           the point's objective value
 * \param xp          one point XP(1..N)
 * \param gp          one point's constraint values
 * \param best_merit  the best merit so far; updated
 * \param rw          the real workspace RW
 * \param base_x      position in RW of the base point X
 * \param base_g      position in RW of the base point G
 * \param base_f      position in RW of the base point F
 * \param n           number of variables N
 * \param m           number of constraints M
 * \param improved    1 when the trial improved the base point
 * \param prev_best   receives the old best merit
 */
KESTRO_API void i412_(const double* merit, const double* f, const double* xp, const double* gp,
                      double* best_merit, double* rw, const int* base_x, const int* base_g,
                      const int* base_f, const int* n, const int* m, int* improved,
                      double* prev_best);

/**
 * Step update after a trial on continuous variable c: counts successes, and
 * after the minus trial (d = -1) grows or shrinks the step RW(steps+c-1).
 *
 * \param d              the direction of the trial, -1 or 1
 * \param improved       1 when the trial improved the base point
 * \param c              the variable
 * \param rw             the real workspace RW
 * \param steps          position in RW of the step of each variable
 * \param success_count  the count of successful trials; updated
 * \param p              the block size L
 * \param min_step       the smallest step
 */
KESTRO_API void i417_(const int* d, const int* improved, const int* c, double* rw, const int* steps,
                      int* success_count, const int* p, const double* min_step);

/**
 * Exploratory trial: the base point with variable c moved by d times its
 * step, written into XP.
 *
 * \param xp        receives the trial point, N values
 * \param rw        the real workspace RW
 * \param d         the direction of the trial, -1 or 1
 * \param c         the variable
 * \param steps     position in RW of the step of each variable
 * \param n         number of variables N
 * \param base_x    position in RW of the base point X
 * \param improved  1 when the trial improved the base point
 * \param pos       the position of the variable in the trial order
 * \param p         the block size L
 */
KESTRO_API void i402_(double* xp, const double* rw, const int* d, const int* c, const int* steps,
                      const int* n, const int* base_x, const int* improved, const int* pos,
                      const int* p);

/**
 * Random point around the base point, scaled by the steps over N.
 *
 * \param xp      receives the random point, N values
 * \param n       number of variables N
 * \param rw      the real workspace RW
 * \param steps   position in RW of the step of each variable
 * \param base_x  position in RW of the base point X
 */
KESTRO_API void ol002_(double* xp, const int* n, double* rw, const int* steps, const int* base_x);

/**
 * Pattern point i of a pattern block: the base point moved along the
 * difference of the minus and plus trial merits; sets done = 1 instead when
 * every continuous step is at or below the tolerance.
 *
 * \param rw              the real workspace RW
 * \param steps           position in RW of the step of each variable
 * \param done            set to 1 when the phase has ended
 * \param base_x          position in RW of the base point X
 * \param pattern_blocks  the count of pattern blocks; updated
 * \param stall_count     the count of pattern blocks without improvement; updated
 * \param f_plus          position in RW of the plus-trial merits
 * \param f_minus         position in RW of the minus-trial merits
 * \param xp              receives the pattern point, N values
 * \param c               the variable moved last; updated
 * \param phase           the phase of the pattern search
 * \param n               number of variables N
 * \param ni              number of integer variables NI (the last NI variables)
 * \param i               the index of the pattern point in the block
 * \param block_improved  1 when the last block improved the base point
 * \param tolerance       the step tolerance
 * \param preset_r        the real tuning preset PRESET_R(1..17)
 * \param preset_i        the integer tuning preset PRESET_I(1..16)
 */
KESTRO_API void k19_(double* rw, const int* steps, int* done, const int* base_x,
                     int* pattern_blocks, int* stall_count, const int* f_plus, const int* f_minus,
                     double* xp, int* c, int* phase, const int* n, const int* ni, const int* i,
                     const int* block_improved, const double* tolerance, const double* preset_r,
                     const int* preset_i);

/**
 * One draw; when it exceeds 0.99, continuous values of XP lying just above a
 * whole number are pushed toward it.
 *
 * \param xp  the point, N values; adjusted in place
 * \param n   number of variables N
 * \param ni  number of integer variables NI (the last NI variables)
 * \param rw  the real workspace RW
 */
KESTRO_API void io18_(double* xp, const int* n, const int* ni, double* rw);

/* ---- Residual, best point and archive ---------------------------------- */

/**
 * Residual (constraint violation) of one point's M constraint values.
 *
 * \param res  receives the residual
 * \param g    the point's M constraint values
 * \param m    number of constraints M
 * \param me   number of equality constraints ME (the first ME constraints)
 * \param acc  the feasibility tolerance ACC
 */
KESTRO_API void o31_(double* res, const double* g, const int* m, const int* me, const double* acc);

/**
 * Replaces the best-point record after RW(BASE) by the point when it is
 * better; PF_, PG_, PX_, PR_ are the positions of F, G, X and the residual
 * inside the record. FLAG = 1 when it was replaced.
 *
 * \param f     the point's objective value
 * \param g     the point's M constraint values
 * \param x     the point's N variables
 * \param rw    the real workspace RW
 * \param pf    position of F inside the record
 * \param pg    position of G inside the record
 * \param px    position of X inside the record
 * \param pr    position of the residual inside the record
 * \param n     number of variables N
 * \param m     number of constraints M
 * \param me    number of equality constraints ME (the first ME constraints)
 * \param base  position in RW after which the best-point record starts
 * \param acc   the feasibility tolerance ACC
 * \param flag  receives 1 when the record was replaced, else 0
 */
KESTRO_API void i401_(const double* f, const double* g, const double* x, double* rw, const int* pf,
                      const int* pg, const int* px, const int* pr, const int* n, const int* m,
                      const int* me, const int* base, const double* acc, int* flag);

/**
 * Copies the best of the block's L points into every slot of the block.
 *
 * \param l    block size L (points per call)
 * \param n    number of variables N
 * \param m    number of constraints M
 * \param me   number of equality constraints ME (the first ME constraints)
 * \param f    the objective values F
 * \param g    the constraint values G
 * \param x    the L points of the block
 * \param acc  the feasibility tolerance ACC
 */
KESTRO_API void k22_(const int* l, const int* n, const int* m, const int* me, double* f, double* g,
                     double* x, const double* acc);

/**
 * EVALSTOP accounting for one evaluated point; with IFLAG = 0 the point
 * becomes the reference. May set ISTOP = 1 and IFLAG 5 or 6.
 *
 * \param f      the point's objective value
 * \param g      the point's M constraint values
 * \param m      number of constraints M
 * \param me     number of equality constraints ME (the first ME constraints)
 * \param acc    the feasibility tolerance ACC
 * \param param  the 13 PARAM values
 * \param istop  the stop flag ISTOP
 * \param iflag  the information flag IFLAG
 */
KESTRO_API void i405_(const double* f, const double* g, const int* m, const int* me,
                      const double* acc, const double* param, int* istop, int* iflag);

/**
 * Makes the integer variables of one point pairwise different, with
 * IW(IWK .. IWK+N-1) as scratch and the generator in RW(1..2).
 *
 * \param n    number of variables N
 * \param ni   number of integer variables NI (the last NI variables)
 * \param x    the point, N values; repaired in place
 * \param xl   the N lower bounds XL
 * \param xu   the N upper bounds XU
 * \param rw   the real workspace RW
 * \param iw   the integer workspace IW
 * \param iwk  position in IW of the scratch area
 */
KESTRO_API void i409_(const int* n, const int* ni, double* x, const double* xl, const double* xu,
                      double* rw, int* iw, const int* iwk);

/**
 * Writes the linear rank weights of K archive members to RW(BASE) ..
 * RW(BASE+K-1); the third argument is not read.
 *
 * \param k       the number K of archive members
 * \param rw      the real workspace RW
 * \param unused  not read
 * \param base    position in RW of the first weight
 */
KESTRO_API void o37_(const int* k, double* rw, const void* unused, const int* base);

/**
 * Positions of the colony's work area for N variables, M constraints and an
 * archive capacity K: run-best X, F, G, residual, oracle, then A0, AF, AR,
 * AP, W0, S0, C0 and the three cells after the spreads.
 *
 * \param n                     number of variables N
 * \param m                     number of constraints M
 * \param run_best_x            receives the position in RW of the run-best X
 * \param run_best_f            receives the position in RW of the run-best F
 * \param run_best_g            receives the position in RW of the run-best G
 * \param run_best_res          receives the position in RW of the run-best residual
 * \param oracle                receives the position in RW of the oracle value
 * \param k                     the archive capacity
 * \param a0                    receives the position in RW of the archive points
 * \param af                    receives the position in RW of the archive objective values
 * \param ar                    receives the position in RW of the archive residuals
 * \param ap                    receives the position in RW of the archive penalties
 * \param w0                    receives the position in RW of the rank weights
 * \param s0                    receives the position in RW of the spreads
 * \param c0                    receives the position in RW of the cumulative rank weights
 * \param generation_reference  receives the position in RW of the generation reference
 * \param cycle_start_f         receives the position in RW of F at the start of the cycle
 * \param cycle_start_res       receives the position in RW of the residual at the start of the
 * cycle
 */
KESTRO_API void o34_(const int* n, const int* m, int* run_best_x, int* run_best_f, int* run_best_g,
                     int* run_best_res, int* oracle, const int* k, int* a0, int* af, int* ar,
                     int* ap, int* w0, int* s0, int* c0, int* generation_reference,
                     int* cycle_start_f, int* cycle_start_res);

/**
 * IW positions of the restart counter, ant count, archive size, generation
 * counter, ants generated, base and second ant counts, schedule length.
 *
 * \param restart_count    receives the position in IW of the restart counter
 * \param ants             receives the position in IW of the ant count
 * \param archive_size     receives the position in IW of the archive size
 * \param generation       receives the position in IW of the generation counter
 * \param ants_generated   receives the position in IW of the ants generated so far
 * \param base_ants        receives the position in IW of the base ant count
 * \param second_ants      receives the position in IW of the second ant count
 * \param schedule_length  receives the position in IW of the schedule length
 */
KESTRO_API void o33_(int* restart_count, int* ants, int* archive_size, int* generation,
                     int* ants_generated, int* base_ants, int* second_ants, int* schedule_length);

/**
 * Oracle penalty of one point against the oracle value OMEGA.
 *
 * \param pen    receives the penalty
 * \param f      the point's objective value
 * \param res    the point's residual
 * \param omega  the oracle value
 * \param acc    the feasibility tolerance ACC
 */
KESTRO_API void o27_(double* pen, const double* f, const double* res, const double* omega,
                     const double* acc);

/**
 * Offers one point to the archive; it goes in when it beats the worst
 * member, ahead of members with an equal penalty.
 *
 * \param n     number of variables N
 * \param k     the archive size
 * \param rw    the real workspace RW
 * \param lrw   the length of RW
 * \param a0    position in RW of the archive points
 * \param af    position in RW of the archive objective values
 * \param ar    position in RW of the archive residuals
 * \param ap    position in RW of the archive penalties
 * \param xp    the point's N variables
 * \param fp    the point's objective value
 * \param resp  the point's residual
 * \param penp  the point's penalty
 */
KESTRO_API void o36_(const int* n, const int* k, double* rw, const int* lrw, const int* a0,
                     const int* af, const int* ar, const int* ap, const double* xp,
                     const double* fp, const double* resp, const double* penp);

/**
 * Local acceptance of point I of the block against archive member 1; sets
 * IW(31+I) and, for I = L, IW(31).
 *
 * \param l         block size L (points per call)
 * \param i         the index of the point in the block
 * \param n         number of variables N
 * \param rw        the real workspace RW
 * \param lrw       the length of RW
 * \param iw        the integer workspace IW
 * \param liw       the length of IW
 * \param a0        position in RW of the archive points
 * \param af        position in RW of the archive objective values
 * \param ar        position in RW of the archive residuals
 * \param ap        position in RW of the archive penalties
 * \param xp        the point's N variables
 * \param fp        the point's objective value
 * \param resp      the point's residual
 * \param penp      the point's penalty
 * \param preset_i  the integer tuning preset PRESET_I(1..16)
 */
KESTRO_API void o13_(const int* l, const int* i, const int* n, double* rw, const int* lrw, int* iw,
                     const int* liw, const int* a0, const int* af, const int* ar, const int* ap,
                     const double* xp, const double* fp, const double* resp, const double* penp,
                     const int* preset_i);

/* ---- Candidate sampling and coordinate search -------------------------- */

/**
 * The Gaussian deviate B(max(1, trunc(31*u1))) * A(max(1, trunc(31*u2))) of
 * the two fixed 31-entry tables.
 *
 * \param u1  the first uniform draw, 0 to 1
 * \param u2  the second uniform draw, 0 to 1
 * \return the Gaussian deviate
 */
KESTRO_API double o16_(const double* u1, const double* u2);

/**
 * Writes the spreads sigma_1 .. sigma_N to RW(s0 ..) from archive members
 * 1 .. IW(k_cell) (points from RW(a0)) for generation IW(generation_cell).
 *
 * \param n                number of variables N
 * \param ni               number of integer variables NI (the last NI variables)
 * \param rw               the real workspace RW
 * \param lrw              the length of RW
 * \param s0               position in RW of the spreads
 * \param a0               position in RW of the archive points
 * \param iw               the integer workspace IW
 * \param liw              the length of IW
 * \param k_cell           position in IW of the number of archive members
 * \param generation_cell  position in IW of the generation counter
 * \param preset_r         the real tuning preset PRESET_R(1..17)
 * \param preset_i         the integer tuning preset PRESET_I(1..16)
 */
KESTRO_API void o21_(const int* n, const int* ni, double* rw, const int* lrw, const int* s0,
                     const int* a0, const int* iw, const int* liw, const int* k_cell,
                     const int* generation_cell, const double* preset_r, const int* preset_i);

/**
 * Samples one point X(1..N) from the archive of k members: points from
 * RW(a0), spreads from RW(s0), cumulative rank weights c_0 at RW(c0). One
 * draw per variable.
 *
 * \param n         number of variables N
 * \param ni        number of integer variables NI (the last NI variables)
 * \param k         the archive size
 * \param x         receives the sampled point, N values
 * \param xl        the N lower bounds XL
 * \param xu        the N upper bounds XU
 * \param rw        the real workspace RW
 * \param lrw       the length of RW
 * \param a0        position in RW of the archive points
 * \param s0        position in RW of the spreads
 * \param c0        position in RW of the cumulative rank weights
 * \param preset_r  the real tuning preset PRESET_R(1..17)
 */
KESTRO_API void o28_(const int* n, const int* ni, const int* k, double* x, const double* xl,
                     const double* xu, double* rw, const int* lrw, const int* a0, const int* s0,
                     const int* c0, const double* preset_r);

/**
 * Samples one point X(1..N) around the run-best point RW(best_x ..) with the
 * scale (XU - XL)/focus, focus = abs(FOCUS). Two draws per variable.
 *
 * \param n         number of variables N
 * \param ni        number of integer variables NI (the last NI variables)
 * \param x         receives the sampled point, N values
 * \param xl        the N lower bounds XL
 * \param xu        the N upper bounds XU
 * \param rw        the real workspace RW
 * \param lrw       the length of RW
 * \param best_x    position in RW of the run-best point X
 * \param focus     abs(FOCUS)
 * \param preset_r  the real tuning preset PRESET_R(1..17)
 */
KESTRO_API void o35_(const int* n, const int* ni, double* x, const double* xl, const double* xu,
                     double* rw, const int* lrw, const int* best_x, const double* focus,
                     const double* preset_r);

/**
 * Samples one point X(1..N) around the run-best point RW(best_x ..) with the
 * focus divisor IW(10); an all-integer point equal to one of archive members
 * 1 .. compared is drawn afresh uniformly. Two draws per variable.
 *
 * \param n         number of variables N
 * \param ni        number of integer variables NI (the last NI variables)
 * \param rw        the real workspace RW
 * \param lrw       the length of RW
 * \param iw        the integer workspace IW
 * \param liw       the length of IW
 * \param compared  the number of archive members compared
 * \param a0        position in RW of the archive points
 * \param best_x    position in RW of the run-best point X
 * \param x         receives the sampled point, N values
 * \param xl        the N lower bounds XL
 * \param xu        the N upper bounds XU
 * \param focus     abs(FOCUS)
 * \param preset_r  the real tuning preset PRESET_R(1..17)
 */
KESTRO_API void o23_(const int* n, const int* ni, double* rw, const int* lrw, const int* iw,
                     const int* liw, const int* compared, const int* a0, const int* best_x,
                     double* x, const double* xl, const double* xu, const double* focus,
                     const double* preset_r);

/**
 * Samples one point X(1..N) uniformly in the box. One draw per variable.
 *
 * \param n    number of variables N
 * \param ni   number of integer variables NI (the last NI variables)
 * \param x    receives the sampled point, N values
 * \param xl   the N lower bounds XL
 * \param xu   the N upper bounds XU
 * \param rw   the real workspace RW
 * \param lrw  the length of RW
 */
KESTRO_API void o30_(const int* n, const int* ni, double* x, const double* xl, const double* xu,
                     double* rw, const int* lrw);

/**
 * Moves an all-integer point X(1..N) off the archive member it duplicates.
 *
 * \param n    number of variables N
 * \param ni   number of integer variables NI (the last NI variables)
 * \param x    the point, N values; moved in place
 * \param xl   the N lower bounds XL
 * \param xu   the N upper bounds XU
 * \param rw   the real workspace RW
 * \param lrw  the length of RW
 */
KESTRO_API void o10_(const int* n, const int* ni, double* x, const double* xl, const double* xu,
                     double* rw, const int* lrw);

/**
 * Writes the next coordinate-search move around archive member 1 into
 * XP(1..N) and sets the state code to -30, -31, -40 or -99 (run_out = 1).
 *
 * \param l         block size L (points per call)
 * \param n         number of variables N
 * \param ni        number of integer variables NI (the last NI variables)
 * \param xp        receives the next move, N values
 * \param xl        the N lower bounds XL
 * \param xu        the N upper bounds XU
 * \param a0        position in RW of the archive points
 * \param s0        position in RW of the spreads
 * \param rw        the real workspace RW
 * \param lrw       the length of RW
 * \param iw        the integer workspace IW
 * \param liw       the length of IW
 * \param state     receives the state code: -30, -31, -40 or -99
 * \param run_out   receives 1 when the coordinate search has run out
 * \param preset_r  the real tuning preset PRESET_R(1..17)
 * \param preset_i  the integer tuning preset PRESET_I(1..16)
 */
KESTRO_API void o32_(const int* l, const int* n, const int* ni, double* xp, const double* xl,
                     const double* xu, const int* a0, const int* s0, double* rw, const int* lrw,
                     int* iw, const int* liw, int* state, int* run_out, const double* preset_r,
                     const int* preset_i);

/**
 * Writes a random perturbation of archive member 1 into XP(1..N), scaled by
 * the generation IW(generation_cell).
 *
 * \param n                number of variables N
 * \param ni               number of integer variables NI (the last NI variables)
 * \param xp               receives the perturbed point, N values
 * \param xl               the N lower bounds XL
 * \param xu               the N upper bounds XU
 * \param rw               the real workspace RW
 * \param lrw              the length of RW
 * \param iw               the integer workspace IW
 * \param liw              the length of IW
 * \param generation_cell  position in IW of the generation counter
 * \param compared         the number of archive members compared
 * \param a0               position in RW of the archive points
 * \param preset_r         the real tuning preset PRESET_R(1..17)
 */
KESTRO_API void o24_(const int* n, const int* ni, double* xp, const double* xl, const double* xu,
                     double* rw, const int* lrw, const int* iw, const int* liw,
                     const int* generation_cell, const int* compared, const int* a0,
                     const double* preset_r);

/* ---- Colony step -------------------------------------------------------- */

/**
 * Colony step: books the evaluated block (archive, run-best point, objective
 * target) and writes the next block: a generation's samples, a coordinate
 * search or a restart. The two cells after ACC are not used.
 *
 * \param l           block size L (points per call)
 * \param n           number of variables N
 * \param ni          number of integer variables NI (the last NI variables)
 * \param m           number of constraints M
 * \param me          number of equality constraints ME (the first ME constraints)
 * \param x           the points X, N values per point
 * \param f           the objective values F
 * \param g           the constraint values G
 * \param xl          the N lower bounds XL
 * \param xu          the N upper bounds XU
 * \param acc         the feasibility tolerance ACC
 * \param cell1       not used
 * \param cell2       not used
 * \param state       the kernel state code
 * \param final_call  1 on the final call of the run
 * \param rw          the real workspace RW
 * \param lrw         the length of RW
 * \param iw          the integer workspace IW
 * \param liw         the length of IW
 * \param k           the archive size
 * \param oracle      the oracle value
 * \param param       the 13 PARAM values
 * \param pen         the penalty row of the block
 * \param res         the residual row of the block
 * \param preset_r    the real tuning preset PRESET_R(1..17)
 * \param preset_i    the integer tuning preset PRESET_I(1..16)
 */
KESTRO_API void o11_(const int* l, const int* n, const int* ni, const int* m, const int* me,
                     double* x, double* f, double* g, const double* xl, const double* xu,
                     const double* acc, int* cell1, int* cell2, int* state, const int* final_call,
                     double* rw, const int* lrw, int* iw, const int* liw, const int* k,
                     const double* oracle, const double* param, double* pen, double* res,
                     const double* preset_r, const int* preset_i);

/**
 * Parameters of a new restart cycle: focus divisor, ant counts, archive size,
 * schedule length, the cycle's oracle and an empty archive.
 *
 * \param n                number of variables N
 * \param rw               the real workspace RW
 * \param lrw              the length of RW
 * \param run_best_f       position in RW of the run-best objective value
 * \param run_best_res     position in RW of the run-best residual
 * \param oracle           position in RW of the oracle value
 * \param acc              the feasibility tolerance ACC
 * \param af               position in RW of the archive objective values
 * \param ar               position in RW of the archive residuals
 * \param ap               position in RW of the archive penalties
 * \param iw               the integer workspace IW
 * \param liw              the length of IW
 * \param restart_count    position in IW of the restart counter
 * \param archive_size     position in IW of the archive size
 * \param base_ants        position in IW of the base ant count
 * \param second_ants      position in IW of the second ant count
 * \param schedule_length  position in IW of the length of the ant schedule
 * \param oracle_in        the oracle value handed in
 * \param param            the 13 PARAM values
 * \param preset_r         the real tuning preset PRESET_R(1..17)
 * \param preset_i         the integer tuning preset PRESET_I(1..16)
 */
KESTRO_API void o26_(const int* n, double* rw, const int* lrw, const int* run_best_f,
                     const int* run_best_res, const int* oracle, const double* acc, const int* af,
                     const int* ar, const int* ap, int* iw, const int* liw,
                     const int* restart_count, const int* archive_size, const int* base_ants,
                     const int* second_ants, const int* schedule_length, const double* oracle_in,
                     const double* param, const double* preset_r, const int* preset_i);

/**
 * Ant count of the current generation by the step schedule.
 *
 * \param iw               the integer workspace IW
 * \param liw              the length of IW
 * \param generation       position in IW of the generation counter
 * \param ants             position in IW of the ant count
 * \param base_ants        position in IW of the base ant count
 * \param second_ants      position in IW of the second ant count
 * \param schedule_length  position in IW of the length of the ant schedule
 */
KESTRO_API void o29_(int* iw, const int* liw, const int* generation, const int* ants,
                     const int* base_ants, const int* second_ants, const int* schedule_length);

/**
 * CPU time of the process in seconds, divided by L when TIMEDIV is 1.
 *
 * \param t        receives the CPU time in seconds
 * \param l        block size L (points per call)
 * \param timediv  1: the CPU time is divided by L
 */
KESTRO_API void get_time_(double* t, const int* l, const int* timediv);

/**
 * Closes an output unit (36 to 39), ending a pending record.
 *
 * \param unit  the unit, 36 to 39
 */
KESTRO_API void close_output_(const int* unit);

/**
 * Flushes an output unit (0, 36 to 39).
 *
 * \param unit  the unit, 0 or 36 to 39
 */
KESTRO_API void flush_output_(const int* unit);

/**
 * Writes the header block of a run to UNIT (0: the screen).
 *
 * \param l          block size L (points per call)
 * \param o          number of objectives O
 * \param n          number of variables N
 * \param ni         number of integer variables NI (the last NI variables)
 * \param m          number of constraints M
 * \param me         number of equality constraints ME (the first ME constraints)
 * \param param      the 13 PARAM values
 * \param maxeval    the evaluation budget MAXEVAL
 * \param maxtime    the time budget MAXTIME in seconds
 * \param printeval  PRINTEVAL of the reporting entry
 * \param save2file  SAVE2FILE of the reporting entry
 * \param unit       the output unit: 0 the screen, 36 the screen copy
 */
KESTRO_API void print_head_(const int* l, const int* o, const int* n, const int* ni, const int* m,
                            const int* me, const double* param, const int* maxeval,
                            const int* maxtime, const int* printeval, const int* save2file,
                            const int* unit);

/**
 * Writes one progress line to UNIT.
 *
 * \param o      number of objectives O
 * \param eval   the number of evaluations so far
 * \param time   the CPU seconds of the run so far
 * \param f      the objective (or progress) value shown
 * \param res    the residual shown
 * \param psize  the size of the front shown (O > 1)
 * \param unit   the output unit: 0 the screen, 36 to 39 the files
 */
KESTRO_API void print_line_(const int* o, const int* eval, const double* time, const double* f,
                            const double* res, const int* psize, const int* unit);

/**
 * Writes the warning or input-error banner of IFLAG to UNIT.
 *
 * \param iflag  the warning or error code
 * \param unit   the output unit: 0 the screen, 36 to 39 the files
 */
KESTRO_API void warnings_and_errors_(const int* iflag, const int* unit);

/**
 * Writes the solution block of one point to UNIT; with O > 1, G holds the M
 * constraint values, the O objective magnitudes and the O sign flags.
 *
 * \param o      number of objectives O
 * \param n      number of variables N
 * \param m      number of constraints M
 * \param me     number of equality constraints ME (the first ME constraints)
 * \param x      the N variables of the point
 * \param g      the M constraint values, with O > 1 followed by the O objective magnitudes and the
 * O sign flags \param f      the objective value, or with O > 1 the scalar progress value \param
 * res    the residual of the point \param pf     the Pareto-front array PF \param xl     the N
 * lower bounds XL \param xu     the N upper bounds XU \param acc    the feasibility tolerance ACC
 * \param eval   the number of evaluations so far
 * \param time   the CPU seconds of the run so far
 * \param iflag  the IFLAG shown
 * \param unit   the output unit: 0 the screen, 36 to 39 the files
 */
KESTRO_API void print_solution_(const int* o, const int* n, const int* m, const int* me,
                                const double* x, const double* g, const double* f,
                                const double* res, const double* pf, const double* xl,
                                const double* xu, const double* acc, const int* eval,
                                const double* time, const int* iflag, const int* unit);

/**
 * Writes the final report to UNIT; the residual shown is RW(IRES).
 *
 * \param iflag    the final IFLAG
 * \param time     the CPU seconds of the run so far
 * \param maxtime  the time budget in seconds
 * \param eval     the number of evaluations so far
 * \param maxeval  the evaluation budget MAXEVAL
 * \param o        number of objectives O
 * \param n        number of variables N
 * \param m        number of constraints M
 * \param me       number of equality constraints ME (the first ME constraints)
 * \param x        the N variables of the best point
 * \param g        the M constraint values, with O > 1 followed by 2O objective entries
 * \param f        the objective value shown
 * \param xl       the N lower bounds XL
 * \param xu       the N upper bounds XU
 * \param rw       the real workspace RW
 * \param acc      the feasibility tolerance ACC
 * \param ires     position in RW of the global-best residual
 * \param pf       the Pareto-front array PF
 * \param param    the 13 PARAM values
 * \param unit     the output unit: 0 the screen, 36 to 39 the files
 */
KESTRO_API void print_final_(const int* iflag, const double* time, const double* maxtime,
                             const int* eval, const int* maxeval, const int* o, const int* n,
                             const int* m, const int* me, const double* x, const double* g,
                             const double* f, const double* xl, const double* xu, const double* rw,
                             const double* acc, const int* ires, const double* pf,
                             const double* param, const int* unit);

/**
 * Writes KESTRO_PARETOFRONT.TXT through KESTRO_PARETOFRONT.tmp.XXXXXX on UNIT: the
 * displayed point (X, G) and the entries of PF, a front of capacity PMAX.
 *
 * \param o     number of objectives O
 * \param m     number of constraints M
 * \param n     number of variables N
 * \param pf    the Pareto-front array PF
 * \param x     the N variables of the displayed point
 * \param g     the M constraint values of the displayed point and its 2O objective entries
 * \param pmax  the capacity P of the front
 * \param unit  the output unit: 0 the screen, 36 to 39 the files
 */
KESTRO_API void print_paretofront_(const int* o, const int* m, const int* n, const double* pf,
                                   const double* x, const double* g, const int* pmax,
                                   const int* unit);

/**
 * Keeps KESTRO_HISTORY.TXT on UNIT: one row per evaluated point, restarted
 * every SAVE2FILE calls and closed when ISTOP > 0.
 *
 * \param save2file  SAVE2FILE of the reporting entry
 * \param l          block size L (points per call)
 * \param o          number of objectives O
 * \param n          number of variables N
 * \param m          number of constraints M
 * \param f          the L*O objective values of the evaluated block
 * \param g          the L*M constraint values of the evaluated block
 * \param x          the L points handed back by kestro_
 * \param unit       the output unit of the history file (39)
 * \param iflag      the information flag IFLAG
 * \param istop      the stop flag ISTOP
 */
KESTRO_API void save_history_(const int* save2file, const int* l, const int* o, const int* n,
                              const int* m, const double* f, const double* g, const double* x,
                              const int* unit, const int* iflag, const int* istop);

/* ---- Multi-objective layer ---------------------------------------------- */

/**
 * Multi-objective driver, called by the kernel driver when O > 1: offers the
 * block's feasible points to the Pareto front in PF, scalarises each point,
 * runs o15_ with M + 2O constraints (the objective magnitudes and sign flags
 * as always-satisfied extra columns) and, when the run ends, writes the best
 * point's signed objectives to F(1..O) and its constraints to G(1..M).
 * PARAM(3) FSTOP is set to 0 for a run with BALANCE below 1. Besides the
 * values the regions are named for, it keeps the weights in the spare part
 * of the objlo region, the best point's objectives in that of objhi and
 * 2O scratch values in that of fblock (each region has U spare values).
 *
 * \param l       block size L (points per call)
 * \param o       number of objectives O
 * \param n       number of variables N
 * \param ni      number of integer variables NI (the last NI variables)
 * \param m       number of constraints M
 * \param me      number of equality constraints ME (the first ME constraints)
 * \param x       the points X, N values per point
 * \param f       the objective values F
 * \param g       the constraint values G
 * \param xl      the N lower bounds XL
 * \param xu      the N upper bounds XU
 * \param iflag   the information flag IFLAG
 * \param istop   the stop flag ISTOP
 * \param param   the 13 PARAM values
 * \param rw      the real workspace RW
 * \param lrw     the length of RW
 * \param iw      the integer workspace IW
 * \param liw     the length of IW
 * \param pf      the Pareto-front array PF
 * \param pen     the penalty row of the block
 * \param res     the residual (constraint violation)
 * \param gblock  the kernel copy of G with 2O extra columns
 * \param fblock  the kernel objective row
 * \param objlo   the minima of the front (and the weights in the spare part)
 * \param objhi   the maxima of the front (and the best point's objectives in the spare part)
 * \param step    the step row of the pattern search
 * \param dist    the user-weighted values of the block
 * \param dist2   the random-weighted values of the block
 */
KESTRO_API void o12_(const int* l, const int* o, const int* n, const int* ni, const int* m,
                     const int* me, double* x, double* f, double* g, const double* xl,
                     const double* xu, int* iflag, int* istop, double* param, double* rw,
                     const int* lrw, int* iw, const int* liw, double* pf, double* pen, double* res,
                     double* gblock, double* fblock, double* objlo, double* objhi, double* step,
                     double* dist, double* dist2);

/**
 * Offers one point (F, G, X) to the Pareto front whose three blocks are
 * given; updates PSIZE, the blocks, the front's minima and maxima,
 * front_shift and the three flags. ADDED = 1 when the point passed the
 * dominance and outlier tests. Serves O up to 1000 when called directly.
 *
 * \param o                      number of objectives O
 * \param n                      number of variables N
 * \param m                      number of constraints M
 * \param f                      the point's O objective values
 * \param g                      the point's M constraint values
 * \param x                      the point's N variables
 * \param objectives             the objective block of the front
 * \param constraints            the constraint block of the front
 * \param variables              the variable block of the front
 * \param psize                  the number of entries of the front
 * \param front_capacity         the capacity P of the front
 * \param front_epsilon          the relative tolerance of the dominance test
 * \param objlo                  the smallest value of each objective over the front
 * \param objhi                  the largest value of each objective over the front
 * \param front_shift            the offset of the scalar values, lowered when a front bound moves
 * \param offered_count          the number of points offered to the front so far
 * \param objective_ignored      per objective, 1 when it is left out of the dominance test
 * \param bounds_changed         set to 1 when a bound of the front moved
 * \param relative_bound_change  the relative size of the last movement of a front bound
 * \param added                  1 when the point passed the dominance and outlier tests
 */
KESTRO_API void i410_(const int* o, const int* n, const int* m, const double* f, const double* g,
                      const double* x, double* objectives, double* constraints, double* variables,
                      int* psize, const int* front_capacity, const double* front_epsilon,
                      double* objlo, double* objhi, double* front_shift, const int* offered_count,
                      const int* objective_ignored, int* bounds_changed,
                      double* relative_bound_change, int* added);

/**
 * Removes entry J of the front: entry PSIZE moves into slot J, PSIZE
 * decreases by 1.
 *
 * \param o            number of objectives O
 * \param m            number of constraints M
 * \param n            number of variables N
 * \param objectives   the objective block of the front
 * \param constraints  the constraint block of the front
 * \param variables    the variable block of the front
 * \param psize        the number of entries of the front
 * \param j            the entry to remove
 */
KESTRO_API void ol004_(const int* o, const int* m, const int* n, double* objectives,
                       double* constraints, double* variables, int* psize, const int* j);

/**
 * Books one movement of a front bound: sets the bounds-changed flag, lowers
 * front_shift and records the relative size of the movement.
 *
 * \param front_shift            the offset of the scalar values, lowered when a front bound moves
 * \param new_bound              the new value of the bound
 * \param old_bound              the old value of the bound
 * \param o                      number of objectives O
 * \param offered_count          the number of points offered to the front so far
 * \param bounds_changed         set to 1 when a bound of the front moved
 * \param relative_bound_change  the relative size of the last movement of a front bound
 */
KESTRO_API void o9_(double* front_shift, const double* new_bound, const double* old_bound,
                    const int* o, const int* offered_count, int* bounds_changed,
                    double* relative_bound_change);

/**
 * User weights from the decimal digits of abs(BALANCE).
 *
 * \param o        number of objectives O
 * \param weights  the O user weights
 * \param balance  abs(BALANCE)
 */
KESTRO_API void o6_(const int* o, double* weights, const double* balance);

/**
 * Scalar value of one objective vector: F(trunc(balance)) when balance >= 1,
 * else its weighted, range-normalised distance from the front's minima.
 *
 * \param o              number of objectives O
 * \param f              the point's O objective values
 * \param r              the residual of the point
 * \param acc            the feasibility tolerance ACC
 * \param objlo          the smallest value of each objective over the front
 * \param objhi          the largest value of each objective over the front
 * \param balance        abs(BALANCE), PARAM(12)
 * \param shift          the offset added to the value
 * \param weights        the O weights
 * \param result         receives the value
 * \param offered_count  the number of points offered to the front so far
 */
KESTRO_API void o1_(const int* o, const double* f, const double* r, const double* acc,
                    const double* objlo, const double* objhi, const double* balance,
                    const double* shift, const double* weights, double* result,
                    const int* offered_count);

/**
 * Residual (constraint violation) of one point's M constraint values, the
 * first ME of them equalities.
 *
 * \param g       the point's M constraint values
 * \param m       number of constraints M
 * \param me      number of equality constraints ME (the first ME constraints)
 * \param acc     the feasibility tolerance ACC
 * \param result  receives the residual
 */
KESTRO_API void i403_(const double* g, const int* m, const int* me, const double* acc,
                      double* result);

/**
 * Weight-mode switch: MODE 0 starts it for a run, MODE 1 books one point's
 * user-weighted value U and random-weighted value Z; draws new random
 * weights from the generator in RW(1..2) after a stagnation.
 *
 * \param mode               0 starts the switch for a run, 1 books one point
 * \param o                  number of objectives O
 * \param n                  number of variables N
 * \param u                  the point's user-weighted value
 * \param z                  the point's random-weighted value
 * \param bounds_changed     set to 1 when a bound of the front moved
 * \param psize              the number of entries of the front
 * \param rw                 the real workspace RW
 * \param weight_mode        1 while the user weights are in force, 2 for random weights
 * \param objective_ignored  per objective, 1 when it is left out of the dominance test
 * \param random_shift       the offset of the random-weighted values
 * \param random_weights     the O random weights
 */
KESTRO_API void ol001_(const int* mode, const int* o, const int* n, const double* u,
                       const double* z, const int* bounds_changed, const int* psize, double* rw,
                       int* weight_mode, const int* objective_ignored, double* random_shift,
                       double* random_weights);

/**
 * Best-point steering of one evaluated point: adjusts its user-weighted
 * value S against the best point and may replace its F, G and X by a front
 * member from PF (a front of capacity FRONT_CAPACITY).
 *
 * \param o                      number of objectives O
 * \param m                      number of constraints M
 * \param n                      number of variables N
 * \param s                      the point's user-weighted value; adjusted
 * \param f                      the point's O objective values; may be replaced
 * \param g                      the point's M constraint values; may be replaced
 * \param x                      the point's N variables; may be replaced
 * \param r                      the residual of the point
 * \param accuracy               the feasibility tolerance ACC
 * \param best_scalar            the best point's user-weighted value
 * \param best_residual          the best point's residual
 * \param best_objectives        the best point's O objective values
 * \param pf                     the Pareto-front array PF
 * \param front_capacity         the capacity P of the front
 * \param objlo                  the smallest value of each objective over the front
 * \param objhi                  the largest value of each objective over the front
 * \param weights                the O user weights
 * \param balance                abs(BALANCE), PARAM(12)
 * \param steer_started          set to 1 once the steering has begun
 * \param weight_mode            1 while the user weights are in force, 2 for random weights
 * \param added                  1 when the point passed the dominance and outlier tests
 * \param bounds_changed         set to 1 when a bound of the front moved
 * \param relative_bound_change  the relative size of the last movement of a front bound
 * \param offered_count          the number of points offered to the front so far
 */
KESTRO_API void io17_(const int* o, const int* m, const int* n, double* s, double* f, double* g,
                      double* x, const double* r, const double* accuracy, const double* best_scalar,
                      const double* best_residual, const double* best_objectives, const double* pf,
                      const int* front_capacity, const double* objlo, const double* objhi,
                      const double* weights, const double* balance, int* steer_started,
                      const int* weight_mode, const int* added, const int* bounds_changed,
                      const double* relative_bound_change, const int* offered_count);

/* ---- Kernel main loop --------------------------------------------------- */

/**
 * Single-objective kernel: one call per block.
 *
 * \param l      block size L (points per call)
 * \param o      number of objectives O
 * \param n      number of variables N
 * \param ni     number of integer variables NI (the last NI variables)
 * \param m      number of constraints M
 * \param me     number of equality constraints ME (the first ME constraints)
 * \param x      the points X, N values per point
 * \param f      the objective values F
 * \param g      the constraint values G
 * \param xl     the N lower bounds XL
 * \param xu     the N upper bounds XU
 * \param iflag  the information flag IFLAG
 * \param istop  the stop flag ISTOP
 * \param param  the 13 PARAM values
 * \param rw     the real workspace RW
 * \param lrw    the length of RW
 * \param iw     the integer workspace IW
 * \param liw    the length of IW
 * \param pen    the penalty row of the block
 * \param res    the residual (constraint violation)
 * \param step   the step row of the pattern search
 */
KESTRO_API void o15_(const int* l, const int* o, const int* n, const int* ni, const int* m,
                     const int* me, double* x, double* f, double* g, const double* xl,
                     const double* xu, int* iflag, int* istop, const double* param, double* rw,
                     const int* lrw, int* iw, const int* liw, double* pen, double* res,
                     double* step);

#ifdef __cplusplus
}
#endif

#endif /* KESTRO_INTERNAL_ROUTINES_H */
