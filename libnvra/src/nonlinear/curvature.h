// curvature.h: the curvature of formulas over a box of their columns, proven by the composition
// rules of convex analysis.
//
// Every node of a tape gets an interval holding its values over the box (interval arithmetic
// from the column bounds) and a curvature: Affine, Convex, Concave or Unknown. The rules:
//  - sums, and products and quotients with a constant factor: the parts' curvatures scaled by
//    the factor's sign and added (convex plus affine is convex; convex plus concave Unknown);
//    a product or quotient of two parts that are not constant is Unknown, except c / g, which is
//    the function c / t of g;
//  - a function of one argument h(g), from h's curvature and monotonicity on the interval of g:
//    h(g) is convex when h is convex and g affine, or h convex non-decreasing and g convex, or
//    h convex non-increasing and g concave (concave likewise, mirrored). h is one of: x^p by p
//    and the sign of x; a^x for a constant a > 0; exp; log, log10 and sqrt; abs; sin, cos, tan,
//    arcsin, arccos, arctan, erf and erfc where their second derivative keeps one sign; sign
//    where it is constant; pwl by the order of its slopes (Unknown with a jump);
//  - max of convex parts is convex, min of concave parts concave;
//  - a part that is a polynomial of degree 2 at most (3 * (x * x) - 2 * (x * y) + (y - 1)^2,
//    as quadratic terms are written within formulas) is convex or concave as the matrix of its
//    quadratic terms is positive or negative semi-definite (convexity.h, tolerance psdTol);
//  - user functions and everything else: Unknown.
// Functions defined on a half-line only (log, sqrt, x^p with a non-integral p) are taken as
// extended by -inf (the concave ones) or +inf (the convex ones) outside it, which keeps them
// concave or convex on the whole line: log(x - y + 1) is concave whatever the bounds of x and
// y, since the points where it is not defined cannot be feasible. The extension is monotone for
// log, sqrt and x^p with p < 1, not for x^p with p > 1, which then needs a non-negative argument
// unless its argument is affine. x^p with p < 0 integral and c / x are defined on both sides of
// 0 and need an argument of one sign.
//
// Nothing is claimed that these rules do not prove: Unknown is the answer for any formula they
// do not cover. Interval bounds are computed in floating point without outward rounding.
#pragma once

#include "nonlinear/tape.h"

#include <cstdint>

namespace nvra::nl {

class Evaluator;

enum class Curvature : uint8_t { Affine, Convex, Concave, Unknown };

// "affine", "convex", "concave", "unknown".
const char *curvatureName(Curvature c);

// The curvature of a sum of two parts.
Curvature addCurvature(Curvature a, Curvature b);
// The curvature of c times a part of curvature a (Unknown stays Unknown, also for c = 0).
Curvature scaleCurvature(Curvature a, double c);
// Whether a part of curvature a is convex (affine parts are) or concave.
inline bool convexOrAffine(Curvature a) {
    return a == Curvature::Affine || a == Curvature::Convex;
}
inline bool concaveOrAffine(Curvature a) {
    return a == Curvature::Affine || a == Curvature::Concave;
}

// The curvature of tape t's function over the box lower[j] <= x[j] <= upper[j] (indexed by
// column; bounds at or beyond 1e20 in magnitude are infinite). psdTol: the relative pivot
// tolerance of the semi-definiteness test (control convexitytol). (Exported for the library's own
// tests.)
NVRA_API Curvature tapeCurvature(const Tape &t, const double *lower, const double *upper,
                                 double psdTol);

// The curvature of function k of ev (the sum of its pieces, each times its factor) over the box.
NVRA_API Curvature functionCurvature(const Evaluator &ev, int k, const double *lower,
                                     const double *upper, double psdTol);

} // namespace nvra::nl
