// classify.cpp: convex rows and second-order cones among the quadratic rows (see classify.h).
//
// A row is first brought to the form a'x + x'Px <= rhs (a '>=' row is negated). It is convex
// when P is positive semi-definite. Otherwise it may still describe a convex set: the
// second-order cones
//   sum_k d_k x_k^2 - a t^2 <= rhs          with d > 0, a > 0, rhs <= 0, t >= 0 (or t <= 0),
//   sum_k d_k x_k^2 - 2 b y z <= rhs        with d > 0, b > 0, rhs <= 0, y, z >= 0 (or <= 0),
// without linear part, which are || (sqrt(d) x, sqrt(-rhs)) || <= sqrt(a) |t| and
// || (sqrt(d) x, sqrt(b/2) (y - z), sqrt(-rhs)) || <= sqrt(b/2) |y + z|. Their quadratic form
// is not a convex function, so cuts for them are taken from the norm form (outer.cpp).
#include "solver/classify.h"

#include "solver/compile.h"

#include <cmath>
#include <string>

namespace nvra {
namespace {

std::string boundText(double v) {
    return v <= -kInf ? "-infinity" : v >= kInf ? "infinity" : numberText(v);
}

// The sign a column keeps by its bounds: 1 (>= 0), -1 (<= 0) or 0 (either).
int signOf(const Model &m, int j) {
    const auto [lo, up] = valueRange(m, j);
    return lo >= 0.0 ? 1 : up <= 0.0 ? -1 : 0;
}

bool hasLinearPart(const Model &m, int row) {
    return m.A.start[row + 1] > m.A.start[row];
}

// What a failed cone test has to say: empty when the row is simply not a cone.
struct ConeTest {
    bool cone = false;
    std::string fault; // a cone but for the sign of its t (or y, z): why it is refused
};

// The plain and rotated cone patterns on the row oriented as '<=' (P and rhs times orient).
ConeTest coneOf(const Model &m, const QTriplets &P, int orient, double rhs, QuadInfo &info,
                QuadRow &q) {
    int negDiag = -1, offDiag = -1;
    for (size_t k = 0; k < P.v.size(); ++k) {
        const double v = orient * P.v[k];
        if (P.i[k] == P.j[k]) {
            if (v > 0.0) continue;
            if (negDiag >= 0) return {};
            negDiag = static_cast<int>(k);
        } else {
            if (v > 0.0 || offDiag >= 0) return {};
            offDiag = static_cast<int>(k);
        }
    }
    if ((negDiag >= 0) == (offDiag >= 0)) return {};
    if (hasLinearPart(m, q.row))
        return {true,
                "is not convex: it has the quadratic part of a second-order cone but also a "
                "linear part; a cone row reads sum x_i^2 <= t^2 (or 2 y z) on columns of their "
                "own, so give each shifted term a column (r = x - c) and the row no linear part"};
    if (orient * rhs > 0.0)
        return {true, "is not convex: it has the quadratic part of a second-order cone but a "
                      "right-hand side that cuts into the cone's inside (x'x <= t^2 + c with "
                      "c > 0 is not a convex set)"};
    int y = -1, z = -1;
    if (offDiag >= 0) {
        y = P.i[offDiag], z = P.j[offDiag];
        for (size_t k = 0; k < P.v.size(); ++k)
            if (P.i[k] == P.j[k] && (P.i[k] == y || P.i[k] == z)) return {};
    } else {
        y = P.i[negDiag];
    }
    const int sign = offDiag >= 0 && signOf(m, y) != signOf(m, z) ? 0 : signOf(m, y);
    if (sign == 0) {
        ConeTest t{true, {}};
        t.fault = offDiag >= 0
                      ? "is a rotated second-order cone only where " + colLabel(m, y) + " and " +
                            colLabel(m, z) + " have the same sign, which their bounds do not ensure"
                      : "is a second-order cone only where " + colLabel(m, y) +
                            " keeps one sign, which its bounds [" + boundText(m.lb[y]) + ", " +
                            boundText(m.ub[y]) + "] do not ensure: give it a lower bound of 0";
        return t;
    }
    q.shape = RowShape::Cone;
    q.wBegin = static_cast<uint32_t>(info.wTerms.size());
    for (size_t k = 0; k < P.v.size(); ++k)
        if (P.i[k] == P.j[k] && P.i[k] != y && P.i[k] != z)
            info.wTerms.push_back({P.i[k], -1, std::sqrt(orient * P.v[k]), 0.0});
    if (offDiag >= 0) {
        const double h = std::sqrt(-orient * P.v[offDiag] / 2.0);
        info.wTerms.push_back({y, z, h, -h});
        q.u = {y, z, sign * h, sign * h};
    } else {
        q.u = {y, -1, sign * std::sqrt(-orient * P.v[negDiag]), 0.0};
    }
    q.wEnd = static_cast<uint32_t>(info.wTerms.size());
    q.wConst = std::sqrt(-orient * rhs);
    return {true, {}};
}

int refuse(NVRAprob prob, const char *fn, int row, const std::string &why) {
    // A later nonlinear solver may take such rows as a local problem; until then they are
    // refused rather than answered with a point that may not be optimal.
    return probError(prob, NVRA_RC_UNSUPPORTED, "%s: %s %s", fn, rowLabel(prob->model, row).c_str(),
                     why.c_str());
}

int classifyRow(NVRAprob prob, const char *fn, int row, const QTriplets &P, double tol,
                QuadInfo &info) {
    const Model &m = prob->model;
    const char type = m.rowtype[row];
    if (type == 'N') return 0;
    if (auto ind = m.indicators.find(row); ind != m.indicators.end() && ind->second.complement)
        return refuse(prob, fn, row,
                      "has a quadratic part and an indicator: indicators of quadratic rows are "
                      "not supported");
    if (type == 'E' || type == 'R')
        return refuse(prob, fn, row,
                      std::string("is a quadratic ") + (type == 'E' ? "equality" : "range") +
                          " row, which is not convex: only '<=' and '>=' rows may have a "
                          "quadratic part");
    QuadRow q;
    q.row = row;
    q.orient = type == 'L' ? 1 : -1;
    switch (checkSemidefinite(P, q.orient, tol)) {
    case Convexity::Convex:
        info.rows.push_back(q);
        return 0;
    case Convexity::Unknown: {
        const std::string text = rowLabel(m, row) +
                                 ": its quadratic part is too large for the convexity test; it is "
                                 "taken as convex";
        probMessage(prob, text.c_str(), 3);
        info.rows.push_back(q);
        return 0;
    }
    case Convexity::NotConvex:
        break;
    }
    const ConeTest cone = coneOf(m, P, q.orient, m.rhs[row], info, q);
    if (!cone.fault.empty()) return refuse(prob, fn, row, cone.fault);
    if (cone.cone) {
        info.rows.push_back(q);
        return 0;
    }
    return refuse(prob, fn, row,
                  type == 'L' ? "is not convex: its quadratic part is not positive "
                                "semi-definite, as a '<=' row needs, nor is it a second-order cone"
                              : "is not convex: its quadratic part is not negative "
                                "semi-definite, as a '>=' row needs, nor is it a second-order "
                                "cone");
}

} // namespace

int classifyQuadratics(NVRAprob prob, const char *fn, QuadInfo &info) {
    const Model &m = prob->model;
    const double tol = prob->controls.dbls[dblSlot::kCtrlConvexityTol];
    for (const auto &[row, P] : m.qrows)
        if (int rc = classifyRow(prob, fn, row, P, tol, info)) return rc;
    info.hasObjective = !m.Q.v.empty();
    if (info.hasObjective) info.objective = checkSemidefinite(m.Q, m.sense, tol);
    return 0;
}

} // namespace nvra
