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


/* ---- problems ---------------------------------------------------------------------------- */

/* Problem message callback: msg is one line without its newline, len its length; msgtype 1
 * information, 2 detail, 3 warning, 4 error; 0 or below asks the receiver to flush. */
typedef void (*NVRAcbmessage)(NVRAprob prob, void *data, const char *msg, int len, int msgtype);

NVRA_API int NVRAcreateprob(NVRAprob *prob);
NVRA_API int NVRAdestroyprob(NVRAprob prob);
/* Last error message of the problem into buf (bufsize bytes, including the zero); an empty
 * string when the last call succeeded. */
NVRA_API int NVRAgetlasterror(NVRAprob prob, char *buf, int bufsize);
/* Message callbacks run in decreasing priority, equal priorities in order of registration. */
NVRA_API int NVRAaddcbmessage(NVRAprob prob, NVRAcbmessage f, void *data, int priority);
/* Removes every registration of (f, data); a NULL f or data matches any. */
NVRA_API int NVRAremovecbmessage(NVRAprob prob, NVRAcbmessage f, void *data);
/* Asks a running solve to stop at its next opportunity; safe from any thread. */
NVRA_API int NVRAinterrupt(NVRAprob prob, int reason);


/* ---- columns, rows and names (0-based; ranges first..last are inclusive) ------------------ */

/* Name kinds of NVRAaddnames, NVRAgetnamelist and NVRAgetindex. */
#define NVRA_NAMES_ROWS 1
#define NVRA_NAMES_COLUMNS 2
#define NVRA_NAMES_SETS 3

NVRA_API int NVRAgetlb(NVRAprob prob, double lb[], int first, int last);
NVRA_API int NVRAgetub(NVRAprob prob, double ub[], int first, int last);
/* bndtype[k] is 'L' (lower), 'U' (upper) or 'B' (both) for column colind[k]. */
NVRA_API int NVRAchgbounds(NVRAprob prob, int nbounds, const int colind[], const char bndtype[],
                           const double bndval[]);
/* Threshold (global limit) of semi-continuous, semi-integer and partially integer columns. */
NVRA_API int NVRAchgglblimit(NVRAprob prob, int ncols, const int colind[], const double limit[]);
NVRA_API int NVRAgetcoltype(NVRAprob prob, char coltype[], int first, int last);
/* Changing a column to 'B' also sets its bounds to [0, 1]. */
NVRA_API int NVRAchgcoltype(NVRAprob prob, int ncols, const int colind[], const char coltype[]);

NVRA_API int NVRAgetrhs(NVRAprob prob, double rhs[], int first, int last);
NVRA_API int NVRAgetrhsrange(NVRAprob prob, double range[], int first, int last);
NVRA_API int NVRAgetrowtype(NVRAprob prob, char rowtype[], int first, int last);
NVRA_API int NVRAchgrhs(NVRAprob prob, int nrows, const int rowind[], const double rhs[]);
NVRA_API int NVRAchgrhsrange(NVRAprob prob, int nrows, const int rowind[], const double range[]);
NVRA_API int NVRAchgrowtype(NVRAprob prob, int nrows, const int rowind[], const char rowtype[]);

/* Names of entries first..last of a kind, given one after another, each ending in a zero byte. */
NVRA_API int NVRAaddnames(NVRAprob prob, int type, const char names[], int first, int last);
/* Names of entries first..last, each ending in a zero byte, into names (maxbytes bytes).
 * *nbytes receives the number of bytes needed; with names NULL only that size is computed.
 * Unnamed entries give their default names. */
NVRA_API int NVRAgetnamelist(NVRAprob prob, int type, char names[], int maxbytes, int *nbytes,
                             int first, int last);
/* Index of the entry with that name, or -1 (with success) when there is none. */
NVRA_API int NVRAgetindex(NVRAprob prob, int type, const char *name, int *index);

/* ---- solutions -------------------------------------------------------------------------------
 * The getters succeed when no solution is available and report it in *status:
 * 1 = available and proven optimal, 2 = available (feasible, not proven optimal), any other
 * value = not available (the arrays are then left untouched). */
NVRA_API int NVRAgetsolution(NVRAprob prob, int *status, double x[], int first, int last);
NVRA_API int NVRAgetslacks(NVRAprob prob, int *status, double slacks[], int first, int last);
NVRA_API int NVRAgetduals(NVRAprob prob, int *status, double duals[], int first, int last);
NVRA_API int NVRAgetredcosts(NVRAprob prob, int *status, double djs[], int first, int last);
/* The same during a callback, for the solution the callback reports. */
NVRA_API int NVRAgetcallbacksolution(NVRAprob prob, int *available, double x[], int first,
                                     int last);
NVRA_API int NVRAgetcallbackslacks(NVRAprob prob, int *available, double slacks[], int first,
                                   int last);
NVRA_API int NVRAgetcallbackduals(NVRAprob prob, int *available, double duals[], int first,
                                  int last);
NVRA_API int NVRAgetcallbackredcosts(NVRAprob prob, int *available, double djs[], int first,
                                     int last);

#ifdef __cplusplus
}
#endif
#endif /* NVRA_H */
