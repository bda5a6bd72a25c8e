// classify.h: the quadratic rows and the quadratic objective of a problem, classified for the
// solvers: convex rows, second-order cones (plain and rotated) and everything else, which is
// refused with a message naming the first such row.
#pragma once

#include "solver/convexity.h"
#include "core/problem.h"

#include <cstdint>
#include <vector>

namespace nvra {

// A linear form of at most two columns (col2 < 0 when there is one).
struct Lin2 {
    int col1 = -1, col2 = -1;
    double a1 = 0.0, a2 = 0.0;
    double value(const double *x) const { return a1 * x[col1] + (col2 >= 0 ? a2 * x[col2] : 0.0); }
};

enum class RowShape : uint8_t {
    Convex, // orient * (a'x + x'Px - rhs) <= 0 with orient * P positive semi-definite
    Cone,   // || (w_1(x), ..., w_k(x), c) || <= u(x): sum d x^2 <= a t^2 (+ rhs), or the rotated
            // sum d x^2 <= 2 b y z (+ rhs), with t (y, z) of one sign by their bounds
};

struct QuadRow {
    int row = -1;   // the user's row
    int orient = 1; // 1 for a '<=' row, -1 for a '>=' row
    RowShape shape = RowShape::Convex;
    // Cones only: w's components are wTerms[wBegin, wEnd); c = wConst >= 0.
    uint32_t wBegin = 0, wEnd = 0;
    double wConst = 0.0;
    Lin2 u;
};

struct QuadInfo {
    std::vector<QuadRow> rows; // the rows with a quadratic part that constrains, in row order
    std::vector<Lin2> wTerms;  // the components of the cones' w
    Convexity objective = Convexity::Convex;
    bool hasObjective = false; // the objective has a quadratic part
};

// Classifies the quadratic rows and the objective of prob's model. A row that is neither convex
// nor a cone (a quadratic equality or range row, an indefinite matrix, a cone whose t may take
// either sign) is refused: NVRA_RC_UNSUPPORTED with a last error that names it and says why.
// Rows whose convexity could not be decided within the test's budget are taken as convex, with
// a warning on the problem's log.
int classifyQuadratics(NVRAprob prob, const char *fn, QuadInfo &info);

} // namespace nvra
