/**
 * \file kestro.h
 * \brief The C ABI of Kestro: derivative-free optimisation of mixed-integer,
 * constrained, single- and multi-objective black-box problems.
 *
 * The C ABI. Every routine takes every argument by pointer (so Fortran and
 * other languages call it as they call any by-reference routine), arrays are
 * counted from 1 in the documentation, integers are 32-bit signed and reals
 * are IEEE 64-bit.
 *
 * The caller owns the loop (reverse communication):
 *
 * \code
 *   iflag = 0; istop = 0;                   fill param[13]; put L points in x
 *   evaluate f and g for the L points of x
 *   while (1) {
 *     kestro_(&l, &o, &n, &ni, &m, &me, x, f, g, xl, xu, &iflag, &istop,
 *             param, rw, &lrw, iw, &liw, pf, &lpf);
 *     if (istop == 1) break;                x, f, g: best point; iflag: reason
 *     evaluate f and g for the L points of x
 *   }
 * \endcode
 *
 * Between calls the caller leaves iflag, istop, rw, iw and pf untouched,
 * except for setting iflag = -999 (or istop = 1) to end the run early.
 *
 * Minimum workspace lengths:
 * - LRW >= 120N + 20M + L(M + 2O + 20) + O(O + 20) + 4990
 * - LIW >= L + 3N + 990
 * - LPF >  P(N + M + O) when O > 1, P the front capacity.
 *
 * kestro_, kestro_print_, kestro_save_ and kestro_load_ work on one context
 * of the process: one run at a time through them, and their calls must not
 * overlap. For runs side by side (in one thread or in several), give each
 * run a handle of its own (kestro_context_create) and call the handle forms
 * kestro_context_solve, kestro_context_print, kestro_context_save and
 * kestro_context_load, which take the same arguments after the handle.
 */
#ifndef KESTRO_H
#define KESTRO_H

#include <stdio.h>

/** \cond KESTRO_INTERNAL */
#if defined(KESTRO_BUILDING_LIBRARY)
#define KESTRO_API __attribute__((visibility("default")))
#else
#define KESTRO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif
/** \endcond */

/* ---- Solver entry and kernel driver ------------------------------------ */

/**
 * \brief The solver entry: books the evaluated block and returns the next one.
 *
 * Start a run with IFLAG = 0 and ISTOP = 0, L start points in X and their
 * values in F and G; then call again after evaluating every block the call
 * leaves in X, until ISTOP = 1. Arrays are counted from 1: point i of the
 * block is X((i-1)N + 1 .. iN), its objectives F((i-1)O + 1 .. iO) and its
 * constraints G((i-1)M + 1 .. iM). An objective that is NaN or above 1e98
 * counts as 1e98 and a constraint value that is NaN or below -1e98 as -1e98
 * (a failed point). Between calls leave IFLAG, ISTOP, RW, IW and PF as they
 * are, except for setting IFLAG = -999 (or ISTOP = 1) to end the run with
 * the best point so far.
 *
 * PARAM is read, and written in one case: with several objectives and
 * BALANCE below 1 the first call sets PARAM(3) (FSTOP) to 0, since an
 * objective target does not apply to a scalarised run.
 *
 * \param l      block size L >= 1: points evaluated between two calls
 * \param o      number of objectives O, 1 .. 1000000
 * \param n      number of variables N >= 1
 * \param ni     number of integer variables NI, 0 .. N: the last NI variables
 * \param m      number of constraints M >= 0 (G >= 0 is feasible)
 * \param me     number of equality constraints ME, 0 .. M: the first ME
 * \param x      L*N values: in, the evaluated block; out, the next block or,
 *               once ISTOP = 1, the best point in X(1..N)
 * \param f      L*O objective values of the block in X; once ISTOP = 1,
 *               F(1..O) are the best point's
 * \param g      L*M constraint values of the block in X (not read when
 *               M = 0); once ISTOP = 1, G(1..M) are the best point's
 * \param xl     N lower bounds (whole numbers for integer variables)
 * \param xu     N upper bounds (whole numbers for integer variables)
 * \param iflag  0 to start a run; negative while it goes on; 1 .. 7 when it
 *               has ended, 51 .. 92 a warning on the first return, 100 and
 *               above an input error (see kestro_iflag_text)
 * \param istop  0 to start a run; set to 1 by the library when the run has
 *               ended
 * \param param  13 search parameters: ACCURACY, RANDOM-SEED, FSTOP,
 *               ALGOSTOP, EVALSTOP, FOCUS, ANTS, KERNEL, ORACLE, PARETOMAX,
 *               EPSILON, BALANCE, CHARACTER; 0 selects a default
 * \param rw     real workspace of LRW values
 * \param lrw    length of RW
 * \param iw     integer workspace of LIW values
 * \param liw    length of IW
 * \param pf     Pareto front of LPF values (O > 1): PF(1) its size P, then
 *               per entry its O objectives, M constraints and N variables;
 *               not used when O = 1
 * \param lpf    length of PF (not read when O = 1)
 */
KESTRO_API void kestro_(const int* l, const int* o, const int* n, const int* ni, const int* m,
                        const int* me, double* x, double* f, double* g, const double* xl,
                        const double* xu, int* iflag, int* istop, double* param, double* rw,
                        const int* lrw, int* iw, const int* liw, double* pf, const int* lpf);

/* ---- Reporting ---------------------------------------------------------- */

/**
 * \brief The reporting entry: the screen report, the output files and the
 * evaluation and time budgets.
 *
 * Call it with STAGE 1 before the loop (it sets IFLAG and ISTOP to 0, starts
 * the CPU clock, opens the files and prints the header) and with STAGE 2 after
 * every call of kestro_ (progress lines every PRINTEVAL evaluations, the
 * files, the final report; IFLAG = -999 when MAXEVAL or MAXTIME is spent, so
 * that the next kestro_ call ends the run). Files, when SAVE2FILE > 0, in the
 * current directory: KESTRO_SCREEN.TXT, KESTRO_SOLUTION.TXT,
 * KESTRO_PARETOFRONT.TXT (O > 1) and, when SAVE2FILE > 1, KESTRO_HISTORY.TXT.
 * A file that cannot be written is skipped. The screen output goes to the
 * standard error stream.
 *
 * \param stage      1 before the loop, 2 after every call of kestro_
 * \param printeval  a progress line every PRINTEVAL evaluations; 0 or less:
 *                   only the warning and error banners
 * \param save2file  0: no files; 1: screen, solution and Pareto-front files;
 *                   2 or more: also the history file, started afresh every
 *                   SAVE2FILE calls
 * \param iflag      kestro_'s IFLAG; set to 0 by STAGE 1 and to -999 when a
 *                   budget is spent
 * \param istop      kestro_'s ISTOP; set to 0 by STAGE 1
 * \param f          the L*O objective values of the block, as for kestro_
 * \param g          the L*M constraint values of the block, as for kestro_
 * \param x          the L*N values of the block, as for kestro_
 * \param xl         the N lower bounds
 * \param xu         the N upper bounds
 * \param o          number of objectives O
 * \param n          number of variables N
 * \param ni         number of integer variables NI
 * \param m          number of constraints M
 * \param me         number of equality constraints ME
 * \param rw         kestro_'s real workspace (read only)
 * \param pf         kestro_'s Pareto front (read only; O > 1)
 * \param maxeval    evaluation budget; 99999999 or more: no limit; 1 or less
 *                   ends the run after the first block
 * \param maxtime    budget of CPU seconds
 * \param param      the 13 PARAM values given to kestro_
 * \param l          block size L
 * \param timediv    1: the CPU time is divided by L; otherwise not
 */
KESTRO_API void kestro_print_(const int* stage, const int* printeval, const int* save2file,
                              int* iflag, int* istop, const double* f, const double* g, double* x,
                              const double* xl, const double* xu, const int* o, const int* n,
                              const int* ni, const int* m, const int* me, const double* rw,
                              const double* pf, const int* maxeval, const int* maxtime,
                              const double* param, const int* l, const int* timediv);

/**
 * Sends the screen report (unit 0) to another stream: a FILE* the caller
 * opened, such as one whose writes go to a host language's own error stream.
 * The stream must stay open while the library reports to it; NULL restores
 * the standard error stream. The output files are not affected.
 *
 * \param stream  the stream of unit 0, or NULL for the standard error stream
 */
KESTRO_API void kestro_set_screen_(FILE* stream);

/**
 * \brief The meaning of an IFLAG value in plain words.
 *
 * \param iflag  the code; a null pointer is answered with "unknown code"
 * \return a static, NUL-terminated string: "the run goes on" for negative
 *         values without a meaning of their own, "unknown code" for values
 *         the library never gives
 */
KESTRO_API const char* kestro_iflag_text(const int* iflag);

/**
 * \brief The version of the library, as MAJOR.MINOR.PATCH.
 *
 * The number of the library that is loaded, which may be newer than the
 * header a program was compiled with. Versions follow semantic versioning:
 * within a major version (and, before 1.0, within a minor version) the C ABI
 * stays compatible.
 *
 * \return a static, NUL-terminated string, e.g. "0.1.0"
 */
KESTRO_API const char* kestro_version(void);

/* ---- Sizes and checks for front ends ------------------------------------ */

/**
 * \brief The workspace lengths a front end allocates for a problem.
 *
 * LRW is what kestro_ demands and at least what its search kernel checks on
 * the first call (plus a margin); LIW is what kestro_ demands; LPF is one
 * more than P(N + M + O) with several objectives (P the room of the front,
 * 1000 unless PARETOMAX is a whole number of magnitude 1 or more), else 1.
 *
 * \param l          block size L
 * \param o          number of objectives O
 * \param n          number of variables N
 * \param m          number of constraints M
 * \param paretomax  PARAM(10)
 * \param lrw        out: LRW
 * \param liw        out: LIW
 * \param lpf        out: LPF
 * \return 0; or, when a length would exceed the 32-bit range, 501 (RW, or a
 *         block of L*N, L*O or L*M values), 601 (IW) or 344 (PF), and the
 *         lengths are not set
 */
KESTRO_API int kestro_workspace_lengths(const int* l, const int* o, const int* n, const int* m,
                                        const double* paretomax, int* lrw, int* liw, int* lpf);

/**
 * \brief The number of entries the Pareto front holds for PARETOMAX.
 *
 * The entries of PF are laid out in three blocks of this many: the
 * objectives from PF(2), the constraints from PF(2 + PO), the variables from
 * PF(2 + P(O + M)).
 *
 * \param paretomax  PARAM(10)
 * \return its magnitude rounded to the nearest whole number when that is at
 *         least 1, 1000 for 0, and 0 for a magnitude below 1 or a NaN
 */
KESTRO_API int kestro_front_capacity(const double* paretomax);

/**
 * \brief Copies one entry of the Pareto front out of PF.
 *
 * \param o          number of objectives O
 * \param m          number of constraints M
 * \param n          number of variables N
 * \param pf         the PF array of the run
 * \param lpf        its length LPF
 * \param paretomax  PARAM(10) of the run
 * \param entry      the entry to copy, 1 .. the number of entries; any
 *                   other value copies nothing
 * \param f          out: its O objective values
 * \param g          out: its M constraint values
 * \param x          out: its N variables
 * \return the number of entries in the front (0 when PF is too short for
 *         the front's capacity)
 */
KESTRO_API int kestro_front_entry(const int* o, const int* m, const int* n, const double* pf,
                                  const int* lpf, const double* paretomax, const int* entry,
                                  double* f, double* g, double* x);

/**
 * \brief A point's constraint violation as the library measures it: the sum
 * of |g| over the equalities (the first ME) with |g| above the accuracy and
 * of -g over the inequalities with g below minus the accuracy.
 *
 * \param m         number of constraints M
 * \param me        number of equality constraints ME
 * \param g         the M constraint values
 * \param accuracy  PARAM(1)
 * \return the residual (0 when no constraint is violated beyond accuracy)
 */
KESTRO_API double kestro_residual(const int* m, const int* me, const double* g,
                                  const double* accuracy);

/**
 * \brief Which value of an evaluated point makes it a failed evaluation, as
 * the library counts failures: an objective that is NaN or at least 1e98, or
 * a constraint that is NaN or at most -1e98.
 *
 * \param o  number of objectives O
 * \param f  the O objective values
 * \param m  number of constraints M
 * \param g  the M constraint values
 * \return 0 when the point did not fail; k (1 .. O) for objective k; O + j
 *         for constraint j (1 .. M)
 */
KESTRO_API int kestro_failed_value(const int* o, const double* f, const int* m, const double* g);

/**
 * \brief The first fault of a problem's sizes, start point and bounds, as the
 * first call of kestro_ would find it.
 *
 * Tests the counts (IFLAG 101 .. 107) and, when xl and xu are given,
 * variable by variable the start value and the bounds (201 .. 206), then
 * the whole numbers of the integer variables (881 .. 883).
 *
 * \param o         number of objectives O
 * \param n         number of variables N
 * \param ni        number of integer variables NI
 * \param m         number of constraints M
 * \param me        number of equality constraints ME
 * \param x         N start values, or NULL: not tested
 * \param xl        N lower bounds, or NULL (with xu): only the counts
 * \param xu        N upper bounds, or NULL
 * \param position  out: the variable at fault (1 .. N), or 0
 * \return the IFLAG code of the first fault, or 0
 */
KESTRO_API int kestro_check_problem(const int* o, const int* n, const int* ni, const int* m,
                                    const int* me, const double* x, const double* xl,
                                    const double* xu, int* position);

/**
 * \brief The first fault of PARAM, as kestro_ would find it: IFLAG 301 ..
 * 312, then PARETOMAX and EPSILON (321, 322, 331, checked by kestro_ with
 * several objectives only), then 350 .. 352, 399, 347 and 348.
 *
 * \param param     the 13 PARAM values
 * \param position  out: the PARAM entry at fault (1 .. 13), or 0
 * \return the IFLAG code of the first fault, or 0
 */
KESTRO_API int kestro_check_param(const double* param, int* position);

/**
 * \brief The faults of a problem and PARAM together: a BALANCE that names
 * no objective of O (IFLAG 350), and with CHARACTER 3 two integer variables
 * of the start point that are not pairwise different (402).
 *
 * \param o       number of objectives O
 * \param n       number of variables N
 * \param ni      number of integer variables NI
 * \param x       N start values
 * \param param   the 13 PARAM values
 * \param first   out: with 402 the first variable of the pair, with 350
 *                the PARAM entry; else 0
 * \param second  out: with 402 the second variable of the pair, else 0
 * \return the IFLAG code of the fault, or 0
 */
KESTRO_API int kestro_check_pairing(const int* o, const int* n, const int* ni, const double* x,
                                    const double* param, int* first, int* second);

/* ---- Checkpoints -------------------------------------------------------- */

/**
 * @brief Saves the run to a checkpoint file between two calls of kestro_.
 *
 * Call it after a call of kestro_ (and of kestro_print_) has returned and
 * before the next one, with the same arguments as that call. The file holds
 * the library's whole saved state of the run (solver, multi-objective layer
 * and reporting, including which report files are open and how far they are
 * written), the sizes, X, F, G, XL, XU, IFLAG, ISTOP, PARAM, RW, IW, PF and
 * LEXTRA values of the caller's own. It is written to a new file
 * PATH.tmp.XXXXXX (created exclusively), flushed to the disk and renamed over
 * PATH, so PATH is only ever replaced by a complete
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
KESTRO_API void kestro_save_(const char* path, const int* l, const int* o, const int* n,
                             const int* ni, const int* m, const int* me, const double* x,
                             const double* f, const double* g, const double* xl, const double* xu,
                             const int* iflag, const int* istop, const double* param,
                             const double* rw, const int* lrw, const int* iw, const int* liw,
                             const double* pf, const int* lpf, const double* extra,
                             const int* lextra, int* status);

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
KESTRO_API void kestro_load_(const char* path, const int* l, const int* o, const int* n,
                             const int* ni, const int* m, const int* me, double* x, double* f,
                             double* g, double* xl, double* xu, int* iflag, int* istop,
                             double* param, double* rw, const int* lrw, int* iw, const int* liw,
                             double* pf, const int* lpf, double* extra, const int* lextra,
                             int* status);

/**
 * @brief The meaning of a status of kestro_save_ or kestro_load_ in words.
 *
 * @param status the status code
 * @return a static, NUL-terminated string ("unknown checkpoint status" for a
 *         code the library never gives)
 */
KESTRO_API const char* kestro_checkpoint_text(const int* status);

/* ---- Run handles --------------------------------------------------------- */

/**
 * @brief A run of its own: the library's whole saved state of one run.
 *
 * The entries above work on one context of the process, shared by every
 * caller of kestro_, kestro_print_, kestro_save_ and kestro_load_ in it. A
 * handle made by kestro_context_create() holds another one, with its own
 * solver state, reporting state (screen stream, report files, counters,
 * clock start) and report file directory. Any number of handles may exist
 * at once; each is used by one thread at a time, and different handles may
 * be used by different threads at the same time. A run through a handle
 * gives the same points, results and report files as the same run through
 * the entries above, alone in a fresh process.
 *
 * \code
 *   kestro_context* run = kestro_context_create();
 *   if (run == NULL) { out of memory }
 *   kestro_context_set_output(run, "runs/7", NULL);   optional
 *   kestro_context_print(run, &stage1, ...);           as kestro_print_
 *   while (1) {
 *     kestro_context_solve(run, &l, &o, ...);          as kestro_
 *     kestro_context_print(run, &stage2, ...);
 *     if (istop == 1) break;
 *     evaluate f and g for the L points of x
 *   }
 *   kestro_context_free(run);
 * \endcode
 */
typedef struct kestro_context kestro_context;

/**
 * @brief Makes a run handle with a fresh context.
 *
 * Its report files go to the current directory under their usual names
 * until kestro_context_set_output() says otherwise.
 *
 * @return the handle, or NULL when there is not enough memory for it (the
 *         only way this can fail)
 */
KESTRO_API kestro_context* kestro_context_create(void);

/**
 * @brief Frees a run handle, closing the report files it has open.
 *
 * @param ctx the handle; NULL is allowed and does nothing
 */
KESTRO_API void kestro_context_free(kestro_context* ctx);

/**
 * @brief Sets where the handle's report files are written.
 *
 * The files KESTRO_SCREEN.TXT, KESTRO_SOLUTION.TXT, KESTRO_PARETOFRONT.TXT
 * (with its temporary KESTRO_PARETOFRONT.tmp.XXXXXX) and KESTRO_HISTORY.TXT of the
 * handle's runs are made in DIRECTORY, each name preceded by PREFIX
 * ("a_" gives a_KESTRO_SCREEN.TXT). Call it before the reporting entry's
 * first stage, or between runs. A run loaded by kestro_context_load()
 * reopens its report files in the handle's directory.
 *
 * @param ctx       the handle
 * @param directory an existing directory; NULL or "" for the current
 *                  directory
 * @param prefix    put before each file name; NULL or "" for none; it must
 *                  not contain '/'
 * @return 0 when taken; otherwise nothing changes and the code says why:
 *         1 ctx is NULL; 2 report files of the handle are open (a run is
 *         writing them); 3 DIRECTORY is not an existing directory; 4 PREFIX
 *         contains '/', or a file's path would be longer than the system
 *         allows; 5 not enough memory
 */
KESTRO_API int kestro_context_set_output(kestro_context* ctx, const char* directory,
                                         const char* prefix);

/**
 * @brief Sends the screen report of a handle's runs to another stream.
 *
 * As kestro_set_screen_ does for the entries without a handle.
 *
 * @param ctx    the handle; NULL is allowed and does nothing
 * @param stream the stream of the screen report, or NULL for the standard
 *               error stream; it must stay open while the handle reports
 */
KESTRO_API void kestro_context_set_screen(kestro_context* ctx, FILE* stream);

/**
 * @brief The solver entry on a handle's context: kestro_ for this run.
 *
 * @param ctx    the handle; when NULL the call does nothing but set IFLAG
 *               to 701 and ISTOP to 1
 * @param l      block size L (this and the arguments after it are those of
 *               kestro_, with the same meaning)
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
 * @param iflag  IFLAG
 * @param istop  ISTOP
 * @param param  the 13 PARAM values
 * @param rw     real workspace, LRW values
 * @param lrw    length of RW
 * @param iw     integer workspace, LIW values
 * @param liw    length of IW
 * @param pf     Pareto-front store, LPF values
 * @param lpf    length of PF
 */
KESTRO_API void kestro_context_solve(kestro_context* ctx, const int* l, const int* o, const int* n,
                                     const int* ni, const int* m, const int* me, double* x,
                                     double* f, double* g, const double* xl, const double* xu,
                                     int* iflag, int* istop, double* param, double* rw,
                                     const int* lrw, int* iw, const int* liw, double* pf,
                                     const int* lpf);

/**
 * @brief The reporting entry on a handle's context: kestro_print_ for this
 * run, with its files in the handle's directory.
 *
 * @param ctx        the handle; when NULL the call does nothing
 * @param stage      1 before the loop, 2 after every call (this and the
 *                   arguments after it are those of kestro_print_, with
 *                   the same meaning)
 * @param printeval  a progress line every PRINTEVAL evaluations
 * @param save2file  which files are written
 * @param iflag      IFLAG
 * @param istop      ISTOP
 * @param f          the L*O objective values of the block
 * @param g          the L*M constraint values of the block
 * @param x          the L*N values of the block
 * @param xl         the N lower bounds
 * @param xu         the N upper bounds
 * @param o          number of objectives O
 * @param n          number of variables N
 * @param ni         number of integer variables NI
 * @param m          number of constraints M
 * @param me         number of equality constraints ME
 * @param rw         the real workspace (read only)
 * @param pf         the Pareto front (read only; O > 1)
 * @param maxeval    evaluation budget
 * @param maxtime    budget of CPU seconds
 * @param param      the 13 PARAM values
 * @param l          block size L
 * @param timediv    1: the CPU time is divided by L; otherwise not
 */
KESTRO_API void kestro_context_print(kestro_context* ctx, const int* stage, const int* printeval,
                                     const int* save2file, int* iflag, int* istop, const double* f,
                                     const double* g, double* x, const double* xl, const double* xu,
                                     const int* o, const int* n, const int* ni, const int* m,
                                     const int* me, const double* rw, const double* pf,
                                     const int* maxeval, const int* maxtime, const double* param,
                                     const int* l, const int* timediv);

/**
 * @brief Saves a handle's run: kestro_save_ for this run.
 *
 * @param ctx    the handle; when NULL STATUS is set to 1
 * @param path   file name (this and the arguments after it are those of
 *               kestro_save_, with the same meaning)
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
 * @param extra  LEXTRA values of the caller's own
 * @param lextra length of EXTRA
 * @param status as for kestro_save_
 */
KESTRO_API void kestro_context_save(kestro_context* ctx, const char* path, const int* l,
                                    const int* o, const int* n, const int* ni, const int* m,
                                    const int* me, const double* x, const double* f,
                                    const double* g, const double* xl, const double* xu,
                                    const int* iflag, const int* istop, const double* param,
                                    const double* rw, const int* lrw, const int* iw, const int* liw,
                                    const double* pf, const int* lpf, const double* extra,
                                    const int* lextra, int* status);

/**
 * @brief Loads a saved run into a handle: kestro_load_ for this run.
 *
 * The run may have been saved through any handle or through kestro_save_;
 * its open report files are reopened in this handle's directory, under this
 * handle's prefix.
 *
 * @param ctx    the handle; when NULL STATUS is set to 1
 * @param path   file name (this and the arguments after it are those of
 *               kestro_load_, with the same meaning)
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
 * @param status as for kestro_load_
 */
KESTRO_API void kestro_context_load(kestro_context* ctx, const char* path, const int* l,
                                    const int* o, const int* n, const int* ni, const int* m,
                                    const int* me, double* x, double* f, double* g, double* xl,
                                    double* xu, int* iflag, int* istop, double* param, double* rw,
                                    const int* lrw, int* iw, const int* liw, double* pf,
                                    const int* lpf, double* extra, const int* lextra, int* status);

/** \cond KESTRO_INTERNAL */
#ifdef __cplusplus
}
#endif
/** \endcond */

#endif /* KESTRO_H */
