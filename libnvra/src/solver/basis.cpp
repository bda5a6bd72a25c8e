// basis.cpp: the problem's basis and its factorisation: reading and loading bases, the pivot
// order, solves with B and B', the ratio test of an entering entry, basis exchanges, and
// measures of the basis's stability.
//
// Internally the engine's form is used: rows are variables r_i = -a_i x (so that a_i x + r_i = 0
// and the basis column of a basic row is e_i), with ends [-upper, -lower] of the activity.
// Variable k < n is column k, n + i is row i.
#include "solver/analysis.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "highs_c_api.h"

namespace nvra {
namespace {

constexpr double kPivotTol = 1e-9;

// Solves with the engine's factorisation: B^-1 rhs (forward) or B^-T rhs (transposed), both
// over m entries.
std::vector<double> basisSolve(Engine &e, std::vector<double> rhs, bool transposed) {
    const size_t m = rhs.size();
    std::vector<double> out(m, 0.0);
    std::vector<HighsInt> index(m);
    HighsInt nnz = 0;
    if (m == 0) return out;
    const long status =
        transposed
            ? Highs_getBasisTransposeSolve(e.highs, rhs.data(), out.data(), &nnz, index.data())
            : Highs_getBasisSolve(e.highs, rhs.data(), out.data(), &nnz, index.data());
    if (!highsOk(status)) throw EngineFailure{"the engine could not solve with the basis"};
    for (double &v : out)
        v += 0.0;
    return out;
}

// The basis in the engine's form: for every variable its value in the basic solution, its ends
// and its status; the basic variable at each position; the simplex multipliers y = B^-T c_B.
struct BasisView {
    int n = 0, m = 0;
    std::vector<double> value, lower, upper, cost;
    std::vector<int> status;   // NVRA_BASIS_* in the engine's orientation (rows: of r)
    std::vector<int> position; // variable at each basis position
    std::vector<double> y;

    // d = c - A'y for the columns, -y for the rows (the cost of r is 0, its column e_i).
    std::vector<double> reducedCosts(const Model &model) const {
        std::vector<double> d(cost);
        for (int i = 0; i < m; ++i) {
            for (int64_t p = model.A.start[i]; p < model.A.start[i + 1]; ++p)
                d[model.A.index[p]] -= model.A.value[p] * y[i];
            d[n + i] = -y[i];
        }
        return d;
    }
};

// The status of row i's r from the status of its activity: the ends swap.
int flipped(int status) {
    return status == NVRA_BASIS_LOWER   ? NVRA_BASIS_UPPER
           : status == NVRA_BASIS_UPPER ? NVRA_BASIS_LOWER
                                        : status;
}

double nonbasicValue(int status, double lower, double upper) {
    return status == NVRA_BASIS_LOWER ? lower : status == NVRA_BASIS_UPPER ? upper : 0.0;
}

// The column of variable k in the engine's form, dense over the rows.
std::vector<double> engineColumn(const Model &model, const BasisView &v, int k) {
    std::vector<double> a(v.m, 0.0);
    if (k >= v.n) {
        a[k - v.n] = 1.0;
        return a;
    }
    for (int i = 0; i < v.m; ++i)
        for (int64_t p = model.A.start[i]; p < model.A.start[i + 1]; ++p)
            if (model.A.index[p] == k) a[i] = model.A.value[p];
    return a;
}

int viewOf(NVRAprob prob, const char *fn, Engine &e, BasisView &v) {
    if (int rc = requireFactor(prob, fn, e)) return rc;
    const Model &model = prob->model;
    const Basis &basis = prob->solution.basis;
    v.n = model.numCols();
    v.m = model.numRows();
    const int total = v.n + v.m;
    v.value.assign(total, 0.0);
    v.lower.resize(total);
    v.upper.resize(total);
    v.status.resize(total);
    v.cost.assign(total, 0.0);
    for (int j = 0; j < v.n; ++j) {
        std::tie(v.lower[j], v.upper[j]) = valueRange(model, j);
        v.status[j] = basis.cols[j];
        v.cost[j] = model.cost[j];
    }
    for (int i = 0; i < v.m; ++i) {
        const auto [lo, up] = rowEnds(model, i);
        v.lower[v.n + i] = -up;
        v.upper[v.n + i] = -lo;
        v.status[v.n + i] = flipped(basis.rows[i]);
    }
    std::vector<HighsInt> basic(v.m);
    if (v.m > 0 && !highsOk(Highs_getBasicVariables(e.highs, basic.data())))
        return engineError(prob, e,
                           (std::string(fn) + ": the engine has no factorisation").c_str());
    v.position.resize(v.m);
    for (int p = 0; p < v.m; ++p)
        v.position[p] = basic[p] >= 0 ? basic[p] : v.n - basic[p] - 1;
    // Basic values from B v_B = -N v_N.
    std::vector<double> rhs(v.m, 0.0);
    for (int k = 0; k < total; ++k)
        if (v.status[k] != NVRA_BASIS_BASIC)
            v.value[k] = nonbasicValue(v.status[k], v.lower[k], v.upper[k]);
    for (int i = 0; i < v.m; ++i) {
        if (v.status[v.n + i] != NVRA_BASIS_BASIC) rhs[i] -= v.value[v.n + i];
        for (int64_t p = model.A.start[i]; p < model.A.start[i + 1]; ++p) {
            const int j = model.A.index[p];
            if (v.status[j] != NVRA_BASIS_BASIC) rhs[i] -= model.A.value[p] * v.value[j];
        }
    }
    const std::vector<double> basicValues = basisSolve(e, rhs, false);
    std::vector<double> costB(v.m);
    for (int p = 0; p < v.m; ++p) {
        v.value[v.position[p]] = basicValues[p];
        costB[p] = v.cost[v.position[p]];
    }
    v.y = basisSolve(e, costB, true);
    return 0;
}

// Variable k of the engine's form from a combined index; it must have the status wanted
// (basic or not).
int variableOf(NVRAprob prob, const char *fn, const BasisView &v, int index, bool basic, int &k) {
    bool isRow = false;
    int i = 0;
    if (int rc = decodeCombined(prob, fn, index, isRow, i)) return rc;
    k = isRow ? v.n + i : i;
    if ((v.status[k] == NVRA_BASIS_BASIC) == basic) return 0;
    const Model &model = prob->model;
    const std::string what = isRow ? rowLabel(model, i) : colLabel(model, i);
    return probError(prob, NVRA_RC_INVALID, "%s: %s is %s", fn, what.c_str(),
                     basic ? "not basic" : "basic");
}

int combinedOf(NVRAprob prob, const BasisView &v, int k) {
    return k >= v.n ? k - v.n : combinedOffset(prob) + k;
}

struct Block {
    double step;
    int variable;
};

// The ratio test of entering variable q moving in direction dir: the blocking variables in
// increasing step order; alpha = B^-1 a_q.
std::vector<Block> ratioTest(const BasisView &v, int q, int dir, const std::vector<double> &alpha) {
    std::vector<Block> blocks;
    if (v.lower[q] > -kInf && v.upper[q] < kInf) {
        const double room = dir > 0 ? v.upper[q] - v.value[q] : v.value[q] - v.lower[q];
        blocks.push_back({std::max(room, 0.0), q});
    }
    for (int p = 0; p < v.m; ++p) {
        const double rate = -dir * alpha[p];
        if (std::fabs(rate) <= kPivotTol) continue;
        const int k = v.position[p];
        const double end = rate < 0 ? v.lower[k] : v.upper[k];
        if (std::fabs(end) >= kInf) continue;
        blocks.push_back({std::max((end - v.value[k]) / rate, 0.0), k});
    }
    std::stable_sort(blocks.begin(), blocks.end(),
                     [](const Block &a, const Block &b) { return a.step < b.step; });
    return blocks;
}

double objectiveOf(const Model &model, const BasisView &v) {
    double obj = model.objConstant;
    for (int j = 0; j < v.n; ++j)
        obj += model.cost[j] * v.value[j];
    return obj;
}

// The direction in which entering variable q improves the objective (away from its end).
int enteringDirection(const Model &model, const BasisView &v, int q) {
    if (v.status[q] == NVRA_BASIS_LOWER) return 1;
    if (v.status[q] == NVRA_BASIS_UPPER) return -1;
    const double d = v.reducedCosts(model)[q] * model.sense;
    return d > 0 ? -1 : 1;
}

int getPivots(NVRAprob prob, const char *fn, Engine &e, int enter, int *outlist, double *x,
              double *objval, int *npivots, int maxpivots) {
    if (maxpivots < 0) return probError(prob, NVRA_RC_INVALID, "%s: maxpivots is negative", fn);
    if (maxpivots > 0 && (!outlist || !x))
        return probError(prob, NVRA_RC_INVALID, "%s: null outlist or x with maxpivots %d", fn,
                         maxpivots);
    BasisView v;
    if (int rc = viewOf(prob, fn, e, v)) return rc;
    int q = 0;
    if (int rc = variableOf(prob, fn, v, enter, false, q)) return rc;
    const Model &model = prob->model;
    const int dir = enteringDirection(model, v, q);
    const std::vector<double> alpha = basisSolve(e, engineColumn(model, v, q), false);
    const std::vector<Block> blocks = ratioTest(v, q, dir, alpha);
    const int count = std::min(static_cast<int>(blocks.size()), maxpivots);
    for (int k = 0; k < count; ++k) {
        outlist[k] = combinedOf(prob, v, blocks[k].variable);
        x[k] = blocks[k].step;
    }
    if (npivots) *npivots = count;
    if (objval) {
        const double d = v.reducedCosts(model)[q];
        *objval =
            blocks.empty() ? -kInf * model.sense : objectiveOf(model, v) + blocks[0].step * dir * d;
    }
    return 0;
}

int pivot(NVRAprob prob, const char *fn, Engine &e, int enter, int leave) {
    BasisView v;
    if (int rc = viewOf(prob, fn, e, v)) return rc;
    int q = 0, r = 0;
    if (int rc = variableOf(prob, fn, v, enter, false, q)) return rc;
    if (int rc = variableOf(prob, fn, v, leave, true, r)) return rc;
    const Model &model = prob->model;
    const std::vector<double> alpha = basisSolve(e, engineColumn(model, v, q), false);
    const int pos =
        static_cast<int>(std::find(v.position.begin(), v.position.end(), r) - v.position.begin());
    if (std::fabs(alpha[pos]) <= kPivotTol)
        return probError(prob, NVRA_RC_INVALID,
                         "%s: exchanging these entries would make the basis singular (pivot "
                         "element %g)",
                         fn, alpha[pos]);
    const double toLower = std::fabs(v.value[r] - v.lower[r]);
    const double toUpper = std::fabs(v.upper[r] - v.value[r]);
    const int leaving = v.lower[r] > -kInf && (toLower <= toUpper || v.upper[r] >= kInf)
                            ? NVRA_BASIS_LOWER
                        : v.upper[r] < kInf ? NVRA_BASIS_UPPER
                                            : NVRA_BASIS_SUPERBASIC;
    Basis basis = prob->solution.basis;
    auto set = [&](int k, int status) {
        if (k >= v.n)
            basis.rows[k - v.n] = flipped(status);
        else
            basis.cols[k] = status;
    };
    set(q, NVRA_BASIS_BASIC);
    set(r, leaving);
    std::vector<HighsInt> rows(basis.rows.size()), cols(basis.cols.size());
    std::transform(basis.rows.begin(), basis.rows.end(), rows.begin(), basisToEngine);
    std::transform(basis.cols.begin(), basis.cols.end(), cols.begin(), basisToEngine);
    if (!highsOk(Highs_setBasis(e.highs, cols.data(), rows.data())))
        return engineError(prob, e, (std::string(fn) + ": the engine refused the basis").c_str());
    // The new basis's solution, without iterations.
    Image img;
    CompileOptions options;
    options.relax = true;
    options.libraryRows = false;
    if (int rc = compileModel(prob, options, img)) return rc;
    return runAndKeep(prob, e, img, 0);
}

// Estimate of ||B^-1|| in the one norm (forward) or the infinity norm (transposed) by Hager's
// method: at most five pairs of solves.
double inverseNormEstimate(Engine &e, int m, bool infinity) {
    std::vector<double> x(m, 1.0 / m), y;
    double estimate = 0.0;
    for (int iter = 0; iter < 5; ++iter) {
        y = basisSolve(e, x, infinity);
        estimate = 0.0;
        std::vector<double> sign(m);
        for (int i = 0; i < m; ++i) {
            estimate += std::fabs(y[i]);
            sign[i] = y[i] >= 0 ? 1.0 : -1.0;
        }
        const std::vector<double> z = basisSolve(e, sign, !infinity);
        int best = 0;
        double zx = 0.0;
        for (int i = 0; i < m; ++i) {
            zx += z[i] * x[i];
            if (std::fabs(z[i]) > std::fabs(z[best])) best = i;
        }
        if (std::fabs(z[best]) <= zx) break;
        std::fill(x.begin(), x.end(), 0.0);
        x[best] = 1.0;
    }
    return estimate;
}

// ||B|| in the one norm (largest column sum) or the infinity norm (largest row sum).
double basisNorm(const Model &model, const BasisView &v, bool infinity) {
    std::vector<double> colSum(v.m, 0.0), rowSum(v.m, 0.0);
    std::vector<int> posOf(v.n + v.m, -1);
    for (int p = 0; p < v.m; ++p)
        posOf[v.position[p]] = p;
    for (int i = 0; i < v.m; ++i) {
        if (posOf[v.n + i] >= 0) {
            colSum[posOf[v.n + i]] += 1.0;
            rowSum[i] += 1.0;
        }
        for (int64_t p = model.A.start[i]; p < model.A.start[i + 1]; ++p) {
            const int pos = posOf[model.A.index[p]];
            if (pos < 0) continue;
            colSum[pos] += std::fabs(model.A.value[p]);
            rowSum[i] += std::fabs(model.A.value[p]);
        }
    }
    const std::vector<double> &sums = infinity ? rowSum : colSum;
    return sums.empty() ? 0.0 : *std::max_element(sums.begin(), sums.end());
}

int stability(NVRAprob prob, const char *fn, Engine &e, int type, int norm, double *value) {
    if (type < 0 || type > 2)
        return probError(prob, NVRA_RC_INVALID, "%s: type %d: the types are 0, 1 and 2", fn, type);
    if (norm != 0 && norm != 1)
        return probError(prob, NVRA_RC_INVALID, "%s: norm %d: the norms are 0 and 1", fn, norm);
    if (!value) return probError(prob, NVRA_RC_INVALID, "%s: null value pointer", fn);
    BasisView v;
    if (int rc = viewOf(prob, fn, e, v)) return rc;
    const Model &model = prob->model;
    double result = 0.0;
    if (type == 0 && v.m > 0) {
        result = basisNorm(model, v, norm == 0) * inverseNormEstimate(e, v.m, norm == 0);
    } else if (type == 1) {
        for (int i = 0; i < v.m; ++i) {
            double activity = 0.0;
            for (int64_t p = model.A.start[i]; p < model.A.start[i + 1]; ++p)
                activity += model.A.value[p] * v.value[model.A.index[p]];
            result = std::max(result, std::fabs(activity + v.value[v.n + i]));
        }
    } else if (type == 2) {
        const std::vector<double> d = v.reducedCosts(model);
        for (int k : v.position)
            result = std::max(result, std::fabs(d[k]));
    }
    *value = result;
    return 0;
}

// B^-1 vec or B^-T vec in place over the rows.
int transform(NVRAprob prob, const char *fn, double *vec, bool transposed) {
    return engineCall(prob, fn, [&](Engine &e) {
        if (int rc = requireFactor(prob, fn, e)) return rc;
        const int m = prob->model.numRows();
        if (int rc = checkArray(prob, fn, "vec", vec, m)) return rc;
        const std::vector<double> out =
            basisSolve(e, std::vector<double>(vec, vec + m), transposed);
        std::copy(out.begin(), out.end(), vec);
        return 0;
    });
}

int sparseTransform(NVRAprob prob, const char *fn, double *val, int valsize, int *ind, int indsize,
                    int *nnz, bool transposed) {
    return engineCall(prob, fn, [&](Engine &e) {
        if (int rc = requireFactor(prob, fn, e)) return rc;
        const int m = prob->model.numRows();
        if (!nnz) return probError(prob, NVRA_RC_INVALID, "%s: null nnz", fn);
        if (valsize < m || indsize < m)
            return probError(prob, NVRA_RC_RANGE,
                             "%s: val and ind must hold %d entries (the rows); they hold %d and %d",
                             fn, m, valsize, indsize);
        if (int rc = checkArray(prob, fn, "val", val, m)) return rc;
        if (int rc = checkArray(prob, fn, "ind", ind, m)) return rc;
        if (*nnz < 0 || *nnz > m)
            return probError(prob, NVRA_RC_RANGE, "%s: nnz %d is out of range 0..%d", fn, *nnz, m);
        for (int k = 0; k < *nnz; ++k)
            if (ind[k] < 0 || ind[k] >= m)
                return probError(prob, NVRA_RC_RANGE, "%s: ind[%d] = %d is out of range 0..%d", fn,
                                 k, ind[k], m - 1);
        const std::vector<double> out =
            basisSolve(e, std::vector<double>(val, val + m), transposed);
        int count = 0;
        for (int i = 0; i < m; ++i) {
            val[i] = out[i];
            if (out[i] != 0.0) ind[count++] = i;
        }
        *nnz = count;
        return 0;
    });
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAgetbasis(NVRAprob prob, int rowstat[], int colstat[]) {
    return storeQuery(prob, "NVRAgetbasis", [&] {
        if (int rc = requireBasis(prob, "NVRAgetbasis")) return rc;
        const Basis &b = prob->solution.basis;
        if (rowstat) std::copy(b.rows.begin(), b.rows.end(), rowstat);
        if (colstat) std::copy(b.cols.begin(), b.cols.end(), colstat);
        return 0;
    });
}

int NVRAgetbasisval(NVRAprob prob, int row, int col, int *rowstat, int *colstat) {
    const char *fn = "NVRAgetbasisval";
    return storeQuery(prob, fn, [&] {
        if (row != -1)
            if (int rc = checkIndex(prob, Kind::Row, row)) return rc;
        if (col != -1)
            if (int rc = checkIndex(prob, Kind::Column, col)) return rc;
        if (int rc = requireBasis(prob, fn)) return rc;
        const Basis &b = prob->solution.basis;
        if (row != -1 && rowstat) *rowstat = b.rows[row];
        if (col != -1 && colstat) *colstat = b.cols[col];
        return 0;
    });
}

int NVRAloadbasis(NVRAprob prob, const int rowstat[], const int colstat[]) {
    const char *fn = "NVRAloadbasis";
    if (int rc = enterProbEdit(prob)) return rc;
    if (int rc = requireNotPresolved(prob, fn)) return rc;
    const Model &m = prob->model;
    if (int rc = checkBasis(prob, fn, m, rowstat, colstat)) return rc;
    try {
        Basis basis;
        basis.rows.assign(rowstat, rowstat + m.numRows());
        basis.cols.assign(colstat, colstat + m.numCols());
        Basis start = basis;
        prob->solution.reset();
        prob->solution.basis = std::move(basis);
        prob->starts.basis = std::move(start);
    } catch (const std::bad_alloc &) {
        return outOfMemory(prob, fn);
    }
    return 0;
}

int NVRAgetpivotorder(NVRAprob prob, int pivotorder[]) {
    const char *fn = "NVRAgetpivotorder";
    return engineCall(prob, fn, [&](Engine &e) {
        if (int rc = requireFactor(prob, fn, e)) return rc;
        const int m = prob->model.numRows();
        if (int rc = checkArray(prob, fn, "pivotorder", pivotorder, m)) return rc;
        std::vector<HighsInt> basic(m);
        if (m > 0 && !highsOk(Highs_getBasicVariables(e.highs, basic.data())))
            return engineError(prob, e, "NVRAgetpivotorder: the engine has no factorisation");
        for (int p = 0; p < m; ++p)
            pivotorder[p] = combinedFromEngine(prob, basic[p]);
        return 0;
    });
}

int NVRAftran(NVRAprob prob, double vec[]) {
    return transform(prob, "NVRAftran", vec, false);
}

int NVRAbtran(NVRAprob prob, double vec[]) {
    return transform(prob, "NVRAbtran", vec, true);
}

int NVRAsparseftran_witharraysizes(NVRAprob prob, double val[], int valsize, int ind[], int indsize,
                                   int *nnz) {
    return sparseTransform(prob, "NVRAsparseftran_witharraysizes", val, valsize, ind, indsize, nnz,
                           false);
}

int NVRAsparsebtran_witharraysizes(NVRAprob prob, double val[], int valsize, int ind[], int indsize,
                                   int *nnz) {
    return sparseTransform(prob, "NVRAsparsebtran_witharraysizes", val, valsize, ind, indsize, nnz,
                           true);
}

int NVRAgetpivots(NVRAprob prob, int enter, int outlist[], double x[], double *objval, int *npivots,
                  int maxpivots) {
    const char *fn = "NVRAgetpivots";
    return engineCall(prob, fn, [&](Engine &e) {
        return getPivots(prob, fn, e, enter, outlist, x, objval, npivots, maxpivots);
    });
}

int NVRApivot(NVRAprob prob, int enter, int leave) {
    const char *fn = "NVRApivot";
    return engineCall(prob, fn, [&](Engine &e) { return pivot(prob, fn, e, enter, leave); });
}

int NVRAbasisstability(NVRAprob prob, int type, int norm, int scaled, double *value) {
    const char *fn = "NVRAbasisstability";
    return engineCall(prob, fn, [&](Engine &e) {
        if (scaled != 0 && scaled != 1)
            return probError(prob, NVRA_RC_INVALID, "%s: scaled must be 0 or 1", fn);
        return stability(prob, fn, e, type, norm, value);
    });
}

} // extern "C"
