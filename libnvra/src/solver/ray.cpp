// ray.cpp: the LP behind findUnboundedRay (see ray.h), solved by a scratch engine instance.
#include "solver/ray.h"

#include "solver/interior.h"
#include "core/scheduler.h"

#include <map>
#include <memory>

#include "highs_c_api.h"

namespace nvra {
namespace {

// The LP's rows, row-wise.
struct RayLp {
    std::vector<double> lower, upper, value;
    std::vector<HighsInt> start{0}, index;

    void row(const std::vector<std::pair<int, double>> &entries, double lo, double up) {
        for (const auto &[c, v] : entries)
            if (v != 0.0) index.push_back(c), value.push_back(v);
        start.push_back(static_cast<HighsInt>(index.size()));
        lower.push_back(lo);
        upper.push_back(up);
    }
    // The rows of P d = 0 (P symmetric, in the store's triplet form).
    void nullSpace(const QTriplets &P) {
        std::map<int, std::vector<std::pair<int, double>>> rows;
        for (size_t k = 0; k < P.v.size(); ++k) {
            rows[P.i[k]].emplace_back(P.j[k], P.v[k]);
            if (P.i[k] != P.j[k]) rows[P.j[k]].emplace_back(P.i[k], P.v[k]);
        }
        for (const auto &[i, entries] : rows)
            row(entries, 0.0, 0.0);
    }
    // The recession cone of lo <= row <= up: = 0, >= 0 or <= 0 (nothing for a free row).
    void recession(const std::vector<std::pair<int, double>> &entries, double lo, double up) {
        if (lo > -kInf || up < kInf) row(entries, lo > -kInf ? 0.0 : -kInf, up < kInf ? 0.0 : kInf);
    }
};

void addRows(const QcProgram &qp, RayLp &lp) {
    const Image &img = qp.image();
    std::vector<std::pair<int, double>> entries;
    for (int r = 0; r < qp.numRows(); ++r) {
        if (qp.quadRowOf(r)) continue;
        entries.clear();
        qp.forLinear(r, [&](int c, double v) { entries.emplace_back(c, v); });
        lp.recession(entries, qp.rowLower(r), qp.rowUpper(r));
    }
    const QuadInfo &quad = qp.quad();
    for (const QuadRow &q : quad.rows) {
        if (q.shape == RowShape::Convex) {
            lp.nullSpace(qp.model().qrows.at(q.row));
            entries.clear();
            qp.forLinear(q.row, [&](int c, double v) { entries.emplace_back(c, q.orient * v); });
            lp.row(entries, -kInf, 0.0);
            continue;
        }
        for (uint32_t k = q.wBegin; k < q.wEnd; ++k) {
            const Lin2 &t = quad.wTerms[k];
            entries = {{t.col1, t.a1}};
            if (t.col2 >= 0) entries.emplace_back(t.col2, t.a2);
            lp.row(entries, 0.0, 0.0);
        }
        entries = {{q.u.col1, q.u.a1}};
        if (q.u.col2 >= 0) entries.emplace_back(q.u.col2, q.u.a2);
        lp.row(entries, 0.0, kInf);
    }
    lp.nullSpace(qp.model().Q);
    entries.clear();
    for (int j = 0; j < img.userCols; ++j)
        entries.emplace_back(j, qp.sense() * img.cost[j]);
    lp.row(entries, -kInf, -1.0);
}

} // namespace

int findUnboundedRay(NVRAprob prob, const QcProgram &qp, const Deadline &deadline, bool *found) {
    *found = false;
    const NlpSetup bounds = relaxedSetup(qp.image());
    const int n = qp.numCols();
    std::vector<double> colLower(n), colUpper(n), cost(n, 0.0);
    bool bounded = true;
    for (int j = 0; j < n; ++j) {
        // A finite bound keeps the direction from crossing it.
        colLower[j] = bounds.lower[j] > -kInf ? 0.0 : -kInf;
        colUpper[j] = bounds.upper[j] < kInf ? 0.0 : kInf;
        bounded = bounded && colLower[j] == 0.0 && colUpper[j] == 0.0;
    }
    if (bounded) return 0; // every column has finite bounds: no direction at all
    RayLp lp;
    addRows(qp, lp);
    std::unique_ptr<void, void (*)(void *)> h(Highs_create(), Highs_destroy);
    if (!h) return probError(prob, NVRA_RC_NOMEM, "Out of memory creating an engine instance");
    const double inf = Highs_getInfinity(h.get());
    for (auto *v : {&colLower, &colUpper, &lp.lower, &lp.upper})
        for (double &x : *v)
            x = x >= kInf ? inf : x <= -kInf ? -inf : x;
    Highs_setBoolOptionValue(h.get(), "output_flag", 0);
    ThreadLease lease(static_cast<int>(prob->controls.ints[intSlot::kCtrlThreads]));
    Highs_setIntOptionValue(h.get(), "threads", lease.threads());
    const double left = deadline.remaining();
    Highs_setDoubleOptionValue(h.get(), "time_limit", left >= kInf ? inf : left);
    const HighsInt m = static_cast<HighsInt>(lp.lower.size());
    lp.start.pop_back();
    if (!highsOk(Highs_passLp(h.get(), n, m, static_cast<HighsInt>(lp.index.size()),
                              kHighsMatrixFormatRowwise, kHighsObjSenseMinimize, 0.0, cost.data(),
                              colLower.data(), colUpper.data(), lp.lower.data(), lp.upper.data(),
                              lp.start.data(), lp.index.data(), lp.value.data())) ||
        !highsOk(Highs_run(h.get())))
        return probError(prob, NVRA_RC_ENGINE,
                         "The engine failed the test for an unbounded direction");
    *found = Highs_getModelStatus(h.get()) == kHighsModelStatusOptimal;
    return 0;
}

} // namespace nvra
