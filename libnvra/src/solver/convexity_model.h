// convexity_model.h: whether a problem with formulas is convex, so that what a local solver
// finds on it is proven: the objective convex (a minimisation) or concave (a maximisation),
// every row's body (linear, quadratic and formula parts) convex where it has an upper bound and
// concave where it has a lower bound, hence affine for equality and range rows. Formulas are
// judged by their curvature over the column bounds (nonlinear/curvature.h), quadratic parts by
// the semi-definiteness test (convexity.h). Integrality is not looked at: a mixed-integer
// problem is convex when its continuous relaxation is.
#pragma once

#include "solver/compile.h"

#include <string>

namespace nvra {

namespace nl {
class Evaluator;
} // namespace nl

struct ModelConvexity {
    bool convex = false;
    std::string reason; // when not convex: the first part not proven, "row 3: a '<=' row ..."
};

// The verdict on img (the problem as solved: its rows' bounds, columns' bounds and objective
// sense; auxiliary rows are linear) with formulas ev. relTol: control convexitytol.
ModelConvexity modelConvexity(const Image &img, const nl::Evaluator &ev, double relTol);

} // namespace nvra
