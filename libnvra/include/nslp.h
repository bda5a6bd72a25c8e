/*
 * nslp.h: the nonlinear interface of libnvra.
 *
 * A nonlinear problem (NSLPprob) is attached to an optimizer problem (NVRAprob) and adds to its
 * model what is not linear or quadratic: formulas, the data of the successive linear
 * programming (SLP) solver for columns and rows, tolerance sets, multistart jobs, user
 * functions, nonlinear controls and attributes, and the nonlinear callbacks. Rows, columns,
 * bounds, the linear and quadratic parts and the names stay in the optimizer problem; a row's
 * value is its linear and quadratic part plus its nonlinear coefficients.
 *
 * Conventions shared by every function (beyond those of nvra.h, which hold here too):
 *  - a function that takes an NSLPprob validates it first (NVRA_RC_MISUSE for a null, freed or
 *    foreign handle, reported through NVRA_ge_getlasterror) and reports its failures on the
 *    optimizer problem it is attached to: NVRAgetlasterror and NSLPgetlasterror both give the
 *    message. Functions named NVRAnlp... and NVRAslp... take the optimizer problem and act on its
 *    nonlinear problem (NVRA_RC_INVALID when it has none);
 *  - a failed call leaves both problems as they were; calls that change the model fail with
 *    NVRA_RC_BUSY while the problem is being solved;
 *  - deleting rows or columns of the optimizer problem renumbers the nonlinear data with them:
 *    coefficients of deleted rows and of deleted coefficient columns go, and a deletion of a
 *    column that a formula reads is refused (nothing is deleted); loading, reading or copying a
 *    whole model into the optimizer problem clears its nonlinear data (controls, user functions
 *    and callbacks stay).
 *
 * Formulas. A formula is a sequence of tokens: two parallel arrays, token types (int) and token
 * values (double). In parsed form (the form the library keeps, hands out and evaluates) the
 * tokens are in reverse Polish order: an operand token pushes a value, an operator replaces the
 * two values on top (one for unary minus) by its result, with the left operand pushed first
 * ("x y -" is x - y); a function call is NSLP_TOK_RB (the start of its argument list), then its
 * arguments from the last to the first, then the function token, so that the first argument is
 * the one next to the function token. NSLP_TOK_DEL tokens are ignored. A formula ends at an
 * NSLP_TOK_EOF token or at the end of its range. In unparsed form the tokens are in the usual
 * infix order: binary operators between their operands, unary minus before its operand,
 * NSLP_TOK_LB and NSLP_TOK_RB as parentheses, and a function call as the function token,
 * NSLP_TOK_LB, the arguments in order separated by NSLP_TOK_DEL, NSLP_TOK_RB. Precedence: unary
 * minus, then ^ (right-associative), then * and /, then + and -. Functions given as text use the
 * same grammar with numbers, column names (as NVRAgetindex finds them; a name that is not a column
 * is an error), the operators + - * / ^ (and ** for ^), parentheses, commas, the function names
 * log10 ln (also log) exp abs sqrt sin cos tan arcsin arccos arctan (also asin acos atan) min
 * max pwl sum prod sign erf erfc, and the names of registered user functions. Formulas handed
 * out as text use these names and the column names (default names "C" and the index for unnamed
 * columns), with numbers in shortest round-trip form and only the parentheses precedence needs.
 *
 * Every formula is checked on entry: known token types, operator codes 1-6, functions known to
 * this library, registered user functions with their number of arguments, columns of the
 * optimizer problem, finite constants, balanced arguments (every operator and function finds its
 * operands, one value remains), pwl breakpoints given as constants with non-decreasing x, and a
 * constant part that evaluates (a division by a constant zero, the logarithm of a constant
 * below or at zero and the like are refused). The message names the formula (its row and
 * column) and the token.
 *
 * Coefficients. The nonlinear part of row r is the sum of its coefficients: a coefficient of row
 * r and column c is factor * x_c * f(x), one without a column (column NSLP_NOCOLUMN) is
 * factor * f(x). Adding a coefficient to a (row, column) that already has one adds the new
 * formula to it (the pair then stands for the sum; it is handed out as one formula with factor
 * 1 when the two factors differ). Row NSLP_OBJECTIVE (-1) stands for the objective: its
 * coefficients add to c'x + 0.5 x'Qx + constant. The formula of a row (the NVRAnlp... functions)
 * is the sum of its coefficients without a column.
 *
 * Evaluation. Formulas are evaluated at the current point: the current values of the columns
 * (NSLPchgvar's value; initially the initial values, 0 unless set), which a nonlinear solve
 * leaves at its solution. Domain errors (a logarithm of a value at or below 0, a square root of a
 * negative value, a division by zero, a power of a negative value to a non-integer exponent,
 * arcsin or arccos outside [-1, 1], a result that is not finite, a user function that fails)
 * make the evaluation fail with NVRA_RC_ENGINE and a message naming the row, column and function.
 * Derivatives are exact (automatic differentiation); at points where a function has no
 * derivative the one-sided one to the right is used (abs and sign at 0, min and max between
 * equal arguments, the first of them; pwl at a breakpoint, the segment to its right), and where
 * it is infinite (the square root at 0, x^c with 0 < c < 1 at 0) the evaluation fails. User
 * functions that return no derivatives are differentiated by central differences with step
 * h = d * max(1, |a|) for an argument a: for an argument that is a column, its derivative step
 * in the row (NSLPadddfs) or its delta (NSLPchgdeltatype), otherwise control
 * NSLP_CONTROL_FDSTEP (default 6.0554544523933395e-06, the cube root of the machine epsilon).
 * Their second derivatives are central differences of their derivatives with the same steps,
 * or, for functions without derivatives, second differences with the relative step
 * 1.220703125e-04 (the fourth root of the machine epsilon).
 */
#ifndef NSLP_H
#define NSLP_H

#include "nvra.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tagNSLPproblem *NSLPprob;

/* ---- tokens, operators, functions ----------------------------------------------------------*/
#define NSLP_TOK_EOF 0   /* end of a formula; value 0 */
#define NSLP_TOK_CON 1   /* a constant; value the number */
#define NSLP_TOK_COL 10  /* a column; value its index */
#define NSLP_TOK_FUN 11  /* a user function; value its id (NSLPadduserfunction) */
#define NSLP_TOK_IFUN 12 /* an internal function; value an NSLP_IFUN_* id */
#define NSLP_TOK_LB 21   /* unparsed form: left parenthesis */
#define NSLP_TOK_RB 22   /* unparsed form: right parenthesis; parsed form: start of arguments */
#define NSLP_TOK_DEL 24  /* unparsed form: comma between arguments; ignored in parsed form */
#define NSLP_TOK_OP 31   /* an operator; value an NSLP_OP_* code */

#define NSLP_OP_UMINUS 1
#define NSLP_OP_EXPONENT 2
#define NSLP_OP_MULTIPLY 3
#define NSLP_OP_DIVIDE 4
#define NSLP_OP_PLUS 5
#define NSLP_OP_MINUS 6

/* Internal functions (arguments: 1 unless noted). */
#define NSLP_IFUN_LOG10 14
#define NSLP_IFUN_LN 15
#define NSLP_IFUN_EXP 16
#define NSLP_IFUN_ABS 17
#define NSLP_IFUN_SQRT 18
#define NSLP_IFUN_SIN 27
#define NSLP_IFUN_COS 28
#define NSLP_IFUN_TAN 29
#define NSLP_IFUN_ARCSIN 30
#define NSLP_IFUN_ARCCOS 31
#define NSLP_IFUN_ARCTAN 32
#define NSLP_IFUN_MIN 33 /* one or more arguments */
#define NSLP_IFUN_MAX 34 /* one or more arguments */
/* pwl(x, x0, y0, x1, y1, ...): the piecewise linear function through the breakpoints (x0, y0),
 * (x1, y1), ... (constants, x non-decreasing; an x given twice is a jump, and the function takes
 * the later point's value there); beyond the first and the last breakpoint the first and the
 * last segment go on. One breakpoint gives a constant. */
#define NSLP_IFUN_PWL 35
#define NSLP_IFUN_SUM 36  /* one or more arguments */
#define NSLP_IFUN_PROD 37 /* one or more arguments */
#define NSLP_IFUN_SIGN 46 /* -1, 0 or 1 */
#define NSLP_IFUN_ERF 49
#define NSLP_IFUN_ERFC 50

#define NSLP_NOCOLUMN (-1000) /* the column of a coefficient that is the formula itself */
#define NSLP_OBJECTIVE (-1)   /* the row index of the objective */

/* ---- start, stop, problems ----------------------------------------------------------------- */

/* Starts the nonlinear component, and with it the library (NVRAinit(path), counted: NSLPfree
 * undoes both). Every other NSLP function needs an outstanding start. */
NVRA_API int NSLPinit(const char *path);
NVRA_API int NSLPfree(void);

/* Attaches a new nonlinear problem to prob (which must have none) and hands out its handle:
 * no coefficients, default SLP data and controls. Destroying prob destroys it too. */
NVRA_API int NSLPcreateprob(NSLPprob *nlprob, NVRAprob prob);
/* Detaches the nonlinear problem from its optimizer problem and frees it (the destroy callback
 * runs first). Fails with NVRA_RC_BUSY during a solve. */
NVRA_API int NSLPdestroyprob(NSLPprob nlprob);
/* Replaces dest's nonlinear data (coefficients, SLP data of columns and rows, tolerance sets,
 * multistart jobs, user functions) and controls by copies of src's. dest's optimizer problem
 * must already hold a model with at least src's rows and columns (copy it first with
 * NVRAcopyprob). Callbacks are not copied. */
NVRA_API int NSLPcopyprob(NSLPprob dest, NSLPprob src);
NVRA_API int NSLPcopycontrols(NSLPprob dest, NSLPprob src);
/* The return code and message of the last failed call on the problem, which it shares with its
 * optimizer problem (NVRAgetlasterrorcode, NVRAgetlasterror): code 0 and "" after a success.
 * msg must hold NVRA_MAXMESSAGELENGTH bytes (may be NULL, as may code). */
NVRA_API int NSLPgetlasterror(NSLPprob nlprob, int *code, char *msg);
/* Asks a running nonlinear solve to stop (as NVRAinterrupt on the optimizer problem). */
NVRA_API int NSLPinterrupt(NSLPprob nlprob, int reason);

/* ---- controls and attributes ----------------------------------------------------------------
 * Two lists: NSLPgetcalist the nonlinear solver's (ids below 20000), NSLPgetIPMcalist its
 * interior-point local solver's (ids from 22000). Both are read and set with the functions
 * below. Each list is handed out as three parallel arrays owned by the library: entry 0 is a
 * header (id 0, name "", flags 0), the entries follow from index 1, and an entry with id 0 and
 * name "" ends the list; *count (may be NULL) counts the entries between them. Flags: exactly
 * one of the type bits, NSLP_CA_CONTROL for controls; NSLP_CA_HIDDEN marks an entry that has no
 * value a caller could hold (none of the listed ones). Names are lower case and distinct from
 * the optimizer's. */
#define NSLP_CA_INT 0x1
#define NSLP_CA_DOUBLE 0x2
#define NSLP_CA_STRING 0x4
#define NSLP_CA_CONTROL 0x10
#define NSLP_CA_NOEFFECT 0x80 /* stored and reported; the solver of this build does not read it */
#define NSLP_CA_HIDDEN 0x200

NVRA_API int NSLPgetcalist(NSLPprob nlprob, int *count, const int **ids, const char *const **names,
                           const int **flags);
NVRA_API int NSLPgetIPMcalist(NSLPprob nlprob, int *count, const int **ids,
                              const char *const **names, const int **flags);
/* Id and list flags of a control or attribute of either list by name (lower or upper case); an
 * unknown name succeeds with id 0 and flags 0. Needs only a started component. */
NVRA_API int NSLPcontrolcode(int *id, const char *name, int *flags);

/* Typed access by id, with the checks of the NVRA functions (type, kind, bounds). String values
 * are read into NVRA_MAXSTRINGLENGTH bytes. */
NVRA_API int NSLPgetintcontrol(NSLPprob nlprob, int control, int *value);
NVRA_API int NSLPsetintcontrol(NSLPprob nlprob, int control, int value);
NVRA_API int NSLPgetdblcontrol(NSLPprob nlprob, int control, double *value);
NVRA_API int NSLPsetdblcontrol(NSLPprob nlprob, int control, double value);
NVRA_API int NSLPgetstrcontrol(NSLPprob nlprob, int control, char *value);
NVRA_API int NSLPsetstrcontrol(NSLPprob nlprob, int control, const char *value);
NVRA_API int NSLPsetdefaults(NSLPprob nlprob);
NVRA_API int NSLPsetdefaultcontrol(NSLPprob nlprob, int control);
NVRA_API int NSLPgetintattrib(NSLPprob nlprob, int attrib, int *value);
NVRA_API int NSLPgetdblattrib(NSLPprob nlprob, int attrib, double *value);
NVRA_API int NSLPgetstrattrib(NSLPprob nlprob, int attrib, char *value);
/* Pointer attributes (not listed): NSLP_ATTR_PROBLEM gives the optimizer problem. */
NVRA_API int NSLPgetptrattrib(NSLPprob nlprob, int attrib, void **value);

/* Ids callers rely on (the full lists come from NSLPgetcalist and NSLPgetIPMcalist). */
#define NSLP_ATTR_ROWS 11999 /* the optimizer problem's rows */
#define NSLP_ATTR_COLS 12000 /* its columns */
#define NSLP_ATTR_EQUALSCOLUMN                                                                     \
    12013                     /* -1: no column stands for the constant 1 (use NSLP_NOCOLUMN) */
#define NSLP_ATTR_COEFS 12016 /* coefficients with a column */
#define NSLP_ATTR_FORMULAROWS 12026 /* rows (and the objective) with a formula of their own */
#define NSLP_ATTR_STATUS 12044      /* NSLP_STATUS_* of the last nonlinear solve */
#define NSLP_ATTR_STATE 12062       /* NSLP_STATE_* bits */
#define NSLP_ATTR_OBJVAL 12179      /* objective of the last nonlinear solve; 1e20 * sense before */
#define NSLP_ATTR_PROBLEM 12601     /* pointer: the optimizer problem */
#define NSLP_ATTR_IPMEQUALSCOLUMN 22013 /* the interior-point list's view of 12013 */
#define NSLP_CONTROL_OBJSENSE 12146 /* double, 1 or -1: the optimizer problem's sense (a view) */
#define NSLP_CONTROL_FDSTEP 12210   /* double: relative step of finite differences */
#define NSLP_CONTROL_MSGFORWARD                                                                    \
    12415 /* int: 1 also sends nonlinear messages to the optimizer                                 \
           * problem's message callbacks, 0 does not */

/* NSLP_ATTR_STATE bits. */
#define NSLP_STATE_CONSTRUCTED 0x1 /* NSLPconstruct has run: undo with NSLPunconstruct */
#define NSLP_STATE_PRESOLVED                                                                       \
    0x20000000 /* a nonlinear presolve is in effect: undo with                                     \
                * NSLPpostsolve */

/* NSLP_ATTR_STATUS values. */
enum {
    NSLP_STATUS_UNSTARTED = 0,
    NSLP_STATUS_LOCALLY_OPTIMAL = 1, /* converged to a point that satisfies the local conditions */
    NSLP_STATUS_OPTIMAL = 2,         /* proven globally optimal (convex problems) */
    NSLP_STATUS_LOCALLY_INFEASIBLE = 3, /* stopped at a point of least violation */
    NSLP_STATUS_INFEASIBLE = 4,         /* proven infeasible */
    NSLP_STATUS_UNBOUNDED = 5,
    NSLP_STATUS_UNFINISHED = 6, /* a limit or an interrupt stopped it, or the solver met only its
                                   looser (acceptable) tolerances at a feasible point */
    NSLP_STATUS_FAILED = 7      /* an error (an evaluation that failed, an engine error) */
};

/* ---- coefficients ----------------------------------------------------------------------------
 * parsed: 1 for tokens in parsed form, 0 for unparsed (see the top of this header). */

/* Adds ncoefs coefficients: coefficient k of row rowind[k] (or NSLP_OBJECTIVE) and column
 * colind[k] (or NSLP_NOCOLUMN), with factor factor[k] (factor NULL: 1) and the formula of tokens
 * fstart[k] .. fstart[k+1]-1 (fstart has ncoefs + 1 entries; with fstart NULL each formula ends
 * at its NSLP_TOK_EOF and the next starts after it). An NSLP_TOK_EOF may only close a formula. */
NVRA_API int NSLPaddcoefs(NSLPprob nlprob, int ncoefs, const int rowind[], const int colind[],
                          const double factor[], const int fstart[], int parsed, const int type[],
                          const double value[]);
/* NSLPaddcoefs after removing every coefficient. */
NVRA_API int NSLPloadcoefs(NSLPprob nlprob, int ncoefs, const int rowind[], const int colind[],
                           const double factor[], const int fstart[], int parsed, const int type[],
                           const double value[]);
/* Removes the coefficients (rowind[k], colind[k]); a pair without a coefficient is an error. */
NVRA_API int NSLPdelcoefs(NSLPprob nlprob, int ncoefs, const int rowind[], const int colind[]);
/* The coefficients as (row, column) pairs in increasing (row, column) order, the objective's
 * first; *ncoefs their number. With rowind and colind NULL only the number is given; otherwise
 * both must hold it. */
NVRA_API int NSLPgetcoefs(NSLPprob nlprob, int *ncoefs, int rowind[], int colind[]);
/* Sets (replaces) the coefficient of (row, col); factor NULL keeps its factor (1 for a new
 * one). An empty formula (a first token NSLP_TOK_EOF) removes the coefficient. */
NVRA_API int NSLPchgcoef(NSLPprob nlprob, int row, int col, const double *factor, int parsed,
                         const int type[], const double value[]);
/* NSLPchgcoef with the formula as text. */
NVRA_API int NSLPchgccoef(NSLPprob nlprob, int row, int col, const double *factor,
                          const char *formula);
/* The coefficient of (row, col) as text (maxbytes bytes with the zero, truncated; formula may
 * be NULL) and its factor (may be NULL). A pair without a coefficient is an error. */
NVRA_API int NSLPgetccoef(NSLPprob nlprob, int row, int col, double *factor, char *formula,
                          int maxbytes);
/* The coefficient's formula as tokens ending with NSLP_TOK_EOF, in parsed (parsed 1) or
 * unparsed form, and its factor (may be NULL). *ntypes receives the token count with the end
 * token; with type and value NULL only the count is given, otherwise maxtypes must hold it
 * (NVRA_RC_RANGE). */
NVRA_API int NSLPgetcoefformula(NSLPprob nlprob, int row, int col, double *factor, int parsed,
                                int maxtypes, int *ntypes, int type[], double value[]);
/* The value of coefficient (row, col) at the current point: factor * f(x) (the column's value
 * is not multiplied in). */
NVRA_API int NSLPevaluatecoef(NSLPprob nlprob, int row, int col, double *value);
/* The value of a formula (ending at its NSLP_TOK_EOF) at the current point; the formula is
 * checked as on entry and not kept. */
NVRA_API int NSLPevaluateformula(NSLPprob nlprob, int parsed, const int type[],
                                 const double value[], double *result);

/* ---- the same through the optimizer problem ----------------------------------------------- */
NVRA_API int NVRAslpchgcoef(NVRAprob prob, int row, int col, const double *factor, int parsed,
                            const int type[], const double value[]);
NVRA_API int NVRAslpchgcoefstr(NVRAprob prob, int row, int col, const double *factor,
                               const char *formula);
NVRA_API int NVRAslpgetcoefformula(NVRAprob prob, int row, int col, double *factor, int parsed,
                                   int maxtypes, int *ntypes, int type[], double value[]);
/* The text into formula (maxbytes bytes with the zero, truncated); *nbytes (may be NULL) the
 * size it needs with its zero; formula may be NULL. */
NVRA_API int NVRAslpgetcoefstr(NVRAprob prob, int row, int col, double *factor, char *formula,
                               int maxbytes, int *nbytes);
NVRA_API int NVRAslpgetcoefs(NVRAprob prob, int *ncoefs, int rowind[], int colind[]);

/* Row formulas: the formula of a row is the sum of its coefficients without a column.
 * NVRAnlpaddformulas adds formula k (tokens formulastart[k] .. formulastart[k+1]-1, or up to its
 * NSLP_TOK_EOF when formulastart is NULL) to row rowind[k] (or NSLP_OBJECTIVE);
 * NVRAnlploadformulas first removes every row formula; NVRAnlpchgformula replaces one row's
 * formula (an empty one removes it); NVRAnlpdelformulas removes those of the listed rows (rows
 * without one are skipped). */
NVRA_API int NVRAnlpaddformulas(NVRAprob prob, int nformulas, const int rowind[],
                                const int64_t formulastart[], int parsed, const int type[],
                                const double value[]);
NVRA_API int NVRAnlploadformulas(NVRAprob prob, int nformulas, const int rowind[],
                                 const int64_t formulastart[], int parsed, const int type[],
                                 const double value[]);
NVRA_API int NVRAnlpdelformulas(NVRAprob prob, int nrows, const int rowind[]);
NVRA_API int NVRAnlpchgformula(NVRAprob prob, int row, int parsed, const int type[],
                               const double value[]);
NVRA_API int NVRAnlpchgformulastr(NVRAprob prob, int row, const char *formula);
/* The row's formula as tokens (as NSLPgetcoefformula); a row without one gives the single
 * token NSLP_TOK_EOF. */
NVRA_API int NVRAnlpgetformula(NVRAprob prob, int row, int parsed, int maxtypes, int *ntypes,
                               int type[], double value[]);
/* As text ("" for a row without one), sizes as NVRAslpgetcoefstr. */
NVRA_API int NVRAnlpgetformulastr(NVRAprob prob, int row, char *formula, int maxbytes, int *nbytes);
/* The rows with a formula in increasing order (the objective first, as NSLP_OBJECTIVE); with
 * rowind NULL only *nformulas is given. */
NVRA_API int NVRAnlpgetformularows(NVRAprob prob, int *nformulas, int rowind[]);
/* Initial values of columns: each listed column's initial and current value. */
NVRA_API int NVRAnlpsetinitval(NVRAprob prob, int ncols, const int colind[],
                               const double initval[]);
/* Solves the nonlinear problem (NVRAoptimize does the same for problems with formulas). */
NVRA_API int NVRAnlpoptimize(NVRAprob prob, const char *flags);
/* Sets the determining row of each listed column (-1: none). */
NVRA_API int NVRAslpsetdetrow(NVRAprob prob, int ncols, const int colind[], const int rowind[]);

/* Size-checked forms: each array comes with the number of entries it holds; an array shorter
 * than the call needs is an error naming it (NVRA_RC_RANGE). */
NVRA_API int NVRAnlpaddformulas_witharraysizes(NVRAprob prob, int nformulas, const int rowind[],
                                               int rowindsize, const int64_t formulastart[],
                                               int formulastartsize, int parsed, const int type[],
                                               int64_t typesize, const double value[],
                                               int64_t valuesize);
NVRA_API int NVRAnlploadformulas_witharraysizes(NVRAprob prob, int nformulas, const int rowind[],
                                                int rowindsize, const int64_t formulastart[],
                                                int formulastartsize, int parsed, const int type[],
                                                int64_t typesize, const double value[],
                                                int64_t valuesize);
NVRA_API int NVRAnlpdelformulas_witharraysizes(NVRAprob prob, int nrows, const int rowind[],
                                               int rowindsize);
NVRA_API int NVRAnlpgetformularows_witharraysizes(NVRAprob prob, int *nformulas, int rowind[],
                                                  int rowindsize);
NVRA_API int NVRAslpsetdetrow_witharraysizes(NVRAprob prob, int ncols, const int colind[],
                                             int colindsize, const int rowind[], int rowindsize);

/* ---- user functions --------------------------------------------------------------------------
 * A user function of nargs arguments appears in formulas as an NSLP_TOK_FUN token whose value
 * is its id. Types:
 *  NSLP_USERFUNC_VALUE (2): double f(const double args[], void *data) returns the value; it
 *    reports a failure by calling NSLPsetfunctionerror before returning;
 *  NSLP_USERFUNC_DERIVS (5): int f(const double args[], const double deltas[], double *value,
 *    double derivs[], void *data) stores the value, and when deltas is not NULL the partial
 *    derivative with respect to each argument i whose deltas[i] is not 0 into derivs[i]
 *    (the others may be left alone); it returns 0, or non-zero for a failure.
 * The library may call a user function from any thread, but never concurrently for one
 * problem. A value or derivative that is not finite is a failure. */
#define NSLP_USERFUNC_VALUE 2
#define NSLP_USERFUNC_DERIVS 5
typedef double (*NSLPuserfuncvalue)(const double *args, void *data);
typedef int (*NSLPuserfuncderivs)(const double *args, const double *deltas, double *value,
                                  double *derivs, void *data);
/* Registers a user function under name (1 to 63 bytes; names may repeat, and the text form
 * finds the first function of a name, so a name written in text should be a plain identifier
 * distinct from the internal functions'); nargs >= 1; nreturn must be 1 and options 0
 * (reserved). fn is the function of the type, cast to void (*)(void). Its id (from 1) goes into
 * *id. Registering the same function again gives it a new id. */
NVRA_API int NSLPadduserfunction(NSLPprob nlprob, const char *name, int type, int nargs,
                                 int nreturn, int options, void (*fn)(void), void *data, int *id);
/* Called by a user function of type NSLP_USERFUNC_VALUE to report that the current call
 * failed. */
NVRA_API int NSLPsetfunctionerror(NSLPprob nlprob);

/* ---- SLP data of columns and rows ------------------------------------------------------------
 * Every column has SLP data (defaults in brackets): type bits [0], determining row [-1, none],
 * cascade order number [0], tolerance set [0, none], initial value [0], current value [the
 * initial value], initial step bound and step bound [1e20: none], penalty weight of its step
 * [1], damping factor [1], history [0], convergence status [0], cascade iteration limit
 * [0: control slp_cascadenlimit], delta type and value [NSLP_DELTA_DEFAULT]. */
#define NSLP_VAR_CASCADE 0x2 /* recompute the column from its determining row after each step */
#define NSLP_VAR_FIXSTEP 0x4 /* the solver keeps its step bound as given */

/* Makes the listed columns SLP columns with the given data; each array may be NULL (defaults).
 * NSLPloadvars first resets the data of every column. */
NVRA_API int NSLPaddvars(NSLPprob nlprob, int ncols, const int colind[], const int vartype[],
                         const int detrow[], const int seqnum[], const int tolindex[],
                         const double initvalue[], const double stepbound[]);
NVRA_API int NSLPloadvars(NSLPprob nlprob, int ncols, const int colind[], const int vartype[],
                          const int detrow[], const int seqnum[], const int tolindex[],
                          const double initvalue[], const double stepbound[]);
/* Resets the SLP data of the listed columns to the defaults. */
NVRA_API int NSLPdelvars(NSLPprob nlprob, int ncols, const int colind[]);
/* Changes a column's data: each non-NULL pointer gives a new value. */
NVRA_API int NSLPchgvar(NSLPprob nlprob, int col, const int *detrow, const double *initstepbound,
                        const double *stepbound, const double *penalty, const double *damp,
                        const double *initvalue, const double *value, const int *tolset,
                        const int *history, const int *converged, const int *vartype);
/* Reads a column's data: each non-NULL pointer receives a value. */
NVRA_API int NSLPgetvar(NSLPprob nlprob, int col, int *detrow, double *initstepbound,
                        double *stepbound, double *penalty, double *damp, double *initvalue,
                        double *value, int *tolset, int *history, int *converged, int *vartype);
/* Delta of each listed column: the step of its finite differences. */
#define NSLP_DELTA_DEFAULT 0  /* control NSLP_CONTROL_FDSTEP, relative (value ignored) */
#define NSLP_DELTA_ABSOLUTE 1 /* h = value */
#define NSLP_DELTA_RELATIVE 2 /* h = value * max(1, |x|) */
NVRA_API int NSLPchgdeltatype(NSLPprob nlprob, int ncols, const int colind[],
                              const int deltatypes[], const double values[]);
/* Iteration limit of the cascading of a column (0: control slp_cascadenlimit). */
NVRA_API int NSLPchgcascadenlimit(NSLPprob nlprob, int col, int limit);
/* Derivative steps per (column, row): the step of the column's finite differences inside the
 * formulas of that row, overriding its delta (finite, >= 0; 0 removes it). NSLPchgdf sets it to
 * *value (a NULL value changes nothing); NSLPgetdf reads it (0 when none). */
NVRA_API int NSLPadddfs(NSLPprob nlprob, int ndfs, const int colind[], const int rowind[],
                        const double value[]);
NVRA_API int NSLPloaddfs(NSLPprob nlprob, int ndfs, const int colind[], const int rowind[],
                         const double value[]);
NVRA_API int NSLPchgdf(NSLPprob nlprob, int col, int row, double *value);
NVRA_API int NSLPgetdf(NSLPprob nlprob, int col, int row, double *value);

/* Row status bits (others must be 0) and the penalty weight of a row's violation [1]. */
#define NSLP_ROW_ENFORCED 0x1    /* the solver may not violate the row while it searches */
#define NSLP_ROW_OBJECTIVE 0x800 /* the row defines a column that carries the objective */
NVRA_API int NSLPchgrowstatus(NSLPprob nlprob, int row, int status);
NVRA_API int NSLPgetrowstatus(NSLPprob nlprob, int row, int *status);
NVRA_API int NSLPchgrowwt(NSLPprob nlprob, int row, double weight);
NVRA_API int NSLPgetrowwt(NSLPprob nlprob, int row, double *weight);

/* Row and column information: types below 100 are integers (info is int *), from 100 doubles
 * (info is double *). */
#define NSLP_ROWINFO_STATUS 1
#define NSLP_ROWINFO_COEFS 2 /* coefficients of the row (with and without a column) */
#define NSLP_ROWINFO_WEIGHT 100
#define NSLP_ROWINFO_ACTIVITY 101  /* the row's value at the current point */
#define NSLP_ROWINFO_VIOLATION 102 /* how far that value lies outside the row's bounds */
#define NSLP_COLINFO_DETROW 1
#define NSLP_COLINFO_VARTYPE 2
#define NSLP_COLINFO_TOLSET 3
#define NSLP_COLINFO_CONVERGED 4
#define NSLP_COLINFO_HISTORY 5
#define NSLP_COLINFO_CASCADELIMIT 6
#define NSLP_COLINFO_NONLINEAR 7 /* 1 when a formula reads the column or it is a coefficient's */
#define NSLP_COLINFO_DELTATYPE 8
#define NSLP_COLINFO_VALUE 100
#define NSLP_COLINFO_INITVALUE 101
#define NSLP_COLINFO_STEPBOUND 102
#define NSLP_COLINFO_PENALTY 103
#define NSLP_COLINFO_DELTA 104 /* the finite-difference step at the current value */
NVRA_API int NSLPgetrowinfo(NSLPprob nlprob, int infotype, int row, void *info);
NVRA_API int NSLPgetcolinfo(NSLPprob nlprob, int infotype, int col, void *info);

/* ---- tolerance sets --------------------------------------------------------------------------
 * A tolerance set holds NSLP_TOLSET_COUNT tolerances, of which those whose bit is set in its
 * status are used. Sets are numbered from 1 (0 stands for none in a column's data); deleting sets
 * renumbers the later ones and the columns that use them (a column of a deleted set gets 0). */
#define NSLP_TOLSET_COUNT 9
enum {
    NSLP_TOL_CLOSURE = 0,   /* step relative to the initial value */
    NSLP_TOL_ABSSTEP = 1,   /* absolute step */
    NSLP_TOL_RELSTEP = 2,   /* step relative to the value */
    NSLP_TOL_ABSCOEF = 3,   /* absolute change of the column's coefficients */
    NSLP_TOL_RELCOEF = 4,   /* relative change of the column's coefficients */
    NSLP_TOL_ABSIMPACT = 5, /* absolute change of the rows' values */
    NSLP_TOL_RELIMPACT = 6, /* relative change of the rows' values */
    NSLP_TOL_ABSSLACK = 7,  /* absolute slack change */
    NSLP_TOL_RELSLACK = 8   /* relative slack change */
};
/* Appends ntol sets of NSLP_TOLSET_COUNT values each (every tolerance used); tolerances must be
 * finite and >= 0. NSLPloadtolsets first removes every set. */
NVRA_API int NSLPaddtolsets(NSLPprob nlprob, int ntol, const double tols[]);
NVRA_API int NSLPloadtolsets(NSLPprob nlprob, int ntol, const double tols[]);
/* Changes set tolset: status (may be NULL) the bits of the tolerances used, tols (may be NULL)
 * their values. */
NVRA_API int NSLPchgtolset(NSLPprob nlprob, int tolset, const int *status, const double tols[]);
NVRA_API int NSLPgettolset(NSLPprob nlprob, int tolset, int *status, double tols[]);
NVRA_API int NSLPdeltolsets(NSLPprob nlprob, int ntol, const int tolind[]);

/* ---- multistart ------------------------------------------------------------------------------
 * Jobs run by a multistart solve; each job is a set of initial values and control values. A
 * preset adds count jobs of a kind. The job object is handed back to the multistart callbacks. */
#define NSLP_MSPRESET_RANDOM                                                                       \
    1                           /* random initial values within the bounds (a box of width         \
                                 * control ms_boxsize around 0 for infinite ones) */
#define NSLP_MSPRESET_PERTURB 2 /* random perturbations of the initial values */
#define NSLP_MSPRESET_SOLVERS 3 /* each local solver in turn (count is ignored) */
NVRA_API int NSLPmsaddjob(NSLPprob nlprob, const char *description, int ninitial,
                          const int colind[], const double initial[], int nintcontrols,
                          const int intcontrolid[], const int intcontrolval[], int ndblcontrols,
                          const int dblcontrolid[], const double dblcontrolval[], void *jobobject);
NVRA_API int NSLPmsaddpreset(NSLPprob nlprob, const char *description, int preset, int count,
                             void *jobobject);
/* A preset whose jobs also apply the given initial values and controls. */
NVRA_API int NSLPmsaddcustompreset(NSLPprob nlprob, const char *description, int preset, int count,
                                   int ninitial, const int colind[], const double initial[],
                                   int nintcontrols, const int intcontrolid[],
                                   const int intcontrolval[], int ndblcontrols,
                                   const int dblcontrolid[], const double dblcontrolval[],
                                   void *jobobject);
NVRA_API int NSLPmsclear(NSLPprob nlprob);

/* ---- solving and checking --------------------------------------------------------------------*/

/* Checks every formula against the current model and prepares the evaluation (NSLP_STATE_
 * CONSTRUCTED); the construct callback runs. NSLPunconstruct drops it again. */
NVRA_API int NSLPconstruct(NSLPprob nlprob);
NVRA_API int NSLPunconstruct(NSLPprob nlprob);
/* Current values become the initial values. */
NVRA_API int NSLPsetcurrentiv(NSLPprob nlprob);
/* Forgets the last nonlinear solve: current values back to the initial values, step bounds back
 * to the initial step bounds, histories and convergence statuses 0, status unstarted. */
NVRA_API int NSLPreinitialize(NSLPprob nlprob);
/* Orders the columns with a determining row so that each is computed after the columns its row
 * reads (a cycle among them is an error naming a column of it); NSLPcascade then computes each
 * NSLP_VAR_CASCADE column in that order by Newton's method on its determining row at the current
 * point (at most its cascade limit of steps; the cascadevar and cascadevarfail callbacks run). */
NVRA_API int NSLPcascadeorder(NSLPprob nlprob);
NVRA_API int NSLPcascade(NSLPprob nlprob);
/* The current point checked against every row (linear, quadratic and nonlinear parts) and the
 * column bounds with tolerance control nlp_feastol; violations are reported as messages, and
 * attributes nlp_maxviolation, nlp_suminfeas and nlp_violations are set. validaterow reports
 * one row in detail, validatevector checks the point x (one value per column) instead of the
 * current one. */
NVRA_API int NSLPvalidate(NSLPprob nlprob);
NVRA_API int NSLPvalidaterow(NSLPprob nlprob, int row);
NVRA_API int NSLPvalidatevector(NSLPprob nlprob, const double x[]);
/* Reports the memory the nonlinear data uses, and the evaluation counts, as messages. */
NVRA_API int NSLPprintmemory(NSLPprob nlprob);
NVRA_API int NSLPprintevalinfo(NSLPprob nlprob);
/* The solution of the last nonlinear solve (each array may be NULL; a requested one that is not
 * available is an error): values of the columns, slacks and duals of the rows, reduced costs. */
NVRA_API int NSLPgetslpsol(NSLPprob nlprob, double x[], double slack[], double duals[],
                           double djs[]);
/* Parts of the nonlinear solving engine (presolve and postsolve, scaling, penalty and
 * linearisation updates, checking the optimality conditions). */
NVRA_API int NSLPpresolve(NSLPprob nlprob);
NVRA_API int NSLPpostsolve(NSLPprob nlprob);
NVRA_API int NSLPscaling(NSLPprob nlprob);
NVRA_API int NSLPfixpenalties(NSLPprob nlprob);
NVRA_API int NSLPupdatelinearization(NSLPprob nlprob);
NVRA_API int NSLPvalidatekkt(NSLPprob nlprob, int mode, int respectbasis, int updatemult,
                             double violtarget);

/* ---- problem files ---------------------------------------------------------------------------
 * NVRAwriteprob and NSLPwriteprob write the formulas and SLP data of a problem in a section of
 * their own, the last before the end of the file: "Nonlinear" before End in LP files,
 * "NONLINEAR" before ENDATA in MPS files (formats and flags as NVRAwriteprob; 'g' is accepted).
 * NVRAreadprob reads it into the problem's nonlinear problem (a file with the section needs
 * one: NVRA_RC_FILE otherwise). The section is written when the problem has formulas or SLP
 * data that differ from the defaults. Each entry is one line (MPS: starting with a blank);
 * blank lines and comment lines (LP '\', MPS '*') are skipped:
 *   objective: <coefficient>                   a coefficient of the objective
 *   row <row>: <coefficient>                   a coefficient of a row
 *   column <column>: <key> <value> ...         SLP data of a column
 *   rowdata <row>: <key> <value> ...           SLP data of a row
 * A coefficient is either its formula alone (no column, factor 1) or
 *   [<factor>] [<column>] * [ <formula> ]
 * (factor * x_column * formula; factor 1 and no column when left out). Formulas are in the text
 * form (top of this header), which the library writes with numbers in shortest round-trip form,
 * so that a formula reads back as the same tokens (a unary minus of a constant becomes the
 * negative constant, as the text form reads it). Several entries of one row and column add up
 * (as NSLPaddcoefs does); the writer gives one per (row, column), the objective first, then the
 * rows in order and each row's coefficients by column. Names, of rows, columns and user
 * functions, are written as the text form writes them: a plain identifier (a letter or '_', then
 * letters, digits and '_') as it is, any other name in double quotes with a quote inside
 * doubled; they are the names the file itself shows (default names where the format cannot
 * hold a given one) and are looked up among the file's rows and columns.
 * Column data (written where they differ from the defaults): detrow <row>, type <int> (NSLP_VAR_
 * bits), seqnum <int>, initvalue <number> (also the current value after a read), initstepbound
 * <number> (also the step bound), penalty <number>, damp <number>, cascadelimit <int>, delta
 * absolute|relative <number>. Row data: status <int> (NSLP_ROW_ bits), weight <number>. Values
 * are checked as NSLPchgvar, NSLPchgdeltatype, NSLPchgcascadenlimit, NSLPchgrowstatus and
 * NSLPchgrowwt check them. Not written: derivative steps, tolerance sets (and the columns' sets),
 * multistart jobs and what a solve leaves (current values, step bounds, histories).
 * User functions are written by name: the writer refuses (NVRA_RC_UNSUPPORTED, naming it) a
 * formula calling a user function whose name is no plain identifier, is an internal function's
 * or was registered earlier by another function (the text form finds the first function of a
 * name). A read finds user functions among those registered with the problem's nonlinear
 * problem at the time of the read (they survive reads): a name that none has fails the read.
 * Any malformed entry (an unknown keyword, row, column or function, a formula that does not
 * parse or fails the checks on entry, a value out of range) fails the read with NVRA_RC_FILE
 * and a message naming the file and line; the problem is then left empty, as NVRAreadprob
 * leaves it after any failed read. */

/* Writes the problem with its formulas (flags and formats as NVRAwriteprob). */
NVRA_API int NSLPwriteprob(NSLPprob nlprob, const char *filename, const char *flags);

/* ---- callbacks -------------------------------------------------------------------------------
 * One function per kind and problem (a new registration replaces the last; a NULL function
 * removes it). Callbacks run on the thread of the solve (any thread); the return value 0 lets
 * the solve go on, any other value stops it as NSLPinterrupt does, unless noted. */
typedef void (*NSLPcbmessage)(NSLPprob nlprob, void *data, const char *msg, int len, int msgtype);
typedef int (*NSLPcbplain)(NSLPprob nlprob, void *data);
/* *out: slpnode and prenode 1 marks the node infeasible; optnode 1 marks it infeasible. */
typedef int (*NSLPcbnode)(NSLPprob nlprob, void *data, int *out);
/* cascadevar, cascadevarfail, itervar: col is the column (itervar returns the column's
 * convergence verdict: 0 keep the solver's, 1 converged, -1 not converged). */
typedef int (*NSLPcbcol)(NSLPprob nlprob, void *data, int col);
typedef int (*NSLPcbcoefevalerror)(NSLPprob nlprob, void *data, int row, int col);
/* The value the determining row gave a cascaded column: *newvalue may replace it. */
typedef int (*NSLPcbdrcol)(NSLPprob nlprob, void *data, int col, double value, double *newvalue,
                           double lb, double ub);
/* *status (may be NULL): a job's status; msjobstart 1 skips the job. */
typedef int (*NSLPcbmsjob)(NSLPprob nlprob, void *data, void *job, const char *description,
                           int *status);
typedef int (*NSLPcbmswinner)(NSLPprob nlprob, void *data, void *job, const char *description);
/* *ifrepeat set to 1 asks for the linearisation to be updated once more. */
typedef int (*NSLPcbpreupdatelinearization)(NSLPprob nlprob, void *data, int *ifrepeat);

/* The problem's messages (one line each; types as NVRAcbmessage). */
NVRA_API int NSLPsetcbmessage(NSLPprob nlprob, NSLPcbmessage f, void *data);
NVRA_API int NSLPsetcbcascadeend(NSLPprob nlprob, NSLPcbplain f, void *data);
NVRA_API int NSLPsetcbcascadestart(NSLPprob nlprob, NSLPcbplain f, void *data);
NVRA_API int NSLPsetcbcascadevar(NSLPprob nlprob, NSLPcbcol f, void *data);
NVRA_API int NSLPsetcbcascadevarfail(NSLPprob nlprob, NSLPcbcol f, void *data);
NVRA_API int NSLPsetcbcoefevalerror(NSLPprob nlprob, NSLPcbcoefevalerror f, void *data);
NVRA_API int NSLPsetcbconstruct(NSLPprob nlprob, NSLPcbplain f, void *data);
NVRA_API int NSLPsetcbdestroy(NSLPprob nlprob, NSLPcbplain f, void *data);
NVRA_API int NSLPsetcbdrcol(NSLPprob nlprob, NSLPcbdrcol f, void *data);
NVRA_API int NSLPsetcbiterend(NSLPprob nlprob, NSLPcbplain f, void *data);
NVRA_API int NSLPsetcbiterstart(NSLPprob nlprob, NSLPcbplain f, void *data);
NVRA_API int NSLPsetcbitervar(NSLPprob nlprob, NSLPcbcol f, void *data);
NVRA_API int NSLPsetcbmsjobend(NSLPprob nlprob, NSLPcbmsjob f, void *data);
NVRA_API int NSLPsetcbmsjobstart(NSLPprob nlprob, NSLPcbmsjob f, void *data);
NVRA_API int NSLPsetcbmswinner(NSLPprob nlprob, NSLPcbmswinner f, void *data);
NVRA_API int NSLPsetcbpreupdatelinearization(NSLPprob nlprob, NSLPcbpreupdatelinearization f,
                                             void *data);
NVRA_API int NSLPsetcbslpend(NSLPprob nlprob, NSLPcbplain f, void *data);
NVRA_API int NSLPsetcbslpnode(NSLPprob nlprob, NSLPcbnode f, void *data);
NVRA_API int NSLPsetcbslpstart(NSLPprob nlprob, NSLPcbplain f, void *data);
NVRA_API int NSLPsetcbintsol(NSLPprob nlprob, NSLPcbplain f, void *data);
NVRA_API int NSLPsetcboptnode(NSLPprob nlprob, NSLPcbnode f, void *data);
NVRA_API int NSLPsetcbprenode(NSLPprob nlprob, NSLPcbnode f, void *data);

#ifdef __cplusplus
}
#endif
#endif /* NSLP_H */
