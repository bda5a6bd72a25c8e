// convexity_model.cpp: the convexity of a problem with formulas (see convexity_model.h).
#include "solver/convexity_model.h"

#include "solver/convexity.h"

#include "nonlinear/curvature.h"
#include "nonlinear/evaluator.h"

#include <vector>

namespace nvra {
namespace {

using nl::Curvature;

// What a body must be: convex (it has an upper bound), concave (a lower bound), or both.
struct Need {
    bool convex = false, concave = false;
};

const char *needText(Need need, bool objective) {
    if (objective)
        return need.convex ? "a minimisation needs a convex objective"
                           : "a maximisation needs a concave objective";
    return need.convex && need.concave ? "an equality or range row needs an affine body"
           : need.convex               ? "a '<=' row needs a convex body"
                                       : "a '>=' row needs a concave body";
}

bool fits(Curvature c, Need need) {
    return (!need.convex || nl::convexOrAffine(c)) && (!need.concave || nl::concaveOrAffine(c));
}

bool quadraticFits(const QTriplets *P, Need need, double relTol) {
    if (!P || P->v.empty()) return true;
    return (!need.convex || checkSemidefinite(*P, 1, relTol) == Convexity::Convex) &&
           (!need.concave || checkSemidefinite(*P, -1, relTol) == Convexity::Convex);
}

// Why a body of formulas of curvature c and quadratic part P does not meet need, or "" when it
// does.
std::string misfit(const std::string &where, bool objective, Need need, Curvature c,
                   const QTriplets *P, double relTol) {
    std::string part;
    if (!fits(c, need))
        part = c == Curvature::Unknown ? "the curvature of its formulas is not proven"
                                       : std::string("its formulas are ") + nl::curvatureName(c);
    else if (!quadraticFits(P, need, relTol))
        part = need.convex && need.concave ? "it has a quadratic part"
               : need.convex               ? "its quadratic part is not positive semi-definite"
                                           : "its quadratic part is not negative semi-definite";
    else
        return {};
    return where + ": " + needText(need, objective) + "; " + part;
}

} // namespace

ModelConvexity modelConvexity(const Image &img, const nl::Evaluator &ev, double relTol) {
    const Model &m = *img.model;
    const double *lower = img.colLower.data(), *upper = img.colUpper.data();
    std::vector<int> function(img.userRows, -1);
    int objective = -1;
    for (int k = 0; k < ev.functions(); ++k) {
        const int row = ev.functionRow(k);
        (row == NSLP_OBJECTIVE ? objective : function[row]) = k;
    }
    auto curvature = [&](int k) {
        return k < 0 ? Curvature::Affine : nl::functionCurvature(ev, k, lower, upper, relTol);
    };
    ModelConvexity verdict;
    const Need sense{img.sense > 0, img.sense < 0};
    verdict.reason = misfit("the objective", true, sense, curvature(objective), &m.Q, relTol);
    for (int r = 0; r < img.userRows && verdict.reason.empty(); ++r) {
        const auto q = m.qrows.find(r);
        const QTriplets *P = q == m.qrows.end() ? nullptr : &q->second;
        if (function[r] < 0 && !P) continue;
        const Need need{img.rowUpper[r]<kInf, img.rowLower[r]> - kInf};
        verdict.reason = misfit(rowLabel(m, r), false, need, curvature(function[r]), P, relTol);
    }
    verdict.convex = verdict.reason.empty();
    return verdict;
}

} // namespace nvra
