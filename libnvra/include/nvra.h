/*
 * nvra.h: the public C interface of libnvra, the Nivra optimizer library.
 *
 * Conventions shared by every function:
 *  - every function returns an int, 0 on success and a non-zero NVRA_RC_* code on failure;
 *  - after a failure on a problem, NVRAgetlasterror gives a specific message; failures that
 *    concern no problem are read with NVRA_ge_getlasterror (per thread);
 *  - indices are 0-based; 1e20 (NVRA_PLUSINFINITY) is infinity;
 *  - row types 'L' 'G' 'E' 'R' 'N'; column types 'C' 'B' 'I' 'S' 'R' 'P';
 *  - NVRAinit / NVRAfree nest by count; every other call needs an outstanding start.
 */
#ifndef NVRA_H
#define NVRA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define NVRA_API __declspec(dllexport)
#else
#define NVRA_API __attribute__((visibility("default")))
#endif

#define NVRA_PLUSINFINITY 1.0e+20
#define NVRA_MINUSINFINITY (-1.0e+20)
#define NVRA_MAXNAMELENGTH 1024
#define NVRA_MAXMESSAGELENGTH 512

/* Return codes. */
enum {
    NVRA_RC_OK = 0,
    NVRA_RC_ERROR = 1,        /* generic failure, see the message */
    NVRA_RC_MISUSE = 2,       /* library not started, freed or invalid handle */
    NVRA_RC_NOMEM = 3,        /* out of memory */
    NVRA_RC_RANGE = 4,        /* an index or count is out of range */
    NVRA_RC_INVALID = 5,      /* an argument has an invalid value */
    NVRA_RC_UNSUPPORTED = 6,  /* the problem class or feature is not supported */
    NVRA_RC_FILE = 7,         /* a file could not be read or written */
    NVRA_RC_ENGINE = 8,       /* the numerical engine failed */
    NVRA_RC_BUSY = 9,         /* the problem is being solved */
    NVRA_RC_NOTAVAILABLE = 10 /* an optional component is not available (NSLPinit) */
};

/* Object kinds of the handles passed to global message handlers. */
typedef struct nvo_prob_struct *NVRAprob;
typedef struct nvo_bo_struct *NVRAbranchobject;
typedef void *NVRAobject;

/* ---- start and stop ---------------------------------------------------------------------- */

/* Starts the library (counted). path may be NULL; when given it must name an existing
 * directory (where the library would look for its data files). */
NVRA_API int NVRAinit(const char *path);
/* Undoes one NVRAinit. */
NVRA_API int NVRAfree(void);

/* ---- global environment ------------------------------------------------------------------ */

/* Version text "major.minor.build" into buf (at least 16 bytes). Needs no start. */
NVRA_API int NVRAgetversion(char *buf);
NVRA_API int NVRAgetversionnumbers(int *major, int *minor, int *build);
/* Banner text into buf (at least NVRA_MAXMESSAGELENGTH bytes). */
NVRA_API int NVRAgetbanner(char *buf);
NVRA_API int NVRAfeaturequery(const char *feature, int *status);

/* Last error of the calling thread outside any problem. msg receives at most maxbytes bytes
 * including the terminating zero; *nbytes (may be NULL) the full length. */
NVRA_API int NVRA_ge_getlasterror(int *code, char *msg, int maxbytes, int *nbytes);
NVRA_API int NVRA_ge_setcheckedmode(int checked);
NVRA_API int NVRA_ge_getcheckedmode(int *checked);
NVRA_API int NVRA_ge_setdebugmode(int debug);
NVRA_API int NVRA_ge_getdebugmode(int *debug);
NVRA_API int NVRA_ge_setcomputeallowed(int allowed);
NVRA_API int NVRA_ge_getcomputeallowed(int *allowed);
NVRA_API int NVRA_ge_setarchconsistency(int consistent);
NVRA_API int NVRA_ge_getarchconsistency(int *consistent);

/* Global message handler: obj is the emitting object (a problem, or NULL for the library
 * itself), thread an opaque id of the emitting thread, msgtype 1 information, 2 detail,
 * 3 warning, 4 error, 0 or below a request to flush; msgcode a message number or 0. */
typedef int (*NVRA_ge_msghandler)(NVRAobject obj, void *data, void *thread, const char *msg,
                                  int msgtype, int msgcode);
/* Handlers run in decreasing priority, equal priorities in order of registration. */
NVRA_API int NVRA_ge_addcbmsghandler(NVRA_ge_msghandler handler, void *data, int priority);
/* Removes every registration of (handler, data); a NULL handler or data matches any. */
NVRA_API int NVRA_ge_removecbmsghandler(NVRA_ge_msghandler handler, void *data);
/* Sends a message to the global handlers (used by the library itself and by tests). */
NVRA_API int NVRA_ge_message(NVRAobject obj, const char *msg, int msgtype, int msgcode);
/* Type name of an object handed to a message handler: "NVRAprob" for problems,
 * "NVRAbranchobject" for branching objects, "NVRAlibrary" for NULL. */
NVRA_API int NVRAgetobjecttypename(NVRAobject obj, const char **name);

/* ---- problems ---------------------------------------------------------------------------- *
 * Every NVRA function that takes a problem first validates the handle (NVRA_RC_MISUSE for a
 * null, freed or foreign handle, reported through NVRA_ge_getlasterror) and clears the
 * problem's last error; a failure leaves a specific message there and leaves the problem as it
 * was. While a problem is being solved, calls that change its model or controls fail with
 * NVRA_RC_BUSY; queries are answered. Array arguments documented "or NULL" may be null. */

/* Problem message callback: msg is one line without its newline, len its length; msgtype 1
 * information, 2 detail, 3 warning, 4 error; 0 or below asks the receiver to flush. */
typedef void (*NVRAcbmessage)(NVRAprob prob, void *data, const char *msg, int len, int msgtype);

/* A new problem: empty model named "noname", minimising, default controls, no solution. */
NVRA_API int NVRAcreateprob(NVRAprob *prob);
/* Fails with NVRA_RC_BUSY while the problem is being solved. */
NVRA_API int NVRAdestroyprob(NVRAprob prob);
/* Last error message of the problem into buf (bufsize bytes, including the zero); an empty
 * string when the last call succeeded. */
NVRA_API int NVRAgetlasterror(NVRAprob prob, char *buf, int bufsize);
/* The NVRA_RC_* code of the problem's last failure into *code; 0 when the last call succeeded.
 * Kept with the message: the two always describe the same failure. */
NVRA_API int NVRAgetlasterrorcode(NVRAprob prob, int *code);
/* NVRAaddcbmessage and NVRAremovecbmessage: see the callbacks below (messages also reach
 * message callbacks outside solves). */
/* Asks a running solve to stop at its next opportunity; safe from any thread (Ctrl-C during a
 * solve sets the same request). The solve ends with solve status NVRA_SOLVESTATUS_STOPPED and stop
 * status NVRA_STOP_INTERRUPT, keeping the best solution found. A request made while no solve runs
 * is forgotten when the next solve starts. */
NVRA_API int NVRAinterrupt(NVRAprob prob, int reason);

/* Replaces dest's model by a copy of src's (rows, columns, matrix, objectives and their
 * controls, quadratic parts, sets, indicators, names, sense) and dest's controls by src's.
 * probname NULL or "" keeps src's problem name. The solution, callbacks and message callbacks
 * are not copied; dest's solution is discarded. */
NVRA_API int NVRAcopyprob(NVRAprob dest, NVRAprob src, const char *probname);
/* Sets every control of dest to its value in src. */
NVRA_API int NVRAcopycontrols(NVRAprob dest, NVRAprob src);

NVRA_API int NVRAsetprobname(NVRAprob prob, const char *probname);
/* The problem name into name, which must hold NVRA_ATTR_PROBNAMELENGTH (1158) bytes (the name
 * with its terminating zero). */
NVRA_API int NVRAgetprobname(NVRAprob prob, char *name);

/* ---- loading a whole problem --------------------------------------------------------------
 * A load replaces the model: rows, columns, matrix, objective 0 and its constant (set to 0),
 * objectives 1..k (removed), quadratic parts, sets, indicators and all names; it keeps the
 * objective sense and the controls, and the problem name when probname is NULL or "". Columns are
 * given column-wise: column j has collen[j] entries from start[j], or, with collen NULL, the
 * entries start[j] .. start[j+1]-1 (start then has ncols + 1 entries). Arrays may be NULL when
 * their count is 0; range NULL means 0 for every row (only 'R' rows read it); objcoef NULL means 0;
 * lb NULL means 0; ub NULL means infinity. The data of every class is stored; classes the engine
 * cannot solve fail at optimisation.
 *
 * Quadratic objective (…qp… loaders): nobjqcoefs triplets (objqcol1, objqcol2, objqcoef) of the
 * symmetric matrix Q of the objective term 0.5 x'Qx: (i, j, v) and (j, i, v) name the same
 * element; a diagonal triplet (i, i, v) gives 0.5 v x_i^2, an off-diagonal one v x_i x_j.
 * Duplicates are summed.
 * Quadratic rows (…qcqp… loaders): nqrows rows qrowind[k], row k having nrowqcoefs[k] triplets
 * taken in turn from (rowqcol1, rowqcol2, rowqcoef), in the convention of NVRAaddqmatrix64.
 * Integer entities (…mip… loaders): nentities columns entind[k] get type coltype[k] ('B', 'I',
 * 'S', 'R', 'P') and, for 'S', 'R', 'P', the threshold limit[k] (limit may be NULL when no such
 * column is given); nsets sets in the form of NVRAaddsets64, with setstart of nsets + 1 entries
 * (the last ends the last set). */
NVRA_API int NVRAloadlp(NVRAprob prob, const char *probname, int ncols, int nrows,
                        const char rowtype[], const double rhs[], const double range[],
                        const double objcoef[], const int start[], const int collen[],
                        const int rowind[], const double rowcoef[], const double lb[],
                        const double ub[]);
NVRA_API int NVRAloadlp64(NVRAprob prob, const char *probname, int ncols, int nrows,
                          const char rowtype[], const double rhs[], const double range[],
                          const double objcoef[], const int64_t start[], const int collen[],
                          const int rowind[], const double rowcoef[], const double lb[],
                          const double ub[]);
NVRA_API int NVRAloadqp64(NVRAprob prob, const char *probname, int ncols, int nrows,
                          const char rowtype[], const double rhs[], const double range[],
                          const double objcoef[], const int64_t start[], const int collen[],
                          const int rowind[], const double rowcoef[], const double lb[],
                          const double ub[], int64_t nobjqcoefs, const int objqcol1[],
                          const int objqcol2[], const double objqcoef[]);
NVRA_API int NVRAloadmip64(NVRAprob prob, const char *probname, int ncols, int nrows,
                           const char rowtype[], const double rhs[], const double range[],
                           const double objcoef[], const int64_t start[], const int collen[],
                           const int rowind[], const double rowcoef[], const double lb[],
                           const double ub[], int nentities, int nsets, const char coltype[],
                           const int entind[], const double limit[], const char settype[],
                           const int64_t setstart[], const int setind[], const double refval[]);
NVRA_API int NVRAloadmiqp64(NVRAprob prob, const char *probname, int ncols, int nrows,
                            const char rowtype[], const double rhs[], const double range[],
                            const double objcoef[], const int64_t start[], const int collen[],
                            const int rowind[], const double rowcoef[], const double lb[],
                            const double ub[], int64_t nobjqcoefs, const int objqcol1[],
                            const int objqcol2[], const double objqcoef[], int nentities, int nsets,
                            const char coltype[], const int entind[], const double limit[],
                            const char settype[], const int64_t setstart[], const int setind[],
                            const double refval[]);
NVRA_API int NVRAloadqcqp64(NVRAprob prob, const char *probname, int ncols, int nrows,
                            const char rowtype[], const double rhs[], const double range[],
                            const double objcoef[], const int64_t start[], const int collen[],
                            const int rowind[], const double rowcoef[], const double lb[],
                            const double ub[], int64_t nobjqcoefs, const int objqcol1[],
                            const int objqcol2[], const double objqcoef[], int nqrows,
                            const int qrowind[], const int64_t nrowqcoefs[], const int rowqcol1[],
                            const int rowqcol2[], const double rowqcoef[]);
NVRA_API int NVRAloadmiqcqp64(NVRAprob prob, const char *probname, int ncols, int nrows,
                              const char rowtype[], const double rhs[], const double range[],
                              const double objcoef[], const int64_t start[], const int collen[],
                              const int rowind[], const double rowcoef[], const double lb[],
                              const double ub[], int64_t nobjqcoefs, const int objqcol1[],
                              const int objqcol2[], const double objqcoef[], int nqrows,
                              const int qrowind[], const int64_t nrowqcoefs[], const int rowqcol1[],
                              const int rowqcol2[], const double rowqcoef[], int nentities,
                              int nsets, const char coltype[], const int entind[],
                              const double limit[], const char settype[], const int64_t setstart[],
                              const int setind[], const double refval[]);

/* ---- rows and columns (0-based; ranges first..last are inclusive) --------------------------
 * Coefficient lists: entries with a value of 0 are dropped; duplicate indices within one row
 * (or column) are summed. Row form: 'L' row <= rhs; 'G' row >= rhs; 'E' row = rhs; 'R'
 * rhs - range <= row <= rhs (range >= 0); 'N' free. |value| >= 1e20 is infinite. */

/* Appends nrows rows: row i has the entries start[i] .. start[i+1]-1 of colind and rowcoef (the
 * last row ends at ncoefs; start has nrows entries, a further entry is not read). range NULL
 * means 0.
 * New rows are unnamed and carry no quadratic part or indicator. */
NVRA_API int NVRAaddrows(NVRAprob prob, int nrows, int ncoefs, const char rowtype[],
                         const double rhs[], const double range[], const int start[],
                         const int colind[], const double rowcoef[]);
NVRA_API int NVRAaddrows64(NVRAprob prob, int nrows, int64_t ncoefs, const char rowtype[],
                           const double rhs[], const double range[], const int64_t start[],
                           const int colind[], const double rowcoef[]);
/* Appends ncols continuous, unnamed columns; column j has the entries start[j] ..
 * start[j+1]-1 (the last ends at ncoefs). objcoef NULL means 0; start, rowind and rowcoef may
 * be NULL when ncoefs is 0; lb NULL means 0, ub NULL means infinity. */
NVRA_API int NVRAaddcols(NVRAprob prob, int ncols, int ncoefs, const double objcoef[],
                         const int start[], const int rowind[], const double rowcoef[],
                         const double lb[], const double ub[]);
NVRA_API int NVRAaddcols64(NVRAprob prob, int ncols, int64_t ncoefs, const double objcoef[],
                           const int64_t start[], const int rowind[], const double rowcoef[],
                           const double lb[], const double ub[]);
/* Deletes the listed rows (columns) in any order; a repeated index is an error (nothing is
 * deleted). Later rows (columns) move down, and everything that refers to them (matrix,
 * quadratic parts, sets, indicators, objectives, names) is renumbered; set members and
 * quadratic entries of deleted columns are removed. */
NVRA_API int NVRAdelrows(NVRAprob prob, int nrows, const int rowind[]);
NVRA_API int NVRAdelcols(NVRAprob prob, int ncols, const int colind[]);

NVRA_API int NVRAgetlb(NVRAprob prob, double lb[], int first, int last);
NVRA_API int NVRAgetub(NVRAprob prob, double ub[], int first, int last);
/* bndtype[k] is 'L' (lower), 'U' (upper) or 'B' (both) for column colind[k]; entries are
 * applied in order (a later entry for the same column wins). */
NVRA_API int NVRAchgbounds(NVRAprob prob, int nbounds, const int colind[], const char bndtype[],
                           const double bndval[]);
/* Threshold (global limit) of semi-continuous, semi-integer and partially integer columns;
 * stored for any column, used by those types only. A semi-continuous column ('S') is 0 or lies
 * in [max(lb, limit), ub]; a semi-integer one ('R') likewise, integral; a partially integer one
 * ('P') is integral in [lb, limit] and continuous in [limit, ub]. */
NVRA_API int NVRAchgglblimit(NVRAprob prob, int ncols, const int colind[], const double limit[]);
NVRA_API int NVRAgetcoltype(NVRAprob prob, char coltype[], int first, int last);
/* Changing a column to 'B' also sets its bounds to [0, 1]. */
NVRA_API int NVRAchgcoltype(NVRAprob prob, int ncols, const int colind[], const char coltype[]);

NVRA_API int NVRAgetrhs(NVRAprob prob, double rhs[], int first, int last);
/* The width of each row's interval: the range of 'R' rows, 0 for 'E' rows, 1e20 for 'L', 'G'
 * and 'N' rows. */
NVRA_API int NVRAgetrhsrange(NVRAprob prob, double range[], int first, int last);
NVRA_API int NVRAgetrowtype(NVRAprob prob, char rowtype[], int first, int last);
/* For an 'R' row the range is kept (both ends move). */
NVRA_API int NVRAchgrhs(NVRAprob prob, int nrows, const int rowind[], const double rhs[]);
/* Makes each row an 'R' row of width |range|. With range >= 0, 'L', 'E' and 'R' rows keep their
 * upper end and 'G' rows their lower end; with range < 0, 'E', 'R' and 'G' rows keep their
 * lower end and 'L' rows their upper end. An 'N' row is an error. */
NVRA_API int NVRAchgrhsrange(NVRAprob prob, int nrows, const int rowind[], const double range[]);
/* Keeps rhs; a row that becomes 'R' gets range 0 unless it already was 'R'. */
NVRA_API int NVRAchgrowtype(NVRAprob prob, int nrows, const int rowind[], const char rowtype[]);

/* Sets one matrix element (0 removes it). */
NVRA_API int NVRAchgcoef(NVRAprob prob, int row, int col, double coef);
/* Sets ncoefs elements in order (a later entry for the same element wins). */
NVRA_API int NVRAchgmcoef(NVRAprob prob, int ncoefs, const int rowind[], const int colind[],
                          const double rowcoef[]);
NVRA_API int NVRAgetcoef(NVRAprob prob, int row, int col, double *coef);
/* Rows first..last in row-wise form: start (last - first + 2 entries, or NULL) receives the
 * offsets, colind and colcoef the entries of each row in increasing column order; *ncoefs the
 * number of entries. With colind and colcoef NULL (or maxcoefs 0) only *ncoefs (and start, if
 * given) is computed; otherwise maxcoefs must be at least the number of entries
 * (NVRA_RC_RANGE, with *ncoefs set to that number). */
NVRA_API int NVRAgetrows(NVRAprob prob, int start[], int colind[], double colcoef[], int maxcoefs,
                         int *ncoefs, int first, int last);
NVRA_API int NVRAgetrows64(NVRAprob prob, int64_t start[], int colind[], double colcoef[],
                           int64_t maxcoefs, int64_t *ncoefs, int first, int last);
/* Columns first..last in column-wise form, as NVRAgetrows64. */
NVRA_API int NVRAgetcols64(NVRAprob prob, int64_t start[], int rowind[], double rowcoef[],
                           int64_t maxcoefs, int64_t *ncoefs, int first, int last);

/* ---- objective ----------------------------------------------------------------------------
 * The objective is c'x + 0.5 x'Qx + constant. Column index -1 in NVRAchgobj, NVRAgetobj,
 * NVRAchgobjn and NVRAgetobjn addresses the objective's right-hand side, the negative of its
 * constant: NVRAchgobj with index -1 and value -4 gives the constant +4. */

/* Sets ncols coefficients; duplicate indices within one call are summed. */
NVRA_API int NVRAchgobj(NVRAprob prob, int ncols, const int colind[], const double objcoef[]);
/* Coefficients of columns first..last; first = -1 puts the right-hand side in objcoef[0]. */
NVRA_API int NVRAgetobj(NVRAprob prob, double objcoef[], int first, int last);
/* 1 minimise, -1 maximise; any other value is an error. */
NVRA_API int NVRAchgobjsense(NVRAprob prob, int objsense);
/* Sets elements of the quadratic objective Q (convention of the loaders above: (i, j) and
 * (j, i) name one element; diagonal v gives 0.5 v x_i^2, off-diagonal v gives v x_i x_j).
 * Duplicates within one call are summed; 0 removes an element. */
NVRA_API int NVRAchgmqobj(NVRAprob prob, int ncoefs, const int objqcol1[], const int objqcol2[],
                          const double objqcoef[]);
NVRA_API int NVRAchgmqobj64(NVRAprob prob, int64_t ncoefs, const int objqcol1[],
                            const int objqcol2[], const double objqcoef[]);
/* Q over columns first..last in column-wise form: column j lists each stored element (j, k)
 * with k >= j once, in increasing k, with its NVRAchgmqobj value (so the output fed back to
 * NVRAchgmqobj reproduces Q). Sizes and NULL arrays as NVRAgetrows. */
/* One element of Q in the convention of NVRAchgmqobj (0 removes it), and its value (0 when it
 * is not stored). */
NVRA_API int NVRAchgqobj(NVRAprob prob, int objqcol1, int objqcol2, double objqcoef);
NVRA_API int NVRAgetqobj(NVRAprob prob, int objqcol1, int objqcol2, double *objqcoef);
NVRA_API int NVRAgetmqobj(NVRAprob prob, int start[], int colind[], double objqcoef[], int maxcoefs,
                          int *ncoefs, int first, int last);
NVRA_API int NVRAgetmqobj64(NVRAprob prob, int64_t start[], int colind[], double objqcoef[],
                            int64_t maxcoefs, int64_t *ncoefs, int first, int last);

/* ---- multiple objectives -------------------------------------------------------------------
 * Objective 0 is the objective above; objectives 1..k are further linear objectives
 * (NVRA_ATTR_OBJECTIVES = k + 1). Each has the objective controls NVRA_OBJCONTROL_*: priority
 * (int, default 0), weight (default 1), absolute and relative tolerance (default 0) and rhs
 * (the objective's constant as it enters the objective; for objective 0 it is the negative of
 * the right-hand side of NVRAchgobj index -1). objidx may equal k + 1 in NVRAchgobjn and the
 * objective-control setters: the call then appends objective k + 1 (zero coefficients, default
 * controls). Optimisation solves levels in decreasing priority; objectives of equal priority
 * are blended by weight (a weight of -1 flips an objective's sense); each later level keeps the
 * earlier levels' objective values within their absolute and relative tolerances. */
#define NVRA_OBJCONTROL_PRIORITY 20001
#define NVRA_OBJCONTROL_WEIGHT 20002
#define NVRA_OBJCONTROL_ABSTOL 20003
#define NVRA_OBJCONTROL_RELTOL 20004
#define NVRA_OBJCONTROL_RHS 20005

/* Appends an objective with the given coefficients (others 0), priority and weight. */
NVRA_API int NVRAaddobj(NVRAprob prob, int ncols, const int colind[], const double objcoef[],
                        int priority, double weight);
NVRA_API int NVRAchgobjn(NVRAprob prob, int objidx, int ncols, const int colind[],
                         const double objcoef[]);
/* Removes objective objidx; later objectives move down. Removing objective 0 makes objective 1
 * the new objective 0 (its coefficients, constant and controls); the only objective cannot be
 * removed, only cleared. */
NVRA_API int NVRAdelobj(NVRAprob prob, int objidx);
NVRA_API int NVRAgetobjn(NVRAprob prob, int objidx, double objcoef[], int first, int last);
NVRA_API int NVRAsetobjintcontrol(NVRAprob prob, int objidx, int control, int value);
NVRA_API int NVRAsetobjdblcontrol(NVRAprob prob, int objidx, int control, double value);
NVRA_API int NVRAgetobjintcontrol(NVRAprob prob, int objidx, int control, int *value);
NVRA_API int NVRAgetobjdblcontrol(NVRAprob prob, int objidx, int control, double *value);

/* ---- quadratic rows, sets, indicators, integer entities -------------------------------------*/

/* Adds ncoefs triplets to the quadratic part of row: the row becomes a'x + x'Px (op) rhs with
 * P symmetric; (i, j, v) and (j, i, v) name the same element; a diagonal triplet gives v x_i^2,
 * an off-diagonal one 2 v x_i x_j (the product c x_i x_j is passed as c / 2). Added to existing
 * elements; duplicates are summed. */
NVRA_API int NVRAaddqmatrix64(NVRAprob prob, int row, int64_t ncoefs, const int rowqcol1[],
                              const int rowqcol2[], const double rowqcoef[]);
/* The quadratic part of row as upper-triangle triplets (i <= j) sorted by (i, j) in the
 * convention of NVRAaddqmatrix64. With the three arrays NULL only *ncoefs is set; otherwise
 * they must hold *ncoefs entries as returned by a preceding size query. */
NVRA_API int NVRAgetqrowqmatrixtriplets(NVRAprob prob, int row, int *ncoefs, int rowqcol1[],
                                        int rowqcol2[], double rowqcoef[]);

/* One element of the quadratic part of row in the convention of NVRAaddqmatrix64, replacing its
 * value (0 removes it), and its value (0 when it is not stored). */
NVRA_API int NVRAchgqrowcoeff(NVRAprob prob, int row, int rowqcol1, int rowqcol2, double rowqcoef);
NVRA_API int NVRAgetqrowcoeff(NVRAprob prob, int row, int rowqcol1, int rowqcol2, double *rowqcoef);
/* Removes the quadratic part of row (the linear part stays). */
NVRA_API int NVRAdelqmatrix(NVRAprob prob, int row);
/* The quadratic part of row over columns first..last in the column-wise form of NVRAgetmqobj
 * (each element (j, k), k >= j, once), with the values of NVRAaddqmatrix64. */
NVRA_API int NVRAgetqrowqmatrix(NVRAprob prob, int row, int start[], int colind[],
                                double rowqcoef[], int maxcoefs, int *ncoefs, int first, int last);
/* The rows that have a quadratic part, in increasing order; qcrows may be NULL (count only). */
NVRA_API int NVRAgetqrows(NVRAprob prob, int *nrows, int qcrows[]);

/* Appends nsets special ordered sets: set k has type settype[k] ('1' or '2') and the members
 * start[k] .. start[k+1]-1 (the last ends at nelems) of colind with their reference values
 * refval (which order the members; they must be distinct within a set). New sets are unnamed. */
NVRA_API int NVRAaddsets(NVRAprob prob, int nsets, int nelems, const char settype[],
                         const int start[], const int colind[], const double refval[]);
NVRA_API int NVRAaddsets64(NVRAprob prob, int nsets, int64_t nelems, const char settype[],
                           const int64_t start[], const int colind[], const double refval[]);
/* Deletes the listed sets (a repeated index is an error); later sets move down. */
NVRA_API int NVRAdelsets(NVRAprob prob, int nsets, const int setind[]);

/* Makes row rowind[k] an indicator constraint: it must hold when column colind[k] (binary) is
 * 1 (complement 1) or 0 (complement -1); complement 0 removes the row's indicator. */
NVRA_API int NVRAsetindicators(NVRAprob prob, int nrows, const int rowind[], const int colind[],
                               const int complement[]);
/* Removes the indicators of rows first..last (the rows stay). */
NVRA_API int NVRAdelindicators(NVRAprob prob, int first, int last);
/* For rows first..last: the indicator column (-1 when none) and complement (1, -1, or 0 when
 * none); either array may be NULL. */
NVRA_API int NVRAgetindicators(NVRAprob prob, int colind[], int complement[], int first, int last);
/* The integer entities: *nentities columns of type 'B', 'I', 'S', 'R' or 'P' in increasing
 * order with their type, index and threshold (limit; 0 for 'B' and 'I'), and the *nsets sets
 * with type, start (nsets + 1 entries), members and reference values. Every array may be NULL;
 * call with all NULL to learn the counts (members: start[nsets] or NVRA_ATTR_SETMEMBERS). */
NVRA_API int NVRAgetmipentities64(NVRAprob prob, int *nentities, int *nsets, char coltype[],
                                  int colind[], double limit[], char settype[], int64_t start[],
                                  int setcols[], double refval[]);

/* ---- piecewise-linear and general constraints ------------------------------------------------
 * Both are solved through exact mixed-integer reformulations; a bound they need that is
 * infinite makes the solve fail with a message naming the constraint. Neither can be written to
 * a file. A column that one of them uses cannot be deleted (delete the constraint first). */

/* Appends npwls piecewise-linear constraints resultant[k] = f_k(colind[k]): f_k runs through
 * the breakpoints (xval, yval) start[k] .. start[k+1]-1 (the last ends at npoints), given in
 * nondecreasing x; beyond the first and the last breakpoint it continues with the slope of the
 * first and the last segment (slope 0 for a single breakpoint). Two breakpoints with the same x
 * make a jump: there f takes either value; three with the same x are an error. */
NVRA_API int NVRAaddpwlcons64(NVRAprob prob, int npwls, int64_t npoints, const int colind[],
                              const int resultant[], const int64_t start[], const double xval[],
                              const double yval[]);
/* Deletes the listed piecewise-linear constraints (a repeated index is an error). */
NVRA_API int NVRAdelpwlcons(NVRAprob prob, int npwls, const int pwlind[]);
/* Constraints first..last: argument and resultant columns, start (last - first + 2 entries) and
 * the breakpoints; sizes and NULL arrays as in NVRAgetrows64 (*npoints: the breakpoints). */
NVRA_API int NVRAgetpwlcons64(NVRAprob prob, int colind[], int resultant[], int64_t start[],
                              double xval[], double yval[], int64_t maxpoints, int64_t *npoints,
                              int first, int last);

/* General constraint types. */
#define NVRA_GENCONS_MAX 0 /* resultant = max(columns, constants) */
#define NVRA_GENCONS_MIN 1 /* resultant = min(columns, constants) */
#define NVRA_GENCONS_AND 2 /* resultant = 1 if every column (binary) and constant is 1, else 0 */
#define NVRA_GENCONS_OR 3  /* resultant = 1 if some column (binary) or constant is 1, else 0 */
#define NVRA_GENCONS_ABS 4 /* resultant = |column| (exactly one column, no constants) */

/* Appends ncons general constraints: constraint k has type type[k] (NVRA_GENCONS_*), the resultant
 * column resultant[k], the operand columns colstart[k] .. colstart[k+1]-1 of colind (the last ends
 * at ncols) and the constants valstart[k] .. of val (the last ends at nvals; valstart and val may
 * be NULL when nvals is 0). Constants of and/or are 0 or 1; the resultant is no operand. */
NVRA_API int NVRAaddgencons64(NVRAprob prob, int ncons, int64_t ncols, int64_t nvals,
                              const int type[], const int resultant[], const int64_t colstart[],
                              const int colind[], const int64_t valstart[], const double val[]);
/* Deletes the listed general constraints (a repeated index is an error). */
NVRA_API int NVRAdelgencons(NVRAprob prob, int ncons, const int conind[]);
/* Constraints first..last: types, resultants, colstart and valstart (last - first + 2 entries
 * each), operand columns and constants; sizes and NULL arrays as in NVRAgetrows64 for each of
 * the two lists (*ncols, *nvals). */
NVRA_API int NVRAgetgencons64(NVRAprob prob, int type[], int resultant[], int64_t colstart[],
                              int colind[], int64_t maxcols, int64_t *ncols, int64_t valstart[],
                              double val[], int64_t maxvals, int64_t *nvals, int first, int last);

/* ---- names ----------------------------------------------------------------------------------
 * Every row, column and set has a name: the one given, or its default name: "R", "C" or "S"
 * followed by its index in decimal ("C0" is column 0), which follows the entry when it moves.
 * Names are 1 to NVRA_MAXNAMELENGTH - 1 bytes of UTF-8; an empty name makes the entry unnamed.
 * Names need not be unique (NVRAgetindex then finds the lowest index). */
#define NVRA_NAMES_ROWS 1
#define NVRA_NAMES_COLUMNS 2
#define NVRA_NAMES_SETS 3

/* Names of entries first..last of a kind, given one after another, each ending in a zero byte. */
NVRA_API int NVRAaddnames(NVRAprob prob, int type, const char names[], int first, int last);
/* NVRAaddnames with type NVRA_NAMES_SETS. */
NVRA_API int NVRAaddsetnames(NVRAprob prob, const char names[], int first, int last);
/* Names of entries first..last, each ending in a zero byte, into names (maxbytes bytes).
 * *nbytes receives the number of bytes needed; with names NULL only that size is computed.
 * Unnamed entries give their default names. */
NVRA_API int NVRAgetnamelist(NVRAprob prob, int type, char names[], int maxbytes, int *nbytes,
                             int first, int last);
/* The same without a size: names must hold (last - first + 1) * NVRA_ATTR_NAMELENGTH bytes. */
NVRA_API int NVRAgetnames(NVRAprob prob, int type, char names[], int first, int last);
/* Index of the entry with that name, or -1 (with success) when there is none. A given name
 * wins over a default name; among equal given names the lowest index is found. */
NVRA_API int NVRAgetindex(NVRAprob prob, int type, const char *name, int *index);

/* ---- controls and attributes ----------------------------------------------------------------
 * Controls are settings of a problem (typed 64-bit integer, double or string, each with an id
 * and a lower-case name); attributes are read-only facts about it. The lists and their flags:
 * bit NVRA_CA_CONTROL marks a control (else an attribute) and exactly one of NVRA_CA_INT,
 * NVRA_CA_DOUBLE, NVRA_CA_STRING gives the type. The objective controls 20001..20005 are not
 * listed (they are reached through the NVRA...objcontrol functions). */
#define NVRA_CA_INT 0x1
#define NVRA_CA_DOUBLE 0x2
#define NVRA_CA_STRING 0x4
#define NVRA_CA_CONTROL 0x20
#define NVRA_CA_PERSOLVE 0x40    /* attribute recorded per solve (NVRAgetobj...attrib) */
#define NVRA_CA_NOEFFECT 0x80    /* control stored and reported, without effect on solves */
#define NVRA_CA_ENUM 0x100       /* integer whose values are named (see the value sets below) */
#define NVRA_CA_OBJCONTROL 0x200 /* objective control (not in the lists) */

/* Type codes of NVRAgetcontrolinfo and NVRAgetattribinfo. */
#define NVRA_TYPE_NOTDEFINED 0
#define NVRA_TYPE_INT 1
#define NVRA_TYPE_DOUBLE 2
#define NVRA_TYPE_STRING 3

/* Longest string control or attribute value, with its terminating zero. */
#define NVRA_MAXSTRINGLENGTH 2048

/* The list of every control and attribute as three parallel arrays owned by the library (valid
 * until the process ends): ids, lower-case names and flags. Each array ends with one extra
 * terminating entry (id 0, name NULL, flags 0) that *count (may be NULL) does not include.
 * Any of the pointers may be NULL. _c needs a problem (the list is the same for every problem);
 * _d needs only a started library. */
NVRA_API int NVRAgetcalist_c(NVRAprob prob, int *count, const int **ids, const char *const **names,
                             const int **flags);
NVRA_API int NVRAgetcalist_d(int *count, const int **ids, const char *const **names,
                             const int **flags);
/* Id and type (NVRA_TYPE_*) of a control or attribute by name (lower- or upper-case); an
 * unknown name succeeds with id 0 and type NVRA_TYPE_NOTDEFINED. */
NVRA_API int NVRAgetcontrolinfo(NVRAprob prob, const char *name, int *id, int *type);
NVRA_API int NVRAgetattribinfo(NVRAprob prob, const char *name, int *id, int *type);

/* Typed access by id. A wrong type, an unknown id, an attribute id given to a control function
 * (or the reverse) or a value outside the control's bounds is an error naming the id, the name
 * and the bounds. The 32-bit forms fail when the value does not fit. */
NVRA_API int NVRAgetintcontrol(NVRAprob prob, int control, int *value);
NVRA_API int NVRAgetintcontrol64(NVRAprob prob, int control, int64_t *value);
NVRA_API int NVRAsetintcontrol(NVRAprob prob, int control, int value);
NVRA_API int NVRAsetintcontrol64(NVRAprob prob, int control, int64_t value);
NVRA_API int NVRAgetdblcontrol(NVRAprob prob, int control, double *value);
NVRA_API int NVRAsetdblcontrol(NVRAprob prob, int control, double value);
/* value must hold NVRA_MAXSTRINGLENGTH bytes. */
NVRA_API int NVRAgetstrcontrol(NVRAprob prob, int control, char *value);
/* At most maxbytes bytes including the zero; *nbytes (may be NULL) the full size with it. */
NVRA_API int NVRAgetstringcontrol(NVRAprob prob, int control, char *value, int maxbytes,
                                  int *nbytes);
/* Strings of NVRA_MAXSTRINGLENGTH bytes or more are refused. */
NVRA_API int NVRAsetstrcontrol(NVRAprob prob, int control, const char *value);
/* All controls of the problem back to their defaults. */
NVRA_API int NVRAsetdefaults(NVRAprob prob);
/* One control back to its default. */
NVRA_API int NVRAsetdefaultcontrol(NVRAprob prob, int control);

NVRA_API int NVRAgetintattrib(NVRAprob prob, int attrib, int *value);
NVRA_API int NVRAgetintattrib64(NVRAprob prob, int attrib, int64_t *value);
NVRA_API int NVRAgetdblattrib(NVRAprob prob, int attrib, double *value);
NVRA_API int NVRAgetstringattrib(NVRAprob prob, int attrib, char *value, int maxbytes, int *nbytes);
/* Attributes of solve solveidx (0 .. NVRA_ATTR_SOLVES - 1) of the last optimisation: entries
 * flagged NVRA_CA_PERSOLVE give that solve's value, all others their current value. */
NVRA_API int NVRAgetobjintattrib64(NVRAprob prob, int solveidx, int attrib, int64_t *value);
NVRA_API int NVRAgetobjdblattrib(NVRAprob prob, int solveidx, int attrib, double *value);

/* Attribute ids the module relies on (the full registry is listed by NVRAgetcalist_c). */
#define NVRA_ATTR_ROWS 1001
#define NVRA_ATTR_SETS 1004
#define NVRA_ATTR_LPSTATUS 1010
#define NVRA_ATTR_MIPSTATUS 1011
#define NVRA_ATTR_COLS 1018
#define NVRA_ATTR_CUTS 1019
#define NVRA_ATTR_PRESOLVESTATE 1026
#define NVRA_ATTR_NAMELENGTH 1028 /* bytes of the longest name, with its terminating zero */
#define NVRA_ATTR_QELEMS 1030
#define NVRA_ATTR_MIPENTS 1032
#define NVRA_ATTR_SOLSTATUS 1053
#define NVRA_ATTR_ORIGINALROWS 1124
#define NVRA_ATTR_PROBNAMELENGTH 1158 /* bytes of the problem name, with its terminating zero */
#define NVRA_ATTR_ORIGINALSETS 1194
#define NVRA_ATTR_ORIGINALCOLS 1214
#define NVRA_ATTR_OPTIMIZETYPEUSED 1268
#define NVRA_ATTR_ORIGINALMIPENTS 1325
#define NVRA_ATTR_SETMEMBERS 1327
#define NVRA_ATTR_SOLVESTATUS 1394
#define NVRA_ATTR_OBJECTIVES 1397
#define NVRA_ATTR_PWLCONS 1520 /* piecewise-linear constraints */
#define NVRA_ATTR_GENCONS 1521 /* general constraints */
#define NVRA_ATTR_SOLVES 1399
#define NVRA_ATTR_INPUTROWS 1408
#define NVRA_ATTR_INPUTCOLS 1409
#define NVRA_ATTR_LPOBJVAL 2001
#define NVRA_ATTR_MIPOBJVAL 2003
#define NVRA_ATTR_OBJSENSE 2008
#define NVRA_ATTR_DROPPEDCOEFS 1509   /* coefficients the engine took as zero (matrixtol) */
#define NVRA_ATTR_MAXDROPPEDCOEF 2504 /* the largest of them in magnitude */
#define NVRA_ATTR_REPLACEDNAMES 1530  /* names the last write gave as default names */
#define NVRA_CONTROL_MATRIXTOL 8517
#define NVRA_CONTROL_PRESOLVE 8011
#define NVRA_CONTROL_OUTPUTLOG 8035
#define NVRA_CONTROL_DEFAULTALG 8023
#define NVRA_CONTROL_MAXIIS 8540

/* ---- statuses and other named values --------------------------------------------------------
 * The named values of the enumerated attributes (statuses) and controls are the rows of
 * nvra_enums.def, which also says which enumeration each belongs to: LP status (attribute
 * NVRA_ATTR_LPSTATUS, enumeration "LPStatus"): NVRA_LP_*; MIP status ("MIPStatus"):
 * NVRA_MIP_*; solve status ("SolveStatus", how the last solve ended): NVRA_SOLVESTATUS_*;
 * solution status ("SolStatus", what it found): NVRA_SOLSTATUS_*; why a stopped solve stopped
 * ("StopStatus"): NVRA_STOP_*; problem class of the last solve ("OptimizeType"):
 * NVRA_OPTIMIZETYPE_*; and the values of the controls presolve (NVRA_PRESOLVE_*), outputlog
 * (NVRA_OUTPUT_*) and defaultalg (NVRA_ALG_*). */
enum {
#define NVRA_CVALUE(cls, name, value, cname, doc) cname = value,
#include "nvra_enums.def"
};
/* Availability status returned by the solution getters. */
enum {
    NVRA_AVAIL_NONE = 0,
    NVRA_AVAIL_OPTIMAL = 1, /* available and proven optimal */
    NVRA_AVAIL_FEASIBLE = 2 /* available, feasible, not proven optimal */
};

/* ---- solving ------------------------------------------------------------------------------
 * What solves what: LPs, convex QPs and MIPs go to HiGHS. Quadratic rows are classified first:
 * a '<=' row with a positive semi-definite matrix (a '>=' row with a negative semi-definite one)
 * is convex; sum d_i x_i^2 <= a t^2 (+ rhs <= 0) with t kept >= 0 (or <= 0) by its bounds, and
 * the rotated sum d_i x_i^2 <= 2 b y z with y, z >= 0, without linear part, are second-order
 * cones. Any other row with a quadratic part (a quadratic equality or range row, an indefinite
 * matrix, a cone whose t may take either sign, an indicator on a quadratic row) is refused with
 * NVRA_RC_UNSUPPORTED and a message naming the first such row and why. Continuous problems with
 * quadratic rows are solved by an interior-point method (Ipopt); problems with integer entities
 * and quadratic rows or a quadratic objective by outer approximation (a MIP master on HiGHS,
 * continuous subproblems on Ipopt) or, with control miqcqpalg = 2, by Bonmin's nonlinear
 * branch-and-bound; both prove optimality within the gap controls. A non-convex quadratic
 * objective is reported through NVRA_LP_NONCONVEX. Multi-objective problems with a quadratic
 * objective or quadratic rows are refused. An unbounded continuous relaxation is reported as
 * unbounded (NVRA_LP_UNBOUNDED, NVRA_MIP_UNBOUNDED). The attribute maxviolation gives the
 * largest violation of the rows as stored by the solution of an interior-point or outer
 * approximation solve. Any change to the model discards the solution and resets every status
 * to its "unstarted" value.
 * Flags (NULL = ""): 'd' dual simplex, 'p' primal simplex, 'b' barrier, 'n' network (dual
 * simplex), 'l' solve the continuous relaxation only (NVRAoptimize), 'r' presolve only (see the
 * presolved state below); other letters are errors.
 * Without an algorithm letter the control NVRA_CONTROL_DEFAULTALG (8023) decides. */

/* Solves the problem as what it holds (LP, convex QP, QCQP, SOCP, MIP, MIQP, MIQCQP,
 * multi-objective when it has several objectives). solvestatus and solstatus (may be NULL)
 * receive NVRA_SOLVESTATUS_* and NVRA_SOLSTATUS_*. Succeeds whenever the solve ran, whatever its
 * outcome. */
NVRA_API int NVRAoptimize(NVRAprob prob, const char *flags, int *solvestatus, int *solstatus);
/* Solves the continuous relaxation (integrality, sets and indicators relaxed). */
NVRA_API int NVRAlpoptimize(NVRAprob prob, const char *flags);
/* Solves the problem as a MIP (an LP without entities is solved as such). */
NVRA_API int NVRAmipoptimize(NVRAprob prob, const char *flags);

/* ---- solutions -------------------------------------------------------------------------------
 * Vectors are over the problem's rows and columns as built (auxiliary rows and columns of
 * reformulations never show). Slack of row i = rhs_i - activity_i (the upper end for 'R'
 * rows; >= 0 on a satisfied 'L' row, <= 0 on a satisfied 'G' row). The dual y_i is the change
 * of the objective per unit increase of rhs_i, in either sense (a binding 'G' row of a
 * minimisation has y_i >= 0, of a maximisation y_i <= 0), and the reduced costs are
 * d = c - A'y (c + Qx - A'y with a quadratic objective).
 * The single-vector getters succeed when no solution is available and report it in *status:
 * 1 = available and proven optimal, 2 = available (feasible, not proven optimal), any other
 * value = not available (the arrays are then left untouched). A MIP has no duals or reduced
 * costs. */
NVRA_API int NVRAgetsolution(NVRAprob prob, int *status, double x[], int first, int last);
NVRA_API int NVRAgetslacks(NVRAprob prob, int *status, double slacks[], int first, int last);
NVRA_API int NVRAgetduals(NVRAprob prob, int *status, double duals[], int first, int last);
NVRA_API int NVRAgetredcosts(NVRAprob prob, int *status, double djs[], int first, int last);
/* Full vectors of the last continuous solve (any may be NULL); a requested vector that is not
 * available is an error naming it. */
NVRA_API int NVRAgetlpsol(NVRAprob prob, double x[], double slack[], double duals[], double djs[]);
/* Full vectors of the last MIP solution (any may be NULL); an error when there is none. */
NVRA_API int NVRAgetmipsol(NVRAprob prob, double x[], double slack[]);
/* The same during a callback, for the solution the callback reports; outside a callback
 * *available is 0. */
NVRA_API int NVRAgetcallbacksolution(NVRAprob prob, int *available, double x[], int first,
                                     int last);
NVRA_API int NVRAgetcallbackslacks(NVRAprob prob, int *available, double slacks[], int first,
                                   int last);
NVRA_API int NVRAgetcallbackduals(NVRAprob prob, int *available, double duals[], int first,
                                  int last);
NVRA_API int NVRAgetcallbackredcosts(NVRAprob prob, int *available, double djs[], int first,
                                     int last);

/* ---- callbacks ------------------------------------------------------------------------------
 * The kinds, their numbers and what the library does with each are the rows of
 * nvra_callbacks.def (also the enumeration "CallbackKind", NVRA_CB_* constants): read its
 * header for the rules all kinds share. For every optimizer kind <kind>:
 *
 *   int NVRAaddcb<kind>(NVRAprob prob, NVRAcb<kind> f, void *data, int priority);
 *   int NVRAremovecb<kind>(NVRAprob prob, NVRAcb<kind> f, void *data);
 *
 * add registers f with data (the same pair may be registered several times); callbacks of a kind
 * run in decreasing priority, equal priorities in order of registration. remove removes every
 * registration of (f, data); a NULL f or data matches any; removing what is not registered
 * succeeds. Both fail with NVRA_RC_BUSY while the problem is being solved, and add fails with
 * NVRA_RC_UNSUPPORTED, naming the kind, for the kinds the engine cannot honour. The out-values
 * of a callback arrive set to "nothing to do" (0, or the current value for gapnotify). */
typedef void (*NVRAcbbariteration)(NVRAprob prob, void *data, int *action);
typedef int (*NVRAcbbarlog)(NVRAprob prob, void *data);
/* proposed: the branching object the search would use (it stays the library's); *replacement
 * (NULL on entry) a branching object to use instead, which the library then owns. */
typedef void (*NVRAcbchgbranchobject)(NVRAprob prob, void *data, NVRAbranchobject proposed,
                                      NVRAbranchobject *replacement);
typedef int (*NVRAcbcutlog)(NVRAprob prob, void *data);
typedef void (*NVRAcbcutround)(NVRAprob prob, void *data, int ifcuts, int *action);
typedef void (*NVRAcbdestroymt)(NVRAprob prob, void *data);
/* The four targets: relative gap, absolute gap, objective value and best bound; on entry the
 * current ones (a reached target switched off: -1 for the gaps, +-1e20 for the others). */
typedef void (*NVRAcbgapnotify)(NVRAprob prob, void *data, double *relgaptarget,
                                double *absgaptarget, double *objtarget, double *boundtarget);
typedef int (*NVRAcbmiplog)(NVRAprob prob, void *data);
typedef void (*NVRAcbinfnode)(NVRAprob prob, void *data);
typedef void (*NVRAcbintsol)(NVRAprob prob, void *data);
typedef int (*NVRAcblplog)(NVRAprob prob, void *data);
typedef void (*NVRAcbmipthread)(NVRAprob prob, void *data, NVRAprob threadprob);
typedef void (*NVRAcbnewnode)(NVRAprob prob, void *data, int parentnode, int node, int branch);
typedef void (*NVRAcbnodecutoff)(NVRAprob prob, void *data, int node);
typedef void (*NVRAcbnodelpsolved)(NVRAprob prob, void *data);
typedef void (*NVRAcboptnode)(NVRAprob prob, void *data, int *infeasible);
/* soltype: where the solution comes from (0: the engine does not say); *reject: non-zero to
 * reject it; *cutoff: the cutoff (objective bound for new solutions) to use from now on. */
typedef void (*NVRAcbpreintsol)(NVRAprob prob, void *data, int soltype, int *reject,
                                double *cutoff);
typedef void (*NVRAcbprenode)(NVRAprob prob, void *data, int *infeasible);
/* solname: the name given to NVRAaddmipsol ("" when none); status: NVRA_USERSOL_*. */
typedef void (*NVRAcbusersolnotify)(NVRAprob prob, void *data, const char *solname, int status);
typedef int (*NVRAcbchecktime)(NVRAprob prob, void *data);
typedef void (*NVRAcbbeforeobjective)(NVRAprob prob, void *data);
typedef void (*NVRAcbafterobjective)(NVRAprob prob, void *data);
typedef void (*NVRAcbpresolve)(NVRAprob prob, void *data);

#define NVRA_CALLBACK_NVRA(kind)                                                                   \
    NVRA_API int NVRAaddcb##kind(NVRAprob prob, NVRAcb##kind f, void *data, int priority);         \
    NVRA_API int NVRAremovecb##kind(NVRAprob prob, NVRAcb##kind f, void *data);
#define NVRA_CALLBACK_NSLP(kind)
#define NVRA_CALLBACK(number, kind, KIND, interface, honoured, doc) NVRA_CALLBACK_##interface(kind)
#include "nvra_callbacks.def"
#undef NVRA_CALLBACK_NVRA
#undef NVRA_CALLBACK_NSLP

/* Values of the presolved problem for the running callback: this engine offers none, so
 * *available is always 0 (the arrays are left untouched); the ranges are checked against the
 * problem's rows and columns. */
NVRA_API int NVRAgetcallbackpresolvesolution(NVRAprob prob, int *available, double x[], int first,
                                             int last);
NVRA_API int NVRAgetcallbackpresolveslacks(NVRAprob prob, int *available, double slacks[],
                                           int first, int last);
NVRA_API int NVRAgetcallbackpresolveduals(NVRAprob prob, int *available, double duals[], int first,
                                          int last);
NVRA_API int NVRAgetcallbackpresolveredcosts(NVRAprob prob, int *available, double djs[], int first,
                                             int last);

/* Controls of the callbacks (ids; also by name through the control lists). */
#define NVRA_CONTROL_MIPRELGAPNOTIFY 8560      /* gapnotify's relative gap target; < 0 off */
#define NVRA_CONTROL_MIPABSGAPNOTIFY 8561      /* its absolute gap target; < 0 off */
#define NVRA_CONTROL_MIPABSGAPNOTIFYOBJ 8562   /* its objective target; +-1e20 off */
#define NVRA_CONTROL_MIPABSGAPNOTIFYBOUND 8563 /* its best-bound target; +-1e20 off */
#define NVRA_CONTROL_LPLOGFREQ 8564            /* simplex iterations between lplog calls */
#define NVRA_CONTROL_CHECKTIMEPERIOD 8565      /* seconds between checktime calls, at least */

/* ---- branching objects ----------------------------------------------------------------------
 * A branching object describes a user branching decision: branches 0..n-1, each a set of column
 * bounds (bound type 'L', 'U' or 'B' as in NVRAchgbounds), rows (types 'L', 'G', 'E') and cuts
 * of the cut pool. Column indices refer to the problem as built (isoriginal 1) or to the
 * presolved node problem (isoriginal 0); this library solves the problem as built, so the two
 * agree. Adding checks types and indices at once (a failure adds nothing); NVRA_bo_validate
 * checks the whole object against the problem as it is now. The engine takes no branching
 * decisions from outside: NVRA_bo_store fails with NVRA_RC_UNSUPPORTED (the object stays the
 * caller's), as does registering a chgbranchobject callback. A branching object outlives its
 * problem only as an empty shell: once the problem is destroyed every call but NVRA_bo_destroy,
 * NVRA_bo_getid and NVRA_bo_getlasterror fails. Failures are reported by NVRA_bo_getlasterror. */
typedef struct nvo_cut_struct *NVRAcut;
NVRA_API int NVRA_bo_create(NVRAbranchobject *bo, NVRAprob prob, int isoriginal);
NVRA_API int NVRA_bo_destroy(NVRAbranchobject bo);
/* Appends nbranches empty branches. */
NVRA_API int NVRA_bo_addbranches(NVRAbranchobject bo, int nbranches);
NVRA_API int NVRA_bo_getbranches(NVRAbranchobject bo, int *nbranches);
/* Priority of the object among branching candidates (lower is preferred), and the branch to
 * explore first. */
NVRA_API int NVRA_bo_setpriority(NVRAbranchobject bo, int priority);
NVRA_API int NVRA_bo_setpreferredbranch(NVRAbranchobject bo, int branch);
NVRA_API int NVRA_bo_addbounds(NVRAbranchobject bo, int branch, int nbounds, const char bndtype[],
                               const int colind[], const double bndval[]);
/* *nbounds receives the branch's number of bounds; at most maxbounds of them go into the arrays
 * (each may be NULL). */
NVRA_API int NVRA_bo_getbounds(NVRAbranchobject bo, int branch, int *nbounds, int maxbounds,
                               char bndtype[], int colind[], double bndval[]);
/* Rows as for NVRAaddrows: row k has the entries start[k] .. start[k+1]-1 (the last ends at
 * ncoefs). */
NVRA_API int NVRA_bo_addrows(NVRAbranchobject bo, int branch, int nrows, int ncoefs,
                             const char rowtype[], const double rhs[], const int start[],
                             const int colind[], const double rowcoef[]);
/* *nrows and *ncoefs receive the branch's counts; at most maxrows rows (start gets nrows + 1
 * entries) and maxcoefs coefficients are copied; every array may be NULL. */
NVRA_API int NVRA_bo_getrows(NVRAbranchobject bo, int branch, int *nrows, int maxrows, int *ncoefs,
                             int maxcoefs, char rowtype[], double rhs[], int start[], int colind[],
                             double rowcoef[]);
NVRA_API int NVRA_bo_addcuts(NVRAbranchobject bo, int branch, int ncuts, const NVRAcut cutind[]);
/* *status: NVRA_BO_VALID (0), NVRA_BO_NOBRANCHES (1: no branch), NVRA_BO_EMPTYBRANCH (2: a
 * branch restricts nothing), NVRA_BO_BADCOLUMN (3: a column index no longer exists). */
NVRA_API int NVRA_bo_validate(NVRAbranchobject bo, int *status);
/* Hands the object to the problem's search; fails with NVRA_RC_UNSUPPORTED (see above). */
NVRA_API int NVRA_bo_store(NVRAbranchobject bo, int *status);
/* A positive number, unique among the branching objects of the process. */
NVRA_API int NVRA_bo_getid(NVRAbranchobject bo, int *id);
/* The code and message of the object's last failure (0 and "" after a success); msg receives
 * at most maxbytes bytes with the zero, *nbytes (may be NULL) the full size. */
NVRA_API int NVRA_bo_getlasterror(NVRAbranchobject bo, int *code, char *msg, int maxbytes,
                                  int *nbytes);
enum { NVRA_BO_VALID = 0, NVRA_BO_NOBRANCHES = 1, NVRA_BO_EMPTYBRANCH = 2, NVRA_BO_BADCOLUMN = 3 };

/* ---- files ----------------------------------------------------------------------------------
 * Formats: MPS (free format, which also reads fixed-format files whose names hold no spaces;
 * flag 'f' for strict fixed columns) and LP. The format is chosen by the flags ('l' LP, 'm' MPS)
 * or else by the extension (.lp, .mps; anything else is MPS); no extension is added.
 * Reading replaces the model as a load does (the objective sense comes from the file, minimise
 * when it has none) and names the problem after the file's NAME line or, without one, after the
 * file name without directory and extension. A malformed file fails with NVRA_RC_FILE and a
 * message naming the file and, where known, the line; the problem is then left empty (its
 * old model is gone either way, so that callers that drop their view of the model before
 * reading stay in step with it).
 * Writing keeps names, bounds, types, thresholds, sets, indicators, quadratic parts and the
 * objective constant, with values in shortest round-trip form. A name the format cannot hold
 * (duplicates within a kind, characters the format forbids) fails the write, naming it.
 * A problem with a nonlinear problem (nslp.h) also has its formulas and SLP data written, in a
 * nonlinear section of either format (see "Problem files" in nslp.h), and read back; the flag
 * 'g' is accepted for the nonlinear writer and changes nothing. */
NVRA_API int NVRAreadprob(NVRAprob prob, const char *filename, const char *flags);
NVRA_API int NVRAwriteprob(NVRAprob prob, const char *filename, const char *flags);

/* ==== analysis and diagnostics ================================================================
 * Functions that need a solution, a basis, an infeasible or unbounded result or a presolved
 * problem fail (NVRA_RC_ERROR) with a message naming what is missing when there is none; any
 * change to the model discards all of them. "Combined index": rows come first (row i is i), then
 * the active cuts (NVRA_ATTR_CUTS of them), then the columns (column j is rows + cuts + j). */

/* ---- bases ----------------------------------------------------------------------------------
 * A basis gives every row and column a status. A row's status describes its activity a_i x,
 * whose lower end is rhs - range ('R' rows), rhs ('G', 'E') or -infinity, and whose upper end is
 * rhs ('L', 'E', 'R') or +infinity. A basis has exactly as many basic entries as the problem has
 * rows. The basis matrix B has one column per basic entry, in the pivot order: column j of the
 * matrix for a basic column j, the unit column e_i for a basic row i (the slack s_i of
 * a_i x + s_i = rhs_i).
 * The problem's basis is that of its last continuous simplex solve (a barrier solve with its
 * crossover), or the basis loaded since; a MIP solve leaves none. */
enum {
    NVRA_BASIS_LOWER = 0, /* non-basic at its lower end */
    NVRA_BASIS_BASIC = 1,
    NVRA_BASIS_UPPER = 2,     /* non-basic at its upper end */
    NVRA_BASIS_SUPERBASIC = 3 /* non-basic without a finite end (a free column at 0) */
};
/* The statuses of all rows (rowstat, NVRA_ATTR_ROWS entries) and columns (colstat); either may
 * be NULL. */
NVRA_API int NVRAgetbasis(NVRAprob prob, int rowstat[], int colstat[]);
/* The status of one row and one column; row or col -1 skips that one (its output untouched). */
NVRA_API int NVRAgetbasisval(NVRAprob prob, int row, int col, int *rowstat, int *colstat);
/* Makes the given basis the problem's basis and the start of the next continuous solve
 * (discarding the solution): every status must be one of the four codes, a column or row can be
 * non-basic at an end only when that end is finite, and the basic entries must number exactly
 * the rows. A basis loaded before the problem's shape changed is dropped at the next solve, with
 * a warning. */
NVRA_API int NVRAloadbasis(NVRAprob prob, const int rowstat[], const int colstat[]);
/* The basic entry at each position of B (NVRA_ATTR_ROWS entries), as combined indices. Needs the
 * problem's basis factorised: after a continuous solve, or after NVRAloadbasis (which this call
 * then factorises). */
NVRA_API int NVRAgetpivotorder(NVRAprob prob, int pivotorder[]);
/* In place, over NVRA_ATTR_ROWS entries: NVRAftran replaces vec (indexed by row) by B^-1 vec
 * (indexed by basis position); NVRAbtran replaces vec (indexed by basis position) by B^-T vec
 * (indexed by row). Same requirement as NVRAgetpivotorder. */
NVRA_API int NVRAbtran(NVRAprob prob, double vec[]);
NVRA_API int NVRAftran(NVRAprob prob, double vec[]);
/* The same on sparse vectors: val holds NVRA_ATTR_ROWS values of which the *nnz listed in ind are
 * non-zero (the others must be 0); on return the result is held the same way. valsize and
 * indsize are the lengths of val and ind, which must hold NVRA_ATTR_ROWS entries. */
NVRA_API int NVRAsparseftran_witharraysizes(NVRAprob prob, double val[], int valsize, int ind[],
                                            int indsize, int *nnz);
NVRA_API int NVRAsparsebtran_witharraysizes(NVRAprob prob, double val[], int valsize, int ind[],
                                            int indsize, int *nnz);
/* The ratio test of bringing the non-basic entry enter (combined index) into the basis, moving
 * it away from its end in the direction that improves the objective (from a superbasic value:
 * by the sign of its reduced cost; with a zero reduced cost upwards): the entries that block
 * the move, in increasing order of the step at which they reach an end (enter itself when its
 * own other end comes first), at most maxpivots of them, into outlist (combined indices) and x
 * (the steps); *npivots their number and *objval the objective after the step of the first.
 * Needs a basis with its solution: after a continuous solve. */
NVRA_API int NVRAgetpivots(NVRAprob prob, int enter, int outlist[], double x[], double *objval,
                           int *npivots, int maxpivots);
/* Exchanges the non-basic entry enter for the basic entry leave (combined indices), leave going
 * to the end that its value is nearer to, and computes the solution of the new basis without
 * further iterations: the problem then has that basis and its (possibly infeasible) solution.
 * Needs the problem's basis factorised (as NVRAgetpivotorder); the new basis must be regular. */
NVRA_API int NVRApivot(NVRAprob prob, int enter, int leave);
/* A measure of the basis (scaled 0 or 1; the engine exposes no scaling, so both measure the
 * unscaled problem): type 0 an estimate of the condition number ||B|| ||B^-1||, type 1 the
 * largest primal residual |a_i x - activity_i| of the basic solution, type 2 the largest dual
 * residual |c_j - a_j'y - d_j|; norm 0 the infinity norm, 1 the one norm (type 0 only; types 1
 * and 2 are maxima). */
NVRA_API int NVRAbasisstability(NVRAprob prob, int type, int norm, int scaled, double *value);

/* ---- rays -----------------------------------------------------------------------------------
 * Rays exist after a continuous solve that ended infeasible (dual ray) or unbounded (primal ray).
 * The dual ray y (NVRA_ATTR_ROWS entries) proves infeasibility: the rows imply
 * y'Ax <= sum of y_i times the upper end of row i where y_i > 0 and times the lower end where
 * y_i < 0 (every such end finite), while over the column bounds min (A'y)'x exceeds that sum.
 * The primal ray d (NVRA_ATTR_COLS entries) is a direction of unboundedness: x + t d stays
 * feasible for all t >= 0 from any feasible x, and c'd < 0 when minimising (> 0 maximising).
 * *hasray (may be NULL) receives 1 when the ray exists, else 0; ray may be NULL to ask only that;
 * asking for a ray that does not exist is an error. */
NVRA_API int NVRAgetdualray(NVRAprob prob, double ray[], int *hasray);
NVRA_API int NVRAgetprimalray(NVRAprob prob, double ray[], int *hasray);
/* The non-basic entry (combined index) along which the last solve found the problem unbounded:
 * the entry whose move the primal ray describes; -1 (success) when there is none. */
NVRA_API int NVRAgetunbvec(NVRAprob prob, int *seq);

/* ---- sensitivity ----------------------------------------------------------------------------
 * Ranges within which the basis of the last continuous simplex solve stays optimal (objective
 * coefficients) or feasible (right-hand sides, bounds), changing one value at a time: inside a
 * range the basis stays; just outside it changes. +-1e20 for an unlimited end. Needs an optimal
 * basis of a linear problem (not a MIP, not a quadratic objective). Output arrays may be NULL. */
NVRA_API int NVRAobjsa(NVRAprob prob, int ncols, const int colind[], double lower[],
                       double upper[]);
NVRA_API int NVRArhssa(NVRAprob prob, int nrows, const int rowind[], double lower[],
                       double upper[]);
/* The ranges of each column's lower bound (lblower..lbupper) and upper bound (ublower..ubupper). */
NVRA_API int NVRAbndsa(NVRAprob prob, int ncols, const int colind[], double lblower[],
                       double lbupper[], double ublower[], double ubupper[]);
/* For each listed row, the least and greatest value its dual takes over all optimal dual
 * solutions (they differ only at a degenerate optimum): the left and right derivatives of the
 * optimal objective with respect to the row's right-hand side, each found with at most
 * iterlim simplex iterations (a derivative not found within it gives +-1e20). */
NVRA_API int NVRAestimaterowdualranges(NVRAprob prob, int nrows, const int rowind[], int iterlim,
                                       double mindual[], double maxdual[]);

/* ---- solutions given and computed ---------------------------------------------------------- */
/* Values of one column and one row of the last continuous solve (x, slack, dual, dj; any pointer
 * may be NULL; col or row -1 skips that entry). */
NVRA_API int NVRAgetlpsolval(NVRAprob prob, int col, int row, double *x, double *slack,
                             double *dual, double *dj);
/* The same for the last MIP solution (x, slack). */
NVRA_API int NVRAgetmipsolval(NVRAprob prob, int col, int row, double *x, double *slack);
/* The solution of the last solve when it was a barrier solve (any array may be NULL): the
 * barrier's own solution when crossover was off, the crossed-over one otherwise (the engine keeps
 * no other). *status (may be NULL) 1 when it is available with its duals, 0 when not (the arrays
 * are then untouched). */
NVRA_API int NVRAgetlastbarsol(NVRAprob prob, double x[], double slack[], double duals[],
                               double djs[], int *status);
/* Makes a given solution the problem's current continuous solution (for NVRAcrossoverlpsol, the
 * calc functions, NVRAgetinfeas, the solution files): x is required; slack NULL computes it from
 * x; duals and djs may be NULL (djs then computed from duals; neither: no dual values). *status
 * (may be NULL) receives 0. */
NVRA_API int NVRAloadlpsol(NVRAprob prob, const double x[], const double slack[],
                           const double duals[], const double djs[], int *status);
/* MIP starts for the next MIP solve. NVRAloadmipsol: x has a value for every column; *status
 * (may be NULL) 0 accepted, 1 infeasible (the start violates a bound, a row or integrality by
 * more than the feasibility tolerances; it is not kept). NVRAaddmipsol: values of ncols columns
 * (colind NULL: the first ncols columns), which the engine completes; name may be NULL. Starts
 * are kept until a MIP solve has used them or the columns change. NVRAaddmipsol while the
 * problem is being solved (from a callback, or from another thread) gives the solution to the
 * running solve instead: a MIP search takes it at its next point for solutions from outside,
 * and the usersolnotify callbacks then learn what became of it (NVRA_USERSOL_*; a solve that
 * ends before taking it reports NVRA_USERSOL_NOT_USED). It fails with NVRA_RC_BUSY once the
 * solve takes no more solutions, or while the problem is busy otherwise. */
NVRA_API int NVRAloadmipsol(NVRAprob prob, const double x[], int *status);
NVRA_API int NVRAaddmipsol(NVRAprob prob, int ncols, const double solval[], const int colind[],
                           const char *name);
/* The infeasible entries of the current solution against the tolerances: primal (columns
 * outside their bounds, rows outside their ends) and dual (columns and rows whose reduced cost
 * or dual has the wrong sign). Counts into *nprimalcols, *nprimalrows, *ndualrows, *ndualcols;
 * the indices into the arrays (each may be NULL; sized by a call with all NULL). The scaled form
 * measures the same (the engine exposes no scaling). */
NVRA_API int NVRAgetinfeas(NVRAprob prob, int *nprimalcols, int *nprimalrows, int *ndualrows,
                           int *ndualcols, int primalcols[], int primalrows[], int dualrows[],
                           int dualcols[]);
NVRA_API int NVRAgetscaledinfeas(NVRAprob prob, int *nprimalcols, int *nprimalrows, int *ndualrows,
                                 int *ndualcols, int primalcols[], int primalrows[], int dualrows[],
                                 int dualcols[]);
/* Computations on given vectors (NVRA_ATTR_COLS columns, NVRA_ATTR_ROWS rows): the objective
 * (with its constant) of objective 0, or of objective objidx, at solution (NULL: the current
 * solution); slacks rhs - a_i x; reduced costs c - A'y (+ Qx with a quadratic objective, x NULL
 * then the current solution). */
NVRA_API int NVRAcalcobjective(NVRAprob prob, const double solution[], double *objval);
NVRA_API int NVRAcalcobjn(NVRAprob prob, int objidx, const double solution[], double *objval);
NVRA_API int NVRAcalcslacks(NVRAprob prob, const double solution[], double slacks[]);
NVRA_API int NVRAcalcreducedcosts(NVRAprob prob, const double duals[], const double solution[],
                                  double djs[]);
/* One property of a solution (x) with duals (y, may be NULL for the primal properties):
 * NVRA_SOLINFO_* below. */
enum {
    NVRA_SOLINFO_ABSPRIMALINFEAS = 0, /* largest violation of a row or bound */
    NVRA_SOLINFO_RELPRIMALINFEAS = 1, /* the same relative to 1 + |rhs| or 1 + |bound| */
    NVRA_SOLINFO_ABSDUALINFEAS = 2,   /* largest reduced cost or dual of the wrong sign */
    NVRA_SOLINFO_RELDUALINFEAS = 3,   /* the same relative to 1 + |c_j| */
    NVRA_SOLINFO_MAXINFEAS = 4        /* the largest of 0 and 2 */
};
NVRA_API int NVRAcalcsolinfo(NVRAprob prob, const double solution[], const double duals[],
                             int property, double *value);

/* ---- presolve ---------------------------------------------------------------------------------
 * The optimisation flag 'r' presolves the problem, solves the presolved problem and stops
 * there: the problem is then in its presolved state (NVRA_ATTR_PRESOLVESTATE bit 2; rows and
 * columns attributes 1001 and 1018 give the presolved sizes, 1124 and 1214 the original ones)
 * until NVRApostsolve or any change. A problem whose presolve removes everything stays with an
 * empty presolved problem. The presolved problem is linear (a MIP: its continuous relaxation is
 * not presolved; MIPs are refused with flag 'r'). */
/* For each presolved row and column, its original index. */
NVRA_API int NVRAgetpresolvemap(NVRAprob prob, int rowmap[], int colmap[]);
/* The solution of the presolved problem (arrays of the presolved sizes; any may be NULL). */
NVRA_API int NVRAgetpresolvesol(NVRAprob prob, double x[], double slack[], double duals[],
                                double djs[]);
NVRA_API int NVRAgetpresolvebasis(NVRAprob prob, int rowstat[], int colstat[]);
/* Loads a basis of the presolved problem and solves the presolved problem again from it. */
NVRA_API int NVRAloadpresolvebasis(NVRAprob prob, const int rowstat[], const int colstat[]);
/* Branching directives for presolved columns, stored on their original columns. */
NVRA_API int NVRAloadpresolvedirs(NVRAprob prob, int ndirs, const int colind[],
                                  const int priority[], const char dir[], const double uppseudo[],
                                  const double downpseudo[]);
/* Expresses an original row (rowtype, ncoefs entries, rhs) in the presolved columns: the
 * presolved row into colind, rowcoef (room for maxcoefs entries), *ncoefs, *rhs. *status 0 when
 * done, -1 when the row involves a column that presolve removed without fixing it. */
NVRA_API int NVRApresolverow(NVRAprob prob, char rowtype, int norigcoefs, const int origcolind[],
                             const double origrowcoef[], double origrhs, int maxcoefs, int *ncoefs,
                             int colind[], double rowcoef[], double *rhs, int *status);
/* Postsolves the presolved problem's solution: the problem leaves its presolved state with the
 * original solution (and basis) as its current solution. */
NVRA_API int NVRApostsolve(NVRAprob prob);
/* The original solution for a given solution of the presolved problem (prex of presolved column
 * length) into origx (original column length); the presolved state stays. */
NVRA_API int NVRApostsolvesol_witharraysizes(NVRAprob prob, const double prex[], int prexsize,
                                             double origx[], int origxsize);
/* Crossover from the primal values of the current continuous solution (after a barrier solve
 * without crossover, or after NVRAloadlpsol) to a basic solution, from which the simplex method
 * then settles the status: the result becomes the problem's solution and basis. *status (may be
 * NULL): 0 a basic optimal solution was found, 1 the solve ended otherwise. */
NVRA_API int NVRAcrossoverlpsol(NVRAprob prob, int *status);
/* Fixes the MIP entities at the values of the last MIP solution (options 1: only the binary and
 * integer columns; 0: also semi-continuous ones and sets) by changing their bounds, so that the
 * problem that remains is continuous in the rest. */
NVRA_API int NVRAfixmipentities(NVRAprob prob, int options);
/* Improves a MIP solution (solution: NVRA_ATTR_COLS values) by solving the problem with its
 * entities fixed there: refined receives the optimum of that fixed problem. options 0 keeps the
 * integer values as they are; flags: "" or NULL. *status (may be NULL): 0 refined, 1 the
 * solution was infeasible, 2 the fixed problem could not be solved. */
NVRA_API int NVRArefinemipsol(NVRAprob prob, int options, const char *flags,
                              const double solution[], double refined[], int *status);
/* Solves the continuous problem once per listed bound change (bound type 'L', 'U' or 'B' as in
 * NVRAchgbounds), each from the problem's basis and with at most iterlim iterations, leaving
 * the problem as it was: objval and status (NVRA_LP_* statuses) per change. */
NVRA_API int NVRAstrongbranch(NVRAprob prob, int nbounds, const int colind[], const char bndtype[],
                              const double bndval[], int iterlim, double objval[], int status[]);
/* The solve callback of NVRAstrongbranchcb, called once a bound change's LP is solved: ibnd is
 * the change's index in the arrays, whose objval[ibnd] and status[ibnd] are set, and the
 * problem's attributes lpstatus, lpobjval and objval describe that LP (simplexiter its
 * iterations) for the length of the call. The problem answers queries and takes NVRAinterrupt;
 * changes fail with NVRA_RC_BUSY. A non-zero return stops strong branching. */
typedef int (*NVRAcbsolve)(NVRAprob prob, void *data, int ibnd);
/* NVRAstrongbranch with a solve callback (callback may be NULL) after each bound change.
 * Strong branching stops early when the callback returns non-zero or the problem is interrupted
 * (NVRAinterrupt, Ctrl-C): the call still succeeds, the problem is left as it was, and the
 * changes not solved get status NVRA_LP_UNSTARTED and objval 1e20 in the objective's worst
 * direction (1e20 for minimisation). */
NVRA_API int NVRAstrongbranchcb(NVRAprob prob, int nbounds, const int colind[],
                                const char bndtype[], const double bndval[], int iterlim,
                                double objval[], int status[], NVRAcbsolve callback, void *data);

/* ---- irreducible infeasible subsystems (IIS) ------------------------------------------------
 * An IIS is a set of rows and column bounds that admits no solution, while dropping any one of
 * them leaves a set that does. The search works on the continuous problem (a MIP's
 * relaxation). IISs are numbered from 1 in the order found; NVRA_ATTR_NUMIIS gives their count
 * and the attribute "iissolstatus" the state of the search (NVRA_IISSOL_*, enumeration
 * "IISSolStatus"). */
#define NVRA_ATTR_IISSOLSTATUS 1406
#define NVRA_ATTR_NUMIIS 1510
/* Finds the first IIS, forgetting earlier ones. mode 0: a quick search that finds only obvious
 * conflicts (a bound or row infeasible by itself, a row its columns' bounds cannot satisfy),
 * 1: one IIS preferring rows, 2: one IIS preferring column bounds. *status (may be NULL): 0
 * found, 1 the problem is feasible (for mode 0: no obvious conflict), 2 unfinished. */
NVRA_API int NVRAiisfirst(NVRAprob prob, int mode, int *status);
/* Finds an IIS not found before, by searching the problem with members of the IISs found so far
 * left out (every IIS of such a relaxation is an IIS of the problem). *status: 0 found, 1 no
 * further IIS found this way, 2 unfinished (also when stopped by Ctrl-C or NVRAinterrupt: a later
 * call goes on searching). */
NVRA_API int NVRAiisnext(NVRAprob prob, int *status);
/* iisfirst(1), then iisnext until it finds no further IIS or NVRA_CONTROL_MAXIIS are found. */
NVRA_API int NVRAiisall(NVRAprob prob);
/* Forgets the IISs found. */
NVRA_API int NVRAiisclear(NVRAprob prob);
/* Per IIS k (index k - 1; arrays of NVRA_ATTR_NUMIIS entries, each may be NULL): its numbers of
 * rows and columns, the least total violation of its members and the number of members violated
 * at that least violation. *count (may be NULL) receives the number of IISs. */
NVRA_API int NVRAiisstatus(NVRAprob prob, int *count, int rowsizes[], int colsizes[],
                           double suminfeas[], int numinfeas[]);
/* The members of IIS num: rows (rowind, contype: 'L' its upper end, 'G' its lower end, 'E' both
 * ends of an 'E' row or 'R' for both ends of a ranged row) and columns (colind, bndtype 'L', 'U',
 * 'B'); duals and djs the Farkas multipliers of the rows and bounds (a certificate as for the
 * dual ray, over the IIS alone); isolationrows/cols -1 not computed, 0 no, 1 yes (see
 * NVRAiisisolations). *nrows and *ncols receive the sizes; every array may be NULL. */
NVRA_API int NVRAgetiisdata(NVRAprob prob, int num, int *nrows, int *ncols, int rowind[],
                            int colind[], char contype[], char bndtype[], double duals[],
                            double djs[], char isolationrows[], char isolationcols[]);
/* Marks the members of IIS num that are isolations: those whose removal alone makes the whole
 * problem feasible. When stopped (Ctrl-C, NVRAinterrupt) the members not examined stay -1. */
NVRA_API int NVRAiisisolations(NVRAprob prob, int num);
/* Writes IIS num as a problem file (filetype "lp" or "mps"; flags as NVRAwriteprob) holding its
 * rows and the bounds that take part (other bounds free), with the problem's names. */
NVRA_API int NVRAiiswrite(NVRAprob prob, int num, const char *filename, int filetype,
                          const char *flags);
#define NVRA_IISFILE_LP 0
#define NVRA_IISFILE_MPS 1
/* Sends a description of IIS num to the problem's message callbacks. */
NVRA_API int NVRAiisprint(NVRAprob prob, int num);

/* ---- repairing infeasibility ------------------------------------------------------------------
 * Relaxes rows and bounds by the least weighted violation: phase 1 minimises the sum of penalty
 * times violation, a member's penalty being 1 / its preference (a preference <= 0 makes the
 * member not relaxable). penalty 'c' (linear in the violation) or 'q' (the square of it);
 * phase2 'n' stops after phase 1, 'o' re-optimises the original objective with each violation
 * allowed up to (1 + delta) times its phase-1 value; flags "n" (or NULL, ""): the default. The
 * problem's solution becomes that of the relaxed problem, whose bounds NVRAgetrepairbounds
 * gives. Preferences apply by side: lepref to the upper end of 'L', 'E' and 'R' rows, gepref to
 * the lower end of 'G', 'E' and 'R' rows, lbpref and ubpref to column bounds.
 * *status (may be NULL): 0 relaxed optimum found, 1 even the relaxed problem is infeasible
 * (the non-relaxable members conflict), 2 the relaxed problem is unbounded, 3 the solve ended
 * otherwise (a limit). */
NVRA_API int NVRArepairinfeas(NVRAprob prob, int *status, char penalty, char phase2, char flags,
                              double lepref, double gepref, double lbpref, double ubpref,
                              double delta);
/* Preferences per row (lepref, gepref: NVRA_ATTR_ROWS entries) and per column (lbpref, ubpref);
 * NULL gives 0 (not relaxable) for that array. flags as above, as a string. */
NVRA_API int NVRArepairweightedinfeas(NVRAprob prob, int *status, const double lepref[],
                                      const double gepref[], const double lbpref[],
                                      const double ubpref[], char phase2, double delta,
                                      const char *flags);
/* The same with caps: each member may be relaxed by at most its lerelax, gerelax, lbrelax or
 * ubrelax entry (NULL: no cap). */
NVRA_API int NVRArepairweightedinfeasbounds(NVRAprob prob, int *status, const double lepref[],
                                            const double gepref[], const double lbpref[],
                                            const double ubpref[], const double lerelax[],
                                            const double gerelax[], const double lbrelax[],
                                            const double ubrelax[], char phase2, double delta,
                                            const char *flags);
/* The bounds of the relaxed problem of the last repair: the row activities' ends and the
 * columns' bounds (any array may be NULL). */
NVRA_API int NVRAgetrepairbounds(NVRAprob prob, double rowlower[], double rowupper[],
                                 double collower[], double colupper[]);

/* ---- branching directives, delayed rows, model cuts ---------------------------------------------
 * Directives (priority: lower values branch first, default 500; dir 'U' up branch first, 'D'
 * down, 'N' the engine's choice; pseudo costs per unit up and down) are stored with their
 * columns, written and read, but the engine takes no branching directives: they have no effect
 * on solves (the solve says so in a warning). */
/* Sets directives of ndirs columns; priority, dir, uppseudo, downpseudo may each be NULL (that
 * part is left as it was). */
NVRA_API int NVRAloaddirs(NVRAprob prob, int ndirs, const int colind[], const int priority[],
                          const char dir[], const double uppseudo[], const double downpseudo[]);
/* Sets the directions only: dir 1 up first, -1 down first, 0 the engine's choice (NULL: 0 for
 * every listed column). */
NVRA_API int NVRAloadbranchdirs(NVRAprob prob, int ncols, const int colind[], const int dir[]);
/* The columns with directives, in increasing order, into the arrays (each may be NULL); *ndirs
 * their number (call with all arrays NULL to learn it). */
NVRA_API int NVRAgetdirs(NVRAprob prob, int *ndirs, int colind[], int priority[], char dir[],
                         double uppseudo[], double downpseudo[]);
/* Marks rows as delayed rows (rows a solution must satisfy, left out of the solve until a
 * solution violates them) or model cuts (rows that cut off no integer solution, treated the
 * same way). A solve then runs without them and adds the violated ones until its solution
 * satisfies all, so its result is that of the whole problem. Multi-objective solves keep every
 * row. */
NVRA_API int NVRAloaddelayedrows(NVRAprob prob, int nrows, const int rowind[]);
NVRA_API int NVRAloadmodelcuts(NVRAprob prob, int nrows, const int rowind[]);
/* Rows are secure: they are never removed by presolve. The engine's presolve removes rows only
 * where they are redundant, which changes no solution; the call checks its arguments and keeps
 * nothing. */
NVRA_API int NVRAloadsecurevecs(NVRAprob prob, int nrows, int ncols, const int rowind[],
                                const int colind[]);
#define NVRA_ROWFLAG_DELAYED 1
#define NVRA_ROWFLAG_MODELCUT 2
/* Flags of rows first..last (flagssize entries of flags must hold them). */
NVRA_API int NVRAgetrowflags_witharraysizes(NVRAprob prob, int flags[], int flagssize, int first,
                                            int last);
/* Clears the given flag bits of rows first..last. */
NVRA_API int NVRAclearrowflags_witharraysizes(NVRAprob prob, int flags, int first, int last);
/* Row and column scale factors (the engine exposes none: all 1). */
NVRA_API int NVRAgetscale_witharraysizes(NVRAprob prob, double rowscale[], int rowscalesize,
                                         double colscale[], int colscalesize);

/* ---- size-checked forms of model edits: each array comes with its length, which must hold the
 * entries the call reads. ---------------------------------------------------------------------- */
NVRA_API int NVRAdelrows_witharraysizes(NVRAprob prob, int nrows, const int rowind[],
                                        int rowindsize);
NVRA_API int NVRAdelcols_witharraysizes(NVRAprob prob, int ncols, const int colind[],
                                        int colindsize);
NVRA_API int NVRAdelsets_witharraysizes(NVRAprob prob, int nsets, const int setind[],
                                        int setindsize);
NVRA_API int NVRAaddsets64_witharraysizes(NVRAprob prob, int nsets, int64_t nelems,
                                          const char settype[], int settypesize,
                                          const int64_t start[], int startsize, const int colind[],
                                          int64_t colindsize, const double refval[],
                                          int64_t refvalsize);

/* ---- the cut pool -----------------------------------------------------------------------------
 * Cuts are rows kept by the problem apart from its model, each with a type (an int the user
 * chooses) and a handle. Stored cuts are in the pool; active cuts (NVRA_ATTR_CUTS of them) are
 * added as rows to every solve. Cuts refer to columns by index: deleting columns invalidates
 * them (a solve drops, with a warning, active cuts naming columns that no longer exist).
 * Selection by type: interp -1 every cut, 1 type == cuttype, 2 (type & cuttype) != 0,
 * 3 (type & cuttype) == cuttype. Coefficients and row types as for NVRAaddrows64. A cut's
 * handle is an NVRAcut (declared with the branching objects above). */
/* Stores ncuts cuts in the pool (start: ncuts + 1 entries; cut k has the entries start[k] ..
 * start[k+1]-1; cuttype NULL gives type 0); their handles into cutind (may be NULL). */
NVRA_API int NVRAstorecuts64(NVRAprob prob, int ncuts, const int cuttype[], const char rowtype[],
                             const double rhs[], const int64_t start[], const int colind[],
                             const double cutcoef[], NVRAcut cutind[]);
/* Stores ncuts cuts and makes them active. */
NVRA_API int NVRAaddcuts64(NVRAprob prob, int ncuts, const int cuttype[], const char rowtype[],
                           const double rhs[], const int64_t start[], const int colind[],
                           const double cutcoef[]);
/* addcuts64 for the size-checked family: globalvalid must be 1 (cuts valid for the whole
 * problem; cuts local to a node belong to callbacks). */
NVRA_API int NVRAaddmanagedcuts64_witharraysizes(NVRAprob prob, int globalvalid, int ncuts,
                                                 const char rowtype[], int rowtypesize,
                                                 const double rhs[], int rhssize,
                                                 const int64_t start[], int startsize,
                                                 const int colind[], int64_t colindsize,
                                                 const double cutcoef[], int64_t cutcoefsize);
/* Makes pool cuts active: the ncuts listed ones, or with ncuts -1 those selected by type. */
NVRA_API int NVRAloadcuts(NVRAprob prob, int cuttype, int interp, int ncuts,
                          const NVRAcut cutind[]);
/* Active cuts selected by type: *ncuts their number, at most maxcuts handles into cutind. */
NVRA_API int NVRAgetcutlist(NVRAprob prob, int cuttype, int interp, int *ncuts, int maxcuts,
                            NVRAcut cutind[]);
/* Pool cuts selected by type whose violation at the current solution is at least delta (viol
 * receives it; a cut's violation is how far the solution lies outside it, negative inside). */
NVRA_API int NVRAgetcpcutlist(NVRAprob prob, int cuttype, int interp, double delta, int *ncuts,
                              int maxcuts, NVRAcut cutind[], double viol[]);
/* The data of the listed cuts in row-wise form (start: ncuts + 1 entries); arrays may be NULL;
 * *ncoefs the number of coefficients (maxcoefs must hold them when colind or cutcoef is given). */
NVRA_API int NVRAgetcpcuts64(NVRAprob prob, const NVRAcut cutind[], int ncuts, int64_t maxcoefs,
                             int cuttype[], char rowtype[], int64_t start[], int colind[],
                             double cutcoef[], double rhs[], int64_t *ncoefs);
/* Row of each listed cut in the combined index (rows + k for the k-th active cut), -1 when not
 * active. */
NVRA_API int NVRAgetcutmap(NVRAprob prob, int ncuts, const NVRAcut cutind[], int cutmap[]);
/* Slack rhs - a'x of an active cut at the current solution. */
NVRA_API int NVRAgetcutslack(NVRAprob prob, NVRAcut cut, double *slack);
/* Removes cuts from the pool (active ones too): the listed ones, or with ncuts -1 those selected
 * by type. Their handles become invalid. */
NVRA_API int NVRAdelcpcuts(NVRAprob prob, int cuttype, int interp, int ncuts,
                           const NVRAcut cutind[]);
/* Deactivates active cuts (they stay in the pool): the listed ones, or with ncuts -1 those
 * selected by type, whose slack at the current solution exceeds delta in absolute value (delta
 * <= -1e20: all, no solution needed); keepbinding 1 keeps cuts binding at the solution. */
NVRA_API int NVRAdelcuts(NVRAprob prob, int keepbinding, int cuttype, int interp, double delta,
                         int ncuts, const NVRAcut cutind[]);

/* ---- solution, basis and directive files
 * --------------------------------------------------------- Text formats (documented in the
 * library's file-format notes): a failure to open or read fails with NVRA_RC_FILE naming the file
 * (and the line for a malformed file) and changes nothing. Names: the problem's row and column
 * names (given or default). */
/* Basis: "NAME", then XU/XL/UL/LL/BS lines as in the classic basis format (XU c r: column c basic,
 * row r at its upper end; XL c r: ... at its lower end; UL c, LL c: column at upper, lower; BS c:
 * superbasic column), "ENDATA"; rows not named are basic, columns not named at their lower end.
 * filename NULL or "": the problem name with ".bss"; flags "" (reserved). */
NVRA_API int NVRAwritebasis(NVRAprob prob, const char *filename, const char *flags);
NVRA_API int NVRAreadbasis(NVRAprob prob, const char *filename, const char *flags);
/* Directives: "NAME", then lines "UP|DN|PR name [priority [uppseudo downpseudo]]", "ENDATA". */
NVRA_API int NVRAwritedirs(NVRAprob prob, const char *filename);
NVRA_API int NVRAreaddirs(NVRAprob prob, const char *filename);
/* Solution as text (one line per column, then per row, comma separated: name, value, reduced
 * cost / name, activity, slack, dual) and as a printed report; flags "" (reserved). */
NVRA_API int NVRAwritesol(NVRAprob prob, const char *filename, const char *flags);
NVRA_API int NVRAwriteprtsol(NVRAprob prob, const char *filename, const char *flags);
/* The solution exchange format: "NAME", "C name value" per column with a non-zero value,
 * "ENDATA". Reading gives a MIP start (flags "" or NULL) or, with flag 'l', the current
 * continuous solution (as NVRAloadlpsol). */
NVRA_API int NVRAwriteslxsol(NVRAprob prob, const char *filename, const char *flags);
NVRA_API int NVRAreadslxsol(NVRAprob prob, const char *filename, const char *flags);
/* The current solution in a binary file, read back as the current solution (only onto a
 * problem of the same size); flags "" (reserved). */
NVRA_API int NVRAwritebinsol(NVRAprob prob, const char *filename, const char *flags);
NVRA_API int NVRAreadbinsol(NVRAprob prob, const char *filename, const char *flags);
/* The whole problem (model, names, controls, directives, solution, statuses) in one binary file:
 * NVRAsave writes "<problem name>.svf", NVRAsaveas the given file; NVRArestore reads
 * "<probname>.svf" (or probname itself when it ends in ".svf") and replaces the problem by it
 * (flags "" or NULL). A file of another version or a damaged file is refused. */
NVRA_API int NVRAsave(NVRAprob prob);
NVRA_API int NVRAsaveas(NVRAprob prob, const char *filename);
NVRA_API int NVRArestore(NVRAprob prob, const char *probname, const char *flags);
/* The same content in memory. NVRAsavetobuffer sets *nbytes to the size of the saved problem
 * and, when buf is given (bufsize bytes), writes it there; with buf NULL and bufsize 0 it only
 * reports the size. A buffer too small is refused (NVRA_RC_INVALID, *nbytes set, nothing
 * written). NVRArestorefrombuffer replaces the problem by nbytes bytes of such content (flags ""
 * or NULL); content of another version or damaged content is refused (NVRA_RC_INVALID) and
 * changes nothing. */
NVRA_API int NVRAsavetobuffer(NVRAprob prob, void *buf, int64_t bufsize, int64_t *nbytes);
NVRA_API int NVRArestorefrombuffer(NVRAprob prob, const void *buf, int64_t nbytes,
                                   const char *flags);

/* ---- tuning ----------------------------------------------------------------------------------
 * The tuner solves copies of the problem (or of the problems of a set file) with its current
 * controls and with each candidate setting of its method, each run limited to the best time so
 * far and the whole to the control "tunermaxtime" (0: no limit beyond that), and keeps the best
 * settings on the problem: by time (target automatic or time), gap, bound or objective
 * ("tunertarget") among the runs that reached the best status. Settings that were not better
 * than the current controls on the runs measured are never kept. Every run is reported in the
 * messages and, when the control "tunerreport" names a file, in that file. */
NVRA_API int NVRAtune(NVRAprob prob, const char *flags);
/* Tunes over the problems listed in setfile (one file name a line; relative names relative to
 * the set file), each read, solved as a MIP (ifmip 1) or continuous problem (0) in sense
 * (1 minimise, -1 maximise, 0 as in the file); the best settings are kept on prob. */
NVRA_API int NVRAtuneprobsetfile(NVRAprob prob, const char *setfile, int ifmip, int sense);
/* The method: one candidate a line, "name=value" pairs separated by blanks; "#" starts a
 * comment. The method read replaces the default method of the problem until it is changed. */
NVRA_API int NVRAtunerwritemethod(NVRAprob prob, const char *methodfile);
NVRA_API int NVRAtunerreadmethod(NVRAprob prob, const char *methodfile);

/* ---- messages and controls ----------------------------------------------------------------------
 * Codes of the library's own notices (given to global message handlers as msgcode): */
enum {
    NVRA_MSG_DIRSUNUSED = 701,   /* branching directives have no effect */
    NVRA_MSG_STARTDROPPED = 702, /* a start (basis, MIP start) no longer fits the problem */
    NVRA_MSG_CUTDROPPED = 703,   /* an active cut names a column that no longer exists */
    NVRA_MSG_IIS = 710,          /* IIS descriptions (NVRAiisprint) */
    NVRA_MSG_REPAIR = 720,       /* the report of a repair */
    NVRA_MSG_TUNER = 730         /* tuner reports */
};
/* Whether notices of msgcode are shown (status 1, the default) or suppressed (0). */
NVRA_API int NVRAgetmessagestatus(NVRAprob prob, int msgcode, int *status);
NVRA_API int NVRAsetmessagestatus(NVRAprob prob, int msgcode, int status);
/* Sends every control whose value differs from its default to the message callbacks. */
NVRA_API int NVRAdumpcontrols(NVRAprob prob);
/* The engine also writes its log to filename ("" stops it): the control "logfile". */
NVRA_API int NVRAsetlogfile(NVRAprob prob, const char *filename);

#ifdef __cplusplus
}
#endif
#endif /* NVRA_H */
