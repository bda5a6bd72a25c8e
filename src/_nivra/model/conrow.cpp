// model/conrow.cpp: constraints linked to a row: attributes through the library's row
// functions, the body rebuilt from the row's coefficients, slacks and duals.
#include "conrow.h"

#include "constraint.h"
#include "expression.h"
#include "libaccess.h"
#include "nonlinear/formula.h"
#include "problem_model.h"
#include "runtime/alloc.h"
#include "runtime/env.h"
#include "runtime/ref.h"

namespace {

constexpr double kInf = NVRA_PLUSINFINITY;

struct Row {
    problem_model_s *p;
    int index;
};

Row rowOf(const constraint_s *c) {
    return {constraint_problem(c), static_cast<int>(c->id_low)};
}

PyObject *unexpectedType(char letter) {
    PyErr_Format(nvy_solver_exc, "Unexpected row type %c from NVRAgetrowtype", letter);
    return nullptr;
}

// One value of the row: its type letter, right-hand side or range. 0 or -1.
int rowType(Row r, char *letter) {
    return problem_call(r.p, NVRAgetrowtype, "NVRAgetrowtype", letter, r.index, r.index);
}
int rowRhs(Row r, double *rhs) {
    return problem_call(r.p, NVRAgetrhs, "NVRAgetrhs", rhs, r.index, r.index);
}
int rowRange(Row r, double *range) {
    return problem_call(r.p, NVRAgetrhsrange, "NVRAgetrhsrange", range, r.index, r.index);
}

// The bounds of the row from its type, right-hand side and (for ranges) range.
PyObject *rowBound(Row r, bool lower) {
    char letter = 0;
    double rhs = 0.0, range = 0.0;
    if (rowType(r, &letter) != 0 || rowRhs(r, &rhs) != 0) return nullptr;
    switch (letter) {
    case 'E':
        return PyFloat_FromDouble(rhs);
    case 'G':
        return PyFloat_FromDouble(lower ? rhs : kInf);
    case 'L':
        return PyFloat_FromDouble(lower ? -kInf : rhs);
    case 'N':
        return PyFloat_FromDouble(lower ? -kInf : kInf);
    case 'R':
        if (!lower) return PyFloat_FromDouble(rhs);
        return rowRange(r, &range) != 0 ? nullptr : PyFloat_FromDouble(rhs - range);
    default:
        return unexpectedType(letter);
    }
}

// The problem's variable object of a column reported by the library (ModelError naming the
// function when there is none). Borrowed, or null.
PyObject *variableOf(const problem_model_s *p, int col, const char *function) {
    const Py_ssize_t n = p->vars ? PyList_GET_SIZE(p->vars) : 0;
    if (col >= 0 && col < n) return PyList_GET_ITEM(p->vars, col);
    PyErr_Format(nvy_model_exc,
                 "%s returned a coefficient for column %d, but there are only %d variables in the "
                 "problem",
                 function, col, static_cast<int>(n));
    return nullptr;
}

// Adds the row's linear coefficients to e. 0 or -1.
int addLinearPart(Row r, PyObject *e) {
    int start[2] = {0, 0}, n = 0;
    if (problem_call(r.p, NVRAgetrows, "NVRAgetrows", start, nullptr, nullptr, 0, &n, r.index,
                     r.index) != 0)
        return -1;
    if (n <= 0) return 0;
    LibArray<int> cols(static_cast<size_t>(n));
    LibArray<double> coefs(static_cast<size_t>(n));
    if (!cols || !coefs ||
        problem_call(r.p, NVRAgetrows, "NVRAgetrows", start, cols.get(), coefs.get(), n, &n,
                     r.index, r.index) != 0)
        return -1;
    for (int k = 0; k < n; ++k) {
        PyObject *x = variableOf(r.p, cols[k], "NVRAgetrows");
        if (!x || expression_addToLinTerm(e, x, coefs[k]) != 0) return -1;
    }
    return 0;
}

// Adds the row's quadratic part to e: a diagonal triplet v gives v·x², an off-diagonal one
// 2v·x·y. 0 or -1.
int addQuadraticPart(Row r, PyObject *e) {
    constexpr const char *kFunction = "NVRAgetqrowqmatrixtriplets";
    int n = 0;
    if (problem_call(r.p, NVRAgetqrowqmatrixtriplets, kFunction, r.index, &n, nullptr, nullptr,
                     nullptr) != 0)
        return -1;
    if (n <= 0) return 0;
    LibArray<int> col1(static_cast<size_t>(n)), col2(static_cast<size_t>(n));
    LibArray<double> coefs(static_cast<size_t>(n));
    if (!col1 || !col2 || !coefs ||
        problem_call(r.p, NVRAgetqrowqmatrixtriplets, kFunction, r.index, &n, col1.get(),
                     col2.get(), coefs.get()) != 0)
        return -1;
    for (int k = 0; k < n; ++k) {
        PyObject *u = variableOf(r.p, col1[k], kFunction);
        PyObject *v = u ? variableOf(r.p, col2[k], kFunction) : nullptr;
        const double c = col1[k] == col2[k] ? coefs[k] : 2.0 * coefs[k];
        if (!v || expression_addToQuadTerm(e, u, v, c) != 0) return -1;
    }
    return 0;
}

struct RowQuery {
    int (*get)(NVRAprob, int *, double[], int, int);
    const char *function;     // the library function, for its error report
    const char *unlinkedName; // the problem method to call instead
    const char *what;         // for "%s not available"
};

// The value of the constraint's row in a solution; the library's status must be 1 (optimal)
// or 2 (feasible).
template <const RowQuery &Q> PyObject *rowSolution(PyObject *self) {
    const constraint_s *c = as_constraint(self);
    if (checkConstraintValid(c) != 0) return nullptr;
    if (!constraint_is_linked(c)) {
        PyErr_Format(nvy_interf_exc, "For unlinked constraints, call problem.%s(constraint)",
                     Q.unlinkedName);
        return nullptr;
    }
    const Row r = rowOf(c);
    int status = 0;
    double x = 0.0;
    if (problem_call(r.p, Q.get, Q.function, &status, &x, r.index, r.index) != 0) return nullptr;
    if (status != 1 && status != 2) {
        PyErr_Format(nvy_model_exc, "%s not available", Q.what);
        return nullptr;
    }
    return PyFloat_FromDouble(x);
}

constexpr RowQuery kSlack{NVRAgetslacks, "NVRAgetslacks", "getSlacks", "Solution"};
constexpr RowQuery kDual{NVRAgetduals, "NVRAgetduals", "getDuals", "Duals"};
constexpr RowQuery kCallbackSlack{NVRAgetcallbackslacks, "NVRAgetcallbackslacks",
                                  "getCallbackSlacks", "Solution"};
constexpr RowQuery kCallbackDual{NVRAgetcallbackduals, "NVRAgetcallbackduals", "getCallbackDuals",
                                 "Duals"};

} // namespace

PyObject *conrow_get(const constraint_s *c, ConAttr attr) {
    const Row r = rowOf(c);
    switch (attr) {
    case ConAttr::Lb:
        return rowBound(r, true);
    case ConAttr::Ub:
        return rowBound(r, false);
    case ConAttr::Type: {
        char letter = 0;
        if (rowType(r, &letter) != 0) return nullptr;
        const long type = conrow_type_of_letter(letter);
        return type < 0 ? unexpectedType(letter) : PyLong_FromLong(type);
    }
    case ConAttr::Rhs: {
        double rhs = 0.0;
        return rowRhs(r, &rhs) != 0 ? nullptr : PyFloat_FromDouble(rhs);
    }
    default: {
        double range = 0.0;
        return rowRange(r, &range) != 0 ? nullptr : PyFloat_FromDouble(range);
    }
    }
}

int conrow_set_rhs(const constraint_s *c, double rhs) {
    const Row r = rowOf(c);
    return problem_call(r.p, NVRAchgrhs, "NVRAchgrhs", 1, &r.index, &rhs);
}

int conrow_set_range(const constraint_s *c, double range) {
    const Row r = rowOf(c);
    return problem_call(r.p, NVRAchgrhsrange, "NVRAchgrhsrange", 1, &r.index, &range);
}

int conrow_set_type(const constraint_s *c, long type) {
    static const char kLetters[] = "LGERN";
    if (type < kConLeq || type > kConNonbinding) {
        PyErr_Format(nvy_model_exc,
                     "Invalid row type %ld: expected one of nivra.leq, nivra.geq, nivra.eq, etc.",
                     type);
        return -1;
    }
    const Row r = rowOf(c);
    const char letter = kLetters[type - 1];
    return problem_call(r.p, NVRAchgrowtype, "NVRAchgrowtype", 1, &r.index, &letter);
}

PyObject *conrow_name(const constraint_s *c) {
    const Row r = rowOf(c);
    return nvr_entityName(r.p, NVRA_NAMES_ROWS, r.index);
}

int conrow_set_name(const constraint_s *c, PyObject *name) {
    const Row r = rowOf(c);
    return nvr_setEntityName(r.p, NVRA_NAMES_ROWS, r.index, name);
}

namespace {

constexpr const char *kBodyOrigin = "constraint.getBody";

// A parsed formula that get(maxtypes, &ntypes, types, values) hands out (asked for its size
// first) as a model object; None for an empty formula. New reference or null.
template <class Get> PyObject *readFormula(problem_model_s *p, Get get) {
    int n = 0;
    if (get(0, &n, nullptr, nullptr) != 0) return nullptr;
    if (n <= 1) return Py_NewRef(Py_None); // the end token alone
    LibArray<int> types(static_cast<size_t>(n));
    LibArray<double> values(static_cast<size_t>(n));
    if (!types || !values || get(n, &n, types.get(), values.get()) != 0) return nullptr;
    return nonlin_from_formula(p, types.get(), values.get(), static_cast<size_t>(n), kBodyOrigin);
}

// *sum += part, with the nonlinear in-place sum. 0 or -1.
int addPart(Ref &sum, PyObject *part) {
    if (!part) return -1;
    Ref owned = Ref::steal(part);
    if (part == Py_None) return 0;
    sum = Ref::steal(PyNumber_InPlaceAdd(sum.get(), part));
    return sum ? 0 : -1;
}

// The coefficient of the row's column col: factor * x_col * f(x). New reference or null.
PyObject *columnCoefficient(Row r, int col) {
    if (col < 0 || col >= PyList_GET_SIZE(r.p->vars)) {
        PyErr_Format(nvy_interf_exc,
                     "NVRAslpgetcoefformula returned a coefficient for column %d, but there are "
                     "only %d variables in the problem",
                     col, static_cast<int>(PyList_GET_SIZE(r.p->vars)));
        return nullptr;
    }
    double factor = 1.0;
    Ref f = Ref::steal(readFormula(r.p, [&](int max, int *n, int *types, double *values) {
        return problem_call(r.p, NVRAslpgetcoefformula, "NVRAslpgetcoefformula", r.index, col,
                            &factor, 1, max, n, types, values);
    }));
    if (!f || f.get() == Py_None) return f.release();
    Ref scaled = Ref::steal(PyNumber_Multiply(f.get(), PyList_GET_ITEM(r.p->vars, col)));
    Ref factorObj = Ref::steal(PyFloat_FromDouble(factor));
    return scaled && factorObj ? PyNumber_Multiply(scaled.get(), factorObj.get()) : nullptr;
}

// Adds the row's nonlinear coefficients to sum: its formula, then the coefficients with a
// column. 0 or -1.
int addNonlinearPart(Row r, Ref &sum) {
    if (!r.p->nlprob) return 0;
    if (addPart(sum, readFormula(r.p, [&](int max, int *n, int *types, double *values) {
                    return problem_call(r.p, NVRAnlpgetformula, "NVRAnlpgetformula", r.index, 1,
                                        max, n, types, values);
                })) != 0)
        return -1;
    int ncoefs = 0;
    if (problem_call(r.p, NVRAslpgetcoefs, "NVRAslpgetcoefs", &ncoefs, nullptr, nullptr) != 0)
        return -1;
    if (ncoefs == 0) return 0;
    LibArray<int> rows(static_cast<size_t>(ncoefs)), cols(static_cast<size_t>(ncoefs));
    if (!rows || !cols ||
        problem_call(r.p, NVRAslpgetcoefs, "NVRAslpgetcoefs", &ncoefs, rows.get(), cols.get()) != 0)
        return -1;
    for (int k = 0; k < ncoefs; ++k)
        if (rows[k] == r.index && cols[k] != NSLP_NOCOLUMN &&
            addPart(sum, columnCoefficient(r, cols[k])) != 0)
            return -1;
    return 0;
}

} // namespace

int conrow_add_nonlinear(problem_model_s *p, int row, Ref &sum) {
    return addNonlinearPart(Row{p, row}, sum);
}

PyObject *conrow_body(const constraint_s *c) {
    const Row r = rowOf(c);
    Ref e = Ref::steal(expression_base());
    if (!e || addLinearPart(r, e.get()) != 0 || addQuadraticPart(r, e.get()) != 0 ||
        addNonlinearPart(r, e) != 0)
        return nullptr;
    return e.release();
}

PyObject *constraint_getSlack(PyObject *self, PyObject *) {
    return rowSolution<kSlack>(self);
}
PyObject *constraint_getDual(PyObject *self, PyObject *) {
    return rowSolution<kDual>(self);
}
PyObject *constraint_getCallbackSlack(PyObject *self, PyObject *) {
    return rowSolution<kCallbackSlack>(self);
}
PyObject *constraint_getCallbackDual(PyObject *self, PyObject *) {
    return rowSolution<kCallbackDual>(self);
}

long conrow_type_of_letter(char letter) {
    switch (letter) {
    case 'L':
        return kConLeq;
    case 'G':
        return kConGeq;
    case 'E':
        return kConEq;
    case 'R':
        return kConRange;
    case 'N':
        return kConNonbinding;
    default:
        return -1;
    }
}
